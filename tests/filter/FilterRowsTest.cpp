// The fixed-point row operations: every vector form against the scalar
// reference, and the reference against the arithmetic written out.
#include "filter/FilterRows.h"
#include "image/simd/SimdDetector.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace Stelox;

constexpr int kLengths[] = {0, 1, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 641};
constexpr int kOffsets[] = {0, 1, 5};
constexpr int kGuard = 40;

std::vector<short> randomShorts(std::mt19937& rng, int size) {
  const short extremes[] = {SHRT_MIN, SHRT_MAX, -1, 0, 1};
  std::uniform_int_distribution<int> pick(0, 5);
  std::uniform_int_distribution<int> value(SHRT_MIN, SHRT_MAX);
  std::vector<short> v(size);
  for (short& x : v) x = pick(rng) == 0 ? extremes[value(rng) & 3] : static_cast<short>(value(rng));
  return v;
}

std::vector<unsigned char> randomBytes(std::mt19937& rng, int size) {
  std::uniform_int_distribution<int> value(0, 255);
  std::vector<unsigned char> v(size);
  for (auto& x : v) x = static_cast<unsigned char>(value(rng));
  return v;
}

TEST(FilterRows, PackAndScaleFormsMatchReference) {
  const int scales[] = {0, 1, -1, 7281, 65535, 65536, 65537, -65536, 1 << 20, INT_MAX, INT_MIN,
                        -7281, 123456789};
  std::mt19937 rng(21);
  for (int n : kLengths) {
    for (int offset : kOffsets) {
      const auto src = randomShorts(rng, n + offset + kGuard);
      for (int scale : scales) {
        const std::string what = "n=" + std::to_string(n) + " offset=" + std::to_string(offset) +
                                 " scale=" + std::to_string(scale);
        std::vector<unsigned char> expectedPack(n + offset + kGuard, 0x5a);
        std::vector<short> expectedScale(n + offset + kGuard, 0x5a5a);
        Scalar::row_pack_op(expectedPack.data() + offset, n, src.data() + offset, scale);
        Scalar::row_scale_op(expectedScale.data() + offset, n, src.data() + offset, scale);
        const std::vector<std::pair<const char*, void (*)(unsigned char*, int, const short*, int)>>
            packForms = {{"sse2", Sse2::row_pack_op}, {"exported", row_pack_op}};
        for (const auto& [name, form] : packForms) {
          std::vector<unsigned char> got(n + offset + kGuard, 0x5a);
          form(got.data() + offset, n, src.data() + offset, scale);
          EXPECT_EQ(got, expectedPack) << "row_pack_op " << name << ' ' << what;
        }
        const std::vector<std::pair<const char*, void (*)(short*, int, const short*, int)>>
            scaleForms = {{"sse2", Sse2::row_scale_op}, {"exported", row_scale_op}};
        for (const auto& [name, form] : scaleForms) {
          std::vector<short> got(n + offset + kGuard, 0x5a5a);
          form(got.data() + offset, n, src.data() + offset, scale);
          EXPECT_EQ(got, expectedScale) << "row_scale_op " << name << ' ' << what;
        }
      }
    }
  }
}

