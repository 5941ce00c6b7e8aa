// The images a context hands out, the caller's own output buffers and the
// conversion of single pixels between raw and rectified coordinates.
#include "context/SteloxHelper.h"
#include "context/SteloxMgr.h"
#include "rectify/Rectifier.h"
#include "rectify/SteloxRectifyMgr.h"

#include <new>

namespace {

// The output window (offset, requested size) inside an image; null data when
// the image has no pixels or is not of the geometry the window belongs to
// (a resolution set after the last frame), so the caller never gets a window
// that reaches beyond the pixels.
template <typename T, typename Record, typename Pointer>
void describeWindow(const Image<T>& image, int offsetRow, int offsetCol, int rows, int cols, Record& out)
{
  out.rows = rows;
  out.cols = cols;
  out.rowIncrement = rowInc(image);
  out.data = nullptr;
  if (out.rowIncrement == 0 || offsetRow + rows > image.nRows() || offsetCol + cols > image.nCols())
    return;
  out.data = reinterpret_cast<Pointer>(image.bufferptr() + static_cast<std::ptrdiff_t>(offsetRow) * image.nRowInc() +
                                       offsetCol);
}

}  // namespace

SteloxError SteloxMgr::getImage(SteloxImageType type, SteloxCamera camera, SteloxImage& out) const
{
  const int lens = getLensIndex(camera);
  if (lens == InvalidLensIndex)
    return SteloxErrorInvalidCamera;
  const Image<unsigned char>* image = nullptr;
  switch (type) {
  case SteloxImageTypeRaw:
    image = &m_rawMono[lens];
    break;
  case SteloxImageTypeRectified:
    image = &m_rectified[lens].image;
    break;
  case SteloxImageTypeEdge:
    image = &m_edge[lens].image;
    break;
  default:
    return SteloxErrorInvalidImageType;
  }
  describeWindow<unsigned char, SteloxImage, unsigned char*>(*image, m_offsetRow, m_offsetCol, m_outputRows,
                                                              m_outputCols, out);
  return SteloxErrorOk;
}

SteloxError SteloxMgr::getImage16(SteloxImage16Type type, SteloxCamera camera, SteloxImage16& out) const
{
  if (type != SteloxImage16TypeDisparity)
    return SteloxErrorInvalidImageType;
  if (!m_doStereoOn)
    return SteloxErrorDisparityNotDone;
  if (camera != SteloxCameraReference && camera != SteloxCameraRight)
    return SteloxErrorInvalidCamera;
  describeWindow<unsigned short, SteloxImage16, unsigned short*>(
      m_disparity, m_roiOn ? 0 : m_offsetRow, m_roiOn ? 0 : m_offsetCol, m_outputRows, m_outputCols, out);
  return SteloxErrorOk;
}

SteloxError SteloxMgr::getColorImage(SteloxColorImageType type, SteloxCamera camera, SteloxColorImage& out) const
{
  const int lens = getLensIndex(camera);
  if (lens == InvalidLensIndex)
    return SteloxErrorInvalidCamera;
  const Image<Pixel8x4>* image = nullptr;
  switch (type) {
  case SteloxColorImageTypeRaw:
    image = &m_rawColour[lens];
    break;
  case SteloxColorImageTypeRectified:
    image = &m_rectifiedColour[lens].image;
    break;
  default:
    return SteloxErrorInvalidImageType;
  }
  describeWindow<Pixel8x4, SteloxColorImage, SteloxColorPixel*>(*image, m_offsetRow, m_offsetCol, m_outputRows,
                                                                 m_outputCols, out);
  return SteloxErrorOk;
}

// Setting a buffer on an image that already uses one keeps the first; the
// library's own pixels are released. Unsetting gives the image new library
// pixels (the caller's are not copied).
template <typename T>
SteloxError SteloxMgr::setBuffer(OwnedImage<T>& owned, T* buffer, const ImageDim& size)
{
  if (buffer != nullptr) {
    if (owned.external)
      return SteloxErrorOk;
    owned.image = Image<T>(size.rows, size.cols, buffer);
    owned.memory.reset();
    owned.external = true;
    return SteloxErrorOk;
  }
  if (!owned.external)
    return SteloxErrorOk;
  try {
    auto memory = std::make_unique<T[]>(static_cast<std::size_t>(size.rows) * size.cols);
    owned.image = Image<T>(size.rows, size.cols, memory.get());
    owned.memory = std::move(memory);
  } catch (const std::bad_alloc&) {
    return SteloxErrorBadAlloc;
  }
  owned.external = false;
  return SteloxErrorOk;
}

SteloxError SteloxMgr::setImageBuffer(unsigned char* buffer, SteloxImageType type, SteloxCamera camera)
{
  const int lens = getLensIndex(camera);
  if (lens == InvalidLensIndex)
    return SteloxErrorInvalidCamera;
  if (type != SteloxImageTypeRectified && type != SteloxImageTypeEdge)
    return SteloxErrorInvalidImageType;
  if (m_rectifiedRows <= 0 || m_rectifiedCols <= 0)
    return SteloxErrorInvalidResolution;
  m_stereoInput[lens] = Image<unsigned char>();
  OwnedImage<unsigned char>& owned = type == SteloxImageTypeRectified ? m_rectified[lens] : m_edge[lens];
  return setBuffer(owned, buffer, currentImageSize());
}

