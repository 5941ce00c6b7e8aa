// AVX-512BW form of the inverse search: the pixel-by-pixel push of the AVX2
// form with 32 slots per step; mask registers keep the loads and stores
// inside the pixel's candidate slots and the searched positions.
#include "match/InverseSearch.h"

#include <immintrin.h>

#include <algorithm>

void inverseSearchAvx512(unsigned short* dst, unsigned short* best, const unsigned short* scores,
                         int positions, int pixels, int n, int stride, int firstSlot) {
  const int slots = 4 * stride;
  std::fill(best, best + positions, 0xFFFF);
  std::fill(dst, dst + positions, static_cast<unsigned short>(firstSlot));
  const int lastSlot = std::min(n - 1, slots - 1);
  const __m512i laneIndex = _mm512_set_epi16(31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19,
                                             18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5,
                                             4, 3, 2, 1, 0);
  const int scanned = std::min(pixels, positions);
  for (int x = 0; x < scanned; ++x) {
    const unsigned short* pixel = scores + x * slots;
    for (int k = firstSlot; k <= lastSlot; k += 32) {
      const int p = x + k - firstSlot;
      if (p >= positions) break;
      const int valid = std::min({32, lastSlot - k + 1, positions - p});
      const __mmask32 active = valid == 32 ? ~0u : (1u << valid) - 1;
      const __m512i value = _mm512_maskz_loadu_epi16(active, pixel + k);
      const __m512i current = _mm512_maskz_loadu_epi16(active, best + p);
      const __mmask32 take = _mm512_mask_cmple_epu16_mask(active, value, current);
      _mm512_mask_storeu_epi16(best + p, take, value);
      _mm512_mask_storeu_epi16(dst + p, take,
                               _mm512_add_epi16(laneIndex, _mm512_set1_epi16(static_cast<short>(k))));
    }
  }
  for (int p = pixels; p < positions; ++p)
    if (best[p] == 0xFFFF) dst[p] = static_cast<unsigned short>(firstSlot);
}