TEST(FilterRows, BandpassFormsMatchReference) {
  using Fn = void (*)(unsigned char*, int, const unsigned char*, int, const short*, int);
  const std::vector<std::pair<const char*, Fn>> forms = {
      {"sse2", Sse2::row_bandpass_op}, {"avx2", Avx2::row_bandpass_op}, {"exported", row_bandpass_op}};
  // Weights of the edge filter (3x3, 7x7, 11x11 at scale 1, 7x7 at scale 2) and
  // the ends of the 16-bit range.
  const std::pair<int, int> weights[] = {{-32760, 3640}, {-32732, 668}, {-32670, 270},
                                         {-65464, 1336}, {-32768, 32767}, {32767, -32768},
                                         {0, 0}};
  const bool avx2 = SimdDetector().avx2Detected();
  std::mt19937 rng(22);
  for (int n : kLengths) {
    for (int offset : kOffsets) {
      const auto centre = randomBytes(rng, n + offset + kGuard);
      const auto sums = randomShorts(rng, n + offset + kGuard);
      for (const auto& [centreWeight, sumWeight] : weights) {
        const std::string what = "n=" + std::to_string(n) + " offset=" + std::to_string(offset) +
                                 " weights=" + std::to_string(centreWeight) + "," +
                                 std::to_string(sumWeight);
        std::vector<unsigned char> expected(n + offset + kGuard, 0x77);
        Scalar::row_bandpass_op(expected.data() + offset, n, centre.data() + offset, centreWeight,
                                sums.data() + offset, sumWeight);
        const bool wordWeights = centreWeight >= -32768 && centreWeight <= 32767;
        for (const auto& [name, form] : forms) {
          const std::string formName = name;
          // The vector forms themselves need 16-bit weights; the exported
          // function takes any.
          if (formName != "exported" && !wordWeights) continue;
          if (formName == "avx2" && !avx2) continue;
          std::vector<unsigned char> got(n + offset + kGuard, 0x77);
          form(got.data() + offset, n, centre.data() + offset, centreWeight, sums.data() + offset,
               sumWeight);
          EXPECT_EQ(got, expected) << name << ' ' << what;
        }
      }
    }
  }
}

TEST(FilterRows, ReferenceArithmeticRoundsDownAndClamps) {
  // (src * scale) >> 16 rounds towards minus infinity.
  const short src[] = {36, 2295, -1, -36, 300, SHRT_MIN};
  unsigned char packed[6];
  row_pack_op(packed, 6, src, 7281);
  EXPECT_EQ(std::vector<int>(packed, packed + 6), (std::vector<int>{3, 254, 0, 0, 33, 0}));
  row_pack_op(packed, 6, src, 65536 * 2);
  EXPECT_EQ(std::vector<int>(packed, packed + 6), (std::vector<int>{72, 255, 0, 0, 255, 0}));

  short scaled[6];
  row_scale_op(scaled, 6, src, 7281);
  EXPECT_EQ(std::vector<int>(scaled, scaled + 6), (std::vector<int>{3, 254, -1, -4, 33, -3641}));
  // Kept as 16 bits: 20000 * 4 wraps.
  const short big[] = {20000};
  row_scale_op(scaled, 1, big, 4 * 65536);
  EXPECT_EQ(scaled[0], static_cast<short>(80000 - 65536));

  // 7x7 edge weights on a constant 200: 128 - 100 + 99.
  const unsigned char centre[] = {200, 0, 255, 255};
  const short sums[] = {9800, 0, 255, 0};
  unsigned char edge[4];
  row_bandpass_op(edge, 2, centre, -32732, sums, 668);
  EXPECT_EQ(edge[0], 127);
  EXPECT_EQ(edge[1], 128);
  // Isolated bright pixel under a 3x3 mask: 128 - 128 + 14; and a clamp at 0.
  row_bandpass_op(edge + 2, 2, centre + 2, -32760, sums + 2, 3640);
  EXPECT_EQ(edge[2], 14);
  EXPECT_EQ(edge[3], 0);
}

TEST(FilterRows, NonPositiveCountsWriteNothing) {
  unsigned char bytes[4] = {9, 9, 9, 9};
  short words[4] = {9, 9, 9, 9};
  const short src[4] = {1000, 1000, 1000, 1000};
  const unsigned char centre[4] = {1, 2, 3, 4};
  for (int n : {0, -1, INT_MIN}) {
    row_pack_op(bytes, n, src, 65536);
    row_scale_op(words, n, src, 65536);
    row_bandpass_op(bytes, n, centre, -32768, src, 100);
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(bytes[i], 9);
    EXPECT_EQ(words[i], 9);
  }
}

}  // namespace
