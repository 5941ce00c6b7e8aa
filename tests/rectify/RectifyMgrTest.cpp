#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "CalibrationFixtures.h"
#include "rectify/MultiSteloxRectifyMgr.h"
#include "rectify/OmniraRectifyMgr.h"
#include "rectify/RectifierImpl.h"
#include "rectify/RectifyHelper.h"

using namespace calibrationfixtures;

namespace {

const std::string& identityWarps() {
  static const std::string warps = affineLensWarps(6, 1, 0, 1, 0);
  return warps;
}

CameraSetup goodCamera() { return twoLensCamera(identityWarps()); }

ConfigFile fileOf(const std::string& text) {
  ConfigFile file;
  file.loadBuffer(text.c_str());
  return file;
}

} // namespace

TEST(SteloxRectifyMgr, ChecksSectionInOrder) {
  struct Case {
    const char* name;
    std::function<void(CameraSetup&)> change;
    RectifyError expected;
  };
  const int n = 6;
  const Case cases[] = {
      {"good", [](CameraSetup&) {}, RectifyErrorOk},
      {"product in lower case", [](CameraSetup& c) { c.product = "gemlo"; }, RectifyErrorOk},
      {"other product", [](CameraSetup& c) { c.product = "GEMLOX"; }, RectifyErrorInvalidProductName},
      {"three lenses", [](CameraSetup& c) { c.lenses.push_back(c.lenses[0]); }, RectifyErrorInvalidNumberOfLens},
      {"one lens", [](CameraSetup& c) { c.lenses.pop_back(); }, RectifyErrorInvalidNumberOfLens},
      {"both at the reference position", [](CameraSetup& c) { c.lenses[1].position[0] = 0; },
       RectifyErrorInvalidNumberOfLens},
      {"a lens elsewhere", [](CameraSetup& c) { c.lenses[1].position[0] = 1; }, RectifyErrorInvalidNumberOfLens},
      {"no id", [](CameraSetup& c) { c.lenses[0].hasId = false; }, RectifyErrorLensDataId},
      {"no focal length", [](CameraSetup& c) { c.focalLength = false; }, RectifyErrorFocalLength},
      {"no image centre", [](CameraSetup& c) { c.imageCenter = false; }, RectifyErrorImageCentre},
      {"no gain", [](CameraSetup& c) { c.lenses[1].gain = false; }, RectifyErrorGain},
      {"no camera block", [](CameraSetup& c) { c.lenses.clear(); }, RectifyErrorInvalidSection},
      {"fewer knots than the coefficients need",
       [n](CameraSetup& c) {
         c.warps = warpBlock(1, n, affineColCoefficients(n, 1, 0)) +
                   warpBlock(2, n, affineRowCoefficients(n, 1, 0)) +
                   warpBlock(3, n, affineColCoefficients(n, 1, 0), n + 3) +
                   warpBlock(4, n, affineRowCoefficients(n, 1, 0));
       },
       RectifyErrorInvalidWarpData},
  };
  for (const Case& c : cases) {
    CameraSetup camera = goodCamera();
    c.change(camera);
    const std::shared_ptr<const ConfigSection> section = parseSection(calibrationText(camera));
    ASSERT_TRUE(section) << c.name;
    SteloxRectifyMgr manager(*section);
    EXPECT_EQ(manager.getCreationResult(), c.expected) << c.name;
    EXPECT_EQ(manager.getRectifier(1) != nullptr, c.expected == RectifyErrorOk) << c.name;
  }
}

