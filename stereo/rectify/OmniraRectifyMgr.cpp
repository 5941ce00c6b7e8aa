#include "rectify/OmniraRectifyMgr.h"

#include <strings.h>

#include "rectify/SteloxRectifyMgr.h"

const char* const OmniraRectifyMgr::m_sProductName = "OMNIRA";

OmniraRectifyMgr::OmniraRectifyMgr() = default;

OmniraRectifyMgr::OmniraRectifyMgr(const ConfigSection& section) { create(section); }

RectifyError OmniraRectifyMgr::getCreationResult() const { return m_creationResult; }

int OmniraRectifyMgr::getNumberOfLens() const { return numberOfLens; }

std::shared_ptr<Rectifier> OmniraRectifyMgr::getRectifier(int lens) const {
  return (lens >= 0 && lens < numberOfLens) ? m_rectifiers[lens] : nullptr;
}

bool OmniraRectifyMgr::matchCameraPosition(const LensData& lens, int x, int y, int z) {
  return SteloxRectifyMgr::matchLensPosition(lens, x, y, z);
}

RectifyError OmniraRectifyMgr::create(const ConfigSection& section) {
  for (std::shared_ptr<Rectifier>& rectifier : m_rectifiers)
    rectifier.reset();
  if (section.getParseResult() != ParseErrorOk || !section.getHeader())
    return m_creationResult = RectifyErrorInvalidSection;
  const ConfigHeader& header = *section.getHeader();
  if (strcasecmp(header.getProductName().c_str(), m_sProductName) != 0)
    return m_creationResult = RectifyErrorInvalidProductName;
  if (section.getNumberOfLensData() != numberOfLens)
    return m_creationResult = RectifyErrorInvalidNumberOfLens;
  for (int i = 0; i < numberOfLens; ++i) {
    const LensData& lens = *section.getLensData(i);
    RectifyLensData d;
    RectifyError result = SteloxRectifyMgr::checkId(lens, &d.id);
    if (result == RectifyErrorOk && !lens.exist("m_ardFocalLength"))
      result = RectifyErrorFocalLength;
    if (result == RectifyErrorOk && !lens.exist("m_ardCenter"))
      result = RectifyErrorImageCentre;
    if (result == RectifyErrorOk) {
      d.focalLengthX = lens.getFocalLengthX();
      d.focalLengthY = lens.getFocalLengthY();
      d.imageCenterX = lens.getImageCenterX();
      d.imageCenterY = lens.getImageCenterY();
      d.gain = 0.0;
      result = SteloxRectifyMgr::checkWarpDataRectifiedId(lens, d.rectifiedWarpIds);
    }
    if (result == RectifyErrorOk)
      result = SteloxRectifyMgr::checkWarpDataDistortedId(lens, d.distortedWarpIds);
    if (result == RectifyErrorOk)
      result = SteloxRectifyMgr::checkWarpDataRectified(lens, d.rectifiedWarpData);
    if (result == RectifyErrorOk)
      result = SteloxRectifyMgr::checkWarpDataDistorted(lens, d.distortedWarpData);
    if (result == RectifyErrorOk)
      result = SteloxRectifyMgr::checkCalibratedSensorRoiSize(header, &d.sensorRows, &d.sensorCols);
    if (result != RectifyErrorOk)
      return m_creationResult = result;
    m_rectifiers[i] = std::make_shared<Rectifier>(d);
  }
  return m_creationResult = RectifyErrorOk;
}
