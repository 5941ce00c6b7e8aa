/* A plain C99 program using only <stelox.h>: the version and message texts
 * must come back exactly. Exit status 0 when all hold. */
#include <stelox.h>

#include <stdio.h>
#include <string.h>

static int failures = 0;

static void expectText(const char* got, const char* want) {
  if (strcmp(got, want) != 0) {
    fprintf(stderr, "expected \"%s\", got \"%s\"\n", want, got);
    ++failures;
  }
}

/* A two-lens calibration with placeholder warp tables. */
static const char* const kCalibration =
    "Version \"GEMLO 4.0\"\nProduct gemlo\nSerialNumber 77\nPartId GM2-C\n"
    "FocalLength 0.8 1.1\nImageCenter 0.5 0.5\nBaseLine 0.12\nResolution 480 640\n"
    "CameraConfiguration 2CameraHorizontal\n"
    "BeginCamera\nId 0\nPosition 0 0 0\nGain 1.0\nRectifiedSpline 1 2\nDistortedSpline 3 4\nEndCamera\n"
    "BeginCamera\nId 1\nPosition -1 0 0\nGain 1.0\nRectifiedSpline 1 2\nDistortedSpline 3 4\nEndCamera\n"
    "BeginWarp\nId 1\nNumberKnots 5\nKnotsX 0 0 0 0 1\nKnotsY 0 0 0 0 1\nNumberCoefs 1 1\nCoefs 0.5\nEndWarp\n"
    "BeginWarp\nId 2\nNumberKnots 5\nKnotsX 0 0 0 0 1\nKnotsY 0 0 0 0 1\nNumberCoefs 1 1\nCoefs 0.5\nEndWarp\n"
    "BeginWarp\nId 3\nNumberKnots 5\nKnotsX 0 0 0 0 1\nKnotsY 0 0 0 0 1\nNumberCoefs 1 1\nCoefs 0.5\nEndWarp\n"
    "BeginWarp\nId 4\nNumberKnots 5\nKnotsX 0 0 0 0 1\nKnotsY 0 0 0 0 1\nNumberCoefs 1 1\nCoefs 0.5\nEndWarp\n";

/* Loads a context, sets parameters and runs one frame without
 * rectification; every call must give its documented result. */
static void checkContextFamilies(void) {
  SteloxContext context = NULL;
  SteloxContext copy = NULL;
  SteloxMonoStereoPair pair;
  SteloxImage right, left, image;
  SteloxImage16 disparity;
  static unsigned char pixels[2][24 * 32];
  int rows = 0, cols = 0, mask = 0, serial = 0;
  size_t i;

  if (steloxSetStereoMask(NULL, 9) != SteloxErrorInvalidContext) ++failures;
  if (steloxGetDefaultContextFromMemory(&context, NULL) != SteloxErrorNullBuffer || context != NULL) ++failures;
  if (steloxGetDefaultContextFromMemory(&context, kCalibration) != SteloxErrorOk) {
    fprintf(stderr, "the calibration does not load\n");
    ++failures;
    return;
  }
  if (steloxGetSerialNumber(context, &serial) != SteloxErrorOk || serial != 77) ++failures;
  if (steloxSetStereoMask(context, 8) != SteloxErrorInvalidSetting) ++failures;
  if (steloxSetStereoMask(context, 9) != SteloxErrorOk) ++failures;
  if (steloxGetStereoMask(context, &mask) != SteloxErrorOk || mask != 9) ++failures;
  if (steloxGetResolution(context, &rows, &cols) != SteloxErrorOk || rows != 480 || cols != 640) ++failures;
  if (steloxCopyContext(context, &copy) != SteloxErrorOk) ++failures;
  if (steloxDestroyContext(context) != SteloxErrorOk) ++failures;

  for (i = 0; i < sizeof(pixels[0]); ++i) {
    pixels[0][i] = (unsigned char)(i * 7);
    pixels[1][i] = (unsigned char)(i * 7 + 3);
  }
  right.rows = 24; right.cols = 32; right.rowIncrement = 32; right.data = pixels[0];
  left = right;
  left.data = pixels[1];
  if (steloxBuildMonoStereoPairFromBuffers(&right, &left, &pair) != SteloxErrorOk) ++failures;
  if (steloxSetRectify(copy, 0) != SteloxErrorOk) ++failures;
  if (steloxStereo(copy) != SteloxErrorRectificationNotDone) ++failures;
  if (steloxRectify(copy, &pair) != SteloxErrorOk) ++failures;
  if (steloxStereo(copy) != SteloxErrorOk) ++failures;
  if (steloxGetImage(copy, SteloxImageTypeRectified, SteloxCameraLeft, &image) != SteloxErrorOk ||
      image.rows != 24 || image.cols != 32 || image.data[5] != pixels[1][5])
    ++failures;
  if (steloxGetImage16(copy, SteloxImage16TypeDisparity, SteloxCameraReference, &disparity) != SteloxErrorOk ||
      disparity.data == NULL)
    ++failures;
  if (steloxDestroyContext(copy) != SteloxErrorOk) ++failures;
}

