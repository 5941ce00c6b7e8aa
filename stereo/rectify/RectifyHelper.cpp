#include "rectify/RectifyHelper.h"

const char* RectifyHelper::errorToString(RectifyError error) { return rectifyErrorMessage(error); }

RectifyError RectifyHelper::parseToRectifyError(ParseError error) {
  switch (static_cast<int>(error)) {
  case 0:
    return RectifyErrorOk;
  case 1:
  case 2:
    return RectifyErrorInvalidConfigFile;
  case 3:
  case 4:
    return RectifyErrorReservedParse;
  case 5:
    return RectifyErrorAllocate;
  case 6:
  case 7:
  case 8:
  case 9:
  case 10:
  case 11:
    return RectifyErrorInvalidWarpData;
  case 12:
    return RectifyErrorLensWarpIds;
  case 13:
    return RectifyErrorInvalidSection;
  default:
    return RectifyErrorUnknownParse;
  }
}
