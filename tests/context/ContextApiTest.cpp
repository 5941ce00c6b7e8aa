// Loading contexts from text and files, camera configurations, copies and
// destruction through the C interface.
#include "context/ContextFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using context_fixtures::ContextHandle;
using context_fixtures::configuration;
using context_fixtures::replaceLine;

namespace {

std::string withVersion(const std::string& version) { return replaceLine(configuration(), "Version", version); }

std::string withCalibratedRegion(const std::string& text, int rows, int cols)
{
  return replaceLine(text, "Resolution",
                     "Resolution 480 640\nCalibratedSensorRoiOffset 0 0\nCalibratedSensorRoiResolution " +
                         std::to_string(cols) + " " + std::to_string(rows));
}

struct LoadCase {
  const char* name;
  std::string text;
  SteloxError expected;
};

TEST(ContextApi, LoadChecksInTheirOrder)
{
  const std::string narrow = configuration();
  const std::string wide = configuration("", "0.24");
  const LoadCase cases[] = {
      {"narrow", narrow, SteloxErrorOk},
      {"narrow and wide", narrow + wide, SteloxErrorOk},
      {"three configurations", narrow + wide + narrow, SteloxErrorCorruptConfigurationFile},
      {"two narrow", narrow + narrow, SteloxErrorCorruptConfigurationFile},
      {"two wide", wide + wide, SteloxErrorCorruptConfigurationFile},
      {"no configuration", "Product GEMLO\n", SteloxErrorCorruptConfigurationFile},
      {"same aspect", withCalibratedRegion(narrow, 960, 1280) + withCalibratedRegion(wide, 480, 640),
       SteloxErrorOk},
      {"other aspect", withCalibratedRegion(narrow, 960, 1280) + withCalibratedRegion(wide, 360, 640),
       SteloxErrorCorruptConfigurationFile},
      {"version 3.1", withVersion("Version \"GEMLO 3.1\""), SteloxErrorInvalidConfigurationFileVersion},
      {"version 2.3", withVersion("Version \"GEMLO 2.3\""), SteloxErrorInvalidConfigurationFileVersion},
      {"version 5.0", withVersion("Version \"GEMLO 5.0\""), SteloxErrorInvalidConfigurationFileVersion},
      {"version 2.2", withVersion("Version \"GEMLO 2.2\""), SteloxErrorOk},
      {"version 3.0", withVersion("Version \"GEMLO 3.0\""), SteloxErrorOk},
      {"camera configuration in capitals", replaceLine(narrow, "CameraConfiguration",
                                                       "CameraConfiguration 2CAMERAHORIZONTAL"),
       SteloxErrorOk},
      {"other camera configuration", replaceLine(narrow, "CameraConfiguration", "CameraConfiguration 3Camera"),
       SteloxErrorInvalidContextConfiguration},
      {"no camera configuration", replaceLine(narrow, "CameraConfiguration", ""),
       SteloxErrorCorruptConfigurationFile},
      {"product in capitals", replaceLine(narrow, "Product", "Product GEMLO"), SteloxErrorInvalidContextConfiguration},
      {"product with a capital", replaceLine(narrow, "Product", "Product Gemlo"),
       SteloxErrorInvalidContextConfiguration},
      {"other product", replaceLine(narrow, "Product", "Product Omnira"), SteloxErrorCorruptConfigurationFile},
      {"no serial number", replaceLine(narrow, "SerialNumber", ""), SteloxErrorCorruptConfigurationFile},
      {"no part id", replaceLine(narrow, "PartId", ""), SteloxErrorCorruptConfigurationFile},
      {"no baseline", replaceLine(narrow, "BaseLine", ""), SteloxErrorCorruptConfigurationFile},
      {"baseline at the threshold", configuration("", "0.19499999284744263"), SteloxErrorInvalidContext},
  };
  for (const LoadCase& test : cases) {
    SCOPED_TRACE(test.name);
    SteloxContext context = reinterpret_cast<SteloxContext>(0x1);
    EXPECT_EQ(steloxGetDefaultContextFromMemory(&context, test.text.c_str()), test.expected);
    if (test.expected != SteloxErrorOk) {
      EXPECT_EQ(context, nullptr);
    }
    steloxDestroyContext(context);
  }
}

TEST(ContextApi, HeaderSettingsOutsideTheirRangeKeepTheDefaults)
{
  ContextHandle context(configuration("TextureValidationThreshold 200\nStereoMaskSize 8\nEdgeMaskSize 5\n"
                                      "SurfaceValidationSize 50\nDisparity 5 60\nSubPixelInterpolate off\n"));
  ASSERT_NE(context.get(), nullptr);
  float threshold = 0;
  int stereoMask = 0, edgeMask = 0, surfaceSize = 0, minimum = 0, maximum = 0;
  steloxGetTextureValidationThreshold(context, &threshold);
  steloxGetStereoMask(context, &stereoMask);
  steloxGetEdgeMask(context, &edgeMask);
  steloxGetSurfaceValidationSize(context, &surfaceSize);
  steloxGetDisparity(context, &minimum, &maximum);
  EXPECT_FLOAT_EQ(threshold, 0.5f);
  EXPECT_EQ(stereoMask, 7);
  EXPECT_EQ(edgeMask, 5);
  EXPECT_EQ(surfaceSize, 50);
  EXPECT_EQ(minimum, 5);
  EXPECT_EQ(maximum, 65);
}

TEST(ContextApi, VersionFourRegionsAndSensorSize)
{
  struct Case {
    const char* extra;
    int rows;
    int cols;
  } cases[] = {
      {"", 0, 0},  // no region: the source size waits for the first frame
      {"SensorResolution 1280 960\n", 960, 1280},
      {"CalibratedSensorRoiResolution 640 480\nCalibratedSensorRoiOffset 8 4\nSensorResolution 1280 960\n", 480,
       640},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.extra);
    ContextHandle context(configuration(test.extra));
    ASSERT_NE(context.get(), nullptr);
    int rows = -1, cols = -1;
    EXPECT_EQ(steloxGetSourceResolution(context, &rows, &cols), SteloxErrorOk);
    EXPECT_EQ(rows, test.rows);
    EXPECT_EQ(cols, test.cols);
  }
}

