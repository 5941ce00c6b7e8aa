// The OpenCV matchers of a context: initial settings, every setter's accepted
// and refused values with the exact warning text, the pre-filter and mode
// numbering, copies, and matching on a synthetic rig with ground truth.
#include "SyntheticPipeline.h"
#include "context/ContextFixtures.h"
#include "context/MultiSteloxMgr.h"
#include "match/StereoProcessMgr.h"

#include <gtest/gtest.h>
#include <opencv2/calib3d.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

using context_fixtures::ContextHandle;
using context_fixtures::configuration;

namespace {

SteloxMgr& activeMgr(SteloxContext context)
{
  return *static_cast<MultiSteloxMgr*>(context)->getActiveCameraConfigMgr().lock();
}

// The matcher the context hands to the engine for an algorithm.
std::shared_ptr<cv::StereoMatcher> matcherOf(SteloxContext context, SteloxStereoAlgorithm algorithm)
{
  SteloxMgr& mgr = activeMgr(context);
  const SteloxStereoAlgorithm previous = mgr.getStereoAlgorithm();
  mgr.setStereoAlgorithm(algorithm);
  Stelox::StereoParameters record;
  mgr.selectOpenCVMatcher(record);
  mgr.setStereoAlgorithm(previous);
  return record.matcher;
}

using IntGetter = SteloxError (*)(SteloxContext, int*);
using PairGetter = SteloxError (*)(SteloxContext, int*, int*);

std::vector<int> read(SteloxContext context, IntGetter getter)
{
  int value = INT_MIN;
  EXPECT_EQ(getter(context, &value), SteloxErrorOk);
  return {value};
}

std::vector<int> read(SteloxContext context, PairGetter getter)
{
  int first = INT_MIN, second = INT_MIN;
  EXPECT_EQ(getter(context, &first, &second), SteloxErrorOk);
  return {first, second};
}

TEST(OpenCvMatcher, NewContextHasTheInitialSettings)
{
  ContextHandle context(configuration());
  ASSERT_NE(context.get(), nullptr);
  const std::pair<IntGetter, int> expected[] = {
      {steloxGetOpenCVStereoMaskSize, 7},     {steloxGetOpenCVMinDisparity, 1},
      {steloxGetOpenCVNumDisparities, 32},    {steloxGetOpenCVMaxDisparity, 33},
      {steloxGetOpenCVSpeckleWindowSize, 200}, {steloxGetOpenCVSpeckleRange, 1},
      {steloxGetOpenCVDisp12MaxDiff, 1},      {steloxGetOpenCVBMPreFilterType, 0},
      {steloxGetOpenCVBMPreFilterSize, 7},    {steloxGetOpenCVPreFilterCap, 31},
      {steloxGetOpenCVBMTextureThreshold, 8}, {steloxGetOpenCVUniquenessRatio, 10},
      {steloxGetOpenCVSGBMP1, 392},           {steloxGetOpenCVSGBMP2, 1568},
      {steloxGetOpenCVSGBMMode, 0}};
  for (const auto& [getter, value] : expected)
    EXPECT_EQ(read(context, getter), std::vector<int>{value});
  EXPECT_EQ(read(context, steloxGetOpenCVMinMaxDisparities), (std::vector<int>{1, 33}));
  EXPECT_EQ(read(context, steloxGetOpenCVDisparityRange), (std::vector<int>{1, 32}));

  const auto semiGlobal = std::dynamic_pointer_cast<cv::StereoSGBM>(matcherOf(context, SteloxStereoAlgorithmSemiGlobal));
  ASSERT_TRUE(semiGlobal);
  EXPECT_EQ(semiGlobal->getBlockSize(), 7);
  EXPECT_EQ(semiGlobal->getMinDisparity(), 1);
  EXPECT_EQ(semiGlobal->getNumDisparities(), 32);
  EXPECT_EQ(semiGlobal->getPreFilterCap(), 31);
  EXPECT_EQ(semiGlobal->getUniquenessRatio(), 10);
  EXPECT_EQ(semiGlobal->getSpeckleWindowSize(), 200);
  EXPECT_EQ(semiGlobal->getSpeckleRange(), 1);
  EXPECT_EQ(semiGlobal->getDisp12MaxDiff(), 1);
  EXPECT_TRUE(std::dynamic_pointer_cast<cv::StereoBM>(matcherOf(context, SteloxStereoAlgorithmBlockMatchingMirrored)));
  EXPECT_EQ(matcherOf(context, SteloxStereoAlgorithmBlockMatching),
            matcherOf(context, SteloxStereoAlgorithmBlockMatchingMirrored));
  EXPECT_EQ(matcherOf(context, SteloxStereoAlgorithmSemiGlobal),
            matcherOf(context, SteloxStereoAlgorithmSemiGlobalMirrored));
}

struct SetterCase {
  const char* label;
  std::function<SteloxError(SteloxContext)> set;
  SteloxError code;
  std::string warning;  // the whole standard error output of the call
  std::function<std::vector<int>(SteloxContext)> get;
  std::vector<int> after;
};

template <typename Getter>
std::function<std::vector<int>(SteloxContext)> reader(Getter getter)
{
  return [getter](SteloxContext context) { return read(context, getter); };
}

const std::string kMask = "OpenCV masks should be odd values in the range 5..255 and smaller than the picture!\n";
const std::string kPositive16 =
    "[Stelox - Warning] OpenCV accepts only disparity ranges that are positive multiples of 16!\n";
const std::string kMultiple16 = "[Stelox - Warning] OpenCV accepts only disparity ranges that are multiple of 16!\n";

// Every case starts from a new context with a 120 x 160 output.
TEST(OpenCvMatcher, SettersAcceptAndRefuseWithTheirWarnings)
{
  const auto mask = reader(steloxGetOpenCVStereoMaskSize);
  const auto preFilterSize = reader(steloxGetOpenCVBMPreFilterSize);
  const auto count = reader(steloxGetOpenCVNumDisparities);
  const auto range = reader(steloxGetOpenCVDisparityRange);
  const auto preFilterType = reader(steloxGetOpenCVBMPreFilterType);
  const auto cap = reader(steloxGetOpenCVPreFilterCap);
  const auto mode = reader(steloxGetOpenCVSGBMMode);
  const auto p1p2 = [](SteloxContext context) {
    return std::vector<int>{read(context, steloxGetOpenCVSGBMP1)[0], read(context, steloxGetOpenCVSGBMP2)[0]};
  };
  const SetterCase cases[] = {
      {"mask 5", [](SteloxContext c) { return steloxSetOpenCVStereoMaskSize(c, 5); }, SteloxErrorOk, "", mask, {5}},
      {"mask 119", [](SteloxContext c) { return steloxSetOpenCVStereoMaskSize(c, 119); }, SteloxErrorOk, "", mask,
       {119}},
      {"mask 4", [](SteloxContext c) { return steloxSetOpenCVStereoMaskSize(c, 4); }, SteloxErrorInvalidSetting,
       kMask, mask, {7}},
      {"mask 3", [](SteloxContext c) { return steloxSetOpenCVStereoMaskSize(c, 3); }, SteloxErrorInvalidSetting,
       kMask, mask, {7}},
      {"mask 257", [](SteloxContext c) { return steloxSetOpenCVStereoMaskSize(c, 257); }, SteloxErrorInvalidSetting,
       kMask, mask, {7}},
      {"mask 121, not below the output rows", [](SteloxContext c) { return steloxSetOpenCVStereoMaskSize(c, 121); },
       SteloxErrorInvalidSetting, kMask, mask, {7}},
      {"mask -7", [](SteloxContext c) { return steloxSetOpenCVStereoMaskSize(c, -7); }, SteloxErrorInvalidSetting,
       kMask, mask, {7}},
      {"pre-filter size 9", [](SteloxContext c) { return steloxSetOpenCVBMPreFilterSize(c, 9); }, SteloxErrorOk, "",
       preFilterSize, {9}},
      {"pre-filter size 8", [](SteloxContext c) { return steloxSetOpenCVBMPreFilterSize(c, 8); },
       SteloxErrorInvalidSetting, kMask, preFilterSize, {7}},
      {"pre-filter size 121", [](SteloxContext c) { return steloxSetOpenCVBMPreFilterSize(c, 121); },
       SteloxErrorInvalidSetting, kMask, preFilterSize, {7}},
      {"minimum -5", [](SteloxContext c) { return steloxSetOpenCVMinDisparity(c, -5); }, SteloxErrorOk, "", range,
       {-5, 32}},
      {"minimum at the top of the int range", [](SteloxContext c) { return steloxSetOpenCVMinDisparity(c, INT_MAX); },
       SteloxErrorOk, "", reader(steloxGetOpenCVMaxDisparity), {INT_MAX}},
      {"count 48", [](SteloxContext c) { return steloxSetOpenCVNumDisparities(c, 48); }, SteloxErrorOk, "", count,
       {48}},
      {"count 40", [](SteloxContext c) { return steloxSetOpenCVNumDisparities(c, 40); }, SteloxErrorInvalidSetting,
       kPositive16, count, {32}},
      {"count 0", [](SteloxContext c) { return steloxSetOpenCVNumDisparities(c, 0); }, SteloxErrorInvalidSetting,
       kPositive16, count, {32}},
      {"count -16", [](SteloxContext c) { return steloxSetOpenCVNumDisparities(c, -16); }, SteloxErrorInvalidSetting,
       kPositive16, count, {32}},
      {"maximum 65", [](SteloxContext c) { return steloxSetOpenCVMaxDisparity(c, 65); }, SteloxErrorOk, "", range,
       {1, 64}},
      {"maximum 1", [](SteloxContext c) { return steloxSetOpenCVMaxDisparity(c, 1); }, SteloxErrorInvalidRequest,
       "[Stelox - Warning] Provided a max dispatiy smaller than the current minimum!\n", range, {1, 32}},
      {"maximum -40", [](SteloxContext c) { return steloxSetOpenCVMaxDisparity(c, -40); }, SteloxErrorInvalidRequest,
       "[Stelox - Warning] Provided a max dispatiy smaller than the current minimum!\n", range, {1, 32}},
      {"maximum 30", [](SteloxContext c) { return steloxSetOpenCVMaxDisparity(c, 30); }, SteloxErrorInvalidSetting,
       kMultiple16 + "\tCurrent minimum: 1; Provided Maximum disparity: 30; Disparity Range: 29\n", range, {1, 32}},
      {"maximum at the top of the int range", [](SteloxContext c) { return steloxSetOpenCVMaxDisparity(c, INT_MAX); },
       SteloxErrorInvalidSetting,
       kMultiple16 + "\tCurrent minimum: 1; Provided Maximum disparity: 2147483647; Disparity Range: 2147483646\n",
       range, {1, 32}},
      {"min 0 max 48", [](SteloxContext c) { return steloxSetOpenCVMinMaxDisparities(c, 0, 48); }, SteloxErrorOk, "",
       reader(steloxGetOpenCVMinMaxDisparities), {0, 48}},
      {"min 10 max 20", [](SteloxContext c) { return steloxSetOpenCVMinMaxDisparities(c, 10, 20); },
       SteloxErrorInvalidSetting, kMultiple16 + "\tDisparity Range: 10\n", range, {1, 32}},
      {"min 20 max 20", [](SteloxContext c) { return steloxSetOpenCVMinMaxDisparities(c, 20, 20); },
       SteloxErrorInvalidRequest, "[Stelox - Warning] Provided a max dispatiy smaller than min disparity!\n", range,
       {1, 32}},
      {"min 30 max 10", [](SteloxContext c) { return steloxSetOpenCVMinMaxDisparities(c, 30, 10); },
       SteloxErrorInvalidRequest, "[Stelox - Warning] Provided a max dispatiy smaller than min disparity!\n", range,
       {1, 32}},
      {"range 5, 64", [](SteloxContext c) { return steloxSetOpenCVDisparityRange(c, 5, 64); }, SteloxErrorOk, "",
       range, {5, 64}},
      {"range 5, 40 leaves the minimum", [](SteloxContext c) { return steloxSetOpenCVDisparityRange(c, 5, 40); },
       SteloxErrorInvalidSetting, kPositive16, range, {1, 32}},
      {"speckle window -3", [](SteloxContext c) { return steloxSetOpenCVSpeckleWindowSize(c, -3); }, SteloxErrorOk,
       "", reader(steloxGetOpenCVSpeckleWindowSize), {-3}},
      {"speckle range 7", [](SteloxContext c) { return steloxSetOpenCVSpeckleRange(c, 7); }, SteloxErrorOk, "",
       reader(steloxGetOpenCVSpeckleRange), {7}},
      {"disp12 -1", [](SteloxContext c) { return steloxSetOpenCVDisp12MaxDiff(c, -1); }, SteloxErrorOk, "",
       reader(steloxGetOpenCVDisp12MaxDiff), {-1}},
      {"pre-filter type 1", [](SteloxContext c) { return steloxSetOpenCVBMPreFilterType(c, 1); }, SteloxErrorOk, "",
       preFilterType, {1}},
      {"pre-filter type -1 is ignored",
       [](SteloxContext c) {
         steloxSetOpenCVBMPreFilterType(c, 1);
         return steloxSetOpenCVBMPreFilterType(c, -1);
       },
       SteloxErrorOk, "", preFilterType, {1}},
      {"pre-filter type 2", [](SteloxContext c) { return steloxSetOpenCVBMPreFilterType(c, 2); },
       SteloxErrorInvalidRequest,
       "[Stelox - Warning] OCV only accepts either XSOBEL or NORMALIZED_RESPONSE prefilters!\n", preFilterType, {0}},
      {"cap 1", [](SteloxContext c) { return steloxSetOpenCVPreFilterCap(c, 1); }, SteloxErrorOk, "", cap, {1}},
      {"cap 63", [](SteloxContext c) { return steloxSetOpenCVPreFilterCap(c, 63); }, SteloxErrorOk, "", cap, {63}},
      {"cap 0", [](SteloxContext c) { return steloxSetOpenCVPreFilterCap(c, 0); }, SteloxErrorInvalidSetting,
       "[Stelox - Warning] Prefiltercap must be in the range 1..63!\n", cap, {31}},
      {"cap 64", [](SteloxContext c) { return steloxSetOpenCVPreFilterCap(c, 64); }, SteloxErrorInvalidSetting,
       "[Stelox - Warning] Prefiltercap must be in the range 1..63!\n", cap, {31}},
      {"texture 0", [](SteloxContext c) { return steloxSetOpenCVBMTextureThreshold(c, 0); }, SteloxErrorOk, "",
       reader(steloxGetOpenCVBMTextureThreshold), {0}},
      {"texture -1", [](SteloxContext c) { return steloxSetOpenCVBMTextureThreshold(c, -1); },
       SteloxErrorInvalidSetting, "[Stelox - Warning] Texture must be a non-negative value!\n",
       reader(steloxGetOpenCVBMTextureThreshold), {8}},
      {"uniqueness 0", [](SteloxContext c) { return steloxSetOpenCVUniquenessRatio(c, 0); }, SteloxErrorOk, "",
       reader(steloxGetOpenCVUniquenessRatio), {0}},
      {"uniqueness -1", [](SteloxContext c) { return steloxSetOpenCVUniquenessRatio(c, -1); },
       SteloxErrorInvalidSetting, "[Stelox - Warning] Uniqueness ration must be a povitive integer!\n",
       reader(steloxGetOpenCVUniquenessRatio), {10}},
      {"P1 100", [](SteloxContext c) { return steloxSetOpenCVSGBMP1(c, 100); }, SteloxErrorOk, "", p1p2,
       {100, 1568}},
      {"P1 = P2", [](SteloxContext c) { return steloxSetOpenCVSGBMP1(c, 1568); }, SteloxErrorOk,
       "[Stelox - Warning] Setting a P1 greater or equal than P2 will result in P2 equal to P1+1 during stereo "
       "computation.\n",
       p1p2, {1568, 1568}},
      {"P2 2000", [](SteloxContext c) { return steloxSetOpenCVSGBMP2(c, 2000); }, SteloxErrorOk, "", p1p2,
       {392, 2000}},
      {"P2 below P1", [](SteloxContext c) { return steloxSetOpenCVSGBMP2(c, 391); }, SteloxErrorOk,
       "[Stelox - Warning] Setting a P2 smaller or equal than P1 will result in P2 equal to P1+1 during stereo "
       "computation.\n",
       p1p2, {392, 391}},
      {"mode 1", [](SteloxContext c) { return steloxSetOpenCVSGBMMode(c, 1); }, SteloxErrorOk, "", mode, {1}},
      {"mode 2", [](SteloxContext c) { return steloxSetOpenCVSGBMMode(c, 2); }, SteloxErrorOk, "", mode, {2}},
      {"mode -1 is ignored",
       [](SteloxContext c) {
         steloxSetOpenCVSGBMMode(c, 2);
         return steloxSetOpenCVSGBMMode(c, -1);
       },
       SteloxErrorOk, "", mode, {2}},
      {"mode 3", [](SteloxContext c) { return steloxSetOpenCVSGBMMode(c, 3); }, SteloxErrorInvalidRequest,
       "[Stelox - Warning] OCV only accepts Standard SGBM, Double-pass SGBM (i.e. HH) and Three-way SGBM modes!\n",
       mode, {0}},
  };
  for (const SetterCase& test : cases) {
    SCOPED_TRACE(test.label);
    ContextHandle context(configuration());
    ASSERT_EQ(steloxSetResolution(context, 120, 160), SteloxErrorOk);
    testing::internal::CaptureStderr();
    const SteloxError code = test.set(context);
    const std::string warning = testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, test.code);
    EXPECT_EQ(warning, test.warning);
    EXPECT_EQ(test.get(context), test.after);
  }
}

