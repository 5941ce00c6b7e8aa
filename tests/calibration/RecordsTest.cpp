#include "calibration/ConfigFile.h"
#include "calibration/ConfigHeader.h"
#include "calibration/LensData.h"
#include "calibration/WarpCatalogue.h"
#include "calibration/WarpData.h"
#include "calibration/CalibrationText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace calibration_text;

namespace {

// Cleaned lines of a text, as the buffer reader stores them.
ConfigLines cleanLines(const std::string& text) {
  ConfigLines lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    ParseTools::load_string(std::string_view(text).substr(start, end - start), lines);
    start = end + 1;
  }
  return lines;
}

ConfigHeader headerOf(const std::string& text) {
  ConfigLines lines = cleanLines(text);
  return ConfigHeader(lines.data(), lines.size());
}

WarpData::Values values(std::initializer_list<double> list) {
  return std::make_shared<const std::vector<double>>(list);
}

}  // namespace

TEST(ConfigHeader, EveryKeyFillsItsFieldAndFacts) {
  const ConfigHeader header = headerOf(
      "Version \"GEMLO 4.0\"\n"
      "Product GEMLO\n"
      "SerialNumber 4711\n"
      "PartId \"GM2 08\"\n"
      "Resolution 480 640\n"
      "SensorResolution 1024 768\n"
      "CalibratedSensorRoiResolution 1000 700\n"
      "CalibratedSensorRoiOffset 12 34\n"
      "NumCameras 2\n"
      "SurfaceParameter 2.5\n"
      "MaxBlendingWidth 16\n"
      "Date 11-Dec-2026\n"
      "FocalLength 0.81 1.08\n"
      "BaseLine 0.12 0.24\n"
      "CameraConfiguration 2CameraHorizontal\n"
      "ShearAngle 3\n"
      "SkewingMatrix 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 2\n"
      "ImageCenter 0.49 0.51\n"
      "BackForthValidation on\n"
      "BackForthValidationMapping 251\n"
      "UniqueValidation off\n"
      "UniqueValidationThreshold 0.7\n"
      "UniqueValidationMapping 254\n"
      "TextureValidation on\n"
      "TextureValidationThreshold 0.5\n"
      "TextureValidationMapping 300\n"
      "SurfaceValidation true\n"
      "SurfaceValidationSize 100\n"
      "SurfaceValidationDifference 1.5\n"
      "SurfaceValidationMapping -4\n"
      "SubPixelInterpolate on\n"
      "StrictSubpixelValidation on\n"
      "LowPass on\n"
      "Rectify on\n"
      "DoStereo on\n"
      "EdgeCorrelation on\n"
      "StereoMaskSize 11\n"
      "EdgeMaskSize 7\n"
      "DisparityMappingOn on\n"
      "DisparityMapping 10 20\n"
      "Disparity 5 60\n"
      "ReleaseNotes \"first light\"\n"
      "RectificationQuality good\n");

  EXPECT_EQ(header.getVersion(), "GEMLO 4.0");
  EXPECT_EQ(header.getVersionName(), "GEMLO");
  EXPECT_EQ(header.getVersionMajorNumber(), 4);
  EXPECT_EQ(header.getVersionMinorNumber(), 0);
  EXPECT_EQ(header.getProductName(), "GEMLO");
  EXPECT_EQ(header.getSerialNumber(), 4711);
  EXPECT_EQ(header.getPartId(), "GM2 08");
  EXPECT_EQ(header.getRowsResolution(), 480);
  EXPECT_EQ(header.getColsResolution(), 640);
  EXPECT_EQ(header.getSensorColsResolution(), 1024);
  EXPECT_EQ(header.getSensorRowsResolution(), 768);
  EXPECT_EQ(header.getCalibratedSensorRoiCols(), 1000);
  EXPECT_EQ(header.getCalibratedSensorRoiRows(), 700);
  EXPECT_EQ(header.getCalibratedSensorRoiOffsetCol(), 12);
  EXPECT_EQ(header.getCalibratedSensorRoiOffsetRow(), 34);
  EXPECT_EQ(header.getNumberOfLens(), 2u);
  EXPECT_EQ(header.getConfigSphereRadius(), 2.5);
  EXPECT_EQ(header.getMaxBlendingWidth(), 16.0);
  EXPECT_EQ(header.getDate(), "11-Dec-2026");
  EXPECT_EQ(header.getFocalLengthX(), 0.81);
  EXPECT_EQ(header.getFocalLengthY(), 1.08);
  EXPECT_EQ(header.getBaseline(), 0.12);
  EXPECT_EQ(header.getCameraConfiguration(), "2CameraHorizontal");
  int size = 0;
  auto skew = header.getSkewMatrix(size);
  EXPECT_EQ(size, ConfigHeader::m_sSkewMatrixSize);
  ASSERT_NE(skew, nullptr);
  ASSERT_EQ(skew->size(), 16u);
  EXPECT_EQ((*skew)[15], 2.0);
  EXPECT_EQ(header.getUnskewMatrix(size), nullptr);
  EXPECT_EQ(header.getImageCenterX(), 0.49);
  EXPECT_EQ(header.getImageCenterY(), 0.51);
  EXPECT_TRUE(header.getBackForthValidOn());
  EXPECT_EQ(header.getBackForthValidMapping(), 251);
  EXPECT_FALSE(header.getUniqueValidOn());
  EXPECT_EQ(header.getUniqueValidThreshold(), 0.7);
  EXPECT_EQ(header.getUniqueValidMapping(), 254);
  EXPECT_TRUE(header.getTextureValidOn());
  EXPECT_EQ(header.getTextureValidThreshold(), 0.5);
  EXPECT_EQ(header.getTextureValidMapping(), 44);  // low byte of 300
  EXPECT_TRUE(header.getSurfaceValidOn());
  EXPECT_EQ(header.getSurfaceValidSize(), 100);
  EXPECT_EQ(header.getSurfaceValidDiff(), 1.5);
  EXPECT_EQ(header.getSurfaceValidMapping(), 252);  // low byte of -4
  EXPECT_TRUE(header.getSubpixelInterpolateOn());
  EXPECT_TRUE(header.getStrictSubpixelOn());
  EXPECT_TRUE(header.getLowpassOn());
  EXPECT_TRUE(header.getRectifyOn());
  EXPECT_TRUE(header.getDoStereoOn());
  EXPECT_TRUE(header.getEdgeCorrelationOn());
  EXPECT_EQ(header.getStereoMaskSize(), 11);
  EXPECT_EQ(header.getEdgeMaskSize(), 7);
  EXPECT_TRUE(header.getDisparityMappingOn());
  EXPECT_EQ(header.getMinDisparityMapping(), 10);
  EXPECT_EQ(header.getMaxDisparityMapping(), 20);
  EXPECT_EQ(header.getMinDisparity(), 5);
  EXPECT_EQ(header.getMaxDisparity(), 60);
  EXPECT_EQ(header.getReleaseNotes(), "first light");
  EXPECT_EQ(header.getRectificationQuality(), "good");

  for (const char* fact :
       {"m_pszVersion", "m_pszVersionName", "m_iVersionMajor", "m_iVersionMinor", "m_pszProduct",
        "m_iSerialNumber", "m_pszPartId", "m_iRows", "m_iCols", "m_iSensorRows", "m_iSensorCols",
        "m_iCalibratedSensorRoiRows", "m_iCalibratedSensorRoiCols",
        "m_iCalibratedSensorRoiOffsetRow", "m_iCalibratedSensorRoiOffsetCol", "m_uiNumberLens",
        "m_dConfigSphereRadius", "m_dMaxBlendingWidth", "m_pszDateCalibrated", "m_dFocalLengthX",
        "m_dFocalLengthY", "m_dBaseline", "m_pszCameraConfiguration", "m_iShearAngle",
        "m_arpSkewMatrix", "m_dImageCenterX", "m_dImageCenterY", "m_bBackForthValidOn",
        "m_backForthValidMapping", "m_bUniqueValidOn", "m_dUniqueValidThreshold",
        "m_UniqueValidMapping", "m_bTextureValidOn", "m_dTextureValidThreshold",
        "m_TextureValidMapping", "m_bSurfaceValidOn", "m_iSurfaceValidSize", "m_dSurfaceValidDiff",
        "m_SurfaceValidMapping", "m_bSubpixelInterpolateOn", "m_bStrictSubpixelOn",
        "m_bLowpassOn", "m_bRectifyOn", "m_bDoStereoOn", "m_bEdgeCorrelationOn",
        "m_iStereoMaskSize", "m_iEdgeMaskSize", "m_iMinDisparity", "m_iMaxDisparity",
        "m_bDisparityMappingOn", "m_iMinDisparityMapping", "m_iMaxDisparityMapping",
        "m_pReleaseNotes", "m_pRectificationQuality"})
    EXPECT_TRUE(header.exist(fact)) << fact;
  EXPECT_FALSE(header.exist("m_arpUnskewMatrix"));
  EXPECT_FALSE(header.exist("m_iShear"));
}

