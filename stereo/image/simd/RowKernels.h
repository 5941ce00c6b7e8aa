// The forms behind the exported row kernels. The exported functions (declared
// in stelox_kernels.h) choose among them from SimdDetector::processLevel(); the
// tests call each form directly and compare it with the scalar reference.
#ifndef STELOX_IMAGE_SIMD_ROWKERNELS_H
#define STELOX_IMAGE_SIMD_ROWKERNELS_H

#include "stelox_kernels.h"

namespace Stelox {

// Plain loops: the definition of every kernel (see RowKernelsScalar.cpp).
namespace Scalar {
void row_add(unsigned short* dst, const unsigned short* a, const unsigned short* b, int n);
void row_sub(unsigned short* dst, const unsigned short* a, const unsigned short* b, int n);
void row_copy8(unsigned char* dst, const unsigned char* src, int n);
void row_copy16(unsigned short* dst, const unsigned short* src, int n);
void box_add_sub16(unsigned short* out, unsigned sum, const unsigned char* add,
                   const unsigned char* sub, int n);
void box_add_sub8ptr(unsigned short* dst, const unsigned short* src, const unsigned char* add,
                     const unsigned char* sub, int n);
void box_add_sub16ptr(unsigned short* dst, const unsigned short* src, const unsigned short* add,
                      const unsigned short* sub, int n);
void box8x4_hfilter(unsigned short* out, const unsigned char* in, int n, int k);
void abs_diff(unsigned char* dst, const unsigned char* a, const unsigned char* b, int n);
void acc_abs_diff(unsigned char* acc, const unsigned char* a, const unsigned char* b, int n);
void acc_abs_diff_over2(unsigned char* acc, const unsigned char* a, const unsigned char* b,
                        int n);
void stereo_min(unsigned short* minScore, unsigned char* minDisp, const unsigned short* score,
                unsigned char d, int n);
void stereo_min_subpix(unsigned short* minScore, unsigned char* minDisp,
                       unsigned short* scoreBefore, unsigned short* scoreAfter,
                       const unsigned short* previous, const unsigned short* score,
                       unsigned char d, int n);
}  // namespace Scalar

// SSE2 code. The forms the exported interface names after MMX work on 64-bit
// blocks (box_add_sub16_mmx, stereo_min_mmx ... are C functions in the same
// file); the others on 128-bit blocks.
namespace Sse2 {
void box_add_sub8ptr(unsigned short* dst, const unsigned short* src, const unsigned char* add,
                     const unsigned char* sub, int n);
void box_add_sub16ptr(unsigned short* dst, const unsigned short* src, const unsigned short* add,
                      const unsigned short* sub, int n);
void box8x4_hfilter(unsigned short* out, const unsigned char* in, int n, int k);
void abs_diff(unsigned char* dst, const unsigned char* a, const unsigned char* b, int n);
void acc_abs_diff(unsigned char* acc, const unsigned char* a, const unsigned char* b, int n);
void acc_abs_diff_over2(unsigned char* acc, const unsigned char* a, const unsigned char* b,
                        int n);
}  // namespace Sse2

}  // namespace Stelox

#endif
