#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "WarpFixtures.h"
#include "filter/BoxFilter.h"
#include "image/simd/SimdDetector.h"
#include "rectify/BilinearWarper3.h"
#include "rectify/Warper3.h"
#include "rectify/WarpRowKernels.h"

using namespace warpfixtures;

namespace {

Image<unsigned char> smoothImage(int rows, int cols) {
  Image<unsigned char> image(rows, cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      image[r][c] = smoothPixel(r, c);
  return image;
}

// A map sending every point to one normalised source point.
FunctionMap constantMap(double row, double col) {
  return FunctionMap([=](double, double) { return std::make_pair(row, col); });
}

} // namespace

TEST(Warper3, BilinearCellExamples) {
  Image<unsigned char> raw(8, 8);
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c)
      raw[r][c] = static_cast<unsigned char>(10 * r + 5 * c + (c == 4 ? 2 : 0));
  const int w = raw.nRowInc();
  struct Case {
    double row, col;  // normalised source point (pixel p is (p + 0.5) / 8)
    int cell, rowWeight, colWeight;
  };
  const Case cases[] = {
      {2.5 / 8, 4.0 / 8, 2 * 8 + 3, 0, 64},  // column 3.5: half way between 3 and 4
      {1.0, 1.5 / 8, 6 * 8 + 1, 127, 0},     // beyond the last row: rows 6 and 7, weight 127
      {0.0, 0.0, 0, 0, 0},                   // before the first pixel
      {7.5 / 8, 7.5 / 8, 6 * 8 + 6, 127, 127},
  };
  for (const Case& c : cases) {
    Warper3 warper;
    ASSERT_TRUE(warper.build(constantMap(c.row, c.col), 8, 8, w, 1, 1, {0, 0, 8, 8}, 0, 0, 5));
    EXPECT_EQ(warper.offsets()[0][0], c.cell / 8 * w + c.cell % 8);
    EXPECT_EQ(warper.rowWeights()[0][0], c.rowWeight);
    EXPECT_EQ(warper.colWeights()[0][0], c.colWeight);
    Image<unsigned char> out(1, 1);
    ASSERT_TRUE(warper.warp(out, raw));
    const unsigned char* p = raw.bufferconstptr() + warper.offsets()[0][0];
    const int a = c.colWeight, b = c.rowWeight;
    EXPECT_EQ(out[0][0], ((p[0] * (128 - a) + p[1] * a) * (128 - b) + (p[w] * (128 - a) + p[w + 1] * a) * b) >> 14);
  }
  Warper3 half;
  ASSERT_TRUE(half.build(constantMap(2.5 / 8, 4.0 / 8), 8, 8, w, 1, 1, {0, 0, 8, 8}, 0, 0, 5));
  Image<unsigned char> out(1, 1);
  half.warp(out, raw);
  EXPECT_EQ(out[0][0], (raw[2][3] + raw[2][4]) / 2);
}

TEST(Warper3, ClosedFormWarpsOfWholeFrame) {
  // (source rows, cols, output rows, cols, map); the expected source position
  // of every output pixel is computed from the map's closed form.
  struct Case {
    const char* name;
    int outRows, outCols;
    double rowScale, rowShift, colScale, colShift;
    double k;  // radial distortion; 0 for the affine maps
  };
  const Case cases[] = {
      {"identity", 120, 160, 1, 0, 1, 0, 0},
      {"shift", 120, 160, 1, 0.05, 1, -0.1, 0},
      {"scale to a smaller output", 60, 90, 0.8, 0.1, 0.9, 0.05, 0},
      {"radial", 120, 160, 1, 0, 1, 0, 0.15},
  };
  const int rows = 120, cols = 160;
  const Image<unsigned char> raw = smoothImage(rows, cols);
  for (const Case& c : cases) {
    const Radial radial{c.k};
    const WarpMapFunc map = c.k != 0 ? radialMap(12, radial)
                                     : affineMap(6, c.rowScale, c.rowShift, c.colScale, c.colShift);
    Warper3 warper;
    ASSERT_TRUE(warper.build(map, rows, cols, raw.nRowInc(), c.outRows, c.outCols, {0, 0, rows, cols}, 0, 0, 5));
    Image<unsigned char> out(c.outRows, c.outCols);
    ASSERT_TRUE(warper.warp(out, raw));
    double worst = 0;
    for (int i = 0; i < c.outRows; ++i)
      for (int j = 0; j < c.outCols; ++j) {
        const double u = (i + 0.5) / c.outRows, v = (j + 0.5) / c.outCols;
        double nr = c.k != 0 ? radial.row(u, v) : c.rowScale * u + c.rowShift;
        double nc = c.k != 0 ? radial.col(u, v) : c.colScale * v + c.colShift;
        nr = std::min(1.0, std::max(0.0, nr));
        nc = std::min(1.0, std::max(0.0, nc));
        const double expected = sampleSmooth(rows * nr - 0.5, cols * nc - 0.5, rows, cols);
        worst = std::max(worst, std::fabs(out[i][j] - expected));
      }
    // 7-bit weights and the truncating shift lose less than one grey level
    // more than the slope of the image over 1/128 pixel.
    EXPECT_LT(worst, 1.05) << c.name;
  }
}

