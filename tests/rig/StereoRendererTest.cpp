#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "StereoRenderer.h"

using namespace SteloxRig;

namespace {

// Compares two 8-bit images pixel for pixel.
bool sameBytes(const Image<unsigned char>& a, const Image<unsigned char>& b) {
  if (a.nRows() != b.nRows() || a.nCols() != b.nCols()) return false;
  for (int r = 0; r < a.nRows(); ++r)
    if (std::memcmp(a[r].data(), b[r].data(), a.nCols()) != 0) return false;
  return true;
}

IdealRigParameters smallSpec() {
  IdealRigParameters parameters;
  parameters.rows = 120;
  parameters.cols = 160;
  parameters.focalLength = 130.0;
  parameters.baseline = 0.1;
  return parameters;
}

// Bilinear sample of an 8-bit image at (row, col), inside the image; the last
// row and column repeat.
double sample(const Image<unsigned char>& image, double row, double col) {
  const int r = static_cast<int>(std::floor(row));
  const int c = static_cast<int>(std::floor(col));
  const double a = row - r;
  const double b = col - c;
  const int r1 = std::min(r + 1, image.nRows() - 1);
  const int c1 = std::min(c + 1, image.nCols() - 1);
  return (1 - a) * ((1 - b) * image[r][c] + b * image[r][c1]) + a * ((1 - b) * image[r1][c] + b * image[r1][c1]);
}

}  // namespace

TEST(StereoRenderer, SameSeedSameImagesOtherSeedOtherImages) {
  const RigModel rig = RigModel::ideal(smallSpec());
  const SyntheticScene scene = SyntheticScene::forRig(rig, 11);
  RenderOptions oneThread;
  oneThread.threads = 1;
  oneThread.rectifiedViews = false;
  const StereoRendering a = StereoRenderer(rig, scene).render(oneThread);
  const StereoRendering b = StereoRenderer(rig, SyntheticScene::forRig(rig, 11)).render();
  const StereoRendering c = StereoRenderer(rig, SyntheticScene::forRig(rig, 12)).render();
  for (int lens = 0; lens < kRigLensCount; ++lens) {
    EXPECT_TRUE(sameBytes(a.rawGrey[lens], b.rawGrey[lens]));
    EXPECT_FALSE(sameBytes(a.rawGrey[lens], c.rawGrey[lens]));
  }
}

TEST(StereoRenderer, ColourOrderAndGreyAgree) {
  const RigModel rig = RigModel::ideal(smallSpec());
  const StereoRendering out = StereoRenderer(rig, SyntheticScene::forRig(rig, 3)).render();
  for (int lens = 0; lens < kRigLensCount; ++lens) {
    for (int r = 0; r < rig.rows(); ++r) {
      for (int c = 0; c < rig.cols(); ++c) {
        const Pixel8x4 p = out.rawColour[lens][r][c];
        const double luminance = 0.114 * p.channel[0] + 0.587 * p.channel[1] + 0.299 * p.channel[2];
        ASSERT_EQ(p.channel[3], 255);
        // Grey comes from the unrounded colour, so it may differ by the rounding of the channels.
        ASSERT_NEAR(out.rawGrey[lens][r][c], luminance, 1.0) << r << " " << c;
      }
    }
  }
}

TEST(StereoRenderer, WithoutDistortionRawIsTheRectifiedRendering) {
  const RigModel rig = RigModel::ideal(smallSpec());
  const StereoRendering out = StereoRenderer(rig, SyntheticScene::forRig(rig, 5)).render();
  for (int lens = 0; lens < kRigLensCount; ++lens) EXPECT_TRUE(sameBytes(out.rawGrey[lens], out.rectifiedGrey[lens]));
}

TEST(StereoRenderer, GroundTruthPointsTheLeftImageAtTheSameSurface) {
  // Every visible pixel of the right rectified view, away from depth edges,
  // must find its own texture in the left rectified view at column + disparity.
  IdealRigParameters parameters;
  parameters.baseline = 0.1;
  const RigModel rig = RigModel::ideal(parameters);
  const SyntheticScene scene = SyntheticScene::forRig(rig, 9, 40.0);
  const StereoRendering out = StereoRenderer(rig, scene).render();
  const Image<unsigned char> edges = StereoRenderer::depthEdges(out.disparity, 3);
  double sum = 0.0;
  int count = 0;
  int maxDisparity16 = 0;
  int visible = 0;
  for (int r = 0; r < rig.rows(); ++r) {
    for (int c = 0; c < rig.cols(); ++c) {
      const int d16 = out.disparity[r][c];
      maxDisparity16 = std::max(maxDisparity16, d16);
      if (!out.visible[r][c]) continue;
      ++visible;
      const double leftCol = c + d16 / 16.0;
      if (edges[r][c] || leftCol > rig.cols() - 2) continue;
      sum += std::abs(out.rectifiedGrey[0][r][c] - sample(out.rectifiedGrey[1], r, leftCol));
      ++count;
    }
  }
  EXPECT_GT(visible, rig.rows() * rig.cols() * 8 / 10);
  EXPECT_NEAR(maxDisparity16 / 16.0, 40.0, 0.5);
  ASSERT_GT(count, rig.rows() * rig.cols() / 2);
  EXPECT_LT(sum / count, 2.0);
}

TEST(StereoRenderer, OccludedPixelsSitRightOfACloserSurface) {
  // The left lens sees closer surfaces shifted further right, so the pixels it
  // cannot see lie just right of an occluder in the right view: scanning left
  // from an occluded pixel, the first visible one is closer. Pixels whose
  // match falls outside the left image are excluded.
  const RigModel rig = RigModel::ideal(IdealRigParameters());
  const StereoRendering out = StereoRenderer(rig, SyntheticScene::forRig(rig, 9, 40.0)).render();
  int occluded = 0;
  int nextToCloser = 0;
  for (int r = 0; r < rig.rows(); ++r) {
    for (int c = 0; c < rig.cols(); ++c) {
      if (out.visible[r][c] || c + out.disparity[r][c] / 16.0 >= rig.cols() - 0.5) continue;
      ++occluded;
      int e = c - 1;
      while (e >= 0 && !out.visible[r][e]) --e;
      if (e >= 0 && out.disparity[r][e] > out.disparity[r][c]) ++nextToCloser;
    }
  }
  ASSERT_GT(occluded, 100);
  EXPECT_GT(nextToCloser, occluded * 9 / 10);
}
