// The exported 4-lane utility kernels on small worked examples.
#include "match/MatchUtilityKernels.h"

#include <gtest/gtest.h>

TEST(MatchUtilityKernels, DifferencesSlidingSumsAndWinners) {
  const unsigned char a[2] = {10, 200};
  const unsigned char b[5] = {12, 7, 10, 255, 0};
  Pixel8x4 diff[2];
  abs_diff_4x4(diff, a, b, 2);
  EXPECT_EQ(diff[0].channel[0], 2);
  EXPECT_EQ(diff[0].channel[3], 245);
  EXPECT_EQ(diff[1].channel[1], 190);
  EXPECT_EQ(diff[1].channel[3], 200);

  // Windows of 2 over differences 1, 2, 3 (lane 0): 3 then 5; sums move by
  // the change against the previous window.
  const Pixel8x4 d[3] = {{{1, 0, 0, 0}}, {{2, 0, 0, 0}}, {{3, 0, 0, 0}}};
  Pixel16x4 sums[2] = {{{100, 0, 0, 0}}, {{100, 0, 0, 0}}};
  Pixel16x4 previous[2] = {{{1, 0, 0, 0}}, {{10, 0, 0, 0}}};
  boxer_4x4(sums, previous, d, 2, 2);
  EXPECT_EQ(sums[0].channel[0], 102);
  EXPECT_EQ(sums[1].channel[0], 95);
  EXPECT_EQ(previous[1].channel[0], 5);

  Pixel16x4 best[1] = {{{5, 5, 0x7FFF, 5}}};
  Pixel8x4 winner[1] = {{{1, 1, 1, 1}}};
  const Pixel16x4 scores[1] = {{{4, 5, 0x8000, 6}}};  // 0x8000 is negative when signed
  correlate_4x4(best, winner, scores, 9, 1);
  EXPECT_EQ(winner[0].channel[0], 9);
  EXPECT_EQ(winner[0].channel[1], 1);
  EXPECT_EQ(winner[0].channel[2], 9);
  EXPECT_EQ(best[0].channel[2], 0x8000);
  EXPECT_EQ(winner[0].channel[3], 1);
}

TEST(MatchUtilityKernels, FillsAndCopies) {
  unsigned words[6] = {};
  const unsigned value = 0xA1B2C3D4;
  mongo_init_8x4(words, &value, 3, 2);
  EXPECT_EQ(words[4], value);
  EXPECT_EQ(words[5], 0u);
  const unsigned char bytes[2] = {7, 9};
  mongo_set_8x4(words, bytes, 2, 3);
  EXPECT_EQ(words[3], 0x00090009u);
  init_4x4(words, &value, 6);
  EXPECT_EQ(words[5], value);

  const unsigned short shorts[2] = {300, 400};
  Pixel16x4 wide[4] = {};
  mongo_set_16x4(wide, shorts, 2, 2);
  EXPECT_EQ(wide[2].channel[3], 400);
  EXPECT_EQ(wide[1].channel[0], 0);
  copy16_4x4(wide, shorts, 2);
  EXPECT_EQ(wide[1].channel[2], 400);
  Pixel16x4 copied[2];
  copy_4x4(copied, wide, 2);
  EXPECT_EQ(copied[0].channel[1], 300);
  Pixel8x4 narrow[2];
  copy8_4x4(narrow, bytes, 2);
  EXPECT_EQ(narrow[1].channel[3], 9);
}
