#include "rectify/RectifierImpl.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "filter/BoxFilter.h"
#include "filter/ColourUnpack.h"
#include "stelox_kernels.h"

namespace {

WarpSpline splineOf(const WarpData& warp, int cacheRows, int cacheCols) {
  return WarpSpline(warp.getYKnots()->data(), warp.getXKnots()->data(),
                    warp.getCoefs()->data(), warp.getNumCoefs(0), cacheRows, cacheCols);
}

unsigned ceilDiv(int a, int b) { return static_cast<unsigned>((a + b - 1) / b); }

// Images with pixels, raw rows at least as long as the raw width.
bool validSizes(int outCols, int outRows, int rawCols, int rawRows, int rawRowIncrement) {
  return outCols > 0 && outRows > 0 && rawCols > 0 && rawRows > 0 && rawRowIncrement >= rawCols;
}

} // namespace

Rectifier::RectifierImpl::RectifierImpl(const RectifyLensData& d) {
  if (!warpDataUsable(d.rectifiedWarpData[0]) || !warpDataUsable(d.rectifiedWarpData[1]) ||
      !warpDataUsable(d.distortedWarpData[0]) || !warpDataUsable(d.distortedWarpData[1])) {
    m_constructionResult = RectifyErrorInvalidWarpData;
    return;
  }
  const bool sensorKnown = d.sensorRows > 0 && d.sensorCols > 0;
  const int cacheRows = sensorKnown ? d.sensorRows : 480;
  const int cacheCols = sensorKnown ? d.sensorCols : 640;
  m_rectifiedToRaw = std::make_unique<WarpMapFunc>(
      splineOf(*d.rectifiedWarpData[1], cacheRows, cacheCols),
      splineOf(*d.rectifiedWarpData[0], cacheRows, cacheCols), d.focalLengthY, d.focalLengthX,
      d.rawAdjustmentX, d.rawAdjustmentY, d.rectifiedAdjustmentX, d.rectifiedAdjustmentY);
  m_rawToRectified = std::make_unique<WarpMapFunc>(
      splineOf(*d.distortedWarpData[1], cacheRows, cacheCols),
      splineOf(*d.distortedWarpData[0], cacheRows, cacheCols), d.focalLengthY, d.focalLengthX,
      d.rectifiedAdjustmentX, d.rectifiedAdjustmentY, d.rawAdjustmentX, d.rawAdjustmentY);
  m_constructionResult = m_warpers.init();
  if (m_constructionResult != RectifyErrorOk) {
    clear();
    return;
  }
  m_warpers.setWarpFunc(m_rectifiedToRaw.get());
  m_focalLengthX = d.focalLengthX;
  m_focalLengthY = d.focalLengthY;
  m_rectifiedAdjustmentX = d.rectifiedAdjustmentX;
  m_rectifiedAdjustmentY = d.rectifiedAdjustmentY;
  m_rawAdjustmentX = d.rawAdjustmentX;
  m_rawAdjustmentY = d.rawAdjustmentY;
}

Rectifier::RectifierImpl::~RectifierImpl() { clear(); }

void Rectifier::RectifierImpl::clear() {
  m_warpers.setWarpFunc(nullptr);
  m_rectifiedToRaw.reset();
  m_rawToRectified.reset();
  m_focalLengthX = m_focalLengthY = 0.0;
  m_currentFocalLengthX = m_currentFocalLengthY = 0.0;
  m_rectifiedAdjustmentX = m_rectifiedAdjustmentY = 0.0;
  m_rawAdjustmentX = m_rawAdjustmentY = 0.0;
}

void Rectifier::RectifierImpl::getRectifiedAdjustment(double* x, double* y) const {
  *x = m_rectifiedAdjustmentX;
  *y = m_rectifiedAdjustmentY;
}

void Rectifier::RectifierImpl::getRawAdjustment(double* x, double* y) const {
  *x = m_rawAdjustmentX;
  *y = m_rawAdjustmentY;
}

