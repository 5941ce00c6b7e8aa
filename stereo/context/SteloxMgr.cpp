// Construction, copying and the parameters of a stereo context.
#include "context/SteloxMgr.h"

#include "match/StereoProcessMgr.h"
#include "rectify/SteloxRectifyMgr.h"

#include <cmath>
#include <cstring>

SteloxMgr::SteloxMgr()
    : m_rectifyMgr(std::make_shared<SteloxRectifyMgr>()),
      m_stereoMgr(std::make_shared<StereoProcessMgr>())
{
  OpenCVInit();
}

// Raw and disparity images are shared views; the rectified, edge and colour
// images of the library are copied into buffers of the copy's own, while
// caller buffers stay shared (the copy writes into them too). Stereo inputs
// are rebuilt by the next stereo run from the copy's own images.
SteloxMgr::SteloxMgr(const SteloxMgr& other)
    : m_configLines(other.m_configLines),
      m_versionText(other.m_versionText),
      m_versionName(other.m_versionName),
      m_versionMajor(other.m_versionMajor),
      m_versionMinor(other.m_versionMinor),
      m_releaseNotes(other.m_releaseNotes),
      m_productName(other.m_productName),
      m_partId(other.m_partId),
      m_serialNumber(other.m_serialNumber),
      m_lensLayoutKind(other.m_lensLayoutKind),
      m_cameraConfig(other.m_cameraConfig),
      m_numberOfLenses(other.m_numberOfLenses),
      m_lensContainer(other.m_lensContainer),
      m_rectifyMgr(other.m_rectifyMgr),
      m_stereoMgr(other.m_stereoMgr),
      m_focalLengthX(other.m_focalLengthX),
      m_focalLengthY(other.m_focalLengthY),
      m_imageCenterX(other.m_imageCenterX),
      m_imageCenterY(other.m_imageCenterY),
      m_baseline(other.m_baseline),
      m_focalLength(other.m_focalLength),
      m_imageCenterCol(other.m_imageCenterCol),
      m_imageCenterRow(other.m_imageCenterRow),
      m_stereoAlgorithm(other.m_stereoAlgorithm),
      m_calibratedRoi(other.m_calibratedRoi),
      m_calibratedRoiOn(other.m_calibratedRoiOn),
      m_disparity(other.m_disparity),
      m_surfaceMap(other.m_surfaceMap),
      m_preprocessParameters(other.m_preprocessParameters),
      m_stereoParameters(other.m_stereoParameters)
{
  copyDeviceFreeStereoSettings(other);
  copyOpenCVMatchers(other);
  for (int lens = 0; lens < kLensCount; ++lens) {
    m_lensToRectifier[lens] = other.m_lensToRectifier[lens];
    m_rawColour[lens] = other.m_rawColour[lens];
    m_rawMono[lens] = other.m_rawMono[lens];
    copyOwned(m_rectified[lens], other.m_rectified[lens]);
    copyOwned(m_edge[lens], other.m_edge[lens]);
    copyOwned(m_rectifiedColour[lens], other.m_rectifiedColour[lens]);
  }
  // The world transform travels as its matrix: copying a transform object
  // would rebuild the rotation from the derived angles.
  m_worldTransform.setMatrix(other.m_worldTransform.data());
  m_worldInverse.setMatrix(other.m_worldInverse.data());
}

// Views are released before the memory they borrow (members are destroyed
// in reverse order, and each OwnedImage drops its view first).
SteloxMgr::~SteloxMgr()
{
  for (int lens = 0; lens < kLensCount; ++lens) {
    m_stereoInput[lens] = Image<unsigned char>();
    m_rectified[lens].image = Image<unsigned char>();
    m_edge[lens].image = Image<unsigned char>();
    m_rectifiedColour[lens].image = Image<Pixel8x4>();
  }
}

template <typename T>
void SteloxMgr::copyOwned(OwnedImage<T>& to, const OwnedImage<T>& from)
{
  to.external = from.external;
  if (from.external || from.image.nRows() == 0 || from.image.nCols() == 0) {
    to.image = from.image;
    return;
  }
  const ImageDim size = from.image.size();
  auto memory = std::make_unique<T[]>(static_cast<std::size_t>(size.rows) * size.cols);
  Image<T> copy(size.rows, size.cols, memory.get());
  copy.init(from.image);
  to.image = copy;
  to.memory = std::move(memory);
}

SteloxError SteloxMgr::setEdgeMask(int size)
{
  if (size < 3 || size > 11 || size % 2 == 0)
    return SteloxErrorInvalidSetting;
  m_edgeMaskSize = size;
  return SteloxErrorOk;
}

SteloxError SteloxMgr::setStereoMask(int size)
{
  if (size < 1 || size > 23 || size % 2 == 0)
    return SteloxErrorInvalidSetting;
  m_stereoMaskSize = size;
  return SteloxErrorOk;
}

SteloxError SteloxMgr::setAnyStereoMask(int size)
{
  if (size < 1)
    return SteloxErrorInvalidSetting;
  m_stereoMaskSize = size;
  return SteloxErrorOk;
}

