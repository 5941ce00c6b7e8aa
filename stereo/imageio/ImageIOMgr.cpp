#include "imageio/ImageIOMgr.h"

#include "imageio/FreeImageInit.h"

#include <FreeImage.h>

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

struct FileClose {
  void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileClose>;

bool isPortableAnymap(FREE_IMAGE_FORMAT format)
{
  switch (format) {
  case FIF_PBM:
  case FIF_PBMRAW:
  case FIF_PGM:
  case FIF_PGMRAW:
  case FIF_PPM:
  case FIF_PPMRAW:
    return true;
  default:
    return false;
  }
}

// One unsigned decimal of a portable-anymap header, after white space and
// "#" comments; the single character that ends it is consumed, so after the
// last number the file stands at the first pixel byte. False for a value
// above kMaxPixels, which no accepted image has.
bool readHeaderNumber(std::FILE* file, std::uint64_t& value)
{
  int c = std::fgetc(file);
  for (;;) {
    while (c != EOF && std::isspace(c))
      c = std::fgetc(file);
    if (c != '#')
      break;
    while (c != EOF && c != '\n' && c != '\r')
      c = std::fgetc(file);
  }
  if (c == EOF || !std::isdigit(c))
    return false;
  value = 0;
  for (; c != EOF && std::isdigit(c); c = std::fgetc(file)) {
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > static_cast<std::uint64_t>(ImageIOMgr::kMaxPixels))
      return false;
  }
  return true;
}

// FreeImage allocates (and clears) a bitmap of the size a portable-anymap
// header announces before it reads a single pixel, and fills what the file
// lacks with zeros. A file that cannot hold the pixels its header announces
// is refused here instead: truncated, or a header that would make the
// library allocate gigabytes for a file of a few bytes.
SteloxError checkPortableAnymap(const char* fileName)
{
  const File file(std::fopen(fileName, "rb"));
  if (!file || std::fgetc(file.get()) != 'P')
    return SteloxErrorFileRead;
  const int kind = std::fgetc(file.get()) - '0';
  if (kind < 1 || kind > 6)
    return SteloxErrorFileRead;
  std::uint64_t width = 0;
  std::uint64_t height = 0;
  std::uint64_t maxValue = 1;
  const bool hasMaxValue = kind != 1 && kind != 4;
  if (!readHeaderNumber(file.get(), width) || !readHeaderNumber(file.get(), height) ||
      (hasMaxValue && !readHeaderNumber(file.get(), maxValue)))
    return SteloxErrorFileRead;
  if (width == 0 || height == 0)
    return SteloxErrorFileRead;
  const long dataStart = std::ftell(file.get());
  if (dataStart < 0 || std::fseek(file.get(), 0, SEEK_END) != 0)
    return SteloxErrorFileRead;
  const long fileEnd = std::ftell(file.get());
  if (fileEnd < dataStart)
    return SteloxErrorFileRead;
  const std::uint64_t available = static_cast<std::uint64_t>(fileEnd - dataStart);

  // Width and height are at most 2^28 each, so none of these overflow.
  const std::uint64_t samples = width * height * ((kind == 3 || kind == 6) ? 3 : 1);
  std::uint64_t needed = 0;
  switch (kind) {
  case 1:  // "0" and "1" digits, which need no separators
    needed = samples;
    break;
  case 2:
  case 3:  // decimal numbers separated by white space
    needed = 2 * samples - 1;
    break;
  case 4:  // packed bits, each row padded to a whole byte
    needed = height * ((width + 7) / 8);
    break;
  default:
    needed = samples * (maxValue > 255 ? 2 : 1);
    break;
  }
  return needed <= available ? SteloxErrorOk : SteloxErrorFileRead;
}

SteloxError saveFormat(const char* fileName, FREE_IMAGE_FORMAT& format)
{
  if (fileName == nullptr || *fileName == '\0')
    return SteloxErrorInvalidFilename;
  format = FreeImage_GetFIFFromFilename(fileName);
  return ImageIOMgr::isImageFormatSupported(format) ? SteloxErrorOk : SteloxErrorUnsupportedImageFileFormat;
}

bool isValidPixelFormat(SteloxColorPixelFormat format)
{
  return format >= SteloxColorPixelFormatBGRU && format <= SteloxColorPixelFormatRGBA;
}

