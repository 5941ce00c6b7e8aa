#include "ZorPoint.h"

#include <atomic>
#include <cmath>

#include "ZorVector.h"

namespace {
std::atomic<double> g_epsilon2d{1e-7};
// 0: until a caller sets one, only coincident 3D points are equal.
std::atomic<double> g_epsilon3d{0.0};

// Coincident points are equal whatever the epsilon, so the relation is
// reflexive even with epsilon 0.
inline bool withinEpsilon(double squareDistance, double epsilon) {
  return squareDistance == 0.0 || squareDistance < epsilon;
}
}  // namespace

double ZorPoint2d::squareDistance(const ZorPoint2d& other) const {
  const double dx = m_xy[0] - other.m_xy[0];
  const double dy = m_xy[1] - other.m_xy[1];
  return dx * dx + dy * dy;
}

double ZorPoint2d::distance(const ZorPoint2d& other) const { return std::sqrt(squareDistance(other)); }

bool ZorPoint2d::equals(const ZorPoint2d& other) const {
  return withinEpsilon(squareDistance(other), g_epsilon2d.load(std::memory_order_relaxed));
}

double ZorPoint2d::getEpsilon() { return g_epsilon2d.load(std::memory_order_relaxed); }

void ZorPoint2d::setEpsilon(double epsilon) { g_epsilon2d.store(epsilon, std::memory_order_relaxed); }

ZorPoint2d& ZorPoint2d::add(const ZorVector& v) {
  m_xy[0] += v.x();
  m_xy[1] += v.y();
  return *this;
}

double ZorPoint2d::triangleArea(const ZorPoint2d& a, const ZorPoint2d& b, const ZorPoint2d& c) {
  return (c.y() - a.y()) * (b.x() - a.x()) - (b.y() - a.y()) * (c.x() - a.x());
}

bool ZorPoint2d::ccw(const ZorPoint2d& a, const ZorPoint2d& b, const ZorPoint2d& c) {
  return triangleArea(a, b, c) > 0.0;
}

bool ZorPoint2d::inCircle(const ZorPoint2d& a, const ZorPoint2d& b, const ZorPoint2d& c,
                          const ZorPoint2d& d) {
  const auto norm2 = [](const ZorPoint2d& p) { return p.x() * p.x() + p.y() * p.y(); };
  return norm2(a) * triangleArea(b, c, d) - norm2(b) * triangleArea(a, c, d) +
             norm2(c) * triangleArea(a, b, d) - norm2(d) * triangleArea(a, b, c) >
         0.0;
}

bool ZorPoint2d::collinear(const ZorPoint2d& a, const ZorPoint2d& b, const ZorPoint2d& c) {
  return triangleArea(a, b, c) == 0.0;
}

double ZorPoint3d::squareDistance(const ZorPoint3d& other) const {
  const double dx = m_xyz[0] - other.m_xyz[0];
  const double dy = m_xyz[1] - other.m_xyz[1];
  const double dz = m_xyz[2] - other.m_xyz[2];
  return dx * dx + dy * dy + dz * dz;
}

double ZorPoint3d::distance(const ZorPoint3d& other) const { return std::sqrt(squareDistance(other)); }

bool ZorPoint3d::equals(const ZorPoint3d& other) const {
  return withinEpsilon(squareDistance(other), g_epsilon3d.load(std::memory_order_relaxed));
}

double ZorPoint3d::getEpsilon() { return g_epsilon3d.load(std::memory_order_relaxed); }

void ZorPoint3d::setEpsilon(double epsilon) { g_epsilon3d.store(epsilon, std::memory_order_relaxed); }

ZorPoint3d& ZorPoint3d::add(const ZorVector& v) {
  m_xyz[0] += v.x();
  m_xyz[1] += v.y();
  m_xyz[2] += v.z();
  return *this;
}

double ZorPoint3d::volume(const ZorPoint3d& a, const ZorPoint3d& b, const ZorPoint3d& c,
                          const ZorPoint3d& d) {
  // Subtracting row a from the others leaves a 1 in column 3 of row 0 only;
  // expanding along that column gives det = -(b - a) . ((c - a) x (d - a)).
  const double bx = b.x() - a.x(), by = b.y() - a.y(), bz = b.z() - a.z();
  const double cx = c.x() - a.x(), cy = c.y() - a.y(), cz = c.z() - a.z();
  const double dx = d.x() - a.x(), dy = d.y() - a.y(), dz = d.z() - a.z();
  const double triple = bx * (cy * dz - cz * dy) - by * (cx * dz - cz * dx) + bz * (cx * dy - cy * dx);
  return -triple / 6.0;
}

bool ZorPoint3d::collinear(const ZorPoint3d& a, const ZorPoint3d& b, const ZorPoint3d& c) {
  const double bx = b.x() - a.x(), by = b.y() - a.y(), bz = b.z() - a.z();
  const double cx = c.x() - a.x(), cy = c.y() - a.y(), cz = c.z() - a.z();
  return by * cz - bz * cy == 0.0 && bz * cx - bx * cz == 0.0 && bx * cy - by * cx == 0.0;
}