RectifyError Rectifier::RectifierImpl::getWarper(Warper** out, int outRows, int outCols,
                                                 int rawRows, int rawCols, int rawRowIncrement,
                                                 const ImageROI& roi, int rowShiftPercent,
                                                 int colShiftPercent, KernelType kind,
                                                 int kernelSize) {
  if (m_constructionResult != RectifyErrorOk)
    return m_constructionResult;
  if (static_cast<unsigned>(rowShiftPercent) > 99 || static_cast<unsigned>(colShiftPercent) > 99)
    return RectifyErrorInvalidShift;
  for (int i = 0; i < m_warpers.count(); ++i) {
    Warper* warper = m_warpers.at(i);
    if (warper->matches(outRows, outCols, rawRows, rawCols, rawRowIncrement, roi,
                        rowShiftPercent, colShiftPercent, kind, kernelSize)) {
      *out = warper;
      return RectifyErrorOk;
    }
  }
  if (m_warpers.full() && !m_warpers.reallocate())
    return RectifyErrorReallocate;
  std::unique_ptr<Warper> built =
      m_warpers.buildWarper(outRows, outCols, rawRows, rawCols, rawRowIncrement, roi,
                            rowShiftPercent, colShiftPercent, kind, kernelSize);
  if (!built)
    return RectifyErrorBuildWarper;
  *out = m_warpers.append(std::move(built));
  return RectifyErrorOk;
}

void Rectifier::RectifierImpl::chooseFactors(unsigned& rowFactor, unsigned& colFactor,
                                             int rawRows, int rawCols, int outRows,
                                             int outCols) {
  if (rowFactor == 0)
    rowFactor = ceilDiv(rawRows, outRows);
  if (colFactor == 0)
    colFactor = ceilDiv(rawCols, outCols);
  rowFactor = std::min(rowFactor, static_cast<unsigned>(std::max(1, (rawRows + 1) / 2)));
  colFactor = std::min(colFactor, static_cast<unsigned>(std::max(1, (rawCols + 1) / 2)));
  while (rowFactor * colFactor > static_cast<unsigned>(Warper::maxLowpassArea)) {
    if (rowFactor >= colFactor)
      --rowFactor;
    else
      --colFactor;
  }
}

RectifyError Rectifier::RectifierImpl::rectify(int outCols, int outRows, unsigned char* out,
                                               int rawCols, int rawRows, int rawRowIncrement,
                                               const unsigned char* raw, const ImageROI& roi,
                                               int rowShiftPercent, int colShiftPercent,
                                               KernelType kind, int kernelSize) {
  Warper* warper = nullptr;
  const RectifyError result =
      getWarper(&warper, outRows, outCols, rawRows, rawCols, rawRowIncrement, roi,
                rowShiftPercent, colShiftPercent, kind, kernelSize);
  if (result != RectifyErrorOk)
    return result;
  return lowpassRectify(outCols, outRows, out, rawCols, rawRows, rawRowIncrement, raw, 1, 1,
                        *warper);
}

RectifyError Rectifier::RectifierImpl::lowpassRectify(
    int outCols, int outRows, unsigned char* out, int rawCols, int rawRows, int rawRowIncrement,
    const unsigned char* raw, const ImageROI& roi, unsigned rowFactor, unsigned colFactor,
    int rowShiftPercent, int colShiftPercent, KernelType kind, int kernelSize) {
  if (m_constructionResult != RectifyErrorOk)
    return m_constructionResult;
  if (!validSizes(outCols, outRows, rawCols, rawRows, rawRowIncrement))
    return RectifyErrorBuildWarper;
  chooseFactors(rowFactor, colFactor, rawRows, rawCols, outRows, outCols);
  // The low-pass table addresses the filtered copy, whose rows are packed.
  const int tableRowIncrement = rowFactor * colFactor >= 2 ? rawCols : rawRowIncrement;
  Warper* warper = nullptr;
  const RectifyError result =
      getWarper(&warper, outRows, outCols, rawRows, rawCols, tableRowIncrement, roi,
                rowShiftPercent, colShiftPercent, kind, kernelSize);
  if (result != RectifyErrorOk)
    return result;
  return lowpassRectify(outCols, outRows, out, rawCols, rawRows, rawRowIncrement, raw, rowFactor,
                        colFactor, *warper);
}

