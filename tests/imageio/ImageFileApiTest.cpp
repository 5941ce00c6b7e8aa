#include "context/ContextFixtures.h"
#include "imageio/ImageFileTestSupport.h"
#include "stelox.h"

#include <FreeImage.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

using namespace imageio_test;
using context_fixtures::ContextHandle;

namespace {

const char* const kExtensions[] = {"pgm", "ppm", "png", "tif"};
const SteloxColorPixelFormat kPixelFormats[] = {SteloxColorPixelFormatBGRU, SteloxColorPixelFormatRGBU,
                                                SteloxColorPixelFormatBGRA, SteloxColorPixelFormatRGBA};

template <typename T>
std::vector<T> randomSamples(std::size_t count, unsigned seed)
{
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> sample(0, (1 << (8 * sizeof(T))) - 1);
  std::vector<T> samples(count);
  for (T& value : samples)
    value = static_cast<T>(sample(generator));
  return samples;
}

// Rows of rowBytes bytes each, compared over their first usedBytes bytes.
bool sameRows(const void* a, int aRowIncrement, const void* b, int bRowIncrement, int rows, int usedBytes)
{
  for (int row = 0; row < rows; ++row)
    if (std::memcmp(static_cast<const char*>(a) + static_cast<std::ptrdiff_t>(row) * aRowIncrement,
                    static_cast<const char*>(b) + static_cast<std::ptrdiff_t>(row) * bRowIncrement, usedBytes) != 0)
      return false;
  return true;
}

// The file as FreeImage decodes it; null when it cannot.
struct DecodedFile {
  explicit DecodedFile(const std::string& path)
      : bitmap(FreeImage_Load(FreeImage_GetFileType(path.c_str(), 0), path.c_str(), 0))
  {
  }
  ~DecodedFile() { FreeImage_Unload(bitmap); }
  DecodedFile(const DecodedFile&) = delete;
  DecodedFile& operator=(const DecodedFile&) = delete;
  unsigned bitsPerPixel() const { return bitmap ? FreeImage_GetBPP(bitmap) : 0; }
  FIBITMAP* bitmap;
};

bool isRedFirst(SteloxColorPixelFormat format)
{
  return format == SteloxColorPixelFormatRGBU || format == SteloxColorPixelFormatRGBA;
}

std::string dataFile(const std::string& name) { return std::string(STELOX_DATA_DIR) + "/" + name; }

}  // namespace

TEST(ImageFileApi, GreyAndWideImagesRoundTripThroughEveryFileFormat)
{
  const ScratchFolder folder;
  constexpr int rows = 23;
  constexpr int cols = 37;
  const std::vector<unsigned char> grey = randomSamples<unsigned char>(rows * (cols + 5), 1);
  const std::vector<unsigned short> wide = randomSamples<unsigned short>(rows * (cols + 3), 2);
  const SteloxImage greyRecord{rows, cols, cols + 5, const_cast<unsigned char*>(grey.data())};
  const SteloxImage16 wideRecord{rows, cols, 2 * (cols + 3), const_cast<unsigned short*>(wide.data())};
  for (const char* extension : kExtensions) {
    SCOPED_TRACE(extension);
    const std::string greyPath = folder.path(std::string("grey.") + extension);
    ASSERT_EQ(steloxSaveImage(&greyRecord, greyPath.c_str()), SteloxErrorOk);
    EXPECT_EQ(DecodedFile(greyPath).bitsPerPixel(), 8u);
    SteloxImage grey8{};
    ASSERT_EQ(steloxLoadImageFromFile(greyPath.c_str(), &grey8), SteloxErrorOk);
    EXPECT_EQ(grey8.rows, rows);
    EXPECT_EQ(grey8.cols, cols);
    EXPECT_EQ(grey8.rowIncrement, cols);
    EXPECT_TRUE(sameRows(grey8.data, grey8.rowIncrement, grey.data(), greyRecord.rowIncrement, rows, cols));
    steloxFreeImage(&grey8);
    EXPECT_EQ(grey8.data, nullptr);

    const std::string widePath = folder.path(std::string("wide.") + extension);
    ASSERT_EQ(steloxSaveImage16(&wideRecord, widePath.c_str()), SteloxErrorOk);
    EXPECT_EQ(DecodedFile(widePath).bitsPerPixel(), 16u);
    SteloxImage16 wide16{};
    ASSERT_EQ(steloxLoadImage16FromFile(widePath.c_str(), &wide16), SteloxErrorOk);
    EXPECT_EQ(wide16.rows, rows);
    EXPECT_EQ(wide16.cols, cols);
    EXPECT_EQ(wide16.rowIncrement, 2 * cols);
    EXPECT_TRUE(sameRows(wide16.data, wide16.rowIncrement, wide.data(), wideRecord.rowIncrement, rows, 2 * cols));
    steloxFreeImage16(&wide16);
  }
}