// The disparity image carries no caller mark: a buffer of another size is
// replaced by the next stereo run, and the caller's buffer is never freed.
SteloxError SteloxMgr::setImage16Buffer(unsigned short* buffer, SteloxImage16Type type, SteloxCamera camera)
{
  if (type != SteloxImage16TypeDisparity)
    return SteloxErrorInvalidImageType;
  if (camera != SteloxCameraReference && camera != SteloxCameraRight)
    return SteloxErrorInvalidCamera;
  if (m_rectifiedRows <= 0 || m_rectifiedCols <= 0)
    return SteloxErrorInvalidResolution;
  try {
    if (buffer != nullptr)
      m_disparity = Image<unsigned short>(m_rectifiedRows, m_rectifiedCols, buffer);
    else
      m_disparity = Image<unsigned short>(m_rectifiedRows, m_rectifiedCols);
  } catch (const std::bad_alloc&) {
    return SteloxErrorBadAlloc;
  }
  return SteloxErrorOk;
}

SteloxError SteloxMgr::setColorImageBuffer(SteloxColorPixel* buffer, SteloxCamera camera)
{
  const int lens = getLensIndex(camera);
  if (lens == InvalidLensIndex)
    return SteloxErrorInvalidCamera;
  if (m_rectifiedRows <= 0 || m_rectifiedCols <= 0)
    return SteloxErrorInvalidResolution;
  return setBuffer(m_rectifiedColour[lens], reinterpret_cast<Pixel8x4*>(buffer), currentImageSize());
}

// In region-of-interest mode the points go through the whole rectified frame
// and its window; points outside the output are refused (9).
SteloxError SteloxMgr::rectifyPixel(SteloxCamera camera, float row, float col, float& rectRow,
                                    float& rectCol) const
{
  if (m_sourceRows <= 0 || m_sourceCols <= 0)
    return SteloxErrorInvalidSourceResolution;
  const int lens = getLensIndex(camera);
  if (lens == InvalidLensIndex)
    return SteloxErrorInvalidCamera;
  if (m_rectifiedRows <= 0 || m_rectifiedCols <= 0)
    return SteloxErrorInvalidResolution;
  const std::shared_ptr<Rectifier> rectifier = getLensRectifier(lens);
  if (!rectifier)
    return SteloxErrorInvalidContext;
  if (const RectifyError built = rectifier->getConstructionResult())
    return SteloxHelper::rectifyToSteloxError(built);
  float r = 0.0f;
  float c = 0.0f;
  if (!m_roiOn) {
    const RectifyError result =
        rectifier->rectifyPixel(row, col, m_sourceRows, m_sourceCols, &r, &c, m_rectifiedRows, m_rectifiedCols);
    if (result != RectifyErrorOk)
      return SteloxHelper::rectifyToSteloxError(result);
    rectRow = r - m_offsetRow;
    rectCol = c - m_offsetCol;
    return SteloxErrorOk;
  }
  if (const SteloxError result = checkResolutions())
    return result;
  const ImageDim frame = rectifierFrameSize();
  const ImageROI window = windowInFrame();
  const RectifyError result = rectifier->rectifyPixel(row, col, m_sourceRows, m_sourceCols, &r, &c, frame.rows, frame.cols);
  if (result != RectifyErrorOk)
    return SteloxHelper::rectifyToSteloxError(result);
  r -= window.row;
  c -= window.col;
  if (!(r >= 0.0f && r <= m_outputRows - 1 && c >= 0.0f && c <= m_outputCols - 1))
    return SteloxErrorInvalidCoordinates;
  rectRow = r;
  rectCol = c;
  return SteloxErrorOk;
}

SteloxError SteloxMgr::unrectifyPixel(SteloxCamera camera, float rectRow, float rectCol, float& row,
                                      float& col) const
{
  if (m_sourceRows <= 0 || m_sourceCols <= 0)
    return SteloxErrorInvalidSourceResolution;
  const int lens = getLensIndex(camera);
  if (lens == InvalidLensIndex)
    return SteloxErrorInvalidCamera;
  if (m_rectifiedRows <= 0 || m_rectifiedCols <= 0)
    return SteloxErrorInvalidResolution;
  const std::shared_ptr<Rectifier> rectifier = getLensRectifier(lens);
  if (!rectifier)
    return SteloxErrorInvalidContext;
  if (const RectifyError built = rectifier->getConstructionResult())
    return SteloxHelper::rectifyToSteloxError(built);
  float r = rectRow;
  float c = rectCol;
  int frameRows = m_rectifiedRows;
  int frameCols = m_rectifiedCols;
  if (!m_roiOn) {
    r += m_offsetRow;
    c += m_offsetCol;
  } else {
    if (const SteloxError result = checkResolutions())
      return result;
    if (!(r >= 0.0f && r <= m_rectifiedRows - 1 && c >= 0.0f && c <= m_rectifiedCols - 1))
      return SteloxErrorInvalidCoordinates;
    const ImageDim frame = rectifierFrameSize();
    const ImageROI window = windowInFrame();
    r += window.row;
    c += window.col;
    frameRows = frame.rows;
    frameCols = frame.cols;
  }
  float rawRow = 0.0f;
  float rawCol = 0.0f;
  const bool inside = r >= 0.0f && r <= frameRows - 1 && c >= 0.0f && c <= frameCols - 1;
  const RectifyError result =
      inside ? rectifier->unrectifyPixel(r, c, frameRows, frameCols, &rawRow, &rawCol, m_sourceRows, m_sourceCols)
             : rectifier->searchUnrectifyPixel(r, c, frameRows, frameCols, &rawRow, &rawCol, m_sourceRows,
                                               m_sourceCols);
  if (result != RectifyErrorOk)
    return SteloxHelper::rectifyToSteloxError(result);
  row = rawRow;
  col = rawCol;
  return SteloxErrorOk;
}