TEST(ConfigHeader, AbsentOrUnusableKeysAreAbsentFactsWithDefaults) {
  const ConfigHeader header = headerOf(
      "Product=GEMLO\n"
      "SerialNumber x\n"
      "SkewingMatrix 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n"
      "DisparityMappingOn on\n"
      "LowPass maybe\n"
      "NumCameras -2\n"
      "Resolution 480\n");
  for (const char* fact : {"m_pszVersion", "m_pszProduct", "m_iSerialNumber", "m_arpSkewMatrix",
                           "m_iMinDisparityMapping", "m_bLowpassOn", "m_uiNumberLens", "m_iRows",
                           "m_dBaseline", "m_arpUnskewMatrix"})
    EXPECT_FALSE(header.exist(fact)) << fact;
  EXPECT_TRUE(header.exist("m_bDisparityMappingOn"));
  EXPECT_EQ(header.getProductName(), "");
  EXPECT_EQ(header.getSerialNumber(), 0);
  EXPECT_EQ(header.getRowsResolution(), 0);
  EXPECT_FALSE(header.getLowpassOn());
  EXPECT_EQ(header.getNumberOfLens(), 0u);
  int size = 0;
  EXPECT_EQ(header.getSkewMatrix(size), nullptr);
}

TEST(ConfigHeader, FirstParsableLineWinsAndBaselineTakesOneOrTwoNumbers) {
  const ConfigHeader header = headerOf("baseline abc\nBASELINE 0.12\nBaseline 0.5\n"
                                       "focallength 1\nFocalLength 2 3\n");
  EXPECT_EQ(header.getBaseline(), 0.12);
  EXPECT_EQ(header.getFocalLengthX(), 2.0);
  EXPECT_EQ(header.getBaseline(), headerOf("BaseLine 0.12 0.24\n").getBaseline());
}

