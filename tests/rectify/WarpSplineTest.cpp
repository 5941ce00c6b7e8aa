#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "WarpFixtures.h"

using namespace warpfixtures;

namespace {

const std::vector<double> kSixBasisKnots = {0, 0, 0, 0, 1.0 / 3, 2.0 / 3, 1, 1, 1, 1};

std::vector<double> basisAt(const std::vector<double>& knots, double x) {
  const int n = static_cast<int>(knots.size()) - 4;
  std::vector<double> scratch(n + 3);
  WarpSpline::basis(knots.data(), n, x, scratch.data());
  scratch.resize(n);
  return scratch;
}

} // namespace

TEST(WarpSpline, ClampedKnotBasisValues) {
  struct Case {
    double x;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {0.0, {1, 0, 0, 0, 0, 0}},
      {0.5, {0, 1.0 / 32, 15.0 / 32, 15.0 / 32, 1.0 / 32, 0}},
      // The closed end evaluates as the limit from inside the domain.
      {1.0, {0, 0, 0, 0, 0, 1}},
  };
  for (const Case& c : cases) {
    const std::vector<double> b = basisAt(kSixBasisKnots, c.x);
    for (int i = 0; i < 6; ++i)
      EXPECT_NEAR(b[i], c.expected[i], 1e-15) << "x=" << c.x << " i=" << i;
  }
}

TEST(WarpSpline, BasisMatchesSingleFunctionAndReference) {
  const std::vector<double> knots = clampedKnots(9);
  for (double x : {0.0, 0.01, 1.0 / 6, 0.25, 0.5, 0.77, 0.999999, 1.0}) {
    const std::vector<double> b = basisAt(knots, x);
    const std::vector<double> reference = referenceBasis(knots, x);
    double sum = 0;
    for (int i = 0; i < 9; ++i) {
      EXPECT_NEAR(b[i], reference[i], 1e-14) << "x=" << x << " i=" << i;
      if (x < 1.0) {
        EXPECT_NEAR(WarpSpline::spline(i, 4, x, knots.data()), b[i], 1e-14);
      }
      sum += b[i];
    }
    EXPECT_NEAR(sum, 1.0, 1e-14) << "partition of unity at x=" << x;
  }
}

TEST(WarpSpline, GrevilleCoefficientsReproduceIdentityEverywhere) {
  for (int n : {4, 7, 12}) {
    const auto splines = affineSplines(n, 1.0, 0.0, 1.0, 0.0);
    for (int a = 0; a <= 40; ++a)
      for (int b = 0; b <= 40; ++b) {
        const double u = a / 40.0;
        const double v = b / 40.0;
        ASSERT_NEAR(splines.first(u, v), u, 1e-14) << "n=" << n;
        ASSERT_NEAR(splines.second(u, v), v, 1e-14) << "n=" << n;
      }
  }
}

TEST(WarpSpline, CachedValuesEqualFreshEvaluation) {
  const int n = 8;
  const std::vector<double> coefficients =
      coefficientList(n, [](int j, int k) { return 0.1 * j - 0.03 * k * k + 0.01 * j * k; });
  // Cache size 4: 8 slots, so 0.30 and 0.31 share slot 3 on both axes.
  const WarpSpline cached = makeSpline(n, coefficients, 4, 4);
  const WarpSpline sharing = cached;
  const double points[][2] = {{0.30, 0.31}, {0.31, 0.30}, {0.30, 0.30}, {0.31, 0.31},
                              {0.30, 0.31}, {1.0, 0.0},   {0.0, 1.0},   {0.30, 0.31}};
  for (const auto& p : points) {
    const double expected = makeSpline(n, coefficients, 4, 4)(p[0], p[1]);
    EXPECT_EQ(cached(p[0], p[1]), expected);
    EXPECT_EQ(sharing(p[0], p[1]), expected);
    EXPECT_EQ(cached(p[0], p[1]), expected) << "repeated point served from the cache";
  }
}

TEST(WarpMapFunc, ClampsInputsAndOutputs) {
  const WarpMapFunc map = affineMap(6, 1.0, 0.0, 2.0, -0.5);
  struct Case {
    float inRow, inCol, sameRow, sameCol;
  };
  const Case cases[] = {{-0.3f, 0.4f, 0.0f, 0.4f}, {1.7f, 0.4f, 1.0f, 0.4f}, {0.6f, -5.0f, 0.6f, 0.0f}};
  for (const Case& c : cases) {
    float r1, c1, r2, c2;
    map.map(r1, c1, c.inRow, c.inCol);
    map.map(r2, c2, c.sameRow, c.sameCol);
    EXPECT_EQ(r1, r2);
    EXPECT_EQ(c1, c2);
  }
  float r, c;
  map.map(r, c, 0.5f, 0.9f);  // column 2 * 0.9 - 0.5 = 1.3 is clamped to 1
  EXPECT_FLOAT_EQ(c, 1.0f);
  map.map(r, c, 0.5f, 0.1f);  // -0.3 is clamped to 0
  EXPECT_FLOAT_EQ(c, 0.0f);
}

TEST(WarpMapFunc, PixelMappingUsesPixelCentres) {
  const WarpMapFunc identity = affineMap(6, 1.0, 0.0, 1.0, 0.0);
  for (float p : {0.0f, 17.0f, 239.0f}) {
    float r, c;
    identity.map(r, c, 240, 320, p, p + 3.0f, 240, 320);
    EXPECT_NEAR(r, p, 1e-4);
    EXPECT_NEAR(c, p + 3.0f, 1e-4);
  }
  float r, c;
  identity.map(r, c, 480, 640, 0.0f, 0.0f, 240, 320);
  EXPECT_NEAR(r, 0.5f, 1e-5);
  EXPECT_NEAR(c, 0.5f, 1e-5);
  // The bottom-right pixel reaches the closed end of the spline domain.
  identity.map(r, c, 480, 640, 479.5f, 639.5f, 480, 640);
  EXPECT_NEAR(r, 479.5f, 1e-3);
  EXPECT_NEAR(c, 639.5f, 1e-3);
}

TEST(WarpMapFunc, AdjustmentsAndClone) {
  WarpMapFunc map = affineMap(6, 1.0, 0.0, 1.0, 0.0);
  map.setSourceAdjustment(0.02, -0.01);       // added to the output (x = column)
  map.setDestinationAdjustment(-0.05, 0.03);  // subtracted from the input
  float r, c;
  map.map(r, c, 0.5f, 0.5f);
  EXPECT_NEAR(r, 0.5 - 0.03 - 0.01, 1e-6);
  EXPECT_NEAR(c, 0.5 + 0.05 + 0.02, 1e-6);

  const std::unique_ptr<WarpMapFunc> copy(map.clone());
  double x, y;
  copy->getSourceAdjustment(&x, &y);
  EXPECT_EQ(x, 0.02);
  EXPECT_EQ(y, -0.01);
  copy->getDestinationAdjustment(&x, &y);
  EXPECT_EQ(x, -0.05);
  EXPECT_EQ(y, 0.03);
  for (float a : {0.0f, 0.13f, 0.5f, 0.97f, 1.0f})
    for (float b : {0.0f, 0.4f, 1.0f}) {
      float r1, c1, r2, c2;
      map.map(r1, c1, 480, 640, a * 479, b * 639, 480, 640);
      copy->map(r2, c2, 480, 640, a * 479, b * 639, 480, 640);
      EXPECT_EQ(r1, r2);
      EXPECT_EQ(c1, c2);
    }
}
