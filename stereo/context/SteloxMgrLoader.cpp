#include "context/SteloxMgrLoader.h"

#include "context/SteloxHelper.h"
#include "rectify/SteloxRectifyMgr.h"

#include <strings.h>

namespace {

// Products a context accepts, with their lens layout kind.
struct ProductEntry {
  const char* name;
  int layoutKind;
};
const ProductEntry kProducts[] = {{"gemlo", 0}};

}  // namespace

SteloxMgrLoader::SteloxMgrLoader() : m_context(std::make_shared<SteloxMgr>()) {}

SteloxError SteloxMgrLoader::loadDefaultContext(const ConfigSection& section)
{
  SteloxError result = SteloxHelper::parseToSteloxError(section.getParseResult());
  if (result == SteloxErrorOk)
    result = SteloxHelper::rectifyToSteloxError(m_context->m_rectifyMgr->create(section));
  if (result == SteloxErrorOk)
    result = populateSteloxMgr(section);
  if (result != SteloxErrorOk)
    m_context.reset();
  return result;
}

SteloxError SteloxMgrLoader::populateSteloxMgr(const ConfigSection& section)
{
  m_context->m_configLines = section.getConfigLines();
  const std::shared_ptr<const ConfigHeader> headerPointer = section.getHeader();
  if (!headerPointer)
    return SteloxErrorCorruptConfigurationFile;
  const ConfigHeader& header = *headerPointer;
  SteloxError (SteloxMgrLoader::*const stops[])(const ConfigHeader&) = {
      &SteloxMgrLoader::checkVersion,    &SteloxMgrLoader::checkProduct,     &SteloxMgrLoader::checkSerialNumber,
      &SteloxMgrLoader::checkPartId,     &SteloxMgrLoader::checkBaseline,    &SteloxMgrLoader::checkFocalLength,
      &SteloxMgrLoader::checkImageCenter, &SteloxMgrLoader::checkCameraConfiguration};
  for (auto check : stops)
    if (const SteloxError result = (this->*check)(header))
      return result;
  checkBackForthValidation(header);
  checkTextureValidation(header);
  checkSurfaceValidation(header);
  checkSubpixel();
  checkStereoParams(header);
  checkReleaseNotes(header);
  checkResolution(header);
  checkDisparity(header);
  checkCalibratedSensorRoi(header);
  return SteloxErrorOk;
}

bool SteloxMgrLoader::isVersionCompatible(const ConfigHeader& header)
{
  const int major = header.getVersionMajorNumber();
  const int minor = header.getVersionMinorNumber();
  if (major == 2)
    return minor >= 0 && minor <= 2;
  return (major == 3 || major == 4) && minor == 0;
}

SteloxError SteloxMgrLoader::checkVersion(const ConfigHeader& header)
{
  if (!header.exist("m_pszVersion") || !header.exist("m_pszVersionName") || !header.exist("m_iVersionMajor") ||
      !header.exist("m_iVersionMinor"))
    return SteloxErrorCorruptConfigurationFile;
  if (!isVersionCompatible(header))
    return SteloxErrorInvalidConfigurationFileVersion;
  m_context->m_versionText = header.getVersionName();
  m_context->m_versionName = header.getVersionName();
  m_context->m_versionMajor = header.getVersionMajorNumber();
  m_context->m_versionMinor = header.getVersionMinorNumber();
  return SteloxErrorOk;
}

SteloxError SteloxMgrLoader::checkProduct(const ConfigHeader& header)
{
  if (!header.exist("m_pszProduct"))
    return SteloxErrorCorruptConfigurationFile;
  return setProduct(header.getProductName());
}

SteloxError SteloxMgrLoader::setProduct(const std::string& name)
{
  for (const ProductEntry& product : kProducts) {
    if (name != product.name)
      continue;
    if (product.layoutKind != 0)
      return SteloxErrorInvalidContextConfiguration;
    SteloxMgr& context = *m_context;
    context.m_productName = name;
    context.m_lensLayoutKind = 0;
    context.m_numberOfLenses = 2;
    context.m_lensContainer.push_back(SteloxCameraRight);
    context.m_lensContainer.push_back(SteloxCameraLeft);
    context.generateLensToRectifierIndex();
    return SteloxErrorOk;
  }
  return SteloxErrorInvalidContextConfiguration;
}

SteloxError SteloxMgrLoader::checkSerialNumber(const ConfigHeader& header)
{
  if (!header.exist("m_iSerialNumber"))
    return SteloxErrorCorruptConfigurationFile;
  m_context->m_serialNumber = header.getSerialNumber();
  return SteloxErrorOk;
}

SteloxError SteloxMgrLoader::checkPartId(const ConfigHeader& header)
{
  if (!header.exist("m_pszPartId"))
    return SteloxErrorCorruptConfigurationFile;
  m_context->m_partId = header.getPartId();
  return SteloxErrorOk;
}

SteloxError SteloxMgrLoader::checkBaseline(const ConfigHeader& header)
{
  if (!header.exist("m_dBaseline"))
    return SteloxErrorCorruptConfigurationFile;
  m_context->m_baseline = header.getBaseline();
  return SteloxErrorOk;
}

SteloxError SteloxMgrLoader::checkFocalLength(const ConfigHeader& header)
{
  if (!header.exist("m_dFocalLengthX") || !header.exist("m_dFocalLengthY"))
    return SteloxErrorCorruptConfigurationFile;
  m_context->m_focalLengthX = header.getFocalLengthX();
  m_context->m_focalLengthY = header.getFocalLengthY();
  return SteloxErrorOk;
}

