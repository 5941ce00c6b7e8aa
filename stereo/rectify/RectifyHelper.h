// Texts of rectification results and the conversion of reader results.
#ifndef STELOX_RECTIFY_RECTIFYHELPER_H
#define STELOX_RECTIFY_RECTIFYHELPER_H

#include "calibration/ParseError.h"
#include "rectify/RectifyError.h"

class RectifyHelper {
public:
  // The constant message of a result; "Unknown error" for values without one.
  static const char* errorToString(RectifyError error);
  // The rectification result a calibration reader result stands for.
  static RectifyError parseToRectifyError(ParseError error);
};

#endif
