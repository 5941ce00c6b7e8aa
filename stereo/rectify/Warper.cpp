#include "rectify/Warper.h"

#include <algorithm>
#include <cmath>

#include "filter/BoxFilter.h"
#include "image/simd/SimdDetector.h"
#include "stelox_kernels.h"

int validShiftPercent(int shiftPercent) {
  return (shiftPercent < 0 || shiftPercent > 99) ? 0 : shiftPercent;
}

Warper::Warper() = default;

Warper::~Warper() = default;

Warper* Warper::clone() const { return new Warper(*this); }

void Warper::setGeometry(int sourceRows, int sourceCols, int sourceRowIncrement,
                         const ImageROI& roi, int rowShiftPercent, int colShiftPercent,
                         int kernelSize) {
  m_sourceRows = sourceRows;
  m_sourceCols = sourceCols;
  m_sourceRowIncrement = sourceRowIncrement;
  m_sourceRoi = roi;
  m_rowShiftPercent = validShiftPercent(rowShiftPercent);
  m_colShiftPercent = validShiftPercent(colShiftPercent);
  m_kind = 0;
  m_kernelSize = kernelSize;
  m_halfKernelSize = (kernelSize - 1) / 2;
}

bool Warper::build(const WarpMapFunc& map, int sourceRows, int sourceCols, int sourceRowIncrement,
                   int outRows, int outCols, int rowShiftPercent, int colShiftPercent,
                   int kernelSize) {
  if (sourceRows < 1 || sourceCols < 1 || sourceRowIncrement < sourceCols || outRows < 1 ||
      outCols < 1)
    return false;
  setGeometry(sourceRows, sourceCols, sourceRowIncrement, {0, 0, sourceRows, sourceCols},
              rowShiftPercent, colShiftPercent, kernelSize);
  m_offsets = Image<int>(outRows, outCols);
  const float rowShift = m_rowShiftPercent / 100.0f;
  const float colShift = m_colShiftPercent / 100.0f;
  // Nearest source pixel, clamped to the image (NaN counts as below it).
  const auto nearest = [](float x, int size) {
    if (!(x >= 0.0f))
      return 0;
    if (x > static_cast<float>(size - 1))
      return size - 1;
    return static_cast<int>(std::floor(x + 0.5f));
  };
  for (int i = 0; i < outRows; ++i) {
    int* offsets = m_offsets[i].data();
    for (int j = 0; j < outCols; ++j) {
      float r = 0.0f;
      float c = 0.0f;
      map.map(r, c, sourceRows, sourceCols, static_cast<float>(i) - rowShift,
              static_cast<float>(j) - colShift, outRows, outCols);
      offsets[j] = nearest(r, sourceRows) * sourceRowIncrement + nearest(c, sourceCols);
    }
  }
  initRange();
  return true;
}

void Warper::computeRange(int extraRows) {
  const int rows = m_offsets.nRows();
  const int cols = m_offsets.nCols();
  m_rowRange = Image<int>(2, rows);
  int* lowest = m_rowRange[0].data();
  int* highest = m_rowRange[1].data();
  for (int i = 0; i < rows; ++i) {
    const int* offsets = m_offsets[i].data();
    int low = offsets[0];
    int high = offsets[0];
    for (int j = 1; j < cols; ++j) {
      low = std::min(low, offsets[j]);
      high = std::max(high, offsets[j]);
    }
    lowest[i] = low / m_sourceRowIncrement;
    highest[i] = high / m_sourceRowIncrement + extraRows;
  }
}

void Warper::initRange() { computeRange(0); }

KernelType Warper::kernelType() const { return KernelTypeBilinear; }

bool Warper::matches(int outRows, int outCols, int sourceRows, int sourceCols,
                     int sourceRowIncrement, const ImageROI& roi, int rowShiftPercent,
                     int colShiftPercent, KernelType kind, int kernelSize) const {
  return m_offsets.nRows() == outRows && m_offsets.nCols() == outCols &&
         m_sourceRows == sourceRows && m_sourceCols == sourceCols &&
         m_sourceRowIncrement == sourceRowIncrement && m_sourceRoi == roi &&
         m_rowShiftPercent == rowShiftPercent && m_colShiftPercent == colShiftPercent &&
         (kind == KernelTypeBilinear) == (kernelType() == KernelTypeBilinear) &&
         m_kernelSize == kernelSize;
}

