#include "filter/MonoConversion.h"

#include "image/simd/SimdDetector.h"

#include <algorithm>
#include <cstddef>

namespace {

Stelox::GreyRowFunction greyRowForm() {
  const cpu_extension_t level = SimdDetector::processLevel();
  if (level >= CPU_EXTENSION_AVX2) return Stelox::Avx2::greyRow;
  if (level >= CPU_EXTENSION_SSE2) return Stelox::Sse2::greyRow;
  return Stelox::Scalar::greyRow;
}

}  // namespace

int ippiRGBToGray_8u_AC4C1R(const unsigned char* src, int srcStep, unsigned char* dst, int dstStep,
                            GreySize size) {
  if (src == nullptr || dst == nullptr) return GreyStatusNullPointer;
  if (size.width <= 0 || size.height <= 0) return GreyStatusSizeError;
  const Stelox::GreyRowFunction greyRow = greyRowForm();
  for (int r = 0; r < size.height; ++r) {
    greyRow(src + static_cast<std::ptrdiff_t>(r) * srcStep,
            dst + static_cast<std::ptrdiff_t>(r) * dstStep, size.width);
  }
  return GreyStatusOk;
}

void convertToMono(Image<unsigned char>& mono, const Image<Pixel8x4>& colour) {
  const GreySize size{std::min(mono.nCols(), colour.nCols()),
                      std::min(mono.nRows(), colour.nRows())};
  ippiRGBToGray_8u_AC4C1R(reinterpret_cast<const unsigned char*>(colour.bufferconstptr()),
                          rowInc(colour), mono.bufferptr(), rowInc(mono), size);
}