// A fresh context has no output size, so no mask fits it yet.
TEST(OpenCvMatcher, MasksNeedAnOutputSize)
{
  ContextHandle context(context_fixtures::replaceLine(configuration(), "Resolution", ""));
  ASSERT_NE(context.get(), nullptr);
  testing::internal::CaptureStderr();
  EXPECT_EQ(steloxSetOpenCVStereoMaskSize(context, 9), SteloxErrorInvalidSetting);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kMask);
}

// Settings of both matchers reach the semi-global one too; those of the block
// matcher alone leave it.
TEST(OpenCvMatcher, SharedSettingsReachBothMatchers)
{
  ContextHandle context(configuration());
  ASSERT_EQ(steloxSetOpenCVStereoMaskSize(context, 11), SteloxErrorOk);
  ASSERT_EQ(steloxSetOpenCVDisparityRange(context, 3, 48), SteloxErrorOk);
  ASSERT_EQ(steloxSetOpenCVSpeckleWindowSize(context, 50), SteloxErrorOk);
  ASSERT_EQ(steloxSetOpenCVSpeckleRange(context, 4), SteloxErrorOk);
  ASSERT_EQ(steloxSetOpenCVDisp12MaxDiff(context, 2), SteloxErrorOk);
  ASSERT_EQ(steloxSetOpenCVPreFilterCap(context, 40), SteloxErrorOk);
  ASSERT_EQ(steloxSetOpenCVUniquenessRatio(context, 15), SteloxErrorOk);
  ASSERT_EQ(steloxSetOpenCVBMPreFilterSize(context, 13), SteloxErrorOk);
  const std::shared_ptr<cv::StereoMatcher> matchers[] = {matcherOf(context, SteloxStereoAlgorithmBlockMatching),
                                                         matcherOf(context, SteloxStereoAlgorithmSemiGlobal)};
  for (const auto& matcher : matchers) {
    EXPECT_EQ(matcher->getBlockSize(), 11);
    EXPECT_EQ(matcher->getMinDisparity(), 3);
    EXPECT_EQ(matcher->getNumDisparities(), 48);
    EXPECT_EQ(matcher->getSpeckleWindowSize(), 50);
    EXPECT_EQ(matcher->getSpeckleRange(), 4);
    EXPECT_EQ(matcher->getDisp12MaxDiff(), 2);
  }
  const auto blockMatcher = std::dynamic_pointer_cast<cv::StereoBM>(matchers[0]);
  const auto semiGlobal = std::dynamic_pointer_cast<cv::StereoSGBM>(matchers[1]);
  EXPECT_EQ(blockMatcher->getPreFilterCap(), 40);
  EXPECT_EQ(semiGlobal->getPreFilterCap(), 40);
  EXPECT_EQ(blockMatcher->getUniquenessRatio(), 15);
  EXPECT_EQ(semiGlobal->getUniquenessRatio(), 15);
  EXPECT_EQ(blockMatcher->getPreFilterSize(), 13);
}

