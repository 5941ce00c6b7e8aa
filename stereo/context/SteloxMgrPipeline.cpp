// The frame path of a stereo context: output and region arithmetic, the
// low-pass decision, warper building, mono and colour preprocessing, edge
// images and the stereo run.
#include "context/SteloxHelper.h"
#include "context/SteloxMgr.h"
#include "filter/EdgeFilter.h"
#include "filter/MonoConversion.h"
#include "match/StereoParameters.h"
#include "match/StereoProcessMgr.h"
#include "rectify/Rectifier.h"
#include "rectify/SteloxRectifyMgr.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

bool fitsInside(const ImageROI& region, int rows, int cols)
{
  return region.row + region.rows <= rows && region.col + region.cols <= cols;
}

// Empty or pixel-less images (16) and rows shorter than their width (11).
template <typename Record>
SteloxError validateImage(const Record& image, int bytesPerPixel)
{
  if (image.rows < 1 || image.cols < 1 || image.data == nullptr)
    return SteloxErrorInvalidStereoInput;
  if (static_cast<long long>(image.rowIncrement) < static_cast<long long>(image.cols) * bytesPerPixel)
    return SteloxErrorInvalidRowIncrement;
  return SteloxErrorOk;
}

// The bytes an image view spans, empty for an image without pixels.
struct ByteRange {
  const unsigned char* begin;
  const unsigned char* end;
};

template <typename T>
ByteRange bytesOf(const Image<T>& image)
{
  const auto* first = reinterpret_cast<const unsigned char*>(image.bufferconstptr());
  if (image.nRows() < 1 || image.nCols() < 1)
    return {first, first};
  const std::size_t elements = static_cast<std::size_t>(image.nRows() - 1) * image.nRowInc() + image.nCols();
  return {first, first + elements * sizeof(T)};
}

}  // namespace

SteloxError SteloxMgr::checkResolutions() const
{
  if (m_sourceRows <= 0 || m_sourceCols <= 0)
    return SteloxErrorInvalidSourceResolution;
  if (m_rectifiedRows <= 0 || m_rectifiedCols <= 0)
    return SteloxErrorInvalidResolution;
  if (!m_roiOn)
    return SteloxErrorOk;
  if (m_roi.row < 0 || m_roi.col < 0 || m_roi.rows < 1 || m_roi.cols < 1)
    return SteloxErrorInvalidRoi;
  const ImageROI region = {m_roi.row, m_roi.col, m_roi.rows, m_roi.cols};
  if (!fitsInside(region, m_sourceRows, m_sourceCols))
    return SteloxErrorInvalidRoi;
  if (static_cast<long long>(m_rectifiedRows) * m_roi.cols != static_cast<long long>(m_rectifiedCols) * m_roi.rows)
    return SteloxErrorRoiAspectRatioMismatch;
  const ImageDim frame = rectifierFrameSize();
  if (frame.rows > kMaxRectifiedSide || frame.cols > kMaxRectifiedSide)
    return SteloxErrorInvalidResolution;
  return SteloxErrorOk;
}

bool SteloxMgr::determineLowpass()
{
  const int referenceRows = m_roiOn ? m_roi.rows : m_sourceRows;
  const int referenceCols = m_roiOn ? m_roi.cols : m_sourceCols;
  m_lowpassOn = m_rectifiedRows < 0.5 * referenceRows || m_rectifiedCols < 0.5 * referenceCols;
  return m_lowpassOn;
}

ImageDim SteloxMgr::rectifierFrameSize() const
{
  if (!m_roiOn)
    return {m_rectifiedRows, m_rectifiedCols};
  return {static_cast<int>(std::lround(m_scale * static_cast<double>(m_sourceRows))),
          static_cast<int>(std::lround(m_scale * static_cast<double>(m_sourceCols)))};
}

// The region scaled like the frame, moved inside it where rounding would let
// it reach past the edge.
ImageROI SteloxMgr::windowInFrame() const
{
  if (!m_roiOn)
    return {0, 0, m_rectifiedRows, m_rectifiedCols};
  const ImageDim frame = rectifierFrameSize();
  const int row = static_cast<int>(std::lround(m_scale * static_cast<double>(m_roi.row)));
  const int col = static_cast<int>(std::lround(m_scale * static_cast<double>(m_roi.col)));
  return {std::max(0, std::min(row, frame.rows - m_rectifiedRows)),
          std::max(0, std::min(col, frame.cols - m_rectifiedCols)), m_rectifiedRows, m_rectifiedCols};
}

