// The shared state behind a Rectifier.
#ifndef STELOX_RECTIFY_RECTIFIERIMPL_H
#define STELOX_RECTIFY_RECTIFIERIMPL_H

#include <memory>

#include "rectify/Rectifier.h"
#include "rectify/WarpMapFunc.h"
#include "rectify/WarperList.h"

class Rectifier::RectifierImpl {
public:
  explicit RectifierImpl(const RectifyLensData& lensData);
  ~RectifierImpl();
  RectifierImpl(const RectifierImpl&) = delete;
  RectifierImpl& operator=(const RectifierImpl&) = delete;

  RectifyError getConstructionResult() const { return m_constructionResult; }

  // The cached table for this request, built and appended when missing.
  RectifyError getWarper(Warper** out, int outRows, int outCols, int rawRows, int rawCols,
                         int rawRowIncrement, const ImageROI& roi, int rowShiftPercent,
                         int colShiftPercent, KernelType kind, int kernelSize);

  RectifyError rectify(int outCols, int outRows, unsigned char* out, int rawCols, int rawRows,
                       int rawRowIncrement, const unsigned char* raw, const ImageROI& roi,
                       int rowShiftPercent, int colShiftPercent, KernelType kind,
                       int kernelSize);
  RectifyError lowpassRectify(int outCols, int outRows, unsigned char* out, int rawCols,
                              int rawRows, int rawRowIncrement, const unsigned char* raw,
                              const ImageROI& roi, unsigned rowFactor, unsigned colFactor,
                              int rowShiftPercent, int colShiftPercent, KernelType kind,
                              int kernelSize);
  // Warps raw into out with a table found for it, through the box mean of
  // rowFactor x colFactor when their product is at least 2.
  RectifyError lowpassRectify(int outCols, int outRows, unsigned char* out, int rawCols,
                              int rawRows, int rawRowIncrement, const unsigned char* raw,
                              unsigned rowFactor, unsigned colFactor, const Warper& warper);
  RectifyError unpackLowpassRectify(int outCols, int outRows, void* out, int rawCols,
                                    int rawRows, int rawRowIncrementBytes, const void* raw,
                                    const ImageROI& roi, unsigned rowFactor, unsigned colFactor);
  RectifyError unpackLowpassRectify(int outCols, int outRows, unsigned char* outPlane0,
                                    unsigned char* outPlane1, unsigned char* outPlane2,
                                    int rawCols, int rawRows, int rawRowIncrementBytes,
                                    const void* raw, const ImageROI& roi, unsigned rowFactor,
                                    unsigned colFactor, int rowShiftPercent, int colShiftPercent,
                                    KernelType kind, int kernelSize);

  RectifyError rectifyPixel(float rawRow, float rawCol, int rawRows, int rawCols, float* rectRow,
                            float* rectCol, int rectRows, int rectCols) const;
  RectifyError unrectifyPixel(float rectRow, float rectCol, int rectRows, int rectCols,
                              float* rawRow, float* rawCol, int rawRows, int rawCols) const;
  RectifyError searchUnrectifyPixel(float rectRow, float rectCol, int rectRows, int rectCols,
                                    float* rawRow, float* rawCol, int rawRows, int rawCols) const;

  // Both adjustments lie in [-1, 1] (else RectifyErrorRectifiedAdjustment or
  // RectifyErrorRawAdjustment, nothing changed); a change empties the cache.
  RectifyError setRectifiedAdjustment(double x, double y);
  RectifyError setRawAdjustment(double x, double y);

  double focalLengthX() const { return m_focalLengthX; }
  double focalLengthY() const { return m_focalLengthY; }
  double currentFocalLengthX() const { return m_currentFocalLengthX; }
  double currentFocalLengthY() const { return m_currentFocalLengthY; }
  void getRectifiedAdjustment(double* x, double* y) const;
  void getRawAdjustment(double* x, double* y) const;
  const WarperList& warpers() const { return m_warpers; }

  // The factors a low-pass warp of raw into out uses for the requested ones
  // (0 = chosen from the sizes): the product is at most 128, and each factor at
  // most half its raw side (rounded up), so the box sums fit 16 signed bits
  // and every row holds a whole box.
  static void chooseFactors(unsigned& rowFactor, unsigned& colFactor, int rawRows, int rawCols,
                            int outRows, int outCols);

private:
  void clear();

  double m_focalLengthX = 0.0;
  double m_focalLengthY = 0.0;
  double m_currentFocalLengthX = 0.0;
  double m_currentFocalLengthY = 0.0;
  double m_rectifiedAdjustmentX = 0.0;
  double m_rectifiedAdjustmentY = 0.0;
  double m_rawAdjustmentX = 0.0;
  double m_rawAdjustmentY = 0.0;
  std::unique_ptr<WarpMapFunc> m_rectifiedToRaw;
  std::unique_ptr<WarpMapFunc> m_rawToRectified;
  WarperList m_warpers;
  RectifyError m_constructionResult = RectifyErrorOk;
};

#endif