// Byte 3 comes back from a 32-bit file (TIFF of formats 2 and 3) and is 255
// (opaque) from every 24-bit one.
TEST(ImageFileApi, ColourImagesRoundTripInEveryPixelFormatAndFileFormat)
{
  const ScratchFolder folder;
  constexpr int rows = 19;
  constexpr int cols = 29;
  constexpr int rowIncrement = 4 * cols + 12;
  const std::vector<unsigned char> bytes = randomSamples<unsigned char>(rows * rowIncrement, 3);
  const SteloxColorImage record{rows, cols, rowIncrement,
                                reinterpret_cast<SteloxColorPixel*>(const_cast<unsigned char*>(bytes.data()))};
  for (const char* extension : kExtensions) {
    for (const SteloxColorPixelFormat format : kPixelFormats) {
      SCOPED_TRACE(std::string(extension) + " format " + std::to_string(format));
      const bool withAlpha = std::string(extension) == "tif" && format >= SteloxColorPixelFormatBGRA;
      const std::string path = folder.path(std::string("colour.") + extension);
      ASSERT_EQ(steloxSaveColorImage(&record, path.c_str(), format), SteloxErrorOk);
      EXPECT_EQ(DecodedFile(path).bitsPerPixel(), withAlpha ? 32u : 24u);

      SteloxColorImage loaded{};
      ASSERT_EQ(steloxLoadColorImageFromFile(path.c_str(), format, &loaded), SteloxErrorOk);
      ASSERT_EQ(loaded.rows, rows);
      ASSERT_EQ(loaded.cols, cols);
      ASSERT_EQ(loaded.rowIncrement, 4 * cols);
      int wrong = 0;
      for (int row = 0; row < rows; ++row) {
        const unsigned char* got = reinterpret_cast<const unsigned char*>(loaded.data) + row * loaded.rowIncrement;
        const unsigned char* want = bytes.data() + row * rowIncrement;
        for (int b = 0; b < 4 * cols; ++b) {
          const unsigned char expected = b % 4 < 3 ? want[b] : (withAlpha ? want[b] : 255);
          wrong += got[b] != expected;
        }
      }
      EXPECT_EQ(wrong, 0);
      steloxFreeColorImage(&loaded);
    }
  }
}

// One colour (blue 10, green 20, red 30, alpha 40) written in each pixel
// format must be that colour in the file, and reads back in any format.
TEST(ImageFileApi, PixelFormatsGiveTheByteOrderOfTheRecord)
{
  const ScratchFolder folder;
  const unsigned char blueFirst[4] = {10, 20, 30, 40};
  const unsigned char redFirst[4] = {30, 20, 10, 40};
  const std::string path = folder.path("one.tif");
  for (const SteloxColorPixelFormat written : kPixelFormats) {
    SCOPED_TRACE(written);
    SteloxColorPixel pixels[2];
    std::memcpy(&pixels[0], isRedFirst(written) ? redFirst : blueFirst, 4);
    pixels[1] = pixels[0];
    const SteloxColorImage record{1, 2, 8, pixels};
    ASSERT_EQ(steloxSaveColorImage(&record, path.c_str(), written), SteloxErrorOk);
    {
      const DecodedFile file(path);
      ASSERT_NE(file.bitmap, nullptr);
      const BYTE* filePixel = FreeImage_GetScanLine(file.bitmap, 0);
      EXPECT_EQ(filePixel[FI_RGBA_BLUE], 10);
      EXPECT_EQ(filePixel[FI_RGBA_GREEN], 20);
      EXPECT_EQ(filePixel[FI_RGBA_RED], 30);
      if (written >= SteloxColorPixelFormatBGRA) {
        EXPECT_EQ(filePixel[FI_RGBA_ALPHA], 40);
      }
    }
    for (const SteloxColorPixelFormat read : kPixelFormats) {
      SteloxColorImage loaded{};
      ASSERT_EQ(steloxLoadColorImageFromFile(path.c_str(), read, &loaded), SteloxErrorOk);
      const unsigned char* got = reinterpret_cast<const unsigned char*>(loaded.data);
      const unsigned char* want = isRedFirst(read) ? redFirst : blueFirst;
      EXPECT_EQ(std::vector<unsigned char>(got, got + 3), std::vector<unsigned char>(want, want + 3)) << read;
      EXPECT_EQ(got[3], written >= SteloxColorPixelFormatBGRA ? 40 : 255) << read;
      steloxFreeColorImage(&loaded);
    }
  }
}