// Formats 1 and 3 keep red in byte 0, formats 0 and 2 keep blue there.
bool isRedFirst(SteloxColorPixelFormat format)
{
  return format == SteloxColorPixelFormatRGBU || format == SteloxColorPixelFormatRGBA;
}

template <typename Record>
SteloxError checkRecord(const Record& image, int bytesPerPixel)
{
  if (image.data == nullptr)
    return SteloxErrorNullBuffer;
  if (image.rows <= 0 || image.cols <= 0)
    return SteloxErrorInvalidSourceResolution;
  if (image.rowIncrement < static_cast<std::int64_t>(image.cols) * bytesPerPixel)
    return SteloxErrorInvalidRowIncrement;
  return SteloxErrorOk;
}

SteloxError saveBitmap(FIBITMAP* bitmap, FREE_IMAGE_FORMAT format, const char* fileName)
{
  return FreeImage_Save(format, bitmap, fileName, ImageIOMgr::getSaveFlags(format)) ? SteloxErrorOk
                                                                                     : SteloxErrorFileWrite;
}

// Row i of a record is FreeImage scanline rows - 1 - i.
BYTE* recordRow(FIBITMAP* bitmap, int row)
{
  return FreeImage_GetScanLine(bitmap, static_cast<int>(FreeImage_GetHeight(bitmap)) - 1 - row);
}

}  // namespace

void ImageIOMgr::BitmapRelease::operator()(FIBITMAP* bitmap) const noexcept { FreeImage_Unload(bitmap); }

ImageIOMgr::ImageIOMgr() { FreeImageInit::ensure(); }

bool ImageIOMgr::isImageFormatSupported(int freeImageFormat)
{
  return freeImageFormat == FIF_PGM || freeImageFormat == FIF_PPM || freeImageFormat == FIF_PNG ||
         freeImageFormat == FIF_TIFF;
}

int ImageIOMgr::getSaveFlags(int freeImageFormat)
{
  switch (freeImageFormat) {
  case FIF_PNG:
    return PNG_Z_NO_COMPRESSION;
  case FIF_TIFF:
    return TIFF_NONE;
  default:
    return PNM_SAVE_RAW;
  }
}

SteloxError ImageIOMgr::loadBitMap(const char* fileName, Bitmap& bitmap) const
{
  if (fileName == nullptr || *fileName == '\0')
    return SteloxErrorInvalidFilename;
  const FREE_IMAGE_FORMAT byContent = FreeImage_GetFileType(fileName, 0);
  const FREE_IMAGE_FORMAT byName = FreeImage_GetFIFFromFilename(fileName);
  const FREE_IMAGE_FORMAT detected = byContent != FIF_UNKNOWN ? byContent : byName;
  if (detected == FIF_UNKNOWN || !FreeImage_FIFSupportsReading(detected))
    return SteloxErrorUnsupportedImageFileFormat;

  // Content detection calls every portable anymap a bitmap (PBM); the
  // extension tells which kind the file means to be.
  FREE_IMAGE_FORMAT tested = detected;
  if (byContent == FIF_PBM)
    tested = (byName == FIF_PGM || byName == FIF_PPM) ? FIF_PGM : byName;
  if (!isImageFormatSupported(tested))
    return SteloxErrorUnsupportedImageFileFormat;

  if (isPortableAnymap(detected)) {
    const SteloxError fits = checkPortableAnymap(fileName);
    if (fits != SteloxErrorOk)
      return fits;
  }
  // The header alone first, so that no decoder allocates on the word of an
  // absurd one.
  {
    const Bitmap header(FreeImage_Load(detected, fileName, FIF_LOAD_NOPIXELS));
    if (!header)
      return SteloxErrorFileRead;
    const std::int64_t pixels =
        static_cast<std::int64_t>(FreeImage_GetWidth(header.get())) * FreeImage_GetHeight(header.get());
    if (pixels == 0)
      return SteloxErrorFileRead;
    if (pixels > kMaxPixels)
      return SteloxErrorBadAlloc;
  }
  Bitmap loaded(FreeImage_Load(detected, fileName, 0));
  if (!loaded || !FreeImage_HasPixels(loaded.get()) ||
      static_cast<std::int64_t>(FreeImage_GetWidth(loaded.get())) * FreeImage_GetHeight(loaded.get()) > kMaxPixels)
    return SteloxErrorFileRead;
  bitmap = std::move(loaded);
  return SteloxErrorOk;
}

