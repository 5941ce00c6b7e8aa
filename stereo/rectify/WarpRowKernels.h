// Row kernels of the bilinear table warp.
#ifndef STELOX_RECTIFY_WARPROWKERNELS_H
#define STELOX_RECTIFY_WARPROWKERNELS_H

#include "image/PixelTypes.h"

namespace Stelox {

// out[k] = ((p00 * (128 - a) + p01 * a) * (128 - b) + (p10 * (128 - a) + p11 * a) * b) >> 14
// with p00 = raw[o], p01 = raw[o + 1], p10 = raw[o + w], p11 = raw[o + w + 1],
// o = offsets[k], a = colWeights[k], b = rowWeights[k] (0 ... 127), w = the raw
// row increment. Truncated, never above 255. Chooses the fastest form.
void bilinear_row8(unsigned char* out, const unsigned char* raw, const int* offsets,
                   const unsigned char* rowWeights, const unsigned char* colWeights, int count,
                   int rowIncrement);

// The same on bytes 0 to 2 of each pixel; byte 3 of the output is 0.
void bilinear_row8x4(Pixel8x4* out, const Pixel8x4* raw, const int* offsets,
                     const unsigned char* rowWeights, const unsigned char* colWeights, int count,
                     int rowIncrement);

namespace Scalar {
void bilinear_row8(unsigned char* out, const unsigned char* raw, const int* offsets,
                   const unsigned char* rowWeights, const unsigned char* colWeights, int count,
                   int rowIncrement);
void bilinear_row8x4(Pixel8x4* out, const Pixel8x4* raw, const int* offsets,
                     const unsigned char* rowWeights, const unsigned char* colWeights, int count,
                     int rowIncrement);
} // namespace Scalar

namespace Avx2 {
void bilinear_row8(unsigned char* out, const unsigned char* raw, const int* offsets,
                   const unsigned char* rowWeights, const unsigned char* colWeights, int count,
                   int rowIncrement);
void bilinear_row8x4(Pixel8x4* out, const Pixel8x4* raw, const int* offsets,
                     const unsigned char* rowWeights, const unsigned char* colWeights, int count,
                     int rowIncrement);
} // namespace Avx2

} // namespace Stelox

#endif
