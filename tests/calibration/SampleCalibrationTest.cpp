// The main job's built-in calibration must stay complete and exact: later
// stages load contexts and rectify with it.
#include "../../tools/stelox-run/SampleCalibration.h"

#include "calibration/ConfigFile.h"
#include "rectify/Rectifier.h"
#include "rectify/SteloxRectifyMgr.h"
#include "rectify/WarpSpline.h"

#include <gtest/gtest.h>

namespace {

double evaluate(const LensData::Warp& warp, double row, double col) {
  const WarpSpline spline(warp->getYKnots()->data(), warp->getXKnots()->data(),
                          warp->getCoefs()->data(), warp->getNumCoefs(0), 480, 640);
  return spline(row, col);
}

}  // namespace

TEST(SampleCalibration, HoldsEveryFactAContextNeeds) {
  ConfigFile file;
  ASSERT_EQ(file.loadBuffer(sampleCalibration()), ParseErrorOk);
  ASSERT_EQ(file.getNumberOfConfigurations(), 1);
  auto section = file.getConfigSection(0);
  ASSERT_EQ(section->getParseResult(), ParseErrorOk);
  auto header = section->getHeader();
  for (const char* fact :
       {"m_pszVersion", "m_pszVersionName", "m_iVersionMajor", "m_iVersionMinor", "m_pszProduct",
        "m_iSerialNumber", "m_pszPartId", "m_dBaseline", "m_dFocalLengthX", "m_dFocalLengthY",
        "m_dImageCenterX", "m_dImageCenterY", "m_pszCameraConfiguration", "m_iRows", "m_iCols",
        "m_iCalibratedSensorRoiRows", "m_iCalibratedSensorRoiCols",
        "m_iCalibratedSensorRoiOffsetRow", "m_iCalibratedSensorRoiOffsetCol", "m_iMinDisparity",
        "m_iStereoMaskSize", "m_iEdgeMaskSize", "m_bTextureValidOn", "m_bSurfaceValidOn"})
    EXPECT_TRUE(header->exist(fact)) << fact;
  EXPECT_EQ(header->getVersionMajorNumber(), 4);
  EXPECT_EQ(header->getVersionMinorNumber(), 0);
  EXPECT_EQ(header->getProductName(), "gemlo");
  EXPECT_LE(header->getBaseline(), 0.195);

  ASSERT_EQ(section->getNumberOfLensData(), 2);
  EXPECT_EQ(section->getLensData(0)->getPosition(), (std::array<int, 3>{0, 0, 0}));
  EXPECT_EQ(section->getLensData(1)->getPosition(), (std::array<int, 3>{-1, 0, 0}));

  const SteloxRectifyMgr rectifiers(*section);
  EXPECT_EQ(rectifiers.getCreationResult(), RectifyErrorOk);
  for (int lens = 0; lens < 2; ++lens) {
    ASSERT_NE(rectifiers.getRectifier(lens), nullptr);
    EXPECT_EQ(rectifiers.getRectifier(lens)->getConstructionResult(), RectifyErrorOk);
  }
}

TEST(SampleCalibration, TablesAreExactLinearMaps) {
  ConfigFile file;
  file.loadBuffer(sampleCalibration());
  auto section = file.getConfigSection(0);
  ASSERT_EQ(section->getNumberOfLensData(), 2);
  // Right lens: identity both ways; left lens: columns shifted by 0.002.
  const double shift[2] = {0.0, 0.002};
  for (int l = 0; l < 2; ++l) {
    auto lens = section->getLensData(l);
    for (int i = 0; i < 2; ++i) {
      for (const auto& warp : {lens->getWarpDataRectified(i), lens->getWarpDataDistorted(i)})
        ASSERT_EQ(warp->getNumKnots(), warp->getNumCoefs(0) + 4);
    }
    for (double row : {0.0, 0.3, 0.75}) {
      for (double col : {0.1, 0.5, 0.9}) {
        EXPECT_NEAR(evaluate(lens->getWarpDataRectified(0), row, col), col + shift[l], 1e-9);
        EXPECT_NEAR(evaluate(lens->getWarpDataRectified(1), row, col), row, 1e-9);
        EXPECT_NEAR(evaluate(lens->getWarpDataDistorted(0), row, col), col - shift[l], 1e-9);
        EXPECT_NEAR(evaluate(lens->getWarpDataDistorted(1), row, col), row, 1e-9);
      }
    }
  }
}