TEST(LensData, KeysDefaultsAndIdOverrides) {
  const std::string text = "BeginCamera\n"
                           "Id 3\n"
                           "Position -1 0 0\n"
                           "RectFactor 0.001 -0.002\n"
                           "FocalLength 0.7 0.9\n"
                           "Center 1 2 3 0.48 0.52\n"
                           "RectifiedSpline 7 8\n"
                           "DistortedSpline 3 4\n"
                           "Warp 1 2 99\n"
                           "CamToOmniraEulerZYX 1 2 3 4 5 6\n"
                           "TopLeft 1 2 3 4 5\n"
                           "Crosstalk 0.25\n";
  const ConfigLines config = cleanLines(text + warpBlock(1) + warpBlock(2) + warpBlock(3) +
                                        warpBlock(4));
  const LensData lens(config.data(), config.size(), config.data(), 13);

  EXPECT_EQ(lens.getParseResult(), ParseErrorOk);
  EXPECT_EQ(lens.getId(), 3);
  EXPECT_EQ(lens.getPosition(), (std::array<int, 3>{-1, 0, 0}));
  EXPECT_EQ(lens.getGain(), 1.0);
  EXPECT_FALSE(lens.exist("m_dGain"));
  EXPECT_EQ(lens.getRectXAdj(), 0.001);
  EXPECT_EQ(lens.getRectYAdj(), -0.002);
  EXPECT_EQ(lens.getRawXAdj(), 0.0);
  EXPECT_FALSE(lens.exist("m_dRawAdj"));
  EXPECT_EQ(lens.getFocalLengthX(), 0.7);
  EXPECT_EQ(lens.getFocalLengthY(), 0.9);
  EXPECT_EQ(lens.getImageCenterX(), 0.48);
  EXPECT_EQ(lens.getImageCenterY(), 0.52);
  EXPECT_EQ(lens.getWarpDataRectifiedId(), (std::array<int, 2>{1, 2}));
  EXPECT_EQ(lens.getWarpDataDistortedId(), (std::array<int, 2>{3, 4}));
  EXPECT_EQ(lens.getWarpDataRectified(0)->getId(), 1);
  EXPECT_EQ(lens.getWarpDataRectified(1)->getId(), 2);
  EXPECT_EQ(lens.getWarpDataDistorted(1)->getId(), 4);
  EXPECT_EQ(lens.getWarpDataRectified(2), nullptr);
  EXPECT_EQ(lens.getWarpDataDistorted(-1), nullptr);
  EXPECT_EQ(lens.getCamToOmniraEulerZYX()[5], 6.0);
  EXPECT_EQ(lens.getCornerTL()[4], 5.0);
  EXPECT_EQ(lens.getCrosstalk(), 0.25);
  EXPECT_EQ(lens.getWarpData3dSurfaceId(), (std::array<int, 3>{-1, -1, -1}));
  EXPECT_EQ(lens.getWarpDataFalloffCorrectionId(), -1);
  EXPECT_EQ(lens.getWarpDataFalloffCorrection(), nullptr);
  for (const char* fact : {"m_iId", "m_inPosition", "m_dRectAdj", "m_ardFocalLength", "m_ardCenter",
                           "m_ariWarpDataRectifiedId", "m_ariWarpDataDistortedId",
                           "m_ardCamtoOmniraEulerZYX", "m_ardCornerTL", "m_crosstalk",
                           "m_arWarpDataRectified", "m_arWarpDataDistorted"})
    EXPECT_TRUE(lens.exist(fact)) << fact;
  for (const char* fact : {"m_ardCornerBR", "m_ari3dSurfaceSplineId", "m_arWarpData3dSurface",
                           "m_warpDataFalloffCorrection", "m_falloffRed"})
    EXPECT_FALSE(lens.exist(fact)) << fact;
}

