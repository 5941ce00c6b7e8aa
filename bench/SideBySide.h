// Helpers shared by the benchmarks that compare our code with OpenCV.
#pragma once

#include <benchmark/benchmark.h>

#include <ctime>

// Processor time of the calling thread in seconds: unlike wall time it stays
// comparable when other processes load the machine.
inline double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Runs setup.ours() and setup.opencv() alternately in one loop, timing each on
// the thread clock, and reports both times per call and their ratio.
template <typename Setup>
void reportSideBySide(benchmark::State& state, Setup& setup) {
  double oursTime = 0.0, opencvTime = 0.0;
  for (auto _ : state) {
    const double t0 = threadSeconds();
    setup.ours();
    benchmark::ClobberMemory();
    const double t1 = threadSeconds();
    setup.opencv();
    benchmark::ClobberMemory();
    const double t2 = threadSeconds();
    oursTime += t1 - t0;
    opencvTime += t2 - t1;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["ours_us"] = 1e6 * oursTime / n;
  state.counters["opencv_us"] = 1e6 * opencvTime / n;
  state.counters["opencv_over_ours"] = opencvTime / oursTime;
}