// Builds the tables ahead of the frames; the rectifier reads packed source
// rows (its low-pass copy is packed too), and side-by-side rows of twice the
// width.
SteloxError SteloxMgr::buildWarpers()
{
  const ImageDim frame = rectifierFrameSize();
  for (int pass = 1; pass <= 2; ++pass) {
    const RectifyError result = m_rectifyMgr->buildWarpers(
        frame.rows, frame.cols, m_sourceRows, m_sourceCols, m_sourceCols * pass, 0, 0, m_sourceRows, m_sourceCols,
        m_rowShiftPercent, m_colShiftPercent, static_cast<KernelType>(m_kernelType), m_kernelParameter);
    if (result != RectifyErrorOk)
      return SteloxHelper::rectifyToSteloxError(result);
  }
  return SteloxErrorOk;
}

SteloxError SteloxMgr::prepareRectificationData(int rows, int cols, int sourceRows, int sourceCols)
{
  if (!m_calibratedRoiOn)
    m_calibratedRoi = {0, 0, sourceRows, sourceCols};
  m_sourceRows = m_calibratedRoi.rows;
  m_sourceCols = m_calibratedRoi.cols;
  setResolution(rows, cols);
  if (const SteloxError result = checkResolutions())
    return result;
  determineLowpass();
  return buildWarpers();
}

SteloxError SteloxMgr::takePairGeometry(int rightRows, int rightCols)
{
  if (m_calibratedRoiOn) {
    if (!fitsInside(m_calibratedRoi, rightRows, rightCols))
      return SteloxErrorCalibratedAreaOutsideInput;
  } else {
    m_calibratedRoi = {0, 0, rightRows, rightCols};
  }
  m_sourceRows = m_calibratedRoi.rows;
  m_sourceCols = m_calibratedRoi.cols;
  return SteloxErrorOk;
}

// Without rectification the output is the raw frame (the calibrated region of
// it), or the region of interest, which must then have the output's size.
SteloxError SteloxMgr::rectificationOffGeometry()
{
  if (m_roiOn) {
    if (m_rectifiedRows != m_roi.rows || m_rectifiedCols != m_roi.cols)
      return SteloxErrorRectifyOffRoiOutputDiffer;
    return SteloxErrorOk;
  }
  if (m_sourceRows > kMaxRectifiedSide || m_sourceCols > kMaxRectifiedSide)
    return SteloxErrorInvalidResolution;
  m_rectifiedRows = m_sourceRows;
  m_rectifiedCols = m_sourceCols;
  m_offsetRow = 0;
  m_offsetCol = 0;
  m_outputRows = m_sourceRows;
  m_outputCols = m_sourceCols;
  computeDerivedGeometry();
  return SteloxErrorOk;
}

ImageDim SteloxMgr::currentImageSize() const { return {m_rectifiedRows, m_rectifiedCols}; }

// A caller buffer is reused at the new size; a library buffer is replaced
// only when the size changes.
template <typename T>
SteloxError SteloxMgr::ensureSize(OwnedImage<T>& owned, const ImageDim& size)
{
  if (owned.image.size() == size && owned.image.nRowInc() == size.cols)
    return SteloxErrorOk;
  if (owned.external) {
    owned.image = Image<T>(size.rows, size.cols, owned.image.bufferptr());
    return SteloxErrorOk;
  }
  try {
    auto memory = std::make_unique<T[]>(static_cast<std::size_t>(size.rows) * size.cols);
    owned.image = Image<T>(size.rows, size.cols, memory.get());
    owned.memory = std::move(memory);
  } catch (const std::bad_alloc&) {
    return SteloxErrorBadAlloc;
  }
  return SteloxErrorOk;
}

SteloxError SteloxMgr::ensureMonoImages()
{
  const ImageDim size = currentImageSize();
  for (int lens = 0; lens < kLensCount; ++lens) {
    if (const SteloxError result = ensureSize(m_rectified[lens], size))
      return result;
    if (const SteloxError result = ensureSize(m_edge[lens], size))
      return result;
  }
  return SteloxErrorOk;
}

std::shared_ptr<Rectifier> SteloxMgr::getLensRectifier(int lens) const
{
  if (lens < 0 || lens >= kLensCount || m_lensToRectifier[lens] == InvalidLensIndex || !m_rectifyMgr)
    return nullptr;
  return m_rectifyMgr->getRectifier(m_lensToRectifier[lens]);
}

