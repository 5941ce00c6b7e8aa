// Version and error-message functions of the C interface.
#include "stelox.h"

#include <cstdio>

namespace {

const SteloxVersion kLibraryVersion = {4, 0, 3, 4};

// Indexed by SteloxError value; the texts are part of the interface.
const char* const kErrorMessages[] = {
    "Function succeeded",
    "Invalid setting",
    "Invalid camera",
    "Camera configuration is invalid",
    "Invalid region of interest",
    "The parameter passed to the function was invalid",
    "Invalid Source Resolution",
    "Roi and Output aspect ratios differ",
    "Invalid Resolution",
    "Invalid Coordinates",
    "Sensor calibrated area outside input",
    "Invalid Row Increment. ",
    "Disparity input parameter less than or equal to zero",
    "Distance input parameter less than or equal to zero",
    "The filename passed to the function was invalid",
    "Invalid number of disparities",
    "Invalid Stereo Input",
    "Image is neither single nor side-by-side",
    "Invalid null version structure",
    "Invalid request",
    "Invalid or not supported stereo algorithm",
    "Camera Configuration not set",
    "Camera configuration already set",
    "Invalid Stelox image type",
    "Invalid or not supported image file format",
    "Invalid or not supported color pixel format",
    "Invalid bit depth image",
    "Exceeded maximum number of output columns",
    "Rectification not called yet",
    "Edge correlation not called yet",
    "Disparity computation not called yet",
    "cannot unrectify pixel",
    "Configuration file corrupt",
    "Invalid context configuration",
    "Invalid context",
    "3d transformation file corrupted",
    "Error generating data for rectification",
    "Invalid version of the configuration file",
    "Error reading file",
    "Error writing file",
    "Bad Memory Allocation",
    "Invalid Null Buffer",
    "Invalid internal setting",
    "Sizes of the stereo input images mismatch",
    "Rectification is off. stereo input and output resolution differ",
    "Rectification is off. Roi size and output resolution differ",
    "Invalid stereo region of interest",
    "3d image size does not match output resolution",
    "Rotation matrix is singular",
    "Disparity map size and output resolution differ",
    "Unknown Error",
};
constexpr unsigned kMessageCount = sizeof(kErrorMessages) / sizeof(kErrorMessages[0]);
static_assert(kMessageCount == SteloxErrorUnknown + 1, "one message per error code");

const char* releaseTypeWord(int releaseType) {
  switch (releaseType) {
    case 0: return "Alpha";
    case 1: return "Beta";
    case 2: return "Release Candidate";
    case 3: return "Release";
    default: return "Unknown Release!";
  }
}

}  // namespace

extern "C" {

STELOX_API const char* steloxErrorToString(SteloxError code) {
  // Compared as unsigned so that negative values fall outside the table too.
  const unsigned index = static_cast<unsigned>(code);
  return index < kMessageCount ? kErrorMessages[index] : kErrorMessages[SteloxErrorUnknown];
}

STELOX_API SteloxError steloxGetVersion(SteloxVersion* version) {
  if (version == nullptr) return SteloxErrorNullVersionStructure;
  *version = kLibraryVersion;
  return SteloxErrorOk;
}

STELOX_API const char* steloxVersion(void) {
  static char text[256];
  std::snprintf(text, sizeof(text), "Stelox Stereo Vision SDK %d.%d %s %d", kLibraryVersion.major,
                kLibraryVersion.minor, releaseTypeWord(kLibraryVersion.releaseType),
                kLibraryVersion.build);
  return text;
}

}  // extern "C"
