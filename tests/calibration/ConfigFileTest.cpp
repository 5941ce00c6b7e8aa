#include "calibration/ConfigFile.h"
#include "calibration/CalibrationText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

using namespace calibration_text;

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// An anonymous temporary file holding text, positioned at its end (the reader
// must rewind it).
File streamOf(const std::string& text) {
  File file(std::tmpfile());
  std::fwrite(text.data(), 1, text.size(), file.get());
  return file;
}

std::vector<std::string> linesOf(const ConfigSection& section) {
  std::vector<std::string> lines;
  for (const ConfigLine& line : section.getConfigLines()) lines.push_back(*line);
  return lines;
}

}  // namespace

TEST(ConfigFile, FileKeepsLeadingCommentsVerbatimAndCleansTheRest) {
  ConfigFile file;
  File stream = streamOf(
      "# Rig 7\n"
      "#\tcalibrated\n"
      "Version \"GEMLO 4.0\"\n"
      "   Baseline   0.12  # metres\n"
      "# inside\n"
      "\n"
      "Key value \\\n"
      "BeginCamera\n"
      "EndCamera\n");
  ASSERT_EQ(file.load(stream.get()), ParseErrorOk);
  ASSERT_EQ(file.getNumberOfConfigurations(), 1);
  auto section = file.getConfigSection(0);
  EXPECT_EQ(linesOf(*section),
            (std::vector<std::string>{"# Rig 7\n", "#\tcalibrated\n", "Version \"GEMLO 4.0\"",
                                      "Baseline   0.12", "", "", "BeginCamera", "EndCamera"}));
  EXPECT_EQ(section->getNumberConfigLines(), 8);
}

TEST(ConfigFile, FileSplitsAtVersionInTheFirstColumnOnly) {
  ConfigFile file;
  File stream = streamOf("Product GEMLO\n"
                         "Version \"GEMLO 4.0\"\n"
                         "version \"GEMLO 4.0\"\n"
                         " Version \"GEMLO 4.0\"\n"
                         "Version \"GEMLO 3.0\"\n"
                         "Baseline 0.24\n");
  ASSERT_EQ(file.load(stream.get()), ParseErrorOk);
  ASSERT_EQ(file.getNumberOfConfigurations(), 2);
  EXPECT_EQ(file.getConfigSection(0)->getNumberConfigLines(), 4);
  EXPECT_EQ(file.getConfigSection(0)->getHeader()->getProductName(), "GEMLO");
  EXPECT_EQ(file.getConfigSection(1)->getNumberConfigLines(), 2);
  EXPECT_EQ(file.getConfigSection(1)->getHeader()->getVersionMajorNumber(), 3);
  EXPECT_EQ(file.getConfigSection(2), nullptr);
  EXPECT_EQ(file.getConfigSection(-1), nullptr);
}

TEST(ConfigFile, TextsWithoutConfigurationsReadAsEmpty) {
  ConfigFile file;
  File empty = streamOf("");
  EXPECT_EQ(file.load(empty.get()), ParseErrorOk);
  EXPECT_EQ(file.getNumberOfConfigurations(), 0);
  File noVersion = streamOf("Product GEMLO\nBaseline 0.1\n");
  EXPECT_EQ(file.load(noVersion.get()), ParseErrorOk);
  EXPECT_EQ(file.getNumberOfConfigurations(), 0);
  EXPECT_EQ(file.loadBuffer("Product GEMLO\n"), ParseErrorOk);
  EXPECT_EQ(file.getNumberOfConfigurations(), 0);
  EXPECT_EQ(file.loadBuffer(nullptr), ParseErrorOk);
  EXPECT_EQ(file.loadBuffer(""), ParseErrorOk);
  EXPECT_EQ(file.getNumberOfConfigurations(), 0);
}

TEST(ConfigFile, NamedFileIsReadAndAMissingOneCannotBeOpened) {
  char name[] = "/tmp/stelox-calibration-XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  const std::string text = twoLensConfiguration();
  ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  close(fd);

  ConfigFile file{std::string(name)};
  EXPECT_EQ(file.getParseResult(), ParseErrorOk);
  EXPECT_EQ(file.getNumberOfConfigurations(), 1);
  std::remove(name);

  EXPECT_EQ(file.load(std::string(name)), ParseErrorFileOpen);
  EXPECT_EQ(file.getParseResult(), ParseErrorFileOpen);
  EXPECT_EQ(file.getNumberOfConfigurations(), 0);

  // A directory opens but cannot be read; a null stream cannot be read.
  EXPECT_EQ(file.load(std::string("/tmp")), ParseErrorFileOpen);
  EXPECT_EQ(file.load(static_cast<std::FILE*>(nullptr)), ParseErrorFileOpen);
}