RectifyError Rectifier::RectifierImpl::lowpassRectify(int outCols, int outRows,
                                                      unsigned char* out, int rawCols,
                                                      int rawRows, int rawRowIncrement,
                                                      const unsigned char* raw,
                                                      unsigned rowFactor, unsigned colFactor,
                                                      const Warper& warper) {
  if (!validSizes(outCols, outRows, rawCols, rawRows, rawRowIncrement))
    return RectifyErrorBuildWarper;
  const Image<unsigned char> rawView(rawRows, rawCols, rawRowIncrement,
                                     const_cast<unsigned char*>(raw));
  Image<unsigned char> outView(outRows, outCols, out);
  chooseFactors(rowFactor, colFactor, rawRows, rawCols, outRows, outCols);
  if (rowFactor * colFactor < 2)
    return warper.warp(outView, rawView) ? RectifyErrorOk : RectifyErrorBuildWarper;

  const int maskRows = static_cast<int>(rowFactor);
  const int maskCols = static_cast<int>(colFactor);
  std::vector<unsigned char> filteredPixels(static_cast<std::size_t>(rawRows) * rawCols, 0);
  Image<unsigned char> filtered(rawRows, rawCols, filteredPixels.data());
  Image<unsigned char> filteredValid(
      filtered, {maskRows / 2, maskCols / 2, rawRows - maskRows + 1, rawCols - maskCols + 1},
      false);
  Image<unsigned short> columnSums = Image<unsigned short>::constImage(
      rawRows - maskRows + 1, rawCols - maskCols + 1, 0);
  BoxFilter boxFilter;
  boxFilter.reset(columnSums, rowFactor, colFactor);
  if (warper.kind() != 0)
    return RectifyErrorOk;
  return warper.warp(outView, rawView, filtered, filteredValid, columnSums, boxFilter,
                     65536 / (maskRows * maskCols), maskRows, maskCols)
             ? RectifyErrorOk
             : RectifyErrorBuildWarper;
}

RectifyError Rectifier::RectifierImpl::unpackLowpassRectify(
    int outCols, int outRows, unsigned char* outPlane0, unsigned char* outPlane1,
    unsigned char* outPlane2, int rawCols, int rawRows, int rawRowIncrementBytes,
    const void* raw, const ImageROI& roi, unsigned rowFactor, unsigned colFactor,
    int rowShiftPercent, int colShiftPercent, KernelType kind, int kernelSize) {
  if (m_constructionResult != RectifyErrorOk)
    return m_constructionResult;
  const int rawRowIncrement = rawRowIncrementBytes / 4;
  if (!validSizes(outCols, outRows, rawCols, rawRows, rawRowIncrement))
    return RectifyErrorBuildWarper;
  const Image<Pixel8x4> rawView(rawRows, rawCols, rawRowIncrement,
                                static_cast<Pixel8x4*>(const_cast<void*>(raw)));
  Image<unsigned char> planes[3] = {Image<unsigned char>(rawRows, rawView.nCols()),
                                    Image<unsigned char>(rawRows, rawView.nCols()),
                                    Image<unsigned char>(rawRows, rawView.nCols())};
  unpackRGB(planes[0], planes[1], planes[2], rawView);
  unsigned char* outs[3] = {outPlane0, outPlane1, outPlane2};
  for (int p = 0; p < 3; ++p) {
    const RectifyError result =
        lowpassRectify(outCols, outRows, outs[p], rawCols, rawRows, planes[p].nRowInc(),
                       planes[p].bufferconstptr(), roi, rowFactor, colFactor, rowShiftPercent,
                       colShiftPercent, kind, kernelSize);
    if (result != RectifyErrorOk)
      return result;
  }
  return RectifyErrorOk;
}

