#include "calibration/ConfigHeader.h"

using namespace ParseTools;

namespace {

unsigned char lowByte(int value) { return static_cast<unsigned char>(value & 0xFF); }

}  // namespace

ConfigHeader::ConfigHeader(const ConfigLine* lines, std::size_t count) {
  // Each key fills its fields and records its facts only when its values
  // parse; the order follows the order of the keys in a calibration text.
  if (parseVersion(lines, count, m_version, m_versionName, m_versionMajor, m_versionMinor)) {
    m_facts.record("m_pszVersion");
    m_facts.record("m_pszVersionName");
    m_facts.record("m_iVersionMajor");
    m_facts.record("m_iVersionMinor");
  }
  if (parseTokenString("PRODUCT", lines, count, m_product)) m_facts.record("m_pszProduct");
  if (parseTokenInt("SERIALNUMBER", lines, count, m_serialNumber))
    m_facts.record("m_iSerialNumber");
  if (parseTokenString("PARTID", lines, count, m_partId)) m_facts.record("m_pszPartId");
  if (parseTokenIntInt("RESOLUTION", lines, count, m_rows, m_cols)) {
    m_facts.record("m_iRows");
    m_facts.record("m_iCols");
  }
  // Sensor sizes and offsets are written columns first.
  if (parseTokenIntInt("SENSORRESOLUTION", lines, count, m_sensorCols, m_sensorRows)) {
    m_facts.record("m_iSensorRows");
    m_facts.record("m_iSensorCols");
  }
  if (parseTokenIntInt("CALIBRATEDSENSORROIRESOLUTION", lines, count, m_calibratedSensorRoiCols,
                       m_calibratedSensorRoiRows)) {
    m_facts.record("m_iCalibratedSensorRoiRows");
    m_facts.record("m_iCalibratedSensorRoiCols");
  }
  if (parseTokenIntInt("CALIBRATEDSENSORROIOFFSET", lines, count, m_calibratedSensorRoiOffsetCol,
                       m_calibratedSensorRoiOffsetRow)) {
    m_facts.record("m_iCalibratedSensorRoiOffsetRow");
    m_facts.record("m_iCalibratedSensorRoiOffsetCol");
  }
  int numberLens = 0;
  if (parseTokenInt("NUMCAMERAS", lines, count, numberLens) && numberLens >= 0) {
    m_numberLens = static_cast<unsigned>(numberLens);
    m_facts.record("m_uiNumberLens");
  }
  if (parseTokenDouble("SURFACEPARAMETER", lines, count, m_configSphereRadius))
    m_facts.record("m_dConfigSphereRadius");
  int maxBlendingWidth = 0;
  if (parseTokenInt("MAXBLENDINGWIDTH", lines, count, maxBlendingWidth)) {
    m_maxBlendingWidth = maxBlendingWidth;
    m_facts.record("m_dMaxBlendingWidth");
  }
  if (parseTokenString("DATE", lines, count, m_dateCalibrated))
    m_facts.record("m_pszDateCalibrated");
  if (parseTokenDoubleDouble("FOCALLENGTH", lines, count, m_focalLengthX, m_focalLengthY)) {
    m_facts.record("m_dFocalLengthX");
    m_facts.record("m_dFocalLengthY");
  }
  // A second baseline number is allowed and ignored.
  if (parseTokenDouble("BASELINE", lines, count, m_baseline)) m_facts.record("m_dBaseline");
  if (parseTokenString("CAMERACONFIGURATION", lines, count, m_cameraConfiguration))
    m_facts.record("m_pszCameraConfiguration");
  int shearAngle = 0;
  if (parseTokenInt("SHEARANGLE", lines, count, shearAngle)) m_facts.record("m_iShearAngle");

  std::vector<double> matrix;
  if (parseTokenDoubles("SKEWINGMATRIX", lines, count, m_sSkewMatrixSize, matrix)) {
    m_skewMatrix = std::make_shared<const std::vector<double>>(matrix);
    m_facts.record("m_arpSkewMatrix");
  }
  if (parseTokenDoubles("UNSKEWINGMATRIX", lines, count, m_sSkewMatrixSize, matrix)) {
    m_unskewMatrix = std::make_shared<const std::vector<double>>(matrix);
    m_facts.record("m_arpUnskewMatrix");
  }
  if (parseTokenDoubleDouble("IMAGECENTER", lines, count, m_imageCenterX, m_imageCenterY)) {
    m_facts.record("m_dImageCenterX");
    m_facts.record("m_dImageCenterY");
  }

  int mapping = 0;
  if (parseTokenBool("BACKFORTHVALIDATION", lines, count, m_backForthValidOn))
    m_facts.record("m_bBackForthValidOn");
  if (parseTokenInt("BACKFORTHVALIDATIONMAPPING", lines, count, mapping)) {
    m_backForthValidMapping = lowByte(mapping);
    m_facts.record("m_backForthValidMapping");
  }
  if (parseTokenBool("UNIQUEVALIDATION", lines, count, m_uniqueValidOn))
    m_facts.record("m_bUniqueValidOn");
  if (parseTokenDouble("UNIQUEVALIDATIONTHRESHOLD", lines, count, m_uniqueValidThreshold))
    m_facts.record("m_dUniqueValidThreshold");
  if (parseTokenInt("UNIQUEVALIDATIONMAPPING", lines, count, mapping)) {
    m_uniqueValidMapping = lowByte(mapping);
    m_facts.record("m_UniqueValidMapping");
  }
  if (parseTokenBool("TEXTUREVALIDATION", lines, count, m_textureValidOn))
    m_facts.record("m_bTextureValidOn");
  if (parseTokenDouble("TEXTUREVALIDATIONTHRESHOLD", lines, count, m_textureValidThreshold))
    m_facts.record("m_dTextureValidThreshold");
  if (parseTokenInt("TEXTUREVALIDATIONMAPPING", lines, count, mapping)) {
    m_textureValidMapping = lowByte(mapping);
    m_facts.record("m_TextureValidMapping");
  }
  if (parseTokenBool("SURFACEVALIDATION", lines, count, m_surfaceValidOn))
    m_facts.record("m_bSurfaceValidOn");
  if (parseTokenInt("SURFACEVALIDATIONSIZE", lines, count, m_surfaceValidSize))
    m_facts.record("m_iSurfaceValidSize");
  if (parseTokenDouble("SURFACEVALIDATIONDIFFERENCE", lines, count, m_surfaceValidDiff))
    m_facts.record("m_dSurfaceValidDiff");
  if (parseTokenInt("SURFACEVALIDATIONMAPPING", lines, count, mapping)) {
    m_surfaceValidMapping = lowByte(mapping);
    m_facts.record("m_SurfaceValidMapping");
  }

  if (parseTokenBool("SUBPIXELINTERPOLATE", lines, count, m_subpixelInterpolateOn))
    m_facts.record("m_bSubpixelInterpolateOn");
  if (parseTokenBool("STRICTSUBPIXELVALIDATION", lines, count, m_strictSubpixelOn))
    m_facts.record("m_bStrictSubpixelOn");
  if (parseTokenBool("LOWPASS", lines, count, m_lowpassOn)) m_facts.record("m_bLowpassOn");
  if (parseTokenBool("RECTIFY", lines, count, m_rectifyOn)) m_facts.record("m_bRectifyOn");
  if (parseTokenBool("DOSTEREO", lines, count, m_doStereoOn)) m_facts.record("m_bDoStereoOn");
  if (parseTokenBool("EDGECORRELATION", lines, count, m_edgeCorrelationOn))
    m_facts.record("m_bEdgeCorrelationOn");
  if (parseTokenInt("STEREOMASKSIZE", lines, count, m_stereoMaskSize))
    m_facts.record("m_iStereoMaskSize");
  if (parseTokenInt("EDGEMASKSIZE", lines, count, m_edgeMaskSize))
    m_facts.record("m_iEdgeMaskSize");
  if (parseTokenIntInt("DISPARITY", lines, count, m_minDisparity, m_maxDisparity)) {
    m_facts.record("m_iMinDisparity");
    m_facts.record("m_iMaxDisparity");
  }
  if (parseTokenBool("DISPARITYMAPPINGON", lines, count, m_disparityMappingOn))
    m_facts.record("m_bDisparityMappingOn");
  if (parseTokenIntInt("DISPARITYMAPPING", lines, count, m_minDisparityMapping,
                       m_maxDisparityMapping)) {
    m_facts.record("m_iMinDisparityMapping");
    m_facts.record("m_iMaxDisparityMapping");
  }
  if (parseTokenString("RELEASENOTES", lines, count, m_releaseNotes))
    m_facts.record("m_pReleaseNotes");
  if (parseTokenString("RECTIFICATIONQUALITY", lines, count, m_rectificationQuality))
    m_facts.record("m_pRectificationQuality");
}

ConfigHeader::Matrix ConfigHeader::getSkewMatrix(int& size) const {
  size = m_sSkewMatrixSize;
  return m_skewMatrix;
}

ConfigHeader::Matrix ConfigHeader::getUnskewMatrix(int& size) const {
  size = m_sSkewMatrixSize;
  return m_unskewMatrix;
}
