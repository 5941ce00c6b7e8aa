#include "ZorPointCloud3d.h"
#include "ZorTransform3d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

namespace {

constexpr double kPi = 3.14159265358979323846;

void expectSameMatrix(const ZorTransform3d& a, const ZorTransform3d& b, double tolerance) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.elementAt(r, c), b.elementAt(r, c), tolerance) << r << c;
}

void expectPoint(const ZorPoint3d& p, double x, double y, double z, double tolerance = 1e-12) {
  EXPECT_NEAR(p.x(), x, tolerance);
  EXPECT_NEAR(p.y(), y, tolerance);
  EXPECT_NEAR(p.z(), z, tolerance);
}

ZorTransform3d rotationAbout(double ax, double ay, double az, double angle) {
  ZorTransform3d t;
  EXPECT_TRUE(t.setGeneralAxisRotation(ZorVector(ax, ay, az), angle));
  return t;
}

std::string tempPath(const std::string& name) { return testing::TempDir() + "zor_transform_" + name; }

}  // namespace

TEST(ZorTransform3d, GeneralAxisRotation) {
  ZorPoint3d p(1, 0, 0);
  rotationAbout(0, 0, 1, kPi / 2).apply(p);
  expectPoint(p, 0, 1, 0);

  // A third of a turn about (1, 1, 1) cycles the axes; the axis length does not matter.
  ZorPoint3d q(1, 0, 0);
  rotationAbout(2, 2, 2, 2 * kPi / 3).apply(q);
  expectPoint(q, 0, 1, 0);

  ZorTransform3d unchanged(1, 2, 3, 0.1, 0.2, 0.3);
  EXPECT_FALSE(unchanged.setGeneralAxisRotation(ZorVector(ZorPoint3d(1, 1, 1), ZorPoint3d(1, 1, 1)), 1.0));
  EXPECT_EQ(unchanged.tY(), 2.0);
}

// setEulerZYX, setEulerXYZ and setGeneralAxisRotation agree with products of
// single-axis rotations, and the derived parameters rebuild the same matrix.
TEST(ZorTransform3d, EulerConventionsMatchAxisProducts) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> angle(-kPi, kPi), half(-1.5, 1.5), shift(-10, 10);
  for (int i = 0; i < 200; ++i) {
    const double rx = angle(rng), ry = half(rng), rz = angle(rng);
    const double tx = shift(rng), ty = shift(rng), tz = shift(rng);
    const ZorTransform3d Rx = rotationAbout(1, 0, 0, rx), Ry = rotationAbout(0, 1, 0, ry),
                         Rz = rotationAbout(0, 0, 1, rz);

    ZorTransform3d zyx;
    zyx.setEulerZYX(rx, ry, rz, tx, ty, tz);
    ZorTransform3d product = Rz;
    product.postMultiply(Ry);
    product.postMultiply(Rx);
    product.preMultiply(ZorTransform3d(tx, ty, tz, 0, 0, 0));
    expectSameMatrix(zyx, product, 1e-12);
    EXPECT_NEAR(product.rX(), rx, 1e-9);
    EXPECT_NEAR(product.rY(), ry, 1e-9);
    EXPECT_NEAR(product.rZ(), rz, 1e-9);

    ZorTransform3d xyz;
    xyz.setEulerXYZ(rx, ry, rz, tx, ty, tz);
    ZorTransform3d xyzProduct = Rx;
    xyzProduct.postMultiply(Ry);
    xyzProduct.postMultiply(Rz);
    xyzProduct.preMultiply(ZorTransform3d(tx, ty, tz, 0, 0, 0));
    expectSameMatrix(xyz, xyzProduct, 1e-12);
    expectSameMatrix(ZorTransform3d(xyz), xyz, 1e-12);  // a copy rebuilds from the parameters
  }
}

TEST(ZorTransform3d, GimbalLockParametersRebuildTheMatrix) {
  for (double ry : {kPi / 2, -kPi / 2}) {
    ZorTransform3d t;
    t.setEulerZYX(0.3, ry, 0.2, 1, 2, 3);
    ZorTransform3d derived;
    derived.setMatrix(t.data());
    EXPECT_EQ(derived.rZ(), 0.0) << ry;
    expectSameMatrix(ZorTransform3d(derived), t, 1e-12);
  }
}

TEST(ZorTransform3d, InverseUndoesTheTransform) {
  ZorTransform3d t(1, -2, 3, 0.4, -0.7, 2.1);
  ZorTransform3d inverse = t;
  inverse.invert();
  ZorTransform3d product = t;
  product.postMultiply(inverse);
  expectSameMatrix(product, ZorTransform3d(), 1e-12);

  ZorPoint3d p(5, 6, 7);
  t.apply(p);
  inverse.apply(p);
  expectPoint(p, 5, 6, 7);

  ZorTransform3d transposed(0, 0, 0, 0.4, -0.7, 2.1);
  transposed.transpose();
  ZorTransform3d inverted(0, 0, 0, 0.4, -0.7, 2.1);
  inverted.invert();
  expectSameMatrix(transposed, inverted, 1e-15);
}

