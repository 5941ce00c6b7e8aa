#include "ZorList.h"
#include "ZorPointCloud3d.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string tempPath(const std::string& name) { return testing::TempDir() + "zor_cloud_" + name; }

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

const ZorColourPoint3d& colourAt(const ZorPointCloud3d& cloud, int i) {
  const auto* p = dynamic_cast<const ZorColourPoint3d*>(cloud.elementAt(i));
  EXPECT_NE(p, nullptr) << i;
  static const ZorColourPoint3d none;
  return p ? *p : none;
}

}  // namespace

TEST(ZorList, GrowthByStepOrDoubling) {
  struct Case {
    int capacity, step;
    int expected[4];  // capacity after 1, 3, 5 and 9 elements
  };
  const Case cases[] = {
      {2, 0, {2, 4, 8, 16}},
      {2, -3, {2, 4, 8, 16}},
      {0, 0, {1, 4, 8, 16}},
      {2, 3, {2, 5, 5, 11}},
      {-5, 2, {2, 4, 6, 10}},
  };
  int marker[9];
  for (const Case& c : cases) {
    ZorList list(c.capacity, c.step);
    int seen = 0;
    for (int i = 0; i < 9; ++i) {
      EXPECT_EQ(list.addElement(&marker[i]), i);
      if (i == 0 || i == 2 || i == 4 || i == 8) {
        EXPECT_EQ(list.capacity(), c.expected[seen++]) << c.capacity << "/" << c.step << " size " << i + 1;
      }
    }
    EXPECT_EQ(list.elementAt(8), &marker[8]);
  }
  ZorList list;
  EXPECT_EQ(list.capacity(), 1000);
  EXPECT_EQ(list.addElement(nullptr), -1);
  EXPECT_EQ(list.size(), 0);
}

TEST(ZorList, RemovalKeepsOrderOrFillsTheHole) {
  int v[5];
  for (bool ordered : {true, false}) {
    ZorList list(2, 0);
    list.setOrdered(ordered);
    for (int& x : v) list.addElement(&x);
    EXPECT_TRUE(list.removeElementAt(1));
    EXPECT_EQ(list.elementAt(1), ordered ? &v[2] : &v[4]);
    EXPECT_EQ(list.elementAt(3), ordered ? &v[4] : &v[3]);
    EXPECT_EQ(list.size(), 4);
    EXPECT_EQ(list.indexOf(&v[1]), -1);
    for (int bad : {-1, 4, 100}) {
      EXPECT_FALSE(list.removeElementAt(bad));
      EXPECT_EQ(list.elementAt(bad), nullptr);
    }
  }
  ZorList list(10, 10);
  list.addElement(&v[0]);
  list.addElement(&v[1]);
  ZorList copy = list;
  list.empty();
  EXPECT_EQ(list.size(), 0);
  EXPECT_EQ(list.capacity(), 10);
  EXPECT_EQ(copy.elementAt(1), &v[1]);
  copy.trim();
  EXPECT_EQ(copy.capacity(), 2);
  EXPECT_EQ(copy.indexOf(&v[1]), 1);
  EXPECT_EQ(copy.addElement(&v[2]), 2);
}

TEST(ZorPointCloud3d, CentreIsTheRunningMean) {
  ZorPointCloud3d cloud;
  cloud.insertPoint(new ZorPoint3d(2, 0, 0));
  EXPECT_EQ(cloud.centerPoint().x(), 2.0);
  cloud.insertPoint(new ZorPoint3d(4, 6, 0));
  cloud.insertPoint(new ZorPoint3d(6, 0, 9));
  EXPECT_DOUBLE_EQ(cloud.centerPoint().x(), 4.0);
  EXPECT_DOUBLE_EQ(cloud.centerPoint().y(), 2.0);
  EXPECT_DOUBLE_EQ(cloud.centerPoint().z(), 3.0);
  EXPECT_EQ(cloud.insertPoint(nullptr), -1);

  cloud.center();
  EXPECT_DOUBLE_EQ(cloud.elementAt(0)->x(), -2.0);
  EXPECT_EQ(cloud.centerPoint().x(), 0.0);

  EXPECT_TRUE(cloud.deleteElementAt(0));
  EXPECT_FALSE(cloud.deleteElementAt(5));
  ZorPoint3d mean;
  cloud.getCenterOfMass(mean);
  EXPECT_DOUBLE_EQ(mean.x(), 1.0);
  EXPECT_DOUBLE_EQ(mean.z(), 1.5);

  cloud.normalize();  // largest absolute coordinate 6 -> 1
  EXPECT_DOUBLE_EQ(cloud.elementAt(1)->z(), 1.0);
  cloud.empty();
  cloud.getCenterOfMass(mean);
  EXPECT_EQ(mean.x(), 0.0);
  cloud.normalize();  // nothing to scale, nothing divided by zero
  EXPECT_EQ(cloud.size(), 0);
}