TEST(LensData, WarpKeysAloneNameTheIds) {
  const ConfigLines config = cleanLines("BeginCamera\nWarp 1 2\nIWarp 3 4\nEndCamera\n" +
                                        warpBlock(1) + warpBlock(2) + warpBlock(3) + warpBlock(4));
  const LensData lens(config.data(), config.size(), config.data(), 3);
  EXPECT_EQ(lens.getParseResult(), ParseErrorOk);
  EXPECT_EQ(lens.getWarpDataRectifiedId(), (std::array<int, 2>{1, 2}));
  EXPECT_EQ(lens.getId(), -1);
  EXPECT_FALSE(lens.exist("m_iId"));
}

TEST(LensData, ResultIsTheFirstMissingPiece) {
  struct Case { const char* name; std::string block; ParseError result; };
  const Case cases[] = {
      {"no distorted ids", "RectifiedSpline 1 2\n", ParseErrorLensWarpIdsMissing},
      {"no rectified ids", "DistortedSpline 3 4\n", ParseErrorLensWarpIdsMissing},
      {"unusable ids", "Warp 1\nIWarp 3 4\n", ParseErrorLensWarpIdsMissing},
      // Tables are checked rectified 1, distorted 1, rectified 2, distorted 2.
      {"second rectified table missing", "Warp 1 9\nIWarp 3 5\n", ParseErrorWarpIdMissing},
      {"first distorted table broken", "Warp 1 9\nIWarp 5 4\n", ParseErrorKnotCountMissing},
      {"3d surface table missing", "Warp 1 2\nIWarp 3 4\n3DSurfaceSpline 1 2 9\n",
       ParseErrorWarpIdMissing},
      {"fall-off table broken", "Warp 1 2\nIWarp 3 4\nFalloffCorrection 5\n",
       ParseErrorKnotCountMissing},
      {"all tables present", "Warp 1 2\nIWarp 3 4\n3DSurfaceSpline 1 2 3\nFalloffCorrection 4\n",
       ParseErrorOk},
  };
  for (const Case& c : cases) {
    const std::string broken = "BeginWarp\nId 5\nNumberKnots 0\nEndWarp\n";
    const ConfigLines block = cleanLines("BeginCamera\n" + c.block);
    const ConfigLines config = cleanLines(warpBlock(1) + warpBlock(2) + warpBlock(3) +
                                          warpBlock(4) + broken);
    const LensData lens(config.data(), config.size(), block.data(), block.size());
    EXPECT_EQ(lens.getParseResult(), c.result) << c.name;
  }
}

