/*
 * stelox.h - C interface of libstelox, the stereo-vision library.
 *
 * Every function returns a SteloxError (0 on success) unless stated otherwise,
 * never lets an exception out, and takes an opaque SteloxContext where it works
 * on a camera. Output arguments are written only on success. Row increments of
 * the public image records count bytes.
 *
 * Compiles as C99 and as C++.
 */
#ifndef STELOX_H
#define STELOX_H

#include <stdint.h>

#if defined(STELOX_BUILDING)
#  define STELOX_API __attribute__((visibility("default")))
#else
#  define STELOX_API
#endif

/* C++ sees every enumeration with a fixed 32-bit base, so any value a C caller
 * passes is a valid value of the type there too. */
#ifdef __cplusplus
#  define STELOX_ENUM_BASE : int32_t
#else
#  define STELOX_ENUM_BASE
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. The numbers are part of the ABI and never change; every
 * enumeration of this header is 32 bits wide on the supported platforms. */
typedef enum SteloxError STELOX_ENUM_BASE {
  SteloxErrorOk = 0,
  SteloxErrorInvalidSetting = 1,
  SteloxErrorInvalidCamera = 2,
  SteloxErrorInvalidCameraConfiguration = 3,
  SteloxErrorInvalidRoi = 4,
  SteloxErrorInvalidParameter = 5,
  SteloxErrorInvalidSourceResolution = 6,
  SteloxErrorRoiAspectRatioMismatch = 7,
  SteloxErrorInvalidResolution = 8,
  SteloxErrorInvalidCoordinates = 9,
  SteloxErrorCalibratedAreaOutsideInput = 10,
  SteloxErrorInvalidRowIncrement = 11,
  SteloxErrorNonPositiveDisparity = 12,
  SteloxErrorNonPositiveDistance = 13,
  SteloxErrorInvalidFilename = 14,
  SteloxErrorInvalidNumberOfDisparities = 15,
  SteloxErrorInvalidStereoInput = 16,
  SteloxErrorNotSingleOrSideBySide = 17,
  SteloxErrorNullVersionStructure = 18,
  SteloxErrorInvalidRequest = 19,
  SteloxErrorUnsupportedStereoAlgorithm = 20,
  SteloxErrorCameraConfigurationNotSet = 21,
  SteloxErrorCameraConfigurationAlreadySet = 22,
  SteloxErrorInvalidImageType = 23,
  SteloxErrorUnsupportedImageFileFormat = 24,
  SteloxErrorUnsupportedColorPixelFormat = 25,
  SteloxErrorInvalidBitDepth = 26,
  SteloxErrorTooManyOutputColumns = 27,
  SteloxErrorRectificationNotDone = 28,
  SteloxErrorEdgeCorrelationNotDone = 29,
  SteloxErrorDisparityNotDone = 30,
  SteloxErrorCannotUnrectifyPixel = 31,
  SteloxErrorCorruptConfigurationFile = 32,
  SteloxErrorInvalidContextConfiguration = 33,
  SteloxErrorInvalidContext = 34,
  SteloxErrorCorruptTransformFile = 35,
  SteloxErrorRectificationDataFailure = 36,
  SteloxErrorInvalidConfigurationFileVersion = 37,
  SteloxErrorFileRead = 38,
  SteloxErrorFileWrite = 39,
  SteloxErrorBadAlloc = 40,
  SteloxErrorNullBuffer = 41,
  SteloxErrorInvalidInternalSetting = 42,
  SteloxErrorStereoInputSizeMismatch = 43,
  SteloxErrorRectifyOffInputOutputDiffer = 44,
  SteloxErrorRectifyOffRoiOutputDiffer = 45,
  SteloxErrorInvalidStereoRoi = 46,
  SteloxErrorImage3dSizeMismatch = 47,
  SteloxErrorSingularRotationMatrix = 48,
  SteloxErrorDisparitySizeMismatch = 49,
  SteloxErrorUnknown = 50
} SteloxError;

/* Library version: major, minor, release type (0 Alpha, 1 Beta,
 * 2 Release Candidate, 3 Release) and build. */
typedef struct SteloxVersion {
  int32_t major;
  int32_t minor;
  int32_t releaseType;
  int32_t build;
} SteloxVersion;

/* Opaque handle to a stereo context (one or two camera configurations). */
typedef void* SteloxContext;

/* 8-bit image; rowIncrement is in bytes. */
typedef struct SteloxImage {
  int32_t rows;
  int32_t cols;
  int32_t rowIncrement;
  unsigned char* data;
} SteloxImage;

/* 16-bit image; rowIncrement is in bytes. Disparity pixels hold 16 x disparity
 * when valid, 0xFF00 + the validation mapping when not. */
typedef struct SteloxImage16 {
  int32_t rows;
  int32_t cols;
  int32_t rowIncrement;
  unsigned short* data;
} SteloxImage16;

/* Packed colour pixel: blue, green, red and a fourth byte, in that order. */
typedef struct SteloxColorPixel {
  unsigned char blue;
  unsigned char green;
  unsigned char red;
  unsigned char fourth;
} SteloxColorPixel;