TEST(ConfigFile, BufferSkipsBlankLinesAndStartsAtVersionInAnyCase) {
  ConfigFile file;
  ASSERT_EQ(file.loadBuffer("Ignored before\n"
                            "\n\n  VERSION \"GEMLO 4.0\"\n"
                            "\t Baseline 0.12 # metres\n"
                            "# comment\n"
                            "version \"GEMLO 4.0\"\n"
                            "Baseline 0.24"),
            ParseErrorOk);
  ASSERT_EQ(file.getNumberOfConfigurations(), 2);
  EXPECT_EQ(linesOf(*file.getConfigSection(0)),
            (std::vector<std::string>{"VERSION \"GEMLO 4.0\"", "Baseline 0.12", ""}));
  EXPECT_EQ(file.getConfigSection(1)->getHeader()->getBaseline(), 0.24);
}

TEST(ConfigFile, CarriageReturnsReadLikeLineFeeds) {
  std::string unix = twoLensConfiguration();
  std::string dos;
  for (char c : unix) {
    if (c == '\n') dos += '\r';
    dos += c;
  }
  ConfigFile a, b, c;
  a.loadBuffer(unix.c_str());
  b.loadBuffer(dos.c_str());
  File stream = streamOf(dos);
  c.load(stream.get());
  ASSERT_EQ(a.getNumberOfConfigurations(), 1);
  ASSERT_EQ(b.getNumberOfConfigurations(), 1);
  ASSERT_EQ(c.getNumberOfConfigurations(), 1);
  EXPECT_EQ(linesOf(*a.getConfigSection(0)), linesOf(*b.getConfigSection(0)));
  EXPECT_EQ(linesOf(*a.getConfigSection(0)), linesOf(*c.getConfigSection(0)));
  EXPECT_EQ(b.getConfigSection(0)->getNumberOfLensData(), 2);
}

TEST(ConfigFile, OverLongLinesAreReadAsSeveralLinesByBothReaders) {
  const std::string longValue(5000, '7');
  const std::string text = "Version \"GEMLO 4.0\"\nSerialNumber " + longValue + "\nPartId P1\n";
  ConfigFile fromBuffer, fromFile;
  fromBuffer.loadBuffer(text.c_str());
  File stream = streamOf(text);
  fromFile.load(stream.get());
  ASSERT_EQ(fromBuffer.getNumberOfConfigurations(), 1);
  ASSERT_EQ(fromFile.getNumberOfConfigurations(), 1);

  const std::vector<std::string> lines = linesOf(*fromBuffer.getConfigSection(0));
  EXPECT_EQ(lines, linesOf(*fromFile.getConfigSection(0)));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1].size(), ParseTools::kMaxLineLength);
  EXPECT_EQ(lines[2], longValue.substr(0, 5000 - (ParseTools::kMaxLineLength - 13)));
  // The cut number does not fit an int, so the fact is absent.
  EXPECT_FALSE(fromBuffer.getConfigSection(0)->getHeader()->exist("m_iSerialNumber"));
  EXPECT_EQ(fromBuffer.getConfigSection(0)->getHeader()->getPartId(), "P1");
}

TEST(ConfigFile, EmbeddedNulEndsTheBufferAndTheFileRead) {
  std::string text = twoLensConfiguration();
  const std::size_t cut = text.find("BaseLine");
  std::string withNul = text;
  withNul[cut + 3] = '\0';

  ConfigFile buffer;
  buffer.loadBuffer(withNul.c_str());
  ASSERT_EQ(buffer.getNumberOfConfigurations(), 1);
  EXPECT_EQ(buffer.getConfigSection(0)->getParseResult(), ParseErrorNoCameraSection);

  // The file reader drops the rest of the line after the NUL and goes on.
  ConfigFile file;
  File stream = streamOf(withNul);
  ASSERT_EQ(file.load(stream.get()), ParseErrorOk);
  ASSERT_EQ(file.getNumberOfConfigurations(), 1);
  auto section = file.getConfigSection(0);
  EXPECT_FALSE(section->getHeader()->exist("m_dBaseline"));
  EXPECT_EQ(section->getNumberOfLensData(), 2);
}

