// Grey conversion: the two column formulas, every form against the scalar
// reference, the primitive's status codes and convertToMono on views.
#include "filter/MonoConversion.h"
#include "image/simd/SimdDetector.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace Stelox;

// The two formulas, written out independently of the library.
int blockedGrey(int b0, int b1, int b2) {
  return (9798 * b0 / 256 + 19235 * b1 / 256 + 3736 * b2 / 256 + 64) >> 7;
}
int remainderGrey(int b0, int b1, int b2) {
  return (9798 * b0 + 19235 * b1 + 3736 * b2 + 16384) >> 15;
}

std::vector<unsigned char> randomPixels(std::mt19937& rng, int pixels) {
  std::uniform_int_distribution<int> value(0, 255);
  std::vector<unsigned char> bytes(4 * pixels);
  for (auto& b : bytes) b = static_cast<unsigned char>(value(rng) < 16 ? 255 : value(rng));
  return bytes;
}

TEST(MonoConversion, FormulasByColumn) {
  std::mt19937 rng(31);
  // Find a pixel on which the formulas differ, so the column split shows.
  int diff[3] = {0, 0, 0};
  std::uniform_int_distribution<int> value(0, 255);
  for (;;) {
    diff[0] = value(rng), diff[1] = value(rng), diff[2] = value(rng);
    if (blockedGrey(diff[0], diff[1], diff[2]) != remainderGrey(diff[0], diff[1], diff[2])) break;
  }
  for (int cols : {1, 7, 8, 9, 13, 16, 23, 24, 25}) {
    std::vector<unsigned char> src(4 * cols);
    for (int i = 0; i < cols; ++i) {
      src[4 * i] = static_cast<unsigned char>(diff[0]);
      src[4 * i + 1] = static_cast<unsigned char>(diff[1]);
      src[4 * i + 2] = static_cast<unsigned char>(diff[2]);
      src[4 * i + 3] = static_cast<unsigned char>(i * 37);
    }
    std::vector<unsigned char> grey(cols);
    ASSERT_EQ(ippiRGBToGray_8u_AC4C1R(src.data(), 4 * cols, grey.data(), cols, {cols, 1}), 0);
    for (int i = 0; i < cols; ++i) {
      const int expected = i < cols / 8 * 8 ? blockedGrey(diff[0], diff[1], diff[2])
                                            : remainderGrey(diff[0], diff[1], diff[2]);
      EXPECT_EQ(grey[i], expected) << "cols=" << cols << " column " << i;
    }
  }
}

TEST(MonoConversion, WorkedExamplesInBothColumnRanges) {
  // (b0, b1, b2) = (255, 255, 255) -> 255 and (255, 0, 0) -> 76, both formulas.
  for (const auto& [b0, b1, b2, expected] :
       std::vector<std::array<int, 4>>{{255, 255, 255, 255}, {255, 0, 0, 76}, {0, 0, 0, 0}}) {
    std::vector<unsigned char> src;
    for (int i = 0; i < 11; ++i) {
      src.insert(src.end(), {static_cast<unsigned char>(b0), static_cast<unsigned char>(b1),
                             static_cast<unsigned char>(b2), 0x99});
    }
    std::vector<unsigned char> grey(11);
    ippiRGBToGray_8u_AC4C1R(src.data(), 44, grey.data(), 11, {11, 1});
    for (int i = 0; i < 11; ++i) EXPECT_EQ(grey[i], expected) << "column " << i;
  }
}

TEST(MonoConversion, FormsMatchReference) {
  std::vector<std::pair<const char*, GreyRowFunction>> forms = {{"sse2", Sse2::greyRow}};
  if (SimdDetector().avx2Detected()) forms.push_back({"avx2", Avx2::greyRow});
  std::mt19937 rng(32);
  for (int cols = 0; cols <= 70; ++cols) {
    for (int offset : {0, 1, 3}) {
      const auto src = randomPixels(rng, cols + offset);
      std::vector<unsigned char> expected(cols + offset + 32, 0xcd);
      Scalar::greyRow(src.data() + 4 * offset, expected.data() + offset, cols);
      for (const auto& [name, form] : forms) {
        std::vector<unsigned char> got(cols + offset + 32, 0xcd);
        form(src.data() + 4 * offset, got.data() + offset, cols);
        EXPECT_EQ(got, expected) << name << " cols=" << cols << " offset=" << offset;
      }
    }
  }
}

