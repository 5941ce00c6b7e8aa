// Streaming box sums over 8-bit rows, and the box mean filter built on them.
#ifndef STELOX_FILTER_BOXFILTER_H
#define STELOX_FILTER_BOXFILTER_H

#include "image/Image.h"
#include "stelox.h"

// Sums of maskRows x maskCols boxes, one input row at a time. Each input row
// of w pixels gives w - maskCols + 1 horizontal running sums, kept in a ring
// of the last maskRows + 1 rows; the column sums (the full box sums) are
// updated from the ring with one addition and one subtraction per element,
// whatever the mask size.
//
// The caller's columnSums image receives the box sums: row v holds the boxes
// whose top row is input row v. It is typically one row shown as many rows
// with row increment 0, so that the sums are updated in place.
//
// Sums are 16 bits: masks with maskRows x maskCols above kMaxMaskArea (whose
// sums of 255s would not fit) and masks with a zero side are refused, and
// add() then writes nothing. One object serves one image on one thread.
class BoxFilter {
public:
  static constexpr unsigned kMaxMaskArea = 257;

  // Makes columnSums the output (sharing the caller's buffer), keeps the mask,
  // reallocates the ring when its size changes and restarts the row count.
  // Neither the ring nor columnSums is cleared.
  void reset(Image<unsigned short>& columnSums, unsigned maskRows, unsigned maskCols);

  // Adds the next input row (its first `width` pixels, at most row.nCols()).
  // Returns the columnSums row v that now holds complete box sums (of input
  // rows v .. v + maskRows - 1), or a negative number while fewer than
  // maskRows rows were added, for a refused mask, and once v would lie below
  // the last row of columnSums. sse2 chooses the form of the running sum.
  int add(const Row<unsigned char>& row, int width, bool sse2);

  int rowsAdded() const { return m_count; }

private:
  bool maskSupported() const;
  // H[0] = d[0] + ... + d[m-1]; H[j+1] = H[j] + d[m+j] - d[j].
  void horizontalSums(unsigned short* out, const unsigned char* row, int sums, bool sse2) const;

  Image<unsigned short> m_rowSums;
  Image<unsigned short> m_columnSums;
  int m_maskCols = 0;
  int m_maskRows = 0;
  int m_count = 0;
};

// out = n x n box mean of in: out(v, c) = (S * (65536 / (n * n))) >> 16 with S
// the sum of the box whose top-left pixel is in(v, c), i.e. the mean rounded
// down, or one below it where the reciprocal is not exact. out covers at most
// (in.rows - n + 1) x (in.cols - n + 1) pixels; n = 1 copies. Masks above 11
// (sums above 32767) are refused: nothing is written and false is returned.
STELOX_API bool boxFilter(Image<unsigned char>& out, const Image<unsigned char>& in, unsigned n);

#endif
