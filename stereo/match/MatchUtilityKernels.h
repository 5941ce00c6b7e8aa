// Exported 4-lane utility kernels of the matcher family. The correlation core
// does not call them; applications may. Lanes are the four channels of a
// Pixel8x4 or Pixel16x4; 16-bit arithmetic wraps.
#ifndef STELOX_MATCH_MATCHUTILITYKERNELS_H
#define STELOX_MATCH_MATCHUTILITYKERNELS_H

#include "image/PixelTypes.h"
#include "stelox.h"

extern "C" {

// dst[i].channel[k] = |a[i] - b[i + k]|, k = 0 .. 3 (b needs n + 3 bytes).
STELOX_API void abs_diff_4x4(Pixel8x4* dst, const unsigned char* a, const unsigned char* b,
                             int n);
// window[i] = sum of the widened differences[i .. i+m-1]; sums[i] += window[i]
// - previous[i], then previous[i] = window[i] (differences needs n + m - 1
// entries). With m <= 1, sums[i] = the widened differences[i].
STELOX_API void boxer_4x4(Pixel16x4* sums, Pixel16x4* previous, const Pixel8x4* differences,
                          int m, int n);
// Lanes where scores[i] < best[i] (signed 16-bit compare) take the score, and
// the same byte of winner[i] becomes d.
STELOX_API void correlate_4x4(Pixel16x4* best, Pixel8x4* winner, const Pixel16x4* scores,
                              unsigned char d, int n);
// n 32-bit words = *value.
STELOX_API void init_4x4(unsigned* dst, const unsigned* value, int n);
STELOX_API void copy_4x4(Pixel16x4* dst, const Pixel16x4* src, int n);
// dst[i] = src[i] in all four lanes.
STELOX_API void copy16_4x4(Pixel16x4* dst, const unsigned short* src, int n);
STELOX_API void copy8_4x4(Pixel8x4* dst, const unsigned char* src, int n);
// dst[k * stride] = src[k] in all four lanes.
STELOX_API void mongo_set_16x4(Pixel16x4* dst, const unsigned short* src, int n, int stride);
// dst[k * stride] (32-bit) = src[k] in both 16-bit halves.
STELOX_API void mongo_set_8x4(unsigned* dst, const unsigned char* src, int n, int stride);
// dst[k * stride] (32-bit) = *value.
STELOX_API void mongo_init_8x4(unsigned* dst, const unsigned* value, int n, int stride);
}

#endif