TEST(WarpData, ReadsKnotsAndCoefficientsOverSeveralLines) {
  const ConfigLines config = cleanLines("BeginWarp\n"
                                        "Id 7\n"
                                        "NumberKnots 6\n"
                                        "KnotsX 0 0 0 0 1 1\n"
                                        "KnotsY 0 0 0 0 2 2 extra\n"
                                        "NumberCoefs 2 2\n"
                                        "Coefs 1 2\n"
                                        "  3 # third\n"
                                        "4\n"
                                        "EndWarp\n");
  WarpCatalogue warps(config.data(), config.size());
  auto warp = warps.find(7);
  ASSERT_EQ(warp->getParseResult(), ParseErrorOk);
  EXPECT_EQ(warp->getId(), 7);
  EXPECT_EQ(warp->getNumKnots(), 6);
  EXPECT_EQ(*warp->getXKnots(), *values({0, 0, 0, 0, 1, 1}));
  EXPECT_EQ(*warp->getYKnots(), *values({0, 0, 0, 0, 2, 2}));
  EXPECT_EQ(warp->getNumCoefs(0), 2);
  EXPECT_EQ(warp->getNumCoefs(1), 2);
  EXPECT_EQ(warp->getNumCoefs(2), 0);
  EXPECT_EQ(*warp->getCoefs(), *values({1, 2, 3, 4}));
  for (const char* fact : {"m_iId", "m_inKnot", "m_dXKnots", "m_dYKnots", "m_inCoeff", "m_dCoefs"})
    EXPECT_TRUE(warp->exist(fact)) << fact;
  EXPECT_EQ(warps.find(7), warp);
}

