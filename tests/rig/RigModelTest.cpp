#include <gtest/gtest.h>

#include <cmath>

#include "RigModel.h"

using namespace SteloxRig;

namespace {

IdealRigParameters distortedSpec() {
  IdealRigParameters parameters;
  parameters.distortion[0] = {-0.22, 0.06, 0.0015, -0.001, -0.004};
  parameters.distortion[1] = {-0.18, 0.03, -0.001, 0.002, 0.0};
  parameters.rotation[0] = cv::Vec3d(0.012, -0.02, 0.006);
  parameters.rotation[1] = cv::Vec3d(-0.008, 0.018, -0.005);
  return parameters;
}

}  // namespace

TEST(RigModel, UndistortInvertsDistort) {
  const Distortion cases[] = {
      {0.0, 0.0, 0.0, 0.0, 0.0},
      {-0.3, 0.1, 0.0, 0.0, -0.02},
      {0.15, -0.05, 0.002, -0.003, 0.01},
  };
  for (const Distortion& d : cases) {
    for (double x = -0.7; x <= 0.7; x += 0.05) {
      for (double y = -0.55; y <= 0.55; y += 0.05) {
        double xd = 0.0, yd = 0.0, xu = 0.0, yu = 0.0;
        distortPoint(d, x, y, xd, yd);
        ASSERT_TRUE(undistortPoint(d, xd, yd, xu, yu)) << x << " " << y;
        EXPECT_NEAR(xu, x, 1e-12);
        EXPECT_NEAR(yu, y, 1e-12);
      }
    }
  }
}

TEST(RigModel, UndistortRefusesFoldedModel) {
  // Strong barrel distortion folds over beyond r = 1 / sqrt(3 * 0.5).
  const Distortion folded{-0.5, 0.0, 0.0, 0.0, 0.0};
  double x = 0.0, y = 0.0;
  EXPECT_FALSE(undistortPoint(folded, 0.9, 0.0, x, y));
}

TEST(RigModel, IdealRigWithoutDistortionMapsPixelsToThemselves) {
  const RigModel rig = RigModel::ideal(IdealRigParameters());
  for (RigLens lens : {RigLens::Right, RigLens::Left}) {
    for (double r : {0.0, 100.5, 479.0}) {
      for (double c : {0.0, 333.25, 639.0}) {
        double rr = 0.0, cc = 0.0;
        ASSERT_TRUE(rig.rawToRectified(lens, r, c, rr, cc));
        EXPECT_NEAR(rr, r, 1e-9);
        EXPECT_NEAR(cc, c, 1e-9);
      }
    }
  }
}

TEST(RigModel, RawAndRectifiedMappingsAreInverse) {
  const RigModel rig = RigModel::ideal(distortedSpec());
  for (RigLens lens : {RigLens::Right, RigLens::Left}) {
    for (int r = -10; r <= 490; r += 25) {
      for (int c = -10; c <= 650; c += 25) {
        double rawRow = 0.0, rawCol = 0.0, backRow = 0.0, backCol = 0.0;
        ASSERT_TRUE(rig.rectifiedToRaw(lens, r, c, rawRow, rawCol));
        ASSERT_TRUE(rig.rawToRectified(lens, rawRow, rawCol, backRow, backCol));
        EXPECT_NEAR(backRow, r, 1e-8);
        EXPECT_NEAR(backCol, c, 1e-8);
      }
    }
  }
}

TEST(RigModel, LensRotationFollowsTheRotationVector) {
  // p_raw = R(0, 0.01, 0) * p_rectified: the rectified optical axis has
  // x = sin(0.01) in the raw frame.
  IdealRigParameters parameters;
  parameters.rotation[0] = cv::Vec3d(0.0, 0.01, 0.0);
  const RigModel rig = RigModel::ideal(parameters);
  double rawRow = 0.0, rawCol = 0.0;
  ASSERT_TRUE(rig.rectifiedToRaw(RigLens::Right, rig.centreRow(), rig.centreCol(), rawRow, rawCol));
  EXPECT_NEAR(rawCol, rig.centreCol() + parameters.focalLength * std::tan(0.01), 1e-9);
  EXPECT_NEAR(rawRow, rig.centreRow(), 1e-9);
}

TEST(RigModel, IdealRigRejectsNonsense) {
  IdealRigParameters parameters;
  parameters.baseline = 0.0;
  EXPECT_THROW(RigModel::ideal(parameters), RigError);
  parameters = IdealRigParameters();
  parameters.focalLength = -1.0;
  EXPECT_THROW(RigModel::ideal(parameters), RigError);
  parameters = IdealRigParameters();
  parameters.cols = 1;
  EXPECT_THROW(RigModel::ideal(parameters), RigError);
}