TEST(SteloxRectifyMgr, FindsLensesByPosition) {
  CameraSetup camera = goodCamera();
  std::swap(camera.lenses[0], camera.lenses[1]);  // the left lens comes first
  camera.lenses[0].gain = true;
  const std::shared_ptr<const ConfigSection> section = parseSection(calibrationText(camera));
  SteloxRectifyMgr manager(*section);
  ASSERT_EQ(manager.getCreationResult(), RectifyErrorOk);
  EXPECT_EQ(manager.getNumberOfLens(), 2);
  const int reference[3] = {0, 0, 0}, left[3] = {-1, 0, 0}, other[3] = {0, 1, 0};
  EXPECT_EQ(manager.getRectifier(reference), manager.getRectifier(0));
  EXPECT_EQ(manager.getRectifier(left), manager.getRectifier(1));
  EXPECT_EQ(manager.getRectifier(other), nullptr);
  EXPECT_EQ(manager.getRectifier(2), nullptr);
  EXPECT_EQ(manager.getRectifier(-1), nullptr);

  // Copies share the rectifiers; buildWarpers reaches both lenses.
  const SteloxRectifyMgr copy = manager;
  EXPECT_EQ(copy.getRectifier(0), manager.getRectifier(0));
  EXPECT_EQ(manager.buildWarpers(24, 32, 48, 64, 64, 0, 0, 48, 64, 0, 0, KernelTypeBilinear, 5), RectifyErrorOk);
  EXPECT_EQ(manager.getRectifier(0)->impl().warpers().count(), 1);
  EXPECT_EQ(manager.getRectifier(1)->impl().warpers().count(), 1);
  EXPECT_EQ(manager.buildWarpers(24, 32, 48, 64, 64, 0, 0, 48, 64, 100, 0, KernelTypeBilinear, 5),
            RectifyErrorInvalidShift);

  // A failure at the second lens leaves the first one in place.
  CameraSetup noGain = goodCamera();
  noGain.lenses[1].gain = false;
  SteloxRectifyMgr partial(*parseSection(calibrationText(noGain)));
  EXPECT_EQ(partial.getCreationResult(), RectifyErrorGain);
  EXPECT_NE(partial.getRectifier(0), nullptr);
  EXPECT_EQ(partial.getRectifier(1), nullptr);
}

TEST(SteloxRectifyMgr, CreatesOneLensAndReadsSensorSize) {
  CameraSetup camera = goodCamera();
  camera.lenses.push_back(camera.lenses[1]);
  camera.lenses[2].id = 7;
  const std::shared_ptr<const ConfigSection> section = parseSection(calibrationText(camera));
  SteloxRectifyMgr left(*section, SteloxRectifyLensLeft);
  ASSERT_EQ(left.getCreationResult(), RectifyErrorOk);
  EXPECT_EQ(left.getRectifier(0), nullptr);
  ASSERT_NE(left.getRectifier(1), nullptr);

  RectifyLensData d;
  ASSERT_EQ(SteloxRectifyMgr::createRectifyLensData(*section->getHeader(), *section->getLensData(2), d),
            RectifyErrorOk);
  EXPECT_EQ(d.id, 7);
  EXPECT_EQ(d.focalLengthX, 0.75);
  EXPECT_EQ(d.sensorRows, 0);
  EXPECT_EQ(d.sensorCols, 0);

  camera.sensorRows = 960;
  camera.sensorCols = 1280;
  const std::shared_ptr<const ConfigSection> sized = parseSection(calibrationText(camera));
  ASSERT_EQ(SteloxRectifyMgr::createRectifyLensData(*sized->getHeader(), *sized->getLensData(0), d),
            RectifyErrorOk);
  EXPECT_EQ(d.sensorRows, 960);
  EXPECT_EQ(d.sensorCols, 1280);

  CameraSetup noLeft = goodCamera();
  noLeft.lenses.pop_back();
  SteloxRectifyMgr missing(*parseSection(calibrationText(noLeft)), SteloxRectifyLensLeft);
  EXPECT_EQ(missing.getCreationResult(), RectifyErrorInvalidNumberOfLens);
}

TEST(MultiSteloxRectifyMgr, LoadsOneSectionPerConfiguration) {
  const auto camera = [](double baseline) {
    CameraSetup c = goodCamera();
    c.baseline = baseline;
    return calibrationText(c);
  };
  CameraSetup broken = goodCamera();
  broken.baseline = 0.3;
  broken.lenses[0].gain = false;
  struct Case {
    const char* name;
    std::string text;
    RectifyError expected;
    bool narrow, wide;
  };
  const Case cases[] = {
      {"narrow and wide", camera(0.12) + camera(0.3), RectifyErrorOk, true, true},
      {"threshold itself is wide", camera(0.195), RectifyErrorOk, false, true},
      {"just below the threshold", camera(0.1949999), RectifyErrorOk, true, false},
      {"two narrow", camera(0.12) + camera(0.1), RectifyErrorInvalidConfigFile, false, false},
      {"three sections", camera(0.12) + camera(0.3) + camera(0.4), RectifyErrorTooManyConfigurations, false, false},
      {"empty", "", RectifyErrorNoConfigurations, false, false},
      // A failing section fails the file even when another one loads.
      {"good narrow, broken wide", camera(0.12) + calibrationText(broken), RectifyErrorGain, false, false},
  };
  for (const Case& c : cases) {
    const MultiSteloxRectifyMgr manager(fileOf(c.text));
    EXPECT_EQ(manager.getCreationResult(), c.expected) << c.name;
    EXPECT_EQ(manager.isCameraConfigurationLoaded(SteloxRectifyCameraConfigurationNarrow), c.narrow) << c.name;
    EXPECT_EQ(manager.isCameraConfigurationLoaded(SteloxRectifyCameraConfigurationWide), c.wide) << c.name;
    EXPECT_EQ(manager.getNumberOfManagers(), int(c.narrow) + int(c.wide)) << c.name;
    EXPECT_EQ(manager.getRectifyManager(SteloxRectifyCameraConfigurationWide) != nullptr, c.wide) << c.name;
  }

  const ConfigFile both = fileOf(camera(0.12) + camera(0.3));
  const MultiSteloxRectifyMgr wideOnly(both, SteloxRectifyCameraConfigurationWide);
  EXPECT_EQ(wideOnly.getCreationResult(), RectifyErrorOk);
  EXPECT_FALSE(wideOnly.isCameraConfigurationLoaded(SteloxRectifyCameraConfigurationNarrow));
  EXPECT_TRUE(wideOnly.isCameraConfigurationLoaded(SteloxRectifyCameraConfigurationWide));
  const MultiSteloxRectifyMgr absent(fileOf(camera(0.3)), SteloxRectifyCameraConfigurationNarrow);
  EXPECT_EQ(absent.getCreationResult(), RectifyErrorNoConfigurations);
  EXPECT_EQ(absent.getNumberOfManagers(), 0);
}

