// The reader is the library's first contact with outside data: whatever the
// text, it returns a result code and never reads outside its input. These
// tests are most telling in the sanitizer build.
#include "calibration/ConfigFile.h"
#include "calibration/CalibrationText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

using namespace calibration_text;

namespace {

bool isReaderResult(ParseError result) {
  return result == ParseErrorOk || result == ParseErrorEmptyConfiguration ||
         result == ParseErrorOutOfMemory || (result >= ParseErrorWarpIdMissing &&
                                             result <= ParseErrorNoCameraSection &&
                                             result != 11);
}

// Reads text from memory and walks everything the reader produced.
void readAndWalk(const std::string& text) {
  ConfigFile file;
  const ParseError result = file.loadBuffer(text.c_str());
  ASSERT_TRUE(isReaderResult(result)) << result;
  for (int i = 0; i < file.getNumberOfConfigurations(); ++i) {
    auto section = file.getConfigSection(i);
    ASSERT_NE(section, nullptr);
    ASSERT_TRUE(isReaderResult(section->getParseResult()));
    for (int l = 0; l < section->getNumberOfLensData(); ++l) {
      auto lens = section->getLensData(l);
      ASSERT_EQ(lens->getParseResult(), ParseErrorOk);
      for (int w = 0; w < 2; ++w) {
        for (auto warp : {lens->getWarpDataRectified(w), lens->getWarpDataDistorted(w)}) {
          ASSERT_NE(warp, nullptr);
          ASSERT_EQ(warp->getParseResult(), ParseErrorOk);
          EXPECT_EQ(warp->getXKnots()->size(), static_cast<std::size_t>(warp->getNumKnots()));
          EXPECT_EQ(warp->getYKnots()->size(), static_cast<std::size_t>(warp->getNumKnots()));
          EXPECT_EQ(warp->getCoefs()->size(), static_cast<std::size_t>(warp->getNumCoefs(0)) *
                                                  static_cast<std::size_t>(warp->getNumCoefs(1)));
        }
      }
    }
  }
}

}  // namespace

TEST(CalibrationBadInput, EveryTruncationOfAValidTextReads) {
  const std::string text = twoLensConfiguration();
  for (std::size_t length = 0; length <= text.size(); ++length)
    readAndWalk(text.substr(0, length));

  ConfigFile file;
  file.loadBuffer(text.substr(0, text.rfind("EndCamera")).c_str());
  EXPECT_EQ(file.getConfigSection(0)->getParseResult(), ParseErrorNoCameraSection);
}

TEST(CalibrationBadInput, BinaryGarbageAndMutatedTextsRead) {
  std::mt19937 random(20261211);
  const std::string valid = twoLensConfiguration();
  for (int round = 0; round < 300; ++round) {
    std::string garbage(1 + random() % 2000, '\0');
    for (char& c : garbage) c = static_cast<char>(1 + random() % 255);
    readAndWalk(garbage);
    readAndWalk("Version \"GEMLO 4.0\"\n" + garbage);

    std::string mutated = valid;
    for (int flips = 0; flips < 8; ++flips) {
      const char replacements[] = {'\n', ' ', '#', '\\', '"', '-', '9', 'e', '.', '\x80'};
      mutated[random() % mutated.size()] = replacements[random() % sizeof(replacements)];
    }
    readAndWalk(mutated);
  }
}

TEST(CalibrationBadInput, HugeLinesAndValuesStayBounded) {
  const std::string digits(100000, '9');
  const std::string longWord(20000, 'A');
  std::string manyNumbers;
  for (int i = 0; i < 3000; ++i) manyNumbers += "1.5 ";
  const std::string texts[] = {
      "Version \"GEMLO 4.0\"\nSerialNumber " + digits + "\n",
      "Version \"GEMLO 4.0\"\nBaseLine 1" + digits + "\n",
      "Version \"GEMLO 4.0\"\nProduct \"" + longWord + "\n",
      "Version \"GEMLO 4.0\"\n" + longWord + "Version\n" + longWord + "\n",
      "Version \"GEMLO 4.0\"\nBeginWarp\nId 1\nNumberKnots 2147483647\nKnotsX " + manyNumbers +
          "\nKnotsY " + manyNumbers + "\nEndWarp\n",
      "Version \"GEMLO 4.0\"\nBeginCamera\nWarp 1 1\nIWarp 1 1\nEndCamera\nBeginWarp\nId 1\n"
      "NumberKnots 2\nKnotsX 0 1\nKnotsY 0 1\nNumberCoefs 46341 46341\nCoefs " + manyNumbers +
          "\nEndWarp\n",
  };
  for (const std::string& text : texts) readAndWalk(text);
}

TEST(CalibrationBadInput, ManyLensesNamingTheSameTablesShareThem) {
  std::string text = "Version \"GEMLO 4.0\"\n";
  for (int i = 0; i < 2000; ++i) text += lensBlock(i, "0 0 0");
  text += warpBlock(1) + warpBlock(2) + warpBlock(3) + warpBlock(4);
  ConfigFile file;
  ASSERT_EQ(file.loadBuffer(text.c_str()), ParseErrorOk);
  auto section = file.getConfigSection(0);
  ASSERT_EQ(section->getNumberOfLensData(), 2000);
  EXPECT_EQ(section->getLensData(0)->getWarpDataRectified(0),
            section->getLensData(1999)->getWarpDataRectified(0));
}
