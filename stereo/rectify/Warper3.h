// Bilinear rectification lookup table with 7-bit interpolation weights.
#ifndef STELOX_RECTIFY_WARPER3_H
#define STELOX_RECTIFY_WARPER3_H

#include "rectify/Warper.h"

// Each output pixel reads the 2 x 2 raw cell whose top-left pixel the offset
// names, weighted by colWeight and rowWeight in units of 1/128 pixel (0 ...
// 127). Offsets never name the last raw row or column, so the cell always lies
// inside the raw image. 16-bit images are sampled at the cell's top-left pixel.
class Warper3 : public Warper {
public:
  Warper3();
  Warper3(const Warper3&) = default;

  ~Warper3() override;
  Warper* clone() const override;

  using Warper::warp;
  void initRange() override;
  void warp(unsigned char* out, const unsigned char* raw, int tableRow, int tableCol,
            int count) const override;
  void warp(unsigned short* out, const unsigned short* raw, int tableRow, int tableCol,
            int count) const override;
  // Bilinear on bytes 0 to 2; byte 3 of the output is 0.
  void warp(Pixel8x4* out, const Pixel8x4* raw, int tableRow, int tableCol,
            int count) const override;

  // Table of outRows x outCols. With roi = {0, 0, sourceRows, sourceCols} the
  // output is the whole rectified frame, scaled; any other roi is a window of
  // a rectified frame of the raw image's size, scaled to the output. Shifts
  // are hundredths of a pixel, 0 ... 99 (other values count as 0). Returns
  // false for sizes no bilinear table can be built for (a raw image needs at
  // least 2 x 2 pixels).
  bool build(const WarpMapFunc& map, int sourceRows, int sourceCols, int sourceRowIncrement,
             int outRows, int outCols, const ImageROI& roi, int rowShiftPercent,
             int colShiftPercent, int kernelSize);

  static bool buildWarper3Maps(const WarpMapFunc& map, int sourceRows, int sourceCols,
                               int sourceRowIncrement, int outRows, int outCols,
                               const ImageROI& roi, int rowShiftPercent, int colShiftPercent,
                               Image<int>& offsets, Image<unsigned char>& rowWeights,
                               Image<unsigned char>& colWeights);

  const Image<unsigned char>& rowWeights() const { return m_rowWeights; }
  const Image<unsigned char>& colWeights() const { return m_colWeights; }

protected:
  Image<unsigned char> m_rowWeights;
  Image<unsigned char> m_colWeights;
};

#endif
