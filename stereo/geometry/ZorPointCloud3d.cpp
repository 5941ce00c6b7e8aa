#include "ZorPointCloud3d.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "ZorBSP.h"

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Closes the file and tells whether everything written reached it.
bool closeAfterWriting(FilePtr file) {
  const bool writeFailed = std::ferror(file.get()) != 0;
  return std::fclose(file.release()) == 0 && !writeFailed;
}

// A linear scan considers only points closer than this (squared distance).
constexpr double kScanLimit = 99999999.99;

constexpr int kLineLength = 511;

int colourByte(double value) { return static_cast<int>(255.0 * value); }

}  // namespace

ZorPointCloud3d::ZorPointCloud3d(int capacity, int step) : ZorList(capacity, step) {}

ZorPointCloud3d::~ZorPointCloud3d() {
  for (int i = 0; i < size(); ++i) releasePoint(ZorList::elementAt(i));
}

void ZorPointCloud3d::releasePoint(void* p) {
  if (m_ownsPoints) delete static_cast<ZorPoint3d*>(p);
}

void ZorPointCloud3d::dropIndex() { m_tree.reset(); }

int ZorPointCloud3d::insertPoint(ZorPoint3d* p) {
  if (!p) return -1;
  dropIndex();
  const int index = ZorList::addElement(p);
  const double n = size();
  if (n == 1) {
    m_center = *p;
  } else {
    m_center.setXYZ(((n - 1) * m_center.x() + p->x()) / n, ((n - 1) * m_center.y() + p->y()) / n,
                    ((n - 1) * m_center.z() + p->z()) / n);
  }
  return index;
}

int ZorPointCloud3d::addElement(void* p) { return insertPoint(static_cast<ZorPoint3d*>(p)); }

bool ZorPointCloud3d::deleteElementAt(int i) {
  void* p = ZorList::elementAt(i);
  if (!ZorList::removeElementAt(i)) return false;
  dropIndex();
  releasePoint(p);
  return true;
}

bool ZorPointCloud3d::removeElementAt(int i) { return deleteElementAt(i); }

void ZorPointCloud3d::empty() {
  for (int i = 0; i < size(); ++i) releasePoint(ZorList::elementAt(i));
  ZorList::empty();
  dropIndex();
  m_center.setXYZ(0.0, 0.0, 0.0);
}

void ZorPointCloud3d::center() {
  for (int i = 0; i < size(); ++i) {
    ZorPoint3d* p = elementAt(i);
    p->setXYZ(p->x() - m_center.x(), p->y() - m_center.y(), p->z() - m_center.z());
  }
  m_center.setXYZ(0.0, 0.0, 0.0);
  dropIndex();
}

void ZorPointCloud3d::recenter() {
  ZorPoint3d mean;
  getCenterOfMass(mean);
  center();
}

void ZorPointCloud3d::getCenterOfMass(ZorPoint3d& out) {
  double sx = 0.0, sy = 0.0, sz = 0.0;
  const int n = size();
  for (int i = 0; i < n; ++i) {
    const ZorPoint3d* p = elementAt(i);
    sx += p->x();
    sy += p->y();
    sz += p->z();
  }
  if (n > 0)
    m_center.setXYZ(sx / n, sy / n, sz / n);
  else
    m_center.setXYZ(0.0, 0.0, 0.0);
  out = m_center;
}

void ZorPointCloud3d::scale(double s) {
  for (int i = 0; i < size(); ++i) {
    ZorPoint3d* p = elementAt(i);
    p->setXYZ(p->x() * s, p->y() * s, p->z() * s);
  }
  m_center.setXYZ(m_center.x() * s, m_center.y() * s, m_center.z() * s);
  dropIndex();
}

void ZorPointCloud3d::normalize() {
  double largest = 0.0;
  for (int i = 0; i < size(); ++i) {
    const ZorPoint3d* p = elementAt(i);
    largest = std::fmax(largest, std::fmax(std::fabs(p->x()), std::fmax(std::fabs(p->y()), std::fabs(p->z()))));
  }
  if (largest > 0.0 && std::isfinite(largest)) scale(1.0 / largest);
}

void ZorPointCloud3d::indexPoints() { m_tree = std::make_unique<ZorBSP>(*this); }

int ZorPointCloud3d::findNearestIndex(const ZorPoint3d& p) const {
  if (m_tree) return m_tree->findNearestIndex(p);
  double best = kScanLimit;
  int bestIndex = -1;
  for (int i = 0; i < size(); ++i) {
    const double d2 = elementAt(i)->squareDistance(p);
    if (d2 < best) {
      best = d2;
      bestIndex = i;
    }
  }
  return bestIndex;
}

