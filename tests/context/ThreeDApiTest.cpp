// Disparities to 3D points and back, the world transform, transform files and
// 3D images through the C interface, ending with a synthetic rig whose 3D
// image must reproduce the scene's true depths.
#include "SyntheticPipeline.h"
#include "ZorTransform3d.h"
#include "context/ContextFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

using context_fixtures::ContextHandle;
using context_fixtures::configuration;
using context_fixtures::replaceLine;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Normalised focal lengths 0.625 and 0.625 with a 480 x 640 request: the
// rectified image is 640 x 640 with the output at offset (80, 0), f = 400
// pixels, the centre at (319.5, 319.5) in the rectified image and at
// (239.5, 319.5) in the output.
std::string withFocalLengths(const char* x = "0.625", const char* y = "0.625")
{
  return replaceLine(configuration(), "FocalLength", std::string("FocalLength ") + x + " " + y);
}

std::string tempPath(const std::string& name) { return testing::TempDir() + "stelox_3d_" + name; }

SteloxTransform identity()
{
  SteloxTransform t{};
  for (int i = 0; i < 4; ++i)
    t.matrix[i][i] = 1.0;
  return t;
}

SteloxTransform fromZor(const ZorTransform3d& zor)
{
  SteloxTransform t;
  std::memcpy(t.matrix, zor.data(), sizeof t.matrix);
  return t;
}

