// Synthetic rigs rendered with ground truth, rectified and matched through
// the C interface with the default settings: disparities must lie within
// half a pixel of the truth on the textured, non-occluded pixels, and most
// of those pixels must be valid.
#include "SyntheticPipeline.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

SteloxRun::RigCase rigCase(const char* name, int rows, int cols, double baseline, bool distortion, int divisor,
                           bool colour)
{
  SteloxRun::RigCase result;
  result.name = name;
  result.rows = rows;
  result.cols = cols;
  result.baseline = baseline;
  result.distortion = distortion;
  result.outputDivisor = divisor;
  result.colour = colour;
  result.disparities = divisor == 1 && cols > 640 ? 128 : 64;
  result.sceneMaxDisparity = 48.0 * cols / 640.0;
  return result;
}

TEST(EndToEnd, SyntheticRigsMatchTheGroundTruth)
{
  const SteloxRun::RigCase cases[] = {
      rigCase("narrow 640x480", 480, 640, 0.12, false, 1, false),
      rigCase("narrow 640x480 distorted", 480, 640, 0.12, true, 1, false),
      rigCase("wide 640x480 distorted", 480, 640, 0.30, true, 1, false),
      rigCase("narrow 640x480 distorted, half output", 480, 640, 0.12, true, 2, false),
      rigCase("narrow 640x480 distorted, colour", 480, 640, 0.12, true, 1, true),
      rigCase("wide 1280x960 distorted", 960, 1280, 0.30, true, 1, false),
      rigCase("narrow 1280x960 distorted, half output, colour", 960, 1280, 0.12, true, 2, true),
  };
  for (const SteloxRun::RigCase& test : cases) {
    SCOPED_TRACE(test.name);
    const SteloxRun::RunResult run = SteloxRun::runSyntheticPipeline(test);
    ASSERT_EQ(run.error, SteloxErrorOk) << run.failedCall;
    const SteloxRun::Score& score = run.score;
    std::printf("[ figures  ] %-48s %4dx%-4d scored %7ld  density %5.1f %%  within 0.5 px %5.1f %%  "
                "mean error %.3f px\n",
                test.name.c_str(), run.outCols, run.outRows, score.textured, 100.0 * score.density(),
                100.0 * score.accuracy(), score.meanAbsError());
    EXPECT_GT(score.textured, run.outRows * run.outCols / 4);
    EXPECT_GE(score.accuracy(), 0.95);
    EXPECT_GE(score.density(), 0.80);
  }
}

// A copy keeps working on the shared rectification tables and workers after
// its source is destroyed, and gives the source's results.
TEST(EndToEnd, CopyProcessesAfterTheSourceIsDestroyed)
{
  SteloxRun::RigCase test = rigCase("copy", 240, 320, 0.12, true, 1, false);
  const SteloxRig::RigModel rig = SteloxRun::makeRig(test);
  SteloxRig::CalibrationWriter writer;
  writer.addConfiguration(rig);
  const std::string calibration = writer.text();
  const SteloxRig::SyntheticScene scene = SteloxRig::SyntheticScene::forRig(rig, 3, 24.0);
  const SteloxRig::StereoRendering rendering = SteloxRig::StereoRenderer(rig, scene).render();
  SteloxImage right = {240, 320, rowInc(rendering.rawGrey[0]), rendering.rawGrey[0].bufferptr()};
  SteloxImage left = {240, 320, rowInc(rendering.rawGrey[1]), rendering.rawGrey[1].bufferptr()};
  SteloxMonoStereoPair pair;
  ASSERT_EQ(steloxBuildMonoStereoPairFromBuffers(&right, &left, &pair), SteloxErrorOk);

  SteloxContext source = nullptr;
  ASSERT_EQ(steloxGetDefaultContextFromMemory(&source, calibration.c_str()), SteloxErrorOk);
  ASSERT_EQ(steloxRectify(source, &pair), SteloxErrorOk);
  ASSERT_EQ(steloxStereo(source), SteloxErrorOk);
  SteloxImage16 disparity;
  ASSERT_EQ(steloxGetImage16(source, SteloxImage16TypeDisparity, SteloxCameraRight, &disparity), SteloxErrorOk);
  std::vector<unsigned short> expected(disparity.data, disparity.data + disparity.rows * disparity.rowIncrement / 2);

  SteloxContext copy = nullptr;
  ASSERT_EQ(steloxCopyContext(source, &copy), SteloxErrorOk);
  ASSERT_EQ(steloxDestroyContext(source), SteloxErrorOk);
  SteloxImage edge;
  ASSERT_EQ(steloxGetImage(copy, SteloxImageTypeEdge, SteloxCameraLeft, &edge), SteloxErrorOk);
  ASSERT_NE(edge.data, nullptr);
  EXPECT_EQ(edge.data[0], 128);
  ASSERT_EQ(steloxStereo(copy), SteloxErrorOk);
  ASSERT_EQ(steloxRectify(copy, &pair), SteloxErrorOk);
  ASSERT_EQ(steloxStereo(copy), SteloxErrorOk);
  ASSERT_EQ(steloxGetImage16(copy, SteloxImage16TypeDisparity, SteloxCameraRight, &disparity), SteloxErrorOk);
  ASSERT_EQ(static_cast<std::size_t>(disparity.rows * disparity.rowIncrement / 2), expected.size());
  EXPECT_EQ(std::memcmp(disparity.data, expected.data(), expected.size() * 2), 0);

  // Pixel conversion: the output offset is taken off the rectifier's result.
  float row = 0, col = 0, rawRow = 0, rawCol = 0;
  ASSERT_EQ(steloxRectifyPixel(copy, SteloxCameraRight, 120.0f, 160.0f, &row, &col), SteloxErrorOk);
  EXPECT_NEAR(row, 120.0f, 3.0f);
  ASSERT_EQ(steloxUnrectifyPixel(copy, SteloxCameraRight, row, col, &rawRow, &rawCol), SteloxErrorOk);
  EXPECT_NEAR(rawRow, 120.0f, 0.05f);
  EXPECT_NEAR(rawCol, 160.0f, 0.05f);
  EXPECT_EQ(steloxRectifyPixel(copy, static_cast<SteloxCamera>(4), 1.0f, 1.0f, &row, &col), SteloxErrorInvalidCamera);
  ASSERT_EQ(steloxDestroyContext(copy), SteloxErrorOk);
}

}  // namespace
