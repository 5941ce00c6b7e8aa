// AVX2 form of the difference kernels: 16 lanes, bytes in a 128-bit register,
// sums in a 256-bit register. Same results as mongoLanesScalar.
#include "match/DiffKernels.h"

#include <immintrin.h>

void mongoLanes16Avx2(const DiffCall& call) {
  const int m = call.m;
  // Lane 0 of a texture call compares A with the edge images' zero level.
  const __m128i keepB = _mm_set_epi32(-1, -1, -1, call.textureLane0 ? -256 : -1);
  const __m128i level = _mm_set_epi32(0, 0, 0, call.textureLane0 ? 128 : 0);

  auto newChange = [&](int j) {
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(call.b + j));
    b = _mm_or_si128(_mm_and_si128(b, keepB), level);
    const __m128i a = _mm_set1_epi8(static_cast<char>(call.a[j]));
    const __m128i d = _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(call.ringNew + j * 16), d);
    const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(call.ringOld + j * 16));
    return _mm256_sub_epi16(_mm256_cvtepu8_epi16(d), _mm256_cvtepu8_epi16(old));
  };
  auto storedChange = [&](int j) {
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(call.ringNew + j * 16));
    const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(call.ringOld + j * 16));
    return _mm256_sub_epi16(_mm256_cvtepu8_epi16(d), _mm256_cvtepu8_epi16(old));
  };

  __m256i sum = _mm256_setzero_si256();
  for (int j = 0; j < m - 1; ++j) sum = _mm256_add_epi16(sum, newChange(j));
  int x = 0;
  for (; x < call.nMin; ++x) {
    sum = _mm256_add_epi16(sum, newChange(x + m - 1));
    __m256i* slot = reinterpret_cast<__m256i*>(call.score + x * call.stride);
    _mm256_storeu_si256(slot, _mm256_add_epi16(_mm256_loadu_si256(slot), sum));
    sum = _mm256_sub_epi16(sum, storedChange(x));
  }
  if (x < call.nMax) {
    const __m256i limits = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(call.laneLimit));
    for (; x < call.nMax; ++x) {
      sum = _mm256_add_epi16(sum, newChange(x + m - 1));
      const __m256i active =
          _mm256_cmpgt_epi16(limits, _mm256_set1_epi16(static_cast<short>(x)));
      __m256i* slot = reinterpret_cast<__m256i*>(call.score + x * call.stride);
      _mm256_storeu_si256(
          slot, _mm256_add_epi16(_mm256_loadu_si256(slot), _mm256_and_si256(sum, active)));
      sum = _mm256_sub_epi16(sum, storedChange(x));
    }
  }
}
