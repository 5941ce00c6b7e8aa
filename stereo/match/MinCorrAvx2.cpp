#include "match/MinCorr.h"

#include <immintrin.h>

#include <algorithm>

namespace {

// Unsigned minimum of sixteen lanes, in every lane.
inline __m256i horizontalMin(__m256i v) {
  v = _mm256_min_epu16(v, _mm256_permute2x128_si256(v, v, 1));
  v = _mm256_min_epu16(v, _mm256_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
  v = _mm256_min_epu16(v, _mm256_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
  v = _mm256_min_epu16(v, _mm256_shufflelo_epi16(_mm256_shufflehi_epi16(v, _MM_SHUFFLE(2, 3, 0, 1)),
                                                 _MM_SHUFFLE(2, 3, 0, 1)));
  return v;
}

}  // namespace

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
  for (int x = 0; x < count; ++x, pixel += slots) {
    int bestValue = 0x10000;
    int best = 0;
    for (int block = 0; block < blocks; ++block) {
      __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixel + 16 * block));
      if (block == blocks - 1) v = _mm256_or_si256(v, tailMask);
      const __m256i minimum = horizontalMin(v);
      const int value = _mm256_extract_epi16(minimum, 0);
      if (value < bestValue) {
        bestValue = value;
        const unsigned lanes =
            static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi16(v, minimum)));
        best = 16 * block + __builtin_ctz(lanes) / 2;
      }
    }
    dst[x] = static_cast<unsigned short>(best);
  }
}