TEST(ZorPointCloud3d, FileRoundTripForEveryPointType) {
  ZorPointCloud3d cloud;
  auto* first = new ZorColourPoint3d(1.5, -2.25, 3.125, 0.2, 0.5, 1.0);
  first->setUV(0.25, 0.75);
  cloud.insertPoint(first);
  cloud.insertPoint(new ZorColourPoint3d(-1e3, 0.000001, 42, 0.0, 0.99, 0.31));

  struct Case {
    enum_POINTTYPES saved, loaded;
    bool colours, uv;
  };
  // Plain points are written with the grey value 255, so they come back white.
  const Case cases[] = {{ZOR_POINTTYPE_XYZ, ZOR_POINTTYPE_XYZRGB, false, false},
                        {ZOR_POINTTYPE_XYZUV, ZOR_POINTTYPE_XYZUV, false, true},
                        {ZOR_POINTTYPE_XYZRGB, ZOR_POINTTYPE_XYZRGB, true, false},
                        {ZOR_POINTTYPE_XYZRGBUV, ZOR_POINTTYPE_XYZRGBUV, true, true}};
  const std::string path = tempPath("types.txt");
  for (const Case& c : cases) {
    cloud.setPointType(c.saved);
    ASSERT_TRUE(cloud.save(path.c_str()));
    ZorPointCloud3d back;
    ASSERT_TRUE(back.load(path.c_str()));
    EXPECT_EQ(back.pointType(), c.loaded) << c.saved;
    ASSERT_EQ(back.size(), 2);
    EXPECT_EQ(back.capacity(), 2);
    for (int i = 0; i < 2; ++i) {
      const ZorColourPoint3d& in = colourAt(cloud, i);
      const ZorColourPoint3d& out = colourAt(back, i);
      EXPECT_NEAR(out.x(), in.x(), 5e-7);
      EXPECT_NEAR(out.y(), in.y(), 5e-7);
      EXPECT_NEAR(out.z(), in.z(), 5e-7);
      if (c.colours) {
        EXPECT_NEAR(out.red(), in.red(), 1.0 / 255) << c.saved;
        EXPECT_NEAR(out.green(), in.green(), 1.0 / 255);
        EXPECT_NEAR(out.blue(), in.blue(), 1.0 / 255);
        EXPECT_LE(out.green(), in.green());  // written truncated
      }
      if (c.saved == ZOR_POINTTYPE_XYZ) {
        EXPECT_EQ(out.red(), 1.0);
      }
      if (c.uv) {
        EXPECT_NEAR(out.u(), in.u(), 5e-7);
        EXPECT_NEAR(out.v(), in.v(), 5e-7);
      }
    }
  }
  cloud.setPointType(ZOR_POINTTYPE_XYZRGB);
  ASSERT_TRUE(cloud.save(path.c_str()));
  EXPECT_EQ(readFile(path), "1.500000 -2.250000 3.125000 51 127 255\n"
                            "-1000.000000 0.000001 42.000000 0 252 79\n");
  std::remove(path.c_str());
}