/* Colour image of SteloxColorPixel; rowIncrement is in bytes (4 per pixel). */
typedef struct SteloxColorImage {
  int32_t rows;
  int32_t cols;
  int32_t rowIncrement;
  SteloxColorPixel* data;
} SteloxColorImage;

/* A stereo pair; the right camera is the reference camera. */
typedef struct SteloxMonoStereoPair {
  SteloxImage right;
  SteloxImage left;
} SteloxMonoStereoPair;

typedef struct SteloxColorStereoPair {
  SteloxColorImage right;
  SteloxColorImage left;
} SteloxColorStereoPair;

/* Region of interest: top-left corner and size. */
typedef struct SteloxROI {
  int32_t row;
  int32_t col;
  int32_t rows;
  int32_t cols;
} SteloxROI;

typedef struct SteloxPoint3d {
  float x;
  float y;
  float z;
} SteloxPoint3d;

/* 3D image: rows x cols points; rowIncrement is in bytes (cols x 12). */
typedef struct SteloxImage3d {
  int32_t rows;
  int32_t cols;
  int32_t rowIncrement;
  SteloxPoint3d* points;
} SteloxImage3d;

/* Rigid transform as a 4 x 4 matrix, row by row. */
typedef struct SteloxTransform {
  double matrix[4][4];
} SteloxTransform;

typedef enum SteloxCamera STELOX_ENUM_BASE {
  SteloxCameraReference = 0, /* the right lens */
  SteloxCameraRight = 1,
  SteloxCameraLeft = 2
} SteloxCamera;

typedef enum SteloxImageType STELOX_ENUM_BASE {
  SteloxImageTypeRaw = 0,
  SteloxImageTypeRectified = 1,
  SteloxImageTypeEdge = 2
} SteloxImageType;

typedef enum SteloxImage16Type STELOX_ENUM_BASE {
  SteloxImage16TypeDisparity = 0
} SteloxImage16Type;

typedef enum SteloxColorImageType STELOX_ENUM_BASE {
  SteloxColorImageTypeRaw = 0,
  SteloxColorImageTypeRectified = 1
} SteloxColorImageType;

typedef enum SteloxCameraConfiguration STELOX_ENUM_BASE {
  SteloxCameraConfigurationNarrow = 0,
  SteloxCameraConfigurationWide = 1
} SteloxCameraConfiguration;

/* Matcher: 0 the built-in correlation; 1 and 2 block matching (1 on mirrored
 * images); 3 and 4 semi-global block matching (3 on mirrored images). */
typedef enum SteloxStereoAlgorithm STELOX_ENUM_BASE {
  SteloxStereoAlgorithmCorrelation = 0,
  SteloxStereoAlgorithmBlockMatchingMirrored = 1,
  SteloxStereoAlgorithmBlockMatching = 2,
  SteloxStereoAlgorithmSemiGlobalMirrored = 3,
  SteloxStereoAlgorithmSemiGlobal = 4
} SteloxStereoAlgorithm;

/* Byte order of the 4-byte pixels of colour image files. */
typedef enum SteloxColorPixelFormat STELOX_ENUM_BASE {
  SteloxColorPixelFormatBGRU = 0, /* blue, green, red, unused */
  SteloxColorPixelFormatRGBU = 1, /* red, green, blue, unused */
  SteloxColorPixelFormatBGRA = 2, /* blue, green, red, alpha */
  SteloxColorPixelFormatRGBA = 3 /* red, green, blue, alpha */
} SteloxColorPixelFormat;

/* ---- Version and errors ------------------------------------------------ */

/* The constant message of a code; "Unknown Error" for any value outside
 * 0..50. The text is static and never freed. */
STELOX_API const char* steloxErrorToString(SteloxError code);

/* Fills *version; SteloxErrorNullVersionStructure when version is null. */
STELOX_API SteloxError steloxGetVersion(SteloxVersion* version);

/* "Stelox Stereo Vision SDK 4.0 Release 4". The text lives in one static
 * buffer that each call rewrites: not safe to call from two threads at once. */
STELOX_API const char* steloxVersion(void);

/* Every function below that takes a SteloxContext returns
 * SteloxErrorInvalidContext (34) for a null context, or one without an active
 * camera configuration, before it looks at any other argument. A null output
 * pointer gives SteloxErrorNullBuffer (41) and nothing is written. */

/* ---- Context parameters ------------------------------------------------ */

/* Boolean arguments: any non-zero value is on; boolean outputs are 0 or 1. */
STELOX_API SteloxError steloxSetEdgeCorrelation(SteloxContext context, int on);
STELOX_API SteloxError steloxGetEdgeCorrelation(SteloxContext context, int* on);
/* Odd, 3 to 11; SteloxErrorInvalidSetting otherwise. */
STELOX_API SteloxError steloxSetEdgeMask(SteloxContext context, int size);
STELOX_API SteloxError steloxGetEdgeMask(SteloxContext context, int* size);
STELOX_API SteloxError steloxSetDoStereo(SteloxContext context, int on);
STELOX_API SteloxError steloxGetDoStereo(SteloxContext context, int* on);
/* count disparities from minimum: SteloxErrorInvalidNumberOfDisparities for a
 * count below 1; SteloxErrorInvalidSetting for a count above 4078, a negative
 * minimum, a maximum (minimum + count) above 4862 or, in the narrow
 * configuration, above the rectified columns minus the stereo mask size. */