namespace {

// A grey bitmap's pixels as one dense top-down block.
template <typename Pixel>
std::unique_ptr<Pixel[]> topDownCopy(FIBITMAP* bitmap)
{
  const int rows = static_cast<int>(FreeImage_GetHeight(bitmap));
  const std::size_t cols = FreeImage_GetWidth(bitmap);
  std::unique_ptr<Pixel[]> pixels(new Pixel[cols * static_cast<std::size_t>(rows)]);
  for (int i = 0; i < rows; ++i)
    std::memcpy(pixels.get() + cols * static_cast<std::size_t>(i), recordRow(bitmap, i), cols * sizeof(Pixel));
  return pixels;
}

}  // namespace

std::unique_ptr<unsigned char[]> ImageIOMgr::populateBuffer(FIBITMAP* bitmap)
{
  return topDownCopy<unsigned char>(bitmap);
}

std::unique_ptr<unsigned short[]> ImageIOMgr::populateBuffer16(FIBITMAP* bitmap)
{
  return topDownCopy<unsigned short>(bitmap);
}

std::unique_ptr<SteloxColorPixel[]> ImageIOMgr::populateColorBuffer(FIBITMAP* bitmap, SteloxColorPixelFormat format)
{
  const int rows = static_cast<int>(FreeImage_GetHeight(bitmap));
  const std::size_t cols = FreeImage_GetWidth(bitmap);
  const unsigned bytesPerPixel = FreeImage_GetBPP(bitmap) / 8;
  const bool redFirst = isRedFirst(format);
  std::unique_ptr<SteloxColorPixel[]> pixels(new SteloxColorPixel[cols * static_cast<std::size_t>(rows)]);
  for (int i = 0; i < rows; ++i) {
    const BYTE* source = recordRow(bitmap, i);
    unsigned char* target = reinterpret_cast<unsigned char*>(pixels.get() + cols * static_cast<std::size_t>(i));
    for (std::size_t col = 0; col < cols; ++col, source += bytesPerPixel, target += 4) {
      target[0] = redFirst ? source[FI_RGBA_RED] : source[FI_RGBA_BLUE];
      target[1] = source[FI_RGBA_GREEN];
      target[2] = redFirst ? source[FI_RGBA_BLUE] : source[FI_RGBA_RED];
      target[3] = bytesPerPixel == 4 ? source[FI_RGBA_ALPHA] : 255;
    }
  }
  return pixels;
}

SteloxError ImageIOMgr::loadImage(const char* fileName, SteloxImage& image) const
{
  Bitmap bitmap;
  const SteloxError status = loadBitMap(fileName, bitmap);
  if (status != SteloxErrorOk)
    return status;
  if (FreeImage_GetImageType(bitmap.get()) != FIT_BITMAP || FreeImage_GetBPP(bitmap.get()) != 8)
    return SteloxErrorInvalidBitDepth;
  const int rows = static_cast<int>(FreeImage_GetHeight(bitmap.get()));
  const int cols = static_cast<int>(FreeImage_GetWidth(bitmap.get()));
  image = {rows, cols, cols, populateBuffer(bitmap.get()).release()};
  return SteloxErrorOk;
}

SteloxError ImageIOMgr::loadImage16(const char* fileName, SteloxImage16& image) const
{
  Bitmap bitmap;
  const SteloxError status = loadBitMap(fileName, bitmap);
  if (status != SteloxErrorOk)
    return status;
  if (FreeImage_GetBPP(bitmap.get()) != 16)
    return SteloxErrorInvalidBitDepth;
  const int rows = static_cast<int>(FreeImage_GetHeight(bitmap.get()));
  const int cols = static_cast<int>(FreeImage_GetWidth(bitmap.get()));
  image = {rows, cols, 2 * cols, populateBuffer16(bitmap.get()).release()};
  return SteloxErrorOk;
}

SteloxError ImageIOMgr::loadColorImage(const char* fileName, SteloxColorPixelFormat format,
                                       SteloxColorImage& image) const
{
  if (!isValidPixelFormat(format))
    return SteloxErrorUnsupportedColorPixelFormat;
  Bitmap bitmap;
  const SteloxError status = loadBitMap(fileName, bitmap);
  if (status != SteloxErrorOk)
    return status;
  const unsigned bitsPerPixel = FreeImage_GetBPP(bitmap.get());
  if (FreeImage_GetImageType(bitmap.get()) != FIT_BITMAP || (bitsPerPixel != 24 && bitsPerPixel != 32))
    return SteloxErrorInvalidBitDepth;
  const int rows = static_cast<int>(FreeImage_GetHeight(bitmap.get()));
  const int cols = static_cast<int>(FreeImage_GetWidth(bitmap.get()));
  image = {rows, cols, 4 * cols, populateColorBuffer(bitmap.get(), format).release()};
  return SteloxErrorOk;
}

