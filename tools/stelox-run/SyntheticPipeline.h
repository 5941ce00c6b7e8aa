// One synthetic frame through the whole library: a rig is calibrated and
// rendered, the calibration text is loaded as a context, the raw pair is
// rectified and matched through the C interface only, and the disparities
// are scored against the renderer's ground truth. Shared by stelox-run and
// the end-to-end tests.
#ifndef STELOX_TOOLS_STELOXRUN_SYNTHETICPIPELINE_H
#define STELOX_TOOLS_STELOXRUN_SYNTHETICPIPELINE_H

#include "CalibrationWriter.h"
#include "RigModel.h"
#include "StereoRenderer.h"
#include "SyntheticScene.h"
#include "stelox.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace SteloxRun {

struct RigCase {
  std::string name = "default";
  int rows = 480;            // raw (source) size
  int cols = 640;
  double baseline = 0.12;    // metres; above 0.195 is a wide configuration
  bool distortion = false;   // lens distortion and small lens rotations
  int outputDivisor = 1;     // output = source / divisor
  bool colour = false;
  int disparities = 64;
  double sceneMaxDisparity = 48.0;  // nearest object, in source pixels
  std::uint64_t seed = 7;
};

struct StageTimes {
  double calibrate = 0.0;  // fitting and writing the calibration (ms)
  double load = 0.0;
  double rectify = 0.0;    // first frame, tables included
  double rectifyAgain = 0.0;
  double stereo = 0.0;     // first frame, buffers and workers started
  double stereoAgain = 0.0;
};

// Ground-truth comparison over the pixels the matcher can see: inside its
// margins, seen by both lenses, away from depth edges and textured.
struct Score {
  long textured = 0;          // pixels scored
  long valid = 0;             // of those, with a valid disparity
  long withinHalfPixel = 0;   // of the valid ones, |error| <= 0.5
  double sumAbsError = 0.0;   // over the valid ones
  double density() const { return textured ? static_cast<double>(valid) / textured : 0.0; }
  double accuracy() const { return valid ? static_cast<double>(withinHalfPixel) / valid : 0.0; }
  double meanAbsError() const { return valid ? sumAbsError / valid : 0.0; }
};

// A grey image copied out of the library.
struct GreyImage {
  int rows = 0;
  int cols = 0;
  std::vector<unsigned char> pixels;
};

struct RunResult {
  SteloxError error = SteloxErrorOk;
  std::string failedCall;
  int outRows = 0;
  int outCols = 0;
  StageTimes times;
  Score score;
  GreyImage rectified[2];  // right, left
  GreyImage edge[2];
  std::vector<unsigned short> disparity;  // output rows x cols, packed
  // Median of |z - true depth| / true depth over the valid points of the
  // extracted 3D image, and how many points it covers.
  double medianDepthError = 0.0;
  long depthPoints = 0;
};

inline SteloxRig::RigModel makeRig(const RigCase& rigCase)
{
  SteloxRig::IdealRigParameters parameters;
  parameters.rows = rigCase.rows;
  parameters.cols = rigCase.cols;
  parameters.focalLength = 500.0 * rigCase.cols / 640.0;
  parameters.baseline = rigCase.baseline;
  if (rigCase.distortion) {
    parameters.distortion[0] = {-0.10, 0.02, 0.0004, -0.0003, 0.0};
    parameters.distortion[1] = {-0.08, 0.015, -0.0002, 0.0005, 0.0};
    parameters.rotation[0] = cv::Vec3d(0.004, -0.006, 0.002);
    parameters.rotation[1] = cv::Vec3d(-0.003, 0.005, -0.004);
  }
  return SteloxRig::RigModel::ideal(parameters);
}

