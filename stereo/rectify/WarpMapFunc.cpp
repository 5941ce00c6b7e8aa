#include "rectify/WarpMapFunc.h"

namespace {

// NaN passes through unchanged; the splines evaluate it to 0.
float clampUnit(float x) {
  if (x < 0.0f)
    return 0.0f;
  if (x > 1.0f)
    return 1.0f;
  return x;
}

} // namespace

WarpMapFunc::WarpMapFunc(const WarpSpline& rowSpline, const WarpSpline& colSpline,
                         double focalLengthY, double focalLengthX, double sourceAdjustmentX,
                         double sourceAdjustmentY, double destinationAdjustmentX,
                         double destinationAdjustmentY)
    : m_colSpline(colSpline), m_rowSpline(rowSpline), m_focalLengthY(focalLengthY),
      m_focalLengthX(focalLengthX), m_sourceAdjustmentX(sourceAdjustmentX),
      m_sourceAdjustmentY(sourceAdjustmentY), m_destinationAdjustmentX(destinationAdjustmentX),
      m_destinationAdjustmentY(destinationAdjustmentY) {}

WarpMapFunc* WarpMapFunc::clone() const { return new WarpMapFunc(*this); }

WarpMapFunc::~WarpMapFunc() = default;

bool WarpMapFunc::init(const WarpSpline& rowSpline, const WarpSpline& colSpline,
                       double focalLengthY, double focalLengthX, double sourceAdjustmentX,
                       double sourceAdjustmentY, double destinationAdjustmentX,
                       double destinationAdjustmentY) {
  *this = WarpMapFunc(rowSpline, colSpline, focalLengthY, focalLengthX, sourceAdjustmentX,
                      sourceAdjustmentY, destinationAdjustmentX, destinationAdjustmentY);
  return true;
}

void WarpMapFunc::map(float& outRow, float& outCol, float inRow, float inCol) const {
  const double u = clampUnit(inRow - static_cast<float>(m_destinationAdjustmentY));
  const double v = clampUnit(inCol - static_cast<float>(m_destinationAdjustmentX));
  outRow = clampUnit(static_cast<float>(m_rowSpline(u, v)) +
                     static_cast<float>(m_sourceAdjustmentY));
  outCol = clampUnit(static_cast<float>(m_colSpline(u, v)) +
                     static_cast<float>(m_sourceAdjustmentX));
}

void WarpMapFunc::map(float& outRow, float& outCol, int outRows, int outCols, float inRow,
                      float inCol, int inRows, int inCols) const {
  float row = 0.0f;
  float col = 0.0f;
  map(row, col, (inRow + 0.5f) / static_cast<float>(inRows),
      (inCol + 0.5f) / static_cast<float>(inCols));
  outRow = static_cast<float>(outRows) * row - 0.5f;
  outCol = static_cast<float>(outCols) * col - 0.5f;
}

void WarpMapFunc::setSourceAdjustment(double x, double y) {
  m_sourceAdjustmentX = x;
  m_sourceAdjustmentY = y;
}

void WarpMapFunc::setDestinationAdjustment(double x, double y) {
  m_destinationAdjustmentX = x;
  m_destinationAdjustmentY = y;
}

void WarpMapFunc::getSourceAdjustment(double* x, double* y) const {
  *x = m_sourceAdjustmentX;
  *y = m_sourceAdjustmentY;
}

void WarpMapFunc::getDestinationAdjustment(double* x, double* y) const {
  *x = m_destinationAdjustmentX;
  *y = m_destinationAdjustmentY;
}
