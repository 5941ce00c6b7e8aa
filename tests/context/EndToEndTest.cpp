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
  EXPECT_EQ(steloxUnrectifyPixel(copy, SteloxCameraLeft, -5000.0f, -5000.0f, &rawRow, &rawCol),
            SteloxErrorCannotUnrectifyPixel);
  ASSERT_EQ(steloxDestroyContext(copy), SteloxErrorOk);
}

// In region-of-interest mode the output is the region's window of the
// rectified frame: at the source's scale it equals that window of a
// full-frame run, for the mono and the colour path.
TEST(EndToEnd, RegionOfInterestIsAWindowOfTheRectifiedFrame)
{
  const SteloxRig::RigModel rig = SteloxRun::makeRig(rigCase("region", 240, 320, 0.12, true, 1, false));
  SteloxRig::CalibrationWriter writer;
  writer.addConfiguration(rig);
  const std::string calibration = writer.text();
  const SteloxRig::SyntheticScene scene = SteloxRig::SyntheticScene::forRig(rig, 5, 24.0);
  const SteloxRig::StereoRendering rendering = SteloxRig::StereoRenderer(rig, scene).render();
  const auto colourRecord = [](const Image<Pixel8x4>& image) {
    return SteloxColorImage{image.nRows(), image.nCols(), rowInc(image),
                            reinterpret_cast<SteloxColorPixel*>(image.bufferptr())};
  };
  SteloxMonoStereoPair mono = {{240, 320, rowInc(rendering.rawGrey[0]), rendering.rawGrey[0].bufferptr()},
                               {240, 320, rowInc(rendering.rawGrey[1]), rendering.rawGrey[1].bufferptr()}};
  SteloxColorStereoPair colour = {colourRecord(rendering.rawColour[0]), colourRecord(rendering.rawColour[1])};
  const SteloxROI roi = {60, 80, 120, 160};

  for (const bool useColour : {false, true}) {
    SCOPED_TRACE(useColour ? "colour" : "mono");
    SteloxContext full = nullptr, window = nullptr;
    ASSERT_EQ(steloxGetDefaultContextFromMemory(&full, calibration.c_str()), SteloxErrorOk);
    ASSERT_EQ(steloxGetDefaultContextFromMemory(&window, calibration.c_str()), SteloxErrorOk);
    ASSERT_EQ(steloxSetResolution(full, 240, 320), SteloxErrorOk);
    ASSERT_EQ(steloxSetRoi(window, roi), SteloxErrorOk);
    ASSERT_EQ(steloxSetRoiOn(window, 1), SteloxErrorOk);
    ASSERT_EQ(steloxSetResolution(window, 120, 160), SteloxErrorOk);
    for (SteloxContext context : {full, window})
      ASSERT_EQ(useColour ? steloxColorRectify(context, &colour) : steloxRectify(context, &mono), SteloxErrorOk);
    SteloxImage whole, part;
    ASSERT_EQ(steloxGetImage(full, SteloxImageTypeRectified, SteloxCameraLeft, &whole), SteloxErrorOk);
    ASSERT_EQ(steloxGetImage(window, SteloxImageTypeRectified, SteloxCameraLeft, &part), SteloxErrorOk);
    ASSERT_EQ(part.rows, 120);
    ASSERT_EQ(part.cols, 160);
    for (int r = 0; r < part.rows; ++r)
      ASSERT_EQ(std::memcmp(part.data + r * part.rowIncrement, whole.data + (r + 60) * whole.rowIncrement + 80, 160),
                0)
          << "row " << r;
    float row = 0, col = 0, fullRow = 0, fullCol = 0;
    ASSERT_EQ(steloxRectifyPixel(window, SteloxCameraRight, 120.0f, 160.0f, &row, &col), SteloxErrorOk);
    ASSERT_EQ(steloxRectifyPixel(full, SteloxCameraRight, 120.0f, 160.0f, &fullRow, &fullCol), SteloxErrorOk);
    EXPECT_NEAR(row, fullRow - 60.0f, 1e-3f);
    EXPECT_NEAR(col, fullCol - 80.0f, 1e-3f);
    EXPECT_EQ(steloxRectifyPixel(window, SteloxCameraRight, 5.0f, 5.0f, &row, &col), SteloxErrorInvalidCoordinates);
    EXPECT_EQ(steloxUnrectifyPixel(window, SteloxCameraRight, 120.0f, 0.0f, &row, &col),
              SteloxErrorInvalidCoordinates);
    ASSERT_EQ(steloxStereo(window), SteloxErrorOk);
    steloxDestroyContext(full);
    steloxDestroyContext(window);
  }
}

}  // namespace
