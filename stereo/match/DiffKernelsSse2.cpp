// SSE2 forms of the difference kernels: 4 lanes in the low 64 bits of a
// register, 8 lanes in a whole 128-bit register. Same results as
// mongoLanesScalar.
#include "match/DiffKernels.h"

#include "image/PixelTypes.h"

#include <emmintrin.h>

#include <cstring>

namespace {

inline __m128i loadBytes(const uint8_t* p, int lanes) {
  if (lanes == 8) return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  int32_t v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}

inline void storeBytes(uint8_t* p, __m128i v, int lanes) {
  if (lanes == 8) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
  } else {
    const int32_t w = _mm_cvtsi128_si32(v);
    std::memcpy(p, &w, 4);
  }
}

inline __m128i loadSlots(const uint16_t* p, int lanes) {
  return lanes == 8 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p))
                    : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

inline void storeSlots(uint16_t* p, __m128i v, int lanes) {
  if (lanes == 8)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
  else
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
}

template <int Lanes>
void mongoLanesSse2(const DiffCall& call) {
  const __m128i zero = _mm_setzero_si128();
  // Lane 0 of a texture call compares A with the edge images' zero level.
  const __m128i keepB = _mm_set_epi32(-1, -1, -1, call.textureLane0 ? -256 : -1);
  const __m128i level = _mm_set_epi32(0, 0, 0, call.textureLane0 ? 128 : 0);
  const int m = call.m;

  auto newChange = [&](int j) {
    __m128i b = loadBytes(call.b + j, Lanes);
    b = _mm_or_si128(_mm_and_si128(b, keepB), level);
    const __m128i a = _mm_set1_epi8(static_cast<char>(call.a[j]));
    const __m128i d = _mm_or_si128(_mm_subs_epu8(a, b), _mm_subs_epu8(b, a));
    storeBytes(call.ringNew + j * Lanes, d, Lanes);
    const __m128i old = loadBytes(call.ringOld + j * Lanes, Lanes);
    return _mm_sub_epi16(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(old, zero));
  };
  auto storedChange = [&](int j) {
    const __m128i d = loadBytes(call.ringNew + j * Lanes, Lanes);
    const __m128i old = loadBytes(call.ringOld + j * Lanes, Lanes);
    return _mm_sub_epi16(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(old, zero));
  };

  __m128i sum = zero;
  for (int j = 0; j < m - 1; ++j) sum = _mm_add_epi16(sum, newChange(j));
  int x = 0;
  for (; x < call.nMin; ++x) {
    sum = _mm_add_epi16(sum, newChange(x + m - 1));
    uint16_t* slot = call.score + x * call.stride;
    storeSlots(slot, _mm_add_epi16(loadSlots(slot, Lanes), sum), Lanes);
    sum = _mm_sub_epi16(sum, storedChange(x));
  }
  if (x < call.nMax) {
    const __m128i limits = loadSlots(call.laneLimit, Lanes);
    for (; x < call.nMax; ++x) {
      sum = _mm_add_epi16(sum, newChange(x + m - 1));
      const __m128i active = _mm_cmpgt_epi16(limits, _mm_set1_epi16(static_cast<short>(x)));
      uint16_t* slot = call.score + x * call.stride;
      storeSlots(slot, _mm_add_epi16(loadSlots(slot, Lanes), _mm_and_si128(sum, active)), Lanes);
      sum = _mm_sub_epi16(sum, storedChange(x));
    }
  }
}

DiffCall uniformCall(Pixel16x4* score, Pixel8x4* ringNew, const Pixel8x4* ringOld,
                     const unsigned char* a, const unsigned char* b, int m, int n, int stride,
                     bool texture) {
  DiffCall call;
  call.score = reinterpret_cast<uint16_t*>(score);
  call.ringNew = reinterpret_cast<uint8_t*>(ringNew);
  call.ringOld = reinterpret_cast<const uint8_t*>(ringOld);
  call.a = a;
  call.b = b;
  call.m = m;
  call.stride = 4 * stride;
  call.textureLane0 = texture;
  call.nMin = n;
  call.nMax = n;
  call.laneLimit = nullptr;
  return call;
}

}  // namespace

void mongoLanes4Sse2(const DiffCall& call) { mongoLanesSse2<4>(call); }
void mongoLanes8Sse2(const DiffCall& call) { mongoLanesSse2<8>(call); }

void mongo_4x4(Pixel16x4* score, Pixel8x4* ringNew, const Pixel8x4* ringOld,
               const unsigned char* a, const unsigned char* b, int m, int n, int stride) {
  mongoLanesSse2<4>(uniformCall(score, ringNew, ringOld, a, b, m, n, stride, false));
}

// b points at offset 0, the offset of slot 1; slot 0 never reads B.
void mongo_4x4_val(Pixel16x4* score, Pixel8x4* ringNew, const Pixel8x4* ringOld,
                   const unsigned char* a, const unsigned char* b, int m, int n, int stride) {
  mongoLanesSse2<4>(uniformCall(score, ringNew, ringOld, a, b - 1, m, n, stride, true));
}

void mongo_8x8(Pixel16x4* score, Pixel8x4* ringNew, const Pixel8x4* ringOld,
               const unsigned char* a, const unsigned char* b, int m, int n, int stride,
               bool sse2) {
  if (sse2) {
    mongoLanesSse2<8>(uniformCall(score, ringNew, ringOld, a, b, m, n, stride, false));
    return;
  }
  // Two 64-bit halves, each with its own part of the ring region.
  mongoLanesSse2<4>(uniformCall(score, ringNew, ringOld, a, b, m, n, stride, false));
  const int columns = n + m - 1;
  mongoLanesSse2<4>(uniformCall(score + 1, ringNew + columns, ringOld + columns, a, b + 4, m, n,
                                stride, false));
}
