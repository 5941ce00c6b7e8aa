/*
 * ZorBSP.h - binary space partition tree for nearest-point search in a
 * ZorPointCloud3d.
 *
 * Each node splits its points at the mean of one of 13 projections (the axes,
 * the six face diagonals and the four space diagonals, all unit directions),
 * the one with the largest spread. Nodes of at most 5 points are leaves; so is
 * a node whose points all equal the first (ZorPoint3d::equals: an exact match,
 * or within the 3D epsilon when one is set), which keeps only that first point,
 * and a node that no projection can divide, which keeps all its points. The
 * search is exact for the points the tree keeps.
 *
 * The tree copies the coordinates it needs; it must be rebuilt when the cloud
 * changes.
 */
#ifndef ZOR_BSP_H
#define ZOR_BSP_H

#include <atomic>
#include <vector>

#include "ZorPoint.h"
#include "stelox.h"

class ZorPointCloud3d;

class STELOX_API ZorBSPnode {
 public:
  static constexpr int kProjections = 13;
  static constexpr int kLeafSize = 5;

  /* Number of cloud points below this node. */
  int count = 0;
  /* Split projection 0 ... 12, or -1 for a leaf. */
  int projection = -1;
  /* Internal nodes: the split value and the node indices of the two children
   * (lower: projection below the split). */
  double split = 0.0;
  int lower = -1;
  int upper = -1;
  /* Leaves: the range of point slots they hold in their tree. */
  int first = 0;
  int stored = 0;

  bool isLeaf() const { return projection < 0; }
  static double project(int projection, double x, double y, double z);

  /* Search statistics, summed over all searches of all trees: internal nodes
   * entered, internal nodes whose far side was searched too, leaves scanned. */
  static std::atomic<int> num_closest;
  static std::atomic<int> num_both;
  static std::atomic<int> num_leaf;
};

class STELOX_API ZorBSP {
 public:
  /* Indexes the cloud's current points; the cloud must outlive the tree. */
  explicit ZorBSP(const ZorPointCloud3d& cloud);

  /* Index of the nearest point (first found on equal distances), -1 for an
   * empty tree; squareDistance receives its squared distance (1e35 when none). */
  int findNearestIndex(const ZorPoint3d& q) const;
  int findNearestIndex(const ZorPoint3d& q, double& squareDistance) const;

  const ZorPointCloud3d& cloud() const { return *m_cloud; }
  /* Null for an empty cloud. */
  const ZorBSPnode* root() const { return m_nodes.empty() ? nullptr : &m_nodes[0]; }
  int nodeCount() const { return static_cast<int>(m_nodes.size()); }
  const ZorBSPnode& node(int i) const { return m_nodes[i]; }

 private:
  const ZorPointCloud3d* m_cloud;
  std::vector<ZorBSPnode> m_nodes;
  std::vector<int> m_slotIndex;    /* cloud index of each leaf slot */
  std::vector<double> m_slotXyz;   /* coordinates of each leaf slot */
};

#endif
