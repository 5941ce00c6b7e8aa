// SSE2 form of the grey conversion, eight pixels per step.
//
// Seen as 16-bit words, a pixel is (b0 | b1 << 8, b2 | b3 << 8). Shifting left
// by 8 gives (b0 << 8, b2 << 8) and masking the high bytes (b1 << 8, b3 << 8);
// the unsigned high product with a weight w then is (w * b) / 256 exactly.
// A multiply-add joins each pixel's two words.
#include "filter/MonoConversion.h"

#include <emmintrin.h>

namespace {

inline __m128i weightedSums(__m128i pixels) {
  const __m128i evenOddWeights = _mm_set1_epi32(9798 | (3736 << 16));
  const __m128i middleWeight = _mm_set1_epi32(19235);
  const __m128i highBytes = _mm_set1_epi16(static_cast<short>(0xff00));
  const __m128i outer = _mm_mulhi_epu16(_mm_slli_epi16(pixels, 8), evenOddWeights);
  const __m128i middle = _mm_mulhi_epu16(_mm_and_si128(pixels, highBytes), middleWeight);
  return _mm_madd_epi16(_mm_add_epi16(outer, middle), _mm_set1_epi16(1));
}

}  // namespace

namespace Stelox {
namespace Sse2 {

void greyRow(const unsigned char* src, unsigned char* dst, int cols) {
  const __m128i rounding = _mm_set1_epi16(64);
  int i = 0;
  for (; i + 8 <= cols; i += 8) {
    const __m128i first = weightedSums(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i)));
    const __m128i second =
        weightedSums(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i + 16)));
    const __m128i words = _mm_srli_epi16(_mm_add_epi16(_mm_packs_epi32(first, second), rounding), 7);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(words, words));
  }
  // Fewer than eight pixels remain: the scalar code applies the remainder formula.
  Scalar::greyRow(src + 4 * i, dst + i, cols - i);
}

}  // namespace Sse2
}  // namespace Stelox
