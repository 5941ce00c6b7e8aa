// Matching quality on the Middlebury pairs: for the non-occluded pixels of
// each scene, the share that gets a valid disparity and the share of valid
// disparities more than 1 pixel from the ground truth, for the built-in
// matcher (library defaults: mask 7, edge mask 7, texture 0.5, back-and-forth,
// surfaces of 200 pixels within 1 disparity) and for cv::StereoBM with
// comparable settings (block 7, texture threshold 10, uniqueness 15, speckle
// window 200 within 1 disparity).
//
// The ground truth belongs to the left view while our reference camera is the
// right one, so the pair is mirrored horizontally: the mirrored left image
// becomes the reference, and the result is mirrored back.
#include "filter/EdgeFilter.h"
#include "match/StereoProcessMgr.h"

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

struct Scene {
  const char* folder;
  const char* left;
  const char* right;
  const char* groundTruth;  // left view
  double scale;             // ground-truth grey level per disparity
  int disparities;
};

const Scene kScenes[] = {
    {"tsukuba-2001", "imL.png", "imR.png", "groundtruth.png", 16, 16},
    {"venus-2001", "imL.png", "imR.png", "groundtruth.png", 8, 32},
    {"teddy-2003-quarter", "imL.png", "imR.png", "groundtruth.png", 4, 64},
    {"cones-2003-quarter", "im2.png", "im6.png", "disp2.png", 4, 64},
};

constexpr int kMask = 7;
constexpr int kEdgeMask = 7;

cv::Mat load(const Scene& scene, const char* file) {
  const std::string path = std::string(STELOX_DATA_DIR) + "/stereo/" + scene.folder + "/" + file;
  cv::Mat image = cv::imread(path, cv::IMREAD_GRAYSCALE);
  if (image.empty()) std::fprintf(stderr, "cannot read %s\n", path.c_str());
  return image;
}

cv::Mat edgeImage(const cv::Mat& grey) {
  cv::Mat edges(grey.rows, grey.cols, CV_8U, cv::Scalar(128));
  Image<unsigned char> in(grey.rows, grey.cols, static_cast<int>(grey.step), grey.data);
  Image<unsigned char> out(edges.rows, edges.cols, static_cast<int>(edges.step), edges.data);
  Image<unsigned char> inner = out.region(kEdgeMask / 2, kEdgeMask / 2, grey.rows - kEdgeMask + 1,
                                          grey.cols - kEdgeMask + 1);
  boxEdgeFilter(inner, in, kEdgeMask, 1.0);
  return edges;
}

// Left-view disparities in pixels, NaN where the matcher gave none.
cv::Mat matchBuiltIn(const cv::Mat& left, const cv::Mat& right, int disparities) {
  cv::Mat mirroredLeft, mirroredRight;
  cv::flip(left, mirroredLeft, 1);
  cv::flip(right, mirroredRight, 1);
  cv::Mat reference = edgeImage(mirroredLeft), second = edgeImage(mirroredRight);
  const int rows = left.rows, cols = left.cols;
  const Image<unsigned char> images[2] = {
      Image<unsigned char>(rows, cols, static_cast<int>(reference.step), reference.data),
      Image<unsigned char>(rows, cols, static_cast<int>(second.step), second.data)};
  Image<unsigned short> disparity(rows, cols);
  disparity.init(0xFFFD);
  Image<unsigned int> surfaces;
  Stelox::PreprocessParameters p;
  p.edgeCorrelation = true;
  p.edgeMaskSize = kEdgeMask;
  Stelox::StereoParameters s;
  s.stereoMaskSize = kMask;
  s.minimumDisparity = 0;
  s.maximumDisparity = disparities - 1;
  s.textureValidation = true;
  s.textureThreshold = 0.5;
  s.backForthValidation = true;
  s.surfaceValidation = true;
  s.surfaceSize = 200;
  s.surfaceDifference = 1.0;
  StereoProcessMgr engine;
  engine.process(images, disparity, surfaces, {0, 0, rows, cols}, p, s);
  cv::Mat result(rows, cols, CV_32F);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const unsigned short v = disparity[r][cols - 1 - c];
      result.at<float>(r, c) = v >= 0xFF00 ? NAN : v / 16.0f;
    }
  return result;
}

cv::Mat matchStereoBM(const cv::Mat& left, const cv::Mat& right, int disparities) {
  cv::Ptr<cv::StereoBM> bm = cv::StereoBM::create(disparities, kMask);
  bm->setTextureThreshold(10);
  bm->setUniquenessRatio(15);
  bm->setSpeckleWindowSize(200);
  bm->setSpeckleRange(16);
  cv::Mat disparity;
  bm->compute(left, right, disparity);
  cv::Mat result(left.rows, left.cols, CV_32F);
  for (int r = 0; r < left.rows; ++r)
    for (int c = 0; c < left.cols; ++c) {
      const short v = disparity.at<short>(r, c);
      result.at<float>(r, c) = v < 0 ? NAN : v / 16.0f;
    }
  return result;
}

struct Score {
  double validShare, badShare;
};

Score score(const cv::Mat& disparity, const cv::Mat& truth, const cv::Mat& mask, double scale) {
  long evaluated = 0, valid = 0, bad = 0;
  for (int r = 0; r < truth.rows; ++r)
    for (int c = 0; c < truth.cols; ++c) {
      if (mask.at<unsigned char>(r, c) != 255 || truth.at<unsigned char>(r, c) == 0) continue;
      ++evaluated;
      const float d = disparity.at<float>(r, c);
      if (std::isnan(d)) continue;
      ++valid;
      if (std::fabs(d - truth.at<unsigned char>(r, c) / scale) > 1.0) ++bad;
    }
  return {evaluated ? 100.0 * valid / evaluated : 0, valid ? 100.0 * bad / valid : 0};
}

}  // namespace

int main() {
  std::printf("non-occluded pixels: valid share and share of valid pixels more than 1 px off\n");
  std::printf("%-20s %6s | %12s %12s | %12s %12s\n", "scene", "range", "stelox valid",
              "stelox bad", "StereoBM val", "StereoBM bad");
  for (const Scene& scene : kScenes) {
    const cv::Mat left = load(scene, scene.left), right = load(scene, scene.right);
    const cv::Mat truth = load(scene, scene.groundTruth), mask = load(scene, "nonocc.png");
    if (left.empty() || right.empty() || truth.empty() || mask.empty()) return 1;
    const Score ours = score(matchBuiltIn(left, right, scene.disparities), truth, mask, scene.scale);
    const Score theirs =
        score(matchStereoBM(left, right, scene.disparities), truth, mask, scene.scale);
    std::printf("%-20s %6d | %11.1f%% %11.1f%% | %11.1f%% %11.1f%%\n", scene.folder,
                scene.disparities, ours.validShare, ours.badShare, theirs.validShare,
                theirs.badShare);
  }
  return 0;
}
