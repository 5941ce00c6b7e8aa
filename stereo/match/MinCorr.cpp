#include "match/MinCorr.h"

#include "image/PixelTypes.h"

#include <algorithm>

void mincorr_row(unsigned short* dst, const Pixel16x4* scores, int count, int stride, int n,
                 cpu_extension_t cpu) {
  switch (cpu) {
    case CPU_EXTENSION_SSE2:
      mincorr_row_sse2(dst, scores, count, stride, n);
      break;
    case CPU_EXTENSION_SSE4_1:
      mincorr_row_sse4_1(dst, scores, count, stride, n);
      break;
    case CPU_EXTENSION_AVX2:
      mincorr_row_avx2(dst, scores, count, stride, n);
      break;
    default:
      mincorr_row_no_opt(dst, scores, count, stride, n);
      break;
  }
}

void mincorr_row_no_opt(unsigned short* dst, const Pixel16x4* scores, int count, int stride,
                        int n) {
  const int slots = 4 * stride;
  const int last = std::min(n, slots - 1);
  const unsigned short* pixel = reinterpret_cast<const unsigned short*>(scores);
  for (int x = 0; x < count; ++x, pixel += slots) {
    int best = 0;
    for (int s = 1; s <= last; ++s)
      if (pixel[s] < pixel[best]) best = s;
    dst[x] = static_cast<unsigned short>(best);
  }
}

__m128i GenerateMask(int k) {
  alignas(16) unsigned short lanes[8];
  for (int i = 0; i < 8; ++i) lanes[i] = i >= 8 - k ? 0xFFFF : 0;
  return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
}
