// The OpenCV matchers of a stereo context and their settings.
#include "context/SteloxMgr.h"

#include <opencv2/calib3d.hpp>

#include <algorithm>
#include <climits>
#include <iostream>

namespace {

// Warnings are single lines, flushed at once so that they interleave
// correctly with the caller's own output.
void warn(const char* text) { std::cerr << text << std::endl; }

const char* const kMaskWarning =
    "OpenCV masks should be odd values in the range 5..255 and smaller than the picture!";
const char* const kRangeMultipleWarning =
    "[Stelox - Warning] OpenCV accepts only disparity ranges that are multiple of 16!";

bool isPositiveMultipleOf16(int count) { return count >= 16 && count % 16 == 0; }

// The minimum takes any value, so minimum + count may lie beyond an int.
int saturatedSum(int a, int b)
{
  const long long sum = static_cast<long long>(a) + b;
  return static_cast<int>(std::min<long long>(std::max<long long>(sum, INT_MIN), INT_MAX));
}

}  // namespace

// The number of disparities covers the context's range, rounded up to the
// multiple of 16 that OpenCV requires.
void SteloxMgr::OpenCVInit()
{
  const int range = m_maxDisparity - m_minDisparity;
  const int count = range <= 16 ? 16 : (range + 15) / 16 * 16;
  const int mask = m_stereoMaskSize;
  const int speckleRange = static_cast<int>(m_surfaceDifference + 0.5);

  const cv::Ptr<cv::StereoBM> blockMatcher = cv::StereoBM::create(count, mask);
  blockMatcher->setMinDisparity(1);
  blockMatcher->setTextureThreshold(static_cast<int>(16.0 * m_textureThreshold));
  blockMatcher->setPreFilterCap(31);
  blockMatcher->setPreFilterSize(m_edgeMaskSize);
  blockMatcher->setUniquenessRatio(10);
  blockMatcher->setSpeckleWindowSize(m_surfaceSize);
  blockMatcher->setSpeckleRange(speckleRange);
  blockMatcher->setDisp12MaxDiff(1);
  m_blockMatcher = blockMatcher;

  m_semiGlobalMatcher = cv::StereoSGBM::create(1, count, mask, 8 * mask * mask, 32 * mask * mask, 1, 31, 10,
                                               m_surfaceSize, speckleRange, cv::StereoSGBM::MODE_SGBM);
}

void SteloxMgr::copyOpenCVMatchers(const SteloxMgr& other)
{
  const cv::StereoBM& bm = *other.m_blockMatcher;
  const cv::Ptr<cv::StereoBM> blockMatcher = cv::StereoBM::create(bm.getNumDisparities(), bm.getBlockSize());
  blockMatcher->setMinDisparity(bm.getMinDisparity());
  blockMatcher->setTextureThreshold(bm.getTextureThreshold());
  blockMatcher->setPreFilterType(bm.getPreFilterType());
  blockMatcher->setPreFilterCap(bm.getPreFilterCap());
  blockMatcher->setPreFilterSize(bm.getPreFilterSize());
  blockMatcher->setUniquenessRatio(bm.getUniquenessRatio());
  blockMatcher->setSpeckleWindowSize(bm.getSpeckleWindowSize());
  blockMatcher->setSpeckleRange(bm.getSpeckleRange());
  blockMatcher->setDisp12MaxDiff(bm.getDisp12MaxDiff());
  m_blockMatcher = blockMatcher;

  const cv::StereoSGBM& sgbm = *other.m_semiGlobalMatcher;
  m_semiGlobalMatcher = cv::StereoSGBM::create(
      sgbm.getMinDisparity(), sgbm.getNumDisparities(), sgbm.getBlockSize(), sgbm.getP1(), sgbm.getP2(),
      sgbm.getDisp12MaxDiff(), sgbm.getPreFilterCap(), sgbm.getUniquenessRatio(), sgbm.getSpeckleWindowSize(),
      sgbm.getSpeckleRange(), sgbm.getMode());
}

void SteloxMgr::selectOpenCVMatcher(Stelox::StereoParameters& record) const
{
  switch (m_stereoAlgorithm) {
  case SteloxStereoAlgorithmBlockMatchingMirrored:
  case SteloxStereoAlgorithmBlockMatching:
    record.matcher = m_blockMatcher;
    break;
  case SteloxStereoAlgorithmSemiGlobalMirrored:
  case SteloxStereoAlgorithmSemiGlobal:
    record.matcher = m_semiGlobalMatcher;
    break;
  default:
    break;
  }
}

// The mask must fit the output image; a fresh context has no output yet and
// refuses every size.
bool SteloxMgr::acceptsOpenCVMask(int size) const
{
  return size >= 5 && size <= 255 && size % 2 == 1 && size < m_outputRows && size < m_outputCols;
}

SteloxError SteloxMgr::setOpenCVStereoMaskSize(int size)
{
  if (!acceptsOpenCVMask(size)) {
    warn(kMaskWarning);
    return SteloxErrorInvalidSetting;
  }
  m_blockMatcher->setBlockSize(size);
  m_semiGlobalMatcher->setBlockSize(size);
  return SteloxErrorOk;
}

