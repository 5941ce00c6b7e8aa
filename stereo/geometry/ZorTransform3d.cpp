#include "ZorTransform3d.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "ZorPointCloud3d.h"
#include "calibration/CLocale.h"

namespace {

using Matrix = double[4][4];

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

constexpr const char* kKeys[6] = {"Rx", "Ry", "Rz", "Tx", "Ty", "Tz"};
constexpr size_t kMaxWordLength = 727;
constexpr int kMaxCommentLength = 500;
constexpr double kHalfPi = 1.57079632679489661923;

void multiply(const Matrix& a, const Matrix& b, Matrix& out) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += a[r][k] * b[k][c];
      out[r][c] = sum;
    }
}

// White space of the C locale, independent of the host program's locale.
bool isWhite(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Reads the next whitespace-separated word. False at the end of the file or
// for a word longer than kMaxWordLength (tooLong is then set).
bool readWord(FILE* file, std::string& word, bool& tooLong) {
  word.clear();
  int c;
  do {
    c = std::fgetc(file);
  } while (c != EOF && isWhite(c));
  while (c != EOF && !isWhite(c)) {
    if (word.size() == kMaxWordLength) {
      tooLong = true;
      return false;
    }
    word.push_back(static_cast<char>(c));
    c = std::fgetc(file);
  }
  if (c != EOF) std::ungetc(c, file);
  return !word.empty();
}

// Consumes the rest of a comment line, at most kMaxCommentLength characters.
void skipComment(FILE* file) {
  for (int i = 0; i < kMaxCommentLength; ++i) {
    const int c = std::fgetc(file);
    if (c == EOF || c == '\n') return;
  }
}

// Reads the number that begins the next word, as "%lf" would, but within the
// word length limit.
bool readValue(FILE* file, double& value, bool& corrupt) {
  std::string word;
  if (!readWord(file, word, corrupt)) return false;
  char* end = nullptr;
  const double parsed =
      cLocale() ? strtod_l(word.c_str(), &end, cLocale()) : std::strtod(word.c_str(), &end);
  if (end == word.c_str()) return false;
  value = parsed;
  return true;
}

// Finds the first occurrence of key as a word outside comments and reads the
// number after it.
bool readKey(FILE* file, const char* key, double& value, bool& corrupt) {
  std::rewind(file);
  std::string word;
  while (readWord(file, word, corrupt)) {
    if (word == "//") {
      skipComment(file);
    } else if (word == key) {
      return readValue(file, value, corrupt);
    }
  }
  return false;
}

}  // namespace

ZorTransform3d::ZorTransform3d() { rebuildMatrix(); }

ZorTransform3d::ZorTransform3d(double tx, double ty, double tz, double rx, double ry, double rz)
    : m_rx(rx), m_ry(ry), m_rz(rz), m_tx(tx), m_ty(ty), m_tz(tz) {
  rebuildMatrix();
}

ZorTransform3d::ZorTransform3d(const ZorTransform3d& other)
    : m_rx(other.m_rx), m_ry(other.m_ry), m_rz(other.m_rz), m_tx(other.m_tx), m_ty(other.m_ty), m_tz(other.m_tz) {
  rebuildMatrix();
}

ZorTransform3d& ZorTransform3d::operator=(const ZorTransform3d& other) {
  setEulerZYX(other.m_rx, other.m_ry, other.m_rz, other.m_tx, other.m_ty, other.m_tz);
  return *this;
}

void ZorTransform3d::rebuildMatrix() {
  const double cx = std::cos(m_rx), sx = std::sin(m_rx);
  const double cy = std::cos(m_ry), sy = std::sin(m_ry);
  const double cz = std::cos(m_rz), sz = std::sin(m_rz);
  Matrix& m = m_matrix;
  m[0][0] = cz * cy;
  m[0][1] = cz * sy * sx - sz * cx;
  m[0][2] = cz * sy * cx + sz * sx;
  m[0][3] = m_tx;
  m[1][0] = sz * cy;
  m[1][1] = sz * sy * sx + cz * cx;
  m[1][2] = sz * sy * cx - cz * sx;
  m[1][3] = m_ty;
  m[2][0] = -sy;
  m[2][1] = cy * sx;
  m[2][2] = cy * cx;
  m[2][3] = m_tz;
  m[3][0] = m[3][1] = m[3][2] = 0.0;
  m[3][3] = 1.0;
  updateGlMatrix();
}

