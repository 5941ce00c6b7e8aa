#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include <opencv2/calib3d.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "CalibrationWriter.h"
#include "ChessboardCalibration.h"
#include "StereoRenderer.h"
#include "calibration/ConfigFile.h"
#include "calibration/ConfigSection.h"
#include "rectify/Rectifier.h"
#include "rectify/SteloxRectifyMgr.h"

using namespace SteloxRig;

namespace {

// The two rectifiers (index 0 right, 1 left) of the single configuration of a
// calibration text, from the library's rectification manager.
std::vector<std::shared_ptr<Rectifier>> loadRectifiers(const std::string& text) {
  ConfigFile file;
  EXPECT_EQ(file.loadBuffer(text.c_str()), ParseErrorOk);
  const SteloxRectifyMgr manager(*file.getConfigSection(0));
  EXPECT_EQ(manager.getCreationResult(), RectifyErrorOk);
  std::vector<std::shared_ptr<Rectifier>> rectifiers;
  for (int lens = 0; lens < 2; ++lens) {
    rectifiers.push_back(manager.getRectifier(lens));
    EXPECT_TRUE(rectifiers.back());
    if (rectifiers.back()) {
      EXPECT_EQ(rectifiers.back()->getConstructionResult(), RectifyErrorOk);
    }
  }
  return rectifiers;
}

cv::Mat rectifyWithLibrary(Rectifier& rectifier, const cv::Mat& raw) {
  cv::Mat out(raw.rows, raw.cols, CV_8U);
  EXPECT_EQ(rectifier.rectify(out.cols, out.rows, out.data, raw.cols, raw.rows, static_cast<int>(raw.step), raw.data, 0,
                              0, raw.rows, raw.cols, 0, 0, KernelTypeBilinear, 5),
            RectifyErrorOk);
  return out;
}

cv::Mat asMat(const Image<unsigned char>& image) {
  return cv::Mat(image.nRows(), image.nCols(), CV_8U, image.bufferptr(), static_cast<size_t>(image.nRowInc()));
}

RigModel distortedRig() {
  IdealRigParameters parameters;
  parameters.baseline = 0.1;
  parameters.distortion[0] = {-0.24, 0.07, 0.0015, -0.001, -0.005};
  parameters.distortion[1] = {-0.2, 0.04, -0.001, 0.0012, 0.0};
  parameters.rotation[0] = cv::Vec3d(0.012, -0.02, 0.006);
  parameters.rotation[1] = cv::Vec3d(-0.008, 0.018, -0.005);
  return RigModel::ideal(parameters);
}

struct EpipolarError {
  double mean = 0.0;
  double max = 0.0;
  int corners = 0;
  int pairs = 0;
};

// Row differences of matching chessboard corners in rectified pairs.
EpipolarError epipolarError(const std::vector<std::pair<cv::Mat, cv::Mat>>& rectifiedPairs, cv::Size board) {
  EpipolarError e;
  double sum = 0.0;
  for (const auto& [left, right] : rectifiedPairs) {
    std::vector<cv::Point2f> l, r;
    if (!ChessboardCalibration::findCorners(left, board, l) || !ChessboardCalibration::findCorners(right, board, r))
      continue;
    // The detector may number the corners from the other end in one image.
    if (std::abs(l.front().y - r.front().y) > std::abs(l.front().y - r.back().y)) std::reverse(r.begin(), r.end());
    for (std::size_t i = 0; i < l.size(); ++i) {
      const double d = std::abs(l[i].y - r[i].y);
      sum += d;
      e.max = std::max(e.max, d);
      ++e.corners;
    }
    ++e.pairs;
  }
  e.mean = e.corners ? sum / e.corners : 0.0;
  return e;
}

}  // namespace

TEST(RigRectification, LibraryPointMappingsAgreeWithTheModel) {
  const RigModel rig = distortedRig();
  CalibrationWriter writer;
  writer.addConfiguration(rig);
  auto rectifiers = loadRectifiers(writer.text());
  const int rows = rig.rows();
  const int cols = rig.cols();
  for (int i = 0; i < 2; ++i) {
    const RigLens lens = static_cast<RigLens>(i);
    double worstRectify = 0.0;
    double worstUnrectify = 0.0;
    for (int r = 0; r < rows; r += 5) {
      for (int c = 0; c < cols; c += 5) {
        float outRow = 0, outCol = 0;
        double row = 0, col = 0;
        ASSERT_TRUE(rig.rawToRectified(lens, r, c, row, col));
        ASSERT_EQ(rectifiers[i]->rectifyPixel(r, c, rows, cols, &outRow, &outCol, rows, cols), RectifyErrorOk);
        // Positions outside the other image are clamped by the maps.
        if (row > -0.5 && row < rows - 0.5 && col > -0.5 && col < cols - 0.5)
          worstRectify = std::max({worstRectify, std::abs(outRow - row), std::abs(outCol - col)});
        ASSERT_TRUE(rig.rectifiedToRaw(lens, r, c, row, col));
        ASSERT_EQ(rectifiers[i]->unrectifyPixel(r, c, rows, cols, &outRow, &outCol, rows, cols), RectifyErrorOk);
        if (row > -0.5 && row < rows - 0.5 && col > -0.5 && col < cols - 0.5)
          worstUnrectify = std::max({worstUnrectify, std::abs(outRow - row), std::abs(outCol - col)});
      }
    }
    EXPECT_LT(worstRectify, 0.05) << "lens " << i;
    EXPECT_LT(worstUnrectify, 0.05) << "lens " << i;
  }
}