TEST(ImageFileApi, JpegFilesAreRefusedWhateverTheirName)
{
  const ScratchFolder folder;
  FIBITMAP* photo = FreeImage_Allocate(16, 8, 24);
  ASSERT_NE(photo, nullptr);
  const std::string honest = folder.path("photo.jpg");
  const std::string lying = folder.path("photo.png");
  ASSERT_TRUE(FreeImage_Save(FIF_JPEG, photo, honest.c_str(), 0));
  ASSERT_TRUE(FreeImage_Save(FIF_JPEG, photo, lying.c_str(), 0));
  FreeImage_Unload(photo);
  ContextHandle context(context_fixtures::configuration());
  ASSERT_NE(context.get(), nullptr);
  for (const std::string& path : {honest, lying}) {
    SCOPED_TRACE(path);
    SteloxImage grey{};
    SteloxImage16 wide{};
    SteloxColorImage colour{};
    SteloxColorStereoPair pair{};
    EXPECT_EQ(steloxLoadImageFromFile(path.c_str(), &grey), SteloxErrorUnsupportedImageFileFormat);
    EXPECT_EQ(steloxLoadImage16FromFile(path.c_str(), &wide), SteloxErrorUnsupportedImageFileFormat);
    EXPECT_EQ(steloxLoadColorImageFromFile(path.c_str(), SteloxColorPixelFormatBGRU, &colour),
              SteloxErrorUnsupportedImageFileFormat);
    EXPECT_EQ(steloxBuildColorStereoPairFromFile(context, path.c_str(), SteloxColorPixelFormatBGRU, &pair),
              SteloxErrorUnsupportedImageFileFormat);
    EXPECT_EQ(pair.right.data, nullptr);
  }
}

TEST(ImageFileApi, SideBySideFileGivesThePairOfItsHalves)
{
  const ScratchFolder folder;
  constexpr int rows = 480;
  constexpr int cols = 1280;
  const std::vector<unsigned char> frame = randomSamples<unsigned char>(rows * cols, 4);
  const SteloxImage record{rows, cols, cols, const_cast<unsigned char*>(frame.data())};
  const std::string path = folder.path("pair.pgm");
  ASSERT_EQ(steloxSaveImage(&record, path.c_str()), SteloxErrorOk);

  ContextHandle context(context_fixtures::configuration());
  ASSERT_NE(context.get(), nullptr);
  SteloxMonoStereoPair pair{};
  ASSERT_EQ(steloxBuildMonoStereoPairFromFile(context, path.c_str(), &pair), SteloxErrorOk);
  EXPECT_EQ(pair.right.rows, 480);
  EXPECT_EQ(pair.right.cols, 640);
  EXPECT_EQ(pair.right.rowIncrement, 1280);
  EXPECT_EQ(pair.left.rows, 480);
  EXPECT_EQ(pair.left.cols, 640);
  EXPECT_EQ(pair.left.rowIncrement, 1280);
  EXPECT_EQ(pair.left.data, pair.right.data + 640);
  EXPECT_TRUE(sameRows(pair.right.data, 1280, frame.data(), cols, rows, 640));
  EXPECT_TRUE(sameRows(pair.left.data, 1280, frame.data() + 640, cols, rows, 640));
  EXPECT_EQ(steloxFreeMonoStereoPair(&pair, 1), SteloxErrorOk);
  EXPECT_EQ(pair.right.data, nullptr);
  EXPECT_EQ(pair.left.data, nullptr);
}

