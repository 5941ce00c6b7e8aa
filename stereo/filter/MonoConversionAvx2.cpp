// AVX2 form of the grey conversion: the arithmetic of MonoConversionSse2.cpp,
// sixteen pixels per step.
#include "filter/MonoConversion.h"

#include <immintrin.h>

namespace {

inline __m256i weightedSums(__m256i pixels) {
  const __m256i evenOddWeights = _mm256_set1_epi32(9798 | (3736 << 16));
  const __m256i middleWeight = _mm256_set1_epi32(19235);
  const __m256i highBytes = _mm256_set1_epi16(static_cast<short>(0xff00));
  const __m256i outer = _mm256_mulhi_epu16(_mm256_slli_epi16(pixels, 8), evenOddWeights);
  const __m256i middle = _mm256_mulhi_epu16(_mm256_and_si256(pixels, highBytes), middleWeight);
  return _mm256_madd_epi16(_mm256_add_epi16(outer, middle), _mm256_set1_epi16(1));
}

}  // namespace

namespace Stelox {
namespace Avx2 {

void greyRow(const unsigned char* src, unsigned char* dst, int cols) {
  const __m256i rounding = _mm256_set1_epi16(64);
  int i = 0;
  for (; i + 16 <= cols; i += 16) {
    const __m256i first =
        weightedSums(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i)));
    const __m256i second =
        weightedSums(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i + 32)));
    // Per 128-bit lane packing leaves pixels in the order 0-3, 8-11 | 4-7, 12-15.
    __m256i words = _mm256_packs_epi32(first, second);
    words = _mm256_srli_epi16(_mm256_add_epi16(words, rounding), 7);
    words = _mm256_permute4x64_epi64(words, 0xd8);
    const __m128i bytes =
        _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), bytes);
  }
  // A last block of eight, then the remainder formula.
  Sse2::greyRow(src + 4 * i, dst + i, cols - i);
}

}  // namespace Avx2
}  // namespace Stelox