void ZorTransform3d::deriveParameters() {
  const Matrix& m = m_matrix;
  m_ry = std::atan2(-m[2][0], std::sqrt(m[0][0] * m[0][0] + m[1][0] * m[1][0]));
  if (m_ry == kHalfPi) {
    // Gimbal lock: only rx - rz is fixed; rz is taken as 0.
    m_rx = std::atan2(m[0][1], m[1][1]);
    m_rz = 0.0;
  } else if (m_ry == -kHalfPi) {
    // Here only rx + rz is fixed, and m01 = -sin(rx + rz).
    m_rx = std::atan2(-m[0][1], m[1][1]);
    m_rz = 0.0;
  } else {
    m_rx = std::atan2(m[2][1], m[2][2]);
    m_rz = std::atan2(m[1][0], m[0][0]);
  }
  m_tx = m[0][3];
  m_ty = m[1][3];
  m_tz = m[2][3];
}

void ZorTransform3d::setFromMatrix(const double (&m)[4][4]) {
  std::memcpy(m_matrix, m, sizeof m_matrix);
  deriveParameters();
  updateGlMatrix();
}

void ZorTransform3d::updateGlMatrix() {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) m_glMatrix[c * 4 + r] = static_cast<float>(m_matrix[r][c]);
}

void ZorTransform3d::apply(double& x, double& y, double& z) const {
  const Matrix& m = m_matrix;
  const double px = x, py = y, pz = z;
  x = m[0][0] * px + m[0][1] * py + m[0][2] * pz + m[0][3];
  y = m[1][0] * px + m[1][1] * py + m[1][2] * pz + m[1][3];
  z = m[2][0] * px + m[2][1] * py + m[2][2] * pz + m[2][3];
}

void ZorTransform3d::apply(ZorPoint3d& p) const {
  double x, y, z;
  p.getXYZ(x, y, z);
  apply(x, y, z);
  p.setXYZ(x, y, z);
}

void ZorTransform3d::apply(ZorPointCloud3d& cloud) const {
  for (int i = 0; i < cloud.size(); ++i) apply(*cloud.elementAt(i));
  apply(cloud.m_center);
  cloud.dropIndex();
}

double ZorTransform3d::elementAt(int row, int col) const {
  if (row < 0 || row > 3 || col < 0 || col > 3) return 0.0;
  return m_matrix[row][col];
}

void ZorTransform3d::setMatrix(const double* elements) {
  if (!elements) return;
  Matrix m;
  std::memcpy(m, elements, sizeof m);
  setFromMatrix(m);
}

void ZorTransform3d::preMultiply(const ZorTransform3d& t) {
  Matrix product;
  multiply(t.m_matrix, m_matrix, product);
  setFromMatrix(product);
}

void ZorTransform3d::postMultiply(const ZorTransform3d& t) {
  Matrix product;
  multiply(m_matrix, t.m_matrix, product);
  setFromMatrix(product);
}

void ZorTransform3d::transpose() {
  Matrix t;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) t[r][c] = m_matrix[c][r];
  setFromMatrix(t);
}

void ZorTransform3d::invert() {
  const Matrix& m = m_matrix;
  Matrix inverse;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) inverse[r][c] = m[c][r];
    inverse[r][3] = -(m[0][r] * m[0][3] + m[1][r] * m[1][3] + m[2][r] * m[2][3]);
  }
  inverse[3][0] = inverse[3][1] = inverse[3][2] = 0.0;
  inverse[3][3] = 1.0;
  setFromMatrix(inverse);
}

void ZorTransform3d::setRotX(double rx) { m_rx = rx; rebuildMatrix(); }
void ZorTransform3d::setRotY(double ry) { m_ry = ry; rebuildMatrix(); }
void ZorTransform3d::setRotZ(double rz) { m_rz = rz; rebuildMatrix(); }
void ZorTransform3d::setTransX(double tx) { m_tx = tx; rebuildMatrix(); }
void ZorTransform3d::setTransY(double ty) { m_ty = ty; rebuildMatrix(); }
void ZorTransform3d::setTransZ(double tz) { m_tz = tz; rebuildMatrix(); }

void ZorTransform3d::setEulerZYX(double rx, double ry, double rz, double tx, double ty, double tz) {
  m_rx = rx;
  m_ry = ry;
  m_rz = rz;
  m_tx = tx;
  m_ty = ty;
  m_tz = tz;
  rebuildMatrix();
}

