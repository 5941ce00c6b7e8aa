// Result codes of the calibration reader, shared by ConfigFile, ConfigSection,
// LensData and WarpData. The numbers are fixed: the interface maps them to
// SteloxError.
#ifndef STELOX_CALIBRATION_PARSEERROR_H
#define STELOX_CALIBRATION_PARSEERROR_H

#include <cstdint>

enum ParseError : int32_t {
  ParseErrorOk = 0,
  ParseErrorFileOpen = 1,
  ParseErrorEmptyConfiguration = 2,
  // 3 and 4 are reserved and never produced.
  ParseErrorOutOfMemory = 5,
  ParseErrorWarpIdMissing = 6,
  ParseErrorKnotCountMissing = 7,
  ParseErrorKnotsMissing = 8,
  ParseErrorCoefCountMissing = 9,
  ParseErrorCoefsMissing = 10,
  // 11 is reserved and never produced.
  ParseErrorLensWarpIdsMissing = 12,
  ParseErrorNoCameraSection = 13
};

#endif
