// Conversion of the internal result codes to the interface's SteloxError.
#ifndef STELOX_CONTEXT_STELOXHELPER_H
#define STELOX_CONTEXT_STELOXHELPER_H

#include "calibration/ParseError.h"
#include "rectify/RectifyError.h"
#include "stelox.h"

class SteloxHelper {
public:
  // Table lookups; every value maps, unknown ones to SteloxErrorUnknown.
  static SteloxError parseToSteloxError(ParseError error);
  static SteloxError rectifyToSteloxError(RectifyError error);
};

#endif