STELOX_API SteloxError steloxSetDisparity(SteloxContext context, int minimum, int count);
STELOX_API SteloxError steloxGetDisparity(SteloxContext context, int* minimum, int* maximum);
/* Odd, 1 to 23. */
STELOX_API SteloxError steloxSetStereoMask(SteloxContext context, int size);
/* Any size from 1, even ones too. */
STELOX_API SteloxError steloxSetAnyStereoMask(SteloxContext context, int size);
STELOX_API SteloxError steloxGetStereoMask(SteloxContext context, int* size);
STELOX_API SteloxError steloxSetRectify(SteloxContext context, int on);
STELOX_API SteloxError steloxGetRectify(SteloxContext context, int* on);
STELOX_API SteloxError steloxSetTextureValidation(SteloxContext context, int on);
STELOX_API SteloxError steloxGetTextureValidation(SteloxContext context, int* on);
/* 0.0 to 128.0 inclusive. */
STELOX_API SteloxError steloxSetTextureValidationThreshold(SteloxContext context, float threshold);
STELOX_API SteloxError steloxGetTextureValidationThreshold(SteloxContext context, float* threshold);
STELOX_API SteloxError steloxSetTextureValidationMapping(SteloxContext context, unsigned char mapping);
STELOX_API SteloxError steloxGetTextureValidationMapping(SteloxContext context, unsigned char* mapping);
STELOX_API SteloxError steloxSetBackForthValidation(SteloxContext context, int on);
STELOX_API SteloxError steloxGetBackForthValidation(SteloxContext context, int* on);
STELOX_API SteloxError steloxSetBackForthValidationMapping(SteloxContext context, unsigned char mapping);
STELOX_API SteloxError steloxGetBackForthValidationMapping(SteloxContext context, unsigned char* mapping);
STELOX_API SteloxError steloxSetSubpixelValidationMapping(SteloxContext context, unsigned char mapping);
STELOX_API SteloxError steloxGetSubpixelValidationMapping(SteloxContext context, unsigned char* mapping);
STELOX_API SteloxError steloxSetSurfaceValidation(SteloxContext context, int on);
STELOX_API SteloxError steloxGetSurfaceValidation(SteloxContext context, int* on);
/* 0 or more. */
STELOX_API SteloxError steloxSetSurfaceValidationSize(SteloxContext context, int size);
STELOX_API SteloxError steloxGetSurfaceValidationSize(SteloxContext context, int* size);
/* Not negative. */
STELOX_API SteloxError steloxSetSurfaceValidationDifference(SteloxContext context, float difference);
STELOX_API SteloxError steloxGetSurfaceValidationDifference(SteloxContext context, float* difference);
STELOX_API SteloxError steloxSetSurfaceValidationMapping(SteloxContext context, unsigned char mapping);
STELOX_API SteloxError steloxGetSurfaceValidationMapping(SteloxContext context, unsigned char* mapping);
STELOX_API SteloxError steloxGetBaseline(SteloxContext context, float* baseline);
/* In pixels of the rectified image. */
STELOX_API SteloxError steloxGetFocalLength(SteloxContext context, float* focalLength);
/* Vertical over horizontal calibrated focal length. */
STELOX_API SteloxError steloxGetCalAspectRatio(SteloxContext context, float* aspectRatio);
STELOX_API SteloxError steloxGetSerialNumber(SteloxContext context, int* serialNumber);

/* ---- Contexts and camera configurations -------------------------------- */

/* A new context from a calibration file or a zero-terminated calibration
 * text; *context is the new context, or null on every error.
 * SteloxErrorInvalidFilename for a null name or a missing file,
 * SteloxErrorNullBuffer for a null text; otherwise the load's own code. */
STELOX_API SteloxError steloxGetDefaultContextFromFile(SteloxContext* context, const char* fileName);
STELOX_API SteloxError steloxGetDefaultContextFromMemory(SteloxContext* context, const char* text);
/* An independent context with the same settings. Copies share the
 * rectification tables and the stereo workers: never run two copies at once. */
STELOX_API SteloxError steloxCopyContext(SteloxContext context, SteloxContext* copy);
/* Frees the context; the handle is invalid afterwards. */
STELOX_API SteloxError steloxDestroyContext(SteloxContext context);
/* SteloxErrorInvalidCameraConfiguration for a value other than narrow or
 * wide, SteloxErrorCameraConfigurationNotSet when the context has none of
 * that kind. The new configuration takes the camera-independent settings of
 * the previous one. */
STELOX_API SteloxError steloxSetCameraConfiguration(SteloxContext context,
                                                    SteloxCameraConfiguration configuration);
