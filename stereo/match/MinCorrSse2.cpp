#include "match/MinCorr.h"

#include <algorithm>

namespace {

// Unsigned 16-bit minimum of eight lanes, in every lane (SSE2 has only the
// signed minimum, so the lanes are compared with their sign bits flipped).
inline __m128i horizontalMin(__m128i flipped) {
  __m128i v = _mm_min_epi16(flipped, _mm_shuffle_epi32(flipped, _MM_SHUFFLE(1, 0, 3, 2)));
  v = _mm_min_epi16(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
  v = _mm_min_epi16(v, _mm_shufflelo_epi16(_mm_shufflehi_epi16(v, _MM_SHUFFLE(2, 3, 0, 1)),
                                            _MM_SHUFFLE(2, 3, 0, 1)));
  return v;
}

}  // namespace

void mincorr_row_sse2(unsigned short* dst, const Pixel16x4* scores, int count, int stride,
                      int n) {
  const int slots = 4 * stride;
  const int last = std::min(n, slots - 1);
  const int blocks = last / 8 + 1;
  const __m128i tailMask = GenerateMask(7 - last % 8);
  const __m128i sign = _mm_set1_epi16(static_cast<short>(0x8000));
  const unsigned short* pixel = reinterpret_cast<const unsigned short*>(scores);
  for (int x = 0; x < count; ++x, pixel += slots) {
    int bestValue = 0x10000;
    int best = 0;
    for (int block = 0; block < blocks; ++block) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixel + 8 * block));
      if (block == blocks - 1) v = _mm_or_si128(v, tailMask);
      const __m128i flipped = _mm_xor_si128(v, sign);
      const __m128i minimum = horizontalMin(flipped);
      const int value = (_mm_cvtsi128_si32(minimum) & 0xFFFF) ^ 0x8000;
      if (value < bestValue) {
        bestValue = value;
        const int lanes = _mm_movemask_epi8(_mm_cmpeq_epi16(flipped, minimum));
        best = 8 * block + __builtin_ctz(static_cast<unsigned>(lanes)) / 2;
      }
    }
    dst[x] = static_cast<unsigned short>(best);
  }
}