// Two real views put side by side with one spare column, which the pair
// drops; the colour file is written in one pixel format and read in another.
TEST(ImageFileApi, ColourPairFromRealViewsSideBySide)
{
  const std::string rightView = dataFile("stereo/cones-2003-quarter/im6.png");
  const std::string leftView = dataFile("stereo/cones-2003-quarter/im2.png");
  struct stat status;
  if (stat(rightView.c_str(), &status) != 0)
    GTEST_SKIP() << "no data at " << rightView;
  SteloxColorImage views[2] = {};
  ASSERT_EQ(steloxLoadColorImageFromFile(rightView.c_str(), SteloxColorPixelFormatRGBA, &views[0]), SteloxErrorOk);
  ASSERT_EQ(steloxLoadColorImageFromFile(leftView.c_str(), SteloxColorPixelFormatRGBA, &views[1]), SteloxErrorOk);
  const int rows = views[0].rows;
  const int cols = views[0].cols;
  ASSERT_EQ(views[1].rows, rows);
  ASSERT_EQ(views[1].cols, cols);

  const int frameCols = 2 * cols + 1;
  std::vector<SteloxColorPixel> frame(static_cast<std::size_t>(rows) * frameCols, SteloxColorPixel{1, 2, 3, 4});
  for (int row = 0; row < rows; ++row)
    for (int view = 0; view < 2; ++view)
      std::memcpy(&frame[static_cast<std::size_t>(row) * frameCols + view * cols],
                  reinterpret_cast<const char*>(views[view].data) + row * views[view].rowIncrement, 4 * cols);
  const ScratchFolder folder;
  const std::string path = folder.path("views.png");
  const SteloxColorImage record{rows, frameCols, 4 * frameCols, frame.data()};
  ASSERT_EQ(steloxSaveColorImage(&record, path.c_str(), SteloxColorPixelFormatRGBU), SteloxErrorOk);

  ContextHandle context(context_fixtures::configuration());
  ASSERT_NE(context.get(), nullptr);
  SteloxColorStereoPair pair{};
  ASSERT_EQ(steloxBuildColorStereoPairFromFile(context, path.c_str(), SteloxColorPixelFormatBGRA, &pair),
            SteloxErrorOk);
  EXPECT_EQ(pair.right.cols, cols);
  EXPECT_EQ(pair.left.cols, cols);
  EXPECT_EQ(pair.right.rowIncrement, 4 * frameCols);
  EXPECT_EQ(pair.left.data, pair.right.data + cols);
  const SteloxColorImage* halves[2] = {&pair.right, &pair.left};
  int wrong = 0;
  for (int view = 0; view < 2; ++view)
    for (int row = 0; row < rows; ++row)
      for (int col = 0; col < cols; ++col) {
        const auto& got = *reinterpret_cast<const SteloxColorPixel*>(
            reinterpret_cast<const char*>(halves[view]->data) + row * halves[view]->rowIncrement + 4 * col);
        const auto& want = *reinterpret_cast<const SteloxColorPixel*>(
            reinterpret_cast<const char*>(views[view].data) + row * views[view].rowIncrement + 4 * col);
        // Loaded red first, now blue first: bytes 0 and 2 trade places.
        wrong += got.blue != want.red || got.green != want.green || got.red != want.blue || got.fourth != 255;
      }
  EXPECT_EQ(wrong, 0);
  steloxFreeColorStereoPair(&pair, 1);
  steloxFreeColorImage(&views[0]);
  steloxFreeColorImage(&views[1]);
}

TEST(ImageFileApi, PairBuildersRefuseBadArgumentsAndNarrowImages)
{
  const ScratchFolder folder;
  unsigned char column[3] = {1, 2, 3};
  const SteloxImage narrow{3, 1, 1, column};
  const std::string narrowPath = folder.path("narrow.pgm");
  ASSERT_EQ(steloxSaveImage(&narrow, narrowPath.c_str()), SteloxErrorOk);
  ContextHandle context(context_fixtures::configuration());
  ASSERT_NE(context.get(), nullptr);

  struct Case {
    const char* what;
    SteloxContext context;
    std::string fileName;
    SteloxColorPixelFormat format;
    bool nullPair;
    SteloxError expected;
  };
  const Case cases[] = {
      {"null context", nullptr, narrowPath, SteloxColorPixelFormatBGRU, false, SteloxErrorInvalidContext},
      {"null context before null pair", nullptr, narrowPath, SteloxColorPixelFormatBGRU, true,
       SteloxErrorInvalidContext},
      {"null pair", context, narrowPath, SteloxColorPixelFormatBGRU, true, SteloxErrorNullBuffer},
      {"one column", context, narrowPath, SteloxColorPixelFormatBGRU, false, SteloxErrorInvalidSourceResolution},
      {"missing file", context, folder.path("missing.png"), SteloxColorPixelFormatBGRU, false, SteloxErrorFileRead},
      {"pixel format 4", context, narrowPath, static_cast<SteloxColorPixelFormat>(4), false,
       SteloxErrorUnsupportedColorPixelFormat},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SteloxMonoStereoPair mono{};
    SteloxColorStereoPair colour{};
    const SteloxError monoCode =
        steloxBuildMonoStereoPairFromFile(c.context, c.fileName.c_str(), c.nullPair ? nullptr : &mono);
    const SteloxError colourCode = steloxBuildColorStereoPairFromFile(c.context, c.fileName.c_str(), c.format,
                                                                      c.nullPair ? nullptr : &colour);
    if (c.expected != SteloxErrorUnsupportedColorPixelFormat) {
      EXPECT_EQ(monoCode, c.expected);
    }
    // The grey file is 8-bit: the colour builder refuses its depth unless an
    // earlier check answers.
    const bool depthAnswers = c.expected == SteloxErrorInvalidSourceResolution;
    EXPECT_EQ(colourCode, depthAnswers ? SteloxErrorInvalidBitDepth : c.expected);
    EXPECT_EQ(mono.right.data, nullptr);
    EXPECT_EQ(colour.right.data, nullptr);
  }
}

