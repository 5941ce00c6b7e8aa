// Splitting packed colour images (Pixel8x4: blue, green, red, fourth byte)
// into 8-bit planes. The row functions extract_* are declared in
// stelox_kernels.h.
//
// The image functions work on the rectangle all their images share: planes
// smaller than stated get only the pixels they can hold, and nothing is read
// outside the source.
#ifndef STELOX_FILTER_COLOURUNPACK_H
#define STELOX_FILTER_COLOURUNPACK_H

#include "image/Image.h"
#include "stelox_kernels.h"

// For each row of red: red, green and blue bytes of red.cols pixels of src.
STELOX_API void unpackRGB(Image<unsigned char>& red, Image<unsigned char>& green,
                          Image<unsigned char>& blue, const Image<Pixel8x4>& src);

// A camera that interleaves two 8-bit images into the red and green bytes of
// 32-bit pixels: first gets the red bytes, second the green bytes.
STELOX_API void unpack32Bit2Cam(Image<unsigned char>& first, Image<unsigned char>& second,
                                const Image<Pixel8x4>& src);

// wanted and outs have three entries: red into outs[0], green into outs[1],
// blue into outs[2], each only when wanted (and not null).
STELOX_API void unpack32Bit(bool* wanted, Image<unsigned char>** outs, const Image<Pixel8x4>& src);

#endif