// The negated test also refuses NaN.
SteloxError SteloxMgr::setTextureValidationThreshold(double threshold)
{
  if (!(threshold >= 0.0 && threshold <= 128.0))
    return SteloxErrorInvalidSetting;
  m_textureThreshold = threshold;
  return SteloxErrorOk;
}

SteloxError SteloxMgr::setSurfaceValidationSize(int size)
{
  if (size < 0)
    return SteloxErrorInvalidSetting;
  m_surfaceSize = size;
  return SteloxErrorOk;
}

SteloxError SteloxMgr::setSurfaceValidationDifference(double difference)
{
  if (!(difference >= 0.0))
    return SteloxErrorInvalidSetting;
  m_surfaceDifference = difference;
  return SteloxErrorOk;
}

// The maximum is computed in 64 bits: minimum + count must not wrap.
SteloxError SteloxMgr::setDisparityRange(int minimum, int count)
{
  if (count < 1)
    return SteloxErrorInvalidNumberOfDisparities;
  if (count > kMaxDisparityCount || minimum < 0)
    return SteloxErrorInvalidSetting;
  const long long maximum = static_cast<long long>(minimum) + count;
  if (m_cameraConfig == SteloxCameraConfigurationNarrow &&
      maximum > static_cast<long long>(m_rectifiedCols) - m_stereoMaskSize)
    return SteloxErrorInvalidSetting;
  if (maximum > kMaxDisparity)
    return SteloxErrorInvalidSetting;
  m_minDisparity = minimum;
  m_maxDisparity = static_cast<int>(maximum);
  return SteloxErrorOk;
}

SteloxError SteloxMgr::setMinMaxDisparities(int minimum, int maximum)
{
  if (minimum >= maximum || minimum < 0 ||
      static_cast<long long>(maximum) - minimum > kMaxDisparityCount)
    return SteloxErrorInvalidSetting;
  if (m_cameraConfig == SteloxCameraConfigurationNarrow &&
      maximum > static_cast<long long>(m_rectifiedCols) - m_stereoMaskSize)
    return SteloxErrorInvalidSetting;
  if (maximum > kMaxDisparity)
    return SteloxErrorInvalidSetting;
  m_minDisparity = minimum;
  m_maxDisparity = maximum;
  return SteloxErrorOk;
}

SteloxError SteloxMgr::setCameraConfig(int configuration)
{
  if (configuration < 0 || configuration > 1)
    return SteloxErrorInvalidCameraConfiguration;
  m_cameraConfig = static_cast<SteloxCameraConfiguration>(configuration);
  return SteloxErrorOk;
}

int SteloxMgr::getLensIndex(SteloxCamera camera) const
{
  if (m_lensLayoutKind != 0)
    return InvalidLensIndex;
  switch (camera) {
  case SteloxCameraReference:
  case SteloxCameraRight:
    return 0;
  case SteloxCameraLeft:
    return 1;
  }
  return InvalidLensIndex;
}

int SteloxMgr::getRectifyLensIndex(SteloxCamera camera) const { return getLensIndex(camera); }

const char* SteloxMgr::getLensStr(SteloxCamera camera)
{
  return camera == SteloxCameraLeft ? "Left" : "Right";
}

// The rectification manager numbers the reference (right) lens 0 and the
// left lens 1.
void SteloxMgr::generateLensToRectifierIndex()
{
  const int right = getLensIndex(SteloxCameraRight);
  const int left = getLensIndex(SteloxCameraLeft);
  if (right != InvalidLensIndex)
    m_lensToRectifier[right] = 0;
  if (left != InvalidLensIndex)
    m_lensToRectifier[left] = 1;
}

void SteloxMgr::copyDeviceFreeStereoSettings(const SteloxMgr& other)
{
  m_textureValidOn = other.m_textureValidOn;
  m_textureThreshold = other.m_textureThreshold;
  m_textureMapping = other.m_textureMapping;
  m_backForthValidOn = other.m_backForthValidOn;
  m_backForthMapping = other.m_backForthMapping;
  m_surfaceValidOn = other.m_surfaceValidOn;
  m_surfaceSize = other.m_surfaceSize;
  m_surfaceDifference = other.m_surfaceDifference;
  m_surfaceMapping = other.m_surfaceMapping;
  m_outputRows = other.m_outputRows;
  m_outputCols = other.m_outputCols;
  m_rectifiedRows = other.m_rectifiedRows;
  m_rectifiedCols = other.m_rectifiedCols;
  m_offsetRow = other.m_offsetRow;
  m_offsetCol = other.m_offsetCol;
  m_sourceRows = other.m_sourceRows;
  m_sourceCols = other.m_sourceCols;
  m_roi = other.m_roi;
  m_roiOn = other.m_roiOn;
  m_scale = other.m_scale;
  m_lowpassOn = other.m_lowpassOn;
  m_rectifyOn = other.m_rectifyOn;
  m_rowShiftPercent = other.m_rowShiftPercent;
  m_colShiftPercent = other.m_colShiftPercent;
  m_edgeCorrelationOn = other.m_edgeCorrelationOn;
  m_doStereoOn = other.m_doStereoOn;
  m_minDisparity = other.m_minDisparity;
  m_maxDisparity = other.m_maxDisparity;
  m_subpixelOn = other.m_subpixelOn;
  m_strictSubpixelOn = other.m_strictSubpixelOn;
  m_subpixelMapping = other.m_subpixelMapping;
  m_stereoMaskSize = other.m_stereoMaskSize;
  m_edgeMaskSize = other.m_edgeMaskSize;
  m_kernelType = other.m_kernelType;
  m_kernelParameter = other.m_kernelParameter;
}

