#include "stelox.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>

TEST(ErrorMessages, EveryCodeHasItsText) {
  struct Case { int code; const char* text; };
  const Case cases[] = {
      {0, "Function succeeded"},
      {11, "Invalid Row Increment. "},
      {31, "cannot unrectify pixel"},
      {34, "Invalid context"},
      {44, "Rectification is off. stereo input and output resolution differ"},
      {49, "Disparity map size and output resolution differ"},
      {50, "Unknown Error"},
  };
  for (const Case& c : cases)
    EXPECT_STREQ(steloxErrorToString(static_cast<SteloxError>(c.code)), c.text) << c.code;

  for (int code = 0; code < 50; ++code)
    EXPECT_STRNE(steloxErrorToString(static_cast<SteloxError>(code)), "Unknown Error") << code;
}

TEST(ErrorMessages, ValuesOutsideTheTableAreUnknown) {
  for (uint32_t code : {51u, 1000u, 0x7fffffffu, 0xffffffffu})
    EXPECT_STREQ(steloxErrorToString(static_cast<SteloxError>(static_cast<int32_t>(code))),
                 "Unknown Error");
}

TEST(Version, RecordAndText) {
  EXPECT_EQ(steloxGetVersion(nullptr), SteloxErrorNullVersionStructure);

  SteloxVersion version{-1, -1, -1, -1};
  ASSERT_EQ(steloxGetVersion(&version), SteloxErrorOk);
  EXPECT_EQ(version.major, 4);
  EXPECT_EQ(version.minor, 0);
  EXPECT_EQ(version.releaseType, 3);
  EXPECT_EQ(version.build, 4);

  EXPECT_STREQ(steloxVersion(), "Stelox Stereo Vision SDK 4.0 Release 4");
  EXPECT_EQ(steloxVersion(), steloxVersion()) << "one static buffer";
}

TEST(PublicRecords, LayoutMatchesTheInterface) {
  EXPECT_EQ(sizeof(SteloxError), 4u);
  EXPECT_EQ(sizeof(SteloxColorPixel), 4u);
  EXPECT_EQ(sizeof(SteloxPoint3d), 12u);
  EXPECT_EQ(sizeof(SteloxVersion), 16u);
  EXPECT_EQ(sizeof(SteloxROI), 16u);
  EXPECT_EQ(sizeof(SteloxTransform), 128u);
  EXPECT_EQ(offsetof(SteloxImage, data), 16u);
  EXPECT_EQ(offsetof(SteloxMonoStereoPair, left), sizeof(SteloxImage));
  EXPECT_EQ(offsetof(SteloxColorPixel, red), 2u);
}
