#include "imageio/ImageFileTestSupport.h"
#include "imageio/PgmFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

using namespace imageio_test;

namespace {

Image<unsigned char> randomImage(int rows, int cols, unsigned seed)
{
  std::mt19937 generator(seed);
  Image<unsigned char> image(rows, cols);
  for (int row = 0; row < rows; ++row)
    for (int col = 0; col < cols; ++col)
      image[row][col] = static_cast<unsigned char>(generator());
  return image;
}

std::vector<unsigned char> pixelsOf(const Image<unsigned char>& image)
{
  std::vector<unsigned char> pixels;
  for (int row = 0; row < image.nRows(); ++row)
    pixels.insert(pixels.end(), image[row].data(), image[row].data() + image.nCols());
  return pixels;
}

}  // namespace

TEST(PgmFile, SaveThenLoadGivesBackThePixels)
{
  const ScratchFolder folder;
  const Image<unsigned char> whole = randomImage(23, 37, 5);
  // A view inside a larger image: only its own pixels are written.
  const Image<unsigned char> part = whole.region(3, 5, 10, 11);
  for (const Image<unsigned char>* image : {&whole, &part}) {
    const std::string path = folder.path("image.pgm");
    ASSERT_TRUE(save_pgm(path.c_str(), *image));
    const std::string header =
        "P5\n#2cam\n" + std::to_string(image->nCols()) + " " + std::to_string(image->nRows()) + "\n255\n";
    const std::string bytes = readBytes(path);
    EXPECT_EQ(bytes.substr(0, header.size()), header);
    EXPECT_EQ(bytes.size(), header.size() + static_cast<std::size_t>(image->nRows() * image->nCols()));
    Image<unsigned char> loaded;
    ASSERT_TRUE(load_pgm(path.c_str(), loaded));
    EXPECT_EQ(loaded.size(), image->size());
    EXPECT_EQ(pixelsOf(loaded), pixelsOf(*image));
  }
}

TEST(PgmFile, ReadsCommentsAsciiSamplesAndWideMaximumsAsBytes)
{
  const ScratchFolder folder;
  struct Case {
    const char* what;
    std::string text;
    int rows;
    int cols;
    std::vector<unsigned char> pixels;
  };
  const Case cases[] = {
      {"comment between width and height", std::string("P5\n3\n# height next\n2\n255\n") + "\1\2\3\4\5\6", 2, 3,
       {1, 2, 3, 4, 5, 6}},
      {"comment before the width", std::string("P5\n# made by hand\n3 2 255\n") + "\1\2\3\4\5\6", 2, 3,
       {1, 2, 3, 4, 5, 6}},
      {"ASCII samples", "P2\n3 2\n255\n1 2 3\n4 5 6\n", 2, 3, {1, 2, 3, 4, 5, 6}},
      {"ASCII samples keep their low 8 bits", "P2 3 1\n# wide\n65535\n300 256 65535", 1, 3, {44, 0, 255}},
      {"maximum 65535 read as bytes", std::string("P5\n2 2\n65535\n") + "\1\2\3\4\5\6\7\10", 2, 2, {1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = folder.write("case.pgm", c.text);
    Image<unsigned char> loaded;
    ASSERT_TRUE(load_pgm(path.c_str(), loaded));
    EXPECT_EQ(loaded.nRows(), c.rows);
    EXPECT_EQ(loaded.nCols(), c.cols);
    EXPECT_EQ(pixelsOf(loaded), c.pixels);
  }
}

// A refused file leaves the image as it was, allocates nothing it announces
// and leaves no file open.
TEST(PgmFile, RefusesBadFilesLeavingTheImageAlone)
{
  const ScratchFolder folder;
  const char* const texts[] = {
      "",
      "P",
      "P6\n1 1\n255\nabc",
      "X5\n1 1\n255\na",
      "P5\nab 2\n255\n",
      "P5\n-3 2\n255\nabcdef",
      "P5\n3 2\n",
      "P5\n3 2\n# a comment line and then nothing",
      "P5\n4 2\n255\nabc",
      "P2\n3 1\n255\n1 2",
      "P2\n2 1\n255\n1 x  ",
      "P5\n0 2\n255\n",
      "P5\n100000 100000\n255\n0123456789",
      "P5\n99999999999999999999 1\n255\n0",
  };
  const Image<unsigned char> original = randomImage(2, 3, 6);
  const int descriptors = openDescriptors();
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    const std::string path = folder.write("bad.pgm", text);
    Image<unsigned char> image = original;
    EXPECT_FALSE(load_pgm(path.c_str(), image));
    EXPECT_EQ(image.bufferptr(), original.bufferptr());
    EXPECT_EQ(image.size(), original.size());
    // The same through an open file that the reader is asked to close.
    EXPECT_FALSE(load_pgm(std::fopen(path.c_str(), "rb"), image, true));
    EXPECT_EQ(image.bufferptr(), original.bufferptr());
  }
  Image<unsigned char> image = original;
  EXPECT_FALSE(load_pgm(folder.path("missing.pgm").c_str(), image));
  EXPECT_FALSE(load_pgm(static_cast<const char*>(nullptr), image));
  EXPECT_FALSE(load_pgm(static_cast<std::FILE*>(nullptr), image, true));
  EXPECT_EQ(image.bufferptr(), original.bufferptr());
  EXPECT_EQ(openDescriptors(), descriptors);
  EXPECT_LT(peakResidentMiB(), 2048);
}

TEST(PgmFile, OpenFilesStayOpenUnlessClosingIsAsked)
{
  // A stream of unknown size reads too.
  char text[] = "P5\n2 1\n255\nab";
  std::FILE* memory = fmemopen(text, sizeof text - 1, "rb");
  ASSERT_NE(memory, nullptr);
  Image<unsigned char> image;
  ASSERT_TRUE(load_pgm(memory, image, false));
  EXPECT_EQ(pixelsOf(image), (std::vector<unsigned char>{'a', 'b'}));
  EXPECT_EQ(std::fgetc(memory), EOF);
  EXPECT_EQ(std::fclose(memory), 0);

  const ScratchFolder folder;
  const std::string path = folder.path("then-more.pgm");
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(save_pgm(file, image, false));
  EXPECT_GT(std::fputs("tail", file), -1);
  EXPECT_EQ(std::fclose(file), 0);
  EXPECT_EQ(readBytes(path), "P5\n#2cam\n2 1\n255\nabtail");

  EXPECT_FALSE(save_pgm(static_cast<std::FILE*>(nullptr), image, true));
  EXPECT_FALSE(save_pgm(static_cast<const char*>(nullptr), image));
  EXPECT_FALSE(save_pgm(folder.path("empty.pgm").c_str(), Image<unsigned char>()));
  EXPECT_FALSE(save_pgm(folder.path("missing/x.pgm").c_str(), image));
}
