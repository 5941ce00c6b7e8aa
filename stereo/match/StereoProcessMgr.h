// Stereo engine of one context: cuts the output into one horizontal band per
// worker, matches every band on the worker pool with the correlation core,
// waits for all bands and then runs surface validation as one more task.
//
// process() blocks its caller until every task of the run has finished and
// must not run twice at once on one engine (the per-run state is shared).
#ifndef STELOX_MATCH_STEREOPROCESSMGR_H
#define STELOX_MATCH_STEREOPROCESSMGR_H

#include "image/Image.h"
#include "image/simd/SimdDetector.h"
#include "match/PreprocessParameters.h"
#include "match/StereoParameters.h"
#include "match/StxSegmentContext.h"
#include "match/ThreadPool.h"
#include "stelox.h"

#include <future>
#include <vector>

class StereoProcessMgr {
public:
  StereoProcessMgr();
  ~StereoProcessMgr();
  StereoProcessMgr(const StereoProcessMgr&) = delete;
  StereoProcessMgr& operator=(const StereoProcessMgr&) = delete;

  // images[0] is the reference (right) image, images[1] the second one; the
  // disparity image is aligned with images[0] and already holds the caller's
  // not-computed value; only matched pixels are written. The region is
  // {0, 0, output rows, output columns}.
  SteloxError process(const Image<unsigned char>* images, Image<unsigned short>& disparity,
                      Image<unsigned int>& surfaceMap, const SteloxROI& region,
                      const Stelox::PreprocessParameters& preprocess,
                      const Stelox::StereoParameters& stereo);

  SteloxError SteloxBM(const Image<unsigned char>* images, Image<unsigned short>& disparity,
                       Image<unsigned int>& surfaceMap, const SteloxROI& region,
                       const Stelox::PreprocessParameters& preprocess,
                       const Stelox::StereoParameters& stereo);

  // Runs the record's OpenCV matcher once over the region on the calling
  // thread; the disparity becomes a view of the engine's result image.
  SteloxError OCVStereo(const Image<unsigned char>* images, Image<unsigned short>& disparity,
                        const SteloxROI& region, const Stelox::PreprocessParameters& preprocess,
                        const Stelox::StereoParameters& stereo);

  // One band per worker (at most one per row); the last band takes the rest.
  void determineRois(const SteloxROI& region, std::vector<SteloxROI>& bands) const;

  // Matches the output rows and columns of one band that lie inside the
  // margins of the window and edge masks; 46 when none do. Rows that the band
  // covers beyond its own range (its start raised to the margin) are left to
  // the next band, so no two bands write the same row.
  SteloxError fastStereoROI(const Image<unsigned char>* images, Image<unsigned short> disparity,
                            const SteloxROI& fullRegion, const SteloxROI& band,
                            Stelox::PreprocessParameters preprocess,
                            Stelox::StereoParameters stereo);

  // Re-creates the surface map when its size differs from the disparity
  // image, then marks small surfaces.
  void validateSurfaces(Image<unsigned short>& disparity, Image<unsigned int>& surfaceMap,
                        const Stelox::PreprocessParameters& preprocess,
                        const Stelox::StereoParameters& stereo);

  // 1 (invalid setting) for 0 or more than the hardware threads.
  SteloxError setMaxNumThreads(unsigned n);

  unsigned numThreads() const { return m_numThreads; }
  size_t bandCount() const { return m_bandCount; }
  const std::vector<SteloxError>& bandResults() const { return m_bandResults; }
  cpu_extension_t cpuLevel() const { return m_cpu; }
  // The workers, also lent to the frame path of the contexts sharing this
  // engine (rectification and edge images of both lenses at once).
  ThreadPool& pool() { return m_pool; }

  // Hardware threads of the system (taken when the library is loaded), and
  // the workers a new engine starts with at most. Tests raise the first to
  // run more workers than the machine has.
  static unsigned m_sMaxNumThreads;
  static unsigned m_sDefaultNumThreads;

private:
  unsigned m_numThreads;
  ThreadPool m_pool;
  std::vector<SteloxError> m_bandResults;
  std::vector<std::future<SteloxError>> m_bandFutures;
  size_t m_bandCount = 0;
  StxSegmentContext m_segmentation;
  cpu_extension_t m_cpu;
  // Converted disparities of the last OpenCV run (see StereoProcessMgrOpenCV.cpp).
  Image<unsigned short> m_ocvResult;
};

#endif
