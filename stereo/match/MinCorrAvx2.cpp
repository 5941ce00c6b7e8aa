#include "match/MinCorr.h"

#include <immintrin.h>

#include <algorithm>

// Blocks of 16 slots: the blocks are first reduced lane by lane, then once
// across the lanes; the first block holding the minimum gives the index, so
// the result is the lowest slot with the smallest value, as in the scalar
// search.
void mincorr_row_avx2(unsigned short* dst, const Pixel16x4* scores, int count, int stride,
                      int n) {
  const int slots = 4 * stride;
  const int last = std::min(n, slots - 1);
  const int blocks = last / 16 + 1;
  // Lanes of the last 16-slot block beyond slot `last` read as 0xFFFF.
  const int tail = 15 - last % 16;
  const __m256i tailMask =
      tail >= 8 ? _mm256_set_m128i(_mm_set1_epi16(-1), GenerateMask(tail - 8))
                : _mm256_set_m128i(GenerateMask(tail), _mm_setzero_si128());
  const unsigned short* pixel = reinterpret_cast<const unsigned short*>(scores);
  __m256i block[8];
  for (int x = 0; x < count; ++x, pixel += slots) {
    const __m256i* at = reinterpret_cast<const __m256i*>(pixel);
    int best = 0;
    int first = 0;
    while (first < blocks) {
      // At most 8 blocks (128 slots) per pass; later passes only replace the
      // result when they hold a strictly smaller value.
      const int end = std::min(blocks, first + 8);
      __m256i minimum = _mm256_set1_epi16(-1);
      for (int k = first; k < end; ++k) {
        block[k - first] = _mm256_loadu_si256(at + k);
        if (k == blocks - 1) block[k - first] = _mm256_or_si256(block[k - first], tailMask);
        minimum = _mm256_min_epu16(minimum, block[k - first]);
      }
      const __m128i halves =
          _mm_min_epu16(_mm256_castsi256_si128(minimum), _mm256_extracti128_si256(minimum, 1));
      const int value = _mm_cvtsi128_si32(_mm_minpos_epu16(halves)) & 0xFFFF;
      const __m256i wanted = _mm256_set1_epi16(static_cast<short>(value));
      if (first == 0 || value < static_cast<int>(pixel[best])) {
        for (int k = first; k < end; ++k) {
          const unsigned lanes = static_cast<unsigned>(
              _mm256_movemask_epi8(_mm256_cmpeq_epi16(block[k - first], wanted)));
          if (lanes) {
            best = 16 * k + __builtin_ctz(lanes) / 2;
            break;
          }
        }
      }
      first = end;
    }
    dst[x] = static_cast<unsigned short>(best);
  }
}