STELOX_API SteloxError steloxGetCameraConfiguration(SteloxContext context,
                                                    SteloxCameraConfiguration* configuration);
STELOX_API SteloxError steloxGetDeviceConfiguration(SteloxContext context,
                                                    SteloxCameraConfiguration* configuration);

/* ---- Context files ------------------------------------------------------ */

/* The calibration with the current settings, or the calibration lines as
 * loaded. SteloxErrorFileWrite when the file cannot be written,
 * SteloxErrorInvalidFilename for a null name. */
STELOX_API SteloxError steloxWriteCurrentContextToFile(SteloxContext context, const char* fileName);
STELOX_API SteloxError steloxWriteDefaultContextToFile(SteloxContext context, const char* fileName);

/* ---- Resolution, region of interest, rectification and stereo ---------- */

/* Output size: SteloxErrorInvalidResolution below 1, and
 * SteloxErrorTooManyOutputColumns above 5120 columns. The rectified image
 * keeps the calibration's aspect ratio and contains the output, which is
 * centred in it. In region-of-interest mode the output is the region
 * rectified at this size (SteloxErrorInvalidRoi while no region is set). */
STELOX_API SteloxError steloxSetResolution(SteloxContext context, int rows, int cols);
STELOX_API SteloxError steloxGetResolution(SteloxContext context, int* rows, int* cols);
/* SteloxErrorInvalidSourceResolution for a size below 1; a calibrated sensor
 * region of the calibration wins over the arguments. */
STELOX_API SteloxError steloxSetSourceResolution(SteloxContext context, int rows, int cols);
STELOX_API SteloxError steloxGetSourceResolution(SteloxContext context, int* rows, int* cols);
/* A window of the source frame: row and col 0 or more, rows and cols 1 or
 * more (SteloxErrorInvalidSetting otherwise). Frames are refused with
 * SteloxErrorInvalidRoi when it does not lie inside the source, and with
 * SteloxErrorRoiAspectRatioMismatch when its aspect differs from the
 * output's. */
STELOX_API SteloxError steloxSetRoi(SteloxContext context, SteloxROI roi);
STELOX_API SteloxError steloxGetRoi(SteloxContext context, SteloxROI* roi);
STELOX_API SteloxError steloxSetRoiOn(SteloxContext context, int on);
STELOX_API SteloxError steloxGetRoiOn(SteloxContext context, int* on);
/* The size of the other side that keeps the calibration's aspect ratio. */
STELOX_API SteloxError steloxGetOptimalNumRows(SteloxContext context, int cols, int* rows);
STELOX_API SteloxError steloxGetOptimalNumColumns(SteloxContext context, int rows, int* cols);
/* Builds the rectification tables ahead of the first frame. */
STELOX_API SteloxError steloxPrepareRectificationData(SteloxContext context, int rows, int cols,
                                                      int sourceRows, int sourceCols);
/* Rectifies a pair and makes its edge images. The pair's pixels stay the
 * caller's and must live as long as the raw images are read back. Errors:
 * SteloxErrorInvalidStereoInput (empty image or null data),
 * SteloxErrorInvalidRowIncrement (rows shorter than their width),
 * SteloxErrorStereoInputSizeMismatch, SteloxErrorCalibratedAreaOutsideInput,
 * the resolution and region codes, SteloxErrorNullBuffer for a null pair. */
STELOX_API SteloxError steloxRectify(SteloxContext context, SteloxMonoStereoPair* pair);
STELOX_API SteloxError steloxColorRectify(SteloxContext context, SteloxColorStereoPair* pair);
/* Rectifies one colour image of the pair into the context; *image describes
 * the result (owned by the context). SteloxErrorNotSingleOrSideBySide unless
 * the image's row increment is 4 or 8 bytes per column. */
STELOX_API SteloxError steloxRectifyColorImage(SteloxContext context, SteloxCamera camera,
                                               SteloxColorStereoPair* pair, SteloxColorImage* image);
/* Matches the images of the last rectification; SteloxErrorRectificationNotDone
 * when there are none of the current size. Does nothing with stereo off. */
STELOX_API SteloxError steloxStereo(SteloxContext context);

/* ---- Stereo algorithm and OpenCV matcher settings ---------------------- */

/* Any value is stored; steloxStereo refuses values outside 0..4 with
 * SteloxErrorUnsupportedStereoAlgorithm. The OpenCV algorithms match the
 * rectified images on the calling thread and write 16 x disparity, or 0 for
 * an invalid pixel; algorithms 2 and 4 give a map aligned with the left
 * image, the others one aligned with the right (reference) image. */
STELOX_API SteloxError steloxSetStereoAlgorithm(SteloxContext context, SteloxStereoAlgorithm algorithm);
STELOX_API SteloxError steloxGetStereoAlgorithm(SteloxContext context, SteloxStereoAlgorithm* algorithm);