TEST(ContextApi, CameraConfigurations)
{
  ContextHandle wideOnly(configuration("", "0.24"));
  ASSERT_NE(wideOnly.get(), nullptr);
  SteloxCameraConfiguration active = SteloxCameraConfigurationNarrow;
  EXPECT_EQ(steloxGetCameraConfiguration(wideOnly, &active), SteloxErrorOk);
  EXPECT_EQ(active, SteloxCameraConfigurationWide);
  EXPECT_EQ(steloxSetCameraConfiguration(wideOnly, SteloxCameraConfigurationNarrow),
            SteloxErrorCameraConfigurationNotSet);
  EXPECT_EQ(steloxSetCameraConfiguration(wideOnly, static_cast<SteloxCameraConfiguration>(2)),
            SteloxErrorInvalidCameraConfiguration);
  EXPECT_EQ(steloxSetCameraConfiguration(wideOnly, static_cast<SteloxCameraConfiguration>(-1)),
            SteloxErrorInvalidCameraConfiguration);
  EXPECT_EQ(steloxSetCameraConfiguration(wideOnly, SteloxCameraConfigurationWide), SteloxErrorOk);

  // The narrow configuration has focal lengths 0.8 x 1.1, the wide one 0.9 x 1.2.
  const std::string wide = replaceLine(configuration("", "0.24"), "FocalLength", "FocalLength 0.9 1.2");
  ContextHandle both(configuration() + wide);
  ASSERT_NE(both.get(), nullptr);
  EXPECT_EQ(steloxGetDeviceConfiguration(both, &active), SteloxErrorOk);
  EXPECT_EQ(active, SteloxCameraConfigurationNarrow);
  ASSERT_EQ(steloxSetStereoMask(both, 11), SteloxErrorOk);
  ASSERT_EQ(steloxSetTextureValidationThreshold(both, 3.5f), SteloxErrorOk);
  ASSERT_EQ(steloxSetCameraConfiguration(both, SteloxCameraConfigurationWide), SteloxErrorOk);
  int mask = 0;
  float threshold = 0, baseline = 0, aspect = 0;
  steloxGetStereoMask(both, &mask);
  steloxGetTextureValidationThreshold(both, &threshold);
  steloxGetBaseline(both, &baseline);
  steloxGetCalAspectRatio(both, &aspect);
  EXPECT_EQ(mask, 11);
  EXPECT_FLOAT_EQ(threshold, 3.5f);
  EXPECT_FLOAT_EQ(baseline, 0.24f);
  EXPECT_FLOAT_EQ(aspect, 1.2f / 0.9f);
  EXPECT_EQ(steloxGetCameraConfiguration(both, &active), SteloxErrorOk);
  EXPECT_EQ(active, SteloxCameraConfigurationWide);
}

TEST(ContextApi, FilesAndNullArguments)
{
  SteloxContext context = reinterpret_cast<SteloxContext>(0x1);
  EXPECT_EQ(steloxGetDefaultContextFromMemory(&context, nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(context, nullptr);
  context = reinterpret_cast<SteloxContext>(0x1);
  EXPECT_EQ(steloxGetDefaultContextFromFile(&context, nullptr), SteloxErrorInvalidFilename);
  EXPECT_EQ(context, nullptr);
  EXPECT_EQ(steloxGetDefaultContextFromFile(&context, "/nonexistent/calibration.txt"), SteloxErrorInvalidFilename);
  EXPECT_EQ(steloxGetDefaultContextFromFile(nullptr, "x"), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxGetDefaultContextFromMemory(nullptr, "x"), SteloxErrorNullBuffer);
  // A directory exists but cannot be read as a file.
  EXPECT_EQ(steloxGetDefaultContextFromFile(&context, "/"), SteloxErrorFileRead);
  EXPECT_EQ(context, nullptr);

  const std::string path = testing::TempDir() + "context_api_calibration.txt";
  std::ofstream(path) << configuration();
  ContextHandle loaded;
  ASSERT_EQ(steloxGetDefaultContextFromFile(loaded.out(), path.c_str()), SteloxErrorOk);
  int serial = 0;
  EXPECT_EQ(steloxGetSerialNumber(loaded, &serial), SteloxErrorOk);
  EXPECT_EQ(serial, 1234);
  std::remove(path.c_str());
}

TEST(ContextApi, CopiesAreIndependent)
{
  ContextHandle source(configuration());
  ContextHandle copy;
  ASSERT_EQ(steloxCopyContext(source, copy.out()), SteloxErrorOk);
  ASSERT_NE(copy.get(), source.get());
  ASSERT_EQ(steloxSetStereoMask(source, 13), SteloxErrorOk);
  int mask = 0;
  steloxGetStereoMask(copy, &mask);
  EXPECT_EQ(mask, 7);
  ASSERT_EQ(steloxSetEdgeMask(copy, 9), SteloxErrorOk);
  steloxGetEdgeMask(source, &mask);
  EXPECT_EQ(mask, 7);
}

}  // namespace