// ---- Resolution and region of interest ----------------------------------

// Region-of-interest mode: the region is a window of the source frame and the
// output is that window rectified at rows x cols; the output therefore fills
// the whole rectified image (offset 0, 0) and the derived centre is that of
// the window. An empty region is refused (4) instead of dividing by zero.
SteloxError SteloxMgr::setResolution(int rows, int cols)
{
  if (rows < 1 || cols < 1)
    return SteloxErrorInvalidResolution;
  if (cols > kMaxOutputCols)
    return SteloxErrorTooManyOutputColumns;
  if (!m_roiOn) {
    const double aspect = m_focalLengthY / m_focalLengthX;
    double rectifiedRows = rows;
    double rectifiedCols = cols;
    if (aspect > static_cast<double>(cols) / rows)
      rectifiedCols = std::floor(aspect * rows + 0.5);
    else
      rectifiedRows = std::floor(cols / aspect + 0.5);
    if (!(rectifiedRows <= kMaxRectifiedSide && rectifiedCols <= kMaxRectifiedSide))
      return SteloxErrorInvalidResolution;
    m_rectifiedRows = static_cast<int>(rectifiedRows);
    m_rectifiedCols = static_cast<int>(rectifiedCols);
    m_offsetRow = static_cast<int>((m_rectifiedRows - rows) * 0.5);
    m_offsetCol = static_cast<int>((m_rectifiedCols - cols) * 0.5);
    m_outputRows = rows;
    m_outputCols = cols;
    computeDerivedGeometry();
    return SteloxErrorOk;
  }
  if (m_roi.rows < 1 || m_roi.cols < 1)
    return SteloxErrorInvalidRoi;
  if (rows > kMaxRectifiedSide)
    return SteloxErrorInvalidResolution;
  m_rectifiedRows = rows;
  m_rectifiedCols = cols;
  m_offsetRow = 0;
  m_offsetCol = 0;
  m_outputRows = rows;
  m_outputCols = cols;
  m_scale = static_cast<float>(cols) / static_cast<float>(m_roi.cols);
  computeDerivedGeometry();
  return SteloxErrorOk;
}

void SteloxMgr::computeDerivedGeometry()
{
  if (!m_roiOn) {
    m_imageCenterRow = m_rectifiedRows * m_imageCenterY - 0.5;
    m_imageCenterCol = m_rectifiedCols * m_imageCenterX - 0.5;
    m_focalLength = static_cast<float>(m_rectifiedCols) * static_cast<float>(m_focalLengthX);
    return;
  }
  const ImageDim frame = rectifierFrameSize();
  const ImageROI window = windowInFrame();
  m_imageCenterRow = frame.rows * m_imageCenterY - 0.5 - window.row;
  m_imageCenterCol = frame.cols * m_imageCenterX - 0.5 - window.col;
  m_focalLength = static_cast<float>(frame.cols) * static_cast<float>(m_focalLengthX);
}

SteloxError SteloxMgr::setSourceResolution(int rows, int cols)
{
  if (rows <= 0 || cols <= 0)
    return SteloxErrorInvalidSourceResolution;
  if (!m_calibratedRoiOn)
    m_calibratedRoi = {0, 0, rows, cols};
  m_sourceRows = m_calibratedRoi.rows;
  m_sourceCols = m_calibratedRoi.cols;
  return SteloxErrorOk;
}

SteloxError SteloxMgr::setRoi(const SteloxROI& roi)
{
  if (roi.row < 0 || roi.col < 0 || roi.rows < 1 || roi.cols < 1)
    return SteloxErrorInvalidSetting;
  m_roi = roi;
  return SteloxErrorOk;
}

// The results are refused (8) when they would not fit an int or be positive.
SteloxError SteloxMgr::getOptimalNumRows(int cols, int& rows) const
{
  const double value = cols * m_focalLengthX / m_focalLengthY + 0.5;
  if (!(value >= 1.0 && value < 2147483647.0))
    return SteloxErrorInvalidResolution;
  rows = static_cast<int>(value);
  return SteloxErrorOk;
}

SteloxError SteloxMgr::getOptimalNumColumns(int rows, int& cols) const
{
  const double value = rows * m_focalLengthY / m_focalLengthX + 0.5;
  if (!(value >= 1.0 && value < 2147483647.0))
    return SteloxErrorInvalidResolution;
  cols = static_cast<int>(value);
  return SteloxErrorOk;
}
