// Stereo engine: bands, worker counts, margins and its error codes.
#include "match/StereoProcessMgr.h"

#include "match/CorrelationCore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

constexpr unsigned short kFill = 0xFFFD;

// Raises the hardware-thread limit for the lifetime of the object, so the
// engine can run more workers than this machine has.
struct ThreadLimit {
  unsigned saved = StereoProcessMgr::m_sMaxNumThreads;
  explicit ThreadLimit(unsigned n) { StereoProcessMgr::m_sMaxNumThreads = std::max(saved, n); }
  ~ThreadLimit() { StereoProcessMgr::m_sMaxNumThreads = saved; }
};

struct Pair {
  Image<unsigned char> images[2];
};

// Edge-image-like pair: the second image is the first moved right by a
// disparity that steps across the image, plus noise.
Pair makePair(int rows, int cols, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> value(70, 186), noise(-2, 2);
  Pair pair{{Image<unsigned char>(rows, cols), Image<unsigned char>(rows, cols)}};
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) pair.images[1][r][c] = static_cast<unsigned char>(value(rng));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const int d = 5 + (c / 20) % 4 + (r / 15) % 3;
      const int v = pair.images[1][r][std::min(c + d, cols - 1)] + noise(rng);
      pair.images[0][r][c] = static_cast<unsigned char>(std::clamp(v, 0, 255));
    }
  return pair;
}

Stelox::StereoParameters stereoSettings() {
  Stelox::StereoParameters s;
  s.stereoMaskSize = 7;
  s.minimumDisparity = 3;
  s.maximumDisparity = 34;
  s.textureValidation = true;
  s.textureThreshold = 0.5;
  s.backForthValidation = true;
  s.surfaceValidation = false;
  s.surfaceSize = 20;
  s.surfaceDifference = 1.0;
  return s;
}

Stelox::PreprocessParameters edgeSettings() {
  Stelox::PreprocessParameters p;
  p.edgeCorrelation = true;
  p.edgeMaskSize = 7;
  return p;
}

Image<unsigned short> run(StereoProcessMgr& engine, const Pair& pair,
                          const Stelox::PreprocessParameters& p,
                          const Stelox::StereoParameters& s, SteloxError expected) {
  const int rows = pair.images[0].nRows(), cols = pair.images[0].nCols();
  Image<unsigned short> disparity(rows, cols);
  disparity.init(kFill);
  Image<unsigned int> surfaces;
  const SteloxROI region = {0, 0, rows, cols};
  EXPECT_EQ(engine.process(pair.images, disparity, surfaces, region, p, s), expected);
  return disparity;
}

bool same(const Image<unsigned short>& a, const Image<unsigned short>& b) {
  for (int r = 0; r < a.nRows(); ++r)
    for (int c = 0; c < a.nCols(); ++c)
      if (a[r][c] != b[r][c]) return false;
  return true;
}

}  // namespace

TEST(StereoProcessMgr, BandsPerWorkerCount) {
  ThreadLimit limit(4);
  StereoProcessMgr engine;
  ASSERT_EQ(engine.setMaxNumThreads(4), SteloxErrorOk);
  struct Case {
    int rows;
    std::vector<std::pair<int, int>> bands;  // first row, rows
  };
  const Case cases[] = {
      {480, {{0, 120}, {120, 120}, {240, 120}, {360, 120}}},
      {10, {{0, 2}, {2, 2}, {4, 2}, {6, 4}}},
      {3, {{0, 1}, {1, 1}, {2, 1}}},
      {0, {}},
  };
  for (const Case& c : cases) {
    std::vector<SteloxROI> bands;
    engine.determineRois({0, 5, c.rows, 640}, bands);
    ASSERT_EQ(bands.size(), c.bands.size()) << c.rows;
    for (size_t i = 0; i < bands.size(); ++i) {
      EXPECT_EQ(bands[i].row, c.bands[i].first);
      EXPECT_EQ(bands[i].rows, c.bands[i].second);
      EXPECT_EQ(bands[i].col, 5);
      EXPECT_EQ(bands[i].cols, 640);
    }
  }
}

TEST(StereoProcessMgr, EveryWorkerCountGivesTheWholeImageMatch) {
  ThreadLimit limit(4);
  const Pair pair = makePair(60, 130, 1);
  const Stelox::PreprocessParameters p = edgeSettings();
  Stelox::StereoParameters s = stereoSettings();

  // One core call over the whole region: margin 3 + 3, d0 = 3.
  Image<unsigned short> expected(60, 130);
  expected.init(kFill);
  Image<unsigned short> out = expected.region(6, 6, 48, 130 - 3 - 12);
  twofast_subpix_stereo(out, pair.images[0].region(3, 3, 54, 130 - 3 - 12 + 6),
                        pair.images[1].region(3, 6, 57, 124), 3, 32, 7,
                        SimdDetector().higher_instruction_set(), 0.5, 255, true, 251, 253);

  StereoProcessMgr engine;
  Image<unsigned short> firstWithSurfaces;
  for (unsigned workers = 1; workers <= 4; ++workers) {
    ASSERT_EQ(engine.setMaxNumThreads(workers), SteloxErrorOk);
    EXPECT_EQ(engine.numThreads(), workers);
    s.surfaceValidation = false;
    EXPECT_TRUE(same(run(engine, pair, p, s, SteloxErrorOk), expected)) << workers;
    EXPECT_EQ(engine.bandCount(), workers);
    s.surfaceValidation = true;
    const Image<unsigned short> withSurfaces = run(engine, pair, p, s, SteloxErrorOk);
    if (workers == 1) firstWithSurfaces = withSurfaces;
    EXPECT_TRUE(same(withSurfaces, firstWithSurfaces)) << workers;
  }
  // The rightmost margin + d0 columns and the margin rows keep the fill.
  for (int r = 0; r < 60; ++r)
    for (int c = 0; c < 130; ++c)
      if (r < 6 || r >= 54 || c < 6 || c >= 130 - 9) {
        ASSERT_EQ(firstWithSurfaces[r][c], kFill);
      }
}