/* Settings of the context's OpenCV block matcher and semi-global matcher.
 * A context starts with 32 disparities from minimum 1, mask 7, pre-filter
 * cap 31, uniqueness ratio 10, disp12 maximum difference 1, speckle window
 * and range from the surface validation settings, block-matching texture
 * threshold 16 x the texture validation threshold and pre-filter size the
 * edge mask size, P1 = 8 x mask x mask, P2 = 32 x mask x mask, mode 0; later
 * changes of the context's own settings do not reach the matchers. A copied
 * context has matchers of its own. A refused value changes nothing and
 * prints one warning line on the standard error stream. Setters without a
 * rule below set both matchers; getters read the block matcher, except P1,
 * P2 and the mode. */

/* Odd, 5 to 255 and smaller than the output rows and columns, else
 * SteloxErrorInvalidSetting. */
STELOX_API SteloxError steloxSetOpenCVStereoMaskSize(SteloxContext context, int size);
STELOX_API SteloxError steloxGetOpenCVStereoMaskSize(SteloxContext context, int* size);
STELOX_API SteloxError steloxSetOpenCVMinDisparity(SteloxContext context, int minimum);
STELOX_API SteloxError steloxGetOpenCVMinDisparity(SteloxContext context, int* minimum);
/* A positive multiple of 16, else SteloxErrorInvalidSetting. */
STELOX_API SteloxError steloxSetOpenCVNumDisparities(SteloxContext context, int count);
STELOX_API SteloxError steloxGetOpenCVNumDisparities(SteloxContext context, int* count);
/* The number of disparities becomes maximum - current minimum:
 * SteloxErrorInvalidRequest when that is not positive, SteloxErrorInvalidSetting
 * when it is not a multiple of 16. The getter gives minimum + number. */
STELOX_API SteloxError steloxSetOpenCVMaxDisparity(SteloxContext context, int maximum);
STELOX_API SteloxError steloxGetOpenCVMaxDisparity(SteloxContext context, int* maximum);
/* The same rules for the range minimum .. maximum. */
STELOX_API SteloxError steloxSetOpenCVMinMaxDisparities(SteloxContext context, int minimum, int maximum);
STELOX_API SteloxError steloxGetOpenCVMinMaxDisparities(SteloxContext context, int* minimum, int* maximum);
/* Minimum and number of disparities (the number as for
 * steloxSetOpenCVNumDisparities). */
STELOX_API SteloxError steloxSetOpenCVDisparityRange(SteloxContext context, int minimum, int count);
STELOX_API SteloxError steloxGetOpenCVDisparityRange(SteloxContext context, int* minimum, int* count);
STELOX_API SteloxError steloxSetOpenCVSpeckleWindowSize(SteloxContext context, int size);
STELOX_API SteloxError steloxGetOpenCVSpeckleWindowSize(SteloxContext context, int* size);
STELOX_API SteloxError steloxSetOpenCVSpeckleRange(SteloxContext context, int range);
STELOX_API SteloxError steloxGetOpenCVSpeckleRange(SteloxContext context, int* range);
STELOX_API SteloxError steloxSetOpenCVDisp12MaxDiff(SteloxContext context, int difference);
STELOX_API SteloxError steloxGetOpenCVDisp12MaxDiff(SteloxContext context, int* difference);
/* Block matcher only: 0 x-Sobel, 1 normalised response; a negative value is
 * ignored, 2 or more gives SteloxErrorInvalidRequest. The getter gives 2 for
 * a pre-filter it does not know. */
STELOX_API SteloxError steloxSetOpenCVBMPreFilterType(SteloxContext context, int type);
STELOX_API SteloxError steloxGetOpenCVBMPreFilterType(SteloxContext context, int* type);
/* Block matcher only; the rule of the mask size. */
STELOX_API SteloxError steloxSetOpenCVBMPreFilterSize(SteloxContext context, int size);
STELOX_API SteloxError steloxGetOpenCVBMPreFilterSize(SteloxContext context, int* size);
/* 1 to 63, else SteloxErrorInvalidSetting. */
STELOX_API SteloxError steloxSetOpenCVPreFilterCap(SteloxContext context, int cap);
STELOX_API SteloxError steloxGetOpenCVPreFilterCap(SteloxContext context, int* cap);
/* Block matcher only; not negative, else SteloxErrorInvalidSetting. */
STELOX_API SteloxError steloxSetOpenCVBMTextureThreshold(SteloxContext context, int threshold);
STELOX_API SteloxError steloxGetOpenCVBMTextureThreshold(SteloxContext context, int* threshold);
/* Not negative, else SteloxErrorInvalidSetting. */
STELOX_API SteloxError steloxSetOpenCVUniquenessRatio(SteloxContext context, int ratio);
STELOX_API SteloxError steloxGetOpenCVUniquenessRatio(SteloxContext context, int* ratio);
/* Semi-global matcher only; any value is stored. With P1 >= P2 a warning
 * says that the matcher will use P2 = P1 + 1. */
