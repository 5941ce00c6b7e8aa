/*
 * ZorPlane.h - plane a*x + b*y + c*z + d = 0 with a unit normal (a, b, c), and
 * robust fitting of a plane to a point cloud.
 */
#ifndef ZOR_PLANE_H
#define ZOR_PLANE_H

#include "ZorPoint.h"
#include "ZorVector.h"
#include "stelox.h"

class ZorPointCloud3d;

class STELOX_API ZorPlane {
 public:
  /* The plane x = 0. */
  ZorPlane() = default;
  /* Normal (p2 - p1) x (p3 - p1), through p1. Collinear points give the plane
   * with normal (1, 0, 0) through p1 (see set). */
  ZorPlane(const ZorPoint3d& p1, const ZorPoint3d& p2, const ZorPoint3d& p3);
  /* Through p1, p2 and p1 + v. */
  ZorPlane(const ZorPoint3d& p1, const ZorPoint3d& p2, const ZorVector& v);
  ZorPlane(const ZorPlane&) = default;
  ZorPlane& operator=(const ZorPlane&) = default;
  virtual ~ZorPlane() = default;

  /* Plane through the three points. False when they are collinear: the plane
   * is then the one with normal (1, 0, 0) through p1. */
  bool set(const ZorPoint3d& p1, const ZorPoint3d& p2, const ZorPoint3d& p3);
  /* Plane through point with the normalised vector as normal. False for a zero
   * vector: the normal is then (1, 0, 0). */
  bool set(const ZorPoint3d& point, const ZorVector& normal);
  /* Normalises (a, b, c) and divides d by its length. False, and the plane
   * unchanged, when a = b = c = 0. */
  bool setCoefficients(double a, double b, double c, double d);
  void getControlValues(double& a, double& b, double& c, double& d) const;
  const ZorVector& getNormal() const { return m_normal; }

  /* Signed distance a*x + b*y + c*z + d. */
  double distance(const ZorPoint3d& p) const;
  /* Foot of the perpendicular from p. */
  ZorPoint3d project(const ZorPoint3d& p) const;

  /* Robust fit: false when iterations <= 0, factor <= 0 or the cloud has fewer
   * than 3 points; otherwise eigenFitToPoints. */
  bool fitToPoints(const ZorPointCloud3d& cloud, int iterations, double factor);
  /* Total least squares through the centroid (smallest eigenvector of the
   * scatter matrix), repeated up to `iterations` times; from the second pass on,
   * points farther than sigma * factor from the last plane are rejected, and
   * the passes stop when none is. sigma is the sample standard deviation of the
   * signed distances to the last plane, fits the number of passes, rejected the
   * number of points left out. False, and the plane unchanged, when the first
   * pass has no unique plane (fewer than 3 points, all points collinear or
   * coincident); a later pass that would be degenerate ends the passes with the
   * previous plane. */
  bool eigenFitToPoints(const ZorPointCloud3d& cloud, int iterations, double factor,
                        double& sigma, int& fits, int& rejected);
  /* Solves a*x + b*y + c*z = -1 in the least-squares sense, then up to
   * iterations - 1 times rejects points farther than sigma * factor and refits.
   * Planes through the origin cannot be represented this way. False when the
   * arguments are bad or a solve fails (the plane then keeps the last fit). */
  bool leastSquaresFitToPoints(const ZorPointCloud3d& cloud, int iterations, double factor,
                               double& sigma, int& fits, int& rejected);

 private:
  ZorVector m_normal;
  double m_a = 1.0, m_b = 0.0, m_c = 0.0, m_d = 0.0;
};

#endif
