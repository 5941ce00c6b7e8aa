// Exported filter row operations: the form is chosen from the processor level.
#include "filter/FilterRows.h"
#include "image/simd/SimdDetector.h"

namespace {

bool fitsWord(int v) { return v >= -32768 && v <= 32767; }

}  // namespace

using namespace Stelox;

extern "C" {

void row_pack_op(unsigned char* dst, int n, const short* src, int scale) {
  if (SimdDetector::processLevel() >= CPU_EXTENSION_SSE2) {
    Sse2::row_pack_op(dst, n, src, scale);
  } else {
    Scalar::row_pack_op(dst, n, src, scale);
  }
}

void row_scale_op(short* dst, int n, const short* src, int scale) {
  if (SimdDetector::processLevel() >= CPU_EXTENSION_SSE2) {
    Sse2::row_scale_op(dst, n, src, scale);
  } else {
    Scalar::row_scale_op(dst, n, src, scale);
  }
}

void row_bandpass_op(unsigned char* dst, int n, const unsigned char* centre, int centreWeight,
                     const short* sums, int sumWeight) {
  // The vector forms multiply by 16-bit weights; wider weights take the exact
  // scalar path instead of silently losing their high bits.
  const cpu_extension_t level = SimdDetector::processLevel();
  if (!fitsWord(centreWeight) || !fitsWord(sumWeight) || level < CPU_EXTENSION_SSE2) {
    Scalar::row_bandpass_op(dst, n, centre, centreWeight, sums, sumWeight);
  } else if (level >= CPU_EXTENSION_AVX2) {
    Avx2::row_bandpass_op(dst, n, centre, centreWeight, sums, sumWeight);
  } else {
    Sse2::row_bandpass_op(dst, n, centre, centreWeight, sums, sumWeight);
  }
}

}  // extern "C"