SteloxError SteloxMgr::rectify(const SteloxMonoStereoPair& pair)
{
  const SteloxImage* images[kLensCount] = {&pair.right, &pair.left};
  SteloxError invalid = SteloxErrorOk;
  for (const SteloxImage* image : images)
    if (invalid == SteloxErrorOk)
      invalid = validateImage(*image, 1);
  if (pair.right.rows != pair.left.rows || pair.right.cols != pair.left.cols) {
    if (m_calibratedRoiOn && !fitsInside(m_calibratedRoi, pair.right.rows, pair.right.cols))
      return SteloxErrorCalibratedAreaOutsideInput;
    return SteloxErrorStereoInputSizeMismatch;
  }
  if (m_calibratedRoiOn && !fitsInside(m_calibratedRoi, pair.right.rows, pair.right.cols))
    return SteloxErrorCalibratedAreaOutsideInput;
  if (invalid != SteloxErrorOk)
    return invalid;
  if (const SteloxError result = takePairGeometry(pair.right.rows, pair.right.cols))
    return result;
  if (const SteloxError result = checkResolutions())
    return result;
  if (!m_rectifyOn) {
    if (const SteloxError result = rectificationOffGeometry())
      return result;
  } else if (m_roiOn) {
    computeDerivedGeometry();
  }

  for (int lens = 0; lens < kLensCount; ++lens) {
    const SteloxImage& image = *images[lens];
    const Image<unsigned char> whole(image.rows, image.cols, image.rowIncrement, image.data);
    m_rawMono[lens] = whole.region(m_calibratedRoi.row, m_calibratedRoi.col, m_calibratedRoi.rows,
                                   m_calibratedRoi.cols);
  }
  if (const SteloxError result = ensureMonoImages())
    return result;
  determineLowpass();
  savePreprocessParameters();

  if (m_rectifyOn) {
    if (const SteloxError result = buildWarpers())
      return result;
    return forEachLens(lensesRunTogether(), [this](int lens) {
      if (const SteloxError result = rectifyLens(lens))
        return result;
      makeEdgeImage(lens);
      return SteloxErrorOk;
    });
  }
  return forEachLens(lensesRunTogether(), [this](int lens) {
    const Image<unsigned char> source =
        m_roiOn ? m_rawMono[lens].region(m_roi.row, m_roi.col, m_roi.rows, m_roi.cols) : m_rawMono[lens];
    m_rectified[lens].image.init(source);
    makeEdgeImage(lens);
    return SteloxErrorOk;
  });
}

// The lenses run at once when each writes memory of its own (a caller may
// hand one buffer to both lenses) and, with rectification on, uses a rectifier
// of its own: a rectifier (tables, cache) serves one thread at a time.
bool SteloxMgr::lensesRunTogether() const
{
  if (m_rectifyOn) {
    const std::shared_ptr<Rectifier> right = getLensRectifier(0);
    const std::shared_ptr<Rectifier> left = getLensRectifier(1);
    if (!right || !left || &right->impl() == &left->impl())
      return false;
  }
  const ByteRange outputs[kLensCount][3] = {
      {bytesOf(m_rectified[0].image), bytesOf(m_edge[0].image), bytesOf(m_rectifiedColour[0].image)},
      {bytesOf(m_rectified[1].image), bytesOf(m_edge[1].image), bytesOf(m_rectifiedColour[1].image)}};
  for (const ByteRange& right : outputs[0])
    for (const ByteRange& left : outputs[1])
      if (right.begin < left.end && left.begin < right.end)
        return false;
  return true;
}

// The lower lens's error wins, as if the lenses ran in order.
SteloxError SteloxMgr::forEachLens(bool together, const std::function<SteloxError(int)>& work)
{
  if (!together || !m_stereoMgr) {
    for (int lens = 0; lens < kLensCount; ++lens)
      if (const SteloxError result = work(lens))
        return result;
    return SteloxErrorOk;
  }
  SteloxError results[kLensCount] = {SteloxErrorOk, SteloxErrorOk};
  m_stereoMgr->pool().forEach(kLensCount, [&](unsigned lens) { results[lens] = work(static_cast<int>(lens)); });
  for (const SteloxError result : results)
    if (result != SteloxErrorOk)
      return result;
  return SteloxErrorOk;
}

