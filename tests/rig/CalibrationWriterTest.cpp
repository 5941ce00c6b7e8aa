#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "CalibrationWriter.h"
#include "calibration/ConfigFile.h"
#include "calibration/ConfigSection.h"
#include "rectify/WarpMapFunc.h"
#include "stelox.h"

using namespace SteloxRig;

namespace {

RigModel distortedRig(int rows = 480, int cols = 640, double baseline = 0.12) {
  IdealRigParameters parameters;
  parameters.rows = rows;
  parameters.cols = cols;
  parameters.focalLength = 0.8 * cols;
  parameters.baseline = baseline;
  parameters.distortion[0] = {-0.21, 0.05, 0.0012, -0.0008, 0.0};
  parameters.distortion[1] = {-0.17, 0.03, -0.0006, 0.001, -0.002};
  parameters.rotation[0] = cv::Vec3d(0.01, -0.018, 0.004);
  parameters.rotation[1] = cv::Vec3d(-0.006, 0.012, -0.003);
  return RigModel::ideal(parameters);
}

WarpSpline splineOf(const LensData::Warp& w, int rows, int cols) {
  return WarpSpline(w->getYKnots()->data(), w->getXKnots()->data(), w->getCoefs()->data(), w->getNumCoefs(0), rows,
                    cols);
}

bool fileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

}  // namespace

