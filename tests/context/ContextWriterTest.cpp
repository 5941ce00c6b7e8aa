// Context files: the current context reloads with its settings, written
// twice gives the same text except the date; the default context repeats
// the loaded lines.
#include "context/ContextFixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using context_fixtures::ContextHandle;
using context_fixtures::configuration;

namespace {

std::string readFile(const std::string& path)
{
  std::ifstream stream(path);
  std::stringstream text;
  text << stream.rdbuf();
  return text.str();
}

std::string withoutDateLines(const std::string& text)
{
  std::istringstream lines(text);
  std::string line, kept;
  while (std::getline(lines, line))
    if (line.rfind("Date ", 0) != 0)
      kept += line + "\n";
  return kept;
}

TEST(ContextWriter, CurrentContextRoundTrip)
{
  const std::string wide = configuration("", "0.24");
  for (const std::string& text : {configuration(), configuration() + wide}) {
    ContextHandle context(text);
    ASSERT_NE(context.get(), nullptr);
    ASSERT_EQ(steloxSetStereoMask(context, 9), SteloxErrorOk);
    ASSERT_EQ(steloxSetTextureValidationThreshold(context, 12.5f), SteloxErrorOk);
    ASSERT_EQ(steloxSetDisparity(context, 0, 48), SteloxErrorOk);
    ASSERT_EQ(steloxSetBackForthValidation(context, 1), SteloxErrorOk);
    ASSERT_EQ(steloxSetSurfaceValidationMapping(context, 7), SteloxErrorOk);
    const std::string first = testing::TempDir() + "context_writer_first.txt";
    const std::string second = testing::TempDir() + "context_writer_second.txt";
    ASSERT_EQ(steloxWriteCurrentContextToFile(context, first.c_str()), SteloxErrorOk);

    ContextHandle reloaded;
    ASSERT_EQ(steloxGetDefaultContextFromFile(reloaded.out(), first.c_str()), SteloxErrorOk) << readFile(first);
    int mask = 0, minimum = -1, maximum = -1, backForth = 0;
    float threshold = 0;
    unsigned char mapping = 0;
    steloxGetStereoMask(reloaded, &mask);
    steloxGetTextureValidationThreshold(reloaded, &threshold);
    steloxGetDisparity(reloaded, &minimum, &maximum);
    steloxGetBackForthValidation(reloaded, &backForth);
    steloxGetSurfaceValidationMapping(reloaded, &mapping);
    EXPECT_EQ(mask, 9);
    EXPECT_FLOAT_EQ(threshold, 12.5f);
    EXPECT_EQ(minimum, 0);
    EXPECT_EQ(maximum, 48);
    EXPECT_EQ(backForth, 1);
    EXPECT_EQ(mapping, 7);

    ASSERT_EQ(steloxWriteCurrentContextToFile(reloaded, second.c_str()), SteloxErrorOk);
    const std::string firstText = readFile(first);
    EXPECT_NE(firstText.find("\nDate "), std::string::npos);
    EXPECT_NE(firstText.find("TextureValidationThreshold  12.5\n"), std::string::npos);
    EXPECT_EQ(withoutDateLines(firstText), withoutDateLines(readFile(second)));
    std::remove(first.c_str());
    std::remove(second.c_str());
  }
}

TEST(ContextWriter, DefaultContextRepeatsTheLoadedLines)
{
  ContextHandle context(configuration());
  ASSERT_EQ(steloxSetStereoMask(context, 9), SteloxErrorOk);
  const std::string path = testing::TempDir() + "context_writer_default.txt";
  ASSERT_EQ(steloxWriteDefaultContextToFile(context, path.c_str()), SteloxErrorOk);
  EXPECT_EQ(readFile(path), configuration());
  ContextHandle reloaded;
  ASSERT_EQ(steloxGetDefaultContextFromFile(reloaded.out(), path.c_str()), SteloxErrorOk);
  int mask = 0;
  steloxGetStereoMask(reloaded, &mask);
  EXPECT_EQ(mask, 7);
  std::remove(path.c_str());
}

TEST(ContextWriter, UnwritableFiles)
{
  ContextHandle context(configuration());
  EXPECT_EQ(steloxWriteCurrentContextToFile(context, "/nonexistent/folder/context.txt"), SteloxErrorFileWrite);
  EXPECT_EQ(steloxWriteDefaultContextToFile(context, "/nonexistent/folder/context.txt"), SteloxErrorFileWrite);
  EXPECT_EQ(steloxWriteCurrentContextToFile(context, nullptr), SteloxErrorInvalidFilename);
}

}  // namespace