TEST(OmniraRectifyMgr, BuildsSixLenses) {
  const auto rig = [](int lenses, const char* product, bool centre) {
    CameraSetup c = goodCamera();
    c.product = product;
    c.lenses.clear();
    for (int i = 0; i < lenses; ++i) {
      LensSetup lens;
      lens.id = i;
      lens.position[0] = i;
      lens.extraLines = std::string("FocalLength 0.6 0.8\n") + (centre ? "Center 0 0 0 0.4 0.6\n" : "");
      c.lenses.push_back(lens);
    }
    return parseSection(calibrationText(c));
  };
  struct Case {
    int lenses;
    const char* product;
    bool centre;
    RectifyError expected;
  };
  const Case cases[] = {{6, "Omnira", true, RectifyErrorOk},
                        {5, "OMNIRA", true, RectifyErrorInvalidNumberOfLens},
                        {6, "GEMLO", true, RectifyErrorInvalidProductName},
                        {6, "OMNIRA", false, RectifyErrorImageCentre}};
  for (const Case& c : cases) {
    const OmniraRectifyMgr manager(*rig(c.lenses, c.product, c.centre));
    EXPECT_EQ(manager.getCreationResult(), c.expected) << c.lenses << c.product;
    EXPECT_EQ(manager.getNumberOfLens(), 6);
    EXPECT_EQ(manager.getRectifier(5) != nullptr, c.expected == RectifyErrorOk);
    EXPECT_EQ(manager.getRectifier(6), nullptr);
  }
  const OmniraRectifyMgr manager(*rig(6, "OMNIRA", true));
  EXPECT_EQ(manager.getRectifier(3)->getFocalLengthY(), 0.8);
}

TEST(RectifyHelper, TextsAndParseResults) {
  EXPECT_STREQ(RectifyHelper::errorToString(RectifyErrorOk), "The operation completed successfully.");
  EXPECT_STREQ(RectifyHelper::errorToString(RectifyErrorGain), "Gain doesn't exist");
  EXPECT_STREQ(RectifyHelper::errorToString(RectifyErrorInvalidShift), "Unknown error");
  EXPECT_STREQ(RectifyHelper::errorToString(static_cast<RectifyError>(99)), "Unknown error");
  const RectifyError expected[] = {RectifyErrorOk,          RectifyErrorInvalidConfigFile,
                                   RectifyErrorInvalidConfigFile, RectifyErrorReservedParse,
                                   RectifyErrorReservedParse, RectifyErrorAllocate,
                                   RectifyErrorInvalidWarpData, RectifyErrorInvalidWarpData,
                                   RectifyErrorInvalidWarpData, RectifyErrorInvalidWarpData,
                                   RectifyErrorInvalidWarpData, RectifyErrorInvalidWarpData,
                                   RectifyErrorLensWarpIds,   RectifyErrorInvalidSection,
                                   RectifyErrorUnknownParse};
  for (int value = 0; value < 15; ++value)
    EXPECT_EQ(RectifyHelper::parseToRectifyError(static_cast<ParseError>(value)), expected[value]) << value;
  EXPECT_EQ(RectifyHelper::parseToRectifyError(static_cast<ParseError>(-1)), RectifyErrorUnknownParse);
}
