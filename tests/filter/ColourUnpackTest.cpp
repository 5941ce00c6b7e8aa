// Colour splitting of packed blue-green-red-fourth pixels.
#include "filter/ColourUnpack.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

Image<Pixel8x4> patternImage(int rows, int cols) {
  Image<Pixel8x4> image(rows, cols);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const auto base = static_cast<unsigned char>(16 * r + 4 * c);
      image[r][c] = Pixel8x4{{base, static_cast<unsigned char>(base + 1),
                              static_cast<unsigned char>(base + 2), 0xee}};
    }
  }
  return image;
}

TEST(ColourUnpack, ExtractSplitsExactlyTheGivenPixels) {
  const Image<Pixel8x4> src = patternImage(1, 6);
  std::vector<unsigned char> red(6, 0), green(6, 0), blue(6, 0);
  extract_rgb(red.data(), green.data(), blue.data(), 5, src.bufferconstptr());
  EXPECT_EQ(red, (std::vector<unsigned char>{2, 6, 10, 14, 18, 0}));
  EXPECT_EQ(green, (std::vector<unsigned char>{1, 5, 9, 13, 17, 0}));
  EXPECT_EQ(blue, (std::vector<unsigned char>{0, 4, 8, 12, 16, 0}));

  std::vector<unsigned char> untouched(3, 99);
  extract_rgb(untouched.data(), untouched.data(), untouched.data(), 0, src.bufferconstptr());
  extract_red(untouched.data(), -4, src.bufferconstptr());
  EXPECT_EQ(untouched, (std::vector<unsigned char>{99, 99, 99}));

  std::vector<unsigned char> one(6, 0);
  extract_grn(one.data(), 3, src.bufferconstptr());
  EXPECT_EQ(one, (std::vector<unsigned char>{1, 5, 9, 0, 0, 0}));
  extract_blu(one.data(), 2, src.bufferconstptr());
  EXPECT_EQ(one, (std::vector<unsigned char>{0, 4, 9, 0, 0, 0}));
}

TEST(ColourUnpack, ImageFunctionsSplitEveryRow) {
  const Image<Pixel8x4> src = patternImage(3, 4);
  Image<unsigned char> red(3, 4), green(3, 4), blue(3, 4);
  unpackRGB(red, green, blue, src);
  Image<unsigned char> first(3, 4), second(3, 4);
  unpack32Bit2Cam(first, second, src);
  Image<unsigned char> planes[3] = {Image<unsigned char>(3, 4), Image<unsigned char>(3, 4),
                                    Image<unsigned char>(3, 4)};
  Image<unsigned char>* outs[3] = {&planes[0], &planes[1], &planes[2]};
  bool wanted[3] = {true, false, true};
  unpack32Bit(wanted, outs, src);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) {
      const auto& p = src[r][c].channel;
      EXPECT_EQ(red[r][c], p[2]);
      EXPECT_EQ(green[r][c], p[1]);
      EXPECT_EQ(blue[r][c], p[0]);
      EXPECT_EQ(first[r][c], p[2]);
      EXPECT_EQ(second[r][c], p[1]);
      EXPECT_EQ(planes[0][r][c], p[2]);
      EXPECT_EQ(planes[1][r][c], 0) << "not wanted";
      EXPECT_EQ(planes[2][r][c], p[0]);
    }
  }
}

TEST(ColourUnpack, MismatchedSizesStayInsideEveryImage) {
  const Image<Pixel8x4> src = patternImage(2, 3);
  Image<unsigned char> bigFull(4, 40);
  Image<unsigned char> big = bigFull.region(0, 0, 4, 6);
  Image<unsigned char> small(1, 2), other(3, 5);
  unpackRGB(big, small, other, src);
  EXPECT_EQ(big[0][0], 2);
  EXPECT_EQ(big[0][1], 6);
  EXPECT_EQ(big[0][2], 0) << "the smallest plane has two columns";
  EXPECT_EQ(big[1][0], 0) << "the smallest plane has one row";
  unpack32Bit2Cam(big, other, src);
  EXPECT_EQ(big[1][2], 26);
  EXPECT_EQ(big[2][0], 0);
  EXPECT_EQ(big[0][3], 0);

  Image<unsigned char>* outs[3] = {&small, nullptr, nullptr};
  bool wanted[3] = {true, true, true};
  unpack32Bit(wanted, outs, src);
  EXPECT_EQ(small[0][1], 6);
  unpack32Bit(nullptr, outs, src);
  unpack32Bit(wanted, nullptr, src);
}

}  // namespace