TEST(ConfigFile, EveryLoadStartsAfresh) {
  ConfigFile file;
  const std::string two = twoLensConfiguration("0.12") + twoLensConfiguration("0.24");
  ASSERT_EQ(file.loadBuffer(two.c_str()), ParseErrorOk);
  EXPECT_EQ(file.getNumberOfConfigurations(), 2);
  EXPECT_EQ(file.load(std::string("/nonexistent/calibration.txt")), ParseErrorFileOpen);
  EXPECT_EQ(file.getNumberOfConfigurations(), 0);
  ASSERT_EQ(file.loadBuffer(twoLensConfiguration().c_str()), ParseErrorOk);
  EXPECT_EQ(file.getNumberOfConfigurations(), 1);
}

TEST(ConfigFile, SectionLinesOutliveTheFile) {
  std::shared_ptr<const ConfigSection> section;
  ConfigLines lines;
  {
    ConfigFile file;
    file.loadBuffer(twoLensConfiguration().c_str());
    section = file.getConfigSection(0);
    lines = section->getConfigLines();
  }
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(*lines[0], "Version \"GEMLO 4.0\"");
  EXPECT_EQ(lines[0], section->getConfigLines()[0]);
  EXPECT_EQ(section->getLensData(1)->getPosition()[0], -1);
}

TEST(ConfigSection, LensBlocksAndTheirTerminators) {
  struct Case {
    const char* name;
    std::string blocks;
    ParseError result;
    int lenses;
  };
  const std::string closedByNext = "BeginCamera\nId 0\nWarp 1 2\nIWarp 3 4\n"
                                   "BeginCamera\nId 1\nWarp 1 2\nIWarp 3 4\nEndCamera\n";
  const Case cases[] = {
      {"two closed blocks", lensBlock(0, "0 0 0") + lensBlock(1, "-1 0 0"), ParseErrorOk, 2},
      {"closed by the next block", closedByNext, ParseErrorOk, 2},
      {"last block unterminated", lensBlock(0, "0 0 0") + "BeginCamera\nId 1\n",
       ParseErrorNoCameraSection, 1},
      {"no lens block", "", ParseErrorNoCameraSection, 0},
      {"failing lens dropped", lensBlock(0, "0 0 0") + "BeginCamera\nId 1\nWarp 1 2\nEndCamera\n",
       ParseErrorOk, 1},
      {"lens naming a missing table dropped",
       lensBlock(0, "0 0 0") + "BeginCamera\nWarp 1 9\nIWarp 3 4\nEndCamera\n", ParseErrorOk, 1},
  };
  for (const Case& c : cases) {
    const std::string text = "Version \"GEMLO 4.0\"\n" + c.blocks + warpBlock(1) + warpBlock(2) +
                             warpBlock(3) + warpBlock(4);
    ConfigFile file;
    ASSERT_EQ(file.loadBuffer(text.c_str()), ParseErrorOk) << c.name;
    auto section = file.getConfigSection(0);
    EXPECT_EQ(section->getParseResult(), c.result) << c.name;
    EXPECT_EQ(section->getNumberOfLensData(), c.lenses) << c.name;
    EXPECT_EQ(section->getLensData(c.lenses), nullptr) << c.name;
    EXPECT_EQ(section->getLensData(-1), nullptr) << c.name;
  }
}

TEST(ConfigSection, EmptySectionHasNoCameraSection) {
  ConfigSection section{ConfigLines{}};
  EXPECT_EQ(section.getParseResult(), ParseErrorNoCameraSection);
  EXPECT_EQ(section.getNumberConfigLines(), 0);
  ASSERT_NE(section.getHeader(), nullptr);
  EXPECT_FALSE(section.getHeader()->exist("m_pszVersion"));

  // A configuration whose every line is dropped by cleaning is empty.
  ConfigFile file;
  EXPECT_EQ(file.loadBuffer("Version \"GEMLO 4.0\" \\\n"), ParseErrorEmptyConfiguration);
  ASSERT_EQ(file.getNumberOfConfigurations(), 1);
  EXPECT_EQ(file.getConfigSection(0)->getParseResult(), ParseErrorNoCameraSection);
}
