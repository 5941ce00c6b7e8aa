// The whole frame path through the C interface (steloxRectify with its tables
// built, then steloxStereo) against OpenCV's nearest chain: cv::remap of both
// images with fixed-point maps, then cv::StereoBM with its speckle filter.
// Both run on a synthetic rig with lens distortion, with 2 workers / threads.
// The OpenCV cases also time the library path in the same run and report both
// times and their ratio as counters.
#include "../tools/stelox-run/SyntheticPipeline.h"
#include "context/MultiSteloxMgr.h"
#include "match/StereoProcessMgr.h"
#include "stelox.h"

#include <benchmark/benchmark.h>
#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <limits>
#include <memory>

namespace {

constexpr unsigned kWorkers = 2;

// One rig, its rendered pair and a context with the tables of the pair built.
struct Setup {
  SteloxRig::RigModel rig;
  SteloxRig::StereoRendering rendering;
  SteloxContext context = nullptr;
  SteloxMonoStereoPair monoPair{};
  SteloxColorStereoPair colourPair{};
  cv::Mat mapFixed[2];
  cv::Mat mapFraction[2];
  int disparities = 0;

  ~Setup() { steloxDestroyContext(context); }
};

// Built inside each benchmark (which runs a fixed number of iterations, so
// once): a setup kept in a static would outlive the library's own statics.
std::unique_ptr<Setup> makeSetup(int rows, int cols, int disparities)
{
  auto setup = std::make_unique<Setup>();
  SteloxRun::RigCase rigCase;
  rigCase.rows = rows;
  rigCase.cols = cols;
  rigCase.distortion = true;
  setup->rig = SteloxRun::makeRig(rigCase);
  setup->disparities = disparities;
  SteloxRig::CalibrationWriter writer;
  writer.addConfiguration(setup->rig);
  const SteloxRig::SyntheticScene scene =
      SteloxRig::SyntheticScene::forRig(setup->rig, 11, 0.75 * disparities);
  setup->rendering = SteloxRig::StereoRenderer(setup->rig, scene).render();

  steloxGetDefaultContextFromMemory(&setup->context, writer.text().c_str());
  static_cast<MultiSteloxMgr*>(setup->context)
      ->getActiveCameraConfigMgr()
      .lock()
      ->getStereoMgr()
      ->setMaxNumThreads(kWorkers);
  steloxSetResolution(setup->context, rows, cols);
  steloxSetDisparity(setup->context, 0, disparities);
  for (int lens = 0; lens < 2; ++lens) {
    const Image<unsigned char>& grey = setup->rendering.rawGrey[lens];
    const Image<Pixel8x4>& colour = setup->rendering.rawColour[lens];
    const SteloxImage mono = {rows, cols, rowInc(grey), grey.bufferptr()};
    const SteloxColorImage packed = {rows, cols, rowInc(colour), reinterpret_cast<SteloxColorPixel*>(colour.bufferptr())};
    (lens == 0 ? setup->monoPair.right : setup->monoPair.left) = mono;
    (lens == 0 ? setup->colourPair.right : setup->colourPair.left) = packed;

    // The same rectification as OpenCV maps, from the rig's exact model.
    cv::Mat mapX(rows, cols, CV_32FC1), mapY(rows, cols, CV_32FC1);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c) {
        double rawRow = r, rawCol = c;
        setup->rig.rectifiedToRaw(static_cast<SteloxRig::RigLens>(lens), r, c, rawRow, rawCol);
        mapX.at<float>(r, c) = static_cast<float>(rawCol);
        mapY.at<float>(r, c) = static_cast<float>(rawRow);
      }
    cv::convertMaps(mapX, mapY, setup->mapFixed[lens], setup->mapFraction[lens], CV_16SC2);
  }
  steloxRectify(setup->context, &setup->monoPair);
  return setup;
}

SteloxError steloxFrame(const Setup& setup, bool colour)
{
  SteloxMonoStereoPair mono = setup.monoPair;
  SteloxColorStereoPair packed = setup.colourPair;
  const SteloxError rectified = colour ? steloxColorRectify(setup.context, &packed) : steloxRectify(setup.context, &mono);
  return rectified != SteloxErrorOk ? rectified : steloxStereo(setup.context);
}

