#include "filter/BoxFilter.h"

#include "stelox_kernels.h"

#include <algorithm>

void BoxFilter::reset(Image<unsigned short>& columnSums, unsigned maskRows, unsigned maskCols) {
  m_columnSums = columnSums;
  // Values beyond the supported area are kept only as "refused".
  m_maskRows = static_cast<int>(std::min(maskRows, kMaxMaskArea + 1));
  m_maskCols = static_cast<int>(std::min(maskCols, kMaxMaskArea + 1));
  m_count = 0;
  if (!maskSupported()) return;
  const int ringRows = m_maskRows + 1;
  if (m_rowSums.nRows() != ringRows || m_rowSums.nCols() != columnSums.nCols()) {
    m_rowSums = Image<unsigned short>(ringRows, columnSums.nCols());
  }
}

bool BoxFilter::maskSupported() const {
  return m_maskRows >= 1 && m_maskCols >= 1 &&
         static_cast<unsigned>(m_maskRows * m_maskCols) <= kMaxMaskArea;
}

void BoxFilter::horizontalSums(unsigned short* out, const unsigned char* row, int sums,
                               bool sse2) const {
  unsigned first = 0;
  for (int j = 0; j < m_maskCols; ++j) first += row[j];
  out[0] = static_cast<unsigned short>(first);
  box_add_sub16(out + 1, first, row + m_maskCols, row, sums - 1, sse2);
}

int BoxFilter::add(const Row<unsigned char>& row, int width, bool sse2) {
  if (!maskSupported()) return -1;
  const int n = m_maskRows;
  const int k = m_count++;
  const int target = n == 1 ? k : std::max(k - n + 1, 0);
  if (target >= m_columnSums.nRows()) return -1;

  const int sums = std::min(std::min(width, row.nCols()) - m_maskCols + 1, m_columnSums.nCols());
  unsigned short* const columnRow = m_columnSums[target].data();
  if (n == 1) {
    // The box is one row high: its horizontal sums are the box sums.
    if (sums > 0) horizontalSums(columnRow, row.data(), sums, sse2);
    return k;
  }

  unsigned short* const ringRow = m_rowSums[k % (n + 1)].data();
  if (sums > 0) {
    horizontalSums(ringRow, row.data(), sums, sse2);
    if (k == 0) {
      row_copy16(columnRow, ringRow, sums);
    } else if (k < n) {
      row_add(columnRow, columnRow, ringRow, sums);
    } else {
      // The ring row of input row k - n leaves the window.
      const unsigned short* leaving = m_rowSums[(k + 1) % (n + 1)].data();
      const unsigned short* previous = m_columnSums[k - n].data();
      box_add_sub16ptr(columnRow, previous, ringRow, leaving, sums);
    }
  }
  return k - n + 1;
}

bool boxFilter(Image<unsigned char>& out, const Image<unsigned char>& in, unsigned n) {
  if (n == 0 || n > 11) return false;
  const int mask = static_cast<int>(n);
  const int rows = std::min(out.nRows(), in.nRows() - mask + 1);
  const int cols = std::min(out.nCols(), in.nCols() - mask + 1);
  if (rows <= 0 || cols <= 0) return true;
  if (mask == 1) {
    out.region(0, 0, rows, cols).init(in.region(0, 0, rows, cols));
    return true;
  }

  Image<unsigned short> columnSums = Image<unsigned short>::constImage(rows, cols, 0);
  BoxFilter filter;
  filter.reset(columnSums, n, n);
  const int scale = 65536 / (mask * mask);
  for (int i = 0; i < rows + mask - 1; ++i) {
    const int v = filter.add(in[i], in.nCols(), false);
    if (v >= 0) {
      row_pack_op(out[v].data(), cols, reinterpret_cast<const short*>(columnSums[v].data()), scale);
    }
  }
  return true;
}
