// SSE2 forms of the filter row operations; results equal FilterRowsScalar.cpp.
//
// A 32-bit scale is split as scale = hi * 65536 + lo (hi signed, lo unsigned
// 16 bits), so (src * scale) >> 16 = src * hi + ((src * lo) >> 16) exactly;
// the second term is an unsigned high product corrected for negative src.
#include "filter/FilterRows.h"

#include <emmintrin.h>

namespace {

inline __m128i load16(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline __m128i load8(const void* p) { return _mm_loadl_epi64(static_cast<const __m128i*>(p)); }
inline void store16(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
inline void store8(void* p, __m128i v) { _mm_storel_epi64(static_cast<__m128i*>(p), v); }

struct SplitScale {
  explicit SplitScale(int scale)
      : hi(_mm_set1_epi16(static_cast<short>(scale >> 16))),
        lo(_mm_set1_epi16(static_cast<short>(scale & 0xffff))),
        hiAndOne(_mm_set1_epi32(static_cast<int>((static_cast<unsigned>(scale >> 16) & 0xffffu) |
                                                 (1u << 16)))) {}
  __m128i hi;
  __m128i lo;
  __m128i hiAndOne;  // 16-bit pairs (hi, 1) for the multiply-add
};

// (src * lo) >> 16 with src signed and lo unsigned.
inline __m128i mulHighSignedUnsigned(__m128i src, __m128i lo) {
  const __m128i negative = _mm_srai_epi16(src, 15);
  return _mm_sub_epi16(_mm_mulhi_epu16(src, lo), _mm_and_si128(negative, lo));
}

// Eight results of (src * scale) >> 16 saturated to 16 bits.
inline __m128i scaleSaturated(__m128i src, const SplitScale& s) {
  const __m128i low = mulHighSignedUnsigned(src, s.lo);
  const __m128i first = _mm_madd_epi16(_mm_unpacklo_epi16(src, low), s.hiAndOne);
  const __m128i second = _mm_madd_epi16(_mm_unpackhi_epi16(src, low), s.hiAndOne);
  return _mm_packs_epi32(first, second);
}

inline __m128i bandpass8(__m128i centreWords, __m128i sums, __m128i centreWeight,
                         __m128i sumWeight) {
  const __m128i bias = _mm_set1_epi16(128);
  return _mm_add_epi16(_mm_add_epi16(bias, _mm_mulhi_epi16(centreWords, centreWeight)),
                       _mm_mulhi_epi16(sums, sumWeight));
}

}  // namespace

namespace Stelox {
namespace Sse2 {

void row_pack_op(unsigned char* dst, int n, const short* src, int scale) {
  const SplitScale s(scale);
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i first = scaleSaturated(load16(src + i), s);
    const __m128i second = scaleSaturated(load16(src + i + 8), s);
    store16(dst + i, _mm_packus_epi16(first, second));
  }
  for (; i + 8 <= n; i += 8) {
    const __m128i words = scaleSaturated(load16(src + i), s);
    store8(dst + i, _mm_packus_epi16(words, words));
  }
  Scalar::row_pack_op(dst + i, n - i, src + i, scale);
}

void row_scale_op(short* dst, int n, const short* src, int scale) {
  // Only the low 16 bits are kept, so src * hi may wrap.
  const SplitScale s(scale);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m128i v = load16(src + i);
    store16(dst + i, _mm_add_epi16(_mm_mullo_epi16(v, s.hi), mulHighSignedUnsigned(v, s.lo)));
  }
  Scalar::row_scale_op(dst + i, n - i, src + i, scale);
}

void row_bandpass_op(unsigned char* dst, int n, const unsigned char* centre, int centreWeight,
                     const short* sums, int sumWeight) {
  // 128 + a + b with |a| <= 128 and |b| <= 16384 fits 16 bits; the final pack
  // clamps to 0 .. 255.
  const __m128i cw = _mm_set1_epi16(static_cast<short>(centreWeight));
  const __m128i sw = _mm_set1_epi16(static_cast<short>(sumWeight));
  const __m128i zero = _mm_setzero_si128();
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i c = load16(centre + i);
    const __m128i first = bandpass8(_mm_unpacklo_epi8(c, zero), load16(sums + i), cw, sw);
    const __m128i second = bandpass8(_mm_unpackhi_epi8(c, zero), load16(sums + i + 8), cw, sw);
    store16(dst + i, _mm_packus_epi16(first, second));
  }
  for (; i + 8 <= n; i += 8) {
    const __m128i words =
        bandpass8(_mm_unpacklo_epi8(load8(centre + i), zero), load16(sums + i), cw, sw);
    store8(dst + i, _mm_packus_epi16(words, words));
  }
  Scalar::row_bandpass_op(dst + i, n - i, centre + i, centreWeight, sums + i, sumWeight);
}

}  // namespace Sse2
}  // namespace Stelox