TEST(Warper3, RegionSamplesWindowOfSourceSizedFrame) {
  const int rows = 100, cols = 140;
  const Image<unsigned char> raw = smoothImage(rows, cols);
  const WarpMapFunc identity = affineMap(6, 1, 0, 1, 0);
  // A 30 x 40 window at (20, 50), sampled at half its pixel pitch.
  Warper3 warper;
  ASSERT_TRUE(warper.build(identity, rows, cols, raw.nRowInc(), 60, 80, {20, 50, 30, 40}, 0, 0, 5));
  Image<unsigned char> out(60, 80);
  ASSERT_TRUE(warper.warp(out, raw));
  for (int i = 0; i < 60; ++i)
    for (int j = 0; j < 80; ++j)
      ASSERT_LE(std::fabs(out[i][j] - sampleSmooth(20 + i * 0.5, 50 + j * 0.5, rows, cols)), 1.0)
          << i << "," << j;
}

TEST(Warper3, ShiftsOutsidePercentRangeCountAsZero) {
  const WarpMapFunc map = affineMap(6, 0.9, 0.03, 1.1, -0.02);
  Warper3 plain, over, under, half;
  ASSERT_TRUE(plain.build(map, 48, 64, 64, 40, 50, {0, 0, 48, 64}, 0, 0, 5));
  ASSERT_TRUE(over.build(map, 48, 64, 64, 40, 50, {0, 0, 48, 64}, 150, 100, 5));
  ASSERT_TRUE(under.build(map, 48, 64, 64, 40, 50, {0, 0, 48, 64}, -1, 0, 5));
  ASSERT_TRUE(half.build(map, 48, 64, 64, 40, 50, {0, 0, 48, 64}, 50, 0, 5));
  EXPECT_EQ(over.rowShiftPercent(), 0);
  EXPECT_EQ(over.colShiftPercent(), 0);
  EXPECT_EQ(half.rowShiftPercent(), 50);
  bool halfDiffers = false;
  for (int i = 0; i < 40; ++i)
    for (int j = 0; j < 50; ++j) {
      for (const Warper3* w : {&over, &under}) {
        ASSERT_EQ(w->offsets()[i][j], plain.offsets()[i][j]);
        ASSERT_EQ(w->rowWeights()[i][j], plain.rowWeights()[i][j]);
        ASSERT_EQ(w->colWeights()[i][j], plain.colWeights()[i][j]);
      }
      halfDiffers = halfDiffers || half.rowWeights()[i][j] != plain.rowWeights()[i][j];
    }
  EXPECT_TRUE(halfDiffers);
}

TEST(Warper3, KeepOriginViewWarpsSameRowsAsWholeFrame) {
  const int rows = 240, cols = 320;
  const Image<unsigned char> raw = smoothImage(rows, cols);
  const WarpMapFunc map = radialMap(10, Radial{0.1});
  Warper3 warper;
  ASSERT_TRUE(warper.build(map, rows, cols, raw.nRowInc(), 480, 640, {0, 0, rows, cols}, 0, 0, 5));
  Image<unsigned char> whole(480, 640);
  ASSERT_TRUE(warper.warp(whole, raw));
  Image<unsigned char> frame(480, 640);
  frame.init(7);
  Image<unsigned char> band(frame, {100, 0, 100, 640}, true);
  ASSERT_TRUE(warper.warp(band, raw));
  for (int i = 0; i < 480; ++i)
    for (int j = 0; j < 640; ++j)
      ASSERT_EQ(frame[i][j], (i >= 100 && i < 200) ? whole[i][j] : 7) << i << "," << j;
  // A view without its origin, or one reaching past the table, is refused.
  Image<unsigned char> tooLarge(481, 640);
  EXPECT_FALSE(warper.warp(tooLarge, raw));
  const Image<unsigned char> otherIncrement(rows, raw.nRowInc() + 32);
  EXPECT_FALSE(warper.warp(whole, otherIncrement.region(0, 0, rows, cols)));
}

