#include "rectify/SteloxRectifyMgr.h"

#include <strings.h>

#include "rectify/RectifyHelper.h"

const char* const SteloxRectifyMgr::m_sProductName = "GEMLO";

namespace {

RectifyError checkWarpPair(const LensData& lens, const char* fact,
                           std::shared_ptr<const WarpData> (LensData::*get)(int) const,
                           std::shared_ptr<const WarpData>* warps) {
  if (!lens.exist(fact))
    return RectifyErrorWarpData;
  warps[0] = (lens.*get)(0);
  warps[1] = (lens.*get)(1);
  for (int i = 0; i < 2; ++i) {
    if (!warps[i])
      return RectifyErrorWarpData;
    const RectifyError parsed = RectifyHelper::parseToRectifyError(warps[i]->getParseResult());
    if (parsed != RectifyErrorOk)
      return parsed;
  }
  for (int i = 0; i < 2; ++i)
    if (!warpDataUsable(warps[i]))
      return RectifyErrorInvalidWarpData;
  return RectifyErrorOk;
}

} // namespace

SteloxRectifyMgr::SteloxRectifyMgr() = default;

SteloxRectifyMgr::SteloxRectifyMgr(const ConfigSection& section) { create(section); }

SteloxRectifyMgr::SteloxRectifyMgr(const ConfigSection& section, SteloxRectifyLens lens) {
  create(section, lens);
}

SteloxRectifyMgr::~SteloxRectifyMgr() = default;

RectifyError SteloxRectifyMgr::getCreationResult() const { return m_creationResult; }

int SteloxRectifyMgr::getNumberOfLens() const { return 2; }

std::shared_ptr<Rectifier> SteloxRectifyMgr::getRectifier(int lens) const {
  return (lens == 0 || lens == 1) ? m_rectifiers[lens] : nullptr;
}

std::shared_ptr<Rectifier> SteloxRectifyMgr::getRectifier(const int* position) const {
  if (position == nullptr)
    return nullptr;
  if (matchLensPosition(position, 0, 0, 0))
    return m_rectifiers[SteloxRectifyLensReference];
  if (matchLensPosition(position, -1, 0, 0))
    return m_rectifiers[SteloxRectifyLensLeft];
  return nullptr;
}

void SteloxRectifyMgr::releaseRectifiers() {
  m_rectifiers[0].reset();
  m_rectifiers[1].reset();
}

RectifyError SteloxRectifyMgr::checkSection(const ConfigSection& section) {
  RectifyError result = RectifyHelper::parseToRectifyError(section.getParseResult());
  if (result == RectifyErrorOk)
    result = section.getHeader() ? checkProductName(*section.getHeader())
                                 : RectifyErrorInvalidSection;
  return result;
}

RectifyError SteloxRectifyMgr::createLens(const ConfigHeader& header, const LensData& lens,
                                          int index) {
  RectifyLensData d;
  const RectifyError result = createRectifyLensData(header, lens, d);
  if (result == RectifyErrorOk)
    m_rectifiers[index] = std::make_shared<Rectifier>(d);
  return result;
}

RectifyError SteloxRectifyMgr::create(const ConfigSection& section) {
  releaseRectifiers();
  m_creationResult = checkSection(section);
  if (m_creationResult == RectifyErrorOk)
    m_creationResult = checkNumberOfLens(section);
  if (m_creationResult != RectifyErrorOk)
    return m_creationResult;

  std::shared_ptr<const LensData> lenses[2];
  for (int i = 0; i < 2; ++i) {
    const std::shared_ptr<const LensData> lens = section.getLensData(i);
    if (matchLensPosition(*lens, 0, 0, 0))
      lenses[SteloxRectifyLensReference] = lens;
    else if (matchLensPosition(*lens, -1, 0, 0))
      lenses[SteloxRectifyLensLeft] = lens;
  }
  // Two records at one position, or one elsewhere, leave a lens without data.
  if (!lenses[0] || !lenses[1])
    return m_creationResult = RectifyErrorInvalidNumberOfLens;
  for (int index = 0; index < 2; ++index) {
    m_creationResult = createLens(*section.getHeader(), *lenses[index], index);
    if (m_creationResult != RectifyErrorOk)
      break;
  }
  return m_creationResult;
}

RectifyError SteloxRectifyMgr::create(const ConfigSection& section, SteloxRectifyLens lens) {
  releaseRectifiers();
  m_creationResult = checkSection(section);
  if (m_creationResult != RectifyErrorOk)
    return m_creationResult;
  if (lens != SteloxRectifyLensReference && lens != SteloxRectifyLensLeft)
    return m_creationResult = RectifyErrorInvalidNumberOfLens;
  const int x = lens == SteloxRectifyLensLeft ? -1 : 0;
  std::shared_ptr<const LensData> found;
  for (int i = 0; i < section.getNumberOfLensData(); ++i)
    if (matchLensPosition(*section.getLensData(i), x, 0, 0))
      found = section.getLensData(i);
  if (!found)
    return m_creationResult = RectifyErrorInvalidNumberOfLens;
  return m_creationResult = createLens(*section.getHeader(), *found, lens);
}

RectifyError SteloxRectifyMgr::buildWarpers(int outRows, int outCols, int rawRows, int rawCols,
                                            int rawRowIncrement, int roiRow, int roiCol,
                                            int roiRows, int roiCols, int rowShiftPercent,
                                            int colShiftPercent, KernelType kind,
                                            int kernelSize) {
  for (const std::shared_ptr<Rectifier>& rectifier : m_rectifiers) {
    if (!rectifier)
      continue;
    const RectifyError result = rectifier->buildWarper(
        outRows, outCols, rawRows, rawCols, rawRowIncrement, roiRow, roiCol, roiRows, roiCols,
        rowShiftPercent, colShiftPercent, kind, kernelSize);
    if (result != RectifyErrorOk)
      return result;
  }
  return RectifyErrorOk;
}

