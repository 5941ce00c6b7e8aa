#include "image/ZorImageUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

namespace {

std::vector<unsigned char> randomBytes(std::size_t n, unsigned seed)
{
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<unsigned char> bytes(n);
  for (auto& b : bytes)
    b = static_cast<unsigned char>(byte(generator));
  return bytes;
}

TEST(ZorImageUtils, ByteDifferences)
{
  const unsigned char a[] = {10, 20, 0, 255, 7};
  const unsigned char b[] = {20, 10, 255, 0, 7};
  unsigned char difference[5];
  unsigned char subtract[5];
  ZorImageDifference(a, b, difference, 1, 5);
  ZorImageSubtract(a, b, subtract, 1, 5);
  const unsigned char expectedDifference[] = {10, 10, 255, 255, 0};
  const unsigned char expectedSubtract[] = {0, 10, 0, 255, 0};
  EXPECT_TRUE(std::equal(difference, difference + 5, expectedDifference));
  EXPECT_TRUE(std::equal(subtract, subtract + 5, expectedSubtract));

  // In place, over a whole image.
  std::vector<unsigned char> x = randomBytes(6 * 7, 1);
  const std::vector<unsigned char> y = randomBytes(6 * 7, 2);
  const std::vector<unsigned char> original = x;
  ZorImageSubtract(x.data(), y.data(), x.data(), 6, 7);
  for (std::size_t i = 0; i < x.size(); ++i)
    ASSERT_EQ(x[i], std::max(original[i] - y[i], 0)) << i;
}

TEST(ZorImageUtils, Thresholds)
{
  const unsigned short in[] = {0, 99, 100, 101, 65535};
  unsigned short high[5];
  unsigned short low[5];
  ZorImage16ThresholdHighValue(in, 100, high, 5, 1);
  ZorImage16ThresholdLowValue(in, 100, low, 5, 1);
  const unsigned short expectedHigh[] = {0, 0, 100, 101, 65535};
  const unsigned short expectedLow[] = {0, 99, 100, 0, 0};
  EXPECT_TRUE(std::equal(high, high + 5, expectedHigh));
  EXPECT_TRUE(std::equal(low, low + 5, expectedLow));
}

TEST(ZorImageUtils, BrightestPixelIsTheFirstInRowMajorOrder)
{
  // 3 x 3 image in rows of 4 elements (8 bytes); the padding column is brighter
  // than any pixel and must be ignored.
  const unsigned short in[] = {1, 5, 2, 900, 7, 3, 7, 900, 0, 7, 1, 900};
  int row = -1;
  int col = -1;
  unsigned short value = 1;
  ZorImage16FindBrightestPixel(in, 3, 3, 8, &row, &col, &value);
  EXPECT_EQ(row, 1);
  EXPECT_EQ(col, 0);
  EXPECT_EQ(value, 7);

  const unsigned short zeros[6] = {};
  ZorImage16FindBrightestPixel(zeros, 2, 3, 6, &row, &col, &value);
  EXPECT_EQ(std::make_tuple(row, col, value), std::make_tuple(0, 0, static_cast<unsigned short>(0)));

  row = col = 5;
  value = 5;
  ZorImage16FindBrightestPixel(in, 0, 3, 0, &row, &col, &value);
  EXPECT_EQ(std::make_tuple(row, col, value), std::make_tuple(0, 0, static_cast<unsigned short>(0)));
}

TEST(ZorImageUtils, SadVectorFormMatchesTheReference)
{
  const std::vector<unsigned char> a = randomBytes(200, 3);
  const std::vector<unsigned char> b = randomBytes(200, 4);
  for (const int n : {0, 1, 7, 15, 16, 17, 31, 32, 33, 63, 100, 150}) {
    for (const int shift : {0, 1, 3, 13}) {
      std::uint32_t expected = 0;
      for (int i = 0; i < n; ++i)
        expected += static_cast<std::uint32_t>(std::abs(a[shift + i] - b[i]));
      int scalar = -1;
      int vector = -1;
      ZorImageSAD(a.data() + shift, b.data(), &scalar, 1, n);
      ZorImageSADMMX(a.data() + shift, b.data(), &vector, 1, n);
      EXPECT_EQ(static_cast<std::uint32_t>(scalar), expected) << n << " +" << shift;
      EXPECT_EQ(vector, scalar) << n << " +" << shift;
    }
  }
  int scalar = 0;
  int vector = 0;
  ZorImageSAD(a.data(), b.data(), &scalar, 10, 19);
  ZorImageSADMMX(a.data(), b.data(), &vector, 10, 19);
  EXPECT_EQ(vector, scalar);
}

TEST(ZorImageUtils, SumsWrapAt32Bits)
{
  // 255 x 4112 x 4112 = 4311678720 = 2^32 + 16711424.
  const int side = 4112;
  const std::vector<unsigned char> bright(static_cast<std::size_t>(side) * side, 255);
  const std::vector<unsigned char> dark(bright.size(), 0);
  int sum = 0;
  ZorImagePixelSum(bright.data(), &sum, side, side);
  EXPECT_EQ(sum, 16711424);
  ZorImageSAD(bright.data(), dark.data(), &sum, side, side);
  EXPECT_EQ(sum, 16711424);
  sum = 0;
  ZorImageSADMMX(dark.data(), bright.data(), &sum, side, side);
  EXPECT_EQ(sum, 16711424);

  const unsigned char small[] = {1, 2, 3, 250};
  ZorImagePixelSum(small, &sum, 2, 2);
  EXPECT_EQ(sum, 256);
}

TEST(ZorImageUtils, MemsetUsesTheLowByte)
{
  unsigned char buffer[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  ZorMemsetMMX(buffer, 0x1AB, 6);
  EXPECT_EQ(buffer[5], 0xAB);
  EXPECT_EQ(buffer[6], 1);
  ZorMemsetMMX(buffer, 0, 0);
  ZorMemsetMMX(buffer, 0, -3);
  EXPECT_EQ(buffer[0], 0xAB);
  ZorImageSobelMMX();
}

// Straightforward halving: the last row and column stand in for missing ones.
std::vector<unsigned char> halve(const std::vector<unsigned char>& in, int rows, int cols, int rowIncrement, bool average)
{
  std::vector<unsigned char> out;
  for (int r = 0; r < rows; r += 2) {
    for (int c = 0; c < cols; c += 2) {
      const int r1 = std::min(r + 1, rows - 1);
      const int c1 = std::min(c + 1, cols - 1);
      const auto at = [&](int y, int x) { return in[static_cast<std::size_t>(y) * rowIncrement + x]; };
      out.push_back(average ? static_cast<unsigned char>((at(r, c) + at(r, c1) + at(r1, c) + at(r1, c1)) / 4)
                            : at(r, c));
    }
  }
  return out;
}

TEST(ZorImageUtils, HalfSizeOfEvenAndOddImages)
{
  std::vector<unsigned char> ramp(16);
  for (int i = 0; i < 16; ++i)
    ramp[i] = static_cast<unsigned char>(i);
  std::vector<unsigned char> out(4);
  ZorImageHalfSize(ramp.data(), 4, 4, 4, out.data());
  EXPECT_EQ(out, (std::vector<unsigned char>{2, 4, 10, 12}));
  ZorImageHalfSizeFast(ramp.data(), 4, 4, 4, out.data());
  EXPECT_EQ(out, (std::vector<unsigned char>{0, 2, 8, 10}));

  // Odd 3 x 3: the last column and row repeat.
  const std::vector<unsigned char> odd = {0, 4, 8, 12, 16, 20, 24, 28, 32};
  ZorImageHalfSize(odd.data(), 3, 3, 3, out.data());
  EXPECT_EQ(out, (std::vector<unsigned char>{8, 14, 26, 32}));

  // Inputs end exactly at the last pixel and outputs hold exactly the result,
  // so the sanitizer build catches any read or write outside them.
  const std::pair<int, int> sizes[] = {{1, 1}, {1, 2}, {2, 1}, {3, 5}, {5, 3}, {7, 9}, {8, 7}, {6, 6}, {0, 5}};
  for (const auto& [rows, cols] : sizes) {
    for (const int padding : {0, 3}) {
      const int rowIncrement = cols + padding;
      const std::size_t inSize = rows == 0 ? 0 : static_cast<std::size_t>(rows - 1) * rowIncrement + cols;
      const std::vector<unsigned char> in = randomBytes(inSize, rows * 100 + cols);
      for (const bool average : {true, false}) {
        const std::vector<unsigned char> expected = halve(in, rows, cols, rowIncrement, average);
        std::vector<unsigned char> result(expected.size());
        (average ? ZorImageHalfSize : ZorImageHalfSizeFast)(in.data(), rows, cols, rowIncrement, result.data());
        EXPECT_EQ(result, expected) << rows << " x " << cols << " +" << padding << (average ? " average" : " fast");
      }
    }
  }
}

TEST(ZorImageUtils, FloatSubtractAndMultiply)
{
  const float a[] = {1.0f, 2.0f, -3.0f, 0.5f};
  const float b[] = {3.0f, 2.0f, 1.0f, 0.0f};
  float out[4];
  ZorFloatImageSubtractAndMultiply(a, b, 2, 2, out, 0.5f);
  const float expected[] = {1.0f, 0.0f, 2.0f, -0.25f};
  EXPECT_TRUE(std::equal(out, out + 4, expected));
}

TEST(ZorImageUtils, BilinearSubsampleUsesWholeBlocks)
{
  // 4 x 7 input: one block row (row 3 unused), two block columns (column 6
  // unused). Pixel (r, c) = 16 r + c, so weighted sums are exact.
  std::vector<float> in(4 * 7);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 7; ++c)
      in[r * 7 + c] = static_cast<float>(16 * r + c);
  std::vector<float> out(2 * 4, -1.0f);
  ZorFloatImageBilinearSubsample(in.data(), 4, 7, out.data());
  // Corner (r, c) with neighbours toward the centre (1, 1) of its block:
  // 9/16 p(r, c) + 3/16 p(r, 1) + 3/16 p(1, c) + 1/16 p(1, 1).
  const auto expected = [](int r, int c, int c0) {
    const auto p = [c0](int y, int x) { return static_cast<float>(16 * y + c0 + x); };
    return 0.5625f * p(r, c) + 0.1875f * p(r, 1) + 0.1875f * p(1, c) + 0.0625f * p(1, 1);
  };
  for (int block = 0; block < 2; ++block) {
    EXPECT_EQ(out[2 * block], expected(0, 0, 3 * block));
    EXPECT_EQ(out[2 * block + 1], expected(0, 2, 3 * block));
    EXPECT_EQ(out[4 + 2 * block], expected(2, 0, 3 * block));
    EXPECT_EQ(out[4 + 2 * block + 1], expected(2, 2, 3 * block));
  }
  EXPECT_EQ(out[0], 0.5625f * 0 + 0.1875f * 1 + 0.1875f * 16 + 0.0625f * 17);
}

// Votes around each pixel, with the circle written as (row, column) steps.
std::vector<unsigned short> houghReference(const std::vector<unsigned char>& in, int rows, int cols, int inRowIncrement,
                                           int accumulatorStride, int radius)
{
  std::vector<std::pair<int, int>> steps;
  if (radius > 0)
    steps = {{0, radius}, {0, -radius}, {radius, 0}, {-radius, 0}};
  for (int i = 1; i < radius; ++i) {
    int s = 0;
    while ((s + 1) * (s + 1) <= radius * radius - i * i)
      ++s;
    steps.insert(steps.end(), {{s, i}, {-s, i}, {s, -i}, {-s, -i}});
  }
  std::vector<unsigned short> accumulator(static_cast<std::size_t>(rows) * accumulatorStride, 0);
  for (int y = radius; y < rows - radius; ++y)
    for (int x = radius; x < cols - radius; ++x)
      for (const auto& [dy, dx] : steps) {
        unsigned short& cell = accumulator[static_cast<std::size_t>(y + dy) * accumulatorStride + x + dx];
        cell = static_cast<unsigned short>(cell + in[static_cast<std::size_t>(y) * inRowIncrement + x]);
      }
  return accumulator;
}

TEST(ZorImageUtils, HoughTransformMatchesTheReference)
{
  struct Case {
    int rows, cols, inPadding, accumulatorPadding, radius;
  };
  const Case cases[] = {
      {9, 11, 0, 0, 1}, {12, 10, 3, 2, 2}, {20, 23, 1, 5, 5}, {11, 11, 0, 0, 5}, {10, 30, 0, 1, 5},
      {7, 7, 0, 0, 0},  {1, 1, 0, 0, 1},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(::testing::Message() << t.rows << " x " << t.cols << " radius " << t.radius);
    const int inRowIncrement = t.cols + t.inPadding;
    const int stride = t.cols + t.accumulatorPadding;
    const std::vector<unsigned char> in = randomBytes(static_cast<std::size_t>(t.rows) * inRowIncrement, t.rows + t.radius);
    std::vector<unsigned short> accumulator(static_cast<std::size_t>(t.rows) * stride, 0xBEEF);
    ZorImageHoughTransform(in.data(), accumulator.data(), t.rows, t.cols, inRowIncrement, 2 * stride, t.radius);
    EXPECT_EQ(accumulator, houghReference(in, t.rows, t.cols, inRowIncrement, stride, t.radius));
  }

  // 16-bit sums wrap: a bright image votes 4 x 255 x ... into the centre region.
  const int side = 300;
  const std::vector<unsigned char> bright(side * side, 255);
  std::vector<unsigned short> accumulator(side * side);
  ZorImageHoughTransform(bright.data(), accumulator.data(), side, side, side, 2 * side, 100);
  EXPECT_EQ(accumulator, houghReference(bright, side, side, side, side, 100));
}

TEST(ZorImageUtils, BadArgumentsLeaveOutputsUntouched)
{
  const unsigned char bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const unsigned short words[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const float floats[8] = {};
  unsigned char byteOut[8];
  unsigned short wordOut[8];
  float floatOut[8];
  int sum = 77;
  int row = 77;
  int col = 77;
  unsigned short value = 77;
  std::fill_n(byteOut, 8, 0xEE);
  std::fill_n(wordOut, 8, 0xEEEE);
  std::fill_n(floatOut, 8, -1.0f);

  for (const auto& [rows, cols] : {std::pair<int, int>{-1, 2}, {2, -1}}) {
    ZorImageDifference(bytes, bytes, byteOut, rows, cols);
    ZorImageSubtract(bytes, bytes, byteOut, rows, cols);
    ZorImage16ThresholdHighValue(words, 1, wordOut, rows, cols);
    ZorImage16ThresholdLowValue(words, 1, wordOut, rows, cols);
    ZorImage16FindBrightestPixel(words, rows, cols, 4, &row, &col, &value);
    ZorImageSAD(bytes, bytes, &sum, rows, cols);
    ZorImageSADMMX(bytes, bytes, &sum, rows, cols);
    ZorImagePixelSum(bytes, &sum, rows, cols);
    ZorImageHalfSize(bytes, rows, cols, 2, byteOut);
    ZorImageHalfSizeFast(bytes, rows, cols, 2, byteOut);
    ZorFloatImageSubtractAndMultiply(floats, floats, rows, cols, floatOut, 1.0f);
    ZorFloatImageBilinearSubsample(floats, rows, cols, floatOut);
    ZorImageHoughTransform(bytes, wordOut, rows, cols, 2, 4, 1);
  }
  ZorImageDifference(nullptr, bytes, byteOut, 2, 2);
  ZorImageSubtract(bytes, nullptr, byteOut, 2, 2);
  ZorImageDifference(bytes, bytes, nullptr, 2, 2);
  ZorImage16ThresholdHighValue(nullptr, 1, wordOut, 2, 2);
  ZorImage16ThresholdLowValue(words, 1, nullptr, 2, 2);
  ZorImage16FindBrightestPixel(nullptr, 2, 2, 4, &row, &col, &value);
  ZorImage16FindBrightestPixel(words, 2, 2, 4, nullptr, &col, &value);
  ZorImage16FindBrightestPixel(words, 2, 2, 3, &row, &col, &value);  // odd byte increment
  ZorImage16FindBrightestPixel(words, 2, 3, 4, &row, &col, &value);  // shorter than a row
  ZorImageSAD(bytes, nullptr, &sum, 2, 2);
  ZorImageSADMMX(nullptr, bytes, &sum, 2, 2);
  ZorImagePixelSum(nullptr, &sum, 2, 2);
  ZorImagePixelSum(bytes, nullptr, 2, 2);
  ZorMemsetMMX(nullptr, 1, 8);
  ZorImageHalfSize(nullptr, 2, 2, 2, byteOut);
  ZorImageHalfSize(bytes, 2, 4, 3, byteOut);  // shorter than a row
  ZorImageHalfSizeFast(bytes, 2, 2, 2, nullptr);
  ZorFloatImageSubtractAndMultiply(nullptr, floats, 2, 2, floatOut, 1.0f);
  ZorFloatImageBilinearSubsample(nullptr, 3, 3, floatOut);
  ZorImageHoughTransform(nullptr, wordOut, 2, 2, 2, 4, 1);
  ZorImageHoughTransform(bytes, wordOut, 2, 2, 2, 3, 1);   // odd byte increment
  ZorImageHoughTransform(bytes, wordOut, 2, 4, 4, 4, 1);   // accumulator rows too short
  ZorImageHoughTransform(bytes, wordOut, 2, 4, 2, 8, 1);   // input rows too short
  ZorImageHoughTransform(bytes, wordOut, 2, 2, 2, 4, -1);  // negative radius

  EXPECT_TRUE(std::all_of(byteOut, byteOut + 8, [](unsigned char b) { return b == 0xEE; }));
  EXPECT_TRUE(std::all_of(wordOut, wordOut + 8, [](unsigned short w) { return w == 0xEEEE; }));
  EXPECT_TRUE(std::all_of(floatOut, floatOut + 8, [](float f) { return f == -1.0f; }));
  EXPECT_EQ(std::make_tuple(sum, row, col, value), std::make_tuple(77, 77, 77, static_cast<unsigned short>(77)));
}

}  // namespace
