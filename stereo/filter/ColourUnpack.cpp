#include "filter/ColourUnpack.h"

#include <algorithm>

namespace {

constexpr int kBlue = 0;
constexpr int kGreen = 1;
constexpr int kRed = 2;

void extractChannel(unsigned char* dst, int n, const void* src, int channel) {
  const auto* pixels = static_cast<const Pixel8x4*>(src);
  for (int i = 0; i < n; ++i) dst[i] = pixels[i].channel[channel];
}

}  // namespace

extern "C" {

void extract_red(unsigned char* dst, int n, const void* src) { extractChannel(dst, n, src, kRed); }
void extract_grn(unsigned char* dst, int n, const void* src) {
  extractChannel(dst, n, src, kGreen);
}
void extract_blu(unsigned char* dst, int n, const void* src) { extractChannel(dst, n, src, kBlue); }

void extract_rgb(unsigned char* red, unsigned char* green, unsigned char* blue, int n,
                 const Pixel8x4* src) {
  for (int i = 0; i < n; ++i) {
    red[i] = src[i].channel[kRed];
    green[i] = src[i].channel[kGreen];
    blue[i] = src[i].channel[kBlue];
  }
}

}  // extern "C"

void unpackRGB(Image<unsigned char>& red, Image<unsigned char>& green, Image<unsigned char>& blue,
               const Image<Pixel8x4>& src) {
  const int rows = std::min({red.nRows(), green.nRows(), blue.nRows(), src.nRows()});
  const int cols = std::min({red.nCols(), green.nCols(), blue.nCols(), src.nCols()});
  for (int r = 0; r < rows; ++r) {
    extract_rgb(red[r].data(), green[r].data(), blue[r].data(), cols, src[r].data());
  }
}

void unpack32Bit2Cam(Image<unsigned char>& first, Image<unsigned char>& second,
                     const Image<Pixel8x4>& src) {
  const int rows = std::min({first.nRows(), second.nRows(), src.nRows()});
  const int cols = std::min({first.nCols(), second.nCols(), src.nCols()});
  for (int r = 0; r < rows; ++r) {
    extract_red(first[r].data(), cols, src[r].data());
    extract_grn(second[r].data(), cols, src[r].data());
  }
}

void unpack32Bit(bool* wanted, Image<unsigned char>** outs, const Image<Pixel8x4>& src) {
  if (wanted == nullptr || outs == nullptr) return;
  using Extract = void (*)(unsigned char*, int, const void*);
  const Extract extractors[3] = {extract_red, extract_grn, extract_blu};
  for (int plane = 0; plane < 3; ++plane) {
    if (!wanted[plane] || outs[plane] == nullptr) continue;
    Image<unsigned char>& out = *outs[plane];
    const int rows = std::min(out.nRows(), src.nRows());
    const int cols = std::min(out.nCols(), src.nCols());
    for (int r = 0; r < rows; ++r) extractors[plane](out[r].data(), cols, src[r].data());
  }
}