TEST(ZorTransform3d, AxesPlanesAndOpenGlMatrix) {
  const ZorTransform3d t(1, 2, 3, 0, 0, kPi / 2);  // x -> y, y -> -x
  expectPoint(t.location(), 1, 2, 3);
  EXPECT_NEAR(t.vectorX().y(), 1.0, 1e-15);
  EXPECT_NEAR(t.vectorY().x(), -1.0, 1e-15);
  EXPECT_NEAR(t.vectorZ().z(), 1.0, 1e-15);

  struct Case {
    ZorPlane plane;
    ZorVector normal;
  };
  const Case cases[] = {{t.planeXY(), t.vectorZ()}, {t.planeXZ(), t.vectorY()}, {t.planeYZ(), t.vectorX()}};
  for (const Case& c : cases) {
    EXPECT_NEAR(c.plane.getNormal().dot(c.normal), 1.0, 1e-12);
    EXPECT_NEAR(c.plane.distance(t.location()), 0.0, 1e-12);
  }

  const float* gl = t.glMatrixf();
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(gl[c * 4 + r], static_cast<float>(t.elementAt(r, c)));
  EXPECT_EQ(gl[12], 1.0f);
  EXPECT_EQ(t.elementAt(4, 0), 0.0);
}

TEST(ZorTransform3d, ApplyingToACloudMovesPointsAndCentre) {
  ZorPointCloud3d cloud;
  cloud.insertPoint(new ZorPoint3d(1, 0, 0));
  cloud.insertPoint(new ZorPoint3d(3, 0, 0));
  cloud.indexPoints();
  ZorTransform3d(0, 0, 5, 0, 0, kPi / 2).apply(cloud);
  EXPECT_FALSE(cloud.isIndexed());
  expectPoint(*cloud.elementAt(1), 0, 3, 5);
  expectPoint(cloud.centerPoint(), 0, 2, 5);
}

TEST(ZorTransform3d, FileRoundTripInBothForms) {
  const ZorTransform3d t(0.5, -1.25, 2, 0.1, -0.2, 0.3);
  const std::string name = tempPath("roundtrip");
  ASSERT_TRUE(t.write(name.c_str()));
  std::ifstream text(name + ".trans");
  const std::string content((std::istreambuf_iterator<char>(text)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "Rx\t0.100000\nRy\t-0.200000\nRz\t0.300000\nTx\t0.500000\nTy\t-1.250000\nTz\t2.000000\n");

  ZorTransform3d back;
  ASSERT_TRUE(back.read(name.c_str()));
  expectSameMatrix(back, t, 1e-6);
  std::remove((name + ".trans").c_str());
}

TEST(ZorTransform3d, ReadsKeysInAnyOrderAndSkipsComments) {
  const std::string path = tempPath("any_order.trans");
  std::ofstream(path) << "// Rx 9 is a comment\nTz 6\nTy\t5 Tx 4\n  Rz 3\nRy 2\n// Rx 8\nRx 1\n";
  FILE* file = std::fopen(path.c_str(), "r");
  ASSERT_NE(file, nullptr);
  ZorTransform3d t;
  EXPECT_TRUE(t.read(file));
  std::fclose(file);
  expectSameMatrix(t, ZorTransform3d(4, 5, 6, 1, 2, 3), 0.0);
  std::remove(path.c_str());
}

TEST(ZorTransform3d, BadFilesLeaveTheTransformUnchanged) {
  struct Case {
    const char* name;
    std::string content;
  };
  const Case cases[] = {
      {"missing key", "Rx 1\nRy 2\nRz 3\nTx 4\nTy 5\n"},
      {"missing value", "Rx 1\nRy 2\nRz 3\nTx 4\nTy 5\nTz\n"},
      {"not a number", "Rx 1\nRy 2\nRz 3\nTx 4\nTy 5\nTz x\n"},
      {"key only in a comment", "Rx 1\nRy 2\nRz 3\nTx 4\nTy 5\n// Tz 6\n"},
      {"overlong word", std::string(728, 'a') + "\nRx 1\nRy 2\nRz 3\nTx 4\nTy 5\nTz 6\n"},
      {"empty", ""},
  };
  const ZorTransform3d original(7, 8, 9, 0.1, 0.2, 0.3);
  for (const Case& c : cases) {
    const std::string name = tempPath("bad");
    std::ofstream(name + ".trans") << c.content;
    ZorTransform3d t = original;
    EXPECT_FALSE(t.read(name.c_str())) << c.name;
    expectSameMatrix(t, original, 0.0);
    std::remove((name + ".trans").c_str());
  }
  ZorTransform3d t;
  EXPECT_FALSE(t.read(tempPath("does_not_exist").c_str()));
  EXPECT_FALSE(t.read(static_cast<FILE*>(nullptr)));
  EXPECT_FALSE(t.write((testing::TempDir() + "no_such_dir/x").c_str()));

  // A word of exactly 727 characters is still acceptable.
  const std::string name = tempPath("long_word");
  std::ofstream(name + ".trans") << std::string(727, 'a') << "\nRx 1\nRy 2\nRz 3\nTx 4\nTy 5\nTz 6\n";
  EXPECT_TRUE(t.read(name.c_str()));
  std::remove((name + ".trans").c_str());
}
