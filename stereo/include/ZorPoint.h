/*
 * ZorPoint.h - points of the geometry toolkit: ZorPoint2d, ZorPoint3d and
 * ZorColourPoint3d. All coordinates are doubles.
 *
 * Each point class has one class-wide epsilon: two points are equal when their
 * squared distance is below it, and always when they coincide exactly. The 2D
 * epsilon starts at 1e-7, the 3D one at 0 (only exact matches are equal until a
 * caller sets one). The epsilons may be read and set from any thread.
 */
#ifndef ZOR_POINT_H
#define ZOR_POINT_H

#include "stelox.h"

class ZorVector;

class STELOX_API ZorPoint2d {
 public:
  ZorPoint2d() = default;
  ZorPoint2d(double x, double y) : m_xy{x, y} {}

  double x() const { return m_xy[0]; }
  double y() const { return m_xy[1]; }
  void getXY(double& x, double& y) const { x = m_xy[0]; y = m_xy[1]; }
  void setXY(double x, double y) { m_xy[0] = x; m_xy[1] = y; }
  /* i is 0 (x) or 1 (y); other values are not checked. */
  double operator[](int i) const { return m_xy[i]; }
  double& operator[](int i) { return m_xy[i]; }
  static int size() { return 2; }

  double squareDistance(const ZorPoint2d& other) const;
  double distance(const ZorPoint2d& other) const;
  bool equals(const ZorPoint2d& other) const;
  bool operator==(const ZorPoint2d& other) const { return equals(other); }
  bool operator!=(const ZorPoint2d& other) const { return !equals(other); }
  static double getEpsilon();
  static void setEpsilon(double epsilon);

  ZorPoint2d operator-() const { return ZorPoint2d(-m_xy[0], -m_xy[1]); }
  /* Moves the point by the x and y components of v. */
  ZorPoint2d& add(const ZorVector& v);

  /* Twice the signed area of the triangle a, b, c (positive counter-clockwise). */
  static double triangleArea(const ZorPoint2d& a, const ZorPoint2d& b, const ZorPoint2d& c);
  static bool ccw(const ZorPoint2d& a, const ZorPoint2d& b, const ZorPoint2d& c);
  /* True when d lies inside the circle through a, b, c (given counter-clockwise). */
  static bool inCircle(const ZorPoint2d& a, const ZorPoint2d& b, const ZorPoint2d& c,
                       const ZorPoint2d& d);
  /* True when the triangle a, b, c has exactly zero area. */
  static bool collinear(const ZorPoint2d& a, const ZorPoint2d& b, const ZorPoint2d& c);

 private:
  double m_xy[2] = {0.0, 0.0};
};

/* The destructor is virtual so that a point cloud can own ZorColourPoint3d
 * objects through ZorPoint3d pointers. */
class STELOX_API ZorPoint3d {
 public:
  ZorPoint3d() = default;
  ZorPoint3d(double x, double y, double z) : m_xyz{x, y, z} {}
  ZorPoint3d(const ZorPoint3d&) = default;
  ZorPoint3d& operator=(const ZorPoint3d&) = default;
  virtual ~ZorPoint3d() = default;

  double x() const { return m_xyz[0]; }
  double y() const { return m_xyz[1]; }
  double z() const { return m_xyz[2]; }
  void getXYZ(double& x, double& y, double& z) const { x = m_xyz[0]; y = m_xyz[1]; z = m_xyz[2]; }
  void setXYZ(double x, double y, double z) { m_xyz[0] = x; m_xyz[1] = y; m_xyz[2] = z; }
  /* i is 0 (x), 1 (y) or 2 (z); other values are not checked. */
  double operator[](int i) const { return m_xyz[i]; }
  double& operator[](int i) { return m_xyz[i]; }
  static int size() { return 3; }

  double squareDistance(const ZorPoint3d& other) const;
  double distance(const ZorPoint3d& other) const;
  bool equals(const ZorPoint3d& other) const;
  static double getEpsilon();
  static void setEpsilon(double epsilon);

  ZorPoint3d operator-() const { return ZorPoint3d(-m_xyz[0], -m_xyz[1], -m_xyz[2]); }
  /* Moves the point by v. */
  ZorPoint3d& add(const ZorVector& v);

  /* Signed volume of the tetrahedron a, b, c, d: the determinant of the 4 x 4
   * matrix with rows (x, y, z, 1), divided by 6. */
  static double volume(const ZorPoint3d& a, const ZorPoint3d& b, const ZorPoint3d& c,
                       const ZorPoint3d& d);
  /* True when (b - a) x (c - a) is exactly the zero vector. */
  static bool collinear(const ZorPoint3d& a, const ZorPoint3d& b, const ZorPoint3d& c);

 private:
  double m_xyz[3] = {0.0, 0.0, 0.0};
};

/* A point with a colour (red, green, blue, each 0 ... 1) and two texture
 * coordinates u, v (0 unless set; written only by clouds that carry them). */
class STELOX_API ZorColourPoint3d : public ZorPoint3d {
 public:
  ZorColourPoint3d() = default;
  ZorColourPoint3d(double x, double y, double z, double grey = 0.0)
      : ZorPoint3d(x, y, z), m_rgb{grey, grey, grey} {}
  ZorColourPoint3d(double x, double y, double z, double red, double green, double blue)
      : ZorPoint3d(x, y, z), m_rgb{red, green, blue} {}
  explicit ZorColourPoint3d(const ZorPoint3d& point, double grey = 0.0)
      : ZorPoint3d(point), m_rgb{grey, grey, grey} {}
  ZorColourPoint3d(const ZorPoint3d& point, double red, double green, double blue)
      : ZorPoint3d(point), m_rgb{red, green, blue} {}

  double red() const { return m_rgb[0]; }
  double green() const { return m_rgb[1]; }
  double blue() const { return m_rgb[2]; }
  void getRGB(double& red, double& green, double& blue) const {
    red = m_rgb[0]; green = m_rgb[1]; blue = m_rgb[2];
  }
  void setRGB(double red, double green, double blue) {
    m_rgb[0] = red; m_rgb[1] = green; m_rgb[2] = blue;
  }

  double u() const { return m_uv[0]; }
  double v() const { return m_uv[1]; }
  void getUV(double& u, double& v) const { u = m_uv[0]; v = m_uv[1]; }
  void setUV(double u, double v) { m_uv[0] = u; m_uv[1] = v; }

 private:
  double m_rgb[3] = {0.0, 0.0, 0.0};
  double m_uv[2] = {0.0, 0.0};
};

#endif