TEST(MonoConversion, PrimitiveStatusAndNothingWrittenOnError) {
  const unsigned char src[32] = {255, 255, 255, 0};
  unsigned char dst[8] = {7, 7, 7, 7, 7, 7, 7, 7};
  EXPECT_EQ(ippiRGBToGray_8u_AC4C1R(nullptr, 32, dst, 8, {8, 1}), GreyStatusNullPointer);
  EXPECT_EQ(ippiRGBToGray_8u_AC4C1R(src, 32, nullptr, 8, {8, 1}), GreyStatusNullPointer);
  EXPECT_EQ(ippiRGBToGray_8u_AC4C1R(src, 32, dst, 8, {0, 1}), GreyStatusSizeError);
  EXPECT_EQ(ippiRGBToGray_8u_AC4C1R(src, 32, dst, 8, {8, -1}), GreyStatusSizeError);
  for (unsigned char v : dst) EXPECT_EQ(v, 7);
  EXPECT_EQ(ippiRGBToGray_8u_AC4C1R(src, 32, dst, 8, {1, 1}), GreyStatusOk);
  EXPECT_EQ(dst[0], 255);
  EXPECT_EQ(dst[1], 7);
}

TEST(MonoConversion, ConvertToMonoOnPaddedViewsAtEveryLevel) {
  std::mt19937 rng(33);
  Image<Pixel8x4> colourFull(21, 53);
  std::uniform_int_distribution<int> value(0, 255);
  for (int r = 0; r < colourFull.nRows(); ++r) {
    for (int c = 0; c < colourFull.nCols(); ++c) {
      for (auto& ch : colourFull[r][c].channel) ch = static_cast<unsigned char>(value(rng));
    }
  }
  // An unaligned sub-view of the colour image into an unaligned mono view.
  const Image<Pixel8x4> colour = colourFull.region(2, 3, 17, 45);
  const cpu_extension_t saved = SimdDetector::levelCeiling();
  for (cpu_extension_t level : {CPU_EXTENSION_NONE, CPU_EXTENSION_SSE2, CPU_EXTENSION_AVX2}) {
    SimdDetector::setLevelCeiling(level);
    Image<unsigned char> monoFull(20, 50);
    monoFull.init(9);
    Image<unsigned char> mono = monoFull.region(1, 1, 17, 45);
    convertToMono(mono, colour);
    for (int r = 0; r < 20; ++r) {
      for (int c = 0; c < 50; ++c) {
        const bool inside = r >= 1 && r < 18 && c >= 1 && c < 46;
        int expected = 9;
        if (inside) {
          const auto& p = colour[r - 1][c - 1].channel;
          expected = c - 1 < 40 ? blockedGrey(p[0], p[1], p[2]) : remainderGrey(p[0], p[1], p[2]);
        }
        ASSERT_EQ(monoFull[r][c], expected) << "level " << level << " at " << r << ',' << c;
      }
    }
  }
  SimdDetector::setLevelCeiling(saved);
}

TEST(MonoConversion, ConvertToMonoStaysInsideTheSmallerImage) {
  Image<Pixel8x4> colour(3, 4);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) colour[r][c] = Pixel8x4{{255, 255, 255, 255}};
  }
  Image<unsigned char> monoFull(6, 10);
  Image<unsigned char> mono = monoFull.region(0, 0, 5, 9);
  convertToMono(mono, colour);
  for (int r = 0; r < 6; ++r) {
    for (int c = 0; c < 10; ++c) {
      EXPECT_EQ(monoFull[r][c], r < 3 && c < 4 ? 255 : 0) << r << ',' << c;
    }
  }
}

}  // namespace
