#include "ZorBSP.h"
#include "ZorPointCloud3d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

struct Nearest {
  int index;  // the first of the nearest points
  double squareDistance;
  bool unique;  // no other position at that distance (copies of it may exist)
};

Nearest bruteForce(const ZorPointCloud3d& cloud, const ZorPoint3d& q) {
  Nearest best{-1, 1e300, false};
  for (int i = 0; i < cloud.size(); ++i) {
    const double d2 = cloud.elementAt(i)->squareDistance(q);
    if (d2 < best.squareDistance) best = {i, d2, true};
  }
  for (int i = 0; i < cloud.size(); ++i)
    if (!(cloud.elementAt(i)->squareDistance(q) > best.squareDistance) &&
        cloud.elementAt(i)->squareDistance(*cloud.elementAt(best.index)) != 0.0)
      best.unique = false;
  return best;
}

// Compares the tree with a brute-force scan: same distance always, same index
// where the nearest position is unique (the first of its copies).
void expectTreeMatchesScan(ZorPointCloud3d& cloud, std::mt19937& rng, int queries, double range) {
  cloud.indexPoints();
  std::uniform_real_distribution<double> coordinate(-range, range);
  std::uniform_int_distribution<int> pick(0, cloud.size() - 1);
  int uniqueCount = 0;
  for (int k = 0; k < queries; ++k) {
    ZorPoint3d q(coordinate(rng), coordinate(rng), coordinate(rng));
    if (k % 4 == 0) q = *cloud.elementAt(pick(rng));  // queries on the points themselves
    const Nearest expected = bruteForce(cloud, q);
    const int found = cloud.findNearestIndex(q);
    ASSERT_GE(found, 0);
    ASSERT_EQ(cloud.elementAt(found)->squareDistance(q), expected.squareDistance) << k;
    if (expected.unique) {
      ++uniqueCount;
      ASSERT_EQ(found, expected.index) << k;
    }
  }
  EXPECT_GT(uniqueCount, 0);
}

}  // namespace

TEST(ZorBSP, MatchesBruteForceOnRandomClouds) {
  std::mt19937 rng(17);
  for (int n : {1, 5, 6, 7, 100, 5000}) {
    ZorPointCloud3d cloud;
    std::normal_distribution<double> spread(0.0, 10.0);
    for (int i = 0; i < n; ++i) cloud.insertPoint(new ZorPoint3d(spread(rng), spread(rng), 0.1 * spread(rng)));
    expectTreeMatchesScan(cloud, rng, 2000, 30.0);
  }
}

TEST(ZorBSP, CloudsWithManyDuplicatePoints) {
  std::mt19937 rng(23);
  std::uniform_int_distribution<int> grid(-3, 3);
  ZorPointCloud3d cloud;
  // 343 grid positions, about 12 copies each, in random order.
  for (int i = 0; i < 4000; ++i) cloud.insertPoint(new ZorPoint3d(grid(rng), grid(rng), grid(rng)));
  expectTreeMatchesScan(cloud, rng, 3000, 4.0);

  // With an epsilon set, duplicates are still found at their first index.
  ZorPoint3d::setEpsilon(1e-9);
  expectTreeMatchesScan(cloud, rng, 1000, 4.0);
  ZorPoint3d::setEpsilon(0.0);
}

TEST(ZorBSP, TreesOverIdenticalOrInseparablePointsTerminate) {
  // Identical points: one leaf keeping the first of them.
  ZorPointCloud3d identical;
  for (int i = 0; i < 20; ++i) identical.insertPoint(new ZorPoint3d(5, 5, 5));
  const ZorBSP same(identical);
  EXPECT_EQ(same.nodeCount(), 1);
  EXPECT_EQ(same.root()->stored, 1);
  EXPECT_EQ(same.findNearestIndex(ZorPoint3d(0, 0, 0)), 0);

  // Two points one unit in the last place beside 48 others: every mean
  // rounds onto the larger group, no projection divides them, and the node
  // becomes a leaf holding all of them.
  const double nextToOne = std::nextafter(1.0, 2.0);
  ZorPointCloud3d inseparable;
  for (int i = 0; i < 50; ++i) inseparable.insertPoint(new ZorPoint3d(i < 2 ? nextToOne : 1.0, 0.1, 0.1));
  const ZorBSP tree(inseparable);
  ASSERT_EQ(tree.nodeCount(), 1);
  EXPECT_EQ(tree.root()->stored, 50);
  EXPECT_EQ(tree.findNearestIndex(ZorPoint3d(2, 0.1, 0.1)), 0);
  EXPECT_EQ(tree.findNearestIndex(ZorPoint3d(0, 0.1, 0.1)), 2);
}

TEST(ZorBSP, EmptyCloudAndVisitCounters) {
  ZorPointCloud3d empty;
  ZorBSP none(empty);
  EXPECT_EQ(none.root(), nullptr);
  double d2 = 0.0;
  EXPECT_EQ(none.findNearestIndex(ZorPoint3d(1, 2, 3), d2), -1);
  EXPECT_EQ(d2, 1e35);

  ZorPointCloud3d cloud;
  for (int i = 0; i < 64; ++i) cloud.insertPoint(new ZorPoint3d(i, 0, 0));
  ZorBSP tree(cloud);
  const int leavesBefore = ZorBSPnode::num_leaf.load();
  const int closestBefore = ZorBSPnode::num_closest.load();
  EXPECT_EQ(tree.findNearestIndex(ZorPoint3d(10.2, 0, 0)), 10);
  EXPECT_GE(ZorBSPnode::num_leaf.load() - leavesBefore, 1);
  EXPECT_GE(ZorBSPnode::num_closest.load() - closestBefore, 3);
  EXPECT_EQ(tree.root()->count, 64);
}
