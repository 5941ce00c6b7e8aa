/*
 * ZorTransform3d.h - rigid 3D transform of the geometry toolkit.
 *
 * A transform keeps six parameters (rotations rx, ry, rz in radians, translation
 * tx, ty, tz) and a 4 x 4 row-major matrix. From the parameters the rotation is
 * R = Rz(rz) * Ry(ry) * Rx(rx) with the translation in column 3 and row 3 =
 * (0, 0, 0, 1). Setting a parameter rebuilds the matrix from the parameters;
 * operations that change the matrix directly (multiply, transpose, invert,
 * setEulerXYZ, setGeneralAxisRotation, setMatrix) derive the parameters from
 * the matrix afterwards. The matrix is always current, so const members never
 * write and a transform may be read from several threads at once.
 *
 * Copying a transform copies the six parameters only; the copy rebuilds its
 * matrix from them (a proper rotation even when the source matrix was not).
 *
 * Transform files hold six lines "Rx\t%lf" ... "Tz\t%lf"; a reader accepts the
 * keys in any order and skips lines whose first word is "//". Numbers are
 * written and read in the C locale, whatever locale the program has set.
 */
#ifndef ZOR_TRANSFORM3D_H
#define ZOR_TRANSFORM3D_H

#include <cstdio>

#include "ZorPlane.h"
#include "ZorPoint.h"
#include "ZorVector.h"
#include "stelox.h"

class ZorPointCloud3d;

class STELOX_API ZorTransform3d {
 public:
  /* Identity. */
  ZorTransform3d();
  ZorTransform3d(double tx, double ty, double tz, double rx, double ry, double rz);
  ZorTransform3d(const ZorTransform3d& other);
  ZorTransform3d& operator=(const ZorTransform3d& other);
  virtual ~ZorTransform3d() = default;

  /* R * p + t (row 3 is not used). */
  void apply(double& x, double& y, double& z) const;
  void apply(ZorPoint3d& p) const;
  /* Every point of the cloud and its centre point; drops the cloud's search tree. */
  void apply(ZorPointCloud3d& cloud) const;

  /* The 16 matrix elements, row-major. */
  const double* data() const { return &m_matrix[0][0]; }
  /* Element of row, col (0 ... 3); 0 for an index outside the matrix. */
  double elementAt(int row, int col) const;
  /* Takes the 16 row-major elements as they are and derives the parameters. */
  void setMatrix(const double* elements);
  /* The matrix in column-major floats, as OpenGL expects it. */
  const float* glMatrixf() const { return m_glMatrix; }

  /* this = t * this */
  void preMultiply(const ZorTransform3d& t);
  /* this = this * t */
  void postMultiply(const ZorTransform3d& t);
  /* Transposes the whole 4 x 4 matrix. */
  void transpose();
  /* Rigid inverse: rotation transposed, translation -R^T * t; exact only for a
   * proper rotation. */
  void invert();

  double rX() const { return m_rx; }
  double rY() const { return m_ry; }
  double rZ() const { return m_rz; }
  double tX() const { return m_tx; }
  double tY() const { return m_ty; }
  double tZ() const { return m_tz; }
  void setRotX(double rx);
  void setRotY(double ry);
  void setRotZ(double rz);
  void setTransX(double tx);
  void setTransY(double ty);
  void setTransZ(double tz);

  /* R = Rz(rz) * Ry(ry) * Rx(rx), the convention of the parameters. */
  void setEulerZYX(double rx, double ry, double rz, double tx, double ty, double tz);
  /* R = Rx(rx) * Ry(ry) * Rz(rz); the stored parameters are then derived from
   * the matrix in the ZYX convention. */
  void setEulerXYZ(double rx, double ry, double rz, double tx, double ty, double tz);
  /* Rotation by angle (radians, right-handed) about axis, no translation.
   * False, and the transform unchanged, for a zero axis. */
  bool setGeneralAxisRotation(const ZorVector& axis, double angle);

  /* (tx, ty, tz) */
  ZorPoint3d location() const;
  /* Matrix columns 0, 1 and 2: the transformed axes. */
  ZorVector vectorX() const;
  ZorVector vectorY() const;
  ZorVector vectorZ() const;
  /* Planes through the location spanned by two transformed axes; their normals
   * are the third transformed axis (+z, +y and +x respectively). */
  ZorPlane planeXY() const;
  ZorPlane planeXZ() const;
  ZorPlane planeYZ() const;

  /* Six lines "Rx\t%lf\n" ... "Tz\t%lf\n". False on a null stream or a write error. */
  bool write(FILE* file) const;
  /* Writes "<name>.trans" (created or truncated). */
  bool write(const char* name) const;
  /* Reads the six keys; false, and the transform unchanged, when a key or its
   * value is missing or a word is longer than 727 characters. */
  bool read(FILE* file);
  /* Reads "<name>.trans". */
  bool read(const char* name);

 private:
  void rebuildMatrix();
  void deriveParameters();
  void setFromMatrix(const double (&m)[4][4]);
  void updateGlMatrix();

  double m_matrix[4][4];
  float m_glMatrix[16];
  double m_rx = 0.0, m_ry = 0.0, m_rz = 0.0;
  double m_tx = 0.0, m_ty = 0.0, m_tz = 0.0;
};

#endif
