// Scalar reference of the filter row operations. Products are exact (64-bit);
// ">> 16" is an arithmetic shift, i.e. rounds towards minus infinity; 16-bit
// sources are read as signed.
//   row_pack_op      dst = clamp((src * scale) >> 16, 0, 255)
//   row_scale_op     dst = low 16 bits of ((src * scale) >> 16)
//   row_bandpass_op  dst = clamp(128 + ((centre * centreWeight) >> 16)
//                                    + ((sums * sumWeight) >> 16), 0, 255)
#include "filter/FilterRows.h"

#include <cstdint>

namespace {

inline unsigned char clampToByte(int64_t v) {
  return static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace

namespace Stelox {
namespace Scalar {

void row_pack_op(unsigned char* dst, int n, const short* src, int scale) {
  for (int i = 0; i < n; ++i) dst[i] = clampToByte((int64_t{src[i]} * scale) >> 16);
}

void row_scale_op(short* dst, int n, const short* src, int scale) {
  for (int i = 0; i < n; ++i) {
    dst[i] = static_cast<short>(static_cast<uint16_t>((int64_t{src[i]} * scale) >> 16));
  }
}

void row_bandpass_op(unsigned char* dst, int n, const unsigned char* centre, int centreWeight,
                     const short* sums, int sumWeight) {
  for (int i = 0; i < n; ++i) {
    const int64_t centreTerm = (int64_t{centre[i]} * centreWeight) >> 16;
    const int64_t sumTerm = (int64_t{sums[i]} * sumWeight) >> 16;
    dst[i] = clampToByte(128 + centreTerm + sumTerm);
  }
}

}  // namespace Scalar
}  // namespace Stelox
