#include "match/MatchUtilityKernels.h"

#include <cstdlib>

extern "C" {

void abs_diff_4x4(Pixel8x4* dst, const unsigned char* a, const unsigned char* b, int n) {
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < 4; ++k)
      dst[i].channel[k] = static_cast<unsigned char>(std::abs(a[i] - b[i + k]));
}

void boxer_4x4(Pixel16x4* sums, Pixel16x4* previous, const Pixel8x4* differences, int m, int n) {
  if (m <= 1) {
    for (int i = 0; i < n; ++i)
      for (int k = 0; k < 4; ++k) sums[i].channel[k] = differences[i].channel[k];
    return;
  }
  for (int k = 0; k < 4; ++k) {
    unsigned short window = 0;
    for (int j = 0; j < m - 1; ++j) window = static_cast<unsigned short>(window + differences[j].channel[k]);
    for (int i = 0; i < n; ++i) {
      window = static_cast<unsigned short>(window + differences[i + m - 1].channel[k]);
      sums[i].channel[k] =
          static_cast<unsigned short>(sums[i].channel[k] + window - previous[i].channel[k]);
      previous[i].channel[k] = window;
      window = static_cast<unsigned short>(window - differences[i].channel[k]);
    }
  }
}

void correlate_4x4(Pixel16x4* best, Pixel8x4* winner, const Pixel16x4* scores, unsigned char d,
                   int n) {
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < 4; ++k)
      if (static_cast<short>(scores[i].channel[k]) < static_cast<short>(best[i].channel[k])) {
        best[i].channel[k] = scores[i].channel[k];
        winner[i].channel[k] = d;
      }
}

void init_4x4(unsigned* dst, const unsigned* value, int n) {
  for (int i = 0; i < n; ++i) dst[i] = *value;
}

void copy_4x4(Pixel16x4* dst, const Pixel16x4* src, int n) {
  for (int i = 0; i < n; ++i) dst[i] = src[i];
}

void copy16_4x4(Pixel16x4* dst, const unsigned short* src, int n) {
  for (int i = 0; i < n; ++i) dst[i] = {{src[i], src[i], src[i], src[i]}};
}

void copy8_4x4(Pixel8x4* dst, const unsigned char* src, int n) {
  for (int i = 0; i < n; ++i) dst[i] = {{src[i], src[i], src[i], src[i]}};
}

void mongo_set_16x4(Pixel16x4* dst, const unsigned short* src, int n, int stride) {
  for (int k = 0; k < n; ++k) dst[k * stride] = {{src[k], src[k], src[k], src[k]}};
}

void mongo_set_8x4(unsigned* dst, const unsigned char* src, int n, int stride) {
  for (int k = 0; k < n; ++k) dst[k * stride] = src[k] | (static_cast<unsigned>(src[k]) << 16);
}

void mongo_init_8x4(unsigned* dst, const unsigned* value, int n, int stride) {
  for (int k = 0; k < n; ++k) dst[k * stride] = *value;
}
}
