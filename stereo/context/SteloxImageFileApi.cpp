// Image files, images over caller memory, stereo pairs from side-by-side
// files and the release of the pixel memory the loaders hand out.
#include "context/SteloxApiCall.h"
#include "imageio/ImageIOMgr.h"
#include "stelox.h"

#include <cstdint>

using SteloxApi::guard;
using SteloxApi::withGuardedContext;

namespace {

// Runs a loader into a scratch record, so that the caller's record changes
// only on success.
template <typename Record, typename Load>
SteloxError loadInto(Record* image, Load load)
{
  if (image == nullptr)
    return SteloxErrorNullBuffer;
  return guard([&] {
    Record loaded{};
    const SteloxError status = load(loaded);
    if (status == SteloxErrorOk)
      *image = loaded;
    return status;
  });
}

template <typename Record, typename Pixel>
SteloxError wrapBuffer(Pixel* data, int rows, int cols, int rowIncrement, Record* image)
{
  if (image == nullptr)
    return SteloxErrorNullBuffer;
  *image = Record{};
  if (data == nullptr)
    return SteloxErrorNullBuffer;
  if (rows <= 0 || cols <= 0)
    return SteloxErrorInvalidSourceResolution;
  const std::int64_t rowBytes = static_cast<std::int64_t>(cols) * static_cast<std::int64_t>(sizeof(Pixel));
  if (rowIncrement % cols != 0 || rowIncrement < rowBytes)
    return SteloxErrorInvalidRowIncrement;
  *image = Record{rows, cols, rowIncrement, data};
  return SteloxErrorOk;
}

// A null record saves as an empty one, so the name and format checks come
// first, as for any record.
template <typename Record>
const Record& recordOrEmpty(const Record* image)
{
  static const Record empty{};
  return image != nullptr ? *image : empty;
}

template <typename Record>
void freeImage(Record& image)
{
  delete[] image.data;
  image = Record{};
}

template <typename Pair>
void freePair(Pair* pair, bool sharedBuffer)
{
  if (pair == nullptr || pair->right.data == nullptr || pair->left.data == nullptr)
    return;
  const auto* rightBytes = reinterpret_cast<const unsigned char*>(pair->right.data);
  const auto* leftBytes = reinterpret_cast<const unsigned char*>(pair->left.data);
  const std::int64_t rightExtent = static_cast<std::int64_t>(pair->right.rows) * pair->right.rowIncrement;
  const bool leftInsideRight = leftBytes >= rightBytes && leftBytes - rightBytes < rightExtent;
  if (!sharedBuffer && !leftInsideRight)
    freeImage(pair->left);
  freeImage(pair->right);
  pair->left = {};
}

}  // namespace

SteloxError steloxLoadImageFromFile(const char* fileName, SteloxImage* image)
{
  return loadInto(image, [&](SteloxImage& loaded) { return ImageIOMgr().loadImage(fileName, loaded); });
}

SteloxError steloxLoadImage16FromFile(const char* fileName, SteloxImage16* image)
{
  return loadInto(image, [&](SteloxImage16& loaded) { return ImageIOMgr().loadImage16(fileName, loaded); });
}

SteloxError steloxLoadColorImageFromFile(const char* fileName, SteloxColorPixelFormat format,
                                         SteloxColorImage* image)
{
  return loadInto(image,
                  [&](SteloxColorImage& loaded) { return ImageIOMgr().loadColorImage(fileName, format, loaded); });
}

SteloxError steloxLoadImageFromBuffer(unsigned char* data, int rows, int cols, int rowIncrement, SteloxImage* image)
{
  return wrapBuffer(data, rows, cols, rowIncrement, image);
}

SteloxError steloxLoadImage16FromBuffer(unsigned short* data, int rows, int cols, int rowIncrement,
                                        SteloxImage16* image)
{
  return wrapBuffer(data, rows, cols, rowIncrement, image);
}

SteloxError steloxLoadColorImageFromBuffer(SteloxColorPixel* data, int rows, int cols, int rowIncrement,
                                           SteloxColorImage* image)
{
  return wrapBuffer(data, rows, cols, rowIncrement, image);
}

SteloxError steloxSaveImage(const SteloxImage* image, const char* fileName)
{
  return guard([&] { return ImageIOMgr().saveImage(recordOrEmpty(image), fileName); });
}

SteloxError steloxSaveImage16(const SteloxImage16* image, const char* fileName)
{
  return guard([&] { return ImageIOMgr().saveImage16(recordOrEmpty(image), fileName); });
}

SteloxError steloxSaveColorImage(const SteloxColorImage* image, const char* fileName, SteloxColorPixelFormat format)
{
  return guard([&] { return ImageIOMgr().saveColorImage(recordOrEmpty(image), fileName, format); });
}

SteloxError steloxBuildMonoStereoPairFromFile(SteloxContext context, const char* fileName,
                                              SteloxMonoStereoPair* pair)
{
  return withGuardedContext(context, [&](SteloxMgr&) {
    return pair == nullptr ? SteloxErrorNullBuffer : SteloxMgr::buildMonoStereoPair(fileName, *pair);
  });
}

SteloxError steloxBuildColorStereoPairFromFile(SteloxContext context, const char* fileName,
                                               SteloxColorPixelFormat format, SteloxColorStereoPair* pair)
{
  return withGuardedContext(context, [&](SteloxMgr&) {
    return pair == nullptr ? SteloxErrorNullBuffer : SteloxMgr::buildColorStereoPair(fileName, format, *pair);
  });
}

SteloxError steloxFreeMonoStereoPair(SteloxMonoStereoPair* pair, int sharedBuffer)
{
  freePair(pair, sharedBuffer != 0);
  return SteloxErrorOk;
}

SteloxError steloxFreeColorStereoPair(SteloxColorStereoPair* pair, int sharedBuffer)
{
  freePair(pair, sharedBuffer != 0);
  return SteloxErrorOk;
}

SteloxError steloxFreeImage(SteloxImage* image)
{
  if (image != nullptr)
    freeImage(*image);
  return SteloxErrorOk;
}

SteloxError steloxFreeImage16(SteloxImage16* image)
{
  if (image != nullptr)
    freeImage(*image);
  return SteloxErrorOk;
}

SteloxError steloxFreeColorImage(SteloxColorImage* image)
{
  if (image != nullptr)
    freeImage(*image);
  return SteloxErrorOk;
}
