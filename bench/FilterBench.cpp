// Throughput of the edge filter and the grey conversion beside their OpenCV
// equivalents, on a real camera image at 640 x 480 and 1280 x 960.
//
// The *Ratio benchmarks run both sides alternately in the same iterations and
// report opencv_over_ours (above 1: ours is faster), measured in thread CPU
// time so that other load on the machine does not tilt it. OpenCV runs on one
// thread, like ours.
#include "filter/EdgeFilter.h"
#include "filter/MonoConversion.h"
#include "image/simd/SimdDetector.h"

#include "SideBySide.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <ctime>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int kMask = 7;

// The chessboard camera image, as BGRA, scaled to rows x cols.
cv::Mat cameraImage(int rows, int cols) {
  const cv::Mat bgr = cv::imread(STELOX_DATA_DIR "/chessboard-640x480/left01.jpg", cv::IMREAD_COLOR);
  if (bgr.empty()) throw std::runtime_error("benchmark image missing");
  cv::Mat scaled, bgra;
  cv::resize(bgr, scaled, cv::Size(cols, rows), 0, 0, cv::INTER_LINEAR);
  cv::cvtColor(scaled, bgra, cv::COLOR_BGR2BGRA);
  return bgra;
}

Image<unsigned char> toImage(const cv::Mat& grey) {
  Image<unsigned char> image(grey.rows, grey.cols);
  for (int r = 0; r < grey.rows; ++r) std::memcpy(image[r].data(), grey.ptr(r), grey.cols);
  return image;
}

Image<Pixel8x4> toColourImage(const cv::Mat& bgra) {
  Image<Pixel8x4> image(bgra.rows, bgra.cols);
  for (int r = 0; r < bgra.rows; ++r) std::memcpy(image[r].data(), bgra.ptr(r), 4 * bgra.cols);
  return image;
}

struct EdgeSetup {
  explicit EdgeSetup(int rows, int cols) {
    cv::cvtColor(cameraImage(rows, cols), grey, cv::COLOR_BGRA2GRAY);
    in = toImage(grey);
    out = Image<unsigned char>(rows - kMask + 1, cols - kMask + 1);
    const int area = kMask * kMask;
    sumWeight = 32768 / area;
    centreWeight = -sumWeight * area;
  }
  void ours() { boxEdgeFilter(out, in, kMask, 1.0); }
  // The same band-pass with OpenCV: box sums, then 128 + centre * cw / 65536 +
  // sums * sw / 65536 saturated to bytes.
  void opencv() {
    cv::boxFilter(grey, sums, CV_16S, cv::Size(kMask, kMask), cv::Point(-1, -1), false,
                  cv::BORDER_REPLICATE);
    cv::addWeighted(grey, centreWeight / 65536.0, sums, sumWeight / 65536.0, 128.0, edges, CV_8U);
  }
  cv::Mat grey, sums, edges;
  Image<unsigned char> in, out;
  int sumWeight, centreWeight;
};

struct GreySetup {
  explicit GreySetup(int rows, int cols) : bgra(cameraImage(rows, cols)) {
    colour = toColourImage(bgra);
    mono = Image<unsigned char>(rows, cols);
  }
  void ours() { convertToMono(mono, colour); }
  void opencv() { cv::cvtColor(bgra, grey, cv::COLOR_BGRA2GRAY); }
  cv::Mat bgra, grey;
  Image<Pixel8x4> colour;
  Image<unsigned char> mono;
};

template <typename Setup, bool useOurs>
void throughput(benchmark::State& state) {
  cv::setNumThreads(1);
  Setup setup(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    if (useOurs) setup.ours(); else setup.opencv();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(1));
  state.counters["level"] = SimdDetector::processLevel();
}

// Ours at a forced instruction-set level (third argument: 0 scalar, 3 SSE2).
template <typename Setup>
void atLevel(benchmark::State& state) {
  const cpu_extension_t saved = SimdDetector::levelCeiling();
  SimdDetector::setLevelCeiling(static_cast<cpu_extension_t>(state.range(2)));
  Setup setup(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    setup.ours();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(1));
  state.counters["level"] = SimdDetector::processLevel();
  SimdDetector::setLevelCeiling(saved);
}

template <typename Setup>
void ratio(benchmark::State& state) {
  cv::setNumThreads(1);
  Setup setup(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  reportSideBySide(state, setup);
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Args({480, 640})->Args({960, 1280})->Unit(benchmark::kMicrosecond);
}

void levels(benchmark::internal::Benchmark* b) {
  b->Args({480, 640, CPU_EXTENSION_NONE})->Args({480, 640, CPU_EXTENSION_SSE2});
  b->Unit(benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK_TEMPLATE(throughput, EdgeSetup, true)->Name("EdgeFilter7/ours")->Apply(sizes);
BENCHMARK_TEMPLATE(throughput, EdgeSetup, false)->Name("EdgeFilter7/opencv")->Apply(sizes);
BENCHMARK_TEMPLATE(atLevel, EdgeSetup)->Name("EdgeFilter7/ours_level")->Apply(levels);
BENCHMARK_TEMPLATE(ratio, EdgeSetup)->Name("EdgeFilter7Ratio")->Apply(sizes);
BENCHMARK_TEMPLATE(throughput, GreySetup, true)->Name("GreyBGRA/ours")->Apply(sizes);
BENCHMARK_TEMPLATE(throughput, GreySetup, false)->Name("GreyBGRA/opencv")->Apply(sizes);
BENCHMARK_TEMPLATE(atLevel, GreySetup)->Name("GreyBGRA/ours_level")->Apply(levels);
BENCHMARK_TEMPLATE(ratio, GreySetup)->Name("GreyBGRARatio")->Apply(sizes);
