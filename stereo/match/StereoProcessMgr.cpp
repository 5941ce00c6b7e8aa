#include "match/StereoProcessMgr.h"

#include "match/CorrelationCore.h"

#include <algorithm>
#include <array>
#include <exception>
#include <thread>

namespace {

unsigned hardwareThreads() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n;
}

}  // namespace

unsigned StereoProcessMgr::m_sMaxNumThreads = hardwareThreads();
unsigned StereoProcessMgr::m_sDefaultNumThreads = 4;

StereoProcessMgr::StereoProcessMgr()
    : m_numThreads(std::min(m_sMaxNumThreads, m_sDefaultNumThreads)),
      m_pool(m_numThreads),
      m_bandResults(m_numThreads, SteloxErrorOk),
      m_bandFutures(m_numThreads),
      m_cpu(SimdDetector().higher_instruction_set()) {}

StereoProcessMgr::~StereoProcessMgr() = default;

SteloxError StereoProcessMgr::process(const Image<unsigned char>* images,
                                      Image<unsigned short>& disparity,
                                      Image<unsigned int>& surfaceMap, const SteloxROI& region,
                                      const Stelox::PreprocessParameters& preprocess,
                                      const Stelox::StereoParameters& stereo) {
  if (stereo.stereoAlgorithm == 0)
    return SteloxBM(images, disparity, surfaceMap, region, preprocess, stereo);
  if (stereo.stereoAlgorithm >= 1 && stereo.stereoAlgorithm <= 4)
    return OCVStereo(images, disparity, region, preprocess, stereo);
  return SteloxErrorUnsupportedStereoAlgorithm;
}

void StereoProcessMgr::determineRois(const SteloxROI& region,
                                     std::vector<SteloxROI>& bands) const {
  bands.clear();
  const int rows = region.rows;
  if (rows <= 0) return;
  const int count = std::min(rows, static_cast<int>(m_numThreads));
  const int height = std::max(rows / count, 1);
  for (int i = 0; i < count; ++i) {
    SteloxROI band;
    band.row = i * height;
    band.col = region.col;
    band.rows = i == count - 1 ? rows - (count - 1) * height : height;
    band.cols = region.cols;
    bands.push_back(band);
  }
}

