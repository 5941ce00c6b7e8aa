#ifndef STELOX_IMAGE_ZORIMAGEUTILS_H
#define STELOX_IMAGE_ZORIMAGEUTILS_H

#include <cstddef>
#include <cstdint>

#include "zor_image.h"

namespace Stelox {
namespace Sse2 {

// Sum of |a[i] - b[i]| over n bytes, modulo 2^32: the SSE2 form behind
// ZorImageSADMMX (SSE2 is part of every x86-64 processor).
std::uint32_t zorImageSad(const unsigned char* a, const unsigned char* b, std::size_t n);

}  // namespace Sse2
}  // namespace Stelox

#endif
