// Matching speed against OpenCV on an edge-filtered real pair (Middlebury
// Teddy, resized): the correlation core over the whole image with 2 workers
// against cv::StereoBM with 2 threads and no speckle filter, the same work on
// one thread each (timed on the thread clock, which a busy machine does not
// distort), and surface validation against cv::filterSpeckles. Each iteration
// runs both sides once; the counters give their mean times and our speed-up.
#include "SideBySide.h"
#include "filter/EdgeFilter.h"
#include "match/StereoProcessMgr.h"

#include <benchmark/benchmark.h>
#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <chrono>
#include <ctime>
#include <stdexcept>
#include <string>

namespace {

constexpr int kMask = 7;
constexpr int kEdgeMask = 7;

// Grey image of the data set, resized and band-pass filtered like a context
// does (mask 7, scale 1, margin at the zero level 128).
cv::Mat edgeImage(const std::string& file, int rows, int cols) {
  const cv::Mat grey = cv::imread(std::string(STELOX_DATA_DIR) + "/stereo/" + file,
                                  cv::IMREAD_GRAYSCALE);
  if (grey.empty()) throw std::runtime_error("cannot read " + file);
  cv::Mat resized;
  cv::resize(grey, resized, cv::Size(cols, rows), 0, 0, cv::INTER_LINEAR);
  cv::Mat edges(rows, cols, CV_8U, cv::Scalar(128));
  Image<unsigned char> in(rows, cols, static_cast<int>(resized.step), resized.data);
  Image<unsigned char> out(rows, cols, static_cast<int>(edges.step), edges.data);
  Image<unsigned char> inner =
      out.region(kEdgeMask / 2, kEdgeMask / 2, rows - kEdgeMask + 1, cols - kEdgeMask + 1);
  boxEdgeFilter(inner, in, kEdgeMask, 1.0);
  return edges;
}

struct Frame {
  cv::Mat right, left;  // edge images; the right one is our reference
};

// The two benchmark sizes: 480 x 640 and 960 x 1280.
const Frame& frame(int rows) {
  static Frame small{edgeImage("teddy-2003-quarter/imR.png", 480, 640),
                     edgeImage("teddy-2003-quarter/imL.png", 480, 640)};
  static Frame large{edgeImage("teddy-2003-quarter/imR.png", 960, 1280),
                     edgeImage("teddy-2003-quarter/imL.png", 960, 1280)};
  return rows == 480 ? small : large;
}

Stelox::StereoParameters stereoSettings(int disparities) {
  Stelox::StereoParameters s;
  s.stereoMaskSize = kMask;
  s.minimumDisparity = 0;
  s.maximumDisparity = disparities - 1;
  s.textureValidation = true;
  s.textureThreshold = 0.5;
  s.backForthValidation = true;
  s.surfaceValidation = false;
  s.surfaceSize = 200;
  s.surfaceDifference = 1.0;
  return s;
}

Stelox::PreprocessParameters edgeSettings() {
  Stelox::PreprocessParameters p;
  p.edgeCorrelation = true;
  p.edgeMaskSize = kEdgeMask;
  return p;
}

// Wall time and the CPU time of all threads of the process: on a busy
// machine the wall times mostly measure the other processes, the CPU times
// still compare the work each side does.
struct Clock {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t cpu = std::clock();
};

struct Spent {
  double wall = 0, cpu = 0;
  void add(const Clock& start) {
    wall += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                      start.wall)
                .count();
    cpu += 1000.0 * static_cast<double>(std::clock() - start.cpu) / CLOCKS_PER_SEC;
  }
};

void reportSideBySide(benchmark::State& state, const Spent& ours, const Spent& theirs) {
  const double iterations = static_cast<double>(state.iterations());
  state.counters["stelox_ms"] = ours.wall / iterations;
  state.counters["opencv_ms"] = theirs.wall / iterations;
  state.counters["speedup"] = theirs.wall / ours.wall;
  state.counters["stelox_cpu_ms"] = ours.cpu / iterations;
  state.counters["opencv_cpu_ms"] = theirs.cpu / iterations;
  state.counters["cpu_speedup"] = theirs.cpu / ours.cpu;
}

