// AVX-512BW form of the difference kernels: 32 lanes, bytes in a 256-bit
// register, sums in a 512-bit register. Same results as mongoLanesScalar.
#include "match/DiffKernels.h"

#include <immintrin.h>

void mongoLanes32Avx512(const DiffCall& call) {
  const int m = call.m;
  // Lane 0 of a texture call compares A with the edge images' zero level.
  const __m256i keepB = _mm256_setr_epi32(call.textureLane0 ? -256 : -1, -1, -1, -1, -1, -1, -1, -1);
  const __m256i level = _mm256_setr_epi32(call.textureLane0 ? 128 : 0, 0, 0, 0, 0, 0, 0, 0);

  auto newChange = [&](int j) {
    __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(call.b + j));
    b = _mm256_or_si256(_mm256_and_si256(b, keepB), level);
    const __m256i a = _mm256_set1_epi8(static_cast<char>(call.a[j]));
    const __m256i d = _mm256_or_si256(_mm256_subs_epu8(a, b), _mm256_subs_epu8(b, a));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(call.ringNew + j * 32), d);
    const __m256i old =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(call.ringOld + j * 32));
    return _mm512_sub_epi16(_mm512_cvtepu8_epi16(d), _mm512_cvtepu8_epi16(old));
  };
  auto storedChange = [&](int j) {
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(call.ringNew + j * 32));
    const __m256i old =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(call.ringOld + j * 32));
    return _mm512_sub_epi16(_mm512_cvtepu8_epi16(d), _mm512_cvtepu8_epi16(old));
  };

  __m512i sum = _mm512_setzero_si512();
  for (int j = 0; j < m - 1; ++j) sum = _mm512_add_epi16(sum, newChange(j));
  int x = 0;
  for (; x < call.nMin; ++x) {
    sum = _mm512_add_epi16(sum, newChange(x + m - 1));
    uint16_t* slot = call.score + x * call.stride;
    _mm512_storeu_si512(slot, _mm512_add_epi16(_mm512_loadu_si512(slot), sum));
    sum = _mm512_sub_epi16(sum, storedChange(x));
  }
  if (x < call.nMax) {
    const __m512i limits = _mm512_loadu_si512(call.laneLimit);
    for (; x < call.nMax; ++x) {
      sum = _mm512_add_epi16(sum, newChange(x + m - 1));
      const __mmask32 active =
          _mm512_cmpgt_epi16_mask(limits, _mm512_set1_epi16(static_cast<short>(x)));
      uint16_t* slot = call.score + x * call.stride;
      _mm512_storeu_si512(slot,
                          _mm512_mask_add_epi16(_mm512_loadu_si512(slot), active,
                                                _mm512_loadu_si512(slot), sum));
      sum = _mm512_sub_epi16(sum, storedChange(x));
    }
  }
}
