#include "ZorBSP.h"

#include <algorithm>
#include <numeric>

#include "ZorPointCloud3d.h"

std::atomic<int> ZorBSPnode::num_closest{0};
std::atomic<int> ZorBSPnode::num_both{0};
std::atomic<int> ZorBSPnode::num_leaf{0};

namespace {

constexpr double kR2 = 0.70710678118654752440;  // 1 / sqrt(2)
constexpr double kR3 = 0.57735026918962576451;  // 1 / sqrt(3)

// Unit directions of the 13 projections: axes, face diagonals, space diagonals.
constexpr double kDirections[ZorBSPnode::kProjections][3] = {
    {1, 0, 0},      {0, 1, 0},      {0, 0, 1},        {kR2, kR2, 0},   {kR2, 0, kR2},
    {0, kR2, kR2},  {kR2, -kR2, 0}, {kR2, 0, -kR2},   {0, kR2, -kR2},  {kR3, kR3, kR3},
    {kR3, kR3, -kR3}, {kR3, -kR3, kR3}, {kR3, -kR3, -kR3}};

inline double projectXyz(int projection, const double* xyz) {
  const double* d = kDirections[projection];
  return d[0] * xyz[0] + d[1] * xyz[1] + d[2] * xyz[2];
}

// Stack of pending nodes of a search; lives on the call stack unless the tree
// is unusually deep.
class SearchStack {
 public:
  struct Item {
    int node;
    double bound;  // visit only while the best squared distance exceeds this
  };
  void push(int node, double bound) {
    if (m_size < kInline)
      m_inline[m_size] = {node, bound};
    else
      m_overflow.push_back({node, bound});
    ++m_size;
  }
  bool empty() const { return m_size == 0; }
  Item pop() {
    --m_size;
    if (m_size < kInline) return m_inline[m_size];
    const Item item = m_overflow.back();
    m_overflow.pop_back();
    return item;
  }

 private:
  static constexpr int kInline = 96;
  Item m_inline[kInline];
  std::vector<Item> m_overflow;
  int m_size = 0;
};

}  // namespace

double ZorBSPnode::project(int projection, double x, double y, double z) {
  const double xyz[3] = {x, y, z};
  return projectXyz(projection, xyz);
}