TEST(Warper, NearestTableAndSixteenBitAndColourRows) {
  const int rows = 30, cols = 40;
  // One table serves all pixel types when their row increments agree.
  std::vector<unsigned short> memory16(rows * cols);
  std::vector<Pixel8x4> memoryColour(rows * cols);
  std::vector<unsigned char> memoryPlanes(3 * rows * cols);
  Image<unsigned short> raw16(rows, cols, memory16.data());
  Image<Pixel8x4> rawColour(rows, cols, memoryColour.data());
  Image<unsigned char> planes[3] = {Image<unsigned char>(rows, cols, &memoryPlanes[0]),
                                    Image<unsigned char>(rows, cols, &memoryPlanes[rows * cols]),
                                    Image<unsigned char>(rows, cols, &memoryPlanes[2 * rows * cols])};
  std::mt19937 random(5);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      raw16[r][c] = static_cast<unsigned short>(random());
      for (int ch = 0; ch < 4; ++ch)
        rawColour[r][c].channel[ch] = static_cast<unsigned char>(random());
      for (int ch = 0; ch < 3; ++ch)
        planes[ch][r][c] = rawColour[r][c].channel[ch];
    }
  // Identity: the nearest table copies every image exactly.
  Warper nearest;
  ASSERT_TRUE(nearest.build(affineMap(5, 1, 0, 1, 0), rows, cols, cols, rows, cols, 0, 0, 5));
  Image<unsigned short> out16(rows, cols);
  Image<Pixel8x4> outColour(rows, cols);
  ASSERT_TRUE(nearest.warp(out16, raw16));
  ASSERT_TRUE(nearest.warp(outColour, rawColour));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      ASSERT_EQ(out16[r][c], raw16[r][c]);
      for (int ch = 0; ch < 4; ++ch)
        ASSERT_EQ(outColour[r][c].channel[ch], rawColour[r][c].channel[ch]);
    }
  EXPECT_EQ(nearest.rowRange()[0][7], 7);
  EXPECT_EQ(nearest.rowRange()[1][7], 7);

  // Bilinear: 16-bit takes the cell's top-left pixel; colour bytes 0-2 are the
  // 8-bit bilinear warp of each plane and byte 3 is 0.
  BilinearWarper3 bilinear;
  ASSERT_TRUE(bilinear.build(radialMap(8, Radial{-0.2}), rows, cols, cols, 25, 33, {0, 0, rows, cols}, 0, 0, 5));
  Image<unsigned short> b16(25, 33);
  Image<Pixel8x4> bColour(25, 33);
  ASSERT_TRUE(bilinear.warp(b16, raw16));
  ASSERT_TRUE(bilinear.warp(bColour, rawColour));
  Image<unsigned char> bPlane[3] = {Image<unsigned char>(25, 33), Image<unsigned char>(25, 33),
                                    Image<unsigned char>(25, 33)};
  for (int ch = 0; ch < 3; ++ch)
    ASSERT_TRUE(bilinear.warp(bPlane[ch], planes[ch]));
  for (int r = 0; r < 25; ++r) {
    EXPECT_LE(bilinear.rowRange()[0][r], bilinear.offsets()[r][0] / cols);
    for (int c = 0; c < 33; ++c) {
      const int o = bilinear.offsets()[r][c];
      ASSERT_EQ(b16[r][c], raw16.bufferconstptr()[o]);
      ASSERT_LE(o / cols + 1, bilinear.rowRange()[1][r]);
      for (int ch = 0; ch < 3; ++ch)
        ASSERT_EQ(bColour[r][c].channel[ch], bPlane[ch][r][c]);
      ASSERT_EQ(bColour[r][c].channel[3], 0);
    }
  }
  const std::unique_ptr<Warper> copy(bilinear.clone());
  EXPECT_NE(dynamic_cast<BilinearWarper3*>(copy.get()), nullptr);
  EXPECT_EQ(copy->offsets().bufferconstptr(), bilinear.offsets().bufferconstptr());
}

TEST(Warper3, RefusesSourcesWithoutABilinearCell) {
  Warper3 warper;
  const WarpMapFunc map = affineMap(4, 1, 0, 1, 0);
  EXPECT_FALSE(warper.build(map, 1, 10, 10, 4, 4, {0, 0, 1, 10}, 0, 0, 5));
  EXPECT_FALSE(warper.build(map, 10, 1, 1, 4, 4, {0, 0, 10, 1}, 0, 0, 5));
  EXPECT_FALSE(warper.build(map, 10, 10, 8, 4, 4, {0, 0, 10, 10}, 0, 0, 5));
  EXPECT_FALSE(warper.build(map, 10, 10, 10, 0, 4, {0, 0, 10, 10}, 0, 0, 5));
}

