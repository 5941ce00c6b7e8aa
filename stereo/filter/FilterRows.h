// Forms of the fixed-point row operations of the box and edge filters
// (row_pack_op, row_scale_op, row_bandpass_op, declared in stelox_kernels.h).
#ifndef STELOX_FILTER_FILTERROWS_H
#define STELOX_FILTER_FILTERROWS_H

#include "stelox_kernels.h"

namespace Stelox {

namespace Scalar {
void row_pack_op(unsigned char* dst, int n, const short* src, int scale);
void row_scale_op(short* dst, int n, const short* src, int scale);
void row_bandpass_op(unsigned char* dst, int n, const unsigned char* centre, int centreWeight,
                     const short* sums, int sumWeight);
}  // namespace Scalar

// The band-pass forms need both weights in -32768 .. 32767; the pack and scale
// forms take any scale.
namespace Sse2 {
void row_pack_op(unsigned char* dst, int n, const short* src, int scale);
void row_scale_op(short* dst, int n, const short* src, int scale);
void row_bandpass_op(unsigned char* dst, int n, const unsigned char* centre, int centreWeight,
                     const short* sums, int sumWeight);
}  // namespace Sse2

namespace Avx2 {
void row_bandpass_op(unsigned char* dst, int n, const unsigned char* centre, int centreWeight,
                     const short* sums, int sumWeight);
}  // namespace Avx2

}  // namespace Stelox

#endif