void expectMatrix(const SteloxTransform& got, const SteloxTransform& want, double tolerance)
{
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(got.matrix[r][c], want.matrix[r][c], tolerance) << "element " << r << ", " << c;
}

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string readText(const std::string& path)
{
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

TEST(ThreeDApi, PositionAndDisparityToPoint)
{
  ContextHandle context(withFocalLengths());
  ASSERT_NE(context.get(), nullptr);
  ASSERT_EQ(steloxSetResolution(context, 480, 640), SteloxErrorOk);
  float focal = 0, baseline = 0, centerRow = 0, centerCol = 0;
  ASSERT_EQ(steloxGetFocalLength(context, &focal), SteloxErrorOk);
  ASSERT_EQ(steloxGetBaseline(context, &baseline), SteloxErrorOk);
  ASSERT_EQ(steloxGetImageCenter(context, &centerRow, &centerCol), SteloxErrorOk);
  EXPECT_EQ(focal, 400.0f);
  EXPECT_FLOAT_EQ(baseline, 0.12f);
  EXPECT_EQ(centerRow, 239.5f);
  EXPECT_EQ(centerCol, 319.5f);

  // Disparity 10 at the centre: on the optical axis at 400 * 0.12 / 10.
  float x = -1, y = -1, z = -1;
  ASSERT_EQ(steloxRCDToXYZ(context, centerRow, centerCol, 10.0f, &x, &y, &z), SteloxErrorOk);
  EXPECT_FLOAT_EQ(z, 4.8f);
  EXPECT_EQ(x, 0.0f);
  EXPECT_EQ(y, 0.0f);

  // Away from the centre, each form gives the same point: k = 0.012.
  const float wantX = (200.0f - 319.5f) * 0.012f, wantY = (100.0f - 239.5f) * 0.012f;
  ASSERT_EQ(steloxRCDToXYZ(context, 100.0f, 200.0f, 10.0f, &x, &y, &z), SteloxErrorOk);
  EXPECT_FLOAT_EQ(x, wantX);
  EXPECT_FLOAT_EQ(y, wantY);
  EXPECT_FLOAT_EQ(z, 4.8f);
  float x2 = 0, y2 = 0, z2 = 0;
  ASSERT_EQ(steloxRCDFloatToXYZ(context, 100.0f, 200.0f, 10.0f, &x2, &y2, &z2), SteloxErrorOk);
  EXPECT_EQ(x2, x);
  EXPECT_EQ(y2, y);
  EXPECT_EQ(z2, z);
  ASSERT_EQ(steloxRCD16ToXYZ(context, 100, 200, 160, &x2, &y2, &z2), SteloxErrorOk);
  EXPECT_EQ(x2, x);
  EXPECT_EQ(y2, y);
  EXPECT_EQ(z2, z);
  float row = 0, col = 0, disparity = 0;
  ASSERT_EQ(steloxXYZToRCD(context, x, y, z, &row, &col, &disparity), SteloxErrorOk);
  EXPECT_NEAR(row, 100.0f, 1e-3f);
  EXPECT_NEAR(col, 200.0f, 1e-3f);
  EXPECT_NEAR(disparity, 10.0f, 1e-5f);
}

TEST(ThreeDApi, ConversionErrorsWriteNothing)
{
  ContextHandle context(withFocalLengths());
  ASSERT_EQ(steloxSetResolution(context, 480, 640), SteloxErrorOk);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* name;
    float row, col, disparity;
    SteloxError want;
  } cases[] = {
      {"row below 0", -0.01f, 10.0f, 5.0f, SteloxErrorInvalidCoordinates},
      {"row at the row count", 480.0f, 10.0f, 5.0f, SteloxErrorInvalidCoordinates},
      {"col at the col count", 10.0f, 640.0f, 5.0f, SteloxErrorInvalidCoordinates},
      {"col below 0", 10.0f, -1.0f, 5.0f, SteloxErrorInvalidCoordinates},
      {"row NaN", nan, 10.0f, 5.0f, SteloxErrorInvalidCoordinates},
      {"position checked first", -1.0f, 10.0f, 0.0f, SteloxErrorInvalidCoordinates},
      {"disparity 0", 10.0f, 10.0f, 0.0f, SteloxErrorNonPositiveDisparity},
      {"disparity negative", 10.0f, 10.0f, -2.0f, SteloxErrorNonPositiveDisparity},
      {"disparity NaN", 10.0f, 10.0f, nan, SteloxErrorNonPositiveDisparity},
      {"last position", 479.9f, 639.9f, 5.0f, SteloxErrorOk},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    for (auto convert : {steloxRCDToXYZ, steloxRCDFloatToXYZ, steloxRCDToWorldXYZ, steloxRCDFloatToWorldXYZ}) {
      float x = 7, y = 7, z = 7;
      EXPECT_EQ(convert(context, test.row, test.col, test.disparity, &x, &y, &z), test.want);
      if (test.want != SteloxErrorOk) {
        EXPECT_EQ(x, 7.0f);
        EXPECT_EQ(y, 7.0f);
        EXPECT_EQ(z, 7.0f);
      }
    }
  }
  float a = 7, b = 7, c = 7;
  for (auto convert16 : {steloxRCD16ToXYZ, steloxRCD16ToWorldXYZ}) {
    EXPECT_EQ(convert16(context, 10, 10, 0, &a, &b, &c), SteloxErrorNonPositiveDisparity);
    EXPECT_EQ(convert16(context, 480, 10, 16, &a, &b, &c), SteloxErrorInvalidCoordinates);
    EXPECT_EQ(convert16(context, 10, 10, 16, &a, nullptr, &c), SteloxErrorNullBuffer);
    EXPECT_EQ(convert16(nullptr, 10, 10, 16, &a, &b, &c), SteloxErrorInvalidContext);
  }
  for (auto inverse : {steloxXYZToRCD, steloxWorldXYZToRCD}) {
    EXPECT_EQ(inverse(context, 1.0f, 1.0f, 0.0f, &a, &b, &c), SteloxErrorNonPositiveDistance);
    EXPECT_EQ(inverse(context, 1.0f, 1.0f, -3.0f, &a, &b, &c), SteloxErrorNonPositiveDistance);
    EXPECT_EQ(inverse(context, 1.0f, 1.0f, nan, &a, &b, &c), SteloxErrorNonPositiveDistance);
    EXPECT_EQ(inverse(context, 1.0f, 1.0f, 2.0f, nullptr, &b, &c), SteloxErrorNullBuffer);
    EXPECT_EQ(inverse(nullptr, 1.0f, 1.0f, 2.0f, &a, &b, &c), SteloxErrorInvalidContext);
  }
  EXPECT_EQ(a, 7.0f);
  EXPECT_EQ(b, 7.0f);
  EXPECT_EQ(c, 7.0f);
  EXPECT_EQ(steloxRCDToXYZ(context, 1.0f, 1.0f, 1.0f, nullptr, &b, &c), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxGetImageCenter(context, &a, nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxGetImageCenter(nullptr, &a, &b), SteloxErrorInvalidContext);
}

// Points computed from random positions convert back to them, with the
// output placed inside a taller rectified image, in region-of-interest mode
// and after a world transform.
TEST(ThreeDApi, PointToPositionInvertsPositionToPoint)
{
  ContextHandle offset(withFocalLengths());
  ContextHandle region(withFocalLengths("0.75", "1.0"));
  ASSERT_EQ(steloxSetResolution(offset, 480, 640), SteloxErrorOk);
  ASSERT_EQ(steloxSetSourceResolution(region, 480, 640), SteloxErrorOk);
  ASSERT_EQ(steloxSetRoi(region, SteloxROI{60, 80, 120, 160}), SteloxErrorOk);
  ASSERT_EQ(steloxSetRoiOn(region, 1), SteloxErrorOk);
  ASSERT_EQ(steloxSetResolution(region, 240, 320), SteloxErrorOk);
  const SteloxTransform world = fromZor(ZorTransform3d(0.3, -1.5, 2.0, 0.2, -0.4, 1.1));

  std::mt19937 random(11);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (const bool useWorld : {false, true}) {
    for (SteloxContext context : {offset.get(), region.get()}) {
      SCOPED_TRACE(std::string(context == offset.get() ? "output offset" : "region of interest") +
                   (useWorld ? ", world" : ", camera"));
      if (useWorld) {
        ASSERT_EQ(steloxSetSteloxToWorldTransform(context, &world), SteloxErrorOk);
      }
      int rows = 0, cols = 0;
      ASSERT_EQ(steloxGetResolution(context, &rows, &cols), SteloxErrorOk);
      for (int i = 0; i < 200; ++i) {
        const float row = unit(random) * (rows - 1), col = unit(random) * (cols - 1);
        const float disparity = 0.5f + unit(random) * 100.0f;
        float x = 0, y = 0, z = 0, backRow = 0, backCol = 0, backDisparity = 0;
        if (useWorld) {
          ASSERT_EQ(steloxRCDToWorldXYZ(context, row, col, disparity, &x, &y, &z), SteloxErrorOk);
          ASSERT_EQ(steloxWorldXYZToRCD(context, x, y, z, &backRow, &backCol, &backDisparity), SteloxErrorOk);
        } else {
          ASSERT_EQ(steloxRCDToXYZ(context, row, col, disparity, &x, &y, &z), SteloxErrorOk);
          ASSERT_EQ(steloxXYZToRCD(context, x, y, z, &backRow, &backCol, &backDisparity), SteloxErrorOk);
        }
        EXPECT_NEAR(backRow, row, 2e-3f * std::max(1.0f, 100.0f / disparity));
        EXPECT_NEAR(backCol, col, 2e-3f * std::max(1.0f, 100.0f / disparity));
        EXPECT_NEAR(backDisparity, disparity, 1e-5f * disparity);
      }
    }
  }
}

// A region position is the position (region corner x scale) further on in
// the rectified frame of a full-frame context at the region's scale: both
// give the same point.
TEST(ThreeDApi, RegionPositionsAreFramePositions)
{
  ContextHandle full(withFocalLengths("0.75", "1.0"));
  ContextHandle region(withFocalLengths("0.75", "1.0"));
  ASSERT_EQ(steloxSetResolution(full, 960, 1280), SteloxErrorOk);
  ASSERT_EQ(steloxSetSourceResolution(region, 480, 640), SteloxErrorOk);
  ASSERT_EQ(steloxSetRoi(region, SteloxROI{60, 80, 120, 160}), SteloxErrorOk);
  ASSERT_EQ(steloxSetRoiOn(region, 1), SteloxErrorOk);
  ASSERT_EQ(steloxSetResolution(region, 240, 320), SteloxErrorOk);
  for (const auto& position : {std::make_pair(0.0f, 0.0f), std::make_pair(17.25f, 300.5f), std::make_pair(239.0f, 3.0f)}) {
    float x = 0, y = 0, z = 0, fx = 0, fy = 0, fz = 0;
    ASSERT_EQ(steloxRCDToXYZ(region, position.first, position.second, 12.0f, &x, &y, &z), SteloxErrorOk);
    ASSERT_EQ(steloxRCDToXYZ(full, position.first + 120.0f, position.second + 160.0f, 12.0f, &fx, &fy, &fz),
              SteloxErrorOk);
    EXPECT_FLOAT_EQ(x, fx);
    EXPECT_FLOAT_EQ(y, fy);
    EXPECT_FLOAT_EQ(z, fz);
  }
}

TEST(ThreeDApi, WorldTransform)
{
  ContextHandle context(withFocalLengths());
  ASSERT_EQ(steloxSetResolution(context, 480, 640), SteloxErrorOk);
  SteloxTransform got;
  ASSERT_EQ(steloxGetSteloxToWorldTransform(context, &got), SteloxErrorOk);
  expectMatrix(got, identity(), 0.0);

  // The translation column is divided by m33; the rotation is kept as given.
  SteloxTransform scaled = fromZor(ZorTransform3d(0.0, 0.0, 0.0, 0.1, 0.2, -0.3));
  scaled.matrix[0][3] = 1.0;
  scaled.matrix[1][3] = 2.0;
  scaled.matrix[2][3] = 3.0;
  scaled.matrix[3][3] = 2.0;
  ASSERT_EQ(steloxSetSteloxToWorldTransform(context, &scaled), SteloxErrorOk);
  ASSERT_EQ(steloxGetSteloxToWorldTransform(context, &got), SteloxErrorOk);
  SteloxTransform want = scaled;
  want.matrix[0][3] = 0.5;
  want.matrix[1][3] = 1.0;
  want.matrix[2][3] = 1.5;
  want.matrix[3][3] = 1.0;
  expectMatrix(got, want, 0.0);

  // World point = R * camera point + t.
  float cx = 0, cy = 0, cz = 0, wx = 0, wy = 0, wz = 0;
  ASSERT_EQ(steloxRCDToXYZ(context, 100.0f, 200.0f, 8.0f, &cx, &cy, &cz), SteloxErrorOk);
  ASSERT_EQ(steloxRCDToWorldXYZ(context, 100.0f, 200.0f, 8.0f, &wx, &wy, &wz), SteloxErrorOk);
  const double camera[3] = {cx, cy, cz};
  const float world[3] = {wx, wy, wz};
  for (int r = 0; r < 3; ++r) {
    double expected = want.matrix[r][3];
    for (int c = 0; c < 3; ++c)
      expected += want.matrix[r][c] * camera[c];
    EXPECT_NEAR(world[r], expected, 1e-5);
  }

  // Refused matrices leave the transform as it was.
  struct Case {
    const char* name;
    int row;
    int col;
    SteloxError want;
  } refused[] = {
      {"rotation row 0 zero", 0, -1, SteloxErrorSingularRotationMatrix},
      {"rotation row 2 zero", 2, -1, SteloxErrorSingularRotationMatrix},
      {"m33 zero", 3, 3, SteloxErrorInvalidParameter},
  };
  for (const Case& test : refused) {
    SCOPED_TRACE(test.name);
    SteloxTransform bad = identity();
    if (test.col < 0)
      bad.matrix[test.row][0] = bad.matrix[test.row][1] = bad.matrix[test.row][2] = 0.0;
    else
      bad.matrix[test.row][test.col] = 0.0;
    EXPECT_EQ(steloxSetSteloxToWorldTransform(context, &bad), test.want);
    ASSERT_EQ(steloxGetSteloxToWorldTransform(context, &got), SteloxErrorOk);
    expectMatrix(got, want, 0.0);
  }
  EXPECT_EQ(steloxSetSteloxToWorldTransform(context, nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxGetSteloxToWorldTransform(context, nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxSetSteloxToWorldTransform(nullptr, &want), SteloxErrorInvalidContext);
  EXPECT_EQ(steloxGetSteloxToWorldTransform(nullptr, &got), SteloxErrorInvalidContext);
}

// A copy carries the matrix exactly as set, even one that is not a proper
// rotation, and the inverse used by the world-to-image conversion.
TEST(ThreeDApi, CopiedContextKeepsTheWorldTransform)
{
  ContextHandle context(withFocalLengths());
  ASSERT_EQ(steloxSetResolution(context, 480, 640), SteloxErrorOk);
  SteloxTransform stretched = fromZor(ZorTransform3d(1.0, 2.0, 3.0, 0.4, 0.1, -0.2));
  for (int r = 0; r < 3; ++r)
    stretched.matrix[r][0] *= 2.0;
  ASSERT_EQ(steloxSetSteloxToWorldTransform(context, &stretched), SteloxErrorOk);
  ContextHandle copy;
  ASSERT_EQ(steloxCopyContext(context, copy.out()), SteloxErrorOk);
  SteloxTransform got;
  ASSERT_EQ(steloxGetSteloxToWorldTransform(copy, &got), SteloxErrorOk);
  expectMatrix(got, stretched, 0.0);
  float row = 0, col = 0, disparity = 0, copyRow = 0, copyCol = 0, copyDisparity = 0;
  ASSERT_EQ(steloxWorldXYZToRCD(context, 0.5f, -0.5f, 6.0f, &row, &col, &disparity), SteloxErrorOk);
  ASSERT_EQ(steloxWorldXYZToRCD(copy, 0.5f, -0.5f, 6.0f, &copyRow, &copyCol, &copyDisparity), SteloxErrorOk);
  EXPECT_EQ(copyRow, row);
  EXPECT_EQ(copyCol, col);
  EXPECT_EQ(copyDisparity, disparity);
}

TEST(ThreeDApi, TransformFilesRoundTripProperRotations)
{
  const std::string path = tempPath("round_trip.txt");
  const SteloxTransform known = fromZor(ZorTransform3d(0.5, -1.25, 2.0, 0.1, -0.2, 0.3));
  ASSERT_EQ(steloxWriteTransformToFile(path.c_str(), &known), SteloxErrorOk);
  EXPECT_EQ(readText(path), "Rx\t0.100000\nRy\t-0.200000\nRz\t0.300000\nTx\t0.500000\nTy\t-1.250000\nTz\t2.000000\n");

  std::mt19937 random(5);
  std::uniform_real_distribution<double> angle(-kPi, kPi), tilt(-kPi / 2 + 0.01, kPi / 2 - 0.01),
      shift(-10.0, 10.0);
  for (int i = 0; i < 50; ++i) {
    const SteloxTransform written =
        fromZor(ZorTransform3d(shift(random), shift(random), shift(random), angle(random), tilt(random), angle(random)));
    ASSERT_EQ(steloxWriteTransformToFile(path.c_str(), &written), SteloxErrorOk);
    SteloxTransform read = identity();
    ASSERT_EQ(steloxGetTransformFromFile(path.c_str(), &read), SteloxErrorOk);
    // Six decimals of each angle move a rotation element by at most 1.5e-6.
    expectMatrix(read, written, 2e-6);
  }
  std::remove(path.c_str());
}

TEST(ThreeDApi, TransformFileReading)
{
  const std::string path = tempPath("read.txt");
  const SteloxTransform expected = fromZor(ZorTransform3d(4.0, 5.0, 6.0, 0.1, 0.2, 0.3));
  writeText(path, "// camera 2 to the robot base; Rx 9 here is no key\n"
                  "Tz\t6.000000\nTy 5\n  Tx 4.0 Rz 0.3\n// Ry 8\nRy\t0.2\nRx\t0.100000\n");
  SteloxTransform read = identity();
  ASSERT_EQ(steloxGetTransformFromFile(path.c_str(), &read), SteloxErrorOk);
  expectMatrix(read, expected, 1e-15);

  const SteloxTransform untouched = fromZor(ZorTransform3d(7.0, 8.0, 9.0, 0.7, 0.8, 0.9));
  const std::string keys = "Rx 0.1\nRy 0.2\nRz 0.3\nTx 4\nTy 5\n";
  struct Case {
    const char* name;
    std::string text;
  } corrupt[] = {
      {"missing key", keys},
      {"key only in a comment", keys + "// Tz 6\n"},
      {"missing value", keys + "Tz\n"},
      {"value not a number", keys + "Tz six\n"},
      {"overlong word", std::string(728, 'x') + "\n" + keys + "Tz 6\n"},
      {"overlong value", keys + "Tz 6" + std::string(800, '0') + "\n"},
      {"empty", ""},
  };
  for (const Case& test : corrupt) {
    SCOPED_TRACE(test.name);
    writeText(path, test.text);
    read = untouched;
    EXPECT_EQ(steloxGetTransformFromFile(path.c_str(), &read), SteloxErrorCorruptTransformFile);
    expectMatrix(read, untouched, 0.0);
  }
  writeText(path, std::string(727, 'x') + "\n" + keys + "Tz 6\n");
  EXPECT_EQ(steloxGetTransformFromFile(path.c_str(), &read), SteloxErrorOk);

  read = untouched;
  EXPECT_EQ(steloxGetTransformFromFile(tempPath("no_such_file").c_str(), &read), SteloxErrorCorruptTransformFile);
  EXPECT_EQ(steloxGetTransformFromFile(testing::TempDir().c_str(), &read), SteloxErrorCorruptTransformFile);
  expectMatrix(read, untouched, 0.0);
  EXPECT_EQ(steloxGetTransformFromFile(nullptr, &read), SteloxErrorInvalidFilename);
  EXPECT_EQ(steloxGetTransformFromFile(path.c_str(), nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxWriteTransformToFile((testing::TempDir() + "no_such_dir/t.txt").c_str(), &untouched),
            SteloxErrorCorruptTransformFile);
  EXPECT_EQ(steloxWriteTransformToFile("/dev/full", &untouched), SteloxErrorCorruptTransformFile);
  EXPECT_EQ(steloxWriteTransformToFile(nullptr, &untouched), SteloxErrorInvalidFilename);
  EXPECT_EQ(steloxWriteTransformToFile(path.c_str(), nullptr), SteloxErrorNullBuffer);
  std::remove(path.c_str());
}

// Owns a 3D image of the interface for the length of a test.
struct Image3dHandle {
  ~Image3dHandle() { steloxDestroyImage3d(&image); }
  SteloxImage3d* image = nullptr;
};

// Extraction from a disparity image of the caller's with chosen values:
// every valid pixel gives the point of the single-position conversion at the
// same place of the output, invalid codes and 0 give (0, 0, 0), and the world
// image is the camera image moved by the world transform.
TEST(ThreeDApi, ExtractionFromADisparityImage)
{
  ContextHandle context(withFocalLengths());
  ASSERT_EQ(steloxSetResolution(context, 480, 640), SteloxErrorOk);
  Image3dHandle camera, world;
  ASSERT_EQ(steloxCreateImage3d(context, &camera.image), SteloxErrorOk);
  ASSERT_EQ(steloxCreateImage3d(context, &world.image), SteloxErrorOk);
  ASSERT_NE(camera.image->points, nullptr);
  EXPECT_EQ(camera.image->rows, 640);
  EXPECT_EQ(camera.image->cols, 640);
  EXPECT_EQ(camera.image->rowIncrement, 640 * 12);

  // No stereo run yet: no disparity image of the rectified size.
  EXPECT_EQ(steloxExtractImage3d(context, camera.image), SteloxErrorDisparitySizeMismatch);

  const int rows = 640, cols = 640, offsetRow = 80;
  std::vector<unsigned short> disparity(static_cast<std::size_t>(rows) * cols);
  std::mt19937 random(3);
  const unsigned short invalid[] = {0, 0xFF00, 0xFFFB, 0xFFFC, 0xFFFD, 0xFFFF};
  for (unsigned short& value : disparity)
    value = random() % 4 == 0 ? invalid[random() % 6] : static_cast<unsigned short>(1 + random() % 0xFEFF);
  ASSERT_EQ(steloxSetImage16Buffer(context, disparity.data(), SteloxImage16TypeDisparity, SteloxCameraReference),
            SteloxErrorOk);
  const SteloxTransform transform = fromZor(ZorTransform3d(-2.0, 0.5, 1.0, 0.3, -0.1, 0.6));
  ASSERT_EQ(steloxSetSteloxToWorldTransform(context, &transform), SteloxErrorOk);
  ASSERT_EQ(steloxExtractImage3d(context, camera.image), SteloxErrorOk);
  ASSERT_EQ(steloxExtractWorldImage3d(context, world.image), SteloxErrorOk);

  long valid = 0;
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j) {
      const unsigned short g = disparity[static_cast<std::size_t>(i) * cols + j];
      const SteloxPoint3d& p = camera.image->points[i * cols + j];
      const SteloxPoint3d& w = world.image->points[i * cols + j];
      if (g == 0 || g >= 0xFF00) {
        ASSERT_TRUE(p.x == 0 && p.y == 0 && p.z == 0 && w.x == 0 && w.y == 0 && w.z == 0) << i << ", " << j;
        continue;
      }
      ++valid;
      ASSERT_NEAR(p.z, 48.0 * 16.0 / g, 1e-6 * p.z) << i << ", " << j;
      const double point[3] = {p.x, p.y, p.z};
      const float moved[3] = {w.x, w.y, w.z};
      for (int r = 0; r < 3; ++r) {
        double expected = transform.matrix[r][3];
        for (int c = 0; c < 3; ++c)
          expected += transform.matrix[r][c] * point[c];
        ASSERT_NEAR(moved[r], expected, 1e-5 * (1.0 + std::fabs(expected)));
      }
      if (i < offsetRow || i >= offsetRow + 480)
        continue;
      float x = 0, y = 0, z = 0;
      ASSERT_EQ(steloxRCD16ToXYZ(context, i - offsetRow, j, g, &x, &y, &z), SteloxErrorOk);
      ASSERT_NEAR(p.x, x, 1e-5 * (1.0f + std::fabs(x)));
      ASSERT_NEAR(p.y, y, 1e-5 * (1.0f + std::fabs(y)));
      ASSERT_NEAR(p.z, z, 1e-5 * z);
    }
  EXPECT_GT(valid, rows * cols / 2);

  // Records that do not fit the rectified size, or have no room for a row.
  struct Case {
    const char* name;
    int rows, cols, rowIncrement;
    bool nullPoints;
    SteloxError want;
  } bad[] = {
      {"one row fewer", 639, 640, 640 * 12, false, SteloxErrorImage3dSizeMismatch},
      {"one col more", 640, 641, 641 * 12, false, SteloxErrorImage3dSizeMismatch},
      {"output size instead of rectified", 480, 640, 640 * 12, false, SteloxErrorImage3dSizeMismatch},
      {"rows overlap", 640, 640, 639 * 12 + 11, false, SteloxErrorInvalidRowIncrement},
      {"negative row increment", 640, 640, -640 * 12, false, SteloxErrorInvalidRowIncrement},
      {"no points", 640, 640, 640 * 12, true, SteloxErrorNullBuffer},
  };
  for (const Case& test : bad) {
    SCOPED_TRACE(test.name);
    SteloxImage3d record = *camera.image;
    record.rows = test.rows;
    record.cols = test.cols;
    record.rowIncrement = test.rowIncrement;
    if (test.nullPoints)
      record.points = nullptr;
    EXPECT_EQ(steloxExtractImage3d(context, &record), test.want);
    EXPECT_EQ(steloxExtractWorldImage3d(context, &record), test.want);
  }
  EXPECT_EQ(steloxExtractImage3d(context, nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxExtractImage3d(nullptr, camera.image), SteloxErrorInvalidContext);

  // A wider row increment spaces the rows as asked (rounded down to points).
  std::vector<SteloxPoint3d> padded(static_cast<std::size_t>(rows) * (cols + 3));
  SteloxImage3d spaced = {rows, cols, (cols + 3) * 12 + 5, padded.data()};
  ASSERT_EQ(steloxExtractImage3d(context, &spaced), SteloxErrorOk);
  for (int i : {0, 1, 333, 639})
    EXPECT_EQ(std::memcmp(&padded[static_cast<std::size_t>(i) * (cols + 3)], &camera.image->points[i * cols],
                          cols * sizeof(SteloxPoint3d)),
              0)
        << "row " << i;
  ASSERT_EQ(steloxSetImage16Buffer(context, nullptr, SteloxImage16TypeDisparity, SteloxCameraReference),
            SteloxErrorOk);
}

TEST(ThreeDApi, CreatingAndDestroyingImages)
{
  ContextHandle context(withFocalLengths());
  ASSERT_EQ(steloxSetResolution(context, 480, 640), SteloxErrorOk);
  SteloxImage3d* image = nullptr;
  EXPECT_EQ(steloxCreateImage3d(context, nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxCreateImage3d(nullptr, &image), SteloxErrorInvalidContext);
  EXPECT_EQ(image, nullptr);
  ASSERT_EQ(steloxCreateImage3d(context, &image), SteloxErrorOk);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(steloxDestroyImage3d(&image), SteloxErrorOk);
  EXPECT_EQ(image, nullptr);
  EXPECT_EQ(steloxDestroyImage3d(&image), SteloxErrorOk);
  EXPECT_EQ(steloxDestroyImage3d(nullptr), SteloxErrorOk);

  // The size follows the resolution of the moment.
  ASSERT_EQ(steloxSetResolution(context, 48, 64), SteloxErrorOk);
  ASSERT_EQ(steloxCreateImage3d(context, &image), SteloxErrorOk);
  EXPECT_EQ(image->rows, 64);
  EXPECT_EQ(image->cols, 64);
  steloxDestroyImage3d(&image);
}

// A rendered rig pair, rectified and matched with the default settings: the
// depths of the extracted 3D image against the depths the rays of the
// rectified camera meet in the scene. The nearest object has about 96 pixels
// of disparity and the back wall 12: at the usual 6 pixels a single
// sixteenth of a pixel is already a 1 % depth error.
TEST(ThreeDApi, ExtractedImageReproducesTheSceneDepths)
{
  SteloxRun::RigCase rigCase;
  rigCase.distortion = true;
  const SteloxRig::RigModel rig = SteloxRun::makeRig(rigCase);
  SteloxRig::CalibrationWriter writer;
  writer.addConfiguration(rig);
  const std::string calibration = writer.text();
  const SteloxRig::SyntheticScene scene = SteloxRig::SyntheticScene::forRig(rig, 9, 96.0);
  const SteloxRig::StereoRendering rendering = SteloxRig::StereoRenderer(rig, scene).render();
  SteloxImage right = {rig.rows(), rig.cols(), rowInc(rendering.rawGrey[0]), rendering.rawGrey[0].bufferptr()};
  SteloxImage left = {rig.rows(), rig.cols(), rowInc(rendering.rawGrey[1]), rendering.rawGrey[1].bufferptr()};
  SteloxMonoStereoPair pair;
  ASSERT_EQ(steloxBuildMonoStereoPairFromBuffers(&right, &left, &pair), SteloxErrorOk);

  ContextHandle context(calibration);
  ASSERT_NE(context.get(), nullptr);
  ASSERT_EQ(steloxSetResolution(context, rig.rows(), rig.cols()), SteloxErrorOk);
  ASSERT_EQ(steloxSetDisparity(context, 0, 128), SteloxErrorOk);
  ASSERT_EQ(steloxRectify(context, &pair), SteloxErrorOk);
  ASSERT_EQ(steloxStereo(context), SteloxErrorOk);
  Image3dHandle points;
  ASSERT_EQ(steloxCreateImage3d(context, &points.image), SteloxErrorOk);
  ASSERT_EQ(points.image->rows, rig.rows());
  ASSERT_EQ(points.image->cols, rig.cols());
  ASSERT_EQ(steloxExtractImage3d(context, points.image), SteloxErrorOk);

  std::vector<double> depthErrors, pointErrors;
  for (int i = 0; i < rig.rows(); ++i)
    for (int j = 0; j < rig.cols(); ++j) {
      const SteloxPoint3d& p = points.image->points[i * rig.cols() + j];
      if (p.z == 0.0f)
        continue;
      const cv::Vec3d ray = rig.rectifiedRay(i, j);
      SteloxRig::SceneHit hit;
      if (!scene.intersect(cv::Vec3d(0, 0, 0), ray, hit))
        continue;
      const cv::Vec3d truth = hit.t * ray;
      depthErrors.push_back(std::fabs(p.z - hit.depth) / hit.depth);
      pointErrors.push_back(cv::norm(cv::Vec3d(p.x, p.y, p.z) - truth) / cv::norm(truth));
    }
  ASSERT_GT(depthErrors.size(), static_cast<std::size_t>(rig.rows() * rig.cols() / 2));
  const auto median = [](std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
  };
  const double depthError = median(depthErrors), pointError = median(pointErrors);
  std::printf("[ figures  ] %zu valid points: median relative depth error %.3f %%, point error %.3f %%\n",
              depthErrors.size(), 100.0 * depthError, 100.0 * pointError);
  EXPECT_LT(depthError, 0.01);
  EXPECT_LT(pointError, 0.01);
}

}  // namespace
