#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "CalibrationFixtures.h"
#include "rectify/RectifierImpl.h"

using namespace calibrationfixtures;

namespace {

std::vector<unsigned char> smoothRaw(int rows, int cols) {
  std::vector<unsigned char> raw(rows * cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      raw[r * cols + c] = smoothPixel(r, c);
  return raw;
}

const RectifyLensData& identityLens() {
  static const RectifyLensData d = lensDataOf(affineLensWarps(6, 1, 0, 1, 0));
  return d;
}

} // namespace

TEST(Rectifier, RectifiesClosedFormLensesFromCalibrationText) {
  // Row and column maps differ, so swapped records or transposed
  // coefficients show.
  struct Case {
    const char* name;
    std::string warps;
    std::function<std::pair<double, double>(double, double)> rectifiedToRaw;
  };
  const Radial radial{0.2};
  const Case cases[] = {
      {"identity", affineLensWarps(6, 1, 0, 1, 0), [](double u, double v) { return std::make_pair(u, v); }},
      {"shift", affineLensWarps(6, 1, 0.04, 1, -0.03),
       [](double u, double v) { return std::make_pair(u + 0.04, v - 0.03); }},
      {"scale", affineLensWarps(7, 0.8, 0.1, 0.9, 0.02),
       [](double u, double v) { return std::make_pair(0.8 * u + 0.1, 0.9 * v + 0.02); }},
      {"radial", radialLensWarps(14, 0.2),
       [&](double u, double v) { return std::make_pair(radial.row(u, v), radial.col(u, v)); }},
  };
  const int rows = 240, cols = 320;
  const std::vector<unsigned char> raw = smoothRaw(rows, cols);
  for (const Case& c : cases) {
    Rectifier rectifier(lensDataOf(c.warps));
    ASSERT_EQ(rectifier.getConstructionResult(), RectifyErrorOk) << c.name;
    std::vector<unsigned char> out(rows * cols);
    ASSERT_EQ(rectifier.rectify(cols, rows, out.data(), cols, rows, cols, raw.data(), 0, 0, rows, cols, 0, 0,
                                KernelTypeBilinear, 5),
              RectifyErrorOk);
    double worst = 0;
    for (int i = 0; i < rows; ++i)
      for (int j = 0; j < cols; ++j) {
        const auto p = c.rectifiedToRaw((i + 0.5) / rows, (j + 0.5) / cols);
        const double r = rows * std::min(1.0, std::max(0.0, p.first)) - 0.5;
        const double s = cols * std::min(1.0, std::max(0.0, p.second)) - 0.5;
        worst = std::max(worst, std::fabs(out[i * cols + j] - sampleSmooth(r, s, rows, cols)));
      }
    EXPECT_LT(worst, 1.1) << c.name;
  }
}

TEST(Rectifier, ChoosesAndLimitsLowpassFactors) {
  struct Case {
    int rawRows, rawCols, outRows, outCols;
    unsigned rowFactor, colFactor;  // requested
    unsigned expectedRow, expectedCol;
  };
  const Case cases[] = {
      {480, 640, 240, 320, 0, 0, 2, 2},
      {480, 640, 160, 213, 0, 0, 3, 4},
      {480, 640, 480, 640, 0, 0, 1, 1},
      {480, 640, 240, 320, 1, 1, 1, 1},
      // Sums of larger boxes would not fit 16 signed bits: the product is
      // limited to 128.
      {960, 1280, 48, 64, 0, 0, 11, 11},
      {960, 1280, 480, 10, 0, 0, 2, 64},
      {480, 640, 240, 320, 200, 1, 128, 1},
      // A box never exceeds half the raw side (rounded up).
      {5, 640, 1, 640, 0, 0, 3, 1},
  };
  for (const Case& c : cases) {
    unsigned row = c.rowFactor, col = c.colFactor;
    Rectifier::RectifierImpl::chooseFactors(row, col, c.rawRows, c.rawCols, c.outRows, c.outCols);
    EXPECT_EQ(row, c.expectedRow) << c.outRows << "x" << c.outCols;
    EXPECT_EQ(col, c.expectedCol) << c.outRows << "x" << c.outCols;
  }
}

TEST(Rectifier, LowpassWithUnitFactorsEqualsRectify) {
  const int rows = 480, cols = 640;
  const std::vector<unsigned char> raw = smoothRaw(rows, cols);
  Rectifier rectifier(lensDataOf(radialLensWarps(10, 0.1)));
  std::vector<unsigned char> plain(rows * cols), chosen(rows * cols, 1), unit(rows * cols, 2);
  ASSERT_EQ(rectifier.rectify(cols, rows, plain.data(), cols, rows, cols, raw.data(), 0, 0, rows, cols, 0, 0,
                              KernelTypeBilinear, 5),
            RectifyErrorOk);
  ASSERT_EQ(rectifier.lowpassRectify(cols, rows, chosen.data(), cols, rows, cols, raw.data(), 0, 0, rows, cols, 0,
                                     0, 0, 0, KernelTypeBilinear, 5),
            RectifyErrorOk);
  ASSERT_EQ(rectifier.lowpassRectify(cols, rows, unit.data(), cols, rows, cols, raw.data(), 0, 0, rows, cols, 1, 1,
                                     0, 0, KernelTypeBilinear, 5),
            RectifyErrorOk);
  EXPECT_EQ(chosen, plain);
  EXPECT_EQ(unit, plain);
  EXPECT_EQ(rectifier.impl().warpers().count(), 1);
}

TEST(Rectifier, LowpassOfConstantImage) {
  struct Case {
    int rawRows, rawCols, outRows, outCols;
    int low, high;  // interior values: the box mean, or one below it
  };
  const Case cases[] = {
      {480, 640, 240, 320, 200, 200},  // 2 x 2, scale 16384: exact
      {480, 640, 160, 213, 199, 200},  // 3 x 4
      {960, 1280, 48, 64, 199, 200},   // limited to 11 x 11
      {100, 150, 50, 75, 200, 200},    // rows not a whole number of vectors
  };
  for (const Case& c : cases) {
    const std::vector<unsigned char> raw(c.rawRows * c.rawCols, 200);
    Rectifier rectifier(identityLens());
    // A table built ahead for the packed filtered copy is the one used.
    ASSERT_EQ(rectifier.buildWarper(c.outRows, c.outCols, c.rawRows, c.rawCols, c.rawCols, 0, 0, c.rawRows,
                                    c.rawCols, 0, 0, KernelTypeBilinear, 5),
              RectifyErrorOk);
    std::vector<unsigned char> out(c.outRows * c.outCols);
    ASSERT_EQ(rectifier.lowpassRectify(c.outCols, c.outRows, out.data(), c.rawCols, c.rawRows, c.rawCols,
                                       raw.data(), 0, 0, c.rawRows, c.rawCols, 0, 0, 0, 0, KernelTypeBilinear, 5),
              RectifyErrorOk);
    EXPECT_EQ(rectifier.impl().warpers().count(), 1);
    for (int i = 1; i < c.outRows - 1; ++i)
      for (int j = 1; j < c.outCols - 1; ++j) {
        ASSERT_GE(out[i * c.outCols + j], c.low) << i << "," << j;
        ASSERT_LE(out[i * c.outCols + j], c.high) << i << "," << j;
      }
    // 2 x 2: the filtered copy's cleared first row and column pull the
    // first output row and column to about half.
    if (c.outRows == 240) {
      EXPECT_NEAR(out[5], 100, 2);
      EXPECT_NEAR(out[5 * c.outCols], 100, 2);
      EXPECT_NEAR(out[0], 50, 2);
      EXPECT_EQ(out[c.outRows * c.outCols - 1], 200);
    }
  }
}

TEST(Rectifier, ColourPathsMatchPerPlaneRectification) {
  const int rows = 120, cols = 160;
  std::vector<Pixel8x4> raw(rows * cols);
  std::vector<unsigned char> planes[3];  // red, green, blue
  for (auto& p : planes)
    p.resize(rows * cols);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      Pixel8x4& p = raw[r * cols + c];
      p.channel[0] = smoothPixel(r, c);
      p.channel[1] = smoothPixel(c, r);
      p.channel[2] = static_cast<unsigned char>((r * 7 + c * 3) & 0xFF);
      p.channel[3] = 99;
      planes[0][r * cols + c] = p.channel[2];
      planes[1][r * cols + c] = p.channel[1];
      planes[2][r * cols + c] = p.channel[0];
    }
  Rectifier rectifier(lensDataOf(radialLensWarps(8, 0.15)));
  struct Case {
    int outRows, outCols;
    unsigned rowFactor, colFactor;
  };
  // Plain, chosen 2 x 2, and boxes with one side of 1 (their own sum paths).
  const Case cases[] = {{120, 160, 1, 1}, {60, 80, 0, 0}, {40, 40, 3, 4}, {60, 80, 1, 3}, {60, 80, 3, 1}};
  for (const Case& c : cases) {
    std::vector<unsigned char> expected[3];
    for (int p = 0; p < 3; ++p) {
      expected[p].resize(c.outRows * c.outCols);
      ASSERT_EQ(rectifier.lowpassRectify(c.outCols, c.outRows, expected[p].data(), cols, rows, cols,
                                         planes[p].data(), 0, 0, rows, cols, c.rowFactor, c.colFactor, 0, 0,
                                         KernelTypeBilinear, 5),
                RectifyErrorOk);
    }
    std::vector<unsigned char> outPlanes[3];
    for (auto& p : outPlanes)
      p.resize(c.outRows * c.outCols);
    ASSERT_EQ(rectifier.unpackLowpassRectify(c.outCols, c.outRows, outPlanes[0].data(), outPlanes[1].data(),
                                             outPlanes[2].data(), cols, rows, 4 * cols, raw.data(), 0, 0, rows,
                                             cols, c.rowFactor, c.colFactor, 0, 0, KernelTypeBilinear, 5),
              RectifyErrorOk);
    std::vector<Pixel8x4> colour(c.outRows * c.outCols);
    ASSERT_EQ(rectifier.unpackLowpassRectify(c.outCols, c.outRows, colour.data(), cols, rows, 4 * cols,
                                             raw.data(), 0, 0, rows, cols, c.rowFactor, c.colFactor),
              RectifyErrorOk);
    for (int k = 0; k < c.outRows * c.outCols; ++k) {
      for (int p = 0; p < 3; ++p)
        ASSERT_EQ(outPlanes[p][k], expected[p][k]) << "plane " << p << " pixel " << k;
      ASSERT_EQ(colour[k].channel[2], expected[0][k]) << c.rowFactor << "x" << c.colFactor << " " << k;
      ASSERT_EQ(colour[k].channel[1], expected[1][k]);
      ASSERT_EQ(colour[k].channel[0], expected[2][k]);
      ASSERT_EQ(colour[k].channel[3], 0);
    }
  }
}

