// Every vector form of the row kernels against the scalar reference, bit for
// bit, over lengths around the block sizes, unaligned starts and edge values;
// the reference itself against worked examples.
#include "image/simd/RowKernels.h"
#include "image/simd/SimdDetector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace Stelox;

constexpr int kLengths[] = {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 257};
constexpr int kOffsets[] = {0, 1, 3};
constexpr int kGuard = 48;  // elements after n that no form may touch

// Random samples with the extremes of the type over-represented, so that
// saturation, wrap-around and sign flips occur in every row.
template <typename T>
std::vector<T> randomRow(std::mt19937& rng, int size) {
  const T extremes[] = {0, 1, std::numeric_limits<T>::max(), static_cast<T>(std::numeric_limits<T>::max() / 2),
                        static_cast<T>(std::numeric_limits<T>::max() / 2 + 1)};
  std::uniform_int_distribution<int> pick(0, 7);
  std::uniform_int_distribution<unsigned> value(0, std::numeric_limits<T>::max());
  std::vector<T> row(size);
  for (T& v : row) v = pick(rng) == 0 ? extremes[value(rng) % 5] : static_cast<T>(value(rng));
  return row;
}

// Runs check(n, offset, label) over every length and unaligned start.
void forEachShape(const std::function<void(int, int, const std::string&)>& check) {
  for (int n : kLengths) {
    for (int offset : kOffsets) {
      check(n, offset, "n=" + std::to_string(n) + " offset=" + std::to_string(offset));
    }
  }
}

using Dst16Src16Src8Src8 = std::function<void(unsigned short*, const unsigned short*,
                                              const unsigned char*, const unsigned char*, int)>;
using Dst16Src16x3 = std::function<void(unsigned short*, const unsigned short*,
                                        const unsigned short*, const unsigned short*, int)>;
using Bytes3 = std::function<void(unsigned char*, const unsigned char*, const unsigned char*, int)>;

TEST(RowKernels, BoxAddSub16FormsMatchReference) {
  using Fn = std::function<void(unsigned short*, unsigned, const unsigned char*,
                                const unsigned char*, int)>;
  const std::vector<std::pair<const char*, Fn>> forms = {
      {"mmx", box_add_sub16_mmx},
      {"sse2", box_add_sub16_sse2},
      {"exported(mmx)", [](auto... a) { box_add_sub16(a..., false); }},
      {"exported(sse2)", [](auto... a) { box_add_sub16(a..., true); }}};
  std::mt19937 rng(11);
  forEachShape([&](int n, int offset, const std::string& shape) {
    const auto add = randomRow<unsigned char>(rng, n + offset);
    const auto sub = randomRow<unsigned char>(rng, n + offset);
    for (unsigned sum : {0u, 65535u, 70000u, 123u}) {
      std::vector<unsigned short> expected(n + offset + kGuard, 0xABCD);
      Scalar::box_add_sub16(expected.data() + offset, sum, add.data() + offset,
                            sub.data() + offset, n);
      for (const auto& [name, form] : forms) {
        std::vector<unsigned short> got(n + offset + kGuard, 0xABCD);
        form(got.data() + offset, sum, add.data() + offset, sub.data() + offset, n);
        EXPECT_EQ(got, expected) << name << ' ' << shape << " sum=" << sum;
      }
    }
  });
}

