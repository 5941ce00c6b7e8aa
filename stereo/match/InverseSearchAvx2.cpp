// AVX2 form of the inverse search. Instead of walking each position's
// diagonal of candidates, every pixel pushes its slots onto the positions
// they look at: pixels are visited left to right, so the candidates of one
// position arrive with falling slot numbers and "not greater replaces" keeps
// the smaller slot on ties, exactly as the scalar search does.
#include "match/InverseSearch.h"

#include <immintrin.h>

#include <algorithm>

void inverseSearchAvx2(unsigned short* dst, unsigned short* best, const unsigned short* scores,
                       int positions, int pixels, int n, int stride, int firstSlot) {
  const int slots = 4 * stride;
  std::fill(best, best + positions + 16, 0xFFFF);
  std::fill(dst, dst + positions, static_cast<unsigned short>(firstSlot));
  // Candidate slots firstSlot .. lastSlot; slots past the pixel's own read as
  // 0xFFFF and never win.
  const int lastSlot = std::min(n - 1, slots - 1);
  const __m256i laneIndex = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const int scanned = std::min(pixels, positions);
  // A pixel's slots land on positions up to pixel + lastSlot - firstSlot; the
  // vector stores may run up to 15 entries further, into the spare part of
  // best (dst keeps its length through the masked blend below).
  for (int x = 0; x < scanned; ++x) {
    const unsigned short* pixel = scores + x * slots;
    for (int k = firstSlot; k <= lastSlot; k += 16) {
      const int p = x + k - firstSlot;
      if (p >= positions) break;
      const int valid = std::min({16, lastSlot - k + 1, positions - p});
      const __m256i active =
          _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(valid)), laneIndex);
      const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixel + k));
      __m256i* bestAt = reinterpret_cast<__m256i*>(best + p);
      const __m256i current = _mm256_loadu_si256(bestAt);
      const __m256i take = _mm256_and_si256(
          active, _mm256_cmpeq_epi16(_mm256_min_epu16(value, current), value));
      _mm256_storeu_si256(bestAt, _mm256_blendv_epi8(current, value, take));
      if (valid == 16) {
        __m256i* dstAt = reinterpret_cast<__m256i*>(dst + p);
        const __m256i slot =
            _mm256_add_epi16(laneIndex, _mm256_set1_epi16(static_cast<short>(k)));
        _mm256_storeu_si256(dstAt, _mm256_blendv_epi8(_mm256_loadu_si256(dstAt), slot, take));
      } else {
        alignas(32) unsigned short taken[16];
        _mm256_store_si256(reinterpret_cast<__m256i*>(taken), take);
        for (int lane = 0; lane < valid; ++lane)
          if (taken[lane]) dst[p + lane] = static_cast<unsigned short>(k + lane);
      }
    }
  }
  // Positions past the last pixel: a missing pixel's 0xFFFF sits on the
  // smallest slot, so it wins any tie at 0xFFFF.
  for (int p = pixels; p < positions; ++p)
    if (best[p] == 0xFFFF) dst[p] = static_cast<unsigned short>(firstSlot);
}
