#include "match/MinCorr.h"

#include <smmintrin.h>

#include <algorithm>

void mincorr_row_sse4_1(unsigned short* dst, const Pixel16x4* scores, int count, int stride,
                        int n) {
  const int slots = 4 * stride;
  const int last = std::min(n, slots - 1);
  const int blocks = last / 8 + 1;
  const __m128i tailMask = GenerateMask(7 - last % 8);
  const unsigned short* pixel = reinterpret_cast<const unsigned short*>(scores);
  for (int x = 0; x < count; ++x, pixel += slots) {
    int bestValue = 0x10000;
    int best = 0;
    for (int block = 0; block < blocks; ++block) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixel + 8 * block));
      if (block == blocks - 1) v = _mm_or_si128(v, tailMask);
      // Lane 0: the minimum, lane 1: the first lane holding it.
      const int found = _mm_cvtsi128_si32(_mm_minpos_epu16(v));
      const int value = found & 0xFFFF;
      if (value < bestValue) {
        bestValue = value;
        best = 8 * block + ((found >> 16) & 7);
      }
    }
    dst[x] = static_cast<unsigned short>(best);
  }
}