TEST(RowKernels, BoxAddSubPtrFormsMatchReference) {
  const std::vector<std::pair<const char*, Dst16Src16Src8Src8>> forms8 = {
      {"sse2", Sse2::box_add_sub8ptr}, {"exported", box_add_sub8ptr}};
  const std::vector<std::pair<const char*, Dst16Src16x3>> forms16 = {
      {"sse2", Sse2::box_add_sub16ptr}, {"exported", box_add_sub16ptr}};
  std::mt19937 rng(12);
  forEachShape([&](int n, int offset, const std::string& shape) {
    const int size = n + offset + kGuard;
    const auto src = randomRow<unsigned short>(rng, size);
    const auto add8 = randomRow<unsigned char>(rng, size);
    const auto sub8 = randomRow<unsigned char>(rng, size);
    const auto add16 = randomRow<unsigned short>(rng, size);
    const auto sub16 = randomRow<unsigned short>(rng, size);
    std::vector<unsigned short> expected8(size, 7), expected16(size, 7);
    Scalar::box_add_sub8ptr(expected8.data() + offset, src.data() + offset, add8.data() + offset,
                            sub8.data() + offset, n);
    Scalar::box_add_sub16ptr(expected16.data() + offset, src.data() + offset,
                             add16.data() + offset, sub16.data() + offset, n);
    for (const auto& [name, form] : forms8) {
      std::vector<unsigned short> got(size, 7);
      form(got.data() + offset, src.data() + offset, add8.data() + offset, sub8.data() + offset, n);
      EXPECT_EQ(got, expected8) << "box_add_sub8ptr " << name << ' ' << shape;
    }
    for (const auto& [name, form] : forms16) {
      std::vector<unsigned short> got(size, 7);
      form(got.data() + offset, src.data() + offset, add16.data() + offset,
           sub16.data() + offset, n);
      EXPECT_EQ(got, expected16) << "box_add_sub16ptr " << name << ' ' << shape;
      // In place, as the box filter updates its single column-sum row.
      std::vector<unsigned short> inPlace = src;
      form(inPlace.data() + offset, inPlace.data() + offset, add16.data() + offset,
           sub16.data() + offset, n);
      std::vector<unsigned short> expectedInPlace = src;
      std::copy(expected16.begin() + offset, expected16.begin() + offset + n,
                expectedInPlace.begin() + offset);
      EXPECT_EQ(inPlace, expectedInPlace) << "box_add_sub16ptr in place " << name << ' ' << shape;
    }
  });
}

TEST(RowKernels, Box8x4HfilterFormsMatchReference) {
  using Fn = std::function<void(unsigned short*, const unsigned char*, int, int)>;
  const std::vector<std::pair<const char*, Fn>> forms = {{"sse2", Sse2::box8x4_hfilter},
                                                         {"exported", box8x4_hfilter}};
  std::mt19937 rng(13);
  forEachShape([&](int n, int offset, const std::string& shape) {
    for (int k : {-1, 0, 1, 2, 3, 7, 16}) {
      const int pixels = n + std::max(k, 0) + offset;
      const auto in = randomRow<unsigned char>(rng, 4 * pixels);
      std::vector<unsigned short> expected(4 * (n + offset) + kGuard, 0x5555);
      Scalar::box8x4_hfilter(expected.data() + 4 * offset, in.data() + 4 * offset, n, k);
      for (const auto& [name, form] : forms) {
        std::vector<unsigned short> got(expected.size(), 0x5555);
        form(got.data() + 4 * offset, in.data() + 4 * offset, n, k);
        EXPECT_EQ(got, expected) << name << ' ' << shape << " k=" << k;
      }
    }
  });
}

TEST(RowKernels, AbsDiffFormsMatchReference) {
  struct Kernel {
    const char* name;
    Bytes3 reference;
    std::vector<std::pair<const char*, Bytes3>> forms;
  };
  const Kernel kernels[] = {
      {"abs_diff", Scalar::abs_diff, {{"sse2", Sse2::abs_diff}, {"exported", abs_diff}}},
      {"acc_abs_diff",
       Scalar::acc_abs_diff,
       {{"sse2", Sse2::acc_abs_diff}, {"exported", acc_abs_diff}}},
      {"acc_abs_diff_over2",
       Scalar::acc_abs_diff_over2,
       {{"sse2", Sse2::acc_abs_diff_over2}, {"exported", acc_abs_diff_over2}}}};
  std::mt19937 rng(14);
  forEachShape([&](int n, int offset, const std::string& shape) {
    const int size = n + offset + kGuard;
    const auto a = randomRow<unsigned char>(rng, size);
    const auto b = randomRow<unsigned char>(rng, size);
    const auto acc = randomRow<unsigned char>(rng, size);
    for (const Kernel& kernel : kernels) {
      std::vector<unsigned char> expected = acc;
      kernel.reference(expected.data() + offset, a.data() + offset, b.data() + offset, n);
      for (const auto& [name, form] : kernel.forms) {
        std::vector<unsigned char> got = acc;
        form(got.data() + offset, a.data() + offset, b.data() + offset, n);
        EXPECT_EQ(got, expected) << kernel.name << ' ' << name << ' ' << shape;
      }
    }
  });
}