double steloxMilliseconds(const Setup& setup, bool colour)
{
  constexpr int kFrames = 30;
  steloxFrame(setup, colour);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kFrames; ++i)
    steloxFrame(setup, colour);
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / kFrames;
}

void BM_SteloxFramePath(benchmark::State& state)
{
  const int rows = static_cast<int>(state.range(0));
  const bool colour = state.range(2) != 0;
  const std::unique_ptr<Setup> owned = makeSetup(rows, rows * 4 / 3, static_cast<int>(state.range(1)));
  const Setup& setup = *owned;
  const std::clock_t cpuStart = std::clock();
  for (auto _ : state) {
    if (steloxFrame(setup, colour) != SteloxErrorOk) {
      state.SkipWithError("frame failed");
      break;
    }
  }
  // Processor time of all threads per frame: on a busy machine it tells what
  // the frame costs when the wall time cannot.
  state.counters["all_threads_cpu_ms"] = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC /
                                         static_cast<double>(state.iterations());
  state.SetLabel(colour ? "colour" : "mono");
}

// cv::remap of both raw images with the fixed-point maps (colour images are
// remapped in colour and then turned grey), then StereoBM with its speckle
// filter on 2 threads.
void BM_OpenCvRemapStereoBM(benchmark::State& state)
{
  const int rows = static_cast<int>(state.range(0));
  const int disparities = static_cast<int>(state.range(1));
  const bool colour = state.range(2) != 0;
  const std::unique_ptr<Setup> owned = makeSetup(rows, rows * 4 / 3, disparities);
  const Setup& setup = *owned;
  cv::setNumThreads(kWorkers);
  cv::Ptr<cv::StereoBM> matcher = cv::StereoBM::create(disparities, 7);
  matcher->setSpeckleWindowSize(100);
  matcher->setSpeckleRange(2);
  cv::Mat raw[2], rectified[2], colourRectified[2], disparity;
  for (int lens = 0; lens < 2; ++lens) {
    if (colour) {
      const Image<Pixel8x4>& image = setup.rendering.rawColour[lens];
      raw[lens] = cv::Mat(image.nRows(), image.nCols(), CV_8UC4, image.bufferptr(), rowInc(image));
    } else {
      const Image<unsigned char>& image = setup.rendering.rawGrey[lens];
      raw[lens] = cv::Mat(image.nRows(), image.nCols(), CV_8UC1, image.bufferptr(), rowInc(image));
    }
  }
  const auto frame = [&] {
    for (int lens = 0; lens < 2; ++lens) {
      if (colour) {
        cv::remap(raw[lens], colourRectified[lens], setup.mapFixed[lens], setup.mapFraction[lens], cv::INTER_LINEAR);
        cv::cvtColor(colourRectified[lens], rectified[lens], cv::COLOR_BGRA2GRAY);
      } else {
        cv::remap(raw[lens], rectified[lens], setup.mapFixed[lens], setup.mapFraction[lens], cv::INTER_LINEAR);
      }
    }
    matcher->compute(rectified[1], rectified[0], disparity);
  };
  const std::clock_t cpuStart = std::clock();
  for (auto _ : state)
    frame();
  state.counters["all_threads_cpu_ms"] = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC /
                                         static_cast<double>(state.iterations());
  const auto start = std::chrono::steady_clock::now();
  constexpr int kFrames = 30;
  for (int i = 0; i < kFrames; ++i)
    frame();
  const double opencv =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / kFrames;
  const double stelox = steloxMilliseconds(setup, colour);
  state.counters["opencv_ms"] = opencv;
  state.counters["stelox_ms"] = stelox;
  state.counters["speedup"] = opencv / stelox;
  state.SetLabel(colour ? "colour" : "mono");
}

