#include "ZorPlane.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

#include "ZorLinearAlgebra.h"
#include "ZorPointCloud3d.h"

namespace {

using PointSet = std::vector<const ZorPoint3d*>;

constexpr double kEigenTolerance = 1e-7;
// Below this fraction of the largest scatter eigenvalue, the middle one counts
// as zero: the points are collinear (or coincident) and fix no plane.
constexpr double kDegenerateRatio = 1e-10;

PointSet pointsOf(const ZorPointCloud3d& cloud) {
  PointSet points;
  points.reserve(static_cast<size_t>(cloud.size()));
  for (int i = 0; i < cloud.size(); ++i) points.push_back(cloud.elementAt(i));
  return points;
}

// Sample standard deviation (n - 1) of the signed distances; 0 below 2 points.
double distanceSigma(const ZorPlane& plane, const PointSet& points) {
  const size_t n = points.size();
  if (n < 2) return 0.0;
  double sum = 0.0;
  for (const ZorPoint3d* p : points) sum += plane.distance(*p);
  const double mean = sum / n;
  double squares = 0.0;
  for (const ZorPoint3d* p : points) {
    const double d = plane.distance(*p) - mean;
    squares += d * d;
  }
  return std::sqrt(squares / (n - 1));
}

// The points not farther than limit from the plane.
PointSet within(const ZorPlane& plane, const PointSet& points, double limit) {
  PointSet kept;
  kept.reserve(points.size());
  for (const ZorPoint3d* p : points)
    if (!(std::fabs(plane.distance(*p)) > limit)) kept.push_back(p);
  return kept;
}

// Plane through the centroid normal to the direction of least scatter; false
// when the points fix no plane.
bool eigenPlane(const PointSet& points, ZorPoint3d& centroid, ZorVector& normal) {
  if (points.size() < 3) return false;
  double cx = 0.0, cy = 0.0, cz = 0.0;
  for (const ZorPoint3d* p : points) {
    cx += p->x();
    cy += p->y();
    cz += p->z();
  }
  const double n = static_cast<double>(points.size());
  cx /= n;
  cy /= n;
  cz /= n;
  double scatter[9] = {};
  for (const ZorPoint3d* p : points) {
    const double d[3] = {p->x() - cx, p->y() - cy, p->z() - cz};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) scatter[i * 3 + j] += d[i] * d[j];
  }
  double values[3], vectors[9];
  if (eigen(scatter, 3, values, nullptr, vectors, kEigenTolerance) != 0) return false;

  int order[3] = {0, 1, 2};
  std::sort(order, order + 3, [&](int a, int b) { return values[a] < values[b]; });
  const double smallest = values[order[0]], middle = values[order[1]], largest = values[order[2]];
  if (!(largest > 0.0) || !(middle > kDegenerateRatio * largest)) return false;

  centroid.setXYZ(cx, cy, cz);
  if (smallest == middle) {
    normal.set(0.0, 0.0, -1.0);
  } else {
    const int k = order[0];
    normal.set(vectors[0 * 3 + k], vectors[1 * 3 + k], vectors[2 * 3 + k]);
  }
  return true;
}

// a*x + b*y + c*z = -1 in the least-squares sense.
bool leastSquaresPlane(const PointSet& points, ZorPlane& plane) {
  const int rows = static_cast<int>(points.size());
  std::vector<double> a(3 * static_cast<size_t>(rows));
  const std::vector<double> b(static_cast<size_t>(rows), -1.0);
  for (int r = 0; r < rows; ++r) points[r]->getXYZ(a[3 * r], a[3 * r + 1], a[3 * r + 2]);
  double x[3];
  if (rows < 3 || leastSquares(a.data(), b.data(), x, rows, 3) != 0) return false;
  return plane.setCoefficients(x[0], x[1], x[2], 1.0);
}

}  // namespace

ZorPlane::ZorPlane(const ZorPoint3d& p1, const ZorPoint3d& p2, const ZorPoint3d& p3) { set(p1, p2, p3); }

