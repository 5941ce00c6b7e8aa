#include "rectify/Warper3.h"

#include <cmath>

#include "rectify/WarpRowKernels.h"

namespace {

struct Sample {
  int cell;
  unsigned char weight;
};

// Top-left cell index and 7-bit weight of a mapped coordinate in an axis of
// size pixels. Points before the first pixel (and NaN) take the first pixel;
// points past size - 1.0001 take the last cell with weight 127, which also
// holds where single precision cannot represent size - 1.0001 below size - 1.
Sample sampleAxis(float x, int size) {
  if (!(x >= 0.0f))
    return {0, 0};
  const float bound = static_cast<float>(size) - 1.0001f;
  if (x > bound)
    x = bound;
  const int cell = static_cast<int>(std::floor(x));
  if (cell > size - 2)
    return {size - 2, 127};
  return {cell, static_cast<unsigned char>(std::floor(128.0f * (x - static_cast<float>(cell))))};
}

} // namespace

Warper3::Warper3() = default;

Warper3::~Warper3() = default;

Warper* Warper3::clone() const { return new Warper3(*this); }

bool Warper3::buildWarper3Maps(const WarpMapFunc& map, int sourceRows, int sourceCols,
                               int sourceRowIncrement, int outRows, int outCols,
                               const ImageROI& roi, int rowShiftPercent, int colShiftPercent,
                               Image<int>& offsets, Image<unsigned char>& rowWeights,
                               Image<unsigned char>& colWeights) {
  if (sourceRows < 2 || sourceCols < 2 || sourceRowIncrement < sourceCols || outRows < 1 ||
      outCols < 1)
    return false;
  offsets = Image<int>(outRows, outCols);
  rowWeights = Image<unsigned char>(outRows, outCols);
  colWeights = Image<unsigned char>(outRows, outCols);

  const bool wholeFrame = roi == ImageROI{0, 0, sourceRows, sourceCols};
  const float rowShift = validShiftPercent(rowShiftPercent) / 100.0f;
  const float colShift = validShiftPercent(colShiftPercent) / 100.0f;
  for (int i = 0; i < outRows; ++i) {
    int* rowOffsets = offsets[i].data();
    unsigned char* rowWeight = rowWeights[i].data();
    unsigned char* colWeight = colWeights[i].data();
    for (int j = 0; j < outCols; ++j) {
      float r = 0.0f;
      float c = 0.0f;
      if (wholeFrame) {
        map.map(r, c, sourceRows, sourceCols, static_cast<float>(i) - rowShift,
                static_cast<float>(j) - colShift, outRows, outCols);
      } else {
        // A window of a rectified frame of the raw image's size.
        const float frameRow = static_cast<float>(roi.row) +
                               (static_cast<float>(i) - rowShift) * static_cast<float>(roi.rows) /
                                   static_cast<float>(outRows);
        const float frameCol = static_cast<float>(roi.col) +
                               (static_cast<float>(j) - colShift) * static_cast<float>(roi.cols) /
                                   static_cast<float>(outCols);
        map.map(r, c, sourceRows, sourceCols, frameRow, frameCol, sourceRows, sourceCols);
      }
      const Sample row = sampleAxis(r, sourceRows);
      const Sample col = sampleAxis(c, sourceCols);
      rowOffsets[j] = row.cell * sourceRowIncrement + col.cell;
      rowWeight[j] = row.weight;
      colWeight[j] = col.weight;
    }
  }
  return true;
}

bool Warper3::build(const WarpMapFunc& map, int sourceRows, int sourceCols,
                    int sourceRowIncrement, int outRows, int outCols, const ImageROI& roi,
                    int rowShiftPercent, int colShiftPercent, int kernelSize) {
  if (!buildWarper3Maps(map, sourceRows, sourceCols, sourceRowIncrement, outRows, outCols, roi,
                        rowShiftPercent, colShiftPercent, m_offsets, m_rowWeights, m_colWeights))
    return false;
  setGeometry(sourceRows, sourceCols, sourceRowIncrement, roi, rowShiftPercent, colShiftPercent,
              kernelSize);
  initRange();
  return true;
}

void Warper3::initRange() { computeRange(1); }

void Warper3::warp(unsigned char* out, const unsigned char* raw, int tableRow, int tableCol,
                   int count) const {
  Stelox::bilinear_row8(out, raw, m_offsets[tableRow].data() + tableCol,
                        m_rowWeights[tableRow].data() + tableCol,
                        m_colWeights[tableRow].data() + tableCol, count, m_sourceRowIncrement);
}

void Warper3::warp(unsigned short* out, const unsigned short* raw, int tableRow, int tableCol,
                   int count) const {
  Warper::warp(out, raw, tableRow, tableCol, count);
}

void Warper3::warp(Pixel8x4* out, const Pixel8x4* raw, int tableRow, int tableCol,
                   int count) const {
  Stelox::bilinear_row8x4(out, raw, m_offsets[tableRow].data() + tableCol,
                          m_rowWeights[tableRow].data() + tableCol,
                          m_colWeights[tableRow].data() + tableCol, count, m_sourceRowIncrement);
}