ZorBSP::ZorBSP(const ZorPointCloud3d& cloud) : m_cloud(&cloud) {
  const int n = cloud.size();
  if (n == 0) return;
  std::vector<double> xyz(3 * static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) cloud.elementAt(i)->getXYZ(xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]);
  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  m_slotIndex.reserve(n);
  m_slotXyz.reserve(3 * static_cast<size_t>(n));

  const auto makeLeaf = [&](int node, int begin, int end) {
    m_nodes[node].first = static_cast<int>(m_slotIndex.size());
    m_nodes[node].stored = end - begin;
    for (int k = begin; k < end; ++k) {
      m_slotIndex.push_back(order[k]);
      m_slotXyz.insert(m_slotXyz.end(), &xyz[3 * order[k]], &xyz[3 * order[k]] + 3);
    }
  };

  struct Pending {
    int node, begin, end;
  };
  std::vector<Pending> pending{{0, 0, n}};
  m_nodes.emplace_back();
  while (!pending.empty()) {
    const Pending work = pending.back();
    pending.pop_back();
    const int count = work.end - work.begin;
    m_nodes[work.node].count = count;
    if (count <= ZorBSPnode::kLeafSize) {
      makeLeaf(work.node, work.begin, work.end);
      continue;
    }
    const ZorPoint3d& firstPoint = *cloud.elementAt(order[work.begin]);
    const bool allEqual = std::all_of(order.begin() + work.begin + 1, order.begin() + work.end,
                                      [&](int i) { return cloud.elementAt(i)->equals(firstPoint); });
    if (allEqual) {
      makeLeaf(work.node, work.begin, work.begin + 1);
      continue;
    }

    // Spread and mean of every projection; sums are taken relative to the
    // first point so that clouds far from the origin keep their precision.
    double shift[ZorBSPnode::kProjections], sum[ZorBSPnode::kProjections] = {},
        sumSquares[ZorBSPnode::kProjections] = {};
    for (int p = 0; p < ZorBSPnode::kProjections; ++p) shift[p] = projectXyz(p, &xyz[3 * order[work.begin]]);
    for (int k = work.begin; k < work.end; ++k) {
      for (int p = 0; p < ZorBSPnode::kProjections; ++p) {
        const double v = projectXyz(p, &xyz[3 * order[k]]) - shift[p];
        sum[p] += v;
        sumSquares[p] += v * v;
      }
    }
    int byspread[ZorBSPnode::kProjections];
    double spread[ZorBSPnode::kProjections];
    for (int p = 0; p < ZorBSPnode::kProjections; ++p) {
      spread[p] = sumSquares[p] - sum[p] * sum[p] / count;
      byspread[p] = p;
    }
    std::stable_sort(byspread, byspread + ZorBSPnode::kProjections,
                     [&](int a, int b) { return spread[a] > spread[b]; });

    // The widest projection normally divides the points; rounding can put
    // every point on one side of the mean, so the next ones are tried, and a
    // node nothing divides becomes a leaf holding all its points.
    bool divided = false;
    for (int p : byspread) {
      if (!(spread[p] > 0.0)) break;
      const double mean = shift[p] + sum[p] / count;
      const auto middle =
          std::stable_partition(order.begin() + work.begin, order.begin() + work.end,
                                [&](int i) { return projectXyz(p, &xyz[3 * i]) < mean; });
      const int mid = static_cast<int>(middle - order.begin());
      if (mid == work.begin || mid == work.end) continue;
      const int lower = static_cast<int>(m_nodes.size());
      m_nodes.emplace_back();
      m_nodes.emplace_back();
      ZorBSPnode& node = m_nodes[work.node];
      node.projection = p;
      node.split = mean;
      node.lower = lower;
      node.upper = lower + 1;
      pending.push_back({lower + 1, mid, work.end});
      pending.push_back({lower, work.begin, mid});
      divided = true;
      break;
    }
    if (!divided) makeLeaf(work.node, work.begin, work.end);
  }
}

int ZorBSP::findNearestIndex(const ZorPoint3d& q) const {
  double squareDistance;
  return findNearestIndex(q, squareDistance);
}

int ZorBSP::findNearestIndex(const ZorPoint3d& q, double& squareDistance) const {
  double best = 1e35;
  int bestIndex = -1;
  squareDistance = best;
  if (m_nodes.empty()) return -1;

  const double qxyz[3] = {q.x(), q.y(), q.z()};
  double qp[ZorBSPnode::kProjections];
  for (int p = 0; p < ZorBSPnode::kProjections; ++p) qp[p] = projectXyz(p, qxyz);

  int closest = 0, both = 0, leaves = 0;
  SearchStack stack;
  stack.push(0, -1.0);
  while (!stack.empty()) {
    const SearchStack::Item item = stack.pop();
    if (!(best > item.bound)) continue;
    const ZorBSPnode& node = m_nodes[item.node];
    if (item.bound >= 0.0) ++both;
    if (node.isLeaf()) {
      ++leaves;
      for (int s = node.first; s < node.first + node.stored; ++s) {
        const double* p = &m_slotXyz[3 * static_cast<size_t>(s)];
        const double dx = p[0] - qxyz[0], dy = p[1] - qxyz[1], dz = p[2] - qxyz[2];
        const double d2 = dx * dx + dy * dy + dz * dz;
        if (d2 < best) {
          best = d2;
          bestIndex = m_slotIndex[s];
        }
      }
      continue;
    }
    ++closest;
    const double d = qp[node.projection] - node.split;
    const bool below = d < 0.0;
    // The far side is pushed first so that the near side is searched first.
    stack.push(below ? node.upper : node.lower, d * d);
    stack.push(below ? node.lower : node.upper, -1.0);
  }
  ZorBSPnode::num_closest.fetch_add(closest, std::memory_order_relaxed);
  ZorBSPnode::num_both.fetch_add(both, std::memory_order_relaxed);
  ZorBSPnode::num_leaf.fetch_add(leaves, std::memory_order_relaxed);
  squareDistance = best;
  return bestIndex;
}