// Surface validation of the frame path's own disparity image (matched with
// surface validation off) with the context's settings, in one band on the
// calling thread and banded on the engine's 2 workers, beside
// cv::filterSpeckles of StereoBM's output of the same rectified pair. Besides
// the mean wall times, the fastest run of each is reported: on a busy machine
// it is the figure least disturbed by other processes.
void BM_SurfaceValidationBands(benchmark::State& state)
{
  const int rows = static_cast<int>(state.range(0));
  const int disparities = static_cast<int>(state.range(1));
  const std::unique_ptr<Setup> owned = makeSetup(rows, rows * 4 / 3, disparities);
  const Setup& setup = *owned;
  SteloxMonoStereoPair pair = setup.monoPair;
  steloxSetSurfaceValidation(setup.context, 0);
  steloxRectify(setup.context, &pair);
  steloxStereo(setup.context);
  SteloxImage16 matched{};
  SteloxImage rectified[2]{};
  steloxGetImage16(setup.context, SteloxImage16TypeDisparity, SteloxCameraRight, &matched);
  steloxGetImage(setup.context, SteloxImageTypeRectified, SteloxCameraRight, &rectified[0]);
  steloxGetImage(setup.context, SteloxImageTypeRectified, SteloxCameraLeft, &rectified[1]);
  const Image<unsigned short> source(matched.rows, matched.cols, matched.rowIncrement / 2, matched.data);
  int size = 0, edgeMask = 0, mask = 0;
  float difference = 0.0f;
  steloxGetSurfaceValidationSize(setup.context, &size);
  steloxGetSurfaceValidationDifference(setup.context, &difference);
  steloxGetEdgeMask(setup.context, &edgeMask);
  steloxGetStereoMask(setup.context, &mask);
  const unsigned border = static_cast<unsigned>(mask / 2 + edgeMask / 2);

  cv::setNumThreads(kWorkers);
  cv::Ptr<cv::StereoBM> matcher = cv::StereoBM::create(disparities, 7);
  matcher->setSpeckleWindowSize(0);
  cv::Mat bmMatched, bmWork, buffer;
  matcher->compute(cv::Mat(rectified[1].rows, rectified[1].cols, CV_8UC1, rectified[1].data, rectified[1].rowIncrement),
                   cv::Mat(rectified[0].rows, rectified[0].cols, CV_8UC1, rectified[0].data, rectified[0].rowIncrement),
                   bmMatched);

  ThreadPool pool(kWorkers);
  StxSegmentContext segmentation;
  Image<unsigned short> work(source.nRows(), source.nCols());
  Image<unsigned int> labels(source.nRows(), source.nCols());
  struct Timing {
    double total = 0.0, fastest = std::numeric_limits<double>::max();
    void add(std::chrono::steady_clock::time_point start)
    {
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      total += ms;
      fastest = std::min(fastest, ms);
    }
  } oneBand, banded, speckles;
  for (auto _ : state) {
    for (int run = 0; run < 2; ++run) {
      work.init(source);
      const auto start = std::chrono::steady_clock::now();
      if (run == 0)
        segmentation.SegmentIntoRegions(work, labels, difference, static_cast<unsigned>(size), 0xFFFC, border);
      else
        segmentation.SegmentIntoRegions(work, labels, difference, static_cast<unsigned>(size), 0xFFFC, border, pool,
                                        kWorkers);
      (run == 0 ? oneBand : banded).add(start);
    }
    bmMatched.copyTo(bmWork);
    const auto start = std::chrono::steady_clock::now();
    cv::filterSpeckles(bmWork, 0, size, 16, buffer);
    speckles.add(start);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["one_band_ms"] = oneBand.total / n;
  state.counters["banded_ms"] = banded.total / n;
  state.counters["speckles_ms"] = speckles.total / n;
  state.counters["one_band_fastest_ms"] = oneBand.fastest;
  state.counters["banded_fastest_ms"] = banded.fastest;
  state.counters["speckles_fastest_ms"] = speckles.fastest;
  state.counters["speckles_over_banded_fastest"] = speckles.fastest / banded.fastest;
}

// rows, disparities, colour
BENCHMARK(BM_SteloxFramePath)
    ->Args({480, 64, 0})
    ->Args({960, 128, 0})
    ->Args({480, 64, 1})
    ->Iterations(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_OpenCvRemapStereoBM)
    ->Args({480, 64, 0})
    ->Args({960, 128, 0})
    ->Args({480, 64, 1})
    ->Iterations(50)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// rows, disparities
BENCHMARK(BM_SurfaceValidationBands)
    ->Args({480, 64})
    ->Args({960, 128})
    ->Iterations(100)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
