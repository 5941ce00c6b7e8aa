// Minimum search of the correlation core: for each pixel, the index of its
// smallest score slot among slots 0 .. n (unsigned 16-bit compare, the lowest
// index wins ties). Slots at or beyond the pixel's own 4 * stride slots read
// as 0xFFFF.
#ifndef STELOX_MATCH_MINCORR_H
#define STELOX_MATCH_MINCORR_H

#include "image/simd/SimdDetector.h"

#include <emmintrin.h>

struct Pixel16x4;

// dst[x] = best slot of pixel x, x = 0 .. count-1; stride in Pixel16x4.
// The variant is chosen from the level exactly: SSE2, SSE4.1 and AVX2 have
// their own; every other level runs the scalar search.
void mincorr_row(unsigned short* dst, const Pixel16x4* scores, int count, int stride, int n,
                 cpu_extension_t cpu);

void mincorr_row_no_opt(unsigned short* dst, const Pixel16x4* scores, int count, int stride,
                        int n);
// The block variants need 4 * stride to be a multiple of 8 (tile width 8).
// The AVX2 variant may read up to 8 slots past the last pixel's slots.
void mincorr_row_sse2(unsigned short* dst, const Pixel16x4* scores, int count, int stride,
                      int n);
void mincorr_row_sse4_1(unsigned short* dst, const Pixel16x4* scores, int count, int stride,
                        int n);
void mincorr_row_avx2(unsigned short* dst, const Pixel16x4* scores, int count, int stride,
                      int n);

// Eight 16-bit lanes: lanes 8-k .. 7 are 0xFFFF, the others 0 (k = 0 masks
// nothing, k >= 8 masks all).
__m128i GenerateMask(int k);

#endif
