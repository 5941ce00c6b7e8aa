#include "ZorPlane.h"
#include "ZorPointCloud3d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// Points of the plane 0.36x - 0.48y + 0.8z + 2 = 0 with Gaussian noise along
// the normal, plus outliers 1 to 4 units off the plane.
void fillNoisyPlane(ZorPointCloud3d& cloud, int points, int outliers, double noise) {
  std::mt19937 rng(29);
  std::uniform_real_distribution<double> coordinate(-10.0, 10.0), off(1.0, 4.0);
  std::normal_distribution<double> jitter(0.0, noise);
  const double n[3] = {0.36, -0.48, 0.8};
  for (int i = 0; i < points + outliers; ++i) {
    const double x = coordinate(rng), y = coordinate(rng);
    const double z = (-2.0 - n[0] * x - n[1] * y) / n[2];
    const double along = i < points ? jitter(rng) : (i % 2 ? 1 : -1) * off(rng);
    cloud.insertPoint(new ZorPoint3d(x + along * n[0], y + along * n[1], z + along * n[2]));
  }
}

void expectKnownPlane(const ZorPlane& plane, double tolerance) {
  double a, b, c, d;
  plane.getControlValues(a, b, c, d);
  const double sign = c > 0 ? 1.0 : -1.0;  // the fitted normal may point either way
  EXPECT_NEAR(sign * a, 0.36, tolerance);
  EXPECT_NEAR(sign * b, -0.48, tolerance);
  EXPECT_NEAR(sign * c, 0.8, tolerance);
  EXPECT_NEAR(sign * d, 2.0, 10 * tolerance);
}

}  // namespace

TEST(ZorPlaneFit, RecoversAPlaneFromNoisyPointsWithOutliers) {
  ZorPointCloud3d cloud;
  fillNoisyPlane(cloud, 400, 40, 0.01);

  ZorPlane eigenPlane;
  double sigma;
  int fits, rejected;
  ASSERT_TRUE(eigenPlane.eigenFitToPoints(cloud, 10, 2.5, sigma, fits, rejected));
  EXPECT_GE(fits, 2);
  EXPECT_GE(rejected, 40);
  EXPECT_LE(rejected, 60);  // the outliers, and few inliers beyond 2.5 sigma
  EXPECT_LT(sigma, 0.012);
  expectKnownPlane(eigenPlane, 2e-3);

  // One pass cannot reject anything, and the outliers pull the plane away.
  ZorPlane onePass;
  ASSERT_TRUE(onePass.eigenFitToPoints(cloud, 1, 2.5, sigma, fits, rejected));
  EXPECT_EQ(rejected, 0);
  EXPECT_GT(sigma, 0.3);

  ZorPlane leastSquaresPlane;
  ASSERT_TRUE(leastSquaresPlane.leastSquaresFitToPoints(cloud, 10, 2.5, sigma, fits, rejected));
  EXPECT_GE(rejected, 40);
  expectKnownPlane(leastSquaresPlane, 2e-3);

  ZorPlane plain;
  ASSERT_TRUE(plain.fitToPoints(cloud, 10, 2.5));
  expectKnownPlane(plain, 2e-3);
}

TEST(ZorPlaneFit, BadArgumentsAndDegenerateCloudsAreRefused) {
  ZorPointCloud3d two, line, coincident, good;
  two.insertPoint(new ZorPoint3d(0, 0, 0));
  two.insertPoint(new ZorPoint3d(1, 0, 0));
  for (int i = 0; i < 10; ++i) {
    line.insertPoint(new ZorPoint3d(i, 2 * i, -i));
    coincident.insertPoint(new ZorPoint3d(3, 3, 3));
  }
  fillNoisyPlane(good, 20, 0, 0.0);

  struct Case {
    const char* name;
    const ZorPointCloud3d& cloud;
    int iterations;
    double factor;
  };
  const Case cases[] = {
      {"two points", two, 5, 2.0},         {"collinear", line, 5, 2.0},
      {"coincident", coincident, 5, 2.0},  {"no iterations", good, 0, 2.0},
      {"zero factor", good, 5, 0.0},       {"negative factor", good, 5, -1.0},
  };
  for (const Case& c : cases) {
    ZorPlane plane;
    double sigma, a, b, cc, d;
    int fits, rejected;
    EXPECT_FALSE(plane.fitToPoints(c.cloud, c.iterations, c.factor)) << c.name;
    EXPECT_FALSE(plane.eigenFitToPoints(c.cloud, c.iterations, c.factor, sigma, fits, rejected)) << c.name;
    EXPECT_FALSE(plane.leastSquaresFitToPoints(c.cloud, c.iterations, c.factor, sigma, fits, rejected)) << c.name;
    plane.getControlValues(a, b, cc, d);
    EXPECT_EQ(a, 1.0) << c.name;  // still the default plane
    EXPECT_EQ(d, 0.0) << c.name;
  }

  // Exact points: one fit, sigma 0 ends the passes.
  ZorPlane exact;
  double sigma;
  int fits, rejected;
  ASSERT_TRUE(exact.eigenFitToPoints(good, 5, 2.0, sigma, fits, rejected));
  EXPECT_LT(sigma, 1e-12);
  expectKnownPlane(exact, 1e-12);
}
