#include <emmintrin.h>

#include "image/ZorImageUtils.h"

namespace Stelox {
namespace Sse2 {

std::uint32_t zorImageSad(const unsigned char* a, const unsigned char* b, std::size_t n)
{
  // psadbw sums each 8-byte half into a 64-bit lane; 64-bit lanes cannot wrap
  // before the 32-bit result does, so truncating at the end is exact.
  __m128i total = _mm_setzero_si128();
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    total = _mm_add_epi64(total, _mm_sad_epu8(va, vb));
  }
  std::uint32_t sum = static_cast<std::uint32_t>(_mm_cvtsi128_si32(total)) +
                      static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(total, total)));
  for (; i < n; ++i)
    sum += static_cast<std::uint32_t>(a[i] > b[i] ? a[i] - b[i] : b[i] - a[i]);
  return sum;
}

}  // namespace Sse2
}  // namespace Stelox