// A frame larger than the rectified image (region-of-interest mode) is
// rectified into scratch memory and its window copied out.
SteloxError SteloxMgr::rectifyLens(int lens)
{
  const std::shared_ptr<Rectifier> rectifier = getLensRectifier(lens);
  if (!rectifier)
    return SteloxErrorInvalidContext;
  if (const RectifyError built = rectifier->getConstructionResult())
    return SteloxHelper::rectifyToSteloxError(built);
  const ImageDim frame = rectifierFrameSize();
  Image<unsigned char>& rectified = m_rectified[lens].image;
  std::unique_ptr<unsigned char[]> scratch;
  if (m_roiOn)
    scratch = std::make_unique<unsigned char[]>(static_cast<std::size_t>(frame.rows) * frame.cols);
  const unsigned factor = m_lowpassOn ? 0 : 1;
  const RectifyError result = rectifier->lowpassRectify(
      frame.cols, frame.rows, m_roiOn ? scratch.get() : rectified.bufferptr(), m_sourceCols, m_sourceRows,
      m_rawMono[lens].nRowInc(), m_rawMono[lens].bufferptr(), 0, 0, m_sourceRows, m_sourceCols, factor, factor,
      m_rowShiftPercent, m_colShiftPercent, static_cast<KernelType>(m_kernelType), m_kernelParameter);
  if (result != RectifyErrorOk)
    return SteloxHelper::rectifyToSteloxError(result);
  if (m_roiOn) {
    const ImageROI window = windowInFrame();
    rectified.init(Image<unsigned char>(frame.rows, frame.cols, scratch.get())
                       .region(window.row, window.col, window.rows, window.cols));
  }
  return SteloxErrorOk;
}

SteloxError SteloxMgr::rectifyColourLens(int lens)
{
  const std::shared_ptr<Rectifier> rectifier = getLensRectifier(lens);
  if (!rectifier)
    return SteloxErrorInvalidContext;
  if (const RectifyError built = rectifier->getConstructionResult())
    return SteloxHelper::rectifyToSteloxError(built);
  const ImageDim frame = rectifierFrameSize();
  Image<Pixel8x4>& rectified = m_rectifiedColour[lens].image;
  std::unique_ptr<Pixel8x4[]> scratch;
  if (m_roiOn)
    scratch = std::make_unique<Pixel8x4[]>(static_cast<std::size_t>(frame.rows) * frame.cols);
  const unsigned factor = m_lowpassOn ? 0 : 1;
  const RectifyError result = rectifier->unpackLowpassRectify(
      frame.cols, frame.rows, m_roiOn ? scratch.get() : rectified.bufferptr(), m_sourceCols, m_sourceRows,
      m_rawColour[lens].nRowInc() * 4, m_rawColour[lens].bufferptr(), 0, 0, m_sourceRows, m_sourceCols, factor,
      factor);
  if (result != RectifyErrorOk)
    return SteloxHelper::rectifyToSteloxError(result);
  if (m_roiOn) {
    const ImageROI window = windowInFrame();
    rectified.init(
        Image<Pixel8x4>(frame.rows, frame.cols, scratch.get()).region(window.row, window.col, window.rows, window.cols));
  }
  return SteloxErrorOk;
}

void SteloxMgr::makeEdgeImage(int lens)
{
  if (!m_edgeCorrelationOn || m_stereoAlgorithm != SteloxStereoAlgorithmCorrelation)
    return;
  const int mask = m_edgeMaskSize;
  const int half = mask / 2;
  Image<unsigned char>& edge = m_edge[lens].image;
  const int innerRows = edge.nRows() - mask + 1;
  const int innerCols = edge.nCols() - mask + 1;
  if (innerRows < 1 || innerCols < 1) {
    edge.init(128);
    return;
  }
  edge.border(128, half, half, half, half);
  Image<unsigned char> inner = edge.region(half, half, innerRows, innerCols);
  boxEdgeFilter(inner, m_rectified[lens].image, static_cast<unsigned>(mask), 1.0);
}