bool ZorPointCloud3d::save(const char* fileName) const {
  if (!fileName) return false;
  FilePtr file(std::fopen(fileName, "w"));
  if (!file) return false;
  static const ZorColourPoint3d kNoColour;
  for (int i = 0; i < size(); ++i) {
    const ZorPoint3d* p = elementAt(i);
    const ZorColourPoint3d* c = dynamic_cast<const ZorColourPoint3d*>(p);
    if (!c) c = &kNoColour;
    switch (m_pointType) {
      case ZOR_POINTTYPE_XYZ:
        std::fprintf(file.get(), "%lf %lf %lf 255\n", p->x(), p->y(), p->z());
        break;
      case ZOR_POINTTYPE_XYZUV:
        std::fprintf(file.get(), "%lf %lf %lf %lf %lf\n", p->x(), p->y(), p->z(), c->u(), c->v());
        break;
      case ZOR_POINTTYPE_XYZRGB:
        std::fprintf(file.get(), "%lf %lf %lf %d %d %d\n", p->x(), p->y(), p->z(), colourByte(c->red()),
                     colourByte(c->green()), colourByte(c->blue()));
        break;
      case ZOR_POINTTYPE_XYZRGBUV:
        std::fprintf(file.get(), "%lf %lf %lf %d %d %d %lf %lf\n", p->x(), p->y(), p->z(),
                     colourByte(c->red()), colourByte(c->green()), colourByte(c->blue()), c->u(), c->v());
        break;
    }
  }
  return closeAfterWriting(std::move(file));
}

bool ZorPointCloud3d::load(const char* fileName) {
  if (!fileName) return false;
  FilePtr file(std::fopen(fileName, "r"));
  if (!file) return false;
  empty();
  // Points read here are created by the cloud, so it owns them.
  m_ownsPoints = true;
  char line[kLineLength + 1];
  while (std::fgets(line, sizeof line, file.get())) {
    // A line longer than the buffer is skipped whole, never read in pieces.
    if (!std::strchr(line, '\n') && !std::feof(file.get())) {
      bool longer = false;
      int c;
      while ((c = std::fgetc(file.get())) != EOF && c != '\n') longer = true;
      if (longer) continue;
    }
    double v[8];
    const int count = std::sscanf(line, "%lf %lf %lf %lf %lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3],
                                  &v[4], &v[5], &v[6], &v[7]);
    std::unique_ptr<ZorPoint3d> point;
    enum_POINTTYPES type;
    if (count >= 8) {
      auto colour = std::make_unique<ZorColourPoint3d>(v[0], v[1], v[2], v[3] / 255.0, v[4] / 255.0, v[5] / 255.0);
      colour->setUV(v[6], v[7]);
      point = std::move(colour);
      type = ZOR_POINTTYPE_XYZRGBUV;
    } else if (count >= 6) {
      point = std::make_unique<ZorColourPoint3d>(v[0], v[1], v[2], v[3] / 255.0, v[4] / 255.0, v[5] / 255.0);
      type = ZOR_POINTTYPE_XYZRGB;
    } else if (count == 5) {
      auto textured = std::make_unique<ZorColourPoint3d>(v[0], v[1], v[2]);
      textured->setUV(v[3], v[4]);
      point = std::move(textured);
      type = ZOR_POINTTYPE_XYZUV;
    } else if (count == 4) {
      point = std::make_unique<ZorColourPoint3d>(v[0], v[1], v[2], v[3] / 255.0);
      type = ZOR_POINTTYPE_XYZRGB;
    } else if (count == 3) {
      point = std::make_unique<ZorPoint3d>(v[0], v[1], v[2]);
      type = ZOR_POINTTYPE_XYZ;
    } else {
      continue;
    }
    insertPoint(point.get());
    point.release();
    m_pointType = type;
  }
  trim();
  return true;
}

bool ZorPointCloud3d::saveVRML(const char* fileName) const {
  if (!fileName) return false;
  FilePtr file(std::fopen(fileName, "w+"));
  if (!file) return false;
  std::fputs("#VRML V1.0 ascii\n", file.get());
  std::fputs("Material {diffuseColor 0 1 0 }\n", file.get());
  for (int i = 0; i < size(); ++i) {
    const ZorPoint3d* p = elementAt(i);
    std::fputs("Separator {\n", file.get());
    std::fprintf(file.get(), "   Translation { translation %f %f %f }\n", p->x(), p->y(), p->z());
    std::fputs("   Cube { width 0.005 height 0.005 depth 0.005 }\n", file.get());
    std::fputs("}\n", file.get());
  }
  return closeAfterWriting(std::move(file));
}
