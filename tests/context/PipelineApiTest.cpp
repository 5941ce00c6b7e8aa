// The frame path and the images of a context through the C interface:
// output and region arithmetic, bad pairs, the copy path without
// rectification, edge images, stereo order, getters, caller buffers and
// pairs from buffers.
#include "context/ContextFixtures.h"
#include "context/MultiSteloxMgr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

using context_fixtures::ContextHandle;
using context_fixtures::configuration;
using context_fixtures::replaceLine;

namespace {

std::string withFocalLengths(const char* x, const char* y, const std::string& extra = "")
{
  return replaceLine(configuration(extra), "FocalLength", std::string("FocalLength ") + x + " " + y);
}

SteloxMgr& activeMgr(SteloxContext context)
{
  return *static_cast<MultiSteloxMgr*>(context)->getActiveCameraConfigMgr().lock();
}

// Pixels of one raw image, with a row increment wider than the image.
struct RawImage {
  RawImage(int rows, int cols, int padding, unsigned seed) : pixels(rows * (cols + padding))
  {
    std::mt19937 random(seed);
    for (unsigned char& pixel : pixels)
      pixel = static_cast<unsigned char>(random());
    image = {rows, cols, cols + padding, pixels.data()};
  }
  std::vector<unsigned char> pixels;
  SteloxImage image;
};

TEST(PipelineApi, ResolutionKeepsTheCalibrationAspect)
{
  struct Case {
    const char* x;
    const char* y;
    int rows, cols;
    int rectifiedRows, rectifiedCols, offsetRow, offsetCol;
  } cases[] = {
      {"0.75", "1.0", 480, 640, 480, 640, 0, 0},
      {"1.0", "1.0", 480, 640, 640, 640, 80, 0},
      {"0.5", "1.0", 480, 640, 480, 960, 0, 160},
      {"1.0", "1.0", 1, 1, 1, 1, 0, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(std::string(test.x) + " " + test.y);
    ContextHandle context(withFocalLengths(test.x, test.y));
    ASSERT_NE(context.get(), nullptr);
    ASSERT_EQ(steloxSetResolution(context, test.rows, test.cols), SteloxErrorOk);
    const SteloxMgr& mgr = activeMgr(context);
    EXPECT_EQ(mgr.getRectifiedSize(), (ImageDim{test.rectifiedRows, test.rectifiedCols}));
    EXPECT_EQ(mgr.getOutputOffset(), (ImageDim{test.offsetRow, test.offsetCol}));
    int rows = 0, cols = 0;
    steloxGetResolution(context, &rows, &cols);
    EXPECT_EQ(rows, test.rows);
    EXPECT_EQ(cols, test.cols);
    float focal = 0;
    steloxGetFocalLength(context, &focal);
    EXPECT_FLOAT_EQ(focal, test.rectifiedCols * std::stof(test.x));
  }
}

TEST(PipelineApi, ResolutionAndSourceLimits)
{
  ContextHandle context(configuration());
  const std::pair<std::pair<int, int>, SteloxError> resolutions[] = {
      {{480, 5121}, SteloxErrorTooManyOutputColumns}, {{0, 640}, SteloxErrorInvalidResolution},
      {{480, 0}, SteloxErrorInvalidResolution},       {{-5, 640}, SteloxErrorInvalidResolution},
      {{480, 5120}, SteloxErrorOk},                   {{2000000000, 5120}, SteloxErrorInvalidResolution},
      {{3000, 4000}, SteloxErrorOk},                  {{11916, 5120}, SteloxErrorInvalidResolution}};
  for (const auto& [size, expected] : resolutions)
    EXPECT_EQ(steloxSetResolution(context, size.first, size.second), expected) << size.first << " x " << size.second;
  EXPECT_EQ(steloxSetSourceResolution(context, 0, 480), SteloxErrorInvalidSourceResolution);
  EXPECT_EQ(steloxSetSourceResolution(context, 480, -1), SteloxErrorInvalidSourceResolution);
  EXPECT_EQ(steloxSetSourceResolution(context, 480, 640), SteloxErrorOk);

  ContextHandle calibrated(configuration("CalibratedSensorRoiResolution 1280 960\nCalibratedSensorRoiOffset 0 0\n"));
  EXPECT_EQ(steloxSetSourceResolution(calibrated, 480, 640), SteloxErrorOk);
  int rows = 0, cols = 0;
  steloxGetSourceResolution(calibrated, &rows, &cols);
  EXPECT_EQ(rows, 960);
  EXPECT_EQ(cols, 1280);

  int optimal = 0;
  ContextHandle square(withFocalLengths("0.75", "1.0"));
  EXPECT_EQ(steloxGetOptimalNumRows(square, 640, &optimal), SteloxErrorOk);
  EXPECT_EQ(optimal, 480);
  EXPECT_EQ(steloxGetOptimalNumColumns(square, 480, &optimal), SteloxErrorOk);
  EXPECT_EQ(optimal, 640);
  EXPECT_EQ(steloxGetOptimalNumRows(square, -640, &optimal), SteloxErrorInvalidResolution);
}

TEST(PipelineApi, LowPassBelowHalfTheSource)
{
  ContextHandle context(withFocalLengths("0.75", "1.0"));
  SteloxMgr& mgr = activeMgr(context);
  ASSERT_EQ(mgr.setSourceResolution(960, 1280), SteloxErrorOk);
  ASSERT_EQ(mgr.setResolution(480, 640), SteloxErrorOk);
  EXPECT_FALSE(mgr.determineLowpass());
  ASSERT_EQ(mgr.setResolution(479, 639), SteloxErrorOk);
  EXPECT_TRUE(mgr.determineLowpass());
}

TEST(PipelineApi, BadPairsAreRefusedBeforeAnyWork)
{
  RawImage right(480, 640, 0, 1), left(480, 640, 0, 2), small(240, 320, 0, 3);
  struct Case {
    const char* name;
    std::function<void(SteloxMonoStereoPair&)> spoil;
    SteloxError expected;
  } cases[] = {
      {"left without data", [](SteloxMonoStereoPair& p) { p.left.data = nullptr; }, SteloxErrorInvalidStereoInput},
      {"right without rows", [](SteloxMonoStereoPair& p) { p.right.rows = 0; p.left.rows = 0; },
       SteloxErrorInvalidStereoInput},
      {"negative cols", [](SteloxMonoStereoPair& p) { p.right.cols = -640; p.left.cols = -640; },
       SteloxErrorInvalidStereoInput},
      {"sizes differ", [&](SteloxMonoStereoPair& p) { p.left = small.image; }, SteloxErrorStereoInputSizeMismatch},
      {"row increment below width", [](SteloxMonoStereoPair& p) { p.left.rowIncrement = 639; },
       SteloxErrorInvalidRowIncrement},
      {"negative row increment", [](SteloxMonoStereoPair& p) { p.right.rowIncrement = -640; },
       SteloxErrorInvalidRowIncrement},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ContextHandle context(configuration());
    SteloxMonoStereoPair pair = {right.image, left.image};
    test.spoil(pair);
    EXPECT_EQ(steloxRectify(context, &pair), test.expected);
    EXPECT_EQ(steloxStereo(context), SteloxErrorRectificationNotDone);
  }
  ContextHandle context(configuration());
  EXPECT_EQ(steloxRectify(context, nullptr), SteloxErrorNullBuffer);

  // A calibrated region larger than the image, and one that does not fit
  // differing images either.
  ContextHandle calibrated(configuration("CalibratedSensorRoiResolution 1280 960\nCalibratedSensorRoiOffset 0 0\n"));
  SteloxMonoStereoPair pair = {right.image, left.image};
  EXPECT_EQ(steloxRectify(calibrated, &pair), SteloxErrorCalibratedAreaOutsideInput);
  pair.left = small.image;
  EXPECT_EQ(steloxRectify(calibrated, &pair), SteloxErrorCalibratedAreaOutsideInput);
}

TEST(PipelineApi, WithoutRectificationTheImagesAreCopiesWithEdges)
{
  ContextHandle context(configuration());
  RawImage right(37, 53, 11, 4), left(37, 53, 11, 5);
  ASSERT_EQ(steloxSetRectify(context, 0), SteloxErrorOk);
  SteloxMonoStereoPair pair;
  ASSERT_EQ(steloxBuildMonoStereoPairFromBuffers(&right.image, &left.image, &pair), SteloxErrorOk);
  ASSERT_EQ(steloxRectify(context, &pair), SteloxErrorOk);
  int rows = 0, cols = 0;
  steloxGetResolution(context, &rows, &cols);
  EXPECT_EQ(rows, 37);
  EXPECT_EQ(cols, 53);
  const RawImage* raws[] = {&right, &left};
  const SteloxCamera cameras[] = {SteloxCameraRight, SteloxCameraLeft};
  for (int lens = 0; lens < 2; ++lens) {
    SteloxImage rectified, edge, raw;
    ASSERT_EQ(steloxGetImage(context, SteloxImageTypeRectified, cameras[lens], &rectified), SteloxErrorOk);
    ASSERT_EQ(steloxGetImage(context, SteloxImageTypeEdge, cameras[lens], &edge), SteloxErrorOk);
    ASSERT_EQ(steloxGetImage(context, SteloxImageTypeRaw, cameras[lens], &raw), SteloxErrorOk);
    EXPECT_EQ(raw.data, raws[lens]->image.data);
    EXPECT_EQ(raw.rowIncrement, 64);
    ASSERT_EQ(rectified.rows, 37);
    ASSERT_EQ(rectified.cols, 53);
    for (int r = 0; r < 37; ++r)
      for (int c = 0; c < 53; ++c) {
        ASSERT_EQ(rectified.data[r * rectified.rowIncrement + c], raws[lens]->pixels[r * 64 + c]);
        const bool border = r < 3 || r >= 34 || c < 3 || c >= 50;
        if (border) {
          ASSERT_EQ(edge.data[r * edge.rowIncrement + c], 128) << r << " " << c;
        }
      }
  }
  // Stereo then fills what it does not match with the sub-pixel code.
  ASSERT_EQ(steloxStereo(context), SteloxErrorOk);
  SteloxImage16 disparity;
  ASSERT_EQ(steloxGetImage16(context, SteloxImage16TypeDisparity, SteloxCameraReference, &disparity), SteloxErrorOk);
  ASSERT_NE(disparity.data, nullptr);
  EXPECT_EQ(disparity.data[0], 0xFF00 + 253);
  EXPECT_EQ(disparity.data[36 * disparity.rowIncrement / 2 + 52], 0xFF00 + 253);
}

TEST(PipelineApi, ColourWithoutRectificationIsGreyOfTheCopy)
{
  ContextHandle context(configuration());
  ASSERT_EQ(steloxSetRectify(context, 0), SteloxErrorOk);
  std::vector<SteloxColorPixel> pixels(2 * 20 * 30);
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = {static_cast<unsigned char>(i), static_cast<unsigned char>(3 * i), static_cast<unsigned char>(7 * i),
                 255};
  SteloxColorImage right = {20, 30, 120, pixels.data()};
  SteloxColorImage left = {20, 30, 120, pixels.data() + 600};
  SteloxColorStereoPair pair;
  ASSERT_EQ(steloxBuildColorStereoPairFromBuffers(&right, &left, &pair), SteloxErrorOk);
  ASSERT_EQ(steloxColorRectify(context, &pair), SteloxErrorOk);
  SteloxColorImage colour;
  SteloxImage grey;
  ASSERT_EQ(steloxGetColorImage(context, SteloxColorImageTypeRectified, SteloxCameraLeft, &colour), SteloxErrorOk);
  ASSERT_EQ(steloxGetImage(context, SteloxImageTypeRectified, SteloxCameraLeft, &grey), SteloxErrorOk);
  ASSERT_EQ(colour.rows, 20);
  ASSERT_EQ(colour.cols, 30);
  const SteloxColorPixel& sample = colour.data[5 * colour.rowIncrement / 4 + 29];
  const SteloxColorPixel& original = pixels[600 + 5 * 30 + 29];
  EXPECT_EQ(sample.blue, original.blue);
  EXPECT_EQ(sample.red, original.red);
  const int expected = (9798 * original.blue + 19235 * original.green + 3736 * original.red + 16384) >> 15;
  EXPECT_NEAR(grey.data[5 * grey.rowIncrement + 29], expected, 1);

  SteloxColorStereoPair bad = pair;
  bad.right.rowIncrement = 100;
  EXPECT_EQ(steloxColorRectify(context, &bad), SteloxErrorInvalidRowIncrement);
  SteloxColorImage out;
  bad = pair;
  bad.right.rowIncrement = 160;
  EXPECT_EQ(steloxRectifyColorImage(context, SteloxCameraRight, &bad, &out), SteloxErrorNotSingleOrSideBySide);
  EXPECT_EQ(steloxRectifyColorImage(context, static_cast<SteloxCamera>(3), &pair, &out), SteloxErrorInvalidCamera);
}

TEST(PipelineApi, CallsInTheWrongOrder)
{
  ContextHandle context(configuration());
  EXPECT_EQ(steloxStereo(context), SteloxErrorRectificationNotDone);
  SteloxImage image = {1, 1, 1, nullptr};
  ASSERT_EQ(steloxGetImage(context, SteloxImageTypeRectified, SteloxCameraRight, &image), SteloxErrorOk);
  EXPECT_EQ(image.rows, 480);
  EXPECT_EQ(image.cols, 640);
  EXPECT_EQ(image.rowIncrement, 0);
  EXPECT_EQ(image.data, nullptr);
  EXPECT_EQ(steloxGetImage(context, static_cast<SteloxImageType>(3), SteloxCameraRight, &image),
            SteloxErrorInvalidImageType);
  EXPECT_EQ(steloxGetImage(context, SteloxImageTypeRaw, static_cast<SteloxCamera>(3), &image),
            SteloxErrorInvalidCamera);
  SteloxImage16 disparity;
  EXPECT_EQ(steloxGetImage16(context, static_cast<SteloxImage16Type>(1), SteloxCameraRight, &disparity),
            SteloxErrorInvalidImageType);
  EXPECT_EQ(steloxGetImage16(context, SteloxImage16TypeDisparity, SteloxCameraLeft, &disparity),
            SteloxErrorInvalidCamera);
  SteloxColorImage colour;
  EXPECT_EQ(steloxGetColorImage(context, static_cast<SteloxColorImageType>(2), SteloxCameraRight, &colour),
            SteloxErrorInvalidImageType);
  ASSERT_EQ(steloxSetDoStereo(context, 0), SteloxErrorOk);
  EXPECT_EQ(steloxStereo(context), SteloxErrorOk);
  EXPECT_EQ(steloxGetImage16(context, SteloxImage16TypeDisparity, SteloxCameraRight, &disparity),
            SteloxErrorDisparityNotDone);

  // A frame of another geometry cannot be matched after a resolution change.
  ContextHandle resized(configuration());
  RawImage right(40, 60, 0, 1), left(40, 60, 0, 2);
  SteloxMonoStereoPair pair = {right.image, left.image};
  ASSERT_EQ(steloxSetRectify(resized, 0), SteloxErrorOk);
  ASSERT_EQ(steloxRectify(resized, &pair), SteloxErrorOk);
  ASSERT_EQ(steloxSetResolution(resized, 80, 120), SteloxErrorOk);
  EXPECT_EQ(steloxStereo(resized), SteloxErrorRectificationNotDone);
  ASSERT_EQ(steloxGetImage(resized, SteloxImageTypeRectified, SteloxCameraRight, &image), SteloxErrorOk);
  EXPECT_EQ(image.data, nullptr);
}

TEST(PipelineApi, CallerBuffers)
{
  ContextHandle fresh(replaceLine(configuration(), "Resolution", ""));
  std::vector<unsigned char> first(40 * 60), second(40 * 60);
  EXPECT_EQ(steloxSetImageBuffer(fresh, first.data(), SteloxImageTypeRectified, SteloxCameraRight),
            SteloxErrorInvalidResolution);

  ContextHandle context(configuration());
  ASSERT_EQ(steloxSetRectify(context, 0), SteloxErrorOk);
  RawImage right(40, 60, 0, 1), left(40, 60, 0, 2);
  SteloxMonoStereoPair pair = {right.image, left.image};
  ASSERT_EQ(steloxRectify(context, &pair), SteloxErrorOk);  // output 40 x 60
  EXPECT_EQ(steloxSetImageBuffer(context, first.data(), SteloxImageTypeRaw, SteloxCameraRight),
            SteloxErrorInvalidImageType);
  EXPECT_EQ(steloxSetImageBuffer(context, first.data(), SteloxImageTypeEdge, static_cast<SteloxCamera>(5)),
            SteloxErrorInvalidCamera);
  ASSERT_EQ(steloxSetImageBuffer(context, first.data(), SteloxImageTypeRectified, SteloxCameraLeft), SteloxErrorOk);
  ASSERT_EQ(steloxSetImageBuffer(context, second.data(), SteloxImageTypeRectified, SteloxCameraLeft), SteloxErrorOk);
  ASSERT_EQ(steloxRectify(context, &pair), SteloxErrorOk);
  EXPECT_EQ(first, std::vector<unsigned char>(left.pixels.begin(), left.pixels.end()));
  SteloxImage image;
  steloxGetImage(context, SteloxImageTypeRectified, SteloxCameraLeft, &image);
  EXPECT_EQ(image.data, first.data());
  ASSERT_EQ(steloxUnsetImageBuffer(context, SteloxImageTypeRectified, SteloxCameraLeft), SteloxErrorOk);
  ASSERT_EQ(steloxSetImageBuffer(context, second.data(), SteloxImageTypeRectified, SteloxCameraLeft), SteloxErrorOk);
  ASSERT_EQ(steloxRectify(context, &pair), SteloxErrorOk);
  EXPECT_EQ(second, first);

  std::vector<unsigned short> disparity(40 * 60);
  EXPECT_EQ(steloxSetImage16Buffer(context, disparity.data(), SteloxImage16TypeDisparity, SteloxCameraLeft),
            SteloxErrorInvalidCamera);
  ASSERT_EQ(steloxSetImage16Buffer(context, disparity.data(), SteloxImage16TypeDisparity, SteloxCameraRight),
            SteloxErrorOk);
  ASSERT_EQ(steloxStereo(context), SteloxErrorOk);
  EXPECT_EQ(disparity[0], 0xFF00 + 253);
  ASSERT_EQ(steloxUnsetImage16Buffer(context, SteloxImage16TypeDisparity, SteloxCameraRight), SteloxErrorOk);

  std::vector<SteloxColorPixel> colour(40 * 60);
  EXPECT_EQ(steloxSetColorImageBuffer(context, colour.data(), static_cast<SteloxCamera>(-1)),
            SteloxErrorInvalidCamera);
  ASSERT_EQ(steloxSetColorImageBuffer(context, colour.data(), SteloxCameraRight), SteloxErrorOk);
  ASSERT_EQ(steloxUnsetColorImageBuffer(context, SteloxCameraRight), SteloxErrorOk);
  ASSERT_EQ(steloxUnsetColorImageBuffer(context, SteloxCameraRight), SteloxErrorOk);
}

TEST(PipelineApi, PairsFromBuffers)
{
  unsigned char pixels[4] = {};
  const SteloxImage good = {1, 2, 2, pixels};
  struct Case {
    SteloxImage right, left;
    SteloxError expected;
  } cases[] = {
      {good, good, SteloxErrorOk},
      {good, {1, 0, 2, pixels}, SteloxErrorInvalidSourceResolution},
      {{-1, 2, 2, pixels}, good, SteloxErrorInvalidSourceResolution},
      {good, {1, 2, 2, nullptr}, SteloxErrorNullBuffer},
      {{0, 0, 0, nullptr}, good, SteloxErrorNullBuffer},
  };
  for (const Case& test : cases) {
    SteloxMonoStereoPair pair;
    std::memset(&pair, 0x5A, sizeof(pair));
    EXPECT_EQ(steloxBuildMonoStereoPairFromBuffers(&test.right, &test.left, &pair), test.expected);
    if (test.expected == SteloxErrorOk) {
      EXPECT_EQ(pair.left.data, pixels);
      EXPECT_EQ(pair.right.rowIncrement, 2);
    } else {
      const SteloxMonoStereoPair zero = {};
      EXPECT_EQ(std::memcmp(&pair, &zero, sizeof(pair)), 0);
    }
  }
  SteloxMonoStereoPair pair;
  EXPECT_EQ(steloxBuildMonoStereoPairFromBuffers(nullptr, &good, &pair), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxBuildMonoStereoPairFromBuffers(&good, &good, nullptr), SteloxErrorNullBuffer);
  SteloxColorPixel colour[2] = {};
  const SteloxColorImage colourImage = {1, 2, 8, colour};
  const SteloxColorImage empty = {1, 0, 8, colour};
  SteloxColorStereoPair colourPair;
  EXPECT_EQ(steloxBuildColorStereoPairFromBuffers(&colourImage, &empty, &colourPair),
            SteloxErrorInvalidSourceResolution);
  EXPECT_EQ(colourPair.right.data, nullptr);
  EXPECT_EQ(steloxBuildColorStereoPairFromBuffers(&colourImage, &colourImage, &colourPair), SteloxErrorOk);
}

// A window of the source frame: refused while it is empty, outside the
// source, or of another aspect than the output.
TEST(PipelineApi, RegionOfInterest)
{
  ContextHandle context(configuration());
  EXPECT_EQ(steloxSetRoi(context, SteloxROI{-1, 0, 10, 10}), SteloxErrorInvalidSetting);
  EXPECT_EQ(steloxSetRoi(context, SteloxROI{0, 0, 0, 10}), SteloxErrorInvalidSetting);
  ASSERT_EQ(steloxSetRoiOn(context, 1), SteloxErrorOk);
  EXPECT_EQ(steloxSetResolution(context, 20, 30), SteloxErrorInvalidRoi);

  ASSERT_EQ(steloxSetRectify(context, 0), SteloxErrorOk);
  RawImage right(40, 60, 4, 1), left(40, 60, 4, 2);
  SteloxMonoStereoPair pair = {right.image, left.image};
  ASSERT_EQ(steloxSetRoi(context, SteloxROI{30, 40, 20, 30}), SteloxErrorOk);
  ASSERT_EQ(steloxSetResolution(context, 20, 30), SteloxErrorOk);
  EXPECT_EQ(steloxRectify(context, &pair), SteloxErrorInvalidRoi);
  ASSERT_EQ(steloxSetRoi(context, SteloxROI{10, 20, 20, 30}), SteloxErrorOk);
  ASSERT_EQ(steloxSetResolution(context, 20, 40), SteloxErrorOk);
  EXPECT_EQ(steloxRectify(context, &pair), SteloxErrorRoiAspectRatioMismatch);
  ASSERT_EQ(steloxSetResolution(context, 40, 60), SteloxErrorOk);
  EXPECT_EQ(steloxRectify(context, &pair), SteloxErrorRectifyOffRoiOutputDiffer);
  ASSERT_EQ(steloxSetResolution(context, 20, 30), SteloxErrorOk);
  ASSERT_EQ(steloxRectify(context, &pair), SteloxErrorOk);
  SteloxImage image;
  ASSERT_EQ(steloxGetImage(context, SteloxImageTypeRectified, SteloxCameraRight, &image), SteloxErrorOk);
  ASSERT_EQ(image.rows, 20);
  ASSERT_EQ(image.cols, 30);
  EXPECT_EQ(image.data[0], right.pixels[10 * 64 + 20]);
  EXPECT_EQ(image.data[19 * image.rowIncrement + 29], right.pixels[29 * 64 + 49]);
  SteloxROI roi;
  steloxGetRoi(context, &roi);
  EXPECT_EQ(roi.col, 20);
}

}  // namespace
