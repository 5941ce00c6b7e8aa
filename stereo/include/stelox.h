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

#ifdef __cplusplus
}
#endif

#endif /* STELOX_H */