void ZorTransform3d::setEulerXYZ(double rx, double ry, double rz, double tx, double ty, double tz) {
  const double cx = std::cos(rx), sx = std::sin(rx);
  const double cy = std::cos(ry), sy = std::sin(ry);
  const double cz = std::cos(rz), sz = std::sin(rz);
  // Rx * Ry * Rz
  const Matrix m = {{cy * cz, -cy * sz, sy, tx},
                    {sx * sy * cz + cx * sz, -sx * sy * sz + cx * cz, -sx * cy, ty},
                    {-cx * sy * cz + sx * sz, cx * sy * sz + sx * cz, cx * cy, tz},
                    {0.0, 0.0, 0.0, 1.0}};
  setFromMatrix(m);
}

bool ZorTransform3d::setGeneralAxisRotation(const ZorVector& axis, double angle) {
  ZorVector u = axis;
  u.normalize();
  if (!(u.magnitude() > 0.0) || !std::isfinite(u.magnitude())) return false;
  const double c = std::cos(angle), s = std::sin(angle), k = 1.0 - c;
  const double x = u.x(), y = u.y(), z = u.z();
  // cos * I + (1 - cos) * u u^T + sin * [u]x
  const Matrix m = {{c + k * x * x, k * x * y - s * z, k * x * z + s * y, 0.0},
                    {k * y * x + s * z, c + k * y * y, k * y * z - s * x, 0.0},
                    {k * z * x - s * y, k * z * y + s * x, c + k * z * z, 0.0},
                    {0.0, 0.0, 0.0, 1.0}};
  setFromMatrix(m);
  return true;
}

ZorPoint3d ZorTransform3d::location() const { return ZorPoint3d(m_tx, m_ty, m_tz); }

ZorVector ZorTransform3d::vectorX() const { return ZorVector(m_matrix[0][0], m_matrix[1][0], m_matrix[2][0]); }
ZorVector ZorTransform3d::vectorY() const { return ZorVector(m_matrix[0][1], m_matrix[1][1], m_matrix[2][1]); }
ZorVector ZorTransform3d::vectorZ() const { return ZorVector(m_matrix[0][2], m_matrix[1][2], m_matrix[2][2]); }

ZorPlane ZorTransform3d::planeXY() const {
  ZorPoint3d x(1.0, 0.0, 0.0), y(0.0, 1.0, 0.0);
  apply(x);
  apply(y);
  return ZorPlane(location(), x, y);
}

ZorPlane ZorTransform3d::planeXZ() const {
  ZorPoint3d z(0.0, 0.0, 1.0), x(1.0, 0.0, 0.0);
  apply(z);
  apply(x);
  return ZorPlane(location(), z, x);
}

ZorPlane ZorTransform3d::planeYZ() const {
  ZorPoint3d y(0.0, 1.0, 0.0), z(0.0, 0.0, 1.0);
  apply(y);
  apply(z);
  return ZorPlane(location(), y, z);
}

bool ZorTransform3d::write(FILE* file) const {
  if (!file) return false;
  const double values[6] = {m_rx, m_ry, m_rz, m_tx, m_ty, m_tz};
  const CLocaleScope cLocaleNumbers;
  for (int i = 0; i < 6; ++i)
    if (std::fprintf(file, "%s\t%lf\n", kKeys[i], values[i]) < 0) return false;
  return std::ferror(file) == 0;
}

bool ZorTransform3d::write(const char* name) const {
  if (!name) return false;
  std::unique_ptr<FILE, FileCloser> file(std::fopen((std::string(name) + ".trans").c_str(), "w+"));
  if (!file) return false;
  const bool written = write(file.get());
  return std::fclose(file.release()) == 0 && written;
}

bool ZorTransform3d::read(FILE* file) {
  if (!file) return false;
  double values[6];
  bool corrupt = false;
  for (int i = 0; i < 6; ++i)
    if (!readKey(file, kKeys[i], values[i], corrupt) || corrupt) return false;
  setEulerZYX(values[0], values[1], values[2], values[3], values[4], values[5]);
  return true;
}

bool ZorTransform3d::read(const char* name) {
  if (!name) return false;
  std::unique_ptr<FILE, FileCloser> file(std::fopen((std::string(name) + ".trans").c_str(), "r"));
  return file && read(file.get());
}