TEST(Rectifier, WarperCacheReuseAndShiftErrors) {
  const int rows = 48, cols = 64;
  const std::vector<unsigned char> raw = smoothRaw(rows, cols);
  Rectifier rectifier(identityLens());
  const WarperList& list = rectifier.impl().warpers();
  std::vector<unsigned char> out(rows * cols, 7);
  const auto run = [&](int roiRow, int rowShift, int colShift) {
    return rectifier.rectify(cols, rows, out.data(), cols, rows, cols, raw.data(), roiRow, 0, rows, cols, rowShift,
                             colShift, KernelTypeBilinear, 5);
  };
  ASSERT_EQ(run(0, 0, 0), RectifyErrorOk);
  ASSERT_EQ(run(0, 0, 0), RectifyErrorOk);
  EXPECT_EQ(list.count(), 1);
  ASSERT_EQ(run(1, 0, 0), RectifyErrorOk);
  EXPECT_EQ(list.count(), 2);
  std::fill(out.begin(), out.end(), 7);
  EXPECT_EQ(run(0, 100, 0), RectifyErrorInvalidShift);
  EXPECT_EQ(run(0, 0, -1), RectifyErrorInvalidShift);
  EXPECT_EQ(out, std::vector<unsigned char>(rows * cols, 7));
  EXPECT_EQ(list.count(), 2);

  // The other kind of warper is cached apart and found again.
  EXPECT_EQ(rectifier.buildWarper(rows, cols, rows, cols, cols, 0, 0, rows, cols, 0, 0,
                                  KernelTypeBilinearWithHooks, 5),
            RectifyErrorOk);
  EXPECT_EQ(rectifier.buildWarper(rows, cols, rows, cols, cols, 0, 0, rows, cols, 0, 0,
                                  KernelTypeBilinearWithHooks, 5),
            RectifyErrorOk);
  EXPECT_EQ(list.count(), 3);

  // 20 different requests: the list grows by 16 slots at a time.
  for (int i = 0; i < 20; ++i)
    ASSERT_EQ(rectifier.buildWarper(10 + i, 12, rows, cols, cols, 0, 0, rows, cols, 0, 0, KernelTypeBilinear, 5),
              RectifyErrorOk);
  EXPECT_EQ(list.count(), 23);
  EXPECT_EQ(list.capacity(), 32);

  // A table for sizes no bilinear cell fits is refused.
  EXPECT_EQ(rectifier.buildWarper(10, 10, 1, cols, cols, 0, 0, 1, cols, 0, 0, KernelTypeBilinear, 5),
            RectifyErrorBuildWarper);
}

