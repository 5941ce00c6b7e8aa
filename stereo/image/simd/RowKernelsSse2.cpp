// SSE2 forms of the row kernels; results equal RowKernelsScalar.cpp bit for
// bit. Loads and stores are unaligned, so no element is treated apart from
// the block it falls in; the tail shorter than one block runs the scalar code.
// Each block is loaded whole before it is stored, so dst may equal a source.
#include "image/simd/RowKernels.h"

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace {

inline __m128i load4Bytes(const unsigned char* p) {
  int32_t v;
  std::memcpy(&v, p, sizeof v);
  return _mm_cvtsi32_si128(v);
}

inline void store4Bytes(unsigned char* p, __m128i v) {
  const int32_t bytes = _mm_cvtsi128_si32(v);
  std::memcpy(p, &bytes, sizeof bytes);
}

inline __m128i load8(const void* p) { return _mm_loadl_epi64(static_cast<const __m128i*>(p)); }
inline void store8(void* p, __m128i v) { _mm_storel_epi64(static_cast<__m128i*>(p), v); }
inline __m128i load16(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void store16(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

inline __m128i widenBytes(__m128i v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }

// mask ? a : b
inline __m128i select(__m128i mask, __m128i a, __m128i b) {
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

inline __m128i absDiffBytes(__m128i a, __m128i b) {
  return _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
}

// Unsigned 16-bit a < b: flip the sign bits and compare signed.
inline __m128i lessUnsigned16(__m128i a, __m128i b) {
  const __m128i bias = _mm_set1_epi16(static_cast<short>(0x8000));
  return _mm_cmplt_epi16(_mm_xor_si128(a, bias), _mm_xor_si128(b, bias));
}

// One step of the running minimum over `lanes` (4 or 8) elements. The score
// lanes are loaded with `load`/stored with `store`; the disparity bytes with
// the byte versions.
template <int lanes>
struct MinBlock {
  static __m128i loadScores(const unsigned short* p) { return lanes == 8 ? load16(p) : load8(p); }
  static void storeScores(unsigned short* p, __m128i v) {
    if (lanes == 8) store16(p, v); else store8(p, v);
  }
  static __m128i loadDisp(const unsigned char* p) { return lanes == 8 ? load8(p) : load4Bytes(p); }
  static void storeDisp(unsigned char* p, __m128i v) {
    if (lanes == 8) store8(p, v); else store4Bytes(p, v);
  }
};

template <int lanes>
int stereoMinBlocks(unsigned short* minScore, unsigned char* minDisp, const unsigned short* score,
                    unsigned char d, int n) {
  using B = MinBlock<lanes>;
  const __m128i disparity = _mm_set1_epi8(static_cast<char>(d));
  int i = 0;
  for (; i + lanes <= n; i += lanes) {
    const __m128i s = B::loadScores(score + i);
    const __m128i m = B::loadScores(minScore + i);
    const __m128i lower = lessUnsigned16(s, m);
    B::storeScores(minScore + i, select(lower, s, m));
    const __m128i lowerBytes = _mm_packs_epi16(lower, lower);
    B::storeDisp(minDisp + i, select(lowerBytes, disparity, B::loadDisp(minDisp + i)));
  }
  return i;
}

template <int lanes>
int stereoMinSubpixBlocks(unsigned short* minScore, unsigned char* minDisp,
                          unsigned short* scoreBefore, unsigned short* scoreAfter,
                          const unsigned short* previous, const unsigned short* score,
                          unsigned char d, int n) {
  using B = MinBlock<lanes>;
  const __m128i disparity = _mm_set1_epi8(static_cast<char>(d));
  const __m128i disparityBefore = _mm_set1_epi8(static_cast<char>(d - 1));
  // At d = 0 no stored disparity is d - 1.
  const __m128i hasBefore = d > 0 ? _mm_set1_epi8(-1) : _mm_setzero_si128();
  int i = 0;
  for (; i + lanes <= n; i += lanes) {
    const __m128i s = B::loadScores(score + i);
    const __m128i m = B::loadScores(minScore + i);
    const __m128i oldDisp = B::loadDisp(minDisp + i);
    const __m128i lower = lessUnsigned16(s, m);
    const __m128i wasBeforeBytes =
        _mm_and_si128(_mm_cmpeq_epi8(oldDisp, disparityBefore), hasBefore);
    const __m128i wasBefore = _mm_unpacklo_epi8(wasBeforeBytes, wasBeforeBytes);
    const __m128i after = _mm_andnot_si128(lower, wasBefore);
    B::storeScores(minScore + i, select(lower, s, m));
    B::storeScores(scoreBefore + i,
                   select(lower, B::loadScores(previous + i), B::loadScores(scoreBefore + i)));
    B::storeScores(scoreAfter + i, select(after, s, B::loadScores(scoreAfter + i)));
    const __m128i lowerBytes = _mm_packs_epi16(lower, lower);
    B::storeDisp(minDisp + i, select(lowerBytes, disparity, oldDisp));
  }
  return i;
}

}  // namespace

namespace Stelox {
namespace Sse2 {

void box_add_sub8ptr(unsigned short* dst, const unsigned short* src, const unsigned char* add,
                     const unsigned char* sub, int n) {
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m128i a = widenBytes(load8(add + i));
    const __m128i s = widenBytes(load8(sub + i));
    store16(dst + i, _mm_sub_epi16(_mm_add_epi16(load16(src + i), a), s));
  }
  Scalar::box_add_sub8ptr(dst + i, src + i, add + i, sub + i, n - i);
}

void box_add_sub16ptr(unsigned short* dst, const unsigned short* src, const unsigned short* add,
                      const unsigned short* sub, int n) {
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i lo = _mm_sub_epi16(_mm_add_epi16(load16(src + i), load16(add + i)),
                                     load16(sub + i));
    const __m128i hi = _mm_sub_epi16(_mm_add_epi16(load16(src + i + 8), load16(add + i + 8)),
                                     load16(sub + i + 8));
    store16(dst + i, lo);
    store16(dst + i + 8, hi);
  }
  for (; i + 8 <= n; i += 8) {
    store16(dst + i,
            _mm_sub_epi16(_mm_add_epi16(load16(src + i), load16(add + i)), load16(sub + i)));
  }
  Scalar::box_add_sub16ptr(dst + i, src + i, add + i, sub + i, n - i);
}

void box8x4_hfilter(unsigned short* out, const unsigned char* in, int n, int k) {
  if (n < 1 || k < 1 || n < k) return;
  // One pixel (four 16-bit channel sums) per step: the window gains pixel
  // i + k - 1 and loses pixel i - 1.
  __m128i sums = _mm_setzero_si128();
  for (int j = 0; j < k; ++j) sums = _mm_add_epi16(sums, widenBytes(load4Bytes(in + 4 * j)));
  store8(out, sums);
  for (int i = 1; i < n; ++i) {
    const __m128i entering = widenBytes(load4Bytes(in + 4 * (i + k - 1)));
    const __m128i leaving = widenBytes(load4Bytes(in + 4 * (i - 1)));
    sums = _mm_sub_epi16(_mm_add_epi16(sums, entering), leaving);
    store8(out + 4 * i, sums);
  }
}

void abs_diff(unsigned char* dst, const unsigned char* a, const unsigned char* b, int n) {
  int i = 0;
  for (; i + 16 <= n; i += 16) store16(dst + i, absDiffBytes(load16(a + i), load16(b + i)));
  Scalar::abs_diff(dst + i, a + i, b + i, n - i);
}

void acc_abs_diff(unsigned char* acc, const unsigned char* a, const unsigned char* b, int n) {
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    store16(acc + i, _mm_adds_epu8(load16(acc + i), absDiffBytes(load16(a + i), load16(b + i))));
  }
  Scalar::acc_abs_diff(acc + i, a + i, b + i, n - i);
}

void acc_abs_diff_over2(unsigned char* acc, const unsigned char* a, const unsigned char* b,
                        int n) {
  // floor((x + y) / 2) = (x & y) + ((x ^ y) >> 1), computed without a ninth bit.
  const __m128i low7 = _mm_set1_epi8(0x7f);
  int i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i x = load16(acc + i);
    const __m128i y = absDiffBytes(load16(a + i), load16(b + i));
    const __m128i halfXor = _mm_and_si128(_mm_srli_epi16(_mm_xor_si128(x, y), 1), low7);
    store16(acc + i, _mm_add_epi8(_mm_and_si128(x, y), halfXor));
  }
  Scalar::acc_abs_diff_over2(acc + i, a + i, b + i, n - i);
}

}  // namespace Sse2
}  // namespace Stelox

