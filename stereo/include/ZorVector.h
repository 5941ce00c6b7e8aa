/*
 * ZorVector.h - 3D vector of the geometry toolkit.
 *
 * A vector keeps its components, its magnitude and a flag telling that it is
 * known to be of unit length. The default vector is (1, 0, 0).
 */
#ifndef ZOR_VECTOR_H
#define ZOR_VECTOR_H

#include "ZorPoint.h"
#include "stelox.h"

class STELOX_API ZorVector {
 public:
  ZorVector() = default;
  /* A zero vector becomes (1, 0, 0). */
  ZorVector(double x, double y, double z);
  explicit ZorVector(const ZorPoint3d& p);
  /* b - a */
  ZorVector(const ZorPoint3d& a, const ZorPoint3d& b);
  /* (b - a) x (c - a) */
  ZorVector(const ZorPoint3d& a, const ZorPoint3d& b, const ZorPoint3d& c);
  /* b - a with z = 0 */
  ZorVector(const ZorPoint2d& a, const ZorPoint2d& b);
  ZorVector(const ZorVector&) = default;
  ZorVector& operator=(const ZorVector&) = default;
  virtual ~ZorVector() = default;

  /* Sets the components as given (zero included), recomputes the magnitude and
   * flags the vector when that is exactly 1. */
  void set(double x, double y, double z);
  double x() const { return m_xyz[0]; }
  double y() const { return m_xyz[1]; }
  double z() const { return m_xyz[2]; }
  /* i is 0, 1 or 2; other values are not checked. */
  double operator[](int i) const { return m_xyz[i]; }
  static int size() { return 3; }

  double magnitude() const { return m_magnitude; }
  bool isNormalized() const { return m_normalized; }
  /* Scales to unit length unless already flagged so; a zero vector is left
   * unchanged (it has no direction). */
  void normalize();

  ZorVector plus(const ZorVector& v) const;
  ZorVector minus(const ZorVector& v) const;
  double dot(const ZorVector& v) const;
  ZorVector cross(const ZorVector& v) const;
  /* Scales the components by s and the magnitude by |s|; clears the flag. */
  void multiplyBy(double s);

  /* (b - a) . (c - a) */
  static double dot(const ZorPoint3d& a, const ZorPoint3d& b, const ZorPoint3d& c);
  static double dot(const ZorPoint2d& a, const ZorPoint2d& b, const ZorPoint2d& c);

  /* The point with the same coordinates. */
  ZorPoint3d pointEquiv() const { return ZorPoint3d(m_xyz[0], m_xyz[1], m_xyz[2]); }

 private:
  static ZorVector raw(double x, double y, double z);

  double m_xyz[3] = {1.0, 0.0, 0.0};
  bool m_normalized = true;
  double m_magnitude = 1.0;
};

#endif