// The interface numbers the pre-filters the other way round from OpenCV; the
// modes are OpenCV's. Values the interface does not know read as 2 and 3.
TEST(OpenCvMatcher, PreFilterTypeAndModeNumbering)
{
  ContextHandle context(configuration());
  const auto blockMatcher = std::dynamic_pointer_cast<cv::StereoBM>(matcherOf(context, SteloxStereoAlgorithmBlockMatching));
  const auto semiGlobal = std::dynamic_pointer_cast<cv::StereoSGBM>(matcherOf(context, SteloxStereoAlgorithmSemiGlobal));
  const std::pair<int, int> preFilters[] = {{0, cv::StereoBM::PREFILTER_XSOBEL},
                                            {1, cv::StereoBM::PREFILTER_NORMALIZED_RESPONSE}};
  for (const auto& [type, openCv] : preFilters) {
    ASSERT_EQ(steloxSetOpenCVBMPreFilterType(context, type), SteloxErrorOk);
    EXPECT_EQ(blockMatcher->getPreFilterType(), openCv);
    EXPECT_EQ(read(context, steloxGetOpenCVBMPreFilterType), std::vector<int>{type});
  }
  const std::pair<int, int> modes[] = {{0, cv::StereoSGBM::MODE_SGBM},
                                       {1, cv::StereoSGBM::MODE_HH},
                                       {2, cv::StereoSGBM::MODE_SGBM_3WAY}};
  for (const auto& [mode, openCv] : modes) {
    ASSERT_EQ(steloxSetOpenCVSGBMMode(context, mode), SteloxErrorOk);
    EXPECT_EQ(semiGlobal->getMode(), openCv);
    EXPECT_EQ(read(context, steloxGetOpenCVSGBMMode), std::vector<int>{mode});
  }

  blockMatcher->setPreFilterType(2);
  semiGlobal->setMode(cv::StereoSGBM::MODE_HH4);
  testing::internal::CaptureStderr();
  EXPECT_EQ(read(context, steloxGetOpenCVBMPreFilterType), std::vector<int>{2});
  EXPECT_EQ(read(context, steloxGetOpenCVSGBMMode), std::vector<int>{3});
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[Stelox - Warning] OpenCV might have implemented a new version of the library, returning a new "
            "prefilter!\n"
            "[Stelox - Warning] OCV might have implemented a yet-non-supported mode.\n");
}

