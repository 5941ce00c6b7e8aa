// Rectification with a built lookup table beside OpenCV's remap with
// fixed-point maps (CV_16SC2 plus interpolation table, INTER_LINEAR) of the
// same mapping, on a camera image at 640 x 480 and 1280 x 960; and the time to
// build the table from the warp splines.
//
// RectifyRatio runs both sides alternately in the same iterations and reports
// opencv_over_ours (above 1: ours is faster) in thread CPU time. OpenCV runs on
// one thread, like ours.
#include "rectify/Warper3.h"
#include "image/simd/SimdDetector.h"

#include "SideBySide.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cstring>
#include <ctime>
#include <stdexcept>
#include <vector>

namespace {

constexpr int kBasis = 12;

cv::Mat cameraImage(int rows, int cols) {
  const cv::Mat grey = cv::imread(STELOX_DATA_DIR "/chessboard-640x480/left01.jpg", cv::IMREAD_GRAYSCALE);
  if (grey.empty()) throw std::runtime_error("benchmark image missing");
  cv::Mat scaled;
  cv::resize(grey, scaled, cv::Size(cols, rows), 0, 0, cv::INTER_LINEAR);
  return scaled;
}

// A barrel distortion about the image centre as a cubic spline over clamped
// knots, with the distortion's values at the Greville points as coefficients.
WarpMapFunc lensMap() {
  std::vector<double> knots(kBasis + 4);
  for (int i = 0; i < kBasis + 4; ++i)
    knots[i] = std::min(1.0, std::max(0.0, static_cast<double>(i - 3) / (kBasis - 3)));
  std::vector<double> xi(kBasis);
  for (int j = 0; j < kBasis; ++j) xi[j] = (knots[j + 1] + knots[j + 2] + knots[j + 3]) / 3.0;
  std::vector<double> rowCoefficients(kBasis * kBasis), colCoefficients(kBasis * kBasis);
  for (int j = 0; j < kBasis; ++j)
    for (int k = 0; k < kBasis; ++k) {
      const double u = xi[j] - 0.5, v = xi[k] - 0.5;
      const double f = 1.0 + 0.15 * (u * u + v * v);
      rowCoefficients[k * kBasis + j] = 0.5 + u * f;
      colCoefficients[k * kBasis + j] = 0.5 + v * f;
    }
  const WarpSpline row(knots.data(), knots.data(), rowCoefficients.data(), kBasis, 960, 1280);
  const WarpSpline col(knots.data(), knots.data(), colCoefficients.data(), kBasis, 960, 1280);
  return WarpMapFunc(row, col, 1.0, 1.0, 0.0, 0.0, 0.0, 0.0);
}

struct RectifySetup {
  RectifySetup(int rows, int cols) : map(lensMap()), grey(cameraImage(rows, cols)) {
    raw = Image<unsigned char>(rows, cols);
    for (int r = 0; r < rows; ++r) std::memcpy(raw[r].data(), grey.ptr(r), cols);
    out = Image<unsigned char>(rows, cols);
    if (!warper.build(map, rows, cols, raw.nRowInc(), rows, cols, {0, 0, rows, cols}, 0, 0, 5))
      throw std::runtime_error("table not built");
    // The same sampling points for OpenCV, at its 1/32 pixel resolution.
    cv::Mat points(rows, cols, CV_32FC2);
    const int increment = raw.nRowInc();
    for (int i = 0; i < rows; ++i)
      for (int j = 0; j < cols; ++j) {
        const int o = warper.offsets()[i][j];
        points.at<cv::Vec2f>(i, j) = cv::Vec2f(o % increment + warper.colWeights()[i][j] / 128.0f,
                                               o / increment + warper.rowWeights()[i][j] / 128.0f);
      }
    cv::convertMaps(points, cv::noArray(), fixedMap, interpolation, CV_16SC2, false);
  }
  void ours() { warper.warp(out, raw); }
  void opencv() { cv::remap(grey, remapped, fixedMap, interpolation, cv::INTER_LINEAR, cv::BORDER_CONSTANT); }

  WarpMapFunc map;
  Warper3 warper;
  cv::Mat grey, fixedMap, interpolation, remapped;
  Image<unsigned char> raw, out;
};

template <bool useOurs>
void rectify(benchmark::State& state) {
  cv::setNumThreads(1);
  RectifySetup setup(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    if (useOurs) setup.ours(); else setup.opencv();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(1));
  state.counters["level"] = SimdDetector::processLevel();
}

void rectifyRatio(benchmark::State& state) {
  cv::setNumThreads(1);
  RectifySetup setup(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  reportSideBySide(state, setup);
}

// Building the table evaluates both splines at every output pixel.
void buildTable(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0)), cols = static_cast<int>(state.range(1));
  const WarpMapFunc map = lensMap();
  for (auto _ : state) {
    Warper3 warper;
    benchmark::DoNotOptimize(warper.build(map, rows, cols, cols, rows, cols, {0, 0, rows, cols}, 0, 0, 5));
  }
  state.SetItemsProcessed(state.iterations() * rows * cols);
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Args({480, 640})->Args({960, 1280})->Unit(benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK_TEMPLATE(rectify, true)->Name("Rectify/ours")->Apply(sizes);
BENCHMARK_TEMPLATE(rectify, false)->Name("Rectify/opencv")->Apply(sizes);
BENCHMARK(rectifyRatio)->Name("RectifyRatio")->Apply(sizes);
BENCHMARK(buildTable)->Name("RectifyBuildTable")->Apply(sizes)->Unit(benchmark::kMillisecond);