TEST(StereoProcessMgr, SurfaceValidationRunsAfterTheBands) {
  const Pair pair = makePair(40, 90, 2);
  const Stelox::PreprocessParameters p = edgeSettings();
  Stelox::StereoParameters s = stereoSettings();
  StereoProcessMgr engine;
  const Image<unsigned short> plain = run(engine, pair, p, s, SteloxErrorOk);

  s.surfaceValidation = true;
  s.surfaceMapping = 250;
  Image<unsigned short> validated(40, 90);
  validated.init(kFill);
  Image<unsigned int> surfaces;
  ASSERT_EQ(engine.process(pair.images, validated, surfaces, {0, 0, 40, 90}, p, s),
            SteloxErrorOk);
  EXPECT_EQ(surfaces.nRows(), 40);
  EXPECT_EQ(surfaces.nCols(), 90);

  Image<unsigned short> expected(40, 90);
  expected.init(plain);
  Image<unsigned int> labels(40, 90);
  StxSegmentContext().SegmentIntoRegions(expected, labels, 1.0, 20, 0xFFFA, 6);
  EXPECT_TRUE(same(validated, expected));
}

TEST(StereoProcessMgr, BandInsideTheMarginReports46WhileOthersWrite) {
  ThreadLimit limit(4);
  StereoProcessMgr engine;
  ASSERT_EQ(engine.setMaxNumThreads(4), SteloxErrorOk);
  // 16 rows in bands of 4 with a margin of 6: the last band lies wholly in
  // the bottom margin; rows 6 .. 9 are still matched.
  const Pair pair = makePair(16, 80, 3);
  Stelox::StereoParameters s = stereoSettings();
  const Image<unsigned short> out = run(engine, pair, edgeSettings(), s, SteloxErrorInvalidStereoRoi);
  EXPECT_EQ(engine.bandResults()[3], SteloxErrorInvalidStereoRoi);
  EXPECT_EQ(engine.bandResults()[0], SteloxErrorOk);
  int written = 0;
  for (int r = 6; r < 10; ++r)
    for (int c = 6; c < 80 - 9; ++c) written += out[r][c] != kFill;
  EXPECT_GT(written, 0);

  // 20 rows in bands of 5: band 0 lies in the top margin but its start is
  // raised to the margin, so it still counts as matched; rows 6 .. 13 are
  // written, each by one band.
  const Pair taller = makePair(20, 80, 5);
  const Image<unsigned short> all = run(engine, taller, edgeSettings(), s, SteloxErrorInvalidStereoRoi);
  EXPECT_EQ(engine.bandResults()[0], SteloxErrorOk);
  EXPECT_EQ(engine.bandResults()[2], SteloxErrorOk);
  EXPECT_EQ(engine.bandResults()[3], SteloxErrorInvalidStereoRoi);
  for (int r = 0; r < 20; ++r) {
    int rowWritten = 0;
    for (int c = 6; c < 80 - 9; ++c) rowWritten += all[r][c] != kFill;
    EXPECT_EQ(rowWritten > 0, r >= 6 && r < 14) << r;
  }
}

TEST(StereoProcessMgr, ErrorCodes) {
  const Pair pair = makePair(30, 60, 4);
  StereoProcessMgr engine;
  Stelox::StereoParameters s = stereoSettings();
  for (int algorithm : {-1, 5}) {
    s.stereoAlgorithm = algorithm;
    const Image<unsigned short> out =
        run(engine, pair, edgeSettings(), s, SteloxErrorUnsupportedStereoAlgorithm);
    EXPECT_EQ(out[15][20], kFill);
  }
  s.stereoAlgorithm = 0;
  s.cameraConfiguration = 2;
  EXPECT_EQ(run(engine, pair, edgeSettings(), s, SteloxErrorInvalidCameraConfiguration)[15][20],
            kFill);
  s.cameraConfiguration = 1;
  s.minimumDisparity = -2;
  run(engine, pair, edgeSettings(), s, SteloxErrorInvalidStereoRoi);

  const unsigned workers = engine.numThreads();
  EXPECT_EQ(engine.setMaxNumThreads(0), SteloxErrorInvalidSetting);
  EXPECT_EQ(engine.setMaxNumThreads(StereoProcessMgr::m_sMaxNumThreads + 1),
            SteloxErrorInvalidSetting);
  EXPECT_EQ(engine.numThreads(), workers);
  EXPECT_EQ(engine.setMaxNumThreads(1), SteloxErrorOk);
  run(engine, pair, edgeSettings(), stereoSettings(), SteloxErrorOk);
  EXPECT_EQ(engine.bandCount(), 1u);
}

TEST(StereoParameters, CopiesShareTheMatcher) {
  Stelox::StereoParameters s;
  // An owning reference without an object is enough to see the sharing.
  s.matcher = std::shared_ptr<cv::StereoMatcher>(nullptr, [](cv::StereoMatcher*) {});
  const Stelox::StereoParameters copy = s;
  EXPECT_EQ(s.matcher.use_count(), 2);
}