TEST(Warper3, ExtremeSourceRowsKeepTheCellInside) {
  // Where single precision rounds rows - 1.0001 up to rows - 1, the cell still
  // starts at rows - 2.
  const int rows = 5000;
  Warper3 warper;
  ASSERT_TRUE(warper.build(constantMap(1.0, 1.0), rows, 4, 4, 1, 1, {0, 0, rows, 4}, 0, 0, 5));
  EXPECT_EQ(warper.offsets()[0][0], (rows - 2) * 4 + 2);
  EXPECT_EQ(warper.rowWeights()[0][0], 127);
}

TEST(Warper3, LowpassWarpSamplesTheBoxMeans) {
  const int rows = 40, cols = 50, outRows = 20, outCols = 25;
  Image<unsigned char> raw(rows, cols);
  std::mt19937 random(11);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      raw[r][c] = static_cast<unsigned char>(random());
  const WarpMapFunc map = radialMap(8, Radial{0.1});
  struct Case {
    int maskRows, maskCols;
  };
  for (const Case& m : {Case{2, 2}, Case{3, 4}, Case{1, 5}, Case{4, 1}}) {
    Image<unsigned char> filtered(rows, cols);
    Warper3 warper;
    ASSERT_TRUE(warper.build(map, rows, cols, filtered.nRowInc(), outRows, outCols, {0, 0, rows, cols}, 0, 0, 5));
    // Box means placed at the box centre (mask / 2), zero elsewhere,
    // computed directly.
    const int scale = 65536 / (m.maskRows * m.maskCols);
    std::vector<unsigned char> means(rows * cols, 0);
    for (int r = 0; r + m.maskRows <= rows; ++r)
      for (int c = 0; c + m.maskCols <= cols; ++c) {
        int sum = 0;
        for (int a = 0; a < m.maskRows; ++a)
          for (int b = 0; b < m.maskCols; ++b)
            sum += raw[r + a][c + b];
        means[(r + m.maskRows / 2) * cols + c + m.maskCols / 2] = static_cast<unsigned char>((sum * scale) >> 16);
      }
    Image<unsigned char> valid(filtered, {m.maskRows / 2, m.maskCols / 2, rows - m.maskRows + 1, cols - m.maskCols + 1},
                               false);
    Image<unsigned short> columnSums =
        Image<unsigned short>::constImage(rows - m.maskRows + 1, cols - m.maskCols + 1, 0);
    BoxFilter box;
    box.reset(columnSums, m.maskRows, m.maskCols);
    Image<unsigned char> out(outRows, outCols);
    ASSERT_TRUE(warper.warp(out, raw, filtered, valid, columnSums, box, scale, m.maskRows, m.maskCols));
    const int w = filtered.nRowInc();
    for (int i = 0; i < outRows; ++i)
      for (int j = 0; j < outCols; ++j) {
        const int o = warper.offsets()[i][j];
        const int a = warper.colWeights()[i][j], b = warper.rowWeights()[i][j];
        const auto p = [&](int offset) { return static_cast<int>(means[offset / w * cols + offset % w]); };
        const int expected =
            ((p(o) * (128 - a) + p(o + 1) * a) * (128 - b) + (p(o + w) * (128 - a) + p(o + w + 1) * a) * b) >> 14;
        ASSERT_EQ(out[i][j], expected) << m.maskRows << "x" << m.maskCols << " at " << i << "," << j;
      }
  }
}

TEST(Warper3, LowpassWarpRefusesMasksBeyondSixteenBitSums) {
  const int rows = 40, cols = 50;
  Image<unsigned char> raw(rows, cols), filtered(rows, cols), out(10, 10);
  out.init(7);
  Warper3 warper;
  ASSERT_TRUE(warper.build(affineMap(5, 1, 0, 1, 0), rows, cols, filtered.nRowInc(), 10, 10, {0, 0, rows, cols}, 0,
                           0, 5));
  const auto attempt = [&](int maskRows, int maskCols, Image<unsigned char>& target) {
    Image<unsigned char> valid(filtered, {maskRows / 2, maskCols / 2, rows - maskRows + 1, cols - maskCols + 1},
                               false);
    Image<unsigned short> sums = Image<unsigned short>::constImage(rows - maskRows + 1, cols - maskCols + 1, 0);
    BoxFilter box;
    box.reset(sums, maskRows, maskCols);
    return warper.warp(out, raw, target, valid, sums, box, 65536 / (maskRows * maskCols), maskRows, maskCols);
  };
  EXPECT_FALSE(attempt(12, 11, filtered));
  Image<unsigned char> otherIncrement(rows, cols + 40);
  Image<unsigned char> narrowed = otherIncrement.region(0, 0, rows, cols);
  EXPECT_FALSE(attempt(2, 2, narrowed));
  for (int i = 0; i < 10; ++i)
    for (int j = 0; j < 10; ++j)
      ASSERT_EQ(out[i][j], 7);
  EXPECT_TRUE(attempt(8, 16, filtered));
}

