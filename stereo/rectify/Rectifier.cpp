#include "rectify/Rectifier.h"

#include "rectify/RectifierImpl.h"

const double Rectifier::sdInvalidFocalLength = 0.0;

Rectifier::Rectifier(const RectifyLensData& lensData)
    : m_impl(std::make_shared<RectifierImpl>(lensData)) {}

Rectifier::~Rectifier() = default;

RectifyError Rectifier::getConstructionResult() const { return m_impl->getConstructionResult(); }

double Rectifier::getFocalLengthX() const { return m_impl->focalLengthX(); }

double Rectifier::getFocalLengthY() const { return m_impl->focalLengthY(); }

void Rectifier::getFocalLength(double& x, double& y) const {
  x = m_impl->focalLengthX();
  y = m_impl->focalLengthY();
}

double Rectifier::getCurrentFocalLengthX() const { return m_impl->currentFocalLengthX(); }

double Rectifier::getCurrentFocalLengthY() const { return m_impl->currentFocalLengthY(); }

void Rectifier::getCurrentFocalLength(double& x, double& y) const {
  x = m_impl->currentFocalLengthX();
  y = m_impl->currentFocalLengthY();
}

void Rectifier::getRectifiedAdjustment(double* x, double* y) const {
  m_impl->getRectifiedAdjustment(x, y);
}

void Rectifier::getRawAdjustment(double* x, double* y) const { m_impl->getRawAdjustment(x, y); }

RectifyError Rectifier::rectify(int outCols, int outRows, unsigned char* out, int rawCols,
                                int rawRows, int rawRowIncrement, const unsigned char* raw,
                                int roiRow, int roiCol, int roiRows, int roiCols,
                                int rowShiftPercent, int colShiftPercent, KernelType kind,
                                int kernelSize) {
  return m_impl->rectify(outCols, outRows, out, rawCols, rawRows, rawRowIncrement, raw,
                         {roiRow, roiCol, roiRows, roiCols}, rowShiftPercent, colShiftPercent,
                         kind, kernelSize);
}

RectifyError Rectifier::lowpassRectify(int outCols, int outRows, unsigned char* out, int rawCols,
                                       int rawRows, int rawRowIncrement,
                                       const unsigned char* raw, int roiRow, int roiCol,
                                       int roiRows, int roiCols, unsigned rowFactor,
                                       unsigned colFactor, int rowShiftPercent,
                                       int colShiftPercent, KernelType kind, int kernelSize) {
  return m_impl->lowpassRectify(outCols, outRows, out, rawCols, rawRows, rawRowIncrement, raw,
                                {roiRow, roiCol, roiRows, roiCols}, rowFactor, colFactor,
                                rowShiftPercent, colShiftPercent, kind, kernelSize);
}

RectifyError Rectifier::unpackLowpassRectify(int outCols, int outRows, void* out, int rawCols,
                                             int rawRows, int rawRowIncrementBytes,
                                             const void* raw, int roiRow, int roiCol,
                                             int roiRows, int roiCols, unsigned rowFactor,
                                             unsigned colFactor) {
  return m_impl->unpackLowpassRectify(outCols, outRows, out, rawCols, rawRows,
                                      rawRowIncrementBytes, raw,
                                      {roiRow, roiCol, roiRows, roiCols}, rowFactor, colFactor);
}

RectifyError Rectifier::unpackLowpassRectify(int outCols, int outRows, unsigned char* outPlane0,
                                             unsigned char* outPlane1, unsigned char* outPlane2,
                                             int rawCols, int rawRows, int rawRowIncrementBytes,
                                             const void* raw, int roiRow, int roiCol,
                                             int roiRows, int roiCols, unsigned rowFactor,
                                             unsigned colFactor, int rowShiftPercent,
                                             int colShiftPercent, KernelType kind,
                                             int kernelSize) {
  return m_impl->unpackLowpassRectify(outCols, outRows, outPlane0, outPlane1, outPlane2, rawCols,
                                      rawRows, rawRowIncrementBytes, raw,
                                      {roiRow, roiCol, roiRows, roiCols}, rowFactor, colFactor,
                                      rowShiftPercent, colShiftPercent, kind, kernelSize);
}

RectifyError Rectifier::rectifyPixel(float rawRow, float rawCol, int rawRows, int rawCols,
                                     float* rectRow, float* rectCol, int rectRows,
                                     int rectCols) {
  return m_impl->rectifyPixel(rawRow, rawCol, rawRows, rawCols, rectRow, rectCol, rectRows,
                              rectCols);
}

RectifyError Rectifier::unrectifyPixel(float rectRow, float rectCol, int rectRows, int rectCols,
                                       float* rawRow, float* rawCol, int rawRows, int rawCols) {
  return m_impl->unrectifyPixel(rectRow, rectCol, rectRows, rectCols, rawRow, rawCol, rawRows,
                                rawCols);
}

RectifyError Rectifier::searchUnrectifyPixel(float rectRow, float rectCol, int rectRows,
                                             int rectCols, float* rawRow, float* rawCol,
                                             int rawRows, int rawCols) {
  return m_impl->searchUnrectifyPixel(rectRow, rectCol, rectRows, rectCols, rawRow, rawCol,
                                      rawRows, rawCols);
}

RectifyError Rectifier::buildWarper(int outRows, int outCols, int rawRows, int rawCols,
                                    int rawRowIncrement, int roiRow, int roiCol, int roiRows,
                                    int roiCols, int rowShiftPercent, int colShiftPercent,
                                    KernelType kind, int kernelSize) {
  Warper* warper = nullptr;
  return m_impl->getWarper(&warper, outRows, outCols, rawRows, rawCols, rawRowIncrement,
                           {roiRow, roiCol, roiRows, roiCols}, rowShiftPercent, colShiftPercent,
                           kind, kernelSize);
}
