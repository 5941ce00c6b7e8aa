#include "context/SteloxHelper.h"

#include <cstdint>

namespace {

template <typename Code, std::size_t N>
SteloxError lookUp(const SteloxError (&table)[N], Code code) {
  const auto index = static_cast<uint32_t>(code);
  return index < N ? table[index] : SteloxErrorUnknown;
}

// Indexed by ParseError value. The reserved values 3, 4 and 11 count as a
// corrupt file like their neighbours.
const SteloxError kParseErrors[] = {
    SteloxErrorOk,                        // 0 read without error
    SteloxErrorFileRead,                  // 1 the file cannot be opened
    SteloxErrorCorruptConfigurationFile,  // 2 empty configuration
    SteloxErrorCorruptConfigurationFile,  // 3 reserved
    SteloxErrorCorruptConfigurationFile,  // 4 reserved
    SteloxErrorBadAlloc,                  // 5 out of memory
    SteloxErrorCorruptConfigurationFile,  // 6 warp id missing
    SteloxErrorCorruptConfigurationFile,  // 7 knot count missing
    SteloxErrorCorruptConfigurationFile,  // 8 knots missing
    SteloxErrorCorruptConfigurationFile,  // 9 coefficient count missing
    SteloxErrorCorruptConfigurationFile,  // 10 coefficients missing
    SteloxErrorCorruptConfigurationFile,  // 11 reserved
    SteloxErrorCorruptConfigurationFile,  // 12 lens warp ids missing
    SteloxErrorCorruptConfigurationFile,  // 13 no lens block
};

// Indexed by RectifyError value; 24 and above are unknown.
const SteloxError kRectifyErrors[] = {
    SteloxErrorOk,                          // 0
    SteloxErrorBadAlloc,                    // 1 reallocate
    SteloxErrorRectificationDataFailure,    // 2 build warper
    SteloxErrorBadAlloc,                    // 3 allocate
    SteloxErrorInvalidInternalSetting,      // 4 rectified adjustment
    SteloxErrorInvalidInternalSetting,      // 5 raw adjustment
    SteloxErrorInvalidInternalSetting,      // 6 shift
    SteloxErrorCorruptConfigurationFile,    // 7 invalid section
    SteloxErrorCorruptConfigurationFile,    // 8 product name
    SteloxErrorCorruptConfigurationFile,    // 9 number of lenses
    SteloxErrorCorruptConfigurationFile,    // 10 lens warp ids
    SteloxErrorCorruptConfigurationFile,    // 11 lens id
    SteloxErrorCorruptConfigurationFile,    // 12 focal length
    SteloxErrorCorruptConfigurationFile,    // 13 image centre
    SteloxErrorCorruptConfigurationFile,    // 14 gain
    SteloxErrorCorruptConfigurationFile,    // 15 warp data
    SteloxErrorCorruptConfigurationFile,    // 16 warp data id
    SteloxErrorCorruptConfigurationFile,    // 17 warp data missing
    SteloxErrorCorruptConfigurationFile,    // 18 no configurations
    SteloxErrorCorruptConfigurationFile,    // 19 too many configurations
    SteloxErrorCorruptConfigurationFile,    // 20 invalid configuration file
    SteloxErrorCorruptConfigurationFile,    // 21 reserved parse result
    SteloxErrorCorruptConfigurationFile,    // 22 not produced
    SteloxErrorCannotUnrectifyPixel,        // 23 point search failed
};

}  // namespace

SteloxError SteloxHelper::parseToSteloxError(ParseError error) {
  return lookUp(kParseErrors, error);
}

SteloxError SteloxHelper::rectifyToSteloxError(RectifyError error) {
  return lookUp(kRectifyErrors, error);
}