RectifyError Rectifier::RectifierImpl::unpackLowpassRectify(int outCols, int outRows, void* out,
                                                            int rawCols, int rawRows,
                                                            int rawRowIncrementBytes,
                                                            const void* raw, const ImageROI& roi,
                                                            unsigned rowFactor,
                                                            unsigned colFactor) {
  if (m_constructionResult != RectifyErrorOk)
    return m_constructionResult;
  const int rawRowIncrement = rawRowIncrementBytes / 4;
  if (!validSizes(outCols, outRows, rawCols, rawRows, rawRowIncrement))
    return RectifyErrorBuildWarper;
  chooseFactors(rowFactor, colFactor, rawRows, rawCols, outRows, outCols);
  const Image<Pixel8x4> rawView(rawRows, rawCols, rawRowIncrement,
                                static_cast<Pixel8x4*>(const_cast<void*>(raw)));
  Image<Pixel8x4> outView(outRows, outCols, static_cast<Pixel8x4*>(out));
  Warper* warper = nullptr;
  if (rowFactor * colFactor < 2) {
    const RectifyError result = getWarper(&warper, outRows, outCols, rawRows, rawCols,
                                          rawRowIncrement, roi, 0, 0, KernelTypeBilinear, 5);
    if (result != RectifyErrorOk)
      return result;
    return warper->warp(outView, rawView) ? RectifyErrorOk : RectifyErrorBuildWarper;
  }

  const int maskRows = static_cast<int>(rowFactor);
  const int maskCols = static_cast<int>(colFactor);
  Image<Pixel8x4> filtered(rawRows, rawCols);
  const RectifyError result = getWarper(&warper, outRows, outCols, rawRows, rawCols,
                                        filtered.nRowInc(), roi, 0, 0, KernelTypeBilinear, 5);
  if (result != RectifyErrorOk)
    return result;

  // Horizontal box sums of the last maskRows + 1 raw rows (used modulo
  // maskRows + 1) and, in the extra last row, the running box sum. All four
  // channels are summed in one pass; sums are read as signed 16 bits by the
  // packing, which the factor limit keeps valid.
  const int scale = 65536 / (maskRows * maskCols);
  const int sums = rawCols - maskCols + 1;
  const int lanes = 4 * sums;
  Image<Pixel16x4> ring(maskRows + 2, rawCols);
  unsigned short* running = reinterpret_cast<unsigned short*>(ring[maskRows + 1].data());
  const auto ringRow = [&](int r) {
    return reinterpret_cast<unsigned short*>(ring[r % (maskRows + 1)].data());
  };
  const auto rawBytes = [&](int r) {
    return reinterpret_cast<const unsigned char*>(rawView[r].data());
  };
  const auto pack = [&](int filteredRow) {
    row_pack_op(reinterpret_cast<unsigned char*>(filtered[filteredRow].data() + maskCols / 2),
                lanes, reinterpret_cast<const short*>(running), scale);
  };
  for (int r = 0; r < maskRows; ++r) {
    box8x4_hfilter(ringRow(r), rawBytes(r), sums, maskCols);
    if (r == 0)
      row_copy16(running, ringRow(0), lanes);
    else
      row_add(running, running, ringRow(r), lanes);
  }
  pack(maskRows / 2);
  for (int r = maskRows; r < rawRows; ++r) {
    if (maskRows == 1) {
      box8x4_hfilter(running, rawBytes(r), sums, maskCols);
    } else if (maskCols == 1) {
      box_add_sub8ptr(running, running, rawBytes(r), rawBytes(r - maskRows), lanes);
    } else {
      box8x4_hfilter(ringRow(r), rawBytes(r), sums, maskCols);
      box_add_sub16ptr(running, running, ringRow(r), ringRow(r - maskRows), lanes);
    }
    pack(r - maskRows + 1 + maskRows / 2);
  }
  return warper->warp(outView, filtered) ? RectifyErrorOk : RectifyErrorBuildWarper;
}

RectifyError Rectifier::RectifierImpl::rectifyPixel(float rawRow, float rawCol, int rawRows,
                                                    int rawCols, float* rectRow, float* rectCol,
                                                    int rectRows, int rectCols) const {
  if (m_constructionResult != RectifyErrorOk)
    return m_constructionResult;
  m_rawToRectified->map(*rectRow, *rectCol, rectRows, rectCols, rawRow, rawCol, rawRows, rawCols);
  return RectifyErrorOk;
}

RectifyError Rectifier::RectifierImpl::unrectifyPixel(float rectRow, float rectCol, int rectRows,
                                                      int rectCols, float* rawRow, float* rawCol,
                                                      int rawRows, int rawCols) const {
  if (m_constructionResult != RectifyErrorOk)
    return m_constructionResult;
  m_rectifiedToRaw->map(*rawRow, *rawCol, rawRows, rawCols, rectRow, rectCol, rectRows, rectCols);
  return RectifyErrorOk;
}

