// AVX2 form of the band-pass row operation; same arithmetic as the SSE2 form
// (FilterRowsSse2.cpp), 32 elements per step.
#include "filter/FilterRows.h"

#include <immintrin.h>

namespace {

inline __m256i bandpass16(__m256i centreWords, __m256i sums, __m256i centreWeight,
                          __m256i sumWeight) {
  const __m256i bias = _mm256_set1_epi16(128);
  return _mm256_add_epi16(_mm256_add_epi16(bias, _mm256_mulhi_epi16(centreWords, centreWeight)),
                          _mm256_mulhi_epi16(sums, sumWeight));
}

}  // namespace

namespace Stelox {
namespace Avx2 {

void row_bandpass_op(unsigned char* dst, int n, const unsigned char* centre, int centreWeight,
                     const short* sums, int sumWeight) {
  const __m256i cw = _mm256_set1_epi16(static_cast<short>(centreWeight));
  const __m256i sw = _mm256_set1_epi16(static_cast<short>(sumWeight));
  int i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i c0 =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(centre + i)));
    const __m256i c1 =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(centre + i + 16)));
    const __m256i first =
        bandpass16(c0, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + i)), cw, sw);
    const __m256i second = bandpass16(
        c1, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + i + 16)), cw, sw);
    // packus works per 128-bit lane; restore the element order afterwards.
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xd8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), packed);
  }
  Sse2::row_bandpass_op(dst + i, n - i, centre + i, centreWeight, sums + i, sumWeight);
}

}  // namespace Avx2
}  // namespace Stelox
