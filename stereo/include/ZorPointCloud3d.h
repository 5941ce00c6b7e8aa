/*
 * ZorPointCloud3d.h - list of 3D points with a centre point, a text file
 * format, a VRML writer and a nearest-point search.
 *
 * A cloud owns its points by default (deletes them on removal and destruction);
 * its elements are ZorPoint3d objects, ZorColourPoint3d for clouds with
 * colours or texture coordinates. Every change the cloud makes to its points
 * drops the search tree; a caller who moves points through elementAt must call
 * indexPoints again before searching with a tree.
 *
 * Text file, one point per line, by point type:
 *   0 "%lf %lf %lf 255"              x y z
 *   1 "%lf %lf %lf %lf %lf"          x y z u v
 *   2 "%lf %lf %lf %d %d %d"         x y z red green blue (0 ... 255)
 *   3 "%lf %lf %lf %d %d %d %lf %lf" x y z red green blue u v
 * load accepts lines of eight, six, five, four (grey colour point) or three
 * numbers and skips other lines.
 */
#ifndef ZOR_POINTCLOUD3D_H
#define ZOR_POINTCLOUD3D_H

#include <memory>

#include "ZorList.h"
#include "ZorPoint.h"
#include "stelox.h"

class ZorBSP;
class ZorTransform3d;

enum enum_POINTTYPES {
  ZOR_POINTTYPE_XYZ = 0,       /* plain points */
  ZOR_POINTTYPE_XYZUV = 1,     /* points with u, v (stored as colour points) */
  ZOR_POINTTYPE_XYZRGB = 2,    /* colour points */
  ZOR_POINTTYPE_XYZRGBUV = 3   /* colour points with u, v */
};

class STELOX_API ZorPointCloud3d : public ZorList {
 public:
  explicit ZorPointCloud3d(int capacity = 1000, int step = 1000);
  ZorPointCloud3d(const ZorPointCloud3d&) = delete;
  ZorPointCloud3d& operator=(const ZorPointCloud3d&) = delete;
  ~ZorPointCloud3d() override;

  ZorPoint3d* elementAt(int i) const { return static_cast<ZorPoint3d*>(ZorList::elementAt(i)); }
  int indexOf(const ZorPoint3d* p) const { return ZorList::indexOf(p); }

  /* Appends p (owned when the cloud owns points) and returns its index, -1 for
   * null. The centre point becomes the running mean of the inserted points. */
  int insertPoint(ZorPoint3d* p);
  /* As insertPoint; p must point to a ZorPoint3d. */
  int addElement(void* p) override;
  /* Removes point i, deleting it when the cloud owns points. */
  bool deleteElementAt(int i);
  bool removeElementAt(int i) override;
  /* Removes every point (deleting owned ones); the centre returns to the origin. */
  void empty() override;

  bool ownsPoints() const { return m_ownsPoints; }
  void setOwnership(bool ownsPoints) { m_ownsPoints = ownsPoints; }
  enum_POINTTYPES pointType() const { return m_pointType; }
  void setPointType(enum_POINTTYPES type) { m_pointType = type; }
  const ZorPoint3d& centerPoint() const { return m_center; }

  /* Subtracts the centre point from every point; the centre becomes the origin. */
  void center();
  /* Centre = mean of the points, then center(). */
  void recenter();
  /* Mean of the points (the origin for an empty cloud), also stored as the centre. */
  void getCenterOfMass(ZorPoint3d& out);
  /* Multiplies every coordinate (and the centre) by s. */
  void scale(double s);
  /* Scales by 1 / the largest absolute coordinate; no change when that is 0. */
  void normalize();

  /* Builds the search tree over the current points. */
  void indexPoints();
  bool isIndexed() const { return m_tree != nullptr; }
  /* Index of the point nearest to p (squared distance, first found on ties).
   * With a tree the search is exact; without one a linear scan that only
   * considers points closer than about 10 000 units. -1 when none is found. */
  int findNearestIndex(const ZorPoint3d& p) const;

  /* False when the file cannot be opened or written. */
  bool save(const char* fileName) const;
  /* Empties the cloud, then reads it and owns the points read; the point type
   * is that of the last line read. False, and the cloud unchanged, when the
   * file cannot be opened. */
  bool load(const char* fileName);
  /* A small cube per point. False when the file cannot be opened or written. */
  bool saveVRML(const char* fileName) const;

 private:
  friend class ZorTransform3d;
  void dropIndex();
  void releasePoint(void* p);

  ZorPoint3d m_center;
  bool m_ownsPoints = true;
  std::unique_ptr<ZorBSP> m_tree;
  enum_POINTTYPES m_pointType = ZOR_POINTTYPE_XYZ;
  int m_inserted = 0;
};

#endif