// Arguments: rows, columns, disparities.
void BM_CorrelationVsStereoBM(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0)), cols = static_cast<int>(state.range(1));
  const int disparities = static_cast<int>(state.range(2));
  const Frame& f = frame(rows);

  StereoProcessMgr engine;
  if (engine.setMaxNumThreads(2) != SteloxErrorOk) engine.setMaxNumThreads(1);
  const Image<unsigned char> images[2] = {
      Image<unsigned char>(rows, cols, static_cast<int>(f.right.step), f.right.data),
      Image<unsigned char>(rows, cols, static_cast<int>(f.left.step), f.left.data)};
  Image<unsigned short> disparity(rows, cols);
  Image<unsigned int> surfaces;
  const SteloxROI region = {0, 0, rows, cols};
  const Stelox::StereoParameters s = stereoSettings(disparities);
  const Stelox::PreprocessParameters p = edgeSettings();

  cv::setNumThreads(2);
  cv::Ptr<cv::StereoBM> bm = cv::StereoBM::create(disparities, kMask);
  bm->setSpeckleWindowSize(0);
  cv::Mat bmDisparity;

  Spent ours, theirs;
  for (auto _ : state) {
    Clock start;
    disparity.init(0xFFFD);
    engine.process(images, disparity, surfaces, region, p, s);
    ours.add(start);
    start = Clock();
    bm->compute(f.left, f.right, bmDisparity);
    theirs.add(start);
    benchmark::DoNotOptimize(bmDisparity.data);
  }
  reportSideBySide(state, ours, theirs);
}

// The whole image as one band on the calling thread against cv::StereoBM
// with one thread. Arguments: rows, columns, disparities.
void BM_CorrelationVsStereoBMOneThread(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0)), cols = static_cast<int>(state.range(1));
  const int disparities = static_cast<int>(state.range(2));
  const Frame& f = frame(rows);
  struct Setup {
    StereoProcessMgr engine;
    Image<unsigned char> images[2];
    Image<unsigned short> disparity;
    SteloxROI region;
    Stelox::StereoParameters stereo;
    Stelox::PreprocessParameters preprocess;
    cv::Ptr<cv::StereoBM> bm;
    cv::Mat left, right, bmDisparity;
    void ours() { engine.fastStereoROI(images, disparity, region, region, preprocess, stereo); }
    void opencv() { bm->compute(left, right, bmDisparity); }
  } setup;
  setup.images[0] = Image<unsigned char>(rows, cols, static_cast<int>(f.right.step), f.right.data);
  setup.images[1] = Image<unsigned char>(rows, cols, static_cast<int>(f.left.step), f.left.data);
  setup.disparity = Image<unsigned short>(rows, cols);
  setup.disparity.init(0xFFFD);
  setup.region = {0, 0, rows, cols};
  setup.stereo = stereoSettings(disparities);
  setup.preprocess = edgeSettings();
  setup.bm = cv::StereoBM::create(disparities, kMask);
  setup.bm->setSpeckleWindowSize(0);
  setup.left = f.left;
  setup.right = f.right;
  cv::setNumThreads(1);
  ::reportSideBySide(state, setup);
  cv::setNumThreads(2);
}

void BM_SurfaceValidationVsFilterSpeckles(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0)), cols = static_cast<int>(state.range(1));
  const int disparities = static_cast<int>(state.range(2));
  const Frame& f = frame(rows);

  // Both sides validate their own matcher's output of the same pair.
  StereoProcessMgr engine;
  const Image<unsigned char> images[2] = {
      Image<unsigned char>(rows, cols, static_cast<int>(f.right.step), f.right.data),
      Image<unsigned char>(rows, cols, static_cast<int>(f.left.step), f.left.data)};
  Image<unsigned short> matched(rows, cols);
  matched.init(0xFFFD);
  Image<unsigned int> surfaces(rows, cols);
  const Stelox::StereoParameters s = stereoSettings(disparities);
  engine.process(images, matched, surfaces, {0, 0, rows, cols}, edgeSettings(), s);

  cv::setNumThreads(2);
  cv::Ptr<cv::StereoBM> bm = cv::StereoBM::create(disparities, kMask);
  bm->setSpeckleWindowSize(0);
  cv::Mat bmMatched;
  bm->compute(f.left, f.right, bmMatched);

  StxSegmentContext segmentation;
  Image<unsigned short> work(rows, cols);
  cv::Mat bmWork, buffer;
  Spent ours, theirs;
  for (auto _ : state) {
    work.init(matched);
    bmMatched.copyTo(bmWork);
    Clock start;
    segmentation.SegmentIntoRegions(work, surfaces, s.surfaceDifference,
                                    static_cast<unsigned>(s.surfaceSize), 0xFFFC,
                                    kMask / 2 + kEdgeMask / 2);
    ours.add(start);
    start = Clock();
    cv::filterSpeckles(bmWork, 0, s.surfaceSize, 16, buffer);
    theirs.add(start);
  }
  reportSideBySide(state, ours, theirs);
}

}  // namespace

BENCHMARK(BM_CorrelationVsStereoBM)
    ->Args({480, 640, 64})
    ->Args({960, 1280, 128})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_CorrelationVsStereoBMOneThread)
    ->Args({480, 640, 64})
    ->Args({960, 1280, 128})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SurfaceValidationVsFilterSpeckles)
    ->Args({480, 640, 64})
    ->Args({960, 1280, 128})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