template <typename T>
bool Warper::fits(const Image<T>& out, const Image<T>& raw) const {
  const ImageDim origin = out.offset();
  return origin.rows >= 0 && origin.cols >= 0 &&
         origin.rows + out.nRows() <= m_offsets.nRows() &&
         origin.cols + out.nCols() <= m_offsets.nCols() &&
         raw.nRowInc() == m_sourceRowIncrement && raw.nRows() >= m_sourceRows &&
         raw.nCols() >= m_sourceCols;
}

template <typename T>
bool Warper::warpImage(Image<T>& out, const Image<T>& raw) const {
  if (!fits(out, raw))
    return false;
  const ImageDim origin = out.offset();
  for (int i = 0; i < out.nRows(); ++i)
    warp(out[i].data(), raw.bufferconstptr(), origin.rows + i, origin.cols, out.nCols());
  return true;
}

bool Warper::warp(Image<unsigned char>& out, const Image<unsigned char>& raw) const {
  return warpImage(out, raw);
}

bool Warper::warp(Image<unsigned short>& out, const Image<unsigned short>& raw) const {
  return warpImage(out, raw);
}

bool Warper::warp(Image<Pixel8x4>& out, const Image<Pixel8x4>& raw) const {
  return warpImage(out, raw);
}

namespace {

template <typename T>
void nearestRow(T* out, const T* raw, const int* offsets, int count) {
  for (int k = 0; k < count; ++k)
    out[k] = raw[offsets[k]];
}

} // namespace

void Warper::warp(unsigned char* out, const unsigned char* raw, int tableRow, int tableCol,
                  int count) const {
  nearestRow(out, raw, m_offsets[tableRow].data() + tableCol, count);
}

void Warper::warp(unsigned short* out, const unsigned short* raw, int tableRow, int tableCol,
                  int count) const {
  nearestRow(out, raw, m_offsets[tableRow].data() + tableCol, count);
}

void Warper::warp(Pixel8x4* out, const Pixel8x4* raw, int tableRow, int tableCol,
                  int count) const {
  nearestRow(out, raw, m_offsets[tableRow].data() + tableCol, count);
}

bool Warper::warp(Image<unsigned char>& out, const Image<unsigned char>& raw,
                  Image<unsigned char>& filtered, Image<unsigned char>& filteredValid,
                  Image<unsigned short>& columnSums, BoxFilter& boxFilter, int scale,
                  int maskRows, int maskCols) const {
  const int rawRows = raw.nRows();
  const int rawCols = raw.nCols();
  const int validRows = rawRows - maskRows + 1;
  const int validCols = rawCols - maskCols + 1;
  if (maskRows < 1 || maskCols < 1 || maskRows * maskCols < 2 ||
      maskRows * maskCols > maxLowpassArea || validRows < 1 || validCols < 1 ||
      !fits(out, filtered) || filtered.nRows() != rawRows || filtered.nCols() != rawCols ||
      filteredValid.nRows() != validRows || filteredValid.nCols() != validCols ||
      columnSums.nRows() < validRows || columnSums.nCols() < validCols)
    return false;

  const bool sse2 = SimdDetector().sse2Detected();
  const int below = maskRows - 1 - maskRows / 2;
  const int clearedTop = maskRows / 2;
  const int clearedBottomStart = rawRows - (maskRows - 1) / 2;
  const int* highestRow = m_rowRange[1].data();
  const ImageDim origin = out.offset();
  int next = 0;
  for (int i = 0; i < out.nRows(); ++i) {
    const int tableRow = origin.rows + i;
    // Filter just as far down as this output row's lowest source row needs.
    while (next - below <= highestRow[tableRow] && next < rawRows) {
      const int completed = boxFilter.add(raw[next], rawCols, sse2);
      Row<unsigned char> row = filtered[next];
      if (next < clearedTop || next >= clearedBottomStart) {
        std::fill(row.data(), row.data() + rawCols, 0);
      } else {
        std::fill(row.data(), row.data() + maskCols / 2, 0);
        std::fill(row.data() + rawCols - (maskCols - 1) / 2, row.data() + rawCols, 0);
      }
      if (completed >= 0)
        row_pack_op(filteredValid[completed].data(), validCols,
                    reinterpret_cast<const short*>(columnSums[completed].data()), scale);
      ++next;
    }
    warp(out[i].data(), filtered.bufferconstptr(), tableRow, origin.cols, out.nCols());
  }
  return true;
}
