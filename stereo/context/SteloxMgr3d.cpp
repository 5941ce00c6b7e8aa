// Disparities to 3D points and back with the pinhole model of the rectified
// image, the camera-to-world transform, 3D images and transform files.
#include "context/SteloxMgr.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

namespace {

constexpr int kPointBytes = static_cast<int>(sizeof(SteloxPoint3d));
constexpr unsigned short kFirstInvalidCode = 0xFF00;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void applyInDouble(const ZorTransform3d& transform, float& x, float& y, float& z)
{
  double px = x, py = y, pz = z;
  transform.apply(px, py, pz);
  x = static_cast<float>(px);
  y = static_cast<float>(py);
  z = static_cast<float>(pz);
}

}  // namespace

// In region-of-interest mode the output is the whole rectified image and the
// derived centre is already relative to the region, so positions carry no
// offset there (the same window getImage16 describes).
ImageDim SteloxMgr::outputWindowOffset() const
{
  if (m_roiOn)
    return {0, 0};
  return {m_offsetRow, m_offsetCol};
}

void SteloxMgr::getImageCenter(float& row, float& col) const
{
  const ImageDim offset = outputWindowOffset();
  row = static_cast<float>(m_imageCenterRow - offset.rows);
  col = static_cast<float>(m_imageCenterCol - offset.cols);
}

// Single precision throughout, as the 16-bit disparities deserve. The
// negated range tests also refuse NaN.
SteloxError SteloxMgr::RCDFloatToXYZ(float row, float col, float disparity, float& x, float& y, float& z) const
{
  if (!(row >= 0.0f && row < static_cast<float>(m_outputRows) && col >= 0.0f &&
        col < static_cast<float>(m_outputCols)))
    return SteloxErrorInvalidCoordinates;
  if (!(disparity > 0.0f))
    return SteloxErrorNonPositiveDisparity;
  const ImageDim offset = outputWindowOffset();
  const float k = static_cast<float>(m_baseline) / disparity;
  z = static_cast<float>(m_focalLength) * k;
  y = (static_cast<float>(offset.rows) + row - static_cast<float>(m_imageCenterRow)) * k;
  x = (col + static_cast<float>(offset.cols) - static_cast<float>(m_imageCenterCol)) * k;
  return SteloxErrorOk;
}

SteloxError SteloxMgr::RCDToXYZ(float row, float col, float disparity, float& x, float& y, float& z) const
{
  return RCDFloatToXYZ(row, col, disparity, x, y, z);
}

SteloxError SteloxMgr::RCD16ToXYZ(int row, int col, unsigned short disparity16, float& x, float& y, float& z) const
{
  return RCDFloatToXYZ(static_cast<float>(row), static_cast<float>(col), disparity16 / 16.0f, x, y, z);
}

SteloxError SteloxMgr::XYZToRCD(float x, float y, float z, float& row, float& col, float& disparity) const
{
  if (!(z > 0.0f))
    return SteloxErrorNonPositiveDistance;
  const ImageDim offset = outputWindowOffset();
  const float k = static_cast<float>(m_focalLength) / z;
  col = x * k + static_cast<float>(m_imageCenterCol) - static_cast<float>(offset.cols);
  row = y * k + static_cast<float>(m_imageCenterRow) - static_cast<float>(offset.rows);
  disparity = k * static_cast<float>(m_baseline);
  return SteloxErrorOk;
}

SteloxError SteloxMgr::RCDFloatToWorldXYZ(float row, float col, float disparity, float& x, float& y,
                                          float& z) const
{
  float px = 0.0f, py = 0.0f, pz = 0.0f;
  const SteloxError error = RCDFloatToXYZ(row, col, disparity, px, py, pz);
  if (error != SteloxErrorOk)
    return error;
  applyInDouble(m_worldTransform, px, py, pz);
  x = px;
  y = py;
  z = pz;
  return SteloxErrorOk;
}

SteloxError SteloxMgr::RCDToWorldXYZ(float row, float col, float disparity, float& x, float& y, float& z) const
{
  return RCDFloatToWorldXYZ(row, col, disparity, x, y, z);
}

SteloxError SteloxMgr::RCD16ToWorldXYZ(int row, int col, unsigned short disparity16, float& x, float& y,
                                       float& z) const
{
  return RCDFloatToWorldXYZ(static_cast<float>(row), static_cast<float>(col), disparity16 / 16.0f, x, y, z);
}

SteloxError SteloxMgr::WorldXYZToRCD(float x, float y, float z, float& row, float& col, float& disparity) const
{
  applyInDouble(m_worldInverse, x, y, z);
  return XYZToRCD(x, y, z, row, col, disparity);
}