SteloxError StereoProcessMgr::SteloxBM(const Image<unsigned char>* images,
                                       Image<unsigned short>& disparity,
                                       Image<unsigned int>& surfaceMap, const SteloxROI& region,
                                       const Stelox::PreprocessParameters& preprocess,
                                       const Stelox::StereoParameters& stereo) {
  std::vector<SteloxROI> bands;
  determineRois(region, bands);
  m_bandCount = bands.size();
  // Views of both images travel with the tasks, so their buffers stay alive.
  const std::array<Image<unsigned char>, 2> pair = {images[0], images[1]};
  for (size_t i = 0; i < bands.size(); ++i) {
    if (stereo.cameraConfiguration > 1) return SteloxErrorInvalidCameraConfiguration;
    const Stelox::StereoParameters stereoCopy = stereo;
    const Stelox::PreprocessParameters preprocessCopy = preprocess;
    const Image<unsigned short> view = disparity;
    const SteloxROI band = bands[i];
    m_bandFutures[i] = m_pool.submit([this, pair, view, region, band, preprocessCopy,
                                      stereoCopy]() -> SteloxError {
      return fastStereoROI(pair.data(), view, region, band, preprocessCopy, stereoCopy);
    });
  }
  // Every band finishes before the first failure is raised, so no task still
  // writes into the disparity image when the caller sees the exception.
  for (size_t i = 0; i < bands.size(); ++i)
    if (m_bandFutures[i].valid()) m_bandFutures[i].wait();
  SteloxError result = SteloxErrorOk;
  std::exception_ptr failure;
  for (size_t i = 0; i < bands.size(); ++i) {
    try {
      m_bandResults[i] = m_bandFutures[i].get();
      if (m_bandResults[i] != SteloxErrorOk) result = m_bandResults[i];
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
  if (result != SteloxErrorOk) return result;

  if (stereo.surfaceValidation) {
    const Stelox::StereoParameters stereoCopy = stereo;
    m_pool.submit([this, &disparity, &surfaceMap, &preprocess, stereoCopy] {
            validateSurfaces(disparity, surfaceMap, preprocess, stereoCopy);
          }).get();
  }
  return SteloxErrorOk;
}

SteloxError StereoProcessMgr::fastStereoROI(const Image<unsigned char>* images,
                                            Image<unsigned short> disparity,
                                            const SteloxROI& fullRegion, const SteloxROI& band,
                                            Stelox::PreprocessParameters preprocess,
                                            Stelox::StereoParameters stereo) {
  const int m = stereo.stereoMaskSize;
  const int e = preprocess.edgeCorrelation ? preprocess.edgeMaskSize : 0;
  const int margin = e / 2 + m / 2;
  const int d0 = stereo.minimumDisparity;
  const int rows = fullRegion.rows, cols = fullRegion.cols;
  // A region outside the images (or a negative first disparity, which would
  // look left of the second image) leaves nothing that can be matched.
  const bool inside = rows <= images[0].nRows() && cols <= images[0].nCols() &&
                      rows <= images[1].nRows() && cols <= images[1].nCols() &&
                      rows <= disparity.nRows() && cols <= disparity.nCols() && m >= 1 &&
                      d0 >= 0;
  const int start = std::max(margin, band.row);
  const int end = std::min(rows - margin, band.rows + start);
  const int cstart = std::max(margin, band.col);
  const int cend = std::min(cols - d0 - margin, band.cols + cstart);
  if (!inside || start >= end || cstart >= cend) return SteloxErrorInvalidStereoRoi;
  // A band whose start was raised to the margin reaches into the next band.
  // The later band writes those rows (same values); writing them here too
  // would race with it, so each band stops where the next one begins.
  const int last = std::min(end, band.row + band.rows);
  if (start >= last) return SteloxErrorOk;

  Image<unsigned short> out = disparity.region(start, cstart, last - start, cend - cstart);
  const Image<unsigned char> reference = images[0].region(
      start - m / 2, cstart - m / 2, (last - start) + m - 1, (cend - cstart) + m - 1);
  const int secondRow = start - m / 2, secondCol = cstart + d0 - m / 2;
  const Image<unsigned char> second =
      images[1].region(secondRow, secondCol, images[1].nRows() - secondRow,
                       std::max(images[1].nCols() - secondCol, 0));
  const unsigned count =
      static_cast<unsigned>(stereo.maximumDisparity - stereo.minimumDisparity + 1);
  twofast_subpix_stereo(out, reference, second, static_cast<unsigned>(d0), count,
                        static_cast<unsigned>(m), m_cpu,
                        stereo.textureValidation ? stereo.textureThreshold : 0.0,
                        stereo.textureMapping, stereo.backForthValidation,
                        stereo.backForthMapping, stereo.subpixelMapping);
  return SteloxErrorOk;
}

void StereoProcessMgr::validateSurfaces(Image<unsigned short>& disparity,
                                        Image<unsigned int>& surfaceMap,
                                        const Stelox::PreprocessParameters& preprocess,
                                        const Stelox::StereoParameters& stereo) {
  if (surfaceMap.nRows() != disparity.nRows() || surfaceMap.nCols() != disparity.nCols())
    surfaceMap = Image<unsigned int>(disparity.nRows(), disparity.nCols());
  const unsigned short code = static_cast<unsigned short>(stereo.surfaceMapping - 256);
  const unsigned border =
      static_cast<unsigned>(stereo.stereoMaskSize / 2 + preprocess.edgeMaskSize / 2);
  // Banded like the matching, one band per worker (labels are numbered per
  // band; the marked pixels are those of a one-band run).
  m_segmentation.SegmentIntoRegions(disparity, surfaceMap, stereo.surfaceDifference,
                                    static_cast<unsigned>(std::max(stereo.surfaceSize, 0)), code,
                                    border, m_pool, m_numThreads);
}

SteloxError StereoProcessMgr::setMaxNumThreads(unsigned n) {
  if (n == 0 || n > m_sMaxNumThreads) return SteloxErrorInvalidSetting;
  m_pool.resize(n);
  m_numThreads = m_pool.size();
  m_bandFutures.resize(m_numThreads);
  m_bandResults.resize(m_numThreads, SteloxErrorOk);
  return SteloxErrorOk;
}