TEST(ImageFileApi, BufferWrappersDescribeCallerMemory)
{
  static unsigned char memory[4 * 640 * 2];
  struct Case {
    const char* what;
    bool nullData;
    int rows;
    int cols;
    int rowIncrement;  // bytes
    SteloxError grey;
    SteloxError wide;
    SteloxError colour;
  };
  const Case cases[] = {
      {"packed", false, 2, 640, 640, SteloxErrorOk, SteloxErrorInvalidRowIncrement, SteloxErrorInvalidRowIncrement},
      {"two bytes a pixel", false, 2, 640, 1280, SteloxErrorOk, SteloxErrorOk, SteloxErrorInvalidRowIncrement},
      {"four bytes a pixel", false, 2, 640, 2560, SteloxErrorOk, SteloxErrorOk, SteloxErrorOk},
      {"not a multiple of cols", false, 2, 640, 641, SteloxErrorInvalidRowIncrement,
       SteloxErrorInvalidRowIncrement, SteloxErrorInvalidRowIncrement},
      {"negative increment", false, 2, 640, -640, SteloxErrorInvalidRowIncrement, SteloxErrorInvalidRowIncrement,
       SteloxErrorInvalidRowIncrement},
      {"null data", true, 2, 640, 2560, SteloxErrorNullBuffer, SteloxErrorNullBuffer, SteloxErrorNullBuffer},
      {"no columns", false, 2, 0, 0, SteloxErrorInvalidSourceResolution, SteloxErrorInvalidSourceResolution,
       SteloxErrorInvalidSourceResolution},
      {"no rows", false, 0, 640, 2560, SteloxErrorInvalidSourceResolution, SteloxErrorInvalidSourceResolution,
       SteloxErrorInvalidSourceResolution},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    unsigned char* data = c.nullData ? nullptr : memory;
    SteloxImage grey{9, 9, 9, memory};
    SteloxImage16 wide{9, 9, 9, reinterpret_cast<unsigned short*>(memory)};
    SteloxColorImage colour{9, 9, 9, reinterpret_cast<SteloxColorPixel*>(memory)};
    EXPECT_EQ(steloxLoadImageFromBuffer(data, c.rows, c.cols, c.rowIncrement, &grey), c.grey);
    EXPECT_EQ(steloxLoadImage16FromBuffer(reinterpret_cast<unsigned short*>(data), c.rows, c.cols, c.rowIncrement,
                                          &wide),
              c.wide);
    EXPECT_EQ(steloxLoadColorImageFromBuffer(reinterpret_cast<SteloxColorPixel*>(data), c.rows, c.cols,
                                             c.rowIncrement, &colour),
              c.colour);
    // A success describes the memory; an error leaves an empty record.
    auto expectRecord = [&](const auto& record, SteloxError code) {
      const bool ok = code == SteloxErrorOk;
      EXPECT_EQ(record.rows, ok ? c.rows : 0);
      EXPECT_EQ(record.cols, ok ? c.cols : 0);
      EXPECT_EQ(record.rowIncrement, ok ? c.rowIncrement : 0);
      EXPECT_EQ(static_cast<const void*>(record.data), ok ? static_cast<const void*>(memory) : nullptr);
    };
    expectRecord(grey, c.grey);
    expectRecord(wide, c.wide);
    expectRecord(colour, c.colour);
  }
  EXPECT_EQ(steloxLoadImageFromBuffer(memory, 1, 1, 1, nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxLoadImage16FromBuffer(nullptr, 1, 1, 2, nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxLoadColorImageFromBuffer(nullptr, 1, 1, 4, nullptr), SteloxErrorNullBuffer);
}

namespace {

std::uint32_t crc32(const std::string& bytes)
{
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char byte : bytes) {
    crc ^= static_cast<unsigned char>(byte);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void putBigEndian(std::string& bytes, std::size_t at, std::uint32_t value)
{
  for (int i = 0; i < 4; ++i)
    bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
}

// A real PNG file whose header is rewritten to announce width x height
// (with a valid checksum), so that only the header lies.
std::string pngAnnouncing(const ScratchFolder& folder, std::uint32_t width, std::uint32_t height)
{
  unsigned char pixels[16] = {};
  const SteloxImage small{4, 4, 4, pixels};
  const std::string path = folder.path("small.png");
  steloxSaveImage(&small, path.c_str());
  std::string bytes = readBytes(path);
  // Signature (8), chunk length (4), "IHDR" (4), width, height ... CRC after 13 data bytes.
  putBigEndian(bytes, 16, width);
  putBigEndian(bytes, 20, height);
  putBigEndian(bytes, 29, crc32(bytes.substr(12, 17)));
  return bytes;
}

}  // namespace

// Every loader gives the same code for a file it cannot use; the record is
// left as it was, nothing is allocated (the sanitizer build reports leaks)
// and no file stays open.
TEST(ImageFileApi, BadFilesGiveTheirCodeAndLeaveNothingBehind)
{
  const ScratchFolder folder;
  unsigned char greyPixels[40 * 30] = {};
  const SteloxImage grey{30, 40, 40, greyPixels};
  const std::string png = folder.path("whole.png");
  ASSERT_EQ(steloxSaveImage(&grey, png.c_str()), SteloxErrorOk);
  const std::string pngBytes = readBytes(png);
  mkdir(folder.path("folder.png").c_str(), 0700);
  mkdir(folder.path("folder").c_str(), 0700);
  const std::string pgm = folder.write("valid.pgm", "P5\n2 2\n255\nabcd");

  struct Case {
    const char* what;
    std::string path;
    SteloxError expected;
  };
  const Case cases[] = {
      {"missing file", folder.path("missing.png"), SteloxErrorFileRead},
      {"directory with an image extension", folder.path("folder.png"), SteloxErrorFileRead},
      {"directory", folder.path("folder"), SteloxErrorUnsupportedImageFileFormat},
      {"empty file", folder.write("empty.png", ""), SteloxErrorFileRead},
      {"text named as an image", folder.write("notes.png", "not an image at all"), SteloxErrorFileRead},
      {"text", folder.write("notes.txt", "not an image at all"), SteloxErrorUnsupportedImageFileFormat},
      {"truncated PNG", folder.write("cut.png", pngBytes.substr(0, pngBytes.size() / 2)), SteloxErrorFileRead},
      {"truncated PGM", folder.write("cut.pgm", "P5\n40 30\n255\n" + std::string(1199, 'x')), SteloxErrorFileRead},
      {"truncated ASCII PGM", folder.write("cut2.pgm", "P2\n3 1\n255\n1 2"), SteloxErrorFileRead},
      {"absurd PGM header", folder.write("absurd.pgm", "P5\n100000 100000\n255\n0123456789abcdef"),
       SteloxErrorFileRead},
      {"absurd PPM header", folder.write("absurd.ppm", "P6\n# big\n60000 60000 255\n0123456789abcdef"),
       SteloxErrorFileRead},
      {"zero-sized PGM", folder.write("zero.pgm", "P5\n0 0\n255\n"), SteloxErrorFileRead},
      {"PNG header beyond the pixel limit", folder.write("huge.png", pngAnnouncing(folder, 20000, 20000)),
       SteloxErrorBadAlloc},
      {"PGM named as a portable bitmap", folder.write("grey.pbm", readBytes(pgm)),
       SteloxErrorUnsupportedImageFileFormat},
      {"portable bitmap named as PGM", folder.write("bits.pgm", "P1\n2 1\n0 1\n"), SteloxErrorInvalidBitDepth},
  };
  const int descriptors = openDescriptors();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SteloxImage grey8{7, 7, 7, nullptr};
    SteloxImage16 wide{7, 7, 7, nullptr};
    SteloxColorImage colour{7, 7, 7, nullptr};
    EXPECT_EQ(steloxLoadImageFromFile(c.path.c_str(), &grey8), c.expected);
    EXPECT_EQ(steloxLoadImage16FromFile(c.path.c_str(), &wide), c.expected);
    EXPECT_EQ(steloxLoadColorImageFromFile(c.path.c_str(), SteloxColorPixelFormatRGBA, &colour), c.expected);
    EXPECT_TRUE(grey8.rows == 7 && grey8.data == nullptr);
    EXPECT_TRUE(wide.rows == 7 && wide.data == nullptr);
    EXPECT_TRUE(colour.rows == 7 && colour.data == nullptr);
  }
  EXPECT_EQ(openDescriptors(), descriptors);
  // No loader allocated what a header announced (gigabytes, cleared).
  EXPECT_LT(peakResidentMiB(), 2048);
}

TEST(ImageFileApi, LoadersCheckArgumentsAndDepth)
{
  const ScratchFolder folder;
  unsigned char greyPixels[6] = {1, 2, 3, 4, 5, 6};
  unsigned short widePixels[6] = {1, 2, 3, 4, 5, 6};
  SteloxColorPixel colourPixels[6] = {};
  const SteloxImage grey{2, 3, 3, greyPixels};
  const SteloxImage16 wide{2, 3, 6, widePixels};
  const SteloxColorImage colour{2, 3, 12, colourPixels};
  const std::string greyPath = folder.path("grey.png");
  const std::string widePath = folder.path("wide.png");
  const std::string colourPath = folder.path("colour.png");
  ASSERT_EQ(steloxSaveImage(&grey, greyPath.c_str()), SteloxErrorOk);
  ASSERT_EQ(steloxSaveImage16(&wide, widePath.c_str()), SteloxErrorOk);
  ASSERT_EQ(steloxSaveColorImage(&colour, colourPath.c_str(), SteloxColorPixelFormatBGRU), SteloxErrorOk);

  SteloxImage grey8{};
  SteloxImage16 wide16{};
  SteloxColorImage colour32{};
  EXPECT_EQ(steloxLoadImageFromFile(widePath.c_str(), &grey8), SteloxErrorInvalidBitDepth);
  EXPECT_EQ(steloxLoadImageFromFile(colourPath.c_str(), &grey8), SteloxErrorInvalidBitDepth);
  EXPECT_EQ(steloxLoadImage16FromFile(greyPath.c_str(), &wide16), SteloxErrorInvalidBitDepth);
  EXPECT_EQ(steloxLoadImage16FromFile(colourPath.c_str(), &wide16), SteloxErrorInvalidBitDepth);
  EXPECT_EQ(steloxLoadColorImageFromFile(greyPath.c_str(), SteloxColorPixelFormatBGRU, &colour32),
            SteloxErrorInvalidBitDepth);
  EXPECT_EQ(steloxLoadColorImageFromFile(widePath.c_str(), SteloxColorPixelFormatBGRU, &colour32),
            SteloxErrorInvalidBitDepth);
  // The pixel format is checked before the file is looked at.
  for (const int format : {-1, 4})
    EXPECT_EQ(steloxLoadColorImageFromFile(folder.path("missing.png").c_str(),
                                           static_cast<SteloxColorPixelFormat>(format), &colour32),
              SteloxErrorUnsupportedColorPixelFormat);
  for (const char* name : {static_cast<const char*>(nullptr), ""}) {
    EXPECT_EQ(steloxLoadImageFromFile(name, &grey8), SteloxErrorInvalidFilename);
    EXPECT_EQ(steloxLoadImage16FromFile(name, &wide16), SteloxErrorInvalidFilename);
    EXPECT_EQ(steloxLoadColorImageFromFile(name, SteloxColorPixelFormatBGRU, &colour32), SteloxErrorInvalidFilename);
  }
  EXPECT_EQ(steloxLoadImageFromFile(greyPath.c_str(), nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxLoadImage16FromFile(widePath.c_str(), nullptr), SteloxErrorNullBuffer);
  EXPECT_EQ(steloxLoadColorImageFromFile(colourPath.c_str(), SteloxColorPixelFormatBGRU, nullptr),
            SteloxErrorNullBuffer);
  EXPECT_EQ(grey8.data, nullptr);
  EXPECT_EQ(wide16.data, nullptr);
  EXPECT_EQ(colour32.data, nullptr);
  // Content decides: a PGM file named as a PNG file loads.
  ASSERT_EQ(steloxLoadImageFromFile(folder.write("grey-in-disguise.png", "P5\n3 2\n255\n\1\2\3\4\5\6").c_str(),
                                    &grey8),
            SteloxErrorOk);
  EXPECT_TRUE(sameRows(grey8.data, grey8.rowIncrement, greyPixels, 3, 2, 3));
  steloxFreeImage(&grey8);
}

TEST(ImageFileApi, SaversCheckNameFormatAndRecord)
{
  const ScratchFolder folder;
  static unsigned char memory[4 * 8 * 4];
  const std::string valid = folder.path("out.png");
  struct Case {
    const char* what;
    const char* fileName;  // inside the folder; null for no name
    bool nullRecord;
    bool nullData;
    int rows;
    int cols;
    int rowShortfall;  // bytes missing from each row
    SteloxError expected;
  };
  const Case cases[] = {
      {"no name", nullptr, false, false, 4, 8, 0, SteloxErrorInvalidFilename},
      {"no name before a null record", nullptr, true, false, 4, 8, 0, SteloxErrorInvalidFilename},
      {"empty name", "", false, false, 4, 8, 0, SteloxErrorInvalidFilename},
      {"unsupported extension", "out.bmp", false, false, 4, 8, 0, SteloxErrorUnsupportedImageFileFormat},
      {"JPEG extension", "out.jpg", false, false, 4, 8, 0, SteloxErrorUnsupportedImageFileFormat},
      {"no extension", "out", false, false, 4, 8, 0, SteloxErrorUnsupportedImageFileFormat},
      {"null record", "out.png", true, false, 4, 8, 0, SteloxErrorNullBuffer},
      {"null data", "out.png", false, true, 4, 8, 0, SteloxErrorNullBuffer},
      {"no rows", "out.png", false, false, 0, 8, 0, SteloxErrorInvalidSourceResolution},
      {"negative columns", "out.png", false, false, 4, -8, 0, SteloxErrorInvalidSourceResolution},
      {"rows shorter than their pixels", "out.png", false, false, 4, 8, 1, SteloxErrorInvalidRowIncrement},
      {"folder that does not exist", "missing/out.png", false, false, 4, 8, 0, SteloxErrorFileWrite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = c.fileName != nullptr && *c.fileName ? folder.path(c.fileName) : "";
    const char* name = c.fileName == nullptr ? nullptr : path.c_str();
    unsigned char* data = c.nullData ? nullptr : memory;
    const SteloxImage grey{c.rows, c.cols, c.cols - c.rowShortfall, data};
    const SteloxImage16 wide{c.rows, c.cols, 2 * c.cols - 2 * c.rowShortfall, reinterpret_cast<unsigned short*>(data)};
    const SteloxColorImage colour{c.rows, c.cols, 4 * c.cols - c.rowShortfall,
                                  reinterpret_cast<SteloxColorPixel*>(data)};
    EXPECT_EQ(steloxSaveImage(c.nullRecord ? nullptr : &grey, name), c.expected);
    EXPECT_EQ(steloxSaveImage16(c.nullRecord ? nullptr : &wide, name), c.expected);
    EXPECT_EQ(steloxSaveColorImage(c.nullRecord ? nullptr : &colour, name, SteloxColorPixelFormatBGRA), c.expected);
  }
  const SteloxColorImage colour{4, 8, 32, reinterpret_cast<SteloxColorPixel*>(memory)};
  EXPECT_EQ(steloxSaveColorImage(&colour, valid.c_str(), static_cast<SteloxColorPixelFormat>(4)),
            SteloxErrorUnsupportedColorPixelFormat);
  EXPECT_EQ(steloxSaveColorImage(nullptr, valid.c_str(), static_cast<SteloxColorPixelFormat>(-1)),
            SteloxErrorUnsupportedColorPixelFormat);
  // A 16-bit row increment is used rounded down to whole samples.
  const SteloxImage16 odd{2, 3, 7, reinterpret_cast<unsigned short*>(memory)};
  EXPECT_EQ(steloxSaveImage16(&odd, valid.c_str()), SteloxErrorOk);
}

TEST(ImageFileApi, FreeingReleasesWhatTheLoadersHandedOut)
{
  const ScratchFolder folder;
  unsigned char pixels[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const SteloxImage record{2, 4, 4, pixels};
  const std::string path = folder.path("four.pgm");
  ASSERT_EQ(steloxSaveImage(&record, path.c_str()), SteloxErrorOk);

  // Two separately loaded images.
  SteloxMonoStereoPair separate{};
  ASSERT_EQ(steloxLoadImageFromFile(path.c_str(), &separate.right), SteloxErrorOk);
  ASSERT_EQ(steloxLoadImageFromFile(path.c_str(), &separate.left), SteloxErrorOk);
  EXPECT_EQ(steloxFreeMonoStereoPair(&separate, 0), SteloxErrorOk);
  EXPECT_EQ(separate.right.data, nullptr);
  EXPECT_EQ(separate.left.data, nullptr);

  // A pair from one file freed as if its images were separate: the left
  // image lies inside the right one's block, which is released once.
  ContextHandle context(context_fixtures::configuration());
  ASSERT_NE(context.get(), nullptr);
  SteloxMonoStereoPair shared{};
  ASSERT_EQ(steloxBuildMonoStereoPairFromFile(context, path.c_str(), &shared), SteloxErrorOk);
  EXPECT_EQ(steloxFreeMonoStereoPair(&shared, 0), SteloxErrorOk);
  EXPECT_EQ(shared.right.data, nullptr);

  // Both images of a colour pair on one block.
  SteloxColorPixel colourPixels[2] = {};
  const SteloxColorImage colourRecord{1, 2, 8, colourPixels};
  const std::string colourPath = folder.path("two.ppm");
  ASSERT_EQ(steloxSaveColorImage(&colourRecord, colourPath.c_str(), SteloxColorPixelFormatBGRU), SteloxErrorOk);
  SteloxColorStereoPair colour{};
  ASSERT_EQ(steloxLoadColorImageFromFile(colourPath.c_str(), SteloxColorPixelFormatBGRU, &colour.right),
            SteloxErrorOk);
  colour.left = colour.right;
  EXPECT_EQ(steloxFreeColorStereoPair(&colour, 1), SteloxErrorOk);
  EXPECT_EQ(colour.right.data, nullptr);

  // Nothing happens unless both images have pixels.
  SteloxMonoStereoPair half{};
  ASSERT_EQ(steloxLoadImageFromFile(path.c_str(), &half.right), SteloxErrorOk);
  unsigned char* kept = half.right.data;
  EXPECT_EQ(steloxFreeMonoStereoPair(&half, 1), SteloxErrorOk);
  EXPECT_EQ(half.right.data, kept);
  EXPECT_EQ(steloxFreeImage(&half.right), SteloxErrorOk);

  EXPECT_EQ(steloxFreeMonoStereoPair(nullptr, 1), SteloxErrorOk);
  EXPECT_EQ(steloxFreeColorStereoPair(nullptr, 0), SteloxErrorOk);
  EXPECT_EQ(steloxFreeImage(nullptr), SteloxErrorOk);
  EXPECT_EQ(steloxFreeImage16(nullptr), SteloxErrorOk);
  EXPECT_EQ(steloxFreeColorImage(nullptr), SteloxErrorOk);
}