namespace detail {

inline double millisecondsSince(std::chrono::steady_clock::time_point start)
{
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

inline GreyImage copyImage(const SteloxImage& image)
{
  GreyImage copy;
  copy.rows = image.rows;
  copy.cols = image.cols;
  if (image.data == nullptr)
    return copy;
  copy.pixels.resize(static_cast<std::size_t>(image.rows) * image.cols);
  for (int r = 0; r < image.rows; ++r)
    for (int c = 0; c < image.cols; ++c)
      copy.pixels[static_cast<std::size_t>(r) * image.cols + c] = image.data[static_cast<std::size_t>(r) * image.rowIncrement + c];
  return copy;
}

// Standard deviation of the ideal rectified image over a square window.
inline double localDeviation(const Image<unsigned char>& image, int row, int col, int half)
{
  double sum = 0.0, sumSquares = 0.0;
  int count = 0;
  for (int r = row - half; r <= row + half; ++r)
    for (int c = col - half; c <= col + half; ++c) {
      const double value = image[r][c];
      sum += value;
      sumSquares += value * value;
      ++count;
    }
  const double mean = sum / count;
  return std::sqrt(std::max(0.0, sumSquares / count - mean * mean));
}

}  // namespace detail

// Scores an output disparity image (rows x cols of the source / divisor)
// against the full-resolution ground truth of the rendering.
inline Score scoreDisparity(const SteloxRig::StereoRendering& rendering, const std::vector<unsigned short>& disparity,
                            int outRows, int outCols, int divisor, int margin, int minimumDisparity)
{
  Score score;
  const Image<unsigned char> edges = SteloxRig::StereoRenderer::depthEdges(rendering.disparity, 4 * divisor);
  const Image<unsigned char>& ideal = rendering.rectifiedGrey[0];
  const int half = 3 * divisor;
  const int sourceRows = rendering.disparity.nRows();
  const int sourceCols = rendering.disparity.nCols();
  for (int r = margin; r < outRows - margin; ++r) {
    for (int c = margin; c < outCols - margin - minimumDisparity; ++c) {
      bool usable = true;
      double truth = 0.0;
      for (int dr = 0; dr < divisor && usable; ++dr)
        for (int dc = 0; dc < divisor && usable; ++dc) {
          const int sr = r * divisor + dr;
          const int sc = c * divisor + dc;
          usable = sr >= half && sc >= half && sr < sourceRows - half && sc < sourceCols - half &&
                   rendering.visible[sr][sc] == 255 && edges[sr][sc] == 0;
          truth += rendering.disparity[sr][sc];
        }
      if (!usable)
        continue;
      truth /= 16.0 * divisor * divisor * divisor;
      if (c + truth + margin >= outCols)
        continue;
      if (detail::localDeviation(ideal, r * divisor + divisor / 2, c * divisor + divisor / 2, half) < 4.0)
        continue;
      ++score.textured;
      const unsigned short value = disparity[static_cast<std::size_t>(r) * outCols + c];
      if (value >= 0xFF00)
        continue;
      ++score.valid;
      const double error = std::fabs(value / 16.0 - truth);
      score.sumAbsError += error;
      if (error <= 0.5)
        ++score.withinHalfPixel;
    }
  }
  return score;
}

// Renders, calibrates and runs one frame through the C interface. The
// rendering is returned for further use when asked for.
inline RunResult runSyntheticPipeline(const RigCase& rigCase, SteloxRig::StereoRendering* renderingOut = nullptr)
{
  using Clock = std::chrono::steady_clock;
  RunResult result;
  const SteloxRig::RigModel rig = makeRig(rigCase);

  auto start = Clock::now();
  SteloxRig::CalibrationWriter writer;
  writer.addConfiguration(rig);
  const std::string calibration = writer.text();
  result.times.calibrate = detail::millisecondsSince(start);

  const SteloxRig::SyntheticScene scene =
      SteloxRig::SyntheticScene::forRig(rig, rigCase.seed, rigCase.sceneMaxDisparity);
  SteloxRig::RenderOptions options;
  const SteloxRig::StereoRendering rendering = SteloxRig::StereoRenderer(rig, scene).render(options);

  const auto fail = [&result](SteloxError error, const char* call) {
    result.error = error;
    result.failedCall = call;
    return error != SteloxErrorOk;
  };
  struct ContextOwner {
    SteloxContext context = nullptr;
    ~ContextOwner() { steloxDestroyContext(context); }
  } owner;

  start = Clock::now();
  if (fail(steloxGetDefaultContextFromMemory(&owner.context, calibration.c_str()), "steloxGetDefaultContextFromMemory"))
    return result;
  result.times.load = detail::millisecondsSince(start);
  SteloxContext context = owner.context;
  result.outRows = rigCase.rows / rigCase.outputDivisor;
  result.outCols = rigCase.cols / rigCase.outputDivisor;
  if (fail(steloxSetResolution(context, result.outRows, result.outCols), "steloxSetResolution") ||
      fail(steloxSetDisparity(context, 0, rigCase.disparities), "steloxSetDisparity"))
    return result;

  SteloxMonoStereoPair monoPair{};
  SteloxColorStereoPair colourPair{};
  const auto rectify = [&]() {
    return rigCase.colour ? steloxColorRectify(context, &colourPair) : steloxRectify(context, &monoPair);
  };
  if (rigCase.colour) {
    const auto record = [](const Image<Pixel8x4>& image) {
      return SteloxColorImage{image.nRows(), image.nCols(), rowInc(image),
                              reinterpret_cast<SteloxColorPixel*>(image.bufferptr())};
    };
    const SteloxColorImage right = record(rendering.rawColour[0]);
    const SteloxColorImage left = record(rendering.rawColour[1]);
    if (fail(steloxBuildColorStereoPairFromBuffers(&right, &left, &colourPair), "steloxBuildColorStereoPairFromBuffers"))
      return result;
  } else {
    const auto record = [](const Image<unsigned char>& image) {
      return SteloxImage{image.nRows(), image.nCols(), rowInc(image), image.bufferptr()};
    };
    const SteloxImage right = record(rendering.rawGrey[0]);
    const SteloxImage left = record(rendering.rawGrey[1]);
    if (fail(steloxBuildMonoStereoPairFromBuffers(&right, &left, &monoPair), "steloxBuildMonoStereoPairFromBuffers"))
      return result;
  }

  start = Clock::now();
  if (fail(rectify(), rigCase.colour ? "steloxColorRectify" : "steloxRectify"))
    return result;
  result.times.rectify = detail::millisecondsSince(start);
  start = Clock::now();
  if (fail(rectify(), rigCase.colour ? "steloxColorRectify" : "steloxRectify"))
    return result;
  result.times.rectifyAgain = detail::millisecondsSince(start);
  start = Clock::now();
  if (fail(steloxStereo(context), "steloxStereo"))
    return result;
  result.times.stereo = detail::millisecondsSince(start);
  start = Clock::now();
  if (fail(steloxStereo(context), "steloxStereo"))
    return result;
  result.times.stereoAgain = detail::millisecondsSince(start);

  const SteloxCamera cameras[2] = {SteloxCameraRight, SteloxCameraLeft};
  for (int lens = 0; lens < 2; ++lens) {
    SteloxImage image;
    if (fail(steloxGetImage(context, SteloxImageTypeRectified, cameras[lens], &image), "steloxGetImage"))
      return result;
    result.rectified[lens] = detail::copyImage(image);
    if (fail(steloxGetImage(context, SteloxImageTypeEdge, cameras[lens], &image), "steloxGetImage"))
      return result;
    result.edge[lens] = detail::copyImage(image);
  }
  SteloxImage16 disparity;
  if (fail(steloxGetImage16(context, SteloxImage16TypeDisparity, SteloxCameraReference, &disparity),
           "steloxGetImage16"))
    return result;
  result.disparity.resize(static_cast<std::size_t>(disparity.rows) * disparity.cols);
  for (int r = 0; r < disparity.rows; ++r)
    for (int c = 0; c < disparity.cols; ++c)
      result.disparity[static_cast<std::size_t>(r) * disparity.cols + c] =
          disparity.data[static_cast<std::size_t>(r) * (disparity.rowIncrement / 2) + c];

  int edgeMask = 0, stereoMask = 0;
  steloxGetEdgeMask(context, &edgeMask);
  steloxGetStereoMask(context, &stereoMask);
  result.score = scoreDisparity(rendering, result.disparity, result.outRows, result.outCols, rigCase.outputDivisor,
                                edgeMask / 2 + stereoMask / 2, 0);
  // The 3D image covers the rectified image, which is the output here (the
  // rig's calibration has the output's aspect); its pixel centres sit at
  // divisor x position + (divisor - 1) / 2 in the rig's rectified camera.
  SteloxImage3d* points = nullptr;
  if (fail(steloxCreateImage3d(context, &points), "steloxCreateImage3d"))
    return result;
  const std::unique_ptr<SteloxImage3d*, SteloxError (*)(SteloxImage3d**)> pointsOwner(&points, steloxDestroyImage3d);
  if (fail(steloxExtractImage3d(context, points), "steloxExtractImage3d"))
    return result;
  std::vector<double> depthErrors;
  const double offset = (rigCase.outputDivisor - 1) / 2.0;
  for (int r = 0; r < points->rows; ++r)
    for (int c = 0; c < points->cols; ++c) {
      const SteloxPoint3d& point = points->points[static_cast<std::size_t>(r) * points->cols + c];
      SteloxRig::SceneHit hit;
      if (point.z > 0.0f && scene.intersect(cv::Vec3d(0, 0, 0),
                                            rig.rectifiedRay(r * rigCase.outputDivisor + offset,
                                                             c * rigCase.outputDivisor + offset),
                                            hit))
        depthErrors.push_back(std::fabs(point.z - hit.depth) / hit.depth);
    }
  result.depthPoints = static_cast<long>(depthErrors.size());
  if (!depthErrors.empty()) {
    std::nth_element(depthErrors.begin(), depthErrors.begin() + depthErrors.size() / 2, depthErrors.end());
    result.medianDepthError = depthErrors[depthErrors.size() / 2];
  }
  if (renderingOut)
    *renderingOut = rendering;
  return result;
}

}  // namespace SteloxRun

#endif
