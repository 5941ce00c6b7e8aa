// Exported row kernels: each chooses its form from the processor level, which
// is detected once per process. Compiled for the baseline instruction set.
#include "image/simd/RowKernels.h"
#include "image/simd/SimdDetector.h"

namespace {

bool vectorFormsAllowed() { return SimdDetector::processLevel() >= CPU_EXTENSION_SSE2; }

}  // namespace

using namespace Stelox;

extern "C" {

void row_add(unsigned short* dst, const unsigned short* a, const unsigned short* b, int n) {
  Scalar::row_add(dst, a, b, n);
}

void row_sub(unsigned short* dst, const unsigned short* a, const unsigned short* b, int n) {
  Scalar::row_sub(dst, a, b, n);
}

void row_copy8(unsigned char* dst, const unsigned char* src, int n) {
  Scalar::row_copy8(dst, src, n);
}

void row_copy16(unsigned short* dst, const unsigned short* src, int n) {
  Scalar::row_copy16(dst, src, n);
}

void box_add_sub16(unsigned short* out, unsigned sum, const unsigned char* add,
                   const unsigned char* sub, int n, bool sse2) {
  if (!vectorFormsAllowed()) {
    Scalar::box_add_sub16(out, sum, add, sub, n);
  } else if (sse2) {
    box_add_sub16_sse2(out, sum, add, sub, n);
  } else {
    box_add_sub16_mmx(out, sum, add, sub, n);
  }
}

void box_add_sub8ptr(unsigned short* dst, const unsigned short* src, const unsigned char* add,
                     const unsigned char* sub, int n) {
  if (vectorFormsAllowed()) {
    Sse2::box_add_sub8ptr(dst, src, add, sub, n);
  } else {
    Scalar::box_add_sub8ptr(dst, src, add, sub, n);
  }
}

void box_add_sub16ptr(unsigned short* dst, const unsigned short* src, const unsigned short* add,
                      const unsigned short* sub, int n) {
  if (vectorFormsAllowed()) {
    Sse2::box_add_sub16ptr(dst, src, add, sub, n);
  } else {
    Scalar::box_add_sub16ptr(dst, src, add, sub, n);
  }
}

void box8x4_hfilter(unsigned short* out, const unsigned char* in, int n, int k) {
  if (vectorFormsAllowed()) {
    Sse2::box8x4_hfilter(out, in, n, k);
  } else {
    Scalar::box8x4_hfilter(out, in, n, k);
  }
}

void abs_diff(unsigned char* dst, const unsigned char* a, const unsigned char* b, int n) {
  if (vectorFormsAllowed()) {
    Sse2::abs_diff(dst, a, b, n);
  } else {
    Scalar::abs_diff(dst, a, b, n);
  }
}

void acc_abs_diff(unsigned char* acc, const unsigned char* a, const unsigned char* b, int n) {
  if (vectorFormsAllowed()) {
    Sse2::acc_abs_diff(acc, a, b, n);
  } else {
    Scalar::acc_abs_diff(acc, a, b, n);
  }
}

void acc_abs_diff_over2(unsigned char* acc, const unsigned char* a, const unsigned char* b,
                        int n) {
  if (vectorFormsAllowed()) {
    Sse2::acc_abs_diff_over2(acc, a, b, n);
  } else {
    Scalar::acc_abs_diff_over2(acc, a, b, n);
  }
}

void stereo_min(unsigned short* minScore, unsigned char* minDisp, const unsigned short* score,
                unsigned char d, int n, bool sse2) {
  if (!vectorFormsAllowed()) {
    Scalar::stereo_min(minScore, minDisp, score, d, n);
  } else if (sse2) {
    stereo_min_sse2(minScore, minDisp, score, d, n);
  } else {
    stereo_min_mmx(minScore, minDisp, score, d, n);
  }
}

void stereo_min_subpix(unsigned short* minScore, unsigned char* minDisp,
                       unsigned short* scoreBefore, unsigned short* scoreAfter,
                       const unsigned short* previous, const unsigned short* score,
                       unsigned char d, int n, bool sse2) {
  if (!vectorFormsAllowed()) {
    Scalar::stereo_min_subpix(minScore, minDisp, scoreBefore, scoreAfter, previous, score, d, n);
  } else if (sse2) {
    stereo_min_sse2_subpix(minScore, minDisp, scoreBefore, scoreAfter, previous, score, d, n);
  } else {
    stereo_min_mmx_subpix(minScore, minDisp, scoreBefore, scoreAfter, previous, score, d, n);
  }
}

}  // extern "C"
