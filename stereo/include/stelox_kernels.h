/*
 * stelox_kernels.h - row kernels exported by libstelox.
 *
 * Plain C functions over rows of 8- and 16-bit samples: sums, differences,
 * running box sums, absolute differences, a running minimum over disparities
 * and the fixed-point row operations of the edge and box filters. Each has one
 * exact result; vector forms only change speed and are chosen from the
 * processor at run time, except where a flag lets the caller choose.
 *
 * n is an element (or pixel) count: a count of zero or less reads and writes
 * nothing. 16-bit arithmetic wraps modulo 65536 unless stated. Source and
 * destination rows may be the same row where an element only depends on
 * elements at the same index.
 *
 * Compiles as C99 and as C++.
 */
#ifndef STELOX_KERNELS_H
#define STELOX_KERNELS_H

#include "stelox.h"

#ifndef __cplusplus
#  include <stdbool.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* dst[i] = a[i] + b[i]. */
STELOX_API void row_add(unsigned short* dst, const unsigned short* a, const unsigned short* b,
                        int n);
/* dst[i] = a[i] - b[i]. */
STELOX_API void row_sub(unsigned short* dst, const unsigned short* a, const unsigned short* b,
                        int n);
/* dst[i] = src[i]; the rows must not overlap. */
STELOX_API void row_copy8(unsigned char* dst, const unsigned char* src, int n);
STELOX_API void row_copy16(unsigned short* dst, const unsigned short* src, int n);

/* Running box sum: s = sum; for k = 0 .. n-1: s = s + add[k] - sub[k],
 * out[k] = s (low 16 bits). sse2 chooses the 8-lane form over the 4-lane form;
 * both give the same result. */
STELOX_API void box_add_sub16(unsigned short* out, unsigned sum, const unsigned char* add,
                              const unsigned char* sub, int n, bool sse2);
STELOX_API void box_add_sub16_mmx(unsigned short* out, unsigned sum, const unsigned char* add,
                                  const unsigned char* sub, int n);
STELOX_API void box_add_sub16_sse2(unsigned short* out, unsigned sum, const unsigned char* add,
                                   const unsigned char* sub, int n);

/* dst[i] = src[i] + add[i] - sub[i]. */
STELOX_API void box_add_sub8ptr(unsigned short* dst, const unsigned short* src,
                                const unsigned char* add, const unsigned char* sub, int n);
STELOX_API void box_add_sub16ptr(unsigned short* dst, const unsigned short* src,
                                 const unsigned short* add, const unsigned short* sub, int n);

/* Horizontal box sums of k packed 4-byte pixels, per channel c = 0..3:
 * out[4i + c] = sum over j = 0..k-1 of in[4(i + j) + c], i = 0 .. n-1.
 * Reads n + k - 1 pixels. Nothing is written when n < 1, k < 1 or n < k. */
STELOX_API void box8x4_hfilter(unsigned short* out, const unsigned char* in, int n, int k);

/* dst[i] = |a[i] - b[i]|. */
STELOX_API void abs_diff(unsigned char* dst, const unsigned char* a, const unsigned char* b,
                         int n);
/* acc[i] = min(255, acc[i] + |a[i] - b[i]|): the sum saturates. */
STELOX_API void acc_abs_diff(unsigned char* acc, const unsigned char* a, const unsigned char* b,
                             int n);
/* acc[i] = (acc[i] + |a[i] - b[i]|) / 2, the exact 9-bit sum halved. */
STELOX_API void acc_abs_diff_over2(unsigned char* acc, const unsigned char* a,
                                   const unsigned char* b, int n);

/* Running minimum over disparities, called once per disparity d = d0, d0+1, ...
 * Where score[i] < minScore[i] (unsigned, strict): minScore[i] = score[i] and
 * minDisp[i] = d; ties keep the earlier disparity. */
STELOX_API void stereo_min(unsigned short* minScore, unsigned char* minDisp,
                           const unsigned short* score, unsigned char d, int n, bool sse2);
STELOX_API void stereo_min_mmx(unsigned short* minScore, unsigned char* minDisp,
                               const unsigned short* score, unsigned char d, int n);
STELOX_API void stereo_min_sse2(unsigned short* minScore, unsigned char* minDisp,
                                const unsigned short* score, unsigned char d, int n);

/* As stereo_min, and keeps the scores next to the minimum: where the minimum
 * moves to d, scoreBefore[i] = previous[i] (the score row of d - 1); otherwise,
 * where minDisp[i] = d - 1, scoreAfter[i] = score[i]. At d = 0 there is no
 * disparity d - 1 and scoreAfter is not written. */
STELOX_API void stereo_min_subpix(unsigned short* minScore, unsigned char* minDisp,
                                  unsigned short* scoreBefore, unsigned short* scoreAfter,
                                  const unsigned short* previous, const unsigned short* score,
                                  unsigned char d, int n, bool sse2);
STELOX_API void stereo_min_mmx_subpix(unsigned short* minScore, unsigned char* minDisp,
                                      unsigned short* scoreBefore, unsigned short* scoreAfter,
                                      const unsigned short* previous,
                                      const unsigned short* score, unsigned char d, int n);
STELOX_API void stereo_min_sse2_subpix(unsigned short* minScore, unsigned char* minDisp,
                                       unsigned short* scoreBefore, unsigned short* scoreAfter,
                                       const unsigned short* previous,
                                       const unsigned short* score, unsigned char d, int n);

/* Colour splitting of packed 4-byte pixels (byte 0 blue, 1 green, 2 red,
 * byte 3 never read; the layout of SteloxColorPixel): dst[i] = one byte of
 * pixel i, for n pixels. */
STELOX_API void extract_red(unsigned char* dst, int n, const void* src);
STELOX_API void extract_grn(unsigned char* dst, int n, const void* src);
STELOX_API void extract_blu(unsigned char* dst, int n, const void* src);
/* All three planes at once. struct Pixel8x4 has the layout of SteloxColorPixel. */
struct Pixel8x4;
STELOX_API void extract_rgb(unsigned char* red, unsigned char* green, unsigned char* blue, int n,
                            const struct Pixel8x4* src);

/* Fixed-point row operations of the filters. ">> 16" rounds towards minus
 * infinity; 16-bit sources are signed; products are exact.
 * row_pack_op:     dst[i] = clamp((src[i] * scale) >> 16, 0, 255)
 * row_scale_op:    dst[i] = low 16 bits of ((src[i] * scale) >> 16)
 * row_bandpass_op: dst[i] = clamp(128 + ((centre[i] * centreWeight) >> 16)
 *                                     + ((sums[i] * sumWeight) >> 16), 0, 255)
 * The band-pass weights run fastest in -32768 .. 32767. */
STELOX_API void row_pack_op(unsigned char* dst, int n, const short* src, int scale);
STELOX_API void row_scale_op(short* dst, int n, const short* src, int scale);
STELOX_API void row_bandpass_op(unsigned char* dst, int n, const unsigned char* centre,
                                int centreWeight, const short* sums, int sumWeight);

#ifdef __cplusplus
}
#endif

#endif
