// Stereo engine: bands, worker counts, margins and its error codes; the
// pool's shared loops, banded surface validation and both lenses of a frame
// prepared at once.
#include "match/StereoProcessMgr.h"

#include "SyntheticPipeline.h"
#include "context/MultiSteloxMgr.h"
#include "context/SteloxMgr.h"
#include "filter/EdgeFilter.h"
#include "filter/MonoConversion.h"
#include "match/CorrelationCore.h"
#include "rectify/Rectifier.h"
#include "rectify/SteloxRectifyMgr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>
#include <stdexcept>
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

TEST(ThreadPool, ForEachRunsEveryIndexOnceFromTheCallerOrInsideATask) {
  for (unsigned workers : {1u, 2u, 3u}) {
    ThreadPool pool(workers);
    for (unsigned count : {0u, 1u, 2u, 17u}) {
      std::vector<std::atomic<int>> runs(count);
      const auto body = [&](unsigned i) { ++runs[i]; };
      pool.forEach(count, body);
      // From inside a task: with one worker nobody else can help, the task
      // runs the indices itself.
      pool.submit([&] { pool.forEach(count, body); }).get();
      for (unsigned i = 0; i < count; ++i) EXPECT_EQ(runs[i].load(), 2) << workers << " " << count;
    }
    std::atomic<int> finished{0};
    EXPECT_THROW(pool.forEach(5,
                              [&](unsigned i) {
                                if (i == 1) throw std::runtime_error("band failed");
                                ++finished;
                              }),
                 std::runtime_error);
    EXPECT_EQ(finished.load(), 4);
  }
}

// Random disparity maps with ramps, steps and invalid codes give many small
// surfaces that cross band edges; every band count must give the one-band
// result, count and table statistics.
TEST(StxSegmentContext, BandsGiveTheOneBandResult) {
  std::mt19937 rng(7);
  struct Case {
    int rows, cols;
    double difference;
    unsigned minimum, border;
  };
  const Case cases[] = {{48, 61, 1.0, 6, 6},  {37, 29, 0.5, 12, 3}, {20, 50, 2.0, 3, 0},
                        {64, 40, 1.0, 25, 10}, {9, 30, 0.0, 2, 1},   {5, 16, 1.0, 4, 6}};
  ThreadPool pool(2);
  for (const Case& c : cases) {
    Image<unsigned short> map(c.rows, c.cols);
    std::uniform_int_distribution<int> step(0, 9), jitter(-20, 20);
    int level = 400;
    for (int r = 0; r < c.rows; ++r)
      for (int col = 0; col < c.cols; ++col) {
        const int s = step(rng);
        if (s == 0) level = 200 + 40 * step(rng);
        map[r][col] = s == 1 ? static_cast<unsigned short>(0xFFF0 + step(rng) % 16)
                             : static_cast<unsigned short>(level + jitter(rng));
      }
    Image<unsigned short> expected(c.rows, c.cols);
    expected.init(map);
    Image<unsigned int> labels(c.rows, c.cols);
    StxSegmentContext serial;
    const unsigned expectedCount =
        serial.SegmentIntoRegions(expected, labels, c.difference, c.minimum, 0xFFFC, c.border);
    const int expectedTable = g_nLastTableSize;

    StxSegmentContext banded;  // reused across band counts, as the engine does
    for (unsigned bands = 1; bands <= 7; ++bands) {
      Image<unsigned short> out(c.rows, c.cols);
      out.init(map);
      Image<unsigned int> bandLabels(c.rows, c.cols);
      bandLabels.init(77u);
      EXPECT_EQ(banded.SegmentIntoRegions(out, bandLabels, c.difference, c.minimum, 0xFFFC,
                                          c.border, pool, bands),
                expectedCount)
          << c.rows << "x" << c.cols << " bands " << bands;
      EXPECT_EQ(g_nLastTableSize, expectedTable) << c.rows << "x" << c.cols << " bands " << bands;
      EXPECT_TRUE(same(out, expected)) << c.rows << "x" << c.cols << " bands " << bands;
      // Outside the labelled area the label image is cleared as before.
      const int f = static_cast<int>(c.border / 2 + c.border % 2);
      for (int r = 0; r < c.rows; ++r)
        for (int col = 0; col < c.cols; ++col)
          if (r < f || col < f || r >= c.rows - f || col >= c.cols - f) {
            ASSERT_EQ(bandLabels[r][col], 0u);
          }
    }
  }
}

