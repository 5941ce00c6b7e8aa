#include "ZorPlane.h"
#include "ZorPoint.h"
#include "ZorVector.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void expectCoefficients(const ZorPlane& plane, double a, double b, double c, double d) {
  double pa, pb, pc, pd;
  plane.getControlValues(pa, pb, pc, pd);
  EXPECT_NEAR(pa, a, 1e-15);
  EXPECT_NEAR(pb, b, 1e-15);
  EXPECT_NEAR(pc, c, 1e-15);
  EXPECT_NEAR(pd, d, 1e-15);
}

}  // namespace

TEST(ZorPoint3d, CoincidentPointsAreEqualWithoutAnEpsilon) {
  ASSERT_EQ(ZorPoint3d::getEpsilon(), 0.0);
  const ZorPoint3d p(1.5, -2.0, 3.25), q(1.5, -2.0, 3.25), near(1.5, -2.0, 3.25 + 1e-12);
  EXPECT_TRUE(p.equals(q));
  EXPECT_FALSE(p.equals(near));
  ZorPoint3d::setEpsilon(1e-6);
  EXPECT_TRUE(p.equals(near));
  ZorPoint3d::setEpsilon(0.0);

  ZorPoint2d::setEpsilon(1e-7);
  EXPECT_TRUE(ZorPoint2d(1, 1) == ZorPoint2d(1, 1 + 1e-4));  // 1e-8 below 1e-7
  EXPECT_TRUE(ZorPoint2d(1, 1) != ZorPoint2d(1, 1 + 1e-3));
}

TEST(ZorPoint3d, VolumeAndCollinearity) {
  const ZorPoint3d o(0, 0, 0), x(1, 0, 0), y(0, 1, 0), z(0, 0, 1);
  // det [[0,0,0,1],[1,0,0,1],[0,1,0,1],[0,0,1,1]] = -1
  EXPECT_DOUBLE_EQ(ZorPoint3d::volume(o, x, y, z), -1.0 / 6.0);
  EXPECT_DOUBLE_EQ(ZorPoint3d::volume(o, y, x, z), 1.0 / 6.0);
  EXPECT_EQ(ZorPoint3d::volume(o, x, y, ZorPoint3d(5, 7, 0)), 0.0);

  EXPECT_TRUE(ZorPoint3d::collinear(x, ZorPoint3d(2, 1, 1), ZorPoint3d(3, 2, 2)));
  // In a plane through the origin, yet not on one line.
  EXPECT_FALSE(ZorPoint3d::collinear(x, y, ZorPoint3d(1, 1, 0)));
}

TEST(ZorPoint2d, OrientationAndCircleTests) {
  const ZorPoint2d a(0, 0), b(1, 0), c(0, 1);
  EXPECT_EQ(ZorPoint2d::triangleArea(a, b, c), 1.0);
  EXPECT_TRUE(ZorPoint2d::ccw(a, b, c));
  EXPECT_FALSE(ZorPoint2d::ccw(a, c, b));
  EXPECT_TRUE(ZorPoint2d::collinear(a, b, ZorPoint2d(3, 0)));
  EXPECT_TRUE(ZorPoint2d::inCircle(a, b, c, ZorPoint2d(0.5, 0.5)));
  EXPECT_FALSE(ZorPoint2d::inCircle(a, b, c, ZorPoint2d(2, 2)));
  EXPECT_FALSE(ZorPoint2d::inCircle(a, b, c, ZorPoint2d(1, 1)));  // on the circle
}

TEST(ZorVector, ConstructionRulesAndUnitFlag) {
  const ZorVector fallback(0, 0, 0);
  EXPECT_EQ(fallback.x(), 1.0);
  EXPECT_TRUE(fallback.isNormalized());

  const ZorVector unit(ZorPoint3d(0, 0, 0), ZorPoint3d(1, 0, 0), ZorPoint3d(0, 1, 0));
  EXPECT_EQ(unit.z(), 1.0);
  EXPECT_TRUE(unit.isNormalized());

  ZorVector v(ZorPoint3d(1, 1, 1), ZorPoint3d(4, 5, 1));
  EXPECT_EQ(v.magnitude(), 5.0);
  EXPECT_FALSE(v.isNormalized());
  v.multiplyBy(-2.0);
  EXPECT_EQ(v.magnitude(), 10.0);
  EXPECT_EQ(v.x(), -6.0);
  v.normalize();
  EXPECT_DOUBLE_EQ(v.x(), -0.6);
  EXPECT_DOUBLE_EQ(v.y(), -0.8);
  EXPECT_EQ(v.magnitude(), 1.0);

  // A zero difference has no direction; normalising leaves it alone.
  ZorVector zero = v.minus(v);
  zero.normalize();
  EXPECT_EQ(zero.magnitude(), 0.0);
  EXPECT_EQ(zero.x(), 0.0);

  const ZorVector ex(1, 0, 0), ey(0, 1, 0);
  EXPECT_EQ(ex.cross(ey).z(), 1.0);
  EXPECT_EQ(ex.plus(ey).magnitude(), std::sqrt(2.0));
  EXPECT_EQ(ZorVector::dot(ZorPoint3d(1, 1, 1), ZorPoint3d(2, 1, 1), ZorPoint3d(3, 5, 1)), 2.0);
  EXPECT_EQ(ZorVector::dot(ZorPoint2d(1, 1), ZorPoint2d(2, 3), ZorPoint2d(0, 2)), 1.0);
}

TEST(ZorPlane, ThroughThreePoints) {
  const ZorPlane xy(ZorPoint3d(0, 0, 0), ZorPoint3d(1, 0, 0), ZorPoint3d(0, 1, 0));
  expectCoefficients(xy, 0, 0, 1, 0);

  const ZorPlane shifted(ZorPoint3d(0, 0, 2), ZorPoint3d(0, 1, 2), ZorVector(1, 0, 0));
  expectCoefficients(shifted, 0, 0, -1, 2);
  EXPECT_DOUBLE_EQ(shifted.distance(ZorPoint3d(3, 4, 5)), -3.0);
  const ZorPoint3d foot = shifted.project(ZorPoint3d(3, 4, 5));
  EXPECT_DOUBLE_EQ(foot.z(), 2.0);
  EXPECT_DOUBLE_EQ(foot.x(), 3.0);
}

TEST(ZorPlane, DegenerateInputIsRefused) {
  ZorPlane plane;
  EXPECT_FALSE(plane.set(ZorPoint3d(0, 0, 1), ZorPoint3d(1, 1, 1), ZorPoint3d(2, 2, 1)));
  expectCoefficients(plane, 1, 0, 0, 0);  // normal (1, 0, 0) through the first point
  EXPECT_FALSE(plane.set(ZorPoint3d(2, 0, 0), ZorPoint3d(2, 0, 0), ZorPoint3d(2, 0, 0)));
  expectCoefficients(plane, 1, 0, 0, -2);

  ASSERT_TRUE(plane.setCoefficients(0, 3, 4, 10));
  expectCoefficients(plane, 0, 0.6, 0.8, 2);
  EXPECT_FALSE(plane.setCoefficients(0, 0, 0, 1));
  expectCoefficients(plane, 0, 0.6, 0.8, 2);
}