// Feeds random score rows for d = 0 .. 40 (scores drawn from a small range so
// that ties and repeats are frequent) to the reference and to one form.
TEST(RowKernels, StereoMinFormsMatchReference) {
  using MinFn = std::function<void(unsigned short*, unsigned char*, const unsigned short*,
                                   unsigned char, int)>;
  using SubpixFn = std::function<void(unsigned short*, unsigned char*, unsigned short*,
                                      unsigned short*, const unsigned short*,
                                      const unsigned short*, unsigned char, int)>;
  const std::vector<std::pair<const char*, MinFn>> minForms = {
      {"mmx", stereo_min_mmx},
      {"sse2", stereo_min_sse2},
      {"exported(mmx)", [](auto... a) { stereo_min(a..., false); }},
      {"exported(sse2)", [](auto... a) { stereo_min(a..., true); }}};
  const std::vector<std::pair<const char*, SubpixFn>> subpixForms = {
      {"mmx", stereo_min_mmx_subpix},
      {"sse2", stereo_min_sse2_subpix},
      {"exported(mmx)", [](auto... a) { stereo_min_subpix(a..., false); }},
      {"exported(sse2)", [](auto... a) { stereo_min_subpix(a..., true); }}};
  std::mt19937 rng(15);
  forEachShape([&](int n, int offset, const std::string& shape) {
    const int size = n + offset + kGuard;
    std::vector<std::vector<unsigned short>> scores;
    std::uniform_int_distribution<int> small(0, 5);
    for (int d = 0; d <= 40; ++d) {
      auto row = randomRow<unsigned short>(rng, size);
      if (d % 2 == 0) {
        for (auto& v : row) v = static_cast<unsigned short>(0x7ffe + small(rng));
      }
      scores.push_back(row);
    }
    // Random start values, so that many pixels keep their minimum at d = 0 and
    // stored disparities include 255, the byte value of "d - 1" at d = 0.
    const auto startDisp = randomRow<unsigned char>(rng, size);
    const auto startScore = randomRow<unsigned short>(rng, size);
    const auto startBefore = randomRow<unsigned short>(rng, size);
    const auto startAfter = randomRow<unsigned short>(rng, size);

    for (const auto& [name, form] : minForms) {
      auto refScore = startScore, gotScore = startScore;
      auto refDisp = startDisp, gotDisp = startDisp;
      for (int d = 0; d <= 40; ++d) {
        const auto dd = static_cast<unsigned char>(d);
        Scalar::stereo_min(refScore.data() + offset, refDisp.data() + offset,
                           scores[d].data() + offset, dd, n);
        form(gotScore.data() + offset, gotDisp.data() + offset, scores[d].data() + offset, dd, n);
      }
      EXPECT_EQ(gotScore, refScore) << "stereo_min " << name << ' ' << shape;
      EXPECT_EQ(gotDisp, refDisp) << "stereo_min " << name << ' ' << shape;
    }
    for (const auto& [name, form] : subpixForms) {
      auto refScore = startScore, gotScore = startScore;
      auto refDisp = startDisp, gotDisp = startDisp;
      auto refBefore = startBefore, gotBefore = startBefore;
      auto refAfter = startAfter, gotAfter = startAfter;
      for (int d = 0; d <= 40; ++d) {
        const auto dd = static_cast<unsigned char>(d);
        const auto& previous = scores[d > 0 ? d - 1 : 0];
        Scalar::stereo_min_subpix(refScore.data() + offset, refDisp.data() + offset,
                                  refBefore.data() + offset, refAfter.data() + offset,
                                  previous.data() + offset, scores[d].data() + offset, dd, n);
        form(gotScore.data() + offset, gotDisp.data() + offset, gotBefore.data() + offset,
             gotAfter.data() + offset, previous.data() + offset, scores[d].data() + offset, dd, n);
      }
      EXPECT_EQ(gotScore, refScore) << "stereo_min_subpix " << name << ' ' << shape;
      EXPECT_EQ(gotDisp, refDisp) << "stereo_min_subpix " << name << ' ' << shape;
      EXPECT_EQ(gotBefore, refBefore) << "stereo_min_subpix " << name << ' ' << shape;
      EXPECT_EQ(gotAfter, refAfter) << "stereo_min_subpix " << name << ' ' << shape;
    }
  });
}