static int near(float a, float b, float tolerance) { return a - b <= tolerance && b - a <= tolerance; }

/* Transform files and 3D conversion reach C callers under plain C names: a
 * transform written and read back, and a point and its position. */
static void checkThreeDFamily(void) {
  static const char* const kTransformFile = "stelox_c_interface_check.trans";
  SteloxContext context = NULL;
  SteloxTransform written, read;
  SteloxImage3d* image = NULL;
  float x = 0, y = 0, z = 0, row = 0, col = 0, disparity = 0;
  int r, c;

  memset(&written, 0, sizeof written);
  for (r = 0; r < 4; ++r) written.matrix[r][r] = 1.0;
  written.matrix[0][3] = 1.5;
  memset(&read, 0, sizeof read);
  if (steloxWriteTransformToFile(kTransformFile, &written) != SteloxErrorOk) ++failures;
  if (steloxGetTransformFromFile(kTransformFile, &read) != SteloxErrorOk) ++failures;
  for (r = 0; r < 4; ++r)
    for (c = 0; c < 4; ++c)
      if (read.matrix[r][c] != written.matrix[r][c]) ++failures;
  remove(kTransformFile);

  if (steloxGetDefaultContextFromMemory(&context, kCalibration) != SteloxErrorOk) {
    ++failures;
    return;
  }
  if (steloxSetSteloxToWorldTransform(context, &written) != SteloxErrorOk) ++failures;
  if (steloxRCDToWorldXYZ(context, 100.0f, 200.0f, 8.0f, &x, &y, &z) != SteloxErrorOk) ++failures;
  if (steloxWorldXYZToRCD(context, x, y, z, &row, &col, &disparity) != SteloxErrorOk ||
      !near(row, 100.0f, 0.01f) || !near(col, 200.0f, 0.01f) || !near(disparity, 8.0f, 0.001f))
    ++failures;
  if (steloxCreateImage3d(context, &image) != SteloxErrorOk || image == NULL) ++failures;
  if (steloxDestroyImage3d(&image) != SteloxErrorOk || image != NULL) ++failures;
  steloxDestroyContext(context);
}