ZorPlane::ZorPlane(const ZorPoint3d& p1, const ZorPoint3d& p2, const ZorVector& v) {
  ZorPoint3d p3 = p1;
  p3.add(v);
  set(p1, p2, p3);
}

bool ZorPlane::set(const ZorPoint3d& p1, const ZorPoint3d& p2, const ZorPoint3d& p3) {
  return set(p1, ZorVector(p1, p2, p3));
}

bool ZorPlane::set(const ZorPoint3d& point, const ZorVector& normal) {
  ZorVector unit = normal;
  unit.normalize();
  const bool defined = unit.magnitude() > 0.0 && std::isfinite(unit.magnitude());
  m_normal = defined ? unit : ZorVector();
  m_a = m_normal.x();
  m_b = m_normal.y();
  m_c = m_normal.z();
  // Adding 0 turns a -0 into 0.
  m_d = -(m_a * point.x() + m_b * point.y() + m_c * point.z()) + 0.0;
  return defined;
}

bool ZorPlane::setCoefficients(double a, double b, double c, double d) {
  const double length = std::sqrt(a * a + b * b + c * c);
  if (!(length > 0.0) || !std::isfinite(length)) return false;
  m_a = a / length;
  m_b = b / length;
  m_c = c / length;
  m_d = d / length;
  m_normal.set(m_a, m_b, m_c);
  return true;
}

void ZorPlane::getControlValues(double& a, double& b, double& c, double& d) const {
  a = m_a;
  b = m_b;
  c = m_c;
  d = m_d;
}

double ZorPlane::distance(const ZorPoint3d& p) const { return m_a * p.x() + m_b * p.y() + m_c * p.z() + m_d; }

ZorPoint3d ZorPlane::project(const ZorPoint3d& p) const {
  const double d = distance(p);
  if (d == 0.0) return p;
  return ZorPoint3d(p.x() - d * m_a, p.y() - d * m_b, p.z() - d * m_c);
}

bool ZorPlane::fitToPoints(const ZorPointCloud3d& cloud, int iterations, double factor) {
  double sigma;
  int fits, rejected;
  return eigenFitToPoints(cloud, iterations, factor, sigma, fits, rejected);
}

bool ZorPlane::eigenFitToPoints(const ZorPointCloud3d& cloud, int iterations, double factor, double& sigma,
                                int& fits, int& rejected) {
  sigma = DBL_MAX;
  fits = 0;
  rejected = 0;
  if (iterations <= 0 || !(factor > 0.0) || cloud.size() < 3) return false;
  PointSet points = pointsOf(cloud);
  while (fits < iterations && sigma != 0.0) {
    PointSet kept = fits == 0 ? points : within(*this, points, sigma * factor);
    const size_t removed = points.size() - kept.size();
    if (fits > 0 && removed == 0) break;
    ZorPoint3d centroid;
    ZorVector normal;
    if (!eigenPlane(kept, centroid, normal)) {
      if (fits == 0) return false;
      break;  // keeps the previous plane
    }
    points = std::move(kept);
    rejected += static_cast<int>(removed);
    set(centroid, normal);
    sigma = distanceSigma(*this, points);
    ++fits;
  }
  return true;
}

bool ZorPlane::leastSquaresFitToPoints(const ZorPointCloud3d& cloud, int iterations, double factor,
                                       double& sigma, int& fits, int& rejected) {
  sigma = 0.0;
  fits = 0;
  rejected = 0;
  if (iterations <= 0 || !(factor > 0.0) || cloud.size() < 3) return false;
  PointSet points = pointsOf(cloud);
  if (!leastSquaresPlane(points, *this)) return false;
  fits = 1;
  sigma = distanceSigma(*this, points);
  while (fits < iterations) {
    PointSet kept = within(*this, points, sigma * factor);
    const size_t removed = points.size() - kept.size();
    if (removed == 0) break;
    if (!leastSquaresPlane(kept, *this)) return false;
    points = std::move(kept);
    rejected += static_cast<int>(removed);
    sigma = distanceSigma(*this, points);
    ++fits;
  }
  return true;
}
