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

#ifdef __cplusplus
}
#endif

#endif /* STELOX_H */
