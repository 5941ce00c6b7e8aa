// The OpenCV path of the stereo engine: the block matcher and the
// semi-global matcher run once over the whole region on the calling thread.
//
// The result lives in an image of the engine, reused while the size stays
// and replaced when it changes. The context's disparity image becomes a view
// of it; views count their buffer's references, so a context (or a copy that
// shares this engine) keeps the pixels of its last OpenCV run even after a
// run of another size has replaced the engine's image. A copy that shares the
// engine sees the results of a later run of the same size, as it does with
// the built-in matcher.
#include "match/StereoProcessMgr.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>

#include <algorithm>

namespace {

cv::Mat wrap(const Image<unsigned char>& image)
{
  return cv::Mat(image.nRows(), image.nCols(), CV_8UC1, image.bufferptr(),
                 static_cast<std::size_t>(image.nRowInc()));
}

bool mirrored(int algorithm)
{
  return algorithm == SteloxStereoAlgorithmBlockMatchingMirrored ||
         algorithm == SteloxStereoAlgorithmSemiGlobalMirrored;
}

}  // namespace

// Algorithms 2 and 4 match the left image (images[1]) against the right one,
// which gives a map aligned with the left image. Algorithms 1 and 3 mirror
// both images, so that the mirrored right image plays the left one's part,
// and mirror the map back: it is then aligned with the right image.
//
// OpenCV marks invalid pixels with (minimum disparity - 1) x 16, which is
// negative only for a minimum below 1; every value below minimum x 16 is
// therefore written as 0, so that no invalid pixel reads as a disparity.
SteloxError StereoProcessMgr::OCVStereo(const Image<unsigned char>* images, Image<unsigned short>& disparity,
                                        const SteloxROI& region, const Stelox::PreprocessParameters&,
                                        const Stelox::StereoParameters& stereo)
{
  const int algorithm = stereo.stereoAlgorithm;
  if (algorithm < SteloxStereoAlgorithmBlockMatchingMirrored || algorithm > SteloxStereoAlgorithmSemiGlobal)
    return SteloxErrorUnsupportedStereoAlgorithm;
  if (!stereo.matcher)
    return SteloxErrorInvalidInternalSetting;

  cv::Mat computed;
  long long lowestValid = 0;
  try {
    const cv::Rect window(region.col, region.row, region.cols, region.rows);
    const cv::Mat reference = wrap(images[0])(window);
    const cv::Mat second = wrap(images[1])(window);
    if (mirrored(algorithm)) {
      cv::Mat left, right, flipped;
      cv::flip(reference, left, 1);
      cv::flip(second, right, 1);
      stereo.matcher->compute(left, right, flipped);
      cv::flip(flipped, computed, 1);
    } else {
      stereo.matcher->compute(second, reference, computed);
    }
    if (computed.type() != CV_16SC1 || computed.rows != region.rows || computed.cols != region.cols)
      return SteloxErrorUnknown;
    lowestValid = std::max(0LL, 16LL * stereo.matcher->getMinDisparity());
  } catch (const cv::Exception&) {
    return SteloxErrorUnknown;
  }

  if (m_ocvResult.nRows() != region.rows || m_ocvResult.nCols() != region.cols)
    m_ocvResult = Image<unsigned short>(region.rows, region.cols);
  for (int r = 0; r < region.rows; ++r) {
    const short* in = computed.ptr<short>(r);
    unsigned short* out = m_ocvResult[r].data();
    for (int c = 0; c < region.cols; ++c)
      out[c] = in[c] >= lowestValid ? static_cast<unsigned short>(in[c]) : 0;
  }
  disparity = m_ocvResult;
  return SteloxErrorOk;
}