TEST(Rectifier, WarperListOfTwentyRequests) {
  WarperList list;
  ASSERT_EQ(list.init(), RectifyErrorOk);
  const WarpMapFunc map = affineMap(5, 1, 0, 1, 0);
  list.setWarpFunc(&map);
  for (int i = 0; i < 20; ++i) {
    if (list.full()) {
      ASSERT_TRUE(list.reallocate());
    }
    std::unique_ptr<Warper> w = list.buildWarper(5 + i, 7, 20, 30, 32, {0, 0, 20, 30}, 0, 0, KernelTypeBilinear, 5);
    ASSERT_TRUE(w);
    list.append(std::move(w));
  }
  EXPECT_EQ(list.count(), 20);
  EXPECT_EQ(list.capacity(), 32);
  EXPECT_EQ(list.at(19)->tableSize().rows, 24);
  list.setWarpFunc(nullptr);
  EXPECT_EQ(list.count(), 0);
  EXPECT_FALSE(list.buildWarper(5, 7, 20, 30, 32, {0, 0, 20, 30}, 0, 0, KernelTypeBilinear, 5));
}

TEST(Rectifier, AdjustmentsAreCheckedAndEmptyTheCache) {
  const int rows = 48, cols = 64;
  const std::vector<unsigned char> raw = smoothRaw(rows, cols);
  Rectifier rectifier(identityLens());
  Rectifier::RectifierImpl& impl = rectifier.impl();
  std::vector<unsigned char> before(rows * cols), after(rows * cols);
  ASSERT_EQ(rectifier.rectify(cols, rows, before.data(), cols, rows, cols, raw.data(), 0, 0, rows, cols, 0, 0,
                              KernelTypeBilinear, 5),
            RectifyErrorOk);
  EXPECT_EQ(impl.setRectifiedAdjustment(1.5, 0), RectifyErrorRectifiedAdjustment);
  EXPECT_EQ(impl.setRawAdjustment(0, -1.01), RectifyErrorRawAdjustment);
  EXPECT_EQ(impl.setRawAdjustment(std::nan(""), 0), RectifyErrorRawAdjustment);
  EXPECT_EQ(impl.warpers().count(), 1);
  double x, y;
  rectifier.getRectifiedAdjustment(&x, &y);
  EXPECT_EQ(x, 0.0);

  // Rectified adjustment x: the rectified column c reads raw column
  // c - 0.25 * cols (the adjustment is subtracted from the map's input).
  ASSERT_EQ(impl.setRectifiedAdjustment(0.25, 0), RectifyErrorOk);
  EXPECT_EQ(impl.warpers().count(), 0);
  rectifier.getRectifiedAdjustment(&x, &y);
  EXPECT_EQ(x, 0.25);
  ASSERT_EQ(rectifier.rectify(cols, rows, after.data(), cols, rows, cols, raw.data(), 0, 0, rows, cols, 0, 0,
                              KernelTypeBilinear, 5),
            RectifyErrorOk);
  for (int r = 0; r < rows; ++r)
    for (int c = 16; c < cols; ++c)
      ASSERT_NEAR(after[r * cols + c], before[r * cols + c - 16], 1) << r << "," << c;
  float rectRow, rectCol;
  ASSERT_EQ(rectifier.rectifyPixel(10, 20, rows, cols, &rectRow, &rectCol, rows, cols), RectifyErrorOk);
  EXPECT_NEAR(rectCol, 36, 1e-3);
  ASSERT_EQ(impl.setRawAdjustment(0, 0.5), RectifyErrorOk);
  ASSERT_EQ(rectifier.rectifyPixel(30, 20, rows, cols, &rectRow, &rectCol, rows, cols), RectifyErrorOk);
  EXPECT_NEAR(rectRow, 6, 1e-3);
}