SteloxError ImageIOMgr::saveImage(const SteloxImage& image, const char* fileName) const
{
  FREE_IMAGE_FORMAT format = FIF_UNKNOWN;
  SteloxError status = saveFormat(fileName, format);
  if (status == SteloxErrorOk)
    status = checkRecord(image, 1);
  if (status != SteloxErrorOk)
    return status;
  // FreeImage copies the rows and never writes through the pointer.
  const Bitmap bitmap(FreeImage_ConvertFromRawBits(image.data, image.cols, image.rows, image.rowIncrement, 8, 0, 0,
                                                   0, TRUE));
  if (!bitmap)
    return SteloxErrorBadAlloc;
  RGBQUAD* palette = FreeImage_GetPalette(bitmap.get());
  for (int i = 0; i < 256; ++i) {
    palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
    palette[i].rgbReserved = 0;
  }
  return saveBitmap(bitmap.get(), format, fileName);
}

SteloxError ImageIOMgr::saveImage16(const SteloxImage16& image, const char* fileName) const
{
  FREE_IMAGE_FORMAT format = FIF_UNKNOWN;
  SteloxError status = saveFormat(fileName, format);
  if (status == SteloxErrorOk)
    status = checkRecord(image, 2);
  // Rows start at whole samples: an odd increment is rounded down.
  const std::ptrdiff_t rowBytes = image.rowIncrement & ~1;
  if (status == SteloxErrorOk && rowBytes < 2 * static_cast<std::ptrdiff_t>(image.cols))
    status = SteloxErrorInvalidRowIncrement;
  if (status != SteloxErrorOk)
    return status;
  const Bitmap bitmap(FreeImage_AllocateT(FIT_UINT16, image.cols, image.rows, 16));
  if (!bitmap)
    return SteloxErrorBadAlloc;
  const unsigned char* source = reinterpret_cast<const unsigned char*>(image.data);
  for (int i = 0; i < image.rows; ++i)
    std::memcpy(recordRow(bitmap.get(), i), source + i * rowBytes, 2 * static_cast<std::size_t>(image.cols));
  return saveBitmap(bitmap.get(), format, fileName);
}

SteloxError ImageIOMgr::saveColorImage(const SteloxColorImage& image, const char* fileName,
                                       SteloxColorPixelFormat pixelFormat) const
{
  FREE_IMAGE_FORMAT format = FIF_UNKNOWN;
  SteloxError status = saveFormat(fileName, format);
  if (status == SteloxErrorOk && !isValidPixelFormat(pixelFormat))
    status = SteloxErrorUnsupportedColorPixelFormat;
  if (status == SteloxErrorOk)
    status = checkRecord(image, 4);
  if (status != SteloxErrorOk)
    return status;
  const bool withAlpha = format == FIF_TIFF && (pixelFormat == SteloxColorPixelFormatBGRA ||
                                                pixelFormat == SteloxColorPixelFormatRGBA);
  const unsigned bytesPerPixel = withAlpha ? 4 : 3;
  const Bitmap bitmap(FreeImage_Allocate(image.cols, image.rows, static_cast<int>(8 * bytesPerPixel),
                                         FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK));
  if (!bitmap)
    return SteloxErrorBadAlloc;
  const bool redFirst = isRedFirst(pixelFormat);
  const unsigned char* sourceRows = reinterpret_cast<const unsigned char*>(image.data);
  for (int i = 0; i < image.rows; ++i) {
    const unsigned char* source = sourceRows + static_cast<std::ptrdiff_t>(i) * image.rowIncrement;
    BYTE* target = recordRow(bitmap.get(), i);
    for (int col = 0; col < image.cols; ++col, source += 4, target += bytesPerPixel) {
      target[FI_RGBA_BLUE] = redFirst ? source[2] : source[0];
      target[FI_RGBA_GREEN] = source[1];
      target[FI_RGBA_RED] = redFirst ? source[0] : source[2];
      if (withAlpha)
        target[FI_RGBA_ALPHA] = source[3];
    }
  }
  return saveBitmap(bitmap.get(), format, fileName);
}