SteloxError SteloxMgr::colorRectify(const SteloxColorStereoPair& pair)
{
  const SteloxColorImage* images[kLensCount] = {&pair.right, &pair.left};
  SteloxError invalid = SteloxErrorOk;
  for (const SteloxColorImage* image : images)
    if (invalid == SteloxErrorOk)
      invalid = validateImage(*image, 4);
  if (pair.right.rows != pair.left.rows || pair.right.cols != pair.left.cols)
    invalid = SteloxErrorStereoInputSizeMismatch;
  if (m_calibratedRoiOn && !fitsInside(m_calibratedRoi, pair.right.rows, pair.right.cols))
    invalid = SteloxErrorCalibratedAreaOutsideInput;
  if (invalid != SteloxErrorOk)
    return invalid;
  if (const SteloxError result = takePairGeometry(pair.right.rows, pair.right.cols))
    return result;
  if (const SteloxError result = checkResolutions())
    return result;
  if (!m_rectifyOn) {
    if (const SteloxError result = rectificationOffGeometry())
      return result;
  } else if (m_roiOn) {
    computeDerivedGeometry();
  }
  determineLowpass();
  savePreprocessParameters();
  const ImageDim size = currentImageSize();
  for (int lens = 0; lens < kLensCount; ++lens)
    if (const SteloxError result = ensureSize(m_rectifiedColour[lens], size))
      return result;
  if (const SteloxError result = ensureMonoImages())
    return result;

  // With rectification on, the colour images are always rectified: copying
  // the raw frame into an image of the rectified size would not fit it.
  if (m_rectifyOn) {
    const SteloxCamera cameras[kLensCount] = {SteloxCameraRight, SteloxCameraLeft};
    int lenses[kLensCount] = {InvalidLensIndex, InvalidLensIndex};
    if (const SteloxError result = prepareColourLens(cameras[0], pair, lenses[0]))
      return result;
    if (const SteloxError result = prepareColourLens(cameras[1], pair, lenses[1])) {
      const SteloxError first = rectifyColourLens(lenses[0]);
      return first != SteloxErrorOk ? first : result;
    }
    return forEachLens(lensesRunTogether(), [&](int lens) {
      if (const SteloxError result = rectifyColourLens(lenses[lens]))
        return result;
      convertToMono(m_rectified[lens].image, m_rectifiedColour[lens].image);
      makeEdgeImage(lens);
      return SteloxErrorOk;
    });
  }
  return forEachLens(lensesRunTogether(), [&](int lens) {
    const SteloxColorImage& image = *images[lens];
    const Image<Pixel8x4> whole(image.rows, image.cols, image.rowIncrement / 4,
                                reinterpret_cast<Pixel8x4*>(image.data));
    m_rawColour[lens] =
        whole.region(m_calibratedRoi.row, m_calibratedRoi.col, m_calibratedRoi.rows, m_calibratedRoi.cols);
    const Image<Pixel8x4> source =
        m_roiOn ? m_rawColour[lens].region(m_roi.row, m_roi.col, m_roi.rows, m_roi.cols) : m_rawColour[lens];
    m_rectifiedColour[lens].image.init(source);
    convertToMono(m_rectified[lens].image, m_rectifiedColour[lens].image);
    makeEdgeImage(lens);
    return SteloxErrorOk;
  });
}

SteloxError SteloxMgr::prepareColourLens(SteloxCamera camera, const SteloxColorStereoPair& pair, int& lens)
{
  SteloxError invalid = validateImage(pair.right, 4);
  if (invalid == SteloxErrorOk)
    invalid = validateImage(pair.left, 4);
  if (pair.right.rows != pair.left.rows || pair.right.cols != pair.left.cols)
    invalid = SteloxErrorStereoInputSizeMismatch;
  if (m_calibratedRoiOn && !fitsInside(m_calibratedRoi, pair.right.rows, pair.right.cols))
    invalid = SteloxErrorCalibratedAreaOutsideInput;
  if (invalid != SteloxErrorOk)
    return invalid;
  const SteloxColorImage* image = nullptr;
  if (camera == SteloxCameraReference || camera == SteloxCameraRight)
    image = &pair.right;
  else if (camera == SteloxCameraLeft)
    image = &pair.left;
  else
    return SteloxErrorInvalidCamera;
  if (image->rowIncrement != 4 * image->cols && image->rowIncrement != 8 * image->cols)
    return SteloxErrorNotSingleOrSideBySide;
  lens = getLensIndex(camera);
  if (lens == InvalidLensIndex || lens >= m_numberOfLenses)
    return SteloxErrorInvalidCamera;
  if (const SteloxError result = takePairGeometry(pair.right.rows, pair.right.cols))
    return result;
  if (const SteloxError result = checkResolutions())
    return result;
  if (const SteloxError result = ensureSize(m_rectifiedColour[lens], currentImageSize()))
    return result;
  determineLowpass();

  const Image<Pixel8x4> whole(image->rows, image->cols, image->rowIncrement / 4,
                              reinterpret_cast<Pixel8x4*>(image->data));
  m_rawColour[lens] =
      whole.region(m_calibratedRoi.row, m_calibratedRoi.col, m_calibratedRoi.rows, m_calibratedRoi.cols);
  return SteloxErrorOk;
}

