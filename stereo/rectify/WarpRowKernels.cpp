#include "rectify/WarpRowKernels.h"

#include "image/simd/SimdDetector.h"

namespace Stelox {

namespace {

inline unsigned bilinear(unsigned p00, unsigned p01, unsigned p10, unsigned p11, unsigned a,
                         unsigned b) {
  return ((p00 * (128 - a) + p01 * a) * (128 - b) + (p10 * (128 - a) + p11 * a) * b) >> 14;
}

} // namespace

namespace Scalar {

void bilinear_row8(unsigned char* out, const unsigned char* raw, const int* offsets,
                   const unsigned char* rowWeights, const unsigned char* colWeights, int count,
                   int rowIncrement) {
  for (int k = 0; k < count; ++k) {
    const unsigned char* p = raw + offsets[k];
    out[k] = static_cast<unsigned char>(
        bilinear(p[0], p[1], p[rowIncrement], p[rowIncrement + 1], colWeights[k], rowWeights[k]));
  }
}

void bilinear_row8x4(Pixel8x4* out, const Pixel8x4* raw, const int* offsets,
                     const unsigned char* rowWeights, const unsigned char* colWeights, int count,
                     int rowIncrement) {
  for (int k = 0; k < count; ++k) {
    const Pixel8x4* p = raw + offsets[k];
    const unsigned a = colWeights[k];
    const unsigned b = rowWeights[k];
    for (int c = 0; c < 3; ++c)
      out[k].channel[c] = static_cast<unsigned char>(
          bilinear(p[0].channel[c], p[1].channel[c], p[rowIncrement].channel[c],
                   p[rowIncrement + 1].channel[c], a, b));
    out[k].channel[3] = 0;
  }
}

} // namespace Scalar

void bilinear_row8(unsigned char* out, const unsigned char* raw, const int* offsets,
                   const unsigned char* rowWeights, const unsigned char* colWeights, int count,
                   int rowIncrement) {
  if (SimdDetector::processLevel() >= CPU_EXTENSION_AVX2)
    Avx2::bilinear_row8(out, raw, offsets, rowWeights, colWeights, count, rowIncrement);
  else
    Scalar::bilinear_row8(out, raw, offsets, rowWeights, colWeights, count, rowIncrement);
}

void bilinear_row8x4(Pixel8x4* out, const Pixel8x4* raw, const int* offsets,
                     const unsigned char* rowWeights, const unsigned char* colWeights, int count,
                     int rowIncrement) {
  if (SimdDetector::processLevel() >= CPU_EXTENSION_AVX2)
    Avx2::bilinear_row8x4(out, raw, offsets, rowWeights, colWeights, count, rowIncrement);
  else
    Scalar::bilinear_row8x4(out, raw, offsets, rowWeights, colWeights, count, rowIncrement);
}

} // namespace Stelox