STELOX_API SteloxError steloxSetOpenCVSGBMP1(SteloxContext context, int p1);
STELOX_API SteloxError steloxGetOpenCVSGBMP1(SteloxContext context, int* p1);
STELOX_API SteloxError steloxSetOpenCVSGBMP2(SteloxContext context, int p2);
STELOX_API SteloxError steloxGetOpenCVSGBMP2(SteloxContext context, int* p2);
/* Semi-global matcher only: 0 standard, 1 double pass, 2 three-way; a
 * negative value is ignored, above 2 gives SteloxErrorInvalidRequest. The
 * getter gives 3 for a mode it does not know. */
STELOX_API SteloxError steloxSetOpenCVSGBMMode(SteloxContext context, int mode);
STELOX_API SteloxError steloxGetOpenCVSGBMMode(SteloxContext context, int* mode);

/* ---- Images, caller buffers, pairs and pixel conversion ---------------- */

/* The output window of an image of the context: the requested output size,
 * the image's row increment and its first output pixel; data is null while
 * the image has no pixels of the current geometry. The pixels belong to the
 * context (or to the caller's buffer) and change with the next frame. */
STELOX_API SteloxError steloxGetImage(SteloxContext context, SteloxImageType type, SteloxCamera camera,
                                      SteloxImage* image);
/* SteloxErrorDisparityNotDone with stereo off. */
STELOX_API SteloxError steloxGetImage16(SteloxContext context, SteloxImage16Type type, SteloxCamera camera,
                                        SteloxImage16* image);
STELOX_API SteloxError steloxGetColorImage(SteloxContext context, SteloxColorImageType type,
                                           SteloxCamera camera, SteloxColorImage* image);
/* Lets the context write the rectified or edge image of a lens into the
 * caller's buffer of rectified rows x cols bytes (packed). A second buffer
 * is ignored until the first is unset. The buffer must grow before the
 * resolution does. SteloxErrorInvalidResolution while there is no output
 * size. */
STELOX_API SteloxError steloxSetImageBuffer(SteloxContext context, unsigned char* buffer, SteloxImageType type,
                                            SteloxCamera camera);
STELOX_API SteloxError steloxUnsetImageBuffer(SteloxContext context, SteloxImageType type, SteloxCamera camera);
/* The disparity image in the caller's buffer of rectified rows x cols; the
 * context never frees it. */
STELOX_API SteloxError steloxSetImage16Buffer(SteloxContext context, unsigned short* buffer,
                                              SteloxImage16Type type, SteloxCamera camera);
STELOX_API SteloxError steloxUnsetImage16Buffer(SteloxContext context, SteloxImage16Type type,
                                                SteloxCamera camera);
STELOX_API SteloxError steloxSetColorImageBuffer(SteloxContext context, SteloxColorPixel* buffer,
                                                 SteloxCamera camera);
STELOX_API SteloxError steloxUnsetColorImageBuffer(SteloxContext context, SteloxCamera camera);
/* Puts two image records into a pair record without copying pixels. On
 * error (SteloxErrorNullBuffer for a null image or data pointer,
 * SteloxErrorInvalidSourceResolution for an empty image) the pair is zeroed. */
STELOX_API SteloxError steloxBuildMonoStereoPairFromBuffers(const SteloxImage* right, const SteloxImage* left,
                                                            SteloxMonoStereoPair* pair);
STELOX_API SteloxError steloxBuildColorStereoPairFromBuffers(const SteloxColorImage* right,
                                                             const SteloxColorImage* left,
                                                             SteloxColorStereoPair* pair);
/* Raw (calibrated sensor region) position to output position and back. */
STELOX_API SteloxError steloxRectifyPixel(SteloxContext context, SteloxCamera camera, float row, float col,
                                          float* rectifiedRow, float* rectifiedCol);
STELOX_API SteloxError steloxUnrectifyPixel(SteloxContext context, SteloxCamera camera, float rectifiedRow,
                                            float rectifiedCol, float* row, float* col);

/* ---- 3D conversion and world transform ---------------------------------- */

/* Positions (row, col) are in pixels of the output image, the window that
 * steloxGetImage16 describes; disparities are in pixels; points are in the
 * unit of the calibration's baseline, camera frame x right, y down, z forward
 * from the reference (right) lens. With f the focal length in pixels, B the
 * baseline and (cy, cx) the image centre of steloxGetImageCenter:
 * z = f B / d, y = (row - cy) z / f, x = (col - cx) z / f.
 * SteloxErrorInvalidCoordinates outside the output, and
 * SteloxErrorNonPositiveDisparity for a disparity not above 0. */
STELOX_API SteloxError steloxRCDToXYZ(SteloxContext context, float row, float col, float disparity, float* x,
                                      float* y, float* z);
STELOX_API SteloxError steloxRCDFloatToXYZ(SteloxContext context, float row, float col, float disparity, float* x,
                                           float* y, float* z);
/* disparity16 / 16 pixels, the value of a disparity image pixel. Invalid codes
 * (0xFF00 and above) are not recognised here: filter them first. */
STELOX_API SteloxError steloxRCD16ToXYZ(SteloxContext context, int row, int col, unsigned short disparity16,
                                        float* x, float* y, float* z);
