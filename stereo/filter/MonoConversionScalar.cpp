// Scalar reference of the grey conversion (formulas in MonoConversion.h).
#include "filter/MonoConversion.h"

namespace Stelox {
namespace Scalar {

void greyRow(const unsigned char* src, unsigned char* dst, int cols) {
  const int blocked = cols / 8 * 8;
  for (int i = 0; i < cols; ++i) {
    const int b0 = src[4 * i], b1 = src[4 * i + 1], b2 = src[4 * i + 2];
    if (i < blocked) {
      dst[i] = static_cast<unsigned char>(
          ((9798 * b0) / 256 + (19235 * b1) / 256 + (3736 * b2) / 256 + 64) >> 7);
    } else {
      dst[i] = static_cast<unsigned char>((9798 * b0 + 19235 * b1 + 3736 * b2 + 16384) >> 15);
    }
  }
}

}  // namespace Scalar
}  // namespace Stelox