SteloxError SteloxMgr::rectifyColorImage(SteloxCamera camera, const SteloxColorStereoPair& pair,
                                         SteloxColorImage& out)
{
  int lens = InvalidLensIndex;
  if (const SteloxError result = prepareColourLens(camera, pair, lens))
    return result;
  if (const SteloxError result = rectifyColourLens(lens))
    return result;
  const Image<Pixel8x4>& rectified = m_rectifiedColour[lens].image;
  out.rows = rectified.nRows();
  out.cols = rectified.nCols();
  out.rowIncrement = rowInc(rectified);
  out.data = out.rowIncrement == 0 ? nullptr : reinterpret_cast<SteloxColorPixel*>(rectified.bufferptr());
  return SteloxErrorOk;
}

void SteloxMgr::savePreprocessParameters()
{
  Stelox::PreprocessParameters& record = m_preprocessParameters;
  record.kernelType = static_cast<KernelType>(m_kernelType);
  record.kernelParameter = m_kernelParameter;
  record.edgeCorrelation = m_stereoAlgorithm == SteloxStereoAlgorithmCorrelation && m_edgeCorrelationOn;
  record.edgeMaskSize = m_edgeMaskSize;
  record.lowpass = m_lowpassOn;
}

// For an OpenCV algorithm the record takes that matcher; otherwise it keeps
// whatever matcher it holds.
void SteloxMgr::saveStereoParameters()
{
  Stelox::StereoParameters& record = m_stereoParameters;
  record.cameraConfiguration = m_cameraConfig;
  record.stereoMaskSize = m_stereoMaskSize;
  record.minimumDisparity = m_minDisparity;
  record.maximumDisparity = m_maxDisparity;
  record.textureValidation = m_textureValidOn;
  record.textureThreshold = m_textureThreshold;
  record.textureMapping = m_textureMapping;
  record.backForthValidation = m_backForthValidOn;
  record.backForthMapping = m_backForthMapping;
  record.surfaceValidation = m_surfaceValidOn;
  record.surfaceSize = m_surfaceSize;
  record.surfaceDifference = m_surfaceDifference;
  record.surfaceMapping = m_surfaceMapping;
  record.subpixelMapping = m_subpixelMapping;
  record.stereoAlgorithm = m_stereoAlgorithm;
  selectOpenCVMatcher(record);
}

// Inputs left by a preprocessing of another geometry are refused (28) rather
// than read beyond their edges.
SteloxError SteloxMgr::stereo()
{
  if (!m_doStereoOn)
    return SteloxErrorOk;
  const ImageDim size = currentImageSize();
  const bool useEdges = m_edgeCorrelationOn && m_stereoAlgorithm == SteloxStereoAlgorithmCorrelation;
  for (int lens = 0; lens < kLensCount; ++lens) {
    const Image<unsigned char>& input = useEdges ? m_edge[lens].image : m_rectified[lens].image;
    if (input.nRows() == 0 || input.size() != size)
      return SteloxErrorRectificationNotDone;
  }
  try {
    if (m_disparity.size() != size)
      m_disparity = Image<unsigned short>(size.rows, size.cols);
    if (m_surfaceMap.size() != size)
      m_surfaceMap = Image<unsigned int>(size.rows, size.cols);
  } catch (const std::bad_alloc&) {
    return SteloxErrorBadAlloc;
  }
  m_disparity.init(static_cast<unsigned short>(0xFF00 + m_subpixelMapping));
  saveStereoParameters();
  for (int lens = 0; lens < kLensCount; ++lens)
    m_stereoInput[lens] = useEdges ? m_edge[lens].image : m_rectified[lens].image;
  const SteloxROI region = {0, 0, size.rows, size.cols};
  return m_stereoMgr->process(m_stereoInput, m_disparity, m_surfaceMap, region, m_preprocessParameters,
                             m_stereoParameters);
}
