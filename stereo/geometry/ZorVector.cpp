#include "ZorVector.h"

#include <cmath>

namespace {
double length(double x, double y, double z) { return std::sqrt(x * x + y * y + z * z); }
}  // namespace

ZorVector::ZorVector(double x, double y, double z) {
  if (x == 0.0 && y == 0.0 && z == 0.0) return;  // keeps the default (1, 0, 0)
  m_xyz[0] = x;
  m_xyz[1] = y;
  m_xyz[2] = z;
  m_magnitude = length(x, y, z);
  m_normalized = false;
}

ZorVector::ZorVector(const ZorPoint3d& p) { set(p.x(), p.y(), p.z()); }

ZorVector::ZorVector(const ZorPoint3d& a, const ZorPoint3d& b) {
  set(b.x() - a.x(), b.y() - a.y(), b.z() - a.z());
}

ZorVector::ZorVector(const ZorPoint3d& a, const ZorPoint3d& b, const ZorPoint3d& c) {
  const ZorVector ab = raw(b.x() - a.x(), b.y() - a.y(), b.z() - a.z());
  const ZorVector ac = raw(c.x() - a.x(), c.y() - a.y(), c.z() - a.z());
  const ZorVector n = ab.cross(ac);
  set(n.x(), n.y(), n.z());
}

ZorVector::ZorVector(const ZorPoint2d& a, const ZorPoint2d& b) {
  set(b.x() - a.x(), b.y() - a.y(), 0.0);
}

ZorVector ZorVector::raw(double x, double y, double z) {
  ZorVector v;
  v.set(x, y, z);
  return v;
}

void ZorVector::set(double x, double y, double z) {
  m_xyz[0] = x;
  m_xyz[1] = y;
  m_xyz[2] = z;
  m_magnitude = length(x, y, z);
  m_normalized = (m_magnitude == 1.0);
}

void ZorVector::normalize() {
  if (m_normalized || m_magnitude == 0.0) return;
  for (double& c : m_xyz) c /= m_magnitude;
  m_magnitude = 1.0;
  m_normalized = true;
}

ZorVector ZorVector::plus(const ZorVector& v) const {
  return raw(m_xyz[0] + v.m_xyz[0], m_xyz[1] + v.m_xyz[1], m_xyz[2] + v.m_xyz[2]);
}

ZorVector ZorVector::minus(const ZorVector& v) const {
  return raw(m_xyz[0] - v.m_xyz[0], m_xyz[1] - v.m_xyz[1], m_xyz[2] - v.m_xyz[2]);
}

double ZorVector::dot(const ZorVector& v) const {
  return m_xyz[0] * v.m_xyz[0] + m_xyz[1] * v.m_xyz[1] + m_xyz[2] * v.m_xyz[2];
}

ZorVector ZorVector::cross(const ZorVector& v) const {
  return raw(m_xyz[1] * v.m_xyz[2] - m_xyz[2] * v.m_xyz[1],
             m_xyz[2] * v.m_xyz[0] - m_xyz[0] * v.m_xyz[2],
             m_xyz[0] * v.m_xyz[1] - m_xyz[1] * v.m_xyz[0]);
}

void ZorVector::multiplyBy(double s) {
  for (double& c : m_xyz) c *= s;
  m_magnitude *= std::fabs(s);
  m_normalized = false;
}

double ZorVector::dot(const ZorPoint3d& a, const ZorPoint3d& b, const ZorPoint3d& c) {
  return (b.x() - a.x()) * (c.x() - a.x()) + (b.y() - a.y()) * (c.y() - a.y()) +
         (b.z() - a.z()) * (c.z() - a.z());
}

double ZorVector::dot(const ZorPoint2d& a, const ZorPoint2d& b, const ZorPoint2d& c) {
  return (b.x() - a.x()) * (c.x() - a.x()) + (b.y() - a.y()) * (c.y() - a.y());
}
