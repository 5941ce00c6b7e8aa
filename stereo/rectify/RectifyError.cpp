#include "rectify/RectifyError.h"

namespace {

const char kUnknown[] = "Unknown error";

// Indexed by value; values 21 and above have no text of their own.
const char* const kMessages[] = {
    "The operation completed successfully.",
    "Failed to reallocate memory",
    "Failed to build Warper",
    "Failed to allocate memory",
    "Failed to set rectified adjustment",
    "Failed to set raw adjustment",
    kUnknown,
    "Invalid section in config file",
    "Invalid product name",
    "Invalid expected number of lens",
    kUnknown,
    "Lens Data Id doesn't exist",
    "Focal length doesn't exist",
    "Image centre coordinates don't exist",
    "Gain doesn't exist",
    "Invalid warp data",
    "Warp data id don't exist",
    "Warp data don't exist",
    "No configurations in the config file",
    "To many configurations sections in the config file",
    "Invalid configuration file",
};

}  // namespace

const char* rectifyErrorMessage(RectifyError error) {
  const auto index = static_cast<uint32_t>(error);
  return index < sizeof(kMessages) / sizeof(kMessages[0]) ? kMessages[index] : kUnknown;
}