namespace {

// Running sum over blocks of `lanes` (4 or 8) elements: the block's
// differences are summed as a prefix (log2(lanes) shifted additions), then the
// last output of the previous block is added to every lane.
template <int lanes>
void boxAddSub16Blocks(unsigned short* out, unsigned sum, const unsigned char* add,
                       const unsigned char* sub, int n) {
  __m128i carry = _mm_set1_epi16(static_cast<short>(sum));
  int k = 0;
  for (; k + lanes <= n; k += lanes) {
    const __m128i a = widenBytes(lanes == 8 ? load8(add + k) : load4Bytes(add + k));
    const __m128i s = widenBytes(lanes == 8 ? load8(sub + k) : load4Bytes(sub + k));
    __m128i prefix = _mm_sub_epi16(a, s);
    prefix = _mm_add_epi16(prefix, _mm_slli_si128(prefix, 2));
    prefix = _mm_add_epi16(prefix, _mm_slli_si128(prefix, 4));
    if (lanes == 8) prefix = _mm_add_epi16(prefix, _mm_slli_si128(prefix, 8));
    const __m128i result = _mm_add_epi16(prefix, carry);
    if (lanes == 8) {
      store16(out + k, result);
      carry = _mm_shufflehi_epi16(result, 0xff);
      carry = _mm_unpackhi_epi64(carry, carry);
    } else {
      store8(out + k, result);
      carry = _mm_shufflelo_epi16(result, 0xff);
    }
  }
  const unsigned lastSum = k > 0 ? out[k - 1] : sum;
  Stelox::Scalar::box_add_sub16(out + k, lastSum, add + k, sub + k, n - k);
}

}  // namespace