TEST(Rectifier, PointMapsRoundTripAndReachTheEdges) {
  const int rows = 480, cols = 640;
  Rectifier rectifier(lensDataOf(radialLensWarps(14, 0.2)));
  for (float r : {5.0f, 100.0f, 240.0f, 470.0f})
    for (float c : {3.0f, 320.0f, 600.0f}) {
      float rectRow, rectCol, rawRow, rawCol;
      ASSERT_EQ(rectifier.rectifyPixel(r, c, rows, cols, &rectRow, &rectCol, rows, cols), RectifyErrorOk);
      ASSERT_EQ(rectifier.unrectifyPixel(rectRow, rectCol, rows, cols, &rawRow, &rawCol, rows, cols),
                RectifyErrorOk);
      EXPECT_NEAR(rawRow, r, 0.02);
      EXPECT_NEAR(rawCol, c, 0.02);
    }
  // The identity reaches the bottom-right pixel edge instead of dropping to 0.
  Rectifier identity(identityLens());
  float rectRow, rectCol;
  ASSERT_EQ(identity.rectifyPixel(rows - 0.5f, cols - 0.5f, rows, cols, &rectRow, &rectCol, rows, cols),
            RectifyErrorOk);
  EXPECT_NEAR(rectRow, rows - 0.5f, 1e-3);
  EXPECT_NEAR(rectCol, cols - 0.5f, 1e-3);
  ASSERT_EQ(identity.unrectifyPixel(1000, 2000, rows, cols, &rectRow, &rectCol, 240, 320), RectifyErrorOk);
  EXPECT_NEAR(rectRow, 239.5f, 1e-3);
  EXPECT_NEAR(rectCol, 319.5f, 1e-3);
}