RectifyError Rectifier::RectifierImpl::searchUnrectifyPixel(float rectRow, float rectCol,
                                                            int rectRows, int rectCols,
                                                            float* rawRow, float* rawCol,
                                                            int rawRows, int rawCols) const {
  if (m_constructionResult != RectifyErrorOk)
    return m_constructionResult;
  const double lastRow = rawRows - 1.0;
  const double lastCol = rawCols - 1.0;
  const auto toRectified = [&](double r, double c, double& outRow, double& outCol) {
    float mappedRow = 0.0f;
    float mappedCol = 0.0f;
    m_rawToRectified->map(mappedRow, mappedCol, rectRows, rectCols, static_cast<float>(r),
                          static_cast<float>(c), rawRows, rawCols);
    outRow = mappedRow;
    outCol = mappedCol;
  };
  double r0 = 0.0, r1 = lastRow, c0 = 0.0, c1 = lastCol;
  double previousError = std::sqrt(lastRow * lastRow + lastCol * lastCol);
  for (;;) {
    double ar, ac, br, bc, dr_, dc_;
    toRectified(r0, c0, ar, ac);
    toRectified(r0, c1, br, bc);
    toRectified(r1, c0, dr_, dc_);
    const double rowSlope = r1 == r0 ? 1.0 : (dr_ - ar) / (r1 - r0);
    const double colSlope = c1 == c0 ? 1.0 : (bc - ac) / (c1 - c0);
    const double rowFraction = dr_ == ar ? dr_ : (rectRow - ar) / (dr_ - ar);
    const double colFraction = bc == ac ? bc : (rectCol - ac) / (bc - ac);
    const double r = std::min(std::max(r0 + rowFraction * (r1 - r0), 0.0), lastRow);
    const double c = std::min(std::max(c0 + colFraction * (c1 - c0), 0.0), lastCol);
    double er, ec;
    toRectified(r, c, er, ec);
    const double rowResidual = rectRow - er;
    const double colResidual = rectCol - ec;
    const double error = std::sqrt(rowResidual * rowResidual + colResidual * colResidual);
    *rawRow = static_cast<float>(r);
    *rawCol = static_cast<float>(c);
    if (error <= 0.001)
      return RectifyErrorOk;
    // Also ends a search whose error is not a number.
    if (!(error < previousError))
      return RectifyErrorSearchFailed;
    const double rowCentre = r + rowResidual * rowSlope;
    const double rowHalf = 1.2 * std::fabs(rowResidual * rowSlope);
    const double colCentre = c + colResidual * colSlope;
    const double colHalf = 1.2 * std::fabs(colResidual * colSlope);
    r0 = std::max(0.0, rowCentre - rowHalf);
    r1 = std::min(lastRow, rowCentre + rowHalf);
    c0 = std::max(0.0, colCentre - colHalf);
    c1 = std::min(lastCol, colCentre + colHalf);
    previousError = error;
  }
}

RectifyError Rectifier::RectifierImpl::setRectifiedAdjustment(double x, double y) {
  if (m_constructionResult != RectifyErrorOk)
    return m_constructionResult;
  if (!(x >= -1.0 && x <= 1.0 && y >= -1.0 && y <= 1.0))
    return RectifyErrorRectifiedAdjustment;
  m_rectifiedAdjustmentX = x;
  m_rectifiedAdjustmentY = y;
  m_rectifiedToRaw->setDestinationAdjustment(x, y);
  m_rawToRectified->setSourceAdjustment(x, y);
  m_warpers.clear();
  return RectifyErrorOk;
}

RectifyError Rectifier::RectifierImpl::setRawAdjustment(double x, double y) {
  if (m_constructionResult != RectifyErrorOk)
    return m_constructionResult;
  if (!(x >= -1.0 && x <= 1.0 && y >= -1.0 && y <= 1.0))
    return RectifyErrorRawAdjustment;
  m_rawAdjustmentX = x;
  m_rawAdjustmentY = y;
  m_rectifiedToRaw->setSourceAdjustment(x, y);
  m_rawToRectified->setDestinationAdjustment(x, y);
  m_warpers.clear();
  return RectifyErrorOk;
}
