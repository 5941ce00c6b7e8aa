#include "match/InverseSearch.h"

#include "image/PixelTypes.h"

#include <algorithm>

void inverseSearchScalar(unsigned short* dst, const unsigned short* scores, int positions,
                         int pixels, int n, int stride, int firstSlot) {
  const int slots = 4 * stride;
  auto score = [&](int pixel, int slot) -> unsigned {
    if (pixel >= pixels || slot >= slots) return 0xFFFF;
    return scores[pixel * slots + slot];
  };
  // Slot k looks at B position pixel + k - firstSlot.
  for (int p = 0; p < positions; ++p) {
    const int upper = std::min(p + firstSlot, n - 1);
    int best = firstSlot;
    unsigned bestValue = score(p, firstSlot);
    for (int k = firstSlot + 1; k <= upper; ++k) {
      const unsigned value = score(p - k + firstSlot, k);
      if (value < bestValue) {
        bestValue = value;
        best = k;
      }
    }
    dst[p] = static_cast<unsigned short>(best);
  }
}

namespace {

void inverseSearch(unsigned short* dst, unsigned short* best, const Pixel16x4* scores,
                   int positions, int pixels, int n, int stride, cpu_extension_t cpu,
                   bool avx512, int firstSlot) {
  const unsigned short* slots = reinterpret_cast<const unsigned short*>(scores);
  if (cpu == CPU_EXTENSION_AVX2 && avx512) {
    inverseSearchAvx512(dst, best, slots, positions, pixels, n, stride, firstSlot);
  } else if (cpu == CPU_EXTENSION_AVX2) {
    inverseSearchAvx2(dst, best, slots, positions, pixels, n, stride, firstSlot);
  } else {
    inverseSearchScalar(dst, slots, positions, pixels, n, stride, firstSlot);
  }
}

}  // namespace

void mongo_inverse(unsigned short* dst, unsigned short* best, const Pixel16x4* scores,
                   int positions, int pixels, int n, int stride, cpu_extension_t cpu,
                   bool avx512) {
  inverseSearch(dst, best, scores, positions, pixels, n, stride, cpu, avx512, 0);
}

void mongo_val_inverse(unsigned short* dst, unsigned short* best, const Pixel16x4* scores,
                       int positions, int pixels, int n, int stride, cpu_extension_t cpu,
                       bool avx512) {
  inverseSearch(dst, best, scores, positions, pixels, n, stride, cpu, avx512, 1);
}