TEST(Rectifier, SearchUnrectifyConvergesInsideAndFailsFarOutside) {
  const int rows = 480, cols = 640;
  Rectifier rectifier(lensDataOf(radialLensWarps(14, 0.2)));
  for (float r : {12.0f, 100.0f, 240.5f, 400.0f, 467.0f})
    for (float c : {8.0f, 333.3f, 630.0f}) {
      float targetRow, targetCol;
      rectifier.rectifyPixel(r, c, rows, cols, &targetRow, &targetCol, rows, cols);
      float rawRow = -1, rawCol = -1;
      ASSERT_EQ(rectifier.searchUnrectifyPixel(targetRow, targetCol, rows, cols, &rawRow, &rawCol, rows, cols),
                RectifyErrorOk)
          << r << "," << c;
      float checkRow, checkCol;
      rectifier.rectifyPixel(rawRow, rawCol, rows, cols, &checkRow, &checkCol, rows, cols);
      EXPECT_LE(std::hypot(checkRow - targetRow, checkCol - targetCol), 0.001);
      EXPECT_NEAR(rawRow, r, 0.01);
      EXPECT_NEAR(rawCol, c, 0.01);
    }
  float rawRow = -1, rawCol = -1;
  EXPECT_EQ(rectifier.searchUnrectifyPixel(-5000, 9000, rows, cols, &rawRow, &rawCol, rows, cols),
            RectifyErrorSearchFailed);
  EXPECT_GE(rawRow, 0);
  EXPECT_LE(rawCol, cols - 1);
}

