// AVX2 forms of the bilinear table warp: eight output pixels per step from
// gathered source words. Same results as the scalar forms.
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

void bilinear_row8x4(Pixel8x4* out, const Pixel8x4* raw, const int* offsets,
                     const unsigned char* rowWeights, const unsigned char* colWeights, int count,
                     int rowIncrement) {
  // One gather per corner reads exactly the pixels the scalar form reads.
  const int* corner00 = reinterpret_cast<const int*>(raw);
  const int* corner01 = reinterpret_cast<const int*>(raw + 1);
  const int* corner10 = reinterpret_cast<const int*>(raw + rowIncrement);
  const int* corner11 = reinterpret_cast<const int*>(raw + rowIncrement + 1);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i full = _mm256_set1_epi32(128);
  const __m256i channels012 = _mm256_set1_epi32(0x00FFFFFF);
  int k = 0;
  for (; k + 8 <= count; k += 8) {
    const __m256i offset = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(offsets + k));
    const __m256i p00 = _mm256_i32gather_epi32(corner00, offset, 4);
    const __m256i p01 = _mm256_i32gather_epi32(corner01, offset, 4);
    const __m256i p10 = _mm256_i32gather_epi32(corner10, offset, 4);
    const __m256i p11 = _mm256_i32gather_epi32(corner11, offset, 4);
    const __m256i a = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(colWeights + k)));
    const __m256i b = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(rowWeights + k)));
    // Column weights repeated over the four 16-bit channels of each pixel;
    // row weight pairs (128 - b, b) one per pixel.
    const __m256i right = _mm256_mullo_epi32(a, _mm256_set1_epi32(0x00010001));
    const __m256i left = _mm256_mullo_epi32(_mm256_sub_epi32(full, a), _mm256_set1_epi32(0x00010001));
    const __m256i rowPair = _mm256_or_si256(_mm256_sub_epi32(full, b), _mm256_slli_epi32(b, 16));

    // Horizontal blends (at most 255 x 128) of pixels 0, 1 (4, 5) and 2, 3 (6, 7).
    auto blend = [&](__m256i first, __m256i second, __m256i wFirst, __m256i wSecond) {
      return _mm256_add_epi16(_mm256_mullo_epi16(first, wFirst), _mm256_mullo_epi16(second, wSecond));
    };
    const __m256i leftLow = _mm256_unpacklo_epi32(left, left), leftHigh = _mm256_unpackhi_epi32(left, left);
    const __m256i rightLow = _mm256_unpacklo_epi32(right, right), rightHigh = _mm256_unpackhi_epi32(right, right);
    const __m256i upperLow = blend(_mm256_unpacklo_epi8(p00, zero), _mm256_unpacklo_epi8(p01, zero), leftLow, rightLow);
    const __m256i upperHigh = blend(_mm256_unpackhi_epi8(p00, zero), _mm256_unpackhi_epi8(p01, zero), leftHigh, rightHigh);
    const __m256i lowerLow = blend(_mm256_unpacklo_epi8(p10, zero), _mm256_unpacklo_epi8(p11, zero), leftLow, rightLow);
    const __m256i lowerHigh = blend(_mm256_unpackhi_epi8(p10, zero), _mm256_unpackhi_epi8(p11, zero), leftHigh, rightHigh);

    // Vertical blend of one pixel's four channels with its row weights.
    auto vertical = [](__m256i upper, __m256i lower, __m256i weights) {
      return _mm256_srli_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(upper, lower), weights), 14);
    };
    auto verticalHigh = [](__m256i upper, __m256i lower, __m256i weights) {
      return _mm256_srli_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(upper, lower), weights), 14);
    };
    const __m256i pixel0 = vertical(upperLow, lowerLow, _mm256_shuffle_epi32(rowPair, 0x00));
    const __m256i pixel1 = verticalHigh(upperLow, lowerLow, _mm256_shuffle_epi32(rowPair, 0x55));
    const __m256i pixel2 = vertical(upperHigh, lowerHigh, _mm256_shuffle_epi32(rowPair, 0xAA));
    const __m256i pixel3 = verticalHigh(upperHigh, lowerHigh, _mm256_shuffle_epi32(rowPair, 0xFF));
    const __m256i bytes = _mm256_packus_epi16(_mm256_packus_epi32(pixel0, pixel1), _mm256_packus_epi32(pixel2, pixel3));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), _mm256_and_si256(bytes, channels012));
  }
  Scalar::bilinear_row8x4(out + k, raw, offsets + k, rowWeights + k, colWeights + k, count - k,
                          rowIncrement);
}

} // namespace Avx2
} // namespace Stelox
