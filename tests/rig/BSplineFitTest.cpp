#include <gtest/gtest.h>

#include <cmath>

#include "BSplineFit.h"
#include "rectify/WarpSpline.h"

using namespace SteloxRig;

TEST(BSplineFit, BasisMatchesTheWarpSplineConvention) {
  // Clamped knots {0, 0, 0, 0, 1/3, 2/3, 1, 1, 1, 1}: basis {0, 1/32, 15/32, 15/32, 1/32, 0} at 0.5.
  const std::vector<double> knots = BSplineSurface::uniformKnots(6);
  ASSERT_EQ(knots.size(), 10u);
  EXPECT_DOUBLE_EQ(knots[4], 1.0 / 3.0);
  double values[4];
  const int first = BSplineSurface::basis(knots, 6, 0.5, values);
  ASSERT_EQ(first, 1);
  EXPECT_NEAR(values[0], 1.0 / 32, 1e-15);
  EXPECT_NEAR(values[1], 15.0 / 32, 1e-15);
  EXPECT_NEAR(values[2], 15.0 / 32, 1e-15);
  EXPECT_NEAR(values[3], 1.0 / 32, 1e-15);
  // Everywhere in [0, 1) the library's recursion gives the same values.
  for (int n : {4, 7, 12}) {
    const std::vector<double> t = BSplineSurface::uniformKnots(n);
    std::vector<double> scratch(n + 8);
    for (double x = 0.0; x < 1.0; x += 0.0371) {
      WarpSpline::basis(t.data(), n, x, scratch.data());
      const int f = BSplineSurface::basis(t, n, x, values);
      for (int i = 0; i < n; ++i) {
        const double mine = i >= f && i < f + 4 ? values[i - f] : 0.0;
        EXPECT_NEAR(mine, scratch[i], 1e-14) << n << " " << x << " " << i;
      }
    }
  }
}

TEST(BSplineFit, ReproducesFunctionsInsideTheSplineSpace) {
  // A bicubic polynomial lies in every clamped cubic spline space, so the
  // fit must be exact for any n.
  GridSamples samples;
  for (int i = 0; i < 37; ++i) samples.u.push_back((i + 0.5) / 37);
  for (int j = 0; j < 53; ++j) samples.v.push_back((j + 0.5) / 53);
  auto f = [](double u, double v) { return 0.3 + u * u * u - 0.5 * u * v * v + 0.25 * v * v * v * u * u; };
  ASSERT_TRUE(samples.sample([&](double u, double v, double& value) {
    value = f(u, v);
    return true;
  }));
  for (int n : {4, 5, 9}) {
    const BSplineSurface s = BSplineFit::fit(samples, n);
    for (double u : {0.0, 0.21, 0.77, 1.0})
      for (double v : {0.0, 0.5, 0.93, 1.0}) EXPECT_NEAR(s(u, v), f(u, v), 1e-12) << n;
    EXPECT_LT(BSplineFit::residual(s, samples, 1000.0).max, 1e-9);
  }
}

TEST(BSplineFit, ChoosesTheSmallestBasisThatMeetsTheTarget) {
  GridSamples fitSamples;
  GridSamples check;
  for (int i = 0; i < 100; ++i) fitSamples.u.push_back((i + 0.5) / 100);
  fitSamples.v = fitSamples.u;
  for (int i = 0; i <= 100; ++i) check.u.push_back(i / 100.0);
  check.v = check.u;
  auto f = [](double u, double v, double& value) {
    value = 0.1 * std::sin(6.0 * u) * std::cos(5.0 * v);
    return true;
  };
  ASSERT_TRUE(fitSamples.sample(f));
  ASSERT_TRUE(check.sample(f));
  const double target = 0.01;
  const BSplineFit::Choice choice = BSplineFit::fitToTarget(fitSamples, check, 100.0, target);
  EXPECT_LE(choice.residual.max, target);
  EXPECT_LE(choice.residual.rms, choice.residual.max);
  const BSplineSurface smaller = BSplineFit::fit(fitSamples, choice.surface.n - 1);
  EXPECT_GT(BSplineFit::residual(smaller, check, 100.0).max, target);
  // An unreachable target ends at the largest basis allowed.
  EXPECT_EQ(BSplineFit::fitToTarget(fitSamples, check, 100.0, 1e-12, 4, 10).surface.n, 10);
}