/* The OpenCV matchers run for a C caller that links the library alone. */
static void checkOpenCVFamily(void) {
  SteloxContext context = NULL;
  SteloxMonoStereoPair pair;
  SteloxImage right, left;
  SteloxImage16 disparity;
  SteloxStereoAlgorithm algorithm = SteloxStereoAlgorithmCorrelation;
  static unsigned char pixels[2][24 * 32];
  int minimum = 0, count = 0;
  size_t i;

  if (steloxGetDefaultContextFromMemory(&context, kCalibration) != SteloxErrorOk) {
    ++failures;
    return;
  }
  for (i = 0; i < sizeof(pixels[0]); ++i) {
    pixels[0][i] = (unsigned char)((i * 2654435761u) >> 24);
    pixels[1][i] = (unsigned char)(((i - 2) * 2654435761u) >> 24);
  }
  right.rows = 24; right.cols = 32; right.rowIncrement = 32; right.data = pixels[0];
  left = right;
  left.data = pixels[1];
  if (steloxBuildMonoStereoPairFromBuffers(&right, &left, &pair) != SteloxErrorOk) ++failures;
  if (steloxSetStereoAlgorithm(context, SteloxStereoAlgorithmBlockMatching) != SteloxErrorOk) ++failures;
  if (steloxGetStereoAlgorithm(context, &algorithm) != SteloxErrorOk ||
      algorithm != SteloxStereoAlgorithmBlockMatching)
    ++failures;
  if (steloxSetOpenCVDisparityRange(context, 0, 16) != SteloxErrorOk) ++failures;
  if (steloxGetOpenCVDisparityRange(context, &minimum, &count) != SteloxErrorOk || minimum != 0 || count != 16)
    ++failures;
  if (steloxSetRectify(context, 0) != SteloxErrorOk) ++failures;
  if (steloxRectify(context, &pair) != SteloxErrorOk) ++failures;
  if (steloxStereo(context) != SteloxErrorOk) ++failures;
  if (steloxGetImage16(context, SteloxImage16TypeDisparity, SteloxCameraReference, &disparity) != SteloxErrorOk ||
      disparity.rows != 24 || disparity.cols != 32 || disparity.data == NULL)
    ++failures;
  steloxDestroyContext(context);
}

/* Image files reach C callers: a grey image saved, loaded back, made into
 * a side-by-side pair and released by the library. */
static void checkImageFileFamily(void) {
  static const char* const kImageFile = "stelox_c_interface_check.pgm";
  static unsigned char pixels[2 * 4] = {1, 2, 3, 4, 5, 6, 7, 8};
  SteloxContext context = NULL;
  SteloxImage saved, loaded;
  SteloxMonoStereoPair pair;

  if (steloxLoadImageFromBuffer(pixels, 2, 4, 4, &saved) != SteloxErrorOk) ++failures;
  if (steloxSaveImage(&saved, kImageFile) != SteloxErrorOk) ++failures;
  if (steloxLoadImageFromFile(kImageFile, &loaded) != SteloxErrorOk || loaded.rows != 2 || loaded.cols != 4 ||
      memcmp(loaded.data, pixels, sizeof pixels) != 0)
    ++failures;
  if (steloxFreeImage(&loaded) != SteloxErrorOk || loaded.data != NULL) ++failures;
  if (steloxGetDefaultContextFromMemory(&context, kCalibration) != SteloxErrorOk) ++failures;
  if (steloxBuildMonoStereoPairFromFile(context, kImageFile, &pair) != SteloxErrorOk || pair.right.cols != 2 ||
      pair.left.data != pair.right.data + 2 || pair.left.data[4] != 7)
    ++failures;
  if (steloxFreeMonoStereoPair(&pair, 1) != SteloxErrorOk) ++failures;
  steloxDestroyContext(context);
  remove(kImageFile);
}

int main(void) {
  SteloxVersion version;
  if (steloxGetVersion(NULL) != SteloxErrorNullVersionStructure) ++failures;
  if (steloxGetVersion(&version) != SteloxErrorOk || version.major != 4 || version.minor != 0 ||
      version.releaseType != 3 || version.build != 4)
    ++failures;
  expectText(steloxVersion(), "Stelox Stereo Vision SDK 4.0 Release 4");
  expectText(steloxErrorToString(SteloxErrorOk), "Function succeeded");
  expectText(steloxErrorToString(SteloxErrorInvalidRowIncrement), "Invalid Row Increment. ");
  expectText(steloxErrorToString((SteloxError)51), "Unknown Error");
  expectText(steloxErrorToString((SteloxError)-1), "Unknown Error");
  checkContextFamilies();
  checkThreeDFamily();
  checkOpenCVFamily();
  checkImageFileFamily();
  printf("%s\n", steloxVersion());
  return failures == 0 ? 0 : 1;
}
