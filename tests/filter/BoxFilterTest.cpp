// Streaming box sums and the box mean filter against sums computed directly.
#include "filter/BoxFilter.h"
#include "image/simd/SimdDetector.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

Image<unsigned char> randomImage(std::mt19937& rng, int rows, int cols) {
  Image<unsigned char> image(rows, cols);
  std::uniform_int_distribution<int> value(0, 255);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) image[r][c] = static_cast<unsigned char>(value(rng));
  }
  return image;
}

unsigned boxSum(const Image<unsigned char>& in, int top, int left, int maskRows, int maskCols) {
  unsigned s = 0;
  for (int r = top; r < top + maskRows; ++r) {
    for (int c = left; c < left + maskCols; ++c) s += in[r][c];
  }
  return s;
}

TEST(BoxFilter, AddReturnsTheCompletedRow) {
  Image<unsigned short> columnSums = Image<unsigned short>::constImage(4, 8, 0);
  Image<unsigned char> in(6, 10);
  BoxFilter filter;
  filter.reset(columnSums, 3, 3);
  std::vector<int> returned;
  for (int r = 0; r < 6; ++r) returned.push_back(filter.add(in[r], 10, true));
  EXPECT_EQ(returned, (std::vector<int>{-2, -1, 0, 1, 2, 3}));

  // One row high: every row completes a box.
  filter.reset(columnSums, 1, 3);
  returned.clear();
  for (int r = 0; r < 3; ++r) returned.push_back(filter.add(in[r], 10, true));
  EXPECT_EQ(returned, (std::vector<int>{0, 1, 2}));
}

struct Mask {
  unsigned rows;
  unsigned cols;
};

// Column sums over random images, both running-sum forms, every level, into a
// one-row accumulator (row increment 0) and into a full image.
TEST(BoxFilter, SumsMatchDirectSums) {
  std::mt19937 rng(41);
  const Mask masks[] = {{1, 1}, {1, 5}, {4, 1}, {2, 2}, {3, 3}, {3, 7}, {7, 3}, {11, 11}, {16, 16}};
  const cpu_extension_t saved = SimdDetector::levelCeiling();
  for (cpu_extension_t level : {CPU_EXTENSION_NONE, CPU_EXTENSION_AVX2}) {
    SimdDetector::setLevelCeiling(level);
    for (const Mask& mask : masks) {
      for (const auto& [rows, cols] : std::vector<std::pair<int, int>>{{20, 33}, {17, 64}}) {
        const Image<unsigned char> in = randomImage(rng, rows, cols);
        const int outRows = rows - static_cast<int>(mask.rows) + 1;
        const int outCols = cols - static_cast<int>(mask.cols) + 1;
        for (bool sse2 : {false, true}) {
          for (bool singleRow : {true, false}) {
            Image<unsigned short> columnSums =
                singleRow ? Image<unsigned short>::constImage(outRows, outCols, 0)
                          : Image<unsigned short>(outRows, outCols);
            BoxFilter filter;
            filter.reset(columnSums, mask.rows, mask.cols);
            for (int r = 0; r < rows; ++r) {
              const int v = filter.add(in[r], cols, sse2);
              if (v < 0) continue;
              for (int c = 0; c < outCols; ++c) {
                ASSERT_EQ(columnSums[v][c], boxSum(in, v, c, mask.rows, mask.cols))
                    << "mask " << mask.rows << 'x' << mask.cols << " level " << level
                    << " sse2 " << sse2 << " single " << singleRow << " at " << v << ',' << c;
              }
            }
          }
        }
      }
    }
  }
  SimdDetector::setLevelCeiling(saved);
}

TEST(BoxFilter, RefusedMasksAndExtraRowsWriteNothing) {
  Image<unsigned char> in(3, 12);
  in.init(200);
  Image<unsigned short> columnSums(2, 10);
  columnSums.init(7);
  BoxFilter filter;
  for (const Mask& mask : {Mask{0, 3}, Mask{3, 0}, Mask{17, 16}, Mask{1u << 31, 2}}) {
    filter.reset(columnSums, mask.rows, mask.cols);
    for (int r = 0; r < 3; ++r) EXPECT_LT(filter.add(in[r], 12, true), 0);
  }
  // A 1 x 3 mask on a two-row accumulator: the third row has no place.
  filter.reset(columnSums, 1, 3);
  EXPECT_EQ(filter.add(in[0], 12, true), 0);
  EXPECT_EQ(filter.add(in[1], 12, true), 1);
  EXPECT_LT(filter.add(in[2], 12, true), 0);
  // Rows wider than the accumulator fill only its columns.
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 10; ++c) EXPECT_EQ(columnSums[r][c], 600);
  }
}

TEST(BoxFilter, BoxMeanWorkedExamples) {
  for (const auto& [value, expected] : std::vector<std::pair<int, int>>{{255, 254}, {4, 3}, {0, 0}}) {
    Image<unsigned char> in(3, 3);
    in.init(static_cast<unsigned char>(value));
    Image<unsigned char> out(1, 1);
    ASSERT_TRUE(boxFilter(out, in, 3));
    EXPECT_EQ(out[0][0], expected) << "nine values of " << value;
  }
}

TEST(BoxFilter, BoxMeanMatchesDirectMeans) {
  std::mt19937 rng(42);
  for (unsigned n : {2u, 3u, 5u, 11u}) {
    const Image<unsigned char> in = randomImage(rng, 30, 41);
    const int mask = static_cast<int>(n);
    Image<unsigned char> out(30 - mask + 1, 41 - mask + 1);
    ASSERT_TRUE(boxFilter(out, in, n));
    const unsigned scale = 65536 / (n * n);
    for (int r = 0; r < out.nRows(); ++r) {
      for (int c = 0; c < out.nCols(); ++c) {
        ASSERT_EQ(out[r][c], (boxSum(in, r, c, mask, mask) * scale) >> 16)
            << "n=" << n << " at " << r << ',' << c;
      }
    }
  }
}

TEST(BoxFilter, BoxMeanCopiesForOneAndRefusesLargeMasks) {
  std::mt19937 rng(43);
  const Image<unsigned char> in = randomImage(rng, 5, 6);
  Image<unsigned char> out(5, 6);
  ASSERT_TRUE(boxFilter(out, in, 1));
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 6; ++c) EXPECT_EQ(out[r][c], in[r][c]);
  }

  Image<unsigned char> big = randomImage(rng, 20, 20);
  Image<unsigned char> untouched(9, 9);
  untouched.init(3);
  EXPECT_FALSE(boxFilter(untouched, big, 12));
  EXPECT_FALSE(boxFilter(untouched, big, 0));
  // A mask larger than the image leaves nothing to write.
  EXPECT_TRUE(boxFilter(untouched, in, 7));
  for (int r = 0; r < 9; ++r) {
    for (int c = 0; c < 9; ++c) EXPECT_EQ(untouched[r][c], 3);
  }
}

}  // namespace
