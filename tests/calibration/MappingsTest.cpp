#include "context/SteloxHelper.h"
#include "rectify/RectifyError.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

TEST(SteloxHelper, ParseResultsMapToInterfaceErrors) {
  const SteloxError expected[] = {
      SteloxErrorOk, SteloxErrorFileRead,
      SteloxErrorCorruptConfigurationFile, SteloxErrorCorruptConfigurationFile,
      SteloxErrorCorruptConfigurationFile, SteloxErrorBadAlloc,
      SteloxErrorCorruptConfigurationFile, SteloxErrorCorruptConfigurationFile,
      SteloxErrorCorruptConfigurationFile, SteloxErrorCorruptConfigurationFile,
      SteloxErrorCorruptConfigurationFile, SteloxErrorCorruptConfigurationFile,
      SteloxErrorCorruptConfigurationFile, SteloxErrorCorruptConfigurationFile,
  };
  for (int32_t value = 0; value < 14; ++value)
    EXPECT_EQ(SteloxHelper::parseToSteloxError(static_cast<ParseError>(value)), expected[value])
        << value;
  for (int32_t value : {14, 99, INT32_MAX, -1, INT32_MIN})
    EXPECT_EQ(SteloxHelper::parseToSteloxError(static_cast<ParseError>(value)),
              SteloxErrorUnknown)
        << value;
}

TEST(SteloxHelper, RectifyResultsMapToInterfaceErrors) {
  for (int32_t value = 0; value < 24; ++value) {
    SteloxError expected = SteloxErrorCorruptConfigurationFile;  // 7 to 22
    if (value == 0) expected = SteloxErrorOk;
    if (value == 1 || value == 3) expected = SteloxErrorBadAlloc;
    if (value == 2) expected = SteloxErrorRectificationDataFailure;
    if (value >= 4 && value <= 6) expected = SteloxErrorInvalidInternalSetting;
    if (value == 23) expected = SteloxErrorCannotUnrectifyPixel;
    EXPECT_EQ(SteloxHelper::rectifyToSteloxError(static_cast<RectifyError>(value)), expected)
        << value;
  }
  for (int32_t value : {24, 25, 1000, INT32_MAX, -1, INT32_MIN})
    EXPECT_EQ(SteloxHelper::rectifyToSteloxError(static_cast<RectifyError>(value)),
              SteloxErrorUnknown)
        << value;
}

TEST(RectifyError, MessagesAndUnknownValues) {
  struct Case { int32_t value; const char* message; };
  const Case cases[] = {
      {0, "The operation completed successfully."},
      {1, "Failed to reallocate memory"},
      {2, "Failed to build Warper"},
      {3, "Failed to allocate memory"},
      {4, "Failed to set rectified adjustment"},
      {5, "Failed to set raw adjustment"},
      {6, "Unknown error"},
      {7, "Invalid section in config file"},
      {8, "Invalid product name"},
      {9, "Invalid expected number of lens"},
      {10, "Unknown error"},
      {11, "Lens Data Id doesn't exist"},
      {12, "Focal length doesn't exist"},
      {13, "Image centre coordinates don't exist"},
      {14, "Gain doesn't exist"},
      {15, "Invalid warp data"},
      {16, "Warp data id don't exist"},
      {17, "Warp data don't exist"},
      {18, "No configurations in the config file"},
      {19, "To many configurations sections in the config file"},
      {20, "Invalid configuration file"},
      {21, "Unknown error"},
      {22, "Unknown error"},
      {23, "Unknown error"},
      {24, "Unknown error"},
      {99, "Unknown error"},
      {-1, "Unknown error"},
  };
  for (const Case& c : cases)
    EXPECT_STREQ(rectifyErrorMessage(static_cast<RectifyError>(c.value)), c.message) << c.value;
}
