// AVX2 form of the bilinear table warp: eight output pixels per step, the two
// source rows of each gathered as one 32-bit word. Same results as the scalar
// form.
#include "rectify/WarpRowKernels.h"

#include <immintrin.h>

namespace Stelox {
namespace Avx2 {

void bilinear_row8(unsigned char* out, const unsigned char* raw, const int* offsets,
                   const unsigned char* rowWeights, const unsigned char* colWeights, int count,
                   int rowIncrement) {
  // Each word is gathered two bytes early, so that it ends with the pixel
  // pair and never reads past the last byte the scalar form reads; words
  // that would start before the first source byte go the scalar way.
  const __m256i lowestSafe = _mm256_set1_epi32(2);
  // Bytes 2 and 3 of every word widened to 16 bits: (p0, p1).
  const __m256i pairOfWord =
      _mm256_setr_epi8(2, -1, 3, -1, 6, -1, 7, -1, 10, -1, 11, -1, 14, -1, 15, -1,
                       2, -1, 3, -1, 6, -1, 7, -1, 10, -1, 11, -1, 14, -1, 15, -1);
  const __m256i full = _mm256_set1_epi32(128);
  const int* firstRow = reinterpret_cast<const int*>(raw - 2);
  const int* secondRow = reinterpret_cast<const int*>(raw - 2 + rowIncrement);
  int k = 0;
  for (; k + 8 <= count; k += 8) {
    const __m256i offset = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offsets + k));
    if (!_mm256_testz_si256(_mm256_cmpgt_epi32(lowestSafe, offset), _mm256_set1_epi32(-1))) {
      Scalar::bilinear_row8(out + k, raw, offsets + k, rowWeights + k, colWeights + k, 8,
                            rowIncrement);
      continue;
    }
    const __m256i top = _mm256_shuffle_epi8(_mm256_i32gather_epi32(firstRow, offset, 1), pairOfWord);
    const __m256i bottom =
        _mm256_shuffle_epi8(_mm256_i32gather_epi32(secondRow, offset, 1), pairOfWord);
    const __m256i a = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(colWeights + k)));
    const __m256i b = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(rowWeights + k)));
    // Weight pairs (128 - w, w) as 16-bit halves of each word.
    const __m256i colPair = _mm256_or_si256(_mm256_sub_epi32(full, a), _mm256_slli_epi32(a, 16));
    const __m256i rowPair = _mm256_or_si256(_mm256_sub_epi32(full, b), _mm256_slli_epi32(b, 16));
    // Each row's horizontal blend is at most 255 * 128, so both fit the signed
    // 16-bit halves of one word for the vertical blend.
    const __m256i upper = _mm256_madd_epi16(top, colPair);
    const __m256i lower = _mm256_madd_epi16(bottom, colPair);
    const __m256i blended =
        _mm256_srli_epi32(_mm256_madd_epi16(_mm256_or_si256(upper, _mm256_slli_epi32(lower, 16)), rowPair), 14);
    const __m256i words = _mm256_packus_epi32(blended, blended);
    const __m256i bytes = _mm256_packus_epi16(words, words);
    const __m128i packed = _mm_unpacklo_epi32(_mm256_castsi256_si128(bytes), _mm256_extracti128_si256(bytes, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), packed);
  }
  Scalar::bilinear_row8(out + k, raw, offsets + k, rowWeights + k, colWeights + k, count - k,
                        rowIncrement);
}

} // namespace Avx2
} // namespace Stelox
