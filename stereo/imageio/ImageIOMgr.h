// Loading and saving the public image records (8-bit grey, 16-bit grey,
// 4-byte colour) as PGM, PPM, PNG or TIFF files through FreeImage.
//
// FreeImage keeps rows bottom-up in padded scanlines and colour as blue,
// green, red (and alpha); the records are top-down. Every method is const and
// the class has no state, so any number of threads may use it at once.
//
// Pixel memory a loader hands out is one block from array new (unsigned char,
// unsigned short or SteloxColorPixel) owned by the caller. On failure nothing
// is handed out, the record is left as it was and no bitmap stays loaded.
#ifndef STELOX_IMAGEIO_IMAGEIOMGR_H
#define STELOX_IMAGEIO_IMAGEIOMGR_H

#include "stelox.h"

#include <cstdint>
#include <memory>

struct FIBITMAP;

class ImageIOMgr {
public:
  struct BitmapRelease {
    void operator()(FIBITMAP* bitmap) const noexcept;
  };
  using Bitmap = std::unique_ptr<FIBITMAP, BitmapRelease>;

  // Largest image a loader accepts; a header that announces more is refused
  // before any pixel memory is allocated (a colour block of this size is
  // 1 GiB).
  static constexpr std::int64_t kMaxPixels = std::int64_t(1) << 28;

  // Initialises FreeImage on first use.
  ImageIOMgr();

  // The file's bitmap, decoded with the type its content shows (or, when the
  // content says nothing, its extension). SteloxErrorInvalidFilename for a
  // null or empty name, SteloxErrorUnsupportedImageFileFormat for anything
  // but PGM, PPM, PNG and TIFF, SteloxErrorFileRead when the file cannot be
  // decoded or is shorter than its header says, SteloxErrorBadAlloc when the
  // header announces more than kMaxPixels.
  SteloxError loadBitMap(const char* fileName, Bitmap& bitmap) const;

  // SteloxErrorInvalidBitDepth unless the file has 8 (16) bits per pixel.
  SteloxError loadImage(const char* fileName, SteloxImage& image) const;
  SteloxError loadImage16(const char* fileName, SteloxImage16& image) const;
  // 24- or 32-bit files. Byte 3 of each pixel is the file's alpha when it has
  // one, else 255 (opaque). SteloxErrorUnsupportedColorPixelFormat for a
  // format outside 0 .. 3, before the file is opened.
  SteloxError loadColorImage(const char* fileName, SteloxColorPixelFormat format, SteloxColorImage& image) const;

  // The bitmap's pixels as a new top-down block of width x height pixels.
  static std::unique_ptr<unsigned char[]> populateBuffer(FIBITMAP* bitmap);
  static std::unique_ptr<unsigned short[]> populateBuffer16(FIBITMAP* bitmap);
  static std::unique_ptr<SteloxColorPixel[]> populateColorBuffer(FIBITMAP* bitmap, SteloxColorPixelFormat format);

  // The format comes from the file name's extension. Codes in order of the
  // checks: SteloxErrorInvalidFilename (null or empty name),
  // SteloxErrorUnsupportedImageFileFormat, SteloxErrorUnsupportedColorPixelFormat
  // (colour), SteloxErrorNullBuffer (null pixels),
  // SteloxErrorInvalidSourceResolution (no rows or columns),
  // SteloxErrorInvalidRowIncrement (rows shorter than their pixels),
  // SteloxErrorBadAlloc (no bitmap), SteloxErrorFileWrite.
  SteloxError saveImage(const SteloxImage& image, const char* fileName) const;
  SteloxError saveImage16(const SteloxImage16& image, const char* fileName) const;
  // 32-bit with alpha from byte 3 for TIFF files of formats 2 and 3, else
  // 24-bit.
  SteloxError saveColorImage(const SteloxColorImage& image, const char* fileName,
                             SteloxColorPixelFormat format) const;

  // FreeImage save flags: PNG and TIFF uncompressed, PNM as raw bytes.
  static int getSaveFlags(int freeImageFormat);
  // PGM, PPM, PNG or TIFF.
  static bool isImageFormatSupported(int freeImageFormat);
};

#endif