TEST(Rectifier, UnusableWarpRecordsAreRefused) {
  const int n = 6;
  const std::string good = affineLensWarps(n, 1, 0, 1, 0);
  // Block 2 declares n + 2 knots while its n coefficients need n + 4.
  const std::string shortKnots = warpBlock(1, n, affineColCoefficients(n, 1, 0)) +
                                 warpBlock(2, n, affineRowCoefficients(n, 1, 0), n + 2) +
                                 warpBlock(3, n, affineColCoefficients(n, 1, 0)) +
                                 warpBlock(4, n, affineRowCoefficients(n, 1, 0));
  RectifyLensData missing = lensDataOf(good);
  missing.distortedWarpData[1].reset();
  for (const RectifyLensData& d : {lensDataOf(shortKnots), missing}) {
    Rectifier rectifier(d);
    EXPECT_EQ(rectifier.getConstructionResult(), RectifyErrorInvalidWarpData);
    std::vector<unsigned char> raw(64, 1), out(64, 7);
    EXPECT_EQ(rectifier.rectify(8, 8, out.data(), 8, 8, 8, raw.data(), 0, 0, 8, 8, 0, 0, KernelTypeBilinear, 5),
              RectifyErrorInvalidWarpData);
    float r = 3, c = 4;
    EXPECT_EQ(rectifier.rectifyPixel(1, 1, 8, 8, &r, &c, 8, 8), RectifyErrorInvalidWarpData);
    EXPECT_EQ(r, 3);
    EXPECT_EQ(out, std::vector<unsigned char>(64, 7));
  }
  Rectifier sensorSized(lensDataOf(good, 100, 120));
  EXPECT_EQ(sensorSized.getConstructionResult(), RectifyErrorOk);
  EXPECT_EQ(sensorSized.getFocalLengthX(), 0.75);
  EXPECT_EQ(sensorSized.getCurrentFocalLengthX(), Rectifier::sdInvalidFocalLength);
}

TEST(Rectifier, RefusesRawRowsShorterThanTheWidth) {
  Rectifier rectifier(identityLens());
  std::vector<unsigned char> raw(40 * 30, 1), out(20 * 15, 7);
  std::vector<Pixel8x4> colour(40 * 30), colourOut(20 * 15);
  EXPECT_EQ(rectifier.rectify(15, 20, out.data(), 30, 40, 29, raw.data(), 0, 0, 40, 30, 0, 0, KernelTypeBilinear, 5),
            RectifyErrorBuildWarper);
  EXPECT_EQ(rectifier.lowpassRectify(15, 20, out.data(), 30, 40, 29, raw.data(), 0, 0, 40, 30, 0, 0, 0, 0,
                                     KernelTypeBilinear, 5),
            RectifyErrorBuildWarper);
  EXPECT_EQ(rectifier.unpackLowpassRectify(15, 20, colourOut.data(), 30, 40, 4 * 29, colour.data(), 0, 0, 40, 30,
                                           0, 0),
            RectifyErrorBuildWarper);
  EXPECT_EQ(rectifier.unpackLowpassRectify(15, 20, out.data(), out.data(), out.data(), 30, 40, 4 * 29,
                                           colour.data(), 0, 0, 40, 30, 0, 0, 0, 0, KernelTypeBilinear, 5),
            RectifyErrorBuildWarper);
  EXPECT_EQ(rectifier.lowpassRectify(0, 20, out.data(), 30, 40, 30, raw.data(), 0, 0, 40, 30, 0, 0, 0, 0,
                                     KernelTypeBilinear, 5),
            RectifyErrorBuildWarper);
  EXPECT_EQ(out, std::vector<unsigned char>(20 * 15, 7));
}