TEST(RowKernels, PlainRowArithmeticWrapsModulo65536) {
  const unsigned short a[] = {0, 65535, 40000, 5};
  const unsigned short b[] = {1, 1, 30000, 5};
  unsigned short sum[4], difference[4], copy[4];
  row_add(sum, a, b, 4);
  row_sub(difference, a, b, 4);
  row_copy16(copy, a, 4);
  EXPECT_EQ(std::vector<unsigned short>(sum, sum + 4), (std::vector<unsigned short>{1, 0, 4464, 10}));
  EXPECT_EQ(std::vector<unsigned short>(difference, difference + 4),
            (std::vector<unsigned short>{65535, 65534, 10000, 0}));
  EXPECT_EQ(std::vector<unsigned short>(copy, copy + 4), std::vector<unsigned short>(a, a + 4));
  unsigned char bytes[3] = {1, 2, 3};
  const unsigned char source[3] = {9, 8, 7};
  row_copy8(bytes, source, 2);
  EXPECT_EQ(bytes[0], 9);
  EXPECT_EQ(bytes[1], 8);
  EXPECT_EQ(bytes[2], 3);
}

// Null rows prove that nothing is read or written.
TEST(RowKernels, NonPositiveCountsTouchNothing) {
  for (int n : {0, -1, -8, std::numeric_limits<int>::min()}) {
    row_add(nullptr, nullptr, nullptr, n);
    row_sub(nullptr, nullptr, nullptr, n);
    row_copy8(nullptr, nullptr, n);
    row_copy16(nullptr, nullptr, n);
    box_add_sub16(nullptr, 5, nullptr, nullptr, n, false);
    box_add_sub16(nullptr, 5, nullptr, nullptr, n, true);
    box_add_sub8ptr(nullptr, nullptr, nullptr, nullptr, n);
    box_add_sub16ptr(nullptr, nullptr, nullptr, nullptr, n);
    box8x4_hfilter(nullptr, nullptr, n, 1);
    box8x4_hfilter(nullptr, nullptr, 1, n);
    abs_diff(nullptr, nullptr, nullptr, n);
    acc_abs_diff(nullptr, nullptr, nullptr, n);
    acc_abs_diff_over2(nullptr, nullptr, nullptr, n);
    for (bool sse2 : {false, true}) {
      stereo_min(nullptr, nullptr, nullptr, 3, n, sse2);
      stereo_min_subpix(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 3, n, sse2);
    }
    extract_red(nullptr, n, nullptr);
    extract_grn(nullptr, n, nullptr);
    extract_blu(nullptr, n, nullptr);
    extract_rgb(nullptr, nullptr, nullptr, n, nullptr);
  }
  SUCCEED();
}

