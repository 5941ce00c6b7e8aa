// The rectification engine of one lens.
#ifndef STELOX_RECTIFY_RECTIFIER_H
#define STELOX_RECTIFY_RECTIFIER_H

#include <memory>

#include "rectify/RectifyError.h"
#include "rectify/RectifyLensData.h"
#include "rectify/Warper.h"

// Owns the lens's two maps (rectified -> raw, raw -> rectified) and its cache
// of lookup tables. Copies share one implementation; the rectifier is not
// synchronised, so it and its copies are used from one thread at a time.
//
// Image operations take sizes as columns, then rows, and the output before
// the input; outputs are packed (row increment = columns). Table building and
// point operations take rows, then columns. The region (row, col, rows, cols)
// is {0, 0, raw rows, raw cols} for the whole frame; any other region is a
// window of a rectified frame of the raw image's size. Shifts are hundredths
// of a pixel, 0 ... 99.
class Rectifier {
public:
  class RectifierImpl;

  static const double sdInvalidFocalLength;

  explicit Rectifier(const RectifyLensData& lensData);
  Rectifier(const Rectifier&) = default;
  Rectifier& operator=(const Rectifier&) = default;

  // Not RectifyErrorOk: the lens data was unusable and every operation
  // returns this result without touching its outputs.
  virtual RectifyError getConstructionResult() const;
  virtual ~Rectifier();

  virtual double getFocalLengthX() const;
  virtual double getFocalLengthY() const;
  virtual void getFocalLength(double& x, double& y) const;
  virtual double getCurrentFocalLengthX() const;
  virtual double getCurrentFocalLengthY() const;
  virtual void getCurrentFocalLength(double& x, double& y) const;
  virtual void getRectifiedAdjustment(double* x, double* y) const;
  virtual void getRawAdjustment(double* x, double* y) const;

  // Plain table warp of an 8-bit image.
  virtual RectifyError rectify(int outCols, int outRows, unsigned char* out, int rawCols,
                               int rawRows, int rawRowIncrement, const unsigned char* raw,
                               int roiRow, int roiCol, int roiRows, int roiCols,
                               int rowShiftPercent, int colShiftPercent, KernelType kind,
                               int kernelSize);
  // Table warp of the rowFactor x colFactor box mean of an 8-bit image. A
  // factor of 0 is chosen as ceil(raw / out) of its axis; factors are limited
  // so that their product is at most 128 and each box fits the raw image
  // twice. Factors 1 x 1 are a plain warp.
  virtual RectifyError lowpassRectify(int outCols, int outRows, unsigned char* out, int rawCols,
                                      int rawRows, int rawRowIncrement, const unsigned char* raw,
                                      int roiRow, int roiCol, int roiRows, int roiCols,
                                      unsigned rowFactor, unsigned colFactor,
                                      int rowShiftPercent, int colShiftPercent, KernelType kind,
                                      int kernelSize);
  // Packed colour (Pixel8x4) in and out, low-pass filtered like
  // lowpassRectify; bytes 0 to 2 are interpolated, byte 3 of the output is 0.
  virtual RectifyError unpackLowpassRectify(int outCols, int outRows, void* out, int rawCols,
                                            int rawRows, int rawRowIncrementBytes,
                                            const void* raw, int roiRow, int roiCol, int roiRows,
                                            int roiCols, unsigned rowFactor, unsigned colFactor);
  // Packed colour in, three rectified 8-bit planes out: red (byte 2), green
  // (byte 1) and blue (byte 0).
  virtual RectifyError unpackLowpassRectify(int outCols, int outRows, unsigned char* outPlane0,
                                            unsigned char* outPlane1, unsigned char* outPlane2,
                                            int rawCols, int rawRows, int rawRowIncrementBytes,
                                            const void* raw, int roiRow, int roiCol, int roiRows,
                                            int roiCols, unsigned rowFactor, unsigned colFactor,
                                            int rowShiftPercent, int colShiftPercent,
                                            KernelType kind, int kernelSize);

  // Raw pixel -> rectified position.
  virtual RectifyError rectifyPixel(float rawRow, float rawCol, int rawRows, int rawCols,
                                    float* rectRow, float* rectCol, int rectRows, int rectCols);
  // Rectified pixel -> raw position, through the rectified-to-raw map; inputs
  // outside the rectified image are clamped to it.
  virtual RectifyError unrectifyPixel(float rectRow, float rectCol, int rectRows, int rectCols,
                                      float* rawRow, float* rawCol, int rawRows, int rawCols);
  // The raw point whose rectified position is (rectRow, rectCol), found by
  // shrinking brackets; RectifyErrorSearchFailed when the error stops falling
  // above 0.001 pixel (the outputs then hold the best point found).
  virtual RectifyError searchUnrectifyPixel(float rectRow, float rectCol, int rectRows,
                                            int rectCols, float* rawRow, float* rawCol,
                                            int rawRows, int rawCols);

  // Makes sure a table for exactly this request is in the cache.
  virtual RectifyError buildWarper(int outRows, int outCols, int rawRows, int rawCols,
                                   int rawRowIncrement, int roiRow, int roiCol, int roiRows,
                                   int roiCols, int rowShiftPercent, int colShiftPercent,
                                   KernelType kind, int kernelSize);

  RectifierImpl& impl() const { return *m_impl; }

private:
  std::shared_ptr<RectifierImpl> m_impl;
};

#endif