int SteloxMgr::getOpenCVStereoMaskSize() const { return m_blockMatcher->getBlockSize(); }

// OpenCV takes any minimum today; should a version refuse one, its message is
// reported on the standard output.
SteloxError SteloxMgr::setOpenCVMinDisparity(int minimum)
{
  try {
    m_blockMatcher->setMinDisparity(minimum);
    m_semiGlobalMatcher->setMinDisparity(minimum);
  } catch (const cv::Exception& exception) {
    std::cout << "OCV exception caught while trying to set minimum disparity: " << exception.what() << std::endl;
    return SteloxErrorUnknown;
  }
  return SteloxErrorOk;
}

int SteloxMgr::getOpenCVMinDisparity() const { return m_blockMatcher->getMinDisparity(); }

SteloxError SteloxMgr::setOpenCVNumDisparities(int count)
{
  if (!isPositiveMultipleOf16(count)) {
    warn("[Stelox - Warning] OpenCV accepts only disparity ranges that are positive multiples of 16!");
    return SteloxErrorInvalidSetting;
  }
  m_blockMatcher->setNumDisparities(count);
  m_semiGlobalMatcher->setNumDisparities(count);
  return SteloxErrorOk;
}

int SteloxMgr::getOpenCVNumDisparities() const { return m_blockMatcher->getNumDisparities(); }

// The difference is taken in 64 bits so that extreme arguments cannot wrap
// into an accepted range.
SteloxError SteloxMgr::setOpenCVMaxDisparity(int maximum)
{
  const int minimum = getOpenCVMinDisparity();
  const long long range = static_cast<long long>(maximum) - minimum;
  if (range <= 0) {
    warn("[Stelox - Warning] Provided a max dispatiy smaller than the current minimum!");
    return SteloxErrorInvalidRequest;
  }
  if (range % 16 != 0 || range > INT_MAX) {
    warn(kRangeMultipleWarning);
    std::cerr << "\tCurrent minimum: " << minimum << "; Provided Maximum disparity: " << maximum
              << "; Disparity Range: " << range << std::endl;
    return SteloxErrorInvalidSetting;
  }
  return setOpenCVNumDisparities(static_cast<int>(range));
}

int SteloxMgr::getOpenCVMaxDisparity() const
{
  return saturatedSum(getOpenCVMinDisparity(), getOpenCVNumDisparities());
}

SteloxError SteloxMgr::setOpenCVMinMaxDisparities(int minimum, int maximum)
{
  const long long range = static_cast<long long>(maximum) - minimum;
  if (range <= 0) {
    warn("[Stelox - Warning] Provided a max dispatiy smaller than min disparity!");
    return SteloxErrorInvalidRequest;
  }
  if (range % 16 != 0 || range > INT_MAX) {
    warn(kRangeMultipleWarning);
    std::cerr << "\tDisparity Range: " << range << std::endl;
    return SteloxErrorInvalidSetting;
  }
  return setOpenCVDisparityRange(minimum, static_cast<int>(range));
}

void SteloxMgr::getOpenCVMinMaxDisparities(int& minimum, int& maximum) const
{
  minimum = getOpenCVMinDisparity();
  maximum = saturatedSum(minimum, getOpenCVNumDisparities());
}

// The count is checked before the minimum is set, so a refused count leaves
// both as they were.
SteloxError SteloxMgr::setOpenCVDisparityRange(int minimum, int count)
{
  if (!isPositiveMultipleOf16(count))
    return setOpenCVNumDisparities(count);
  if (const SteloxError result = setOpenCVMinDisparity(minimum))
    return result;
  return setOpenCVNumDisparities(count);
}

void SteloxMgr::getOpenCVDisparityRange(int& minimum, int& count) const
{
  minimum = getOpenCVMinDisparity();
  count = getOpenCVNumDisparities();
}

SteloxError SteloxMgr::setOpenCVSpeckleWindowSize(int size)
{
  m_blockMatcher->setSpeckleWindowSize(size);
  m_semiGlobalMatcher->setSpeckleWindowSize(size);
  return SteloxErrorOk;
}

int SteloxMgr::getOpenCVSpeckleWindowSize() const { return m_blockMatcher->getSpeckleWindowSize(); }

SteloxError SteloxMgr::setOpenCVSpeckleRange(int range)
{
  m_blockMatcher->setSpeckleRange(range);
  m_semiGlobalMatcher->setSpeckleRange(range);
  return SteloxErrorOk;
}

int SteloxMgr::getOpenCVSpeckleRange() const { return m_blockMatcher->getSpeckleRange(); }

SteloxError SteloxMgr::setOpenCVDisp12MaxDiff(int difference)
{
  m_blockMatcher->setDisp12MaxDiff(difference);
  m_semiGlobalMatcher->setDisp12MaxDiff(difference);
  return SteloxErrorOk;
}

int SteloxMgr::getOpenCVDisp12MaxDiff() const { return m_blockMatcher->getDisp12MaxDiff(); }

