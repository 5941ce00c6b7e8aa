// Stereo pairs from one side-by-side image file.
#include "context/SteloxMgr.h"
#include "imageio/ImageIOMgr.h"

#include <memory>
#include <type_traits>

namespace {

// Splits a loaded side-by-side image into the halves of a pair; the block
// changes hands only on success.
template <typename Record, typename Pair>
SteloxError splitSideBySide(Record& image, Pair& pair)
{
  using Pixel = std::remove_pointer_t<decltype(image.data)>;
  std::unique_ptr<Pixel[]> block(image.data);
  if (!block)
    return SteloxErrorNullBuffer;
  if (image.rows <= 0 || image.cols <= 1)
    return SteloxErrorInvalidSourceResolution;
  const int halfCols = image.cols / 2;
  pair.right = {image.rows, halfCols, image.rowIncrement, block.get()};
  pair.left = {image.rows, halfCols, image.rowIncrement, block.get() + halfCols};
  block.release();
  return SteloxErrorOk;
}

}  // namespace

SteloxError SteloxMgr::buildMonoStereoPair(const char* fileName, SteloxMonoStereoPair& pair)
{
  SteloxImage image{};
  const SteloxError status = ImageIOMgr().loadImage(fileName, image);
  return status != SteloxErrorOk ? status : splitSideBySide(image, pair);
}

SteloxError SteloxMgr::buildColorStereoPair(const char* fileName, SteloxColorPixelFormat format,
                                            SteloxColorStereoPair& pair)
{
  SteloxColorImage image{};
  const SteloxError status = ImageIOMgr().loadColorImage(fileName, format, image);
  return status != SteloxErrorOk ? status : splitSideBySide(image, pair);
}