TEST(WarpData, ResultsOfBrokenBlocks) {
  struct Case { const char* name; const char* body; ParseError result; };
  const Case cases[] = {
      {"complete", "NumberKnots 2\nKnotsX 0 1\nKnotsY 0 1\nNumberCoefs 1 1\nCoefs 5\n",
       ParseErrorOk},
      {"no knot count", "KnotsX 0 1\nKnotsY 0 1\nNumberCoefs 1 1\nCoefs 5\n",
       ParseErrorKnotCountMissing},
      {"zero knots", "NumberKnots 0\nNumberCoefs 1 1\nCoefs 5\n", ParseErrorKnotCountMissing},
      {"negative knots", "NumberKnots -4\n", ParseErrorKnotCountMissing},
      {"knot count beyond int", "NumberKnots 4294967297\n", ParseErrorKnotCountMissing},
      {"huge knot count", "NumberKnots 2000000000\nKnotsX 0 1\nKnotsY 0 1\n",
       ParseErrorKnotsMissing},
      {"short x knots", "NumberKnots 3\nKnotsX 0 1\nKnotsY 0 1 2\nNumberCoefs 1 1\nCoefs 5\n",
       ParseErrorKnotsMissing},
      {"no y knots", "NumberKnots 2\nKnotsX 0 1\nNumberCoefs 1 1\nCoefs 5\n",
       ParseErrorKnotsMissing},
      {"knots on two lines", "NumberKnots 2\nKnotsX 0\n1\nKnotsY 0 1\n", ParseErrorKnotsMissing},
      {"unequal coefficient counts", "NumberKnots 2\nKnotsX 0 1\nKnotsY 0 1\nNumberCoefs 5 6\n",
       ParseErrorCoefCountMissing},
      {"negative coefficient counts",
       "NumberKnots 2\nKnotsX 0 1\nKnotsY 0 1\nNumberCoefs -3 -3\nCoefs 1 2 3 4 5 6 7 8 9\n",
       ParseErrorCoefCountMissing},
      {"huge coefficient counts",
       "NumberKnots 2\nKnotsX 0 1\nKnotsY 0 1\nNumberCoefs 2147483647 2147483647\nCoefs 1 2\n",
       ParseErrorCoefsMissing},
      {"short coefficient list",
       "NumberKnots 2\nKnotsX 0 1\nKnotsY 0 1\nNumberCoefs 2 2\nCoefs 1 2\n3\n",
       ParseErrorCoefsMissing},
      {"empty line inside the list",
       "NumberKnots 2\nKnotsX 0 1\nKnotsY 0 1\nNumberCoefs 2 2\nCoefs 1 2\n\n3 4\n",
       ParseErrorCoefsMissing},
      {"no coefficient list", "NumberKnots 2\nKnotsX 0 1\nKnotsY 0 1\nNumberCoefs 1 1\n",
       ParseErrorCoefsMissing},
  };
  for (const Case& c : cases) {
    const ConfigLines config =
        cleanLines(std::string("BeginWarp\nId 1\n") + c.body + "EndWarp\n");
    WarpCatalogue warps(config.data(), config.size());
    auto warp = warps.find(1);
    EXPECT_EQ(warp->getParseResult(), c.result) << c.name;
    if (c.result == ParseErrorKnotsMissing) {
      EXPECT_EQ(warp->getXKnots(), nullptr) << c.name;
      EXPECT_EQ(warp->getYKnots(), nullptr) << c.name;
      EXPECT_FALSE(warp->exist("m_dXKnots")) << c.name;
    }
    if (c.result == ParseErrorCoefsMissing) {
      EXPECT_EQ(warp->getCoefs(), nullptr) << c.name;
    }
  }
}

TEST(WarpData, BlocksAreFoundByIdAndTheFirstOneWins) {
  const ConfigLines config = cleanLines(warpBlock(1, 0.25) + warpBlock(1, 0.75) +
                                        "BeginWarp\nNumberKnots 2\nEndWarp\n"  // no id
                                        "BeginWarp\nId 2\nNumberKnots 2\n"     // closed by next
                                        "BeginWarp\nId 3\n" +                  // closed by next
                                        warpBlock(4).substr(0, 20));             // unterminated
  WarpCatalogue warps(config.data(), config.size());
  EXPECT_EQ((*warps.find(1)->getCoefs())[0], 0.25);
  EXPECT_EQ(warps.find(2)->getParseResult(), ParseErrorKnotsMissing);
  EXPECT_EQ(warps.find(3)->getParseResult(), ParseErrorKnotCountMissing);
  EXPECT_EQ(warps.find(4)->getParseResult(), ParseErrorWarpIdMissing);
  EXPECT_EQ(warps.find(-1)->getParseResult(), ParseErrorWarpIdMissing);
  EXPECT_EQ(warps.find(-1)->getId(), -1);
}
