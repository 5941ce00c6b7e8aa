// Band-pass edge filter: worked examples and random images against the
// arithmetic written out, at every instruction-set level.
#include "filter/EdgeFilter.h"
#include "image/simd/SimdDetector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

Image<unsigned char> constantImage(int rows, int cols, unsigned char value) {
  Image<unsigned char> image(rows, cols);
  image.init(value);
  return image;
}

// out(v, c) = clamp(128 + floor(centre * cw / 65536) + floor(S * sw / 65536)).
int expectedEdge(const Image<unsigned char>& in, int v, int c, int a, int b, double scale) {
  const double k = std::max(a, b) == 23 ? 30375.936 : 32768.0;
  const int64_t sumWeight = static_cast<int64_t>(k * scale / (a * b));
  const int64_t centreWeight = -sumWeight * a * b;
  int64_t sum = 0;
  for (int r = v; r < v + a; ++r) {
    for (int col = c; col < c + b; ++col) sum += in[r][col];
  }
  const int64_t centre = in[v + a / 2][c + b / 2];
  const auto floorDiv = [](int64_t x) { return x >= 0 ? x / 65536 : -((-x + 65535) / 65536); };
  const int64_t value = 128 + floorDiv(centre * centreWeight) + floorDiv(sum * sumWeight);
  return static_cast<int>(std::min<int64_t>(255, std::max<int64_t>(0, value)));
}

TEST(EdgeFilter, ConstantImages) {
  for (const auto& [value, expected] : std::vector<std::pair<int, int>>{{0, 128}, {200, 127}}) {
    const Image<unsigned char> in = constantImage(20, 30, static_cast<unsigned char>(value));
    Image<unsigned char> out(14, 24);
    ASSERT_TRUE(boxEdgeFilter(out, in, 7, 1.0));
    for (int r = 0; r < 14; ++r) {
      for (int c = 0; c < 24; ++c) ASSERT_EQ(out[r][c], expected) << value << " at " << r << ',' << c;
    }
  }
}

TEST(EdgeFilter, IsolatedBrightPixel) {
  Image<unsigned char> in = constantImage(9, 9, 0);
  in[4][4] = 255;
  Image<unsigned char> out(7, 7);
  ASSERT_TRUE(boxEdgeFilter(out, in, 3, 1.0));
  // Centre of the bright pixel is the box with top-left (3, 3).
  EXPECT_EQ(out[3][3], 14);
  // A neighbour sees the bright pixel only in its box sum: above 128.
  EXPECT_EQ(out[2][3], 128 + (255 * 3640 >> 16));
  EXPECT_EQ(out[0][0], 128);
}

struct EdgeCase {
  unsigned rows;
  unsigned cols;
  double scale;
};

TEST(EdgeFilter, RandomImagesMatchArithmeticAtEveryLevel) {
  const EdgeCase cases[] = {{3, 3, 1.0}, {5, 5, 1.0}, {7, 7, 1.0}, {9, 9, 1.0}, {11, 11, 1.0},
                            {3, 7, 1.0}, {7, 3, 2.0}, {1, 5, 1.0}, {5, 1, 0.5}, {23, 5, 1.0},
                            {7, 7, 4.0}, {7, 7, -1.0}};
  std::mt19937 rng(51);
  std::uniform_int_distribution<int> value(0, 255);
  Image<unsigned char> in(37, 75);
  for (int r = 0; r < in.nRows(); ++r) {
    for (int c = 0; c < in.nCols(); ++c) in[r][c] = static_cast<unsigned char>(value(rng));
  }
  // An unaligned view as input, as the pipeline's rectified images may be.
  const Image<unsigned char> view = in.region(1, 3, 35, 71);
  const cpu_extension_t saved = SimdDetector::levelCeiling();
  for (cpu_extension_t level : {CPU_EXTENSION_NONE, CPU_EXTENSION_SSE2, CPU_EXTENSION_AVX2}) {
    SimdDetector::setLevelCeiling(level);
    for (const EdgeCase& e : cases) {
      const int a = static_cast<int>(e.rows), b = static_cast<int>(e.cols);
      Image<unsigned char> out(35 - a + 1, 71 - b + 1);
      ASSERT_TRUE(boxEdgeFilter(out, view, e.rows, e.cols, e.scale));
      for (int r = 0; r < out.nRows(); ++r) {
        for (int c = 0; c < out.nCols(); ++c) {
          ASSERT_EQ(out[r][c], expectedEdge(view, r, c, a, b, e.scale))
              << "mask " << a << 'x' << b << " scale " << e.scale << " level " << level << " at "
              << r << ',' << c;
        }
      }
    }
  }
  SimdDetector::setLevelCeiling(saved);
}

TEST(EdgeFilter, OneByOneMaskFillsOnlyTheView) {
  const Image<unsigned char> in = constantImage(6, 8, 77);
  Image<unsigned char> full = constantImage(8, 10, 5);
  Image<unsigned char> inner = full.region(1, 1, 6, 8);
  ASSERT_TRUE(boxEdgeFilter(inner, in, 1, 1.0));
  for (int r = 0; r < 8; ++r) {
    for (int c = 0; c < 10; ++c) {
      EXPECT_EQ(full[r][c], r >= 1 && r < 7 && c >= 1 && c < 9 ? 128 : 5) << r << ',' << c;
    }
  }
}

TEST(EdgeFilter, UnsupportedMasksAndShortInputsWriteNothing) {
  const Image<unsigned char> in = constantImage(30, 30, 200);
  Image<unsigned char> out = constantImage(30, 30, 9);
  EXPECT_FALSE(boxEdgeFilter(out, in, 13, 1.0));     // 169 > 128
  EXPECT_FALSE(boxEdgeFilter(out, in, 23, 23, 1.0));
  EXPECT_FALSE(boxEdgeFilter(out, in, 0, 3, 1.0));
  EXPECT_FALSE(boxEdgeFilter(out, in, 1u << 31, 2, 1.0));
  const Image<unsigned char> small = constantImage(4, 30, 200);
  EXPECT_TRUE(boxEdgeFilter(out, small, 5, 1.0));
  for (int r = 0; r < 30; ++r) {
    for (int c = 0; c < 30; ++c) ASSERT_EQ(out[r][c], 9);
  }
  // An output larger than the valid region gets only the valid region.
  EXPECT_TRUE(boxEdgeFilter(out, in, 7, 1.0));
  EXPECT_EQ(out[23][23], 127);
  EXPECT_EQ(out[24][23], 9);
  EXPECT_EQ(out[23][24], 9);
}

}  // namespace