TEST(RowKernels, WorkedExamples) {
  const unsigned char add[] = {5, 0};
  const unsigned char sub[] = {1, 2};
  for (bool sse2 : {false, true}) {
    unsigned short out[2] = {};
    box_add_sub16(out, 10, add, sub, 2, sse2);
    EXPECT_EQ(out[0], 14);
    EXPECT_EQ(out[1], 12);
  }

  // Channel 0 of four pixels holds 1, 2, 3, 4; channel 3 holds 255 each.
  const unsigned char pixels[] = {1, 0, 0, 255, 2, 0, 0, 255, 3, 0, 0, 255, 4, 0, 0, 255};
  unsigned short sums[12];
  std::fill(std::begin(sums), std::end(sums), 0xEEEE);
  box8x4_hfilter(sums, pixels, 3, 2);
  EXPECT_EQ(sums[0], 3);
  EXPECT_EQ(sums[4], 5);
  EXPECT_EQ(sums[8], 7);
  EXPECT_EQ(sums[11], 510);
  std::fill(std::begin(sums), std::end(sums), 0xEEEE);
  box8x4_hfilter(sums, pixels, 2, 3);
  for (unsigned short s : sums) EXPECT_EQ(s, 0xEEEE) << "n < k writes nothing";
}

TEST(RowKernels, AbsoluteDifferenceEdgeValues) {
  const unsigned char a[] = {0, 255, 200, 10, 255};
  const unsigned char b[] = {255, 0, 100, 10, 255};
  unsigned char diff[5];
  abs_diff(diff, a, b, 5);
  EXPECT_EQ(std::vector<int>(diff, diff + 5), (std::vector<int>{255, 255, 100, 0, 0}));

  unsigned char acc[5] = {1, 0, 200, 255, 7};
  acc_abs_diff(acc, a, b, 5);
  EXPECT_EQ(std::vector<int>(acc, acc + 5), (std::vector<int>{255, 255, 255, 255, 7}));

  unsigned char half[5] = {255, 0, 200, 255, 7};
  acc_abs_diff_over2(half, a, b, 5);
  EXPECT_EQ(std::vector<int>(half, half + 5), (std::vector<int>{255, 127, 150, 127, 3}));
}

TEST(RowKernels, StereoMinKeepsFirstDisparityOfEqualScores) {
  for (bool sse2 : {false, true}) {
    unsigned short minScore[1] = {0xffff};
    unsigned char minDisp[1] = {0};
    const unsigned short score[1] = {500};
    stereo_min(minScore, minDisp, score, 3, 1, sse2);
    stereo_min(minScore, minDisp, score, 4, 1, sse2);
    EXPECT_EQ(minDisp[0], 3);
    // Unsigned comparison: 0x8000 is larger than 0x7fff.
    const unsigned short high[1] = {0x8000};
    const unsigned short low[1] = {0x7fff};
    minScore[0] = 0xffff;
    stereo_min(minScore, minDisp, high, 1, 1, sse2);
    stereo_min(minScore, minDisp, low, 2, 1, sse2);
    EXPECT_EQ(minScore[0], 0x7fff);
    EXPECT_EQ(minDisp[0], 2);
  }
}

TEST(RowKernels, StereoMinSubpixKeepsNeighbourScores) {
  // Scores of one pixel over d = 0..3: the minimum at d = 1.
  const unsigned short byDisparity[4] = {40, 10, 30, 50};
  for (bool sse2 : {false, true}) {
    // The stored minimum 35 survives d = 0, where the stored disparity 255 must
    // not be taken for d - 1.
    unsigned short minScore[1] = {35}, before[1] = {0}, after[1] = {0};
    unsigned char minDisp[1] = {255};
    for (int d = 0; d < 4; ++d) {
      const unsigned short* previous = &byDisparity[d > 0 ? d - 1 : 0];
      stereo_min_subpix(minScore, minDisp, before, after, previous, &byDisparity[d],
                        static_cast<unsigned char>(d), 1, sse2);
      if (d == 0) {
        EXPECT_EQ(after[0], 0) << "no disparity precedes 0";
      }
    }
    EXPECT_EQ(minDisp[0], 1);
    EXPECT_EQ(minScore[0], 10);
    EXPECT_EQ(before[0], 40);
    EXPECT_EQ(after[0], 30);
  }
}

}  // namespace

extern "C" int steloxKernelsFromC(void);

TEST(RowKernels, CallableFromC) { EXPECT_EQ(steloxKernelsFromC(), 1); }