// Surfaces that only meet across a band edge: a column of pixels that the
// band below reaches through a provisional label, and an invalid pixel above
// the edge that joins what is similar to it to the background.
TEST(StxSegmentContext, SurfacesJoinedOnlyAcrossTheBandEdge) {
  ThreadPool pool(2);
  Image<unsigned short> map(8, 8);
  map.init(0xFFFD);
  for (int r = 1; r < 7; ++r) map[r][2] = 160;  // 6 pixels, rows 1 .. 6
  map[3][5] = 0xFFF2;                            // invalid, above the edge at row 4
  map[4][5] = 0xFFE8;                            // similar to it, not to the fill
  map[5][5] = 0xFFE8;
  for (unsigned minimum : {6u, 7u}) {
    Image<unsigned short> one(8, 8), two(8, 8);
    one.init(map);
    two.init(map);
    Image<unsigned int> labels(8, 8);
    StxSegmentContext context;
    const unsigned serialCount = context.SegmentIntoRegions(one, labels, 1.0, minimum, 0xFFFC, 1);
    EXPECT_EQ(context.SegmentIntoRegions(two, labels, 1.0, minimum, 0xFFFC, 1, pool, 2),
              serialCount);
    EXPECT_TRUE(same(one, two)) << minimum;
    EXPECT_EQ(two[4][2], minimum == 6 ? 160 : 0xFFFC);
    EXPECT_EQ(two[4][5], 0xFFE8);  // background: never marked
  }
}

