// Camera-wide values and default stereo settings of one configuration.
//
// Built once from all lines of a configuration and immutable afterwards. A key
// that is missing or whose values do not parse leaves its field at the default
// (0, false, empty) and its fact absent: ask exist("m_...") before trusting a
// value. The header itself never fails.
#ifndef STELOX_CALIBRATION_CONFIGHEADER_H
#define STELOX_CALIBRATION_CONFIGHEADER_H

#include "calibration/ParseTools.h"
#include "calibration/PresenceFacts.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class ConfigHeader {
public:
  using Matrix = std::shared_ptr<const std::vector<double>>;

  // Number of values of the skew and unskew matrices (4 x 4, row by row).
  static constexpr int m_sSkewMatrixSize = 16;

  ConfigHeader(const ConfigLine* lines, std::size_t count);

  bool exist(std::string_view name) const { return m_facts.exist(name); }

  const std::string& getVersion() const { return m_version; }
  const std::string& getVersionName() const { return m_versionName; }
  int getVersionMajorNumber() const { return m_versionMajor; }
  int getVersionMinorNumber() const { return m_versionMinor; }
  const std::string& getProductName() const { return m_product; }
  const std::string& getPartId() const { return m_partId; }
  int getSerialNumber() const { return m_serialNumber; }
  int getRowsResolution() const { return m_rows; }
  int getColsResolution() const { return m_cols; }
  int getSensorRowsResolution() const { return m_sensorRows; }
  int getSensorColsResolution() const { return m_sensorCols; }
  int getCalibratedSensorRoiRows() const { return m_calibratedSensorRoiRows; }
  int getCalibratedSensorRoiCols() const { return m_calibratedSensorRoiCols; }
  int getCalibratedSensorRoiOffsetRow() const { return m_calibratedSensorRoiOffsetRow; }
  int getCalibratedSensorRoiOffsetCol() const { return m_calibratedSensorRoiOffsetCol; }
  const std::string& getDate() const { return m_dateCalibrated; }
  unsigned getNumberOfLens() const { return m_numberLens; }
  double getConfigSphereRadius() const { return m_configSphereRadius; }
  double getMaxBlendingWidth() const { return m_maxBlendingWidth; }
  double getFocalLengthX() const { return m_focalLengthX; }
  double getFocalLengthY() const { return m_focalLengthY; }
  double getBaseline() const { return m_baseline; }
  const std::string& getCameraConfiguration() const { return m_cameraConfiguration; }
  // The shared matrix (null when its key was absent) and its value count.
  Matrix getSkewMatrix(int& size) const;
  Matrix getUnskewMatrix(int& size) const;
  double getImageCenterX() const { return m_imageCenterX; }
  double getImageCenterY() const { return m_imageCenterY; }
  bool getBackForthValidOn() const { return m_backForthValidOn; }
  unsigned char getBackForthValidMapping() const { return m_backForthValidMapping; }
  bool getUniqueValidOn() const { return m_uniqueValidOn; }
  double getUniqueValidThreshold() const { return m_uniqueValidThreshold; }
  unsigned char getUniqueValidMapping() const { return m_uniqueValidMapping; }
  bool getTextureValidOn() const { return m_textureValidOn; }
  double getTextureValidThreshold() const { return m_textureValidThreshold; }
  unsigned char getTextureValidMapping() const { return m_textureValidMapping; }
  bool getSurfaceValidOn() const { return m_surfaceValidOn; }
  int getSurfaceValidSize() const { return m_surfaceValidSize; }
  double getSurfaceValidDiff() const { return m_surfaceValidDiff; }
  unsigned char getSurfaceValidMapping() const { return m_surfaceValidMapping; }
  bool getSubpixelInterpolateOn() const { return m_subpixelInterpolateOn; }
  bool getStrictSubpixelOn() const { return m_strictSubpixelOn; }
  bool getLowpassOn() const { return m_lowpassOn; }
  bool getRectifyOn() const { return m_rectifyOn; }
  bool getDoStereoOn() const { return m_doStereoOn; }
  bool getEdgeCorrelationOn() const { return m_edgeCorrelationOn; }
  int getStereoMaskSize() const { return m_stereoMaskSize; }
  int getEdgeMaskSize() const { return m_edgeMaskSize; }
  bool getDisparityMappingOn() const { return m_disparityMappingOn; }
  int getMinDisparity() const { return m_minDisparity; }
  int getMaxDisparity() const { return m_maxDisparity; }
  int getMinDisparityMapping() const { return m_minDisparityMapping; }
  int getMaxDisparityMapping() const { return m_maxDisparityMapping; }
  const std::string& getReleaseNotes() const { return m_releaseNotes; }
  const std::string& getRectificationQuality() const { return m_rectificationQuality; }

private:
  PresenceFacts m_facts;

  std::string m_version;
  std::string m_versionName;
  int m_versionMajor = 0;
  int m_versionMinor = 0;
  std::string m_product;
  int m_serialNumber = 0;
  std::string m_partId;
  int m_rows = 0;
  int m_cols = 0;
  int m_sensorRows = 0;
  int m_sensorCols = 0;
  int m_calibratedSensorRoiRows = 0;
  int m_calibratedSensorRoiCols = 0;
  int m_calibratedSensorRoiOffsetRow = 0;
  int m_calibratedSensorRoiOffsetCol = 0;
  unsigned m_numberLens = 0;
  double m_configSphereRadius = 0.0;
  double m_maxBlendingWidth = 0.0;
  std::string m_dateCalibrated;
  double m_focalLengthX = 0.0;
  double m_focalLengthY = 0.0;
  double m_baseline = 0.0;
  std::string m_cameraConfiguration;
  Matrix m_skewMatrix;
  Matrix m_unskewMatrix;
  double m_imageCenterX = 0.0;
  double m_imageCenterY = 0.0;
  bool m_backForthValidOn = false;
  unsigned char m_backForthValidMapping = 0;
  bool m_uniqueValidOn = false;
  double m_uniqueValidThreshold = 0.0;
  unsigned char m_uniqueValidMapping = 0;
  bool m_textureValidOn = false;
  double m_textureValidThreshold = 0.0;
  unsigned char m_textureValidMapping = 0;
  bool m_surfaceValidOn = false;
  int m_surfaceValidSize = 0;
  double m_surfaceValidDiff = 0.0;
  unsigned char m_surfaceValidMapping = 0;
  bool m_subpixelInterpolateOn = false;
  bool m_strictSubpixelOn = false;
  bool m_lowpassOn = false;
  bool m_rectifyOn = false;
  bool m_doStereoOn = false;
  bool m_edgeCorrelationOn = false;
  int m_stereoMaskSize = 0;
  int m_edgeMaskSize = 0;
  int m_minDisparity = 0;
  int m_maxDisparity = 0;
  bool m_disparityMappingOn = false;
  int m_minDisparityMapping = 0;
  int m_maxDisparityMapping = 0;
  std::string m_releaseNotes;
  std::string m_rectificationQuality;
};

#endif
