// Inverse (back-and-forth) search of the correlation core: for each position
// p of B, the offset whose window in A matches it best.
//
// The search runs over positions 0 .. positions-1. Pixels at or beyond
// `pixels` (the score row's length) and slots at or beyond the pixel's own
// 4 * stride slots read as 0xFFFF, so positions to the right of the score row
// get a defined result from the pixels that do exist.
#ifndef STELOX_MATCH_INVERSESEARCH_H
#define STELOX_MATCH_INVERSESEARCH_H

#include "image/simd/SimdDetector.h"

struct Pixel16x4;

// Plain layout: dst[p] = the j in 0 .. min(p, n-1) minimising slot j of pixel
// p-j; ties keep the smaller j.
// `best` is scratch of positions + 16 entries. At the AVX2 level, avx512
// chooses the AVX-512BW form (same result).
void mongo_inverse(unsigned short* dst, unsigned short* best, const Pixel16x4* scores,
                   int positions, int pixels, int n, int stride, cpu_extension_t cpu,
                   bool avx512);
// Texture layout: dst[p] = the slot k in 1 .. min(p+1, n-1) minimising slot k
// of pixel p-k+1; ties keep the smaller k; 1 when there is no candidate.
void mongo_val_inverse(unsigned short* dst, unsigned short* best, const Pixel16x4* scores,
                       int positions, int pixels, int n, int stride, cpu_extension_t cpu,
                       bool avx512);

// Scalar definition of both layouts (firstSlot 0: plain, 1: texture).
void inverseSearchScalar(unsigned short* dst, const unsigned short* scores, int positions,
                         int pixels, int n, int stride, int firstSlot);
// AVX2 form; `best` is scratch of positions + 16 entries.
void inverseSearchAvx2(unsigned short* dst, unsigned short* best, const unsigned short* scores,
                       int positions, int pixels, int n, int stride, int firstSlot);
// AVX-512BW form; `best` is scratch of positions entries.
void inverseSearchAvx512(unsigned short* dst, unsigned short* best, const unsigned short* scores,
                         int positions, int pixels, int n, int stride, int firstSlot);

#endif