TEST(ZorPointCloud3d, LoadReadsEachLineByItsNumberCount) {
  const std::string path = tempPath("lines.txt");
  std::ofstream(path) << "1 2 3\n"
                      << "1 2 3 128\n"
                      << "# comment\n\n"
                      << "1 2\n"
                      << "x 1 2 3\n"
                      << std::string(600, '7') << " 1 2 3\n"
                      << "4 5 6 255 0 0\n"
                      << "7 8 9 1 2\n"
                      << "1 1 1 0 0 255 0.5 0.25\n"
                      << "9 9 9";
  ZorPointCloud3d cloud(1, 0);
  cloud.insertPoint(new ZorPoint3d(100, 100, 100));  // replaced by the file
  ASSERT_TRUE(cloud.load(path.c_str()));
  ASSERT_EQ(cloud.size(), 6);
  EXPECT_EQ(dynamic_cast<const ZorColourPoint3d*>(cloud.elementAt(0)), nullptr);
  EXPECT_DOUBLE_EQ(colourAt(cloud, 1).green(), 128.0 / 255);
  EXPECT_DOUBLE_EQ(colourAt(cloud, 1).red(), 128.0 / 255);
  EXPECT_EQ(colourAt(cloud, 2).red(), 1.0);
  EXPECT_EQ(colourAt(cloud, 2).blue(), 0.0);
  EXPECT_EQ(colourAt(cloud, 3).u(), 1.0);
  EXPECT_EQ(colourAt(cloud, 3).v(), 2.0);
  EXPECT_EQ(colourAt(cloud, 4).blue(), 1.0);
  EXPECT_EQ(colourAt(cloud, 4).v(), 0.25);
  EXPECT_EQ(cloud.elementAt(5)->x(), 9.0);
  EXPECT_EQ(cloud.pointType(), ZOR_POINTTYPE_XYZ);  // type of the last line
  std::remove(path.c_str());

  EXPECT_FALSE(cloud.load(tempPath("missing.txt").c_str()));
  EXPECT_EQ(cloud.size(), 6);
  EXPECT_FALSE(cloud.save((testing::TempDir() + "no_such_dir/cloud.txt").c_str()));
  EXPECT_FALSE(cloud.saveVRML(nullptr));
}

TEST(ZorPointCloud3d, VrmlFile) {
  ZorPointCloud3d cloud;
  cloud.insertPoint(new ZorPoint3d(1, 2.5, -3));
  const std::string path = tempPath("cloud.wrl");
  ASSERT_TRUE(cloud.saveVRML(path.c_str()));
  EXPECT_EQ(readFile(path),
            "#VRML V1.0 ascii\n"
            "Material {diffuseColor 0 1 0 }\n"
            "Separator {\n"
            "   Translation { translation 1.000000 2.500000 -3.000000 }\n"
            "   Cube { width 0.005 height 0.005 depth 0.005 }\n"
            "}\n");
  std::remove(path.c_str());
}

TEST(ZorPointCloud3d, LinearScanIgnoresPointsTenThousandUnitsAway) {
  ZorPointCloud3d cloud;
  cloud.insertPoint(new ZorPoint3d(0, 0, 0));
  EXPECT_EQ(cloud.findNearestIndex(ZorPoint3d(9999, 0, 0)), 0);
  EXPECT_EQ(cloud.findNearestIndex(ZorPoint3d(10000, 0, 0)), -1);
  cloud.indexPoints();
  EXPECT_EQ(cloud.findNearestIndex(ZorPoint3d(10000, 0, 0)), 0);
  cloud.scale(2.0);  // moving the points drops the tree
  EXPECT_FALSE(cloud.isIndexed());
}

TEST(ZorPointCloud3d, UnowningCloudLeavesPointsToTheCaller) {
  ZorPoint3d a(1, 2, 3), b(4, 5, 6);
  {
    ZorPointCloud3d cloud;
    cloud.setOwnership(false);
    cloud.insertPoint(&a);
    cloud.addElement(&b);
    EXPECT_TRUE(cloud.removeElementAt(0));
    EXPECT_EQ(cloud.elementAt(0), &b);
  }
  EXPECT_EQ(b.z(), 6.0);  // still alive: the sanitizer build would report a bad free
}