SteloxError SteloxMgrLoader::checkImageCenter(const ConfigHeader& header)
{
  if (!header.exist("m_dImageCenterX") || !header.exist("m_dImageCenterY"))
    return SteloxErrorCorruptConfigurationFile;
  m_context->m_imageCenterX = header.getImageCenterX();
  m_context->m_imageCenterY = header.getImageCenterY();
  return SteloxErrorOk;
}

SteloxError SteloxMgrLoader::checkCameraConfiguration(const ConfigHeader& header)
{
  if (!header.exist("m_pszCameraConfiguration"))
    return SteloxErrorCorruptConfigurationFile;
  if (strcasecmp(header.getCameraConfiguration().c_str(), "2CAMERAHORIZONTAL") != 0)
    return SteloxErrorInvalidContextConfiguration;
  m_context->setCameraConfig(SteloxCameraConfigurationNarrow);
  return SteloxErrorOk;
}

void SteloxMgrLoader::checkBackForthValidation(const ConfigHeader& header)
{
  if (header.exist("m_bBackForthValidOn"))
    m_context->m_backForthValidOn = header.getBackForthValidOn();
  if (header.exist("m_backForthValidMapping"))
    m_context->m_backForthMapping = header.getBackForthValidMapping();
}

void SteloxMgrLoader::checkTextureValidation(const ConfigHeader& header)
{
  if (header.exist("m_bTextureValidOn"))
    m_context->m_textureValidOn = header.getTextureValidOn();
  if (header.exist("m_TextureValidMapping"))
    m_context->m_textureMapping = header.getTextureValidMapping();
  if (header.exist("m_dTextureValidThreshold"))
    m_context->setTextureValidationThreshold(header.getTextureValidThreshold());
}

void SteloxMgrLoader::checkSurfaceValidation(const ConfigHeader& header)
{
  if (header.exist("m_bSurfaceValidOn"))
    m_context->m_surfaceValidOn = header.getSurfaceValidOn();
  if (header.exist("m_SurfaceValidMapping"))
    m_context->m_surfaceMapping = header.getSurfaceValidMapping();
  if (header.exist("m_iSurfaceValidSize"))
    m_context->setSurfaceValidationSize(header.getSurfaceValidSize());
  if (header.exist("m_dSurfaceValidDiff"))
    m_context->setSurfaceValidationDifference(header.getSurfaceValidDiff());
}

void SteloxMgrLoader::checkSubpixel() { m_context->m_subpixelOn = true; }

void SteloxMgrLoader::checkStereoParams(const ConfigHeader& header)
{
  if (header.exist("m_bRectifyOn"))
    m_context->m_rectifyOn = header.getRectifyOn();
  if (header.exist("m_bDoStereoOn"))
    m_context->m_doStereoOn = header.getDoStereoOn();
  if (header.exist("m_bEdgeCorrelationOn"))
    m_context->m_edgeCorrelationOn = header.getEdgeCorrelationOn();
  if (header.exist("m_iStereoMaskSize"))
    m_context->setStereoMask(header.getStereoMaskSize());
  if (header.exist("m_iEdgeMaskSize"))
    m_context->setEdgeMask(header.getEdgeMaskSize());
}

void SteloxMgrLoader::checkReleaseNotes(const ConfigHeader& header)
{
  if (header.exist("m_pReleaseNotes"))
    m_context->m_releaseNotes = header.getReleaseNotes();
}

void SteloxMgrLoader::checkResolution(const ConfigHeader& header)
{
  if (header.exist("m_iRows") && header.exist("m_iCols"))
    m_context->setResolution(header.getRowsResolution(), header.getColsResolution());
}

// The second value counts disparities.
void SteloxMgrLoader::checkDisparity(const ConfigHeader& header)
{
  if (header.exist("m_iMinDisparity") && header.exist("m_iMaxDisparity"))
    m_context->setDisparityRange(header.getMinDisparity(), header.getMaxDisparity());
}

void SteloxMgrLoader::checkCalibratedSensorRoi(const ConfigHeader& header)
{
  SteloxMgr& context = *m_context;
  context.m_calibratedRoiOn = false;
  if (context.m_versionMajor <= 3)
    return;
  if (header.exist("m_iCalibratedSensorRoiRows") && header.exist("m_iCalibratedSensorRoiCols") &&
      header.exist("m_iCalibratedSensorRoiOffsetRow") && header.exist("m_iCalibratedSensorRoiOffsetCol")) {
    context.m_calibratedRoi = {header.getCalibratedSensorRoiOffsetRow(), header.getCalibratedSensorRoiOffsetCol(),
                               header.getCalibratedSensorRoiRows(), header.getCalibratedSensorRoiCols()};
  } else if (header.exist("m_iSensorRows") && header.exist("m_iSensorCols")) {
    context.m_calibratedRoi = {0, 0, header.getSensorRowsResolution(), header.getSensorColsResolution()};
  } else {
    return;
  }
  // A region that cannot lie inside any image is no region.
  const ImageROI& region = context.m_calibratedRoi;
  if (region.row < 0 || region.col < 0 || region.rows < 1 || region.cols < 1) {
    context.m_calibratedRoi = {0, 0, 0, 0};
    return;
  }
  context.m_calibratedRoiOn = true;
  context.m_sourceRows = context.m_calibratedRoi.rows;
  context.m_sourceCols = context.m_calibratedRoi.cols;
}