RectifyError SteloxRectifyMgr::checkProductName(const ConfigHeader& header) {
  return strcasecmp(header.getProductName().c_str(), m_sProductName) == 0
             ? RectifyErrorOk
             : RectifyErrorInvalidProductName;
}

RectifyError SteloxRectifyMgr::checkNumberOfLens(const ConfigSection& section) {
  return section.getNumberOfLensData() == 2 ? RectifyErrorOk : RectifyErrorInvalidNumberOfLens;
}

RectifyError SteloxRectifyMgr::checkId(const LensData& lens, int* id) {
  if (!lens.exist("m_iId"))
    return RectifyErrorLensDataId;
  *id = lens.getId();
  return RectifyErrorOk;
}

RectifyError SteloxRectifyMgr::checkFocalLength(const ConfigHeader& header, double* x,
                                                double* y) {
  if (!header.exist("m_dFocalLengthX") || !header.exist("m_dFocalLengthY"))
    return RectifyErrorFocalLength;
  *x = header.getFocalLengthX();
  *y = header.getFocalLengthY();
  return RectifyErrorOk;
}

RectifyError SteloxRectifyMgr::checkImageCenter(const ConfigHeader& header, double* x,
                                                double* y) {
  if (!header.exist("m_dImageCenterX") || !header.exist("m_dImageCenterY"))
    return RectifyErrorImageCentre;
  *x = header.getImageCenterX();
  *y = header.getImageCenterY();
  return RectifyErrorOk;
}

RectifyError SteloxRectifyMgr::checkGain(const LensData& lens, double* gain) {
  if (!lens.exist("m_dGain"))
    return RectifyErrorGain;
  *gain = lens.getGain();
  return RectifyErrorOk;
}

RectifyError SteloxRectifyMgr::checkWarpDataRectifiedId(const LensData& lens, int* ids) {
  if (!lens.exist("m_ariWarpDataRectifiedId"))
    return RectifyErrorWarpDataId;
  ids[0] = lens.getWarpDataRectifiedId()[0];
  ids[1] = lens.getWarpDataRectifiedId()[1];
  return RectifyErrorOk;
}

RectifyError SteloxRectifyMgr::checkWarpDataDistortedId(const LensData& lens, int* ids) {
  if (!lens.exist("m_ariWarpDataDistortedId"))
    return RectifyErrorWarpDataId;
  ids[0] = lens.getWarpDataDistortedId()[0];
  ids[1] = lens.getWarpDataDistortedId()[1];
  return RectifyErrorOk;
}

RectifyError SteloxRectifyMgr::checkWarpDataRectified(const LensData& lens,
                                                      std::shared_ptr<const WarpData>* warps) {
  return checkWarpPair(lens, "m_arWarpDataRectified", &LensData::getWarpDataRectified, warps);
}

RectifyError SteloxRectifyMgr::checkWarpDataDistorted(const LensData& lens,
                                                      std::shared_ptr<const WarpData>* warps) {
  return checkWarpPair(lens, "m_arWarpDataDistorted", &LensData::getWarpDataDistorted, warps);
}

RectifyError SteloxRectifyMgr::checkCalibratedSensorRoiSize(const ConfigHeader& header,
                                                            int* rows, int* cols) {
  const bool known =
      header.exist("m_iCalibratedSensorRoiRows") && header.exist("m_iCalibratedSensorRoiCols");
  *rows = known ? header.getCalibratedSensorRoiRows() : 0;
  *cols = known ? header.getCalibratedSensorRoiCols() : 0;
  return RectifyErrorOk;
}

RectifyError SteloxRectifyMgr::createRectifyLensData(const ConfigHeader& header,
                                                     const LensData& lens, RectifyLensData& d) {
  RectifyError result = checkId(lens, &d.id);
  if (result == RectifyErrorOk)
    result = checkFocalLength(header, &d.focalLengthX, &d.focalLengthY);
  if (result == RectifyErrorOk)
    result = checkImageCenter(header, &d.imageCenterX, &d.imageCenterY);
  if (result == RectifyErrorOk)
    result = checkGain(lens, &d.gain);
  if (result != RectifyErrorOk)
    return result;
  d.rectifiedAdjustmentX = lens.getRectXAdj();
  d.rectifiedAdjustmentY = lens.getRectYAdj();
  d.rawAdjustmentX = lens.getRawXAdj();
  d.rawAdjustmentY = lens.getRawYAdj();
  result = checkWarpDataRectifiedId(lens, d.rectifiedWarpIds);
  if (result == RectifyErrorOk)
    result = checkWarpDataDistortedId(lens, d.distortedWarpIds);
  if (result == RectifyErrorOk)
    result = checkWarpDataRectified(lens, d.rectifiedWarpData);
  if (result == RectifyErrorOk)
    result = checkWarpDataDistorted(lens, d.distortedWarpData);
  if (result == RectifyErrorOk)
    result = checkCalibratedSensorRoiSize(header, &d.sensorRows, &d.sensorCols);
  return result;
}

bool SteloxRectifyMgr::matchLensPosition(const LensData& lens, int x, int y, int z) {
  return matchLensPosition(lens.getPosition().data(), x, y, z);
}

bool SteloxRectifyMgr::matchLensPosition(const int* position, int x, int y, int z) {
  return position[0] == x && position[1] == y && position[2] == z;
}