TEST(OpenCvMatcher, NullContextAndNullOutputs)
{
  EXPECT_EQ(steloxSetStereoAlgorithm(nullptr, SteloxStereoAlgorithmBlockMatching), SteloxErrorInvalidContext);
  EXPECT_EQ(steloxSetOpenCVStereoMaskSize(nullptr, 9), SteloxErrorInvalidContext);
  EXPECT_EQ(steloxSetOpenCVMinMaxDisparities(nullptr, 0, 16), SteloxErrorInvalidContext);
  int value = 0;
  EXPECT_EQ(steloxGetOpenCVSGBMMode(nullptr, &value), SteloxErrorInvalidContext);
  EXPECT_EQ(steloxGetOpenCVDisparityRange(nullptr, &value, &value), SteloxErrorInvalidContext);

  ContextHandle context(configuration());
  SteloxStereoAlgorithm algorithm;
  EXPECT_EQ(steloxGetStereoAlgorithm(context, nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxGetOpenCVStereoMaskSize(context, nullptr), SteloxErrorNullBuffer);
  value = -1;
  EXPECT_EQ(steloxGetOpenCVMinMaxDisparities(context, &value, nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxGetOpenCVDisparityRange(context, nullptr, &value), SteloxErrorNullBuffer);
  EXPECT_EQ(value, -1);
  EXPECT_EQ(steloxGetStereoAlgorithm(context, &algorithm), SteloxErrorOk);
  EXPECT_EQ(algorithm, SteloxStereoAlgorithmCorrelation);
}

// A copy starts with the original's settings and changes them on its own.
TEST(OpenCvMatcher, CopiesHaveMatchersOfTheirOwn)
{
  ContextHandle original(configuration());
  ASSERT_EQ(steloxSetOpenCVStereoMaskSize(original, 15), SteloxErrorOk);
  ASSERT_EQ(steloxSetOpenCVDisparityRange(original, 4, 64), SteloxErrorOk);
  ASSERT_EQ(steloxSetOpenCVBMPreFilterType(original, 1), SteloxErrorOk);
  ASSERT_EQ(steloxSetOpenCVSGBMMode(original, 2), SteloxErrorOk);
  ASSERT_EQ(steloxSetOpenCVSGBMP2(original, 5000), SteloxErrorOk);
  ASSERT_EQ(steloxSetStereoAlgorithm(original, SteloxStereoAlgorithmSemiGlobal), SteloxErrorOk);
  ContextHandle copy;
  ASSERT_EQ(steloxCopyContext(original, copy.out()), SteloxErrorOk);

  const std::pair<IntGetter, int> copied[] = {
      {steloxGetOpenCVStereoMaskSize, 15}, {steloxGetOpenCVMinDisparity, 4}, {steloxGetOpenCVNumDisparities, 64},
      {steloxGetOpenCVBMPreFilterType, 1}, {steloxGetOpenCVSGBMMode, 2},     {steloxGetOpenCVSGBMP1, 392},
      {steloxGetOpenCVSGBMP2, 5000},       {steloxGetOpenCVPreFilterCap, 31}, {steloxGetOpenCVSpeckleWindowSize, 200}};
  for (const auto& [getter, value] : copied)
    EXPECT_EQ(read(copy, getter), std::vector<int>{value});
  SteloxStereoAlgorithm algorithm;
  ASSERT_EQ(steloxGetStereoAlgorithm(copy, &algorithm), SteloxErrorOk);
  EXPECT_EQ(algorithm, SteloxStereoAlgorithmSemiGlobal);
  EXPECT_NE(matcherOf(copy, SteloxStereoAlgorithmSemiGlobal), matcherOf(original, SteloxStereoAlgorithmSemiGlobal));

  ASSERT_EQ(steloxSetOpenCVStereoMaskSize(copy, 9), SteloxErrorOk);
  ASSERT_EQ(steloxSetOpenCVSGBMP1(copy, 10), SteloxErrorOk);
  EXPECT_EQ(read(original, steloxGetOpenCVStereoMaskSize), std::vector<int>{15});
  EXPECT_EQ(read(original, steloxGetOpenCVSGBMP1), std::vector<int>{392});
}

// ---- Matching -------------------------------------------------------------

// A synthetic rig of 240 x 320 pixels, its calibration and one rendered frame.
class OpenCvRig : public testing::Test {
protected:
  static void SetUpTestSuite()
  {
    SteloxRun::RigCase rigCase;
    rigCase.rows = 240;
    rigCase.cols = 320;
    s_rig = new Rig{SteloxRun::makeRig(rigCase), {}, {}};
    SteloxRig::CalibrationWriter writer;
    writer.addConfiguration(s_rig->model);
    s_rig->calibration = writer.text();
    const SteloxRig::SyntheticScene scene = SteloxRig::SyntheticScene::forRig(s_rig->model, 11, 24.0);
    s_rig->rendering = SteloxRig::StereoRenderer(s_rig->model, scene).render();
  }
  static void TearDownTestSuite()
  {
    delete s_rig;
    s_rig = nullptr;
  }

  static SteloxMonoStereoPair pair()
  {
    const auto record = [](const Image<unsigned char>& image) {
      return SteloxImage{image.nRows(), image.nCols(), rowInc(image), image.bufferptr()};
    };
    return {record(s_rig->rendering.rawGrey[0]), record(s_rig->rendering.rawGrey[1])};
  }

  // Rectifies the rig's pair and matches it with the algorithm; the output
  // disparities, packed.
  static std::vector<unsigned short> match(SteloxContext context, SteloxStereoAlgorithm algorithm)
  {
    SteloxMonoStereoPair monoPair = pair();
    EXPECT_EQ(steloxSetStereoAlgorithm(context, algorithm), SteloxErrorOk);
    EXPECT_EQ(steloxRectify(context, &monoPair), SteloxErrorOk);
    EXPECT_EQ(steloxStereo(context), SteloxErrorOk);
    return disparities(context);
  }

  static std::vector<unsigned short> disparities(SteloxContext context)
  {
    SteloxImage16 image;
    EXPECT_EQ(steloxGetImage16(context, SteloxImage16TypeDisparity, SteloxCameraReference, &image), SteloxErrorOk);
    std::vector<unsigned short> packed;
    for (int r = 0; r < image.rows; ++r)
      packed.insert(packed.end(), image.data + r * (image.rowIncrement / 2),
                    image.data + r * (image.rowIncrement / 2) + image.cols);
    return packed;
  }

  struct Agreement {
    long scored = 0;
    long valid = 0;
    long close = 0;  // valid and within one pixel of the truth
    double accuracy() const { return valid ? static_cast<double>(close) / valid : 0.0; }
  };

  // Compares a map with the ground truth of the right view, read at the
  // right image's pixel or at the pixel of the left image that shows the
  // same point. Scored are textured pixels seen by both lenses, away from
  // depth edges and from the image border, where the truth read the other
  // way than the map's expected alignment differs by two pixels or more:
  // only there do the two ways of reading a map disagree.
  static Agreement agreement(const std::vector<unsigned short>& map, bool expectedLeft, bool readLeft)
  {
    const SteloxRig::StereoRendering& rendering = s_rig->rendering;
    const Image<unsigned short>& truth16 = rendering.disparity;
    const Image<unsigned char> edges = SteloxRig::StereoRenderer::depthEdges(truth16, 4);
    const int rows = truth16.nRows(), cols = truth16.nCols();
    const auto leftColumn = [&](int r, int c) { return static_cast<int>(std::lround(c + truth16[r][c] / 16.0)); };
    // The truth aligned with the left image: the nearest point seen there.
    std::vector<double> leftTruth(static_cast<std::size_t>(rows) * cols, -1.0);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c)
        if (rendering.visible[r][c] == 255 && leftColumn(r, c) < cols) {
          double& value = leftTruth[static_cast<std::size_t>(r) * cols + leftColumn(r, c)];
          value = std::max(value, truth16[r][c] / 16.0);
        }
    Agreement result;
    for (int r = 8; r < rows - 8; ++r)
      for (int c = 8; c < cols - 8; ++c) {
        const double truth = truth16[r][c] / 16.0;
        const int left = leftColumn(r, c);
        if (rendering.visible[r][c] != 255 || edges[r][c] != 0 || truth < 2.0 || left >= cols - 8 ||
            SteloxRun::detail::localDeviation(rendering.rectifiedGrey[0], r, c, 3) < 4.0)
          continue;
        const double otherReading =
            expectedLeft ? leftTruth[static_cast<std::size_t>(r) * cols + c] : truth16[r][left] / 16.0;
        if (std::fabs(otherReading - truth) < 2.0)
          continue;
        ++result.scored;
        const unsigned short value = map[static_cast<std::size_t>(r) * cols + (readLeft ? left : c)];
        if (value == 0)
          continue;
        ++result.valid;
        if (std::fabs(value / 16.0 - truth) <= 1.0)
          ++result.close;
      }
    return result;
  }

  struct Rig {
    SteloxRig::RigModel model;
    std::string calibration;
    SteloxRig::StereoRendering rendering;
  };
  static Rig* s_rig;
};

OpenCvRig::Rig* OpenCvRig::s_rig = nullptr;

// The unmirrored algorithms give maps aligned with the left image, the
// mirrored ones maps aligned with the right image; each agrees with the
// truth only when read the way it is aligned.
TEST_F(OpenCvRig, MapsAreAlignedWithTheirImage)
{
  ContextHandle context(s_rig->calibration);
  ASSERT_NE(context.get(), nullptr);
  const std::pair<SteloxStereoAlgorithm, bool> cases[] = {{SteloxStereoAlgorithmBlockMatchingMirrored, false},
                                                          {SteloxStereoAlgorithmBlockMatching, true},
                                                          {SteloxStereoAlgorithmSemiGlobalMirrored, false},
                                                          {SteloxStereoAlgorithmSemiGlobal, true}};
  for (const auto& [algorithm, alignedWithLeft] : cases) {
    SCOPED_TRACE(algorithm);
    const std::vector<unsigned short> map = match(context, algorithm);
    ASSERT_EQ(map.size(), 240u * 320u);
    const Agreement right = agreement(map, alignedWithLeft, alignedWithLeft);
    const Agreement wrong = agreement(map, alignedWithLeft, !alignedWithLeft);
    std::printf("[ figures  ] algorithm %d: scored %ld, valid %.1f %%, within 1 px %.1f %% (read the other way "
                "%.1f %%)\n",
                algorithm, right.scored, 100.0 * right.valid / right.scored, 100.0 * right.accuracy(),
                100.0 * wrong.accuracy());
    EXPECT_GT(right.scored, 1000);
    EXPECT_GE(right.valid, right.scored / 2);
    EXPECT_GE(right.accuracy(), 0.9);
    EXPECT_LT(wrong.accuracy(), 0.5);
  }
}

TEST_F(OpenCvRig, UnknownAlgorithmsAreStoredAndRefusedByStereo)
{
  ContextHandle context(s_rig->calibration);
  SteloxMonoStereoPair monoPair = pair();
  for (const int value : {5, -1}) {
    SCOPED_TRACE(value);
    ASSERT_EQ(steloxSetStereoAlgorithm(context, static_cast<SteloxStereoAlgorithm>(value)), SteloxErrorOk);
    SteloxStereoAlgorithm algorithm;
    ASSERT_EQ(steloxGetStereoAlgorithm(context, &algorithm), SteloxErrorOk);
    EXPECT_EQ(static_cast<int>(algorithm), value);
    ASSERT_EQ(steloxRectify(context, &monoPair), SteloxErrorOk);
    EXPECT_EQ(steloxStereo(context), SteloxErrorUnsupportedStereoAlgorithm);
  }
}

// OpenCV marks invalid pixels with (minimum - 1) x 16; the map holds 0 there
// instead, and every other value is a disparity of the searched range.
TEST_F(OpenCvRig, InvalidPixelsAreZeroForAnyMinimum)
{
  ContextHandle context(s_rig->calibration);
  ASSERT_EQ(steloxSetOpenCVDisparityRange(context, 2, 32), SteloxErrorOk);
  for (const SteloxStereoAlgorithm algorithm : {SteloxStereoAlgorithmBlockMatching, SteloxStereoAlgorithmSemiGlobal}) {
    SCOPED_TRACE(algorithm);
    const std::vector<unsigned short> map = match(context, algorithm);
    long invalid = 0;
    for (const unsigned short value : map) {
      if (value == 0)
        ++invalid;
      else
        ASSERT_TRUE(value >= 2 * 16 && value <= 34 * 16) << value;
    }
    EXPECT_GT(invalid, 0);
    EXPECT_LT(invalid, static_cast<long>(map.size()) / 2);
  }
}

// The disparity image is a view of the engine's result. Runs of the same
// size reuse it; a copy sharing the engine that runs at another size leaves
// the original's last result intact; the built-in matcher can follow at the
// same size.
TEST_F(OpenCvRig, DisparityOutlivesTheEnginesNextResult)
{
  ContextHandle original(s_rig->calibration);
  const std::vector<unsigned short> first = match(original, SteloxStereoAlgorithmBlockMatching);
  EXPECT_EQ(match(original, SteloxStereoAlgorithmBlockMatching), first);

  ContextHandle copy;
  ASSERT_EQ(steloxCopyContext(original, copy.out()), SteloxErrorOk);
  EXPECT_EQ(disparities(copy), first);
  ASSERT_EQ(steloxSetResolution(copy, 120, 160), SteloxErrorOk);
  const std::vector<unsigned short> small = match(copy, SteloxStereoAlgorithmSemiGlobal);
  EXPECT_EQ(small.size(), 120u * 160u);
  EXPECT_EQ(disparities(original), first);
  ASSERT_EQ(steloxDestroyContext(copy), SteloxErrorOk);
  *copy.out() = nullptr;
  EXPECT_EQ(disparities(original), first);

  const std::vector<unsigned short> builtIn = match(original, SteloxStereoAlgorithmCorrelation);
  EXPECT_NE(std::count(builtIn.begin(), builtIn.end(), 0xFF00 + 253), static_cast<long>(builtIn.size()));
  EXPECT_EQ(match(original, SteloxStereoAlgorithmBlockMatching), first);
}

// ---- The engine's OpenCV path ---------------------------------------------

// Copies image into a view of a wider buffer that starts at an odd column.
Image<unsigned char> padded(const Image<unsigned char>& image, Image<unsigned char>& storage)
{
  storage = Image<unsigned char>(image.nRows(), image.nCols() + 37);
  Image<unsigned char> view = storage.region(0, 5, image.nRows(), image.nCols());
  view.init(image);
  return view;
}

// Images whose rows are longer than their width, starting off alignment,
// give the same maps as packed copies of the same pixels.
TEST_F(OpenCvRig, PaddedRowsGiveTheResultOfPackedRows)
{
  const SteloxRig::StereoRendering& rendering = s_rig->rendering;
  Image<unsigned char> packed[2], storage[2], wide[2];
  for (int lens = 0; lens < 2; ++lens) {
    packed[lens] = Image<unsigned char>(rendering.rectifiedGrey[lens].nRows(), rendering.rectifiedGrey[lens].nCols());
    packed[lens].init(rendering.rectifiedGrey[lens]);
    ASSERT_EQ(packed[lens].nRowInc(), packed[lens].nCols());
    wide[lens] = padded(packed[lens], storage[lens]);
    ASSERT_GT(wide[lens].nRowInc(), wide[lens].nCols());
  }
  const SteloxROI region = {0, 0, 240, 320};
  StereoProcessMgr engine;
  Stelox::PreprocessParameters preprocess;
  for (int algorithm = 1; algorithm <= 4; ++algorithm) {
    SCOPED_TRACE(algorithm);
    Stelox::StereoParameters stereo;
    stereo.stereoAlgorithm = algorithm;
    if (algorithm <= 2)
      stereo.matcher = cv::StereoBM::create(32, 9);
    else
      stereo.matcher = cv::StereoSGBM::create(1, 32, 7, 392, 1568);
    Image<unsigned short> fromPacked, fromPadded;
    ASSERT_EQ(engine.OCVStereo(packed, fromPacked, region, preprocess, stereo), SteloxErrorOk);
    const Image<unsigned short> kept = fromPacked;
    ASSERT_EQ(engine.OCVStereo(wide, fromPadded, region, preprocess, stereo), SteloxErrorOk);
    ASSERT_EQ(fromPadded.size(), (ImageDim{240, 320}));
    long differing = 0, valid = 0;
    for (int r = 0; r < 240; ++r)
      for (int c = 0; c < 320; ++c) {
        differing += kept[r][c] != fromPadded[r][c];
        valid += kept[r][c] != 0;
      }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(valid, 240 * 320 / 2);
  }
}

// An OpenCV failure (here a region outside the images) gives 50 and leaves
// the disparity image as it was; an unknown algorithm gives 20 and a missing
// matcher 42.
TEST_F(OpenCvRig, EngineFailuresLeaveTheDisparity)
{
  Image<unsigned char> images[2] = {Image<unsigned char>(40, 60), Image<unsigned char>(40, 60)};
  Image<unsigned short> disparity(40, 60);
  disparity.init(0xFF00 + 253);
  const unsigned short* before = disparity.bufferptr();
  StereoProcessMgr engine;
  Stelox::PreprocessParameters preprocess;
  Stelox::StereoParameters stereo;
  stereo.stereoAlgorithm = SteloxStereoAlgorithmBlockMatching;
  stereo.matcher = cv::StereoBM::create(16, 7);
  EXPECT_EQ(engine.OCVStereo(images, disparity, {0, 0, 41, 60}, preprocess, stereo), SteloxErrorUnknown);
  stereo.matcher = cv::StereoBM::create(16, 55);
  EXPECT_EQ(engine.OCVStereo(images, disparity, {0, 0, 40, 60}, preprocess, stereo), SteloxErrorUnknown);
  stereo.stereoAlgorithm = 5;
  EXPECT_EQ(engine.OCVStereo(images, disparity, {0, 0, 40, 60}, preprocess, stereo),
            SteloxErrorUnsupportedStereoAlgorithm);
  stereo.stereoAlgorithm = SteloxStereoAlgorithmSemiGlobal;
  stereo.matcher.reset();
  EXPECT_EQ(engine.OCVStereo(images, disparity, {0, 0, 40, 60}, preprocess, stereo),
            SteloxErrorInvalidInternalSetting);
  EXPECT_EQ(disparity.bufferptr(), before);
  EXPECT_EQ(disparity[39][59], 0xFF00 + 253);
}

}  // namespace
