// Parameters of a context through the C interface: defaults, the limits of
// every checked setter, the disparity range rules and null contexts.
#include "context/ContextFixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using context_fixtures::ContextHandle;
using context_fixtures::configuration;

namespace {

TEST(ParameterApi, FreshContextHasTheDefaults)
{
  // Without "Resolution" and "Disparity" lines nothing but the defaults show.
  ContextHandle context(context_fixtures::replaceLine(configuration(), "Resolution", ""));
  ASSERT_NE(context.get(), nullptr);
  int minimum = -1, maximum = -1, stereoMask = 0, edgeMask = 0, surfaceSize = 0, flag = -1;
  float threshold = 0, difference = 0;
  unsigned char texture = 0, backForth = 0, surface = 0, subpixel = 0;
  EXPECT_EQ(steloxGetDisparity(context, &minimum, &maximum), SteloxErrorOk);
  EXPECT_EQ(minimum, 0);
  EXPECT_EQ(maximum, 32);
  EXPECT_EQ(steloxGetStereoMask(context, &stereoMask), SteloxErrorOk);
  EXPECT_EQ(stereoMask, 7);
  EXPECT_EQ(steloxGetEdgeMask(context, &edgeMask), SteloxErrorOk);
  EXPECT_EQ(edgeMask, 7);
  EXPECT_EQ(steloxGetTextureValidationThreshold(context, &threshold), SteloxErrorOk);
  EXPECT_FLOAT_EQ(threshold, 0.5f);
  EXPECT_EQ(steloxGetSurfaceValidationSize(context, &surfaceSize), SteloxErrorOk);
  EXPECT_EQ(surfaceSize, 200);
  EXPECT_EQ(steloxGetSurfaceValidationDifference(context, &difference), SteloxErrorOk);
  EXPECT_FLOAT_EQ(difference, 1.0f);
  steloxGetTextureValidationMapping(context, &texture);
  steloxGetBackForthValidationMapping(context, &backForth);
  steloxGetSurfaceValidationMapping(context, &surface);
  steloxGetSubpixelValidationMapping(context, &subpixel);
  EXPECT_EQ(texture, 255);
  EXPECT_EQ(backForth, 251);
  EXPECT_EQ(surface, 252);
  EXPECT_EQ(subpixel, 253);
  const std::pair<SteloxError (*)(SteloxContext, int*), int> flags[] = {
      {steloxGetEdgeCorrelation, 1}, {steloxGetDoStereo, 1},          {steloxGetRectify, 1},
      {steloxGetTextureValidation, 1}, {steloxGetBackForthValidation, 0}, {steloxGetSurfaceValidation, 1},
      {steloxGetRoiOn, 0}};
  for (const auto& [getter, expected] : flags) {
    EXPECT_EQ(getter(context, &flag), SteloxErrorOk);
    EXPECT_EQ(flag, expected);
  }
  float baseline = 0, aspect = 0;
  int serial = 0;
  EXPECT_EQ(steloxGetBaseline(context, &baseline), SteloxErrorOk);
  EXPECT_FLOAT_EQ(baseline, 0.12f);
  EXPECT_EQ(steloxGetCalAspectRatio(context, &aspect), SteloxErrorOk);
  EXPECT_FLOAT_EQ(aspect, 1.1f / 0.8f);
  EXPECT_EQ(steloxGetSerialNumber(context, &serial), SteloxErrorOk);
  EXPECT_EQ(serial, 1234);
}

struct SetterCase {
  const char* name;
  std::function<SteloxError(SteloxContext)> set;
  SteloxError expected;
  std::function<double(SteloxContext)> read;  // the stored value afterwards
  double stored;
};

double readInt(SteloxError (*getter)(SteloxContext, int*), SteloxContext context)
{
  int value = -999;
  getter(context, &value);
  return value;
}

double readFloat(SteloxError (*getter)(SteloxContext, float*), SteloxContext context)
{
  float value = -999;
  getter(context, &value);
  return value;
}

TEST(ParameterApi, CheckedSettersAcceptTheirRangeAndLeaveTheContextOnRefusal)
{
  const auto edgeMask = [](SteloxContext c) { return readInt(steloxGetEdgeMask, c); };
  const auto stereoMask = [](SteloxContext c) { return readInt(steloxGetStereoMask, c); };
  const auto threshold = [](SteloxContext c) { return readFloat(steloxGetTextureValidationThreshold, c); };
  const auto difference = [](SteloxContext c) { return readFloat(steloxGetSurfaceValidationDifference, c); };
  const auto surfaceSize = [](SteloxContext c) { return readInt(steloxGetSurfaceValidationSize, c); };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const SetterCase cases[] = {
      {"edge 3", [](SteloxContext c) { return steloxSetEdgeMask(c, 3); }, SteloxErrorOk, edgeMask, 3},
      {"edge 11", [](SteloxContext c) { return steloxSetEdgeMask(c, 11); }, SteloxErrorOk, edgeMask, 11},
      {"edge 13", [](SteloxContext c) { return steloxSetEdgeMask(c, 13); }, SteloxErrorInvalidSetting, edgeMask, 7},
      {"edge 4", [](SteloxContext c) { return steloxSetEdgeMask(c, 4); }, SteloxErrorInvalidSetting, edgeMask, 7},
      {"edge 1", [](SteloxContext c) { return steloxSetEdgeMask(c, 1); }, SteloxErrorInvalidSetting, edgeMask, 7},
      {"edge -7", [](SteloxContext c) { return steloxSetEdgeMask(c, -7); }, SteloxErrorInvalidSetting, edgeMask, 7},
      {"stereo 1", [](SteloxContext c) { return steloxSetStereoMask(c, 1); }, SteloxErrorOk, stereoMask, 1},
      {"stereo 23", [](SteloxContext c) { return steloxSetStereoMask(c, 23); }, SteloxErrorOk, stereoMask, 23},
      {"stereo 25", [](SteloxContext c) { return steloxSetStereoMask(c, 25); }, SteloxErrorInvalidSetting,
       stereoMask, 7},
      {"stereo 8", [](SteloxContext c) { return steloxSetStereoMask(c, 8); }, SteloxErrorInvalidSetting,
       stereoMask, 7},
      {"any stereo 8", [](SteloxContext c) { return steloxSetAnyStereoMask(c, 8); }, SteloxErrorOk, stereoMask, 8},
      {"any stereo 0", [](SteloxContext c) { return steloxSetAnyStereoMask(c, 0); }, SteloxErrorInvalidSetting,
       stereoMask, 7},
      {"threshold 128", [](SteloxContext c) { return steloxSetTextureValidationThreshold(c, 128.0f); },
       SteloxErrorOk, threshold, 128},
      {"threshold 0", [](SteloxContext c) { return steloxSetTextureValidationThreshold(c, 0.0f); }, SteloxErrorOk,
       threshold, 0},
      {"threshold 128.5", [](SteloxContext c) { return steloxSetTextureValidationThreshold(c, 128.5f); },
       SteloxErrorInvalidSetting, threshold, 0.5},
      {"threshold -0.1", [](SteloxContext c) { return steloxSetTextureValidationThreshold(c, -0.1f); },
       SteloxErrorInvalidSetting, threshold, 0.5},
      {"threshold NaN", [nan](SteloxContext c) { return steloxSetTextureValidationThreshold(c, nan); },
       SteloxErrorInvalidSetting, threshold, 0.5},
      {"difference 0", [](SteloxContext c) { return steloxSetSurfaceValidationDifference(c, 0.0f); },
       SteloxErrorOk, difference, 0},
      {"difference -1", [](SteloxContext c) { return steloxSetSurfaceValidationDifference(c, -1.0f); },
       SteloxErrorInvalidSetting, difference, 1},
      {"difference NaN", [nan](SteloxContext c) { return steloxSetSurfaceValidationDifference(c, nan); },
       SteloxErrorInvalidSetting, difference, 1},
      {"surface 0", [](SteloxContext c) { return steloxSetSurfaceValidationSize(c, 0); }, SteloxErrorOk,
       surfaceSize, 0},
      {"surface -1", [](SteloxContext c) { return steloxSetSurfaceValidationSize(c, -1); },
       SteloxErrorInvalidSetting, surfaceSize, 200},
  };
  for (const SetterCase& test : cases) {
    SCOPED_TRACE(test.name);
    ContextHandle context(configuration());
    ASSERT_NE(context.get(), nullptr);
    EXPECT_EQ(test.set(context), test.expected);
    EXPECT_FLOAT_EQ(static_cast<float>(test.read(context)), static_cast<float>(test.stored));
  }
}

TEST(ParameterApi, FlagsAndMappingsRoundTrip)
{
  ContextHandle context(configuration());
  SteloxError (*const setters[])(SteloxContext, int) = {steloxSetEdgeCorrelation, steloxSetDoStereo,
                                                        steloxSetRectify,         steloxSetTextureValidation,
                                                        steloxSetBackForthValidation, steloxSetSurfaceValidation};
  SteloxError (*const getters[])(SteloxContext, int*) = {steloxGetEdgeCorrelation, steloxGetDoStereo,
                                                         steloxGetRectify,         steloxGetTextureValidation,
                                                         steloxGetBackForthValidation, steloxGetSurfaceValidation};
  for (std::size_t i = 0; i < std::size(setters); ++i) {
    for (const int value : {0, 7, -1, 0}) {
      int read = -5;
      EXPECT_EQ(setters[i](context, value), SteloxErrorOk);
      EXPECT_EQ(getters[i](context, &read), SteloxErrorOk);
      EXPECT_EQ(read, value != 0 ? 1 : 0);
    }
  }
  SteloxError (*const mapSetters[])(SteloxContext, unsigned char) = {
      steloxSetTextureValidationMapping, steloxSetBackForthValidationMapping, steloxSetSubpixelValidationMapping,
      steloxSetSurfaceValidationMapping};
  SteloxError (*const mapGetters[])(SteloxContext, unsigned char*) = {
      steloxGetTextureValidationMapping, steloxGetBackForthValidationMapping, steloxGetSubpixelValidationMapping,
      steloxGetSurfaceValidationMapping};
  for (std::size_t i = 0; i < std::size(mapSetters); ++i) {
    unsigned char read = 0;
    EXPECT_EQ(mapSetters[i](context, static_cast<unsigned char>(17 + i)), SteloxErrorOk);
    EXPECT_EQ(mapGetters[i](context, &read), SteloxErrorOk);
    EXPECT_EQ(read, 17 + i);
  }
}

struct DisparityCase {
  const char* baseline;  // narrow or wide configuration
  int minimum;
  int count;
  SteloxError expected;
  int storedMinimum;
  int storedMaximum;
};

// The test configuration asks for 480 x 640 with aspect 1.375, so the
// rectified image is 480 x 660 wide; with mask 7 the narrow limit is 653.
TEST(ParameterApi, DisparityRangeRules)
{
  const DisparityCase cases[] = {
      {"0.12", 10, 64, SteloxErrorOk, 10, 74},
      {"0.12", 0, 0, SteloxErrorInvalidNumberOfDisparities, 0, 32},
      {"0.12", -1, 0, SteloxErrorInvalidNumberOfDisparities, 0, 32},
      {"0.12", -1, 10, SteloxErrorInvalidSetting, 0, 32},
      {"0.12", 0, 4079, SteloxErrorInvalidSetting, 0, 32},
      {"0.12", 0, 653, SteloxErrorOk, 0, 653},
      {"0.12", 1, 653, SteloxErrorInvalidSetting, 0, 32},
      {"0.12", 2147483600, 100, SteloxErrorInvalidSetting, 0, 32},
      {"0.3", 4000, 900, SteloxErrorInvalidSetting, 0, 32},
      {"0.3", 784, 4078, SteloxErrorOk, 784, 4862},
      {"0.3", 785, 4078, SteloxErrorInvalidSetting, 0, 32},
      {"0.3", 2147483600, 100, SteloxErrorInvalidSetting, 0, 32},
  };
  for (const DisparityCase& test : cases) {
    SCOPED_TRACE(std::string(test.baseline) + " " + std::to_string(test.minimum) + " " +
                 std::to_string(test.count));
    ContextHandle context(configuration("", test.baseline));
    ASSERT_NE(context.get(), nullptr);
    EXPECT_EQ(steloxSetDisparity(context, test.minimum, test.count), test.expected);
    int minimum = -1, maximum = -1;
    steloxGetDisparity(context, &minimum, &maximum);
    EXPECT_EQ(minimum, test.storedMinimum);
    EXPECT_EQ(maximum, test.storedMaximum);
  }
}

TEST(ParameterApi, NarrowConfigurationNeedsAResolutionForANewRange)
{
  ContextHandle context(context_fixtures::replaceLine(configuration(), "Resolution", ""));
  EXPECT_EQ(steloxSetDisparity(context, 0, 16), SteloxErrorInvalidSetting);
  ASSERT_EQ(steloxSetResolution(context, 640, 640), SteloxErrorOk);  // rectified 640 x 880 wide
  ASSERT_EQ(steloxSetResolution(context, 480, 640), SteloxErrorOk);  // 480 x 660
  EXPECT_EQ(steloxSetDisparity(context, 0, 653), SteloxErrorOk);
  EXPECT_EQ(steloxSetDisparity(context, 0, 654), SteloxErrorInvalidSetting);
}

// Every context function: a null context gives 34 before anything else is
// looked at (all other arguments here are invalid too).
TEST(ParameterApi, NullContextComesFirst)
{
  const std::function<SteloxError()> calls[] = {
      [] { return steloxSetEdgeCorrelation(nullptr, 1); },
      [] { return steloxGetEdgeCorrelation(nullptr, nullptr); },
      [] { return steloxSetEdgeMask(nullptr, 4); },
      [] { return steloxGetEdgeMask(nullptr, nullptr); },
      [] { return steloxSetDoStereo(nullptr, 1); },
      [] { return steloxGetDoStereo(nullptr, nullptr); },
      [] { return steloxSetDisparity(nullptr, -1, 0); },
      [] { return steloxGetDisparity(nullptr, nullptr, nullptr); },
      [] { return steloxSetStereoMask(nullptr, 0); },
      [] { return steloxSetAnyStereoMask(nullptr, 0); },
      [] { return steloxGetStereoMask(nullptr, nullptr); },
      [] { return steloxSetRectify(nullptr, 1); },
      [] { return steloxGetRectify(nullptr, nullptr); },
      [] { return steloxSetTextureValidation(nullptr, 1); },
      [] { return steloxGetTextureValidation(nullptr, nullptr); },
      [] { return steloxSetTextureValidationThreshold(nullptr, -1.0f); },
      [] { return steloxGetTextureValidationThreshold(nullptr, nullptr); },
      [] { return steloxSetTextureValidationMapping(nullptr, 1); },
      [] { return steloxGetTextureValidationMapping(nullptr, nullptr); },
      [] { return steloxSetBackForthValidation(nullptr, 1); },
      [] { return steloxGetBackForthValidation(nullptr, nullptr); },
      [] { return steloxSetBackForthValidationMapping(nullptr, 1); },
      [] { return steloxGetBackForthValidationMapping(nullptr, nullptr); },
      [] { return steloxSetSubpixelValidationMapping(nullptr, 1); },
      [] { return steloxGetSubpixelValidationMapping(nullptr, nullptr); },
      [] { return steloxSetSurfaceValidation(nullptr, 1); },
      [] { return steloxGetSurfaceValidation(nullptr, nullptr); },
      [] { return steloxSetSurfaceValidationSize(nullptr, -1); },
      [] { return steloxGetSurfaceValidationSize(nullptr, nullptr); },
      [] { return steloxSetSurfaceValidationDifference(nullptr, -1.0f); },
      [] { return steloxGetSurfaceValidationDifference(nullptr, nullptr); },
      [] { return steloxSetSurfaceValidationMapping(nullptr, 1); },
      [] { return steloxGetSurfaceValidationMapping(nullptr, nullptr); },
      [] { return steloxGetBaseline(nullptr, nullptr); },
      [] { return steloxGetFocalLength(nullptr, nullptr); },
      [] { return steloxGetCalAspectRatio(nullptr, nullptr); },
      [] { return steloxGetSerialNumber(nullptr, nullptr); },
      [] { return steloxCopyContext(nullptr, nullptr); },
      [] { return steloxDestroyContext(nullptr); },
      [] { return steloxSetCameraConfiguration(nullptr, static_cast<SteloxCameraConfiguration>(7)); },
      [] { return steloxGetCameraConfiguration(nullptr, nullptr); },
      [] { return steloxGetDeviceConfiguration(nullptr, nullptr); },
      [] { return steloxWriteCurrentContextToFile(nullptr, nullptr); },
      [] { return steloxWriteDefaultContextToFile(nullptr, nullptr); },
      [] { return steloxSetResolution(nullptr, 0, 0); },
      [] { return steloxGetResolution(nullptr, nullptr, nullptr); },
      [] { return steloxSetSourceResolution(nullptr, 0, 0); },
      [] { return steloxGetSourceResolution(nullptr, nullptr, nullptr); },
      [] { return steloxSetRoi(nullptr, SteloxROI{-1, -1, 0, 0}); },
      [] { return steloxGetRoi(nullptr, nullptr); },
      [] { return steloxSetRoiOn(nullptr, 1); },
      [] { return steloxGetRoiOn(nullptr, nullptr); },
      [] { return steloxGetOptimalNumRows(nullptr, 0, nullptr); },
      [] { return steloxGetOptimalNumColumns(nullptr, 0, nullptr); },
      [] { return steloxPrepareRectificationData(nullptr, 0, 0, 0, 0); },
      [] { return steloxRectify(nullptr, nullptr); },
      [] { return steloxColorRectify(nullptr, nullptr); },
      [] { return steloxRectifyColorImage(nullptr, static_cast<SteloxCamera>(9), nullptr, nullptr); },
      [] { return steloxStereo(nullptr); },
      [] { return steloxGetImage(nullptr, static_cast<SteloxImageType>(9), static_cast<SteloxCamera>(9), nullptr); },
      [] {
        return steloxGetImage16(nullptr, static_cast<SteloxImage16Type>(9), static_cast<SteloxCamera>(9), nullptr);
      },
      [] {
        return steloxGetColorImage(nullptr, static_cast<SteloxColorImageType>(9), static_cast<SteloxCamera>(9),
                                   nullptr);
      },
      [] {
        return steloxSetImageBuffer(nullptr, nullptr, static_cast<SteloxImageType>(9), static_cast<SteloxCamera>(9));
      },
      [] { return steloxUnsetImageBuffer(nullptr, static_cast<SteloxImageType>(9), static_cast<SteloxCamera>(9)); },
      [] {
        return steloxSetImage16Buffer(nullptr, nullptr, static_cast<SteloxImage16Type>(9),
                                      static_cast<SteloxCamera>(9));
      },
      [] {
        return steloxUnsetImage16Buffer(nullptr, static_cast<SteloxImage16Type>(9), static_cast<SteloxCamera>(9));
      },
      [] { return steloxSetColorImageBuffer(nullptr, nullptr, static_cast<SteloxCamera>(9)); },
      [] { return steloxUnsetColorImageBuffer(nullptr, static_cast<SteloxCamera>(9)); },
      [] { return steloxRectifyPixel(nullptr, static_cast<SteloxCamera>(9), 0, 0, nullptr, nullptr); },
      [] { return steloxUnrectifyPixel(nullptr, static_cast<SteloxCamera>(9), 0, 0, nullptr, nullptr); },
  };
  for (std::size_t i = 0; i < std::size(calls); ++i)
    EXPECT_EQ(calls[i](), SteloxErrorInvalidContext) << "call " << i;
}

// Null outputs are refused instead of written through.
TEST(ParameterApi, NullOutputsAreRefused)
{
  ContextHandle context(configuration());
  EXPECT_EQ(steloxGetEdgeMask(context, nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxGetDisparity(context, nullptr, nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxGetBaseline(context, nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxGetResolution(context, nullptr, nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxGetImage(context, SteloxImageTypeRaw, SteloxCameraRight, nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxCopyContext(context, nullptr), SteloxErrorNullBuffer);
}

}  // namespace