/* The inverse; SteloxErrorNonPositiveDistance for z not above 0. The position
 * is not checked against the output. */
STELOX_API SteloxError steloxXYZToRCD(SteloxContext context, float x, float y, float z, float* row, float* col,
                                      float* disparity);
/* The same with world points: the camera point passed through the context's
 * world transform, or the world point through its inverse. */
STELOX_API SteloxError steloxRCDToWorldXYZ(SteloxContext context, float row, float col, float disparity, float* x,
                                           float* y, float* z);
STELOX_API SteloxError steloxRCDFloatToWorldXYZ(SteloxContext context, float row, float col, float disparity,
                                                float* x, float* y, float* z);
STELOX_API SteloxError steloxRCD16ToWorldXYZ(SteloxContext context, int row, int col, unsigned short disparity16,
                                             float* x, float* y, float* z);
STELOX_API SteloxError steloxWorldXYZToRCD(SteloxContext context, float x, float y, float z, float* row,
                                           float* col, float* disparity);
/* The image centre in output pixels (the units of every conversion above):
 * the calibrated centre in the rectified image less the output's offset in
 * it. A point at this position lies on the optical axis (x = y = 0). */
STELOX_API SteloxError steloxGetImageCenter(SteloxContext context, float* centerRow, float* centerCol);

/* Camera-to-world transform of the context (identity at first): rows 0 to 2
 * hold the rotation and, in column 3, the translation, which is divided by
 * m33. The rotation is taken as given; world-to-camera conversions use the
 * rigid inverse of the angles derived from it. SteloxErrorSingularRotationMatrix
 * when a rotation row is all zero, SteloxErrorInvalidParameter when m33 is 0;
 * the transform is then unchanged. */
STELOX_API SteloxError steloxSetSteloxToWorldTransform(SteloxContext context, const SteloxTransform* transform);
/* The transform as stored, row 3 = (0, 0, 0, 1). */
STELOX_API SteloxError steloxGetSteloxToWorldTransform(SteloxContext context, SteloxTransform* transform);
/* Transform files: six lines "Rx", "Ry", "Rz" (radians, rotation
 * Rz Ry Rx), "Tx", "Ty", "Tz", each a key, a tab and a number with six
 * decimals. The reader takes the keys in any order and skips the rest of a
 * line after a word "//". SteloxErrorCorruptTransformFile when the file
 * cannot be opened or written, a key or value is missing, or a word is longer
 * than 727 characters (the matrix is then unchanged);
 * SteloxErrorInvalidFilename for a null name. No context is needed. */
STELOX_API SteloxError steloxGetTransformFromFile(const char* fileName, SteloxTransform* transform);
STELOX_API SteloxError steloxWriteTransformToFile(const char* fileName, const SteloxTransform* transform);

/* A 3D image of the rectified size (the size of the whole disparity image),
 * owned by the caller and freed with steloxDestroyImage3d; its points are not
 * set. SteloxErrorBadAlloc when it cannot be allocated,
 * SteloxErrorInvalidResolution while the context has no resolution. */
STELOX_API SteloxError steloxCreateImage3d(SteloxContext context, SteloxImage3d** image);
/* Frees the image and sets *image to null; a null image is ignored. */
STELOX_API SteloxError steloxDestroyImage3d(SteloxImage3d** image);
/* Fills the 3D image from the whole disparity image of the last stereo run
 * (rectified-image positions, no output offset), in the camera or the world
 * frame; pixels with disparity 0 or an invalid code give (0, 0, 0).
 * SteloxErrorImage3dSizeMismatch for an image of another size than the
 * rectified one, SteloxErrorDisparitySizeMismatch when the disparity image
 * has another size (or there is none yet), SteloxErrorInvalidRowIncrement for
 * a row increment below cols x 12 bytes, SteloxErrorNullBuffer for a null
 * image or points. A larger row increment is used rounded down to whole
 * points. */
STELOX_API SteloxError steloxExtractImage3d(SteloxContext context, SteloxImage3d* image);
STELOX_API SteloxError steloxExtractWorldImage3d(SteloxContext context, SteloxImage3d* image);

/* ---- Image files and stereo pairs from files --------------------------- */

/* PGM, PPM, PNG and TIFF files; any other kind gives
 * SteloxErrorUnsupportedImageFileFormat. The loaders tell the kind from the
 * file's content (from its extension when the content does not tell) and
 * put the pixels in one new block, packed (rowIncrement = cols x bytes per
 * pixel). The block belongs to the caller and must be released by this
 * library: steloxFreeImage, steloxFreeImage16, steloxFreeColorImage, or the
 * pair functions below for pairs; never with free(). On every error the
 * record is left as it was and nothing stays allocated.
 * Codes: SteloxErrorNullBuffer for a null record, SteloxErrorInvalidFilename
 * for a null or empty name, SteloxErrorFileRead for a missing, unreadable or
 * truncated file, SteloxErrorInvalidBitDepth for a file of another depth than
 * the loader's (8, 16, 24 or 32 bits per pixel), SteloxErrorBadAlloc for an
 * image of more than 2^28 pixels. */