TEST(RigRectification, RectifiedRawRenderingMatchesTheRectifiedRendering) {
  const RigModel rig = distortedRig();
  const SyntheticScene scene = SyntheticScene::forRig(rig, 21, 40.0);
  const StereoRendering rendering = StereoRenderer(rig, scene).render();
  CalibrationWriter writer;
  writer.addConfiguration(rig);
  auto rectifiers = loadRectifiers(writer.text());
  const Image<unsigned char> edges = StereoRenderer::depthEdges(rendering.disparity, 2);
  for (int i = 0; i < 2; ++i) {
    const RigLens lens = static_cast<RigLens>(i);
    const cv::Mat ours = rectifyWithLibrary(*rectifiers[i], asMat(rendering.rawGrey[i]));
    const cv::Mat expected = asMat(rendering.rectifiedGrey[i]);
    std::vector<int> errors;
    for (int r = 0; r < rig.rows(); ++r) {
      for (int c = 0; c < rig.cols(); ++c) {
        // Depth edges of the right view stand for those of both views well
        // enough once widened; pixels fed from outside the raw image are skipped.
        const int leftShift = i == 1 ? rendering.disparity[r][c] / 16 : 0;
        if (edges[r][c] || (c + leftShift < rig.cols() && edges[r][c + leftShift])) continue;
        double rawRow = 0, rawCol = 0;
        if (!rig.rectifiedToRaw(lens, r, c, rawRow, rawCol) || rawRow < 1 || rawCol < 1 || rawRow > rig.rows() - 2 ||
            rawCol > rig.cols() - 2)
          continue;
        errors.push_back(std::abs(ours.at<unsigned char>(r, c) - expected.at<unsigned char>(r, c)));
      }
    }
    ASSERT_GT(errors.size(), static_cast<std::size_t>(rig.rows() * rig.cols() / 2));
    std::sort(errors.begin(), errors.end());
    double mean = 0.0;
    for (int e : errors) mean += e;
    mean /= static_cast<double>(errors.size());
    const int p99 = errors[errors.size() * 99 / 100];
    std::printf("lens %d: rectified raw vs rectified rendering: mean |diff| %.3f, 99th percentile %d grey levels\n", i,
                mean, p99);
    // Bilinear resampling through the exact model loses about 2.2 grey levels
    // on this texture by itself; a quarter-pixel misplacement costs 3.3.
    EXPECT_LT(mean, 2.6) << "lens " << i;
    EXPECT_LE(p99, 14) << "lens " << i;
  }
}

TEST(RigRectification, RealChessboardsRectifyAsWellAsOpenCv) {
  const std::string folder = STELOX_DATA_DIR "/chessboard-640x480/";
  std::vector<std::string> left, right;
  for (const char* id : {"01", "02", "03", "04", "05", "06", "07", "08", "09", "11", "12", "13", "14"}) {
    left.push_back(folder + "left" + id + ".jpg");
    right.push_back(folder + "right" + id + ".jpg");
  }
  const cv::Size board(9, 6);
  const ChessboardCalibration::Result calibrated = ChessboardCalibration::calibrate(left, right, board, 0.025);
  const OpenCvStereoCalibration& c = calibrated.calibration;
  const RigModel rig = RigModel::fromOpenCv(c);
  CalibrationWriter writer;
  writer.addConfiguration(rig);
  auto rectifiers = loadRectifiers(writer.text());

  cv::Mat R1, R2, P1, P2, Q;
  cv::stereoRectify(c.M1, c.D1, c.M2, c.D2, c.imageSize, c.R, c.T, R1, R2, P1, P2, Q, cv::CALIB_ZERO_DISPARITY, -1,
                    c.imageSize);
  cv::Mat map1[2], map2[2];
  cv::initUndistortRectifyMap(c.M1, c.D1, R1, P1, c.imageSize, CV_32FC1, map1[0], map2[0]);
  cv::initUndistortRectifyMap(c.M2, c.D2, R2, P2, c.imageSize, CV_32FC1, map1[1], map2[1]);

  std::vector<std::pair<cv::Mat, cv::Mat>> oursPairs, openCvPairs;
  for (std::size_t i = 0; i < left.size(); ++i) {
    const cv::Mat l = cv::imread(left[i], cv::IMREAD_GRAYSCALE);
    const cv::Mat r = cv::imread(right[i], cv::IMREAD_GRAYSCALE);
    ASSERT_FALSE(l.empty() || r.empty());
    oursPairs.emplace_back(rectifyWithLibrary(*rectifiers[1], l), rectifyWithLibrary(*rectifiers[0], r));
    cv::Mat lo, ro;
    cv::remap(l, lo, map1[0], map2[0], cv::INTER_LINEAR);
    cv::remap(r, ro, map1[1], map2[1], cv::INTER_LINEAR);
    openCvPairs.emplace_back(lo, ro);
  }
  const EpipolarError ours = epipolarError(oursPairs, board);
  const EpipolarError openCv = epipolarError(openCvPairs, board);
  std::printf("chessboards: %d pairs, stereo RMS %.4f px, baseline %.4f m, warp fit worst %.4f px\n", calibrated.pairs,
              calibrated.rms, rig.baseline(),
              std::max(writer.configurations()[0].warps[0].worstResidual(),
                       writer.configurations()[0].warps[1].worstResidual()));
  std::printf("epipolar error, library rectification: mean %.4f px, max %.4f px (%d corners in %d pairs)\n", ours.mean,
              ours.max, ours.corners, ours.pairs);
  std::printf("epipolar error, OpenCV rectification:  mean %.4f px, max %.4f px (%d corners in %d pairs)\n",
              openCv.mean, openCv.max, openCv.corners, openCv.pairs);
  EXPECT_GE(calibrated.pairs, 13);
  EXPECT_LT(calibrated.rms, 0.6);
  EXPECT_GE(ours.pairs, openCv.pairs - 1);
  EXPECT_LE(ours.mean, openCv.mean + 0.05);
}
