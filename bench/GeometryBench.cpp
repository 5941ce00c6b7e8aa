#include "ZorBSP.h"
#include "ZorPointCloud3d.h"

#include "SideBySide.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// A surface as a disparity image gives it: a 600 x 500 grid of depths over a
// tilted, bumpy plane with noise, 300 000 points inside a 10 x 10 x 3 box.
// The cloud itself is never indexed, so its findNearestIndex is the linear scan.
const ZorPointCloud3d& surfaceCloud() {
  static ZorPointCloud3d cloud(300000, 0);
  if (cloud.size() == 0) {
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0.0, 0.01);
    for (int row = 0; row < 500; ++row)
      for (int col = 0; col < 600; ++col) {
        const double x = col / 60.0, y = row / 50.0;
        const double z = 5.0 + 0.2 * x - 0.1 * y + 0.3 * std::sin(x) * std::cos(y) + noise(rng);
        cloud.insertPoint(new ZorPoint3d(x, y, z));
      }
  }
  return cloud;
}

enum QueryKind { kNearSurface = 0, kAnywhereInBox = 1 };

// Near the surface: cloud points moved by about 2 % of the grid spacing, as
// when matching a second scan of the scene. Anywhere: uniform in the box, up
// to 1.5 units off the surface, where many points lie almost as near.
std::vector<ZorPoint3d> queries(int count, int kind) {
  const ZorPointCloud3d& cloud = surfaceCloud();
  std::mt19937 rng(2);
  std::uniform_real_distribution<double> x(0.0, 10.0), y(0.0, 10.0), z(4.0, 7.0);
  std::uniform_int_distribution<int> pick(0, cloud.size() - 1);
  std::normal_distribution<double> offset(0.0, 0.02);
  std::vector<ZorPoint3d> q;
  for (int i = 0; i < count; ++i) {
    if (kind == kNearSurface) {
      const ZorPoint3d& p = *cloud.elementAt(pick(rng));
      q.emplace_back(p.x() + offset(rng), p.y() + offset(rng), p.z() + offset(rng));
    } else {
      q.emplace_back(x(rng), y(rng), z(rng));
    }
  }
  return q;
}

// Linear-scan queries per second, measured once on a sample.
double scanQueriesPerSecond() {
  static const double rate = [] {
    const ZorPointCloud3d& cloud = surfaceCloud();
    const std::vector<ZorPoint3d> q = queries(100, kAnywhereInBox);
    const double start = threadSeconds();
    for (const ZorPoint3d& p : q) benchmark::DoNotOptimize(cloud.findNearestIndex(p));
    return q.size() / (threadSeconds() - start);
  }();
  return rate;
}

void BM_NearestPointTree(benchmark::State& state) {
  const ZorPointCloud3d& cloud = surfaceCloud();
  const ZorBSP tree(cloud);
  const std::vector<ZorPoint3d> q = queries(4096, static_cast<int>(state.range(0)));
  size_t i = 0;
  const double start = threadSeconds();
  for (auto _ : state) {
    benchmark::DoNotOptimize(tree.findNearestIndex(q[i]));
    i = (i + 1) % q.size();
  }
  const double treeRate = state.iterations() / (threadSeconds() - start);
  state.counters["queries_per_s"] = treeRate;
  state.counters["scan_queries_per_s"] = scanQueriesPerSecond();
  state.counters["speedup"] = treeRate / scanQueriesPerSecond();
}
BENCHMARK(BM_NearestPointTree)
    ->Unit(benchmark::kMicrosecond)
    ->ArgName("anywhere")
    ->Arg(kNearSurface)
    ->Arg(kAnywhereInBox);

void BM_NearestPointLinearScan(benchmark::State& state) {
  const ZorPointCloud3d& cloud = surfaceCloud();
  const std::vector<ZorPoint3d> q = queries(64, kAnywhereInBox);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(cloud.findNearestIndex(q[i]));
    i = (i + 1) % q.size();
  }
  state.counters["queries_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_NearestPointLinearScan)->Unit(benchmark::kMicrosecond);

void BM_BuildTree(benchmark::State& state) {
  const ZorPointCloud3d& cloud = surfaceCloud();
  for (auto _ : state) {
    const ZorBSP tree(cloud);
    benchmark::DoNotOptimize(tree.nodeCount());
  }
  state.counters["points_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * cloud.size(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BuildTree)->Unit(benchmark::kMillisecond);

}  // namespace