// A matrix with m33 = 0 is no rigid transform (its translation would be
// infinite) and is refused like a singular rotation, leaving the transform as
// it was.
SteloxError SteloxMgr::setSteloxToWorldTransform(const SteloxTransform& transform)
{
  const auto& m = transform.matrix;
  for (int row = 0; row < 3; ++row)
    if (m[row][0] * m[row][0] + m[row][1] * m[row][1] + m[row][2] * m[row][2] == 0.0)
      return SteloxErrorSingularRotationMatrix;
  if (m[3][3] == 0.0)
    return SteloxErrorInvalidParameter;
  double elements[4][4];
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col)
      elements[row][col] = m[row][col];
    elements[row][3] = m[row][3] / m[3][3];
  }
  elements[3][0] = elements[3][1] = elements[3][2] = 0.0;
  elements[3][3] = 1.0;
  m_worldTransform.setMatrix(&elements[0][0]);
  // The copy keeps the derived angles only, so the inverse is a proper
  // rotation even when the given one is not.
  m_worldInverse = m_worldTransform;
  m_worldInverse.invert();
  return SteloxErrorOk;
}

void SteloxMgr::getSteloxToWorldTransform(SteloxTransform& transform) const
{
  std::memcpy(transform.matrix, m_worldTransform.data(), sizeof transform.matrix);
}

// The record and its points cross the interface as plain pointers; both are
// released again by destroyImage3d.
SteloxError SteloxMgr::createImage3d(SteloxImage3d*& image) const
{
  const int rows = m_rectifiedRows;
  const int cols = m_rectifiedCols;
  if (rows < 1 || cols < 1)
    return SteloxErrorInvalidResolution;
  if (cols > std::numeric_limits<std::int32_t>::max() / kPointBytes ||
      static_cast<std::size_t>(rows) > std::numeric_limits<std::size_t>::max() / kPointBytes / cols)
    return SteloxErrorBadAlloc;
  auto record = std::make_unique<SteloxImage3d>();
  auto points = std::make_unique<SteloxPoint3d[]>(static_cast<std::size_t>(rows) * cols);
  record->rows = rows;
  record->cols = cols;
  record->rowIncrement = cols * kPointBytes;
  record->points = points.release();
  image = record.release();
  return SteloxErrorOk;
}

void SteloxMgr::destroyImage3d(SteloxImage3d*& image)
{
  if (image == nullptr)
    return;
  std::unique_ptr<SteloxImage3d> record(image);
  std::unique_ptr<SteloxPoint3d[]> points(record->points);
  image = nullptr;
}

// The disparity image must have the rectified size in both directions: its
// columns are walked, and the 3D image only has room for the rectified
// columns. A caller's record with no points or rows shorter than their width
// is refused rather than written through.
SteloxError SteloxMgr::internalExtractImage3d(SteloxImage3d& image, bool world) const
{
  if (image.rows != m_rectifiedRows || image.cols != m_rectifiedCols)
    return SteloxErrorImage3dSizeMismatch;
  if (m_disparity.nRows() != m_rectifiedRows || m_disparity.nCols() != m_rectifiedCols)
    return SteloxErrorDisparitySizeMismatch;
  if (image.points == nullptr)
    return SteloxErrorNullBuffer;
  const int pointsPerRow = image.rowIncrement / kPointBytes;
  if (pointsPerRow < image.cols)
    return SteloxErrorInvalidRowIncrement;

  const double focal = m_focalLength;
  const double depthTimesDisparity =
      static_cast<double>(static_cast<float>(m_baseline) * static_cast<float>(m_focalLength));
  for (int i = 0; i < m_disparity.nRows(); ++i) {
    const unsigned short* disparity = &m_disparity[i][0];
    SteloxPoint3d* point = image.points + static_cast<std::ptrdiff_t>(i) * pointsPerRow;
    for (int j = 0; j < m_disparity.nCols(); ++j, ++point) {
      const unsigned short g = disparity[j];
      if (g == 0 || g >= kFirstInvalidCode) {
        *point = SteloxPoint3d{0.0f, 0.0f, 0.0f};
        continue;
      }
      const double z = depthTimesDisparity / (g / 16.0);
      double y = (i - m_imageCenterRow) * z / focal;
      double x = (j - m_imageCenterCol) * z / focal;
      double depth = z;
      if (world)
        m_worldTransform.apply(x, y, depth);
      *point = SteloxPoint3d{static_cast<float>(x), static_cast<float>(y), static_cast<float>(depth)};
    }
  }
  return SteloxErrorOk;
}

SteloxError SteloxMgr::getTransformFromFile(const char* fileName, SteloxTransform& transform)
{
  const File file(std::fopen(fileName, "r"));
  ZorTransform3d read;
  if (!file || !read.read(file.get()))
    return SteloxErrorCorruptTransformFile;
  std::memcpy(transform.matrix, read.data(), sizeof transform.matrix);
  return SteloxErrorOk;
}

// The angles come from the matrix as given; the translation is written as it
// stands, not divided by m33. A failed write or close is reported too.
SteloxError SteloxMgr::writeTransformToFile(const char* fileName, const SteloxTransform& transform)
{
  File file(std::fopen(fileName, "w"));
  if (!file)
    return SteloxErrorCorruptTransformFile;
  ZorTransform3d written;
  written.setMatrix(&transform.matrix[0][0]);
  const bool ok = written.write(file.get());
  if (std::fclose(file.release()) != 0 || !ok)
    return SteloxErrorCorruptTransformFile;
  return SteloxErrorOk;
}
