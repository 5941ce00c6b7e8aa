// Result codes of the rectification objects. The numbers are fixed: the
// interface maps them to SteloxError.
#ifndef STELOX_RECTIFY_RECTIFYERROR_H
#define STELOX_RECTIFY_RECTIFYERROR_H

#include <cstdint>

enum RectifyError : int32_t {
  RectifyErrorOk = 0,
  RectifyErrorReallocate = 1,
  RectifyErrorBuildWarper = 2,
  RectifyErrorAllocate = 3,
  RectifyErrorRectifiedAdjustment = 4,
  RectifyErrorRawAdjustment = 5,
  RectifyErrorInvalidShift = 6,  // a sampling shift outside 0 .. 99
  RectifyErrorInvalidSection = 7,
  RectifyErrorInvalidProductName = 8,
  RectifyErrorInvalidNumberOfLens = 9,
  RectifyErrorLensWarpIds = 10,  // a lens names no rectified or no distorted splines
  RectifyErrorLensDataId = 11,
  RectifyErrorFocalLength = 12,
  RectifyErrorImageCentre = 13,
  RectifyErrorGain = 14,
  RectifyErrorInvalidWarpData = 15,
  RectifyErrorWarpDataId = 16,
  RectifyErrorWarpData = 17,
  RectifyErrorNoConfigurations = 18,
  RectifyErrorTooManyConfigurations = 19,
  RectifyErrorInvalidConfigFile = 20,
  RectifyErrorReservedParse = 21,  // from the reserved parse results; never produced
  // 22 is not produced.
  RectifyErrorSearchFailed = 23,   // a point search did not converge
  RectifyErrorUnknownParse = 24    // a parse result outside the known values
};

// The constant message of a result; "Unknown error" for every value without a
// text of its own, including any value outside the enumeration.
const char* rectifyErrorMessage(RectifyError error);

#endif