STELOX_API SteloxError steloxLoadImageFromFile(const char* fileName, SteloxImage* image);
STELOX_API SteloxError steloxLoadImage16FromFile(const char* fileName, SteloxImage16* image);
/* 24- or 32-bit files. Bytes 0 to 2 of each pixel in the order of format
 * (SteloxErrorUnsupportedColorPixelFormat for a value outside 0 to 3, before
 * the file is opened); byte 3 is the file's alpha when the file has 32 bits
 * per pixel, else 255 (opaque), whatever the format. */
STELOX_API SteloxError steloxLoadColorImageFromFile(const char* fileName, SteloxColorPixelFormat format,
                                                    SteloxColorImage* image);

/* An image record over the caller's memory (rowIncrement in bytes); nothing
 * is copied or allocated, so never free such a record with the functions
 * below. On error the record is emptied (null data, zero sizes):
 * SteloxErrorNullBuffer for null data (a null record is left alone),
 * SteloxErrorInvalidSourceResolution for rows or cols below 1,
 * SteloxErrorInvalidRowIncrement when rowIncrement is not a multiple of cols
 * or is shorter than a row's pixels. */
STELOX_API SteloxError steloxLoadImageFromBuffer(unsigned char* data, int rows, int cols, int rowIncrement,
                                                 SteloxImage* image);
STELOX_API SteloxError steloxLoadImage16FromBuffer(unsigned short* data, int rows, int cols, int rowIncrement,
                                                   SteloxImage16* image);
STELOX_API SteloxError steloxLoadColorImageFromBuffer(SteloxColorPixel* data, int rows, int cols,
                                                      int rowIncrement, SteloxColorImage* image);

/* Saves in the kind the file name's extension names (".pgm", ".ppm", ".png",
 * ".tif" or ".tiff"): PNG and TIFF uncompressed, PGM and PPM as raw bytes; a
 * grey image is a grey file and a colour image a colour file whatever the
 * portable-anymap extension. Codes in the order of the checks:
 * SteloxErrorInvalidFilename (null or empty name),
 * SteloxErrorUnsupportedImageFileFormat, SteloxErrorUnsupportedColorPixelFormat
 * (colour), SteloxErrorNullBuffer (null record or data),
 * SteloxErrorInvalidSourceResolution (rows or cols below 1),
 * SteloxErrorInvalidRowIncrement (rowIncrement shorter than a row's pixels),
 * SteloxErrorFileWrite. */
STELOX_API SteloxError steloxSaveImage(const SteloxImage* image, const char* fileName);
/* A 16-bit grey file. */
STELOX_API SteloxError steloxSaveImage16(const SteloxImage16* image, const char* fileName);
/* A 32-bit TIFF file with byte 3 as alpha for formats 2 and 3; a 24-bit file
 * otherwise. */
STELOX_API SteloxError steloxSaveColorImage(const SteloxColorImage* image, const char* fileName,
                                            SteloxColorPixelFormat format);

/* A stereo pair from one side-by-side file (8-bit, or 24/32-bit loaded as
 * above): the left half of the image becomes pair->right, the right half
 * pair->left, both with the whole image's rowIncrement; an odd last column
 * is dropped. Both point into one block: release it with
 * steloxFreeMonoStereoPair (steloxFreeColorStereoPair) and sharedBuffer set.
 * The loader's codes, SteloxErrorInvalidSourceResolution for an image of
 * fewer than 2 columns, SteloxErrorNullBuffer for a null pair; the pair is
 * written only on success. */
STELOX_API SteloxError steloxBuildMonoStereoPairFromFile(SteloxContext context, const char* fileName,
                                                         SteloxMonoStereoPair* pair);
STELOX_API SteloxError steloxBuildColorStereoPairFromFile(SteloxContext context, const char* fileName,
                                                          SteloxColorPixelFormat format,
                                                          SteloxColorStereoPair* pair);

/* Releases pixel memory this library allocated for a pair: with sharedBuffer
 * non-zero (a pair built from one file) the one block of pair->right, else
 * the blocks of both images (a left image that points into the right image's
 * rows counts as sharing its block). Does nothing unless both images have
 * data; afterwards both records are empty. A null pair is accepted. Always
 * SteloxErrorOk. */
STELOX_API SteloxError steloxFreeMonoStereoPair(SteloxMonoStereoPair* pair, int sharedBuffer);
STELOX_API SteloxError steloxFreeColorStereoPair(SteloxColorStereoPair* pair, int sharedBuffer);
/* Releases the pixels of an image loaded from a file and empties the record;
 * a null record or null data does nothing. Always SteloxErrorOk. */
STELOX_API SteloxError steloxFreeImage(SteloxImage* image);
STELOX_API SteloxError steloxFreeImage16(SteloxImage16* image);
STELOX_API SteloxError steloxFreeColorImage(SteloxColorImage* image);

#ifdef __cplusplus
}
#endif

#endif /* STELOX_H */