TEST(CalibrationWriter, WrittenTextReadsBackWithEveryFactTheLoaderNeeds) {
  const RigModel rig = distortedRig();
  CalibrationWriter writer(CalibrationIdentity{1234, "rig-test", "11-Dec-2026 04:00:00", "synthetic rig\nsecond line"});
  writer.addConfiguration(rig);
  const std::string text = writer.text();

  ConfigFile file;
  ASSERT_EQ(file.loadBuffer(text.c_str()), ParseErrorOk);
  ASSERT_EQ(file.getNumberOfConfigurations(), 1);
  const auto section = file.getConfigSection(0);
  ASSERT_EQ(section->getParseResult(), ParseErrorOk);
  const ConfigHeader& h = *section->getHeader();
  for (const char* fact : {"m_pszVersion", "m_pszVersionName", "m_iVersionMajor", "m_iVersionMinor", "m_pszProduct",
                           "m_iSerialNumber", "m_pszPartId", "m_dBaseline", "m_dFocalLengthX", "m_dFocalLengthY",
                           "m_dImageCenterX", "m_dImageCenterY", "m_pszCameraConfiguration", "m_iRows", "m_iCols",
                           "m_iSensorRows", "m_iCalibratedSensorRoiRows", "m_iCalibratedSensorRoiOffsetRow",
                           "m_iMinDisparity", "m_bTextureValidOn", "m_iSurfaceValidSize", "m_iStereoMaskSize"})
    EXPECT_TRUE(h.exist(fact)) << fact;
  EXPECT_EQ(h.getVersionMajorNumber(), 4);
  EXPECT_EQ(h.getVersionMinorNumber(), 0);
  EXPECT_EQ(h.getProductName(), "gemlo");
  EXPECT_EQ(h.getSerialNumber(), 1234);
  EXPECT_EQ(h.getPartId(), "rig-test");
  EXPECT_EQ(h.getCameraConfiguration(), "2CameraHorizontal");
  EXPECT_EQ(h.getRowsResolution(), 480);
  EXPECT_EQ(h.getColsResolution(), 640);
  EXPECT_EQ(h.getSensorColsResolution(), 640);
  EXPECT_EQ(h.getCalibratedSensorRoiRows(), 480);
  EXPECT_DOUBLE_EQ(h.getBaseline(), 0.12);
  EXPECT_DOUBLE_EQ(h.getFocalLengthX(), rig.focalLength() / 640);
  EXPECT_DOUBLE_EQ(h.getFocalLengthY(), rig.focalLength() / 480);
  EXPECT_DOUBLE_EQ(h.getImageCenterX(), (rig.centreCol() + 0.5) / 640);
  EXPECT_DOUBLE_EQ(h.getImageCenterY(), (rig.centreRow() + 0.5) / 480);
  EXPECT_EQ(h.getMaxDisparity(), 32);
  // The markers the context file writer copies back are spelled as it expects.
  for (const char* line : {"\nVersion \"gemlo 4.0\"\n", "\nBeginCamera\n", "\nPosition -1 0 0\n", "\nEndCamera\n",
                           "\nBeginWarp\n", "\nEndWarp\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  EXPECT_EQ(text.rfind("# synthetic rig\n# second line\nVersion", 0), 0u);

  ASSERT_EQ(section->getNumberOfLensData(), 2);
  for (int i = 0; i < 2; ++i) {
    const LensData& lens = *section->getLensData(i);
    ASSERT_EQ(lens.getParseResult(), ParseErrorOk);
    EXPECT_EQ(lens.getId(), i);
    EXPECT_EQ(lens.getPosition()[0], i == 0 ? 0 : -1);
    EXPECT_TRUE(lens.exist("m_dGain"));
    // The stored coefficients are exactly the fitted ones, in the library's order.
    const LensWarps& fitted = writer.configurations()[0].warps[i];
    for (int axis = 0; axis < 2; ++axis) {
      const BSplineSurface& s = fitted.rectifiedToRaw[axis];
      const auto w = lens.getWarpDataRectified(axis);
      ASSERT_EQ(w->getNumCoefs(0), s.n);
      ASSERT_EQ(w->getNumKnots(), s.n + 4);
      const std::vector<double>& coefs = *w->getCoefs();
      for (int j = 0; j < s.n; ++j)
        for (int k = 0; k < s.n; ++k) ASSERT_EQ(coefs[k * s.n + j], s.coefficients[j * s.n + k]);
    }
  }
}

TEST(CalibrationWriter, LoadedWarpsReproduceTheLensModel) {
  // The maps built from the loaded records as the rectifier builds them agree
  // with the exact model within the tolerance, in both directions.
  const RigModel rig = distortedRig();
  CalibrationWriter writer;
  writer.addConfiguration(rig);
  ConfigFile file;
  ASSERT_EQ(file.loadBuffer(writer.text().c_str()), ParseErrorOk);
  const auto section = file.getConfigSection(0);
  const int rows = rig.rows();
  const int cols = rig.cols();
  for (int i = 0; i < 2; ++i) {
    const LensData& lens = *section->getLensData(i);
    const RigLens which = static_cast<RigLens>(i);
    const WarpMapFunc rectifiedToRaw(splineOf(lens.getWarpDataRectified(1), rows, cols),
                                     splineOf(lens.getWarpDataRectified(0), rows, cols), 0, 0, 0, 0, 0, 0);
    const WarpMapFunc rawToRectified(splineOf(lens.getWarpDataDistorted(1), rows, cols),
                                     splineOf(lens.getWarpDataDistorted(0), rows, cols), 0, 0, 0, 0, 0, 0);
    double worst = 0.0;
    for (int r = 0; r < rows; r += 7) {
      for (int c = 0; c < cols; c += 7) {
        double rawRow = 0, rawCol = 0, rectRow = 0, rectCol = 0;
        float outRow = 0, outCol = 0;
        ASSERT_TRUE(rig.rectifiedToRaw(which, r, c, rawRow, rawCol));
        rectifiedToRaw.map(outRow, outCol, rows, cols, r, c, rows, cols);
        if (rawRow > 0 && rawRow < rows - 1 && rawCol > 0 && rawCol < cols - 1)
          worst = std::max({worst, std::abs(outRow - rawRow), std::abs(outCol - rawCol)});
        ASSERT_TRUE(rig.rawToRectified(which, r, c, rectRow, rectCol));
        rawToRectified.map(outRow, outCol, rows, cols, r, c, rows, cols);
        if (rectRow > 0 && rectRow < rows - 1 && rectCol > 0 && rectCol < cols - 1)
          worst = std::max({worst, std::abs(outRow - rectRow), std::abs(outCol - rectCol)});
      }
    }
    EXPECT_LT(worst, 0.05) << "lens " << i;
  }
}

TEST(CalibrationWriter, NarrowAndWideConfigurationsShareOneFile) {
  CalibrationWriter writer;
  writer.addConfiguration(distortedRig(240, 320, 0.3));
  writer.addConfiguration(distortedRig(480, 640, 0.1));
  ConfigFile file;
  ASSERT_EQ(file.loadBuffer(writer.text().c_str()), ParseErrorOk);
  ASSERT_EQ(file.getNumberOfConfigurations(), 2);
  // Narrow first; each configuration finds its own warp blocks.
  EXPECT_DOUBLE_EQ(file.getConfigSection(0)->getHeader()->getBaseline(), 0.1);
  EXPECT_DOUBLE_EQ(file.getConfigSection(1)->getHeader()->getBaseline(), 0.3);
  EXPECT_EQ(file.getConfigSection(1)->getHeader()->getColsResolution(), 320);
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(file.getConfigSection(i)->getParseResult(), ParseErrorOk);
    EXPECT_EQ(file.getConfigSection(i)->getNumberOfLensData(), 2);
  }
}

TEST(CalibrationWriter, RefusesFilesTheLoaderWouldReject) {
  struct Case {
    const char* name;
    std::vector<RigModel> rigs;
    double tolerance;
    const char* message;
  };
  const Case cases[] = {
      {"nothing", {}, 0.05, "no configuration"},
      {"two narrow", {distortedRig(240, 320, 0.1), distortedRig(240, 320, 0.12)}, 0.05, "both are narrow"},
      {"two wide", {distortedRig(240, 320, 0.3), distortedRig(240, 320, 0.4)}, 0.05, "both are wide"},
      {"aspect", {distortedRig(240, 320, 0.1), distortedRig(240, 240, 0.3)}, 0.05, "aspect"},
      {"three", {distortedRig(240, 320, 0.1), distortedRig(240, 320, 0.3), distortedRig(240, 320, 0.5)}, 0.05,
       "at most two"},
      {"limit", {distortedRig(240, 320, CalibrationWriter::kNarrowBaselineLimit)}, 0.05, "neither narrow nor wide"},
      {"tolerance", {distortedRig(240, 320, 0.1)}, 1e-6, "above the tolerance"},
  };
  for (const Case& c : cases) {
    CalibrationWriter writer(CalibrationIdentity(), c.tolerance);
    WarpFitOptions options;
    options.tolerance = c.tolerance;
    options.maxBasis = 12;
    for (const RigModel& rig : c.rigs) writer.addConfiguration(rig, StereoDefaults(), options);
    try {
      writer.text();
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const RigError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.name << ": " << e.what();
    }
  }
  StereoDefaults badMask;
  badMask.stereoMaskSize = 8;
  CalibrationWriter writer;
  writer.addConfiguration(distortedRig(240, 320, 0.1), badMask);
  EXPECT_THROW(writer.text(), RigError);
}

TEST(CalibrationWriter, WriteFileLeavesNoPartialFile) {
  char folder[] = "/tmp/stelox-rig-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string path = std::string(folder) + "/calibration.txt";

  CalibrationWriter refused(CalibrationIdentity(), 1e-9);
  refused.addConfiguration(distortedRig(120, 160, 0.1));
  EXPECT_THROW(refused.writeFile(path), RigError);
  EXPECT_FALSE(fileExists(path));
  EXPECT_FALSE(fileExists(path + ".partial"));

  CalibrationWriter writer;
  writer.addConfiguration(distortedRig(120, 160, 0.1));
  try {
    writer.writeFile(std::string(folder) + "/missing/calibration.txt");
    ADD_FAILURE() << "wrote into a missing folder";
  } catch (const RigError& e) {
    EXPECT_NE(std::string(e.what()).find("/missing/calibration.txt"), std::string::npos);
  }

  writer.writeFile(path);
  std::ifstream in(path);
  std::stringstream content;
  content << in.rdbuf();
  EXPECT_EQ(content.str(), writer.text());
  EXPECT_FALSE(fileExists(path + ".partial"));
  std::remove(path.c_str());
  rmdir(folder);
}

TEST(CalibrationWriter, LoadsAsAContextAndStaysLoadableWhenWrittenBack) {
  char folder[] = "/tmp/stelox-rig-ctx-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string current = std::string(folder) + "/current.txt";
  const std::string loadedDefault = std::string(folder) + "/default.txt";

  CalibrationWriter writer(CalibrationIdentity{77, "rig-test", "", "written by the rig test"});
  writer.addConfiguration(distortedRig(240, 320, 0.1));
  writer.addConfiguration(distortedRig(480, 640, 0.25));
  const std::string text = writer.text();
  SteloxContext context = nullptr;
  ASSERT_EQ(steloxGetDefaultContextFromMemory(&context, text.c_str()), SteloxErrorOk);
  SteloxCameraConfiguration configuration;
  ASSERT_EQ(steloxGetCameraConfiguration(context, &configuration), SteloxErrorOk);
  EXPECT_EQ(configuration, 0);
  float focal = 0.0f;
  EXPECT_EQ(steloxGetFocalLength(context, &focal), SteloxErrorOk);
  EXPECT_NEAR(focal, 0.8 * 320, 1e-3);
  EXPECT_EQ(steloxSetCameraConfiguration(context, static_cast<SteloxCameraConfiguration>(1)), SteloxErrorOk);
  float baseline = 0.0f;
  EXPECT_EQ(steloxGetBaseline(context, &baseline), SteloxErrorOk);
  EXPECT_FLOAT_EQ(baseline, 0.25f);
  int serial = 0;
  EXPECT_EQ(steloxGetSerialNumber(context, &serial), SteloxErrorOk);
  EXPECT_EQ(serial, 77);

  ASSERT_EQ(steloxWriteCurrentContextToFile(context, current.c_str()), SteloxErrorOk);
  ASSERT_EQ(steloxWriteDefaultContextToFile(context, loadedDefault.c_str()), SteloxErrorOk);
  EXPECT_EQ(steloxDestroyContext(context), SteloxErrorOk);
  for (const std::string& path : {current, loadedDefault}) {
    SteloxContext reloaded = nullptr;
    EXPECT_EQ(steloxGetDefaultContextFromFile(&reloaded, path.c_str()), SteloxErrorOk) << path;
    if (reloaded) {
      EXPECT_EQ(steloxSetCameraConfiguration(reloaded, static_cast<SteloxCameraConfiguration>(1)), SteloxErrorOk);
      steloxDestroyContext(reloaded);
    }
    std::remove(path.c_str());
  }
  rmdir(folder);
}