// The vector bilinear row against the scalar one on random source bytes,
// offsets reaching both ends of the source (the first two bytes included),
// odd counts and unaligned outputs.
TEST(WarpRowKernels, Avx2BilinearRowEqualsScalar) {
  if (SimdDetector::processLevel() < CPU_EXTENSION_AVX2) GTEST_SKIP() << "no AVX2";
  std::mt19937 random(7);
  for (const int rowIncrement : {2, 5, 64, 641}) {
    const int sourceBytes = 3 * rowIncrement + 1;
    std::vector<unsigned char> source(sourceBytes);
    for (unsigned char& byte : source) byte = static_cast<unsigned char>(random());
    const int lastOffset = sourceBytes - rowIncrement - 2;
    for (const int count : {1, 7, 8, 9, 31, 203}) {
      std::vector<int> offsets(count);
      std::vector<unsigned char> rowWeights(count), colWeights(count);
      for (int k = 0; k < count; ++k) {
        const int pick = static_cast<int>(random() % 8);
        offsets[k] = pick == 0 ? 0 : pick == 1 ? 1 : pick == 2 ? lastOffset
                                                               : static_cast<int>(random() % (lastOffset + 1));
        rowWeights[k] = static_cast<unsigned char>(random() % 128);
        colWeights[k] = static_cast<unsigned char>(random() % 128);
      }
      for (const int outStart : {0, 1, 3}) {
        std::vector<unsigned char> expected(count + 3), got(count + 3);
        Stelox::Scalar::bilinear_row8(expected.data() + outStart, source.data(), offsets.data(),
                                      rowWeights.data(), colWeights.data(), count, rowIncrement);
        Stelox::Avx2::bilinear_row8(got.data() + outStart, source.data(), offsets.data(),
                                    rowWeights.data(), colWeights.data(), count, rowIncrement);
        ASSERT_EQ(got, expected) << "row increment " << rowIncrement << ", count " << count;
      }
    }
  }
}

// The colour form the same way; byte 3 of every output pixel is 0.
TEST(WarpRowKernels, Avx2BilinearColourRowEqualsScalar) {
  if (SimdDetector::processLevel() < CPU_EXTENSION_AVX2) GTEST_SKIP() << "no AVX2";
  std::mt19937 random(11);
  for (const int rowIncrement : {2, 9, 160}) {
    std::vector<Pixel8x4> source(3 * rowIncrement + 1);
    for (Pixel8x4& pixel : source)
      for (unsigned char& channel : pixel.channel) channel = static_cast<unsigned char>(random());
    const int lastOffset = static_cast<int>(source.size()) - rowIncrement - 2;
    for (const int count : {1, 8, 13, 77}) {
      std::vector<int> offsets(count);
      std::vector<unsigned char> rowWeights(count), colWeights(count);
      for (int k = 0; k < count; ++k) {
        offsets[k] = k % 5 == 0 ? lastOffset : static_cast<int>(random() % (lastOffset + 1));
        rowWeights[k] = static_cast<unsigned char>(random() % 128);
        colWeights[k] = static_cast<unsigned char>(random() % 128);
      }
      for (const int outStart : {0, 1}) {
        std::vector<Pixel8x4> expected(count + 1), got(count + 1);
        Stelox::Scalar::bilinear_row8x4(expected.data() + outStart, source.data(), offsets.data(),
                                        rowWeights.data(), colWeights.data(), count, rowIncrement);
        Stelox::Avx2::bilinear_row8x4(got.data() + outStart, source.data(), offsets.data(),
                                      rowWeights.data(), colWeights.data(), count, rowIncrement);
        for (int k = 0; k < count + 1; ++k)
          ASSERT_EQ(0, std::memcmp(&got[k], &expected[k], sizeof(Pixel8x4)))
              << "row increment " << rowIncrement << ", count " << count << ", pixel " << k;
      }
    }
  }
}
