#include "stelox.h"

#include <benchmark/benchmark.h>

static void BM_ErrorToString(benchmark::State& state) {
  int code = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(steloxErrorToString(static_cast<SteloxError>(code)));
    code = (code + 1) % 64;
  }
}
BENCHMARK(BM_ErrorToString);
