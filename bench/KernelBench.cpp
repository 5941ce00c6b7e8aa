// Row kernels: each form of the two kernels whose form the caller chooses
// (running box sum, running minimum) beside the scalar reference, on one
// 640-element row.
#include "image/simd/RowKernels.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int kCols = 640;

enum Form { kScalar, kMmx, kSse2 };

void BoxAddSub16(benchmark::State& state) {
  const Form form = static_cast<Form>(state.range(0));
  std::vector<unsigned char> add(kCols), sub(kCols);
  for (int i = 0; i < kCols; ++i) {
    add[i] = static_cast<unsigned char>(i * 7);
    sub[i] = static_cast<unsigned char>(i * 13);
  }
  std::vector<unsigned short> out(kCols);
  for (auto _ : state) {
    if (form == kScalar) Stelox::Scalar::box_add_sub16(out.data(), 1000, add.data(), sub.data(), kCols);
    if (form == kMmx) box_add_sub16_mmx(out.data(), 1000, add.data(), sub.data(), kCols);
    if (form == kSse2) box_add_sub16_sse2(out.data(), 1000, add.data(), sub.data(), kCols);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kCols);
}

void StereoMin(benchmark::State& state) {
  const Form form = static_cast<Form>(state.range(0));
  std::vector<unsigned short> minScore(kCols, 0xffff), score(kCols);
  std::vector<unsigned char> minDisp(kCols);
  for (int i = 0; i < kCols; ++i) score[i] = static_cast<unsigned short>(i * 977);
  unsigned char d = 0;
  for (auto _ : state) {
    if (form == kScalar) Stelox::Scalar::stereo_min(minScore.data(), minDisp.data(), score.data(), d, kCols);
    if (form == kMmx) stereo_min_mmx(minScore.data(), minDisp.data(), score.data(), d, kCols);
    if (form == kSse2) stereo_min_sse2(minScore.data(), minDisp.data(), score.data(), d, kCols);
    ++d;
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kCols);
}

}  // namespace

BENCHMARK(BoxAddSub16)->ArgName("form")->Arg(kScalar)->Arg(kMmx)->Arg(kSse2);
BENCHMARK(StereoMin)->ArgName("form")->Arg(kScalar)->Arg(kMmx)->Arg(kSse2);
