// Scalar reference of the row kernels: this file defines their results, the
// vector forms reproduce them bit for bit.
//
// Arithmetic (n elements, nothing happens for n <= 0):
//   row_add            dst = a + b                      (mod 65536)
//   row_sub            dst = a - b                      (mod 65536)
//   box_add_sub16      s = sum; s += add[k] - sub[k]; out[k] = s   (mod 65536)
//   box_add_sub8ptr    dst = src + add - sub            (mod 65536; add, sub bytes)
//   box_add_sub16ptr   dst = src + add - sub            (mod 65536)
//   box8x4_hfilter     out[4i+c] = sum_{j<k} in[4(i+j)+c]; nothing when n < k or k < 1
//   abs_diff           dst = |a - b|
//   acc_abs_diff       acc = min(255, acc + |a - b|)
//   acc_abs_diff_over2 acc = (acc + |a - b|) >> 1       (exact 9-bit sum)
//   stereo_min         score < minScore (unsigned, strict) -> minScore = score, minDisp = d
//   stereo_min_subpix  as stereo_min plus scoreBefore = previous; otherwise, for d > 0,
//                      minDisp == d - 1 -> scoreAfter = score
#include "image/simd/RowKernels.h"

#include <cstdlib>

namespace Stelox {
namespace Scalar {

void row_add(unsigned short* dst, const unsigned short* a, const unsigned short* b, int n) {
  for (int i = 0; i < n; ++i) dst[i] = static_cast<unsigned short>(a[i] + b[i]);
}

void row_sub(unsigned short* dst, const unsigned short* a, const unsigned short* b, int n) {
  for (int i = 0; i < n; ++i) dst[i] = static_cast<unsigned short>(a[i] - b[i]);
}

void row_copy8(unsigned char* dst, const unsigned char* src, int n) {
  for (int i = 0; i < n; ++i) dst[i] = src[i];
}

void row_copy16(unsigned short* dst, const unsigned short* src, int n) {
  for (int i = 0; i < n; ++i) dst[i] = src[i];
}

void box_add_sub16(unsigned short* out, unsigned sum, const unsigned char* add,
                   const unsigned char* sub, int n) {
  unsigned s = sum;
  for (int k = 0; k < n; ++k) {
    s = s + add[k] - sub[k];
    out[k] = static_cast<unsigned short>(s);
  }
}

void box_add_sub8ptr(unsigned short* dst, const unsigned short* src, const unsigned char* add,
                     const unsigned char* sub, int n) {
  for (int i = 0; i < n; ++i) dst[i] = static_cast<unsigned short>(src[i] + add[i] - sub[i]);
}

void box_add_sub16ptr(unsigned short* dst, const unsigned short* src, const unsigned short* add,
                      const unsigned short* sub, int n) {
  for (int i = 0; i < n; ++i) dst[i] = static_cast<unsigned short>(src[i] + add[i] - sub[i]);
}

void box8x4_hfilter(unsigned short* out, const unsigned char* in, int n, int k) {
  if (n < 1 || k < 1 || n < k) return;
  for (int i = 0; i < n; ++i) {
    for (int c = 0; c < 4; ++c) {
      unsigned s = 0;
      for (int j = 0; j < k; ++j) s += in[4 * (i + j) + c];
      out[4 * i + c] = static_cast<unsigned short>(s);
    }
  }
}

void abs_diff(unsigned char* dst, const unsigned char* a, const unsigned char* b, int n) {
  for (int i = 0; i < n; ++i) dst[i] = static_cast<unsigned char>(std::abs(a[i] - b[i]));
}

void acc_abs_diff(unsigned char* acc, const unsigned char* a, const unsigned char* b, int n) {
  for (int i = 0; i < n; ++i) {
    const int s = acc[i] + std::abs(a[i] - b[i]);
    acc[i] = static_cast<unsigned char>(s > 255 ? 255 : s);
  }
}

void acc_abs_diff_over2(unsigned char* acc, const unsigned char* a, const unsigned char* b,
                        int n) {
  for (int i = 0; i < n; ++i) {
    acc[i] = static_cast<unsigned char>((acc[i] + std::abs(a[i] - b[i])) >> 1);
  }
}

void stereo_min(unsigned short* minScore, unsigned char* minDisp, const unsigned short* score,
                unsigned char d, int n) {
  for (int i = 0; i < n; ++i) {
    if (score[i] < minScore[i]) {
      minScore[i] = score[i];
      minDisp[i] = d;
    }
  }
}

void stereo_min_subpix(unsigned short* minScore, unsigned char* minDisp,
                       unsigned short* scoreBefore, unsigned short* scoreAfter,
                       const unsigned short* previous, const unsigned short* score,
                       unsigned char d, int n) {
  const int dBefore = d - 1;
  for (int i = 0; i < n; ++i) {
    if (score[i] < minScore[i]) {
      minScore[i] = score[i];
      minDisp[i] = d;
      scoreBefore[i] = previous[i];
    } else if (minDisp[i] == dBefore) {
      scoreAfter[i] = score[i];
    }
  }
}

}  // namespace Scalar
}  // namespace Stelox