SteloxError SteloxMgr::setOpenCVBMPreFilterType(int type)
{
  if (type < 0)
    return SteloxErrorOk;
  if (type > 1) {
    warn("[Stelox - Warning] OCV only accepts either XSOBEL or NORMALIZED_RESPONSE prefilters!");
    return SteloxErrorInvalidRequest;
  }
  m_blockMatcher->setPreFilterType(type == 0 ? cv::StereoBM::PREFILTER_XSOBEL
                                             : cv::StereoBM::PREFILTER_NORMALIZED_RESPONSE);
  return SteloxErrorOk;
}

int SteloxMgr::getOpenCVBMPreFilterType() const
{
  switch (m_blockMatcher->getPreFilterType()) {
  case cv::StereoBM::PREFILTER_XSOBEL:
    return 0;
  case cv::StereoBM::PREFILTER_NORMALIZED_RESPONSE:
    return 1;
  default:
    warn("[Stelox - Warning] OpenCV might have implemented a new version of the library, returning a new "
         "prefilter!");
    return 2;
  }
}

SteloxError SteloxMgr::setOpenCVBMPreFilterSize(int size)
{
  if (!acceptsOpenCVMask(size)) {
    warn(kMaskWarning);
    return SteloxErrorInvalidSetting;
  }
  m_blockMatcher->setPreFilterSize(size);
  return SteloxErrorOk;
}

int SteloxMgr::getOpenCVBMPreFilterSize() const { return m_blockMatcher->getPreFilterSize(); }

SteloxError SteloxMgr::setOpenCVPreFilterCap(int cap)
{
  if (cap < 1 || cap > 63) {
    warn("[Stelox - Warning] Prefiltercap must be in the range 1..63!");
    return SteloxErrorInvalidSetting;
  }
  m_blockMatcher->setPreFilterCap(cap);
  m_semiGlobalMatcher->setPreFilterCap(cap);
  return SteloxErrorOk;
}

int SteloxMgr::getOpenCVPreFilterCap() const { return m_blockMatcher->getPreFilterCap(); }

SteloxError SteloxMgr::setOpenCVBMTextureThreshold(int threshold)
{
  if (threshold < 0) {
    warn("[Stelox - Warning] Texture must be a non-negative value!");
    return SteloxErrorInvalidSetting;
  }
  m_blockMatcher->setTextureThreshold(threshold);
  return SteloxErrorOk;
}

int SteloxMgr::getOpenCVBMTextureThreshold() const { return m_blockMatcher->getTextureThreshold(); }

SteloxError SteloxMgr::setOpenCVUniquenessRatio(int ratio)
{
  if (ratio < 0) {
    warn("[Stelox - Warning] Uniqueness ration must be a povitive integer!");
    return SteloxErrorInvalidSetting;
  }
  m_blockMatcher->setUniquenessRatio(ratio);
  m_semiGlobalMatcher->setUniquenessRatio(ratio);
  return SteloxErrorOk;
}

int SteloxMgr::getOpenCVUniquenessRatio() const { return m_blockMatcher->getUniquenessRatio(); }

// OpenCV itself raises P2 to P1 + 1 when it computes; the value is stored as
// given.
SteloxError SteloxMgr::setOpenCVSGBMP1(int p1)
{
  if (p1 >= m_semiGlobalMatcher->getP2())
    warn("[Stelox - Warning] Setting a P1 greater or equal than P2 will result in P2 equal to P1+1 during "
         "stereo computation.");
  m_semiGlobalMatcher->setP1(p1);
  return SteloxErrorOk;
}

int SteloxMgr::getOpenCVSGBMP1() const { return m_semiGlobalMatcher->getP1(); }

SteloxError SteloxMgr::setOpenCVSGBMP2(int p2)
{
  if (m_semiGlobalMatcher->getP1() >= p2)
    warn("[Stelox - Warning] Setting a P2 smaller or equal than P1 will result in P2 equal to P1+1 during "
         "stereo computation.");
  m_semiGlobalMatcher->setP2(p2);
  return SteloxErrorOk;
}

int SteloxMgr::getOpenCVSGBMP2() const { return m_semiGlobalMatcher->getP2(); }

// The three modes are numbered as OpenCV numbers them.
SteloxError SteloxMgr::setOpenCVSGBMMode(int mode)
{
  if (mode < 0)
    return SteloxErrorOk;
  if (mode > 2) {
    warn("[Stelox - Warning] OCV only accepts Standard SGBM, Double-pass SGBM (i.e. HH) and Three-way SGBM "
         "modes!");
    return SteloxErrorInvalidRequest;
  }
  m_semiGlobalMatcher->setMode(mode);
  return SteloxErrorOk;
}

int SteloxMgr::getOpenCVSGBMMode() const
{
  const int mode = m_semiGlobalMatcher->getMode();
  switch (mode) {
  case cv::StereoSGBM::MODE_SGBM:
  case cv::StereoSGBM::MODE_HH:
  case cv::StereoSGBM::MODE_SGBM_3WAY:
    return mode;
  default:
    warn("[Stelox - Warning] OCV might have implemented a yet-non-supported mode.");
    return 3;
  }
}