extern "C" {

void box_add_sub16_mmx(unsigned short* out, unsigned sum, const unsigned char* add,
                       const unsigned char* sub, int n) {
  boxAddSub16Blocks<4>(out, sum, add, sub, n);
}

void box_add_sub16_sse2(unsigned short* out, unsigned sum, const unsigned char* add,
                        const unsigned char* sub, int n) {
  boxAddSub16Blocks<8>(out, sum, add, sub, n);
}

void stereo_min_mmx(unsigned short* minScore, unsigned char* minDisp, const unsigned short* score,
                    unsigned char d, int n) {
  const int done = stereoMinBlocks<4>(minScore, minDisp, score, d, n);
  Stelox::Scalar::stereo_min(minScore + done, minDisp + done, score + done, d, n - done);
}

void stereo_min_sse2(unsigned short* minScore, unsigned char* minDisp,
                     const unsigned short* score, unsigned char d, int n) {
  const int done = stereoMinBlocks<8>(minScore, minDisp, score, d, n);
  Stelox::Scalar::stereo_min(minScore + done, minDisp + done, score + done, d, n - done);
}

void stereo_min_mmx_subpix(unsigned short* minScore, unsigned char* minDisp,
                           unsigned short* scoreBefore, unsigned short* scoreAfter,
                           const unsigned short* previous, const unsigned short* score,
                           unsigned char d, int n) {
  const int done = stereoMinSubpixBlocks<4>(minScore, minDisp, scoreBefore, scoreAfter, previous,
                                            score, d, n);
  Stelox::Scalar::stereo_min_subpix(minScore + done, minDisp + done, scoreBefore + done,
                                    scoreAfter + done, previous + done, score + done, d,
                                    n - done);
}

void stereo_min_sse2_subpix(unsigned short* minScore, unsigned char* minDisp,
                            unsigned short* scoreBefore, unsigned short* scoreAfter,
                            const unsigned short* previous, const unsigned short* score,
                            unsigned char d, int n) {
  const int done = stereoMinSubpixBlocks<8>(minScore, minDisp, scoreBefore, scoreAfter, previous,
                                            score, d, n);
  Stelox::Scalar::stereo_min_subpix(minScore + done, minDisp + done, scoreBefore + done,
                                    scoreAfter + done, previous + done, score + done, d,
                                    n - done);
}

}  // extern "C"