// Both lenses are rectified and edge-filtered at once on the engine's
// workers; the images equal those the rectifier and filters give when run one
// after the other on the calling thread, for the mono and the colour path.
TEST(StereoProcessMgr, LensesPreparedAtOnceEqualOneAfterTheOther) {
  SteloxRun::RigCase rigCase;
  rigCase.rows = 120;
  rigCase.cols = 160;
  rigCase.distortion = true;
  const SteloxRig::RigModel rig = SteloxRun::makeRig(rigCase);
  SteloxRig::CalibrationWriter writer;
  writer.addConfiguration(rig);
  const SteloxRig::SyntheticScene scene = SteloxRig::SyntheticScene::forRig(rig, 5, 12.0);
  const SteloxRig::StereoRendering rendering = SteloxRig::StereoRenderer(rig, scene).render();

  SteloxContext context = nullptr;
  ASSERT_EQ(steloxGetDefaultContextFromMemory(&context, writer.text().c_str()), SteloxErrorOk);
  ASSERT_EQ(steloxSetResolution(context, 120, 160), SteloxErrorOk);
  const std::shared_ptr<SteloxMgr> mgr =
      static_cast<MultiSteloxMgr*>(context)->getActiveCameraConfigMgr().lock();
  int edgeMask = 0;
  ASSERT_EQ(steloxGetEdgeMask(context, &edgeMask), SteloxErrorOk);

  SteloxMonoStereoPair mono{};
  SteloxColorStereoPair colour{};
  for (int lens = 0; lens < 2; ++lens) {
    const Image<unsigned char>& grey = rendering.rawGrey[lens];
    const Image<Pixel8x4>& packed = rendering.rawColour[lens];
    (lens == 0 ? mono.right : mono.left) = {120, 160, rowInc(grey), grey.bufferptr()};
    (lens == 0 ? colour.right : colour.left) = {
        120, 160, rowInc(packed), reinterpret_cast<SteloxColorPixel*>(packed.bufferptr())};
  }
  for (bool useColour : {false, true}) {
    ASSERT_EQ(useColour ? steloxColorRectify(context, &colour) : steloxRectify(context, &mono),
              SteloxErrorOk);
    for (int lens = 0; lens < 2; ++lens) {
      const std::shared_ptr<Rectifier> rectifier = mgr->getRectifyMgr()->getRectifier(lens);
      Image<unsigned char> rectified(120, 160);
      if (useColour) {
        Image<Pixel8x4> rectifiedColour(120, 160);
        const Image<Pixel8x4>& raw = rendering.rawColour[lens];
        ASSERT_EQ(rectifier->unpackLowpassRectify(160, 120, rectifiedColour.bufferptr(), 160, 120,
                                                  rowInc(raw), raw.bufferptr(), 0, 0, 120, 160,
                                                  1, 1),
                  RectifyErrorOk);
        convertToMono(rectified, rectifiedColour);
      } else {
        const Image<unsigned char>& raw = rendering.rawGrey[lens];
        ASSERT_EQ(rectifier->lowpassRectify(160, 120, rectified.bufferptr(), 160, 120,
                                            raw.nRowInc(), raw.bufferptr(), 0, 0, 120, 160, 1, 1,
                                            0, 0, static_cast<KernelType>(0), 5),
                  RectifyErrorOk);
      }
      Image<unsigned char> edge(120, 160);
      edge.init(128);
      Image<unsigned char> inner =
          edge.region(edgeMask / 2, edgeMask / 2, 120 - edgeMask + 1, 160 - edgeMask + 1);
      boxEdgeFilter(inner, rectified, static_cast<unsigned>(edgeMask), 1.0);

      const SteloxCamera camera = lens == 0 ? SteloxCameraRight : SteloxCameraLeft;
      SteloxImage got{};
      for (const auto& [type, want] : {std::pair<SteloxImageType, const Image<unsigned char>*>{
                                           SteloxImageTypeRectified, &rectified},
                                       {SteloxImageTypeEdge, &edge}}) {
        ASSERT_EQ(steloxGetImage(context, type, camera, &got), SteloxErrorOk);
        ASSERT_EQ(got.rows, 120);
        ASSERT_EQ(got.cols, 160);
        for (int r = 0; r < 120; ++r)
          ASSERT_EQ(std::memcmp(got.data + r * got.rowIncrement, (*want)[r].data(), 160), 0)
              << "colour " << useColour << " lens " << lens << " type " << type << " row " << r;
      }
    }
  }

  // One caller buffer for the rectified images of both lenses: the lenses then
  // run one after the other, each edge image made from its own lens, and the
  // buffer is left with the left lens's image.
  SteloxImage edges[2]{}, rectifiedLeft{};
  std::vector<unsigned char> separate[2];
  ASSERT_EQ(steloxRectify(context, &mono), SteloxErrorOk);
  for (int lens = 0; lens < 2; ++lens) {
    ASSERT_EQ(steloxGetImage(context, SteloxImageTypeEdge, lens == 0 ? SteloxCameraRight : SteloxCameraLeft,
                             &edges[lens]),
              SteloxErrorOk);
    separate[lens].assign(edges[lens].data, edges[lens].data + 120 * edges[lens].rowIncrement);
  }
  ASSERT_EQ(steloxGetImage(context, SteloxImageTypeRectified, SteloxCameraLeft, &rectifiedLeft), SteloxErrorOk);
  const std::vector<unsigned char> left(rectifiedLeft.data, rectifiedLeft.data + 120 * 160);
  std::vector<unsigned char> shared(120 * 160);
  ASSERT_EQ(steloxSetImageBuffer(context, shared.data(), SteloxImageTypeRectified, SteloxCameraRight), SteloxErrorOk);
  ASSERT_EQ(steloxSetImageBuffer(context, shared.data(), SteloxImageTypeRectified, SteloxCameraLeft), SteloxErrorOk);
  ASSERT_EQ(steloxRectify(context, &mono), SteloxErrorOk);
  EXPECT_EQ(shared, left);
  for (int lens = 0; lens < 2; ++lens) {
    ASSERT_EQ(steloxGetImage(context, SteloxImageTypeEdge, lens == 0 ? SteloxCameraRight : SteloxCameraLeft,
                             &edges[lens]),
              SteloxErrorOk);
    EXPECT_EQ(std::vector<unsigned char>(edges[lens].data, edges[lens].data + 120 * edges[lens].rowIncrement),
              separate[lens])
        << lens;
  }
  steloxDestroyContext(context);
}
