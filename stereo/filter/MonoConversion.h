// Grey conversion of packed colour pixels (Pixel8x4: bytes b0, b1, b2 and a
// fourth byte that is ignored), in 15-bit fixed point with the weights 9798
// (b0), 19235 (b1) and 3736 (b2) of 32768. Two exact formulas, by column:
//   the first 8 * (cols / 8) pixels of a row, converted eight at a time:
//     grey = ((9798 * b0) / 256 + (19235 * b1) / 256 + (3736 * b2) / 256 + 64) >> 7
//   the remaining cols % 8 pixels:
//     grey = (9798 * b0 + 19235 * b1 + 3736 * b2 + 16384) >> 15
// (divisions truncate). The two differ by at most one grey level.
#ifndef STELOX_FILTER_MONOCONVERSION_H
#define STELOX_FILTER_MONOCONVERSION_H

#include "image/Image.h"

struct GreySize {
  int width;
  int height;
};

// Status of the grey conversion primitive.
enum GreyStatus : int {
  GreyStatusOk = 0,
  GreyStatusSizeError = -6,  // width or height not positive
  GreyStatusNullPointer = -8
};

// Converts height rows of width pixels; steps are row increments in bytes.
// Nothing is written when a pointer is null or the size is empty. The form
// follows the processor level.
int ippiRGBToGray_8u_AC4C1R(const unsigned char* src, int srcStep, unsigned char* dst, int dstStep,
                            GreySize size);

// mono = grey of colour, over the rows and columns both images have.
void convertToMono(Image<unsigned char>& mono, const Image<Pixel8x4>& colour);

namespace Stelox {

// One row of cols pixels with both formulas; the forms the primitive chooses
// from.
using GreyRowFunction = void (*)(const unsigned char* src, unsigned char* dst, int cols);

namespace Scalar {
void greyRow(const unsigned char* src, unsigned char* dst, int cols);
}
namespace Sse2 {
void greyRow(const unsigned char* src, unsigned char* dst, int cols);
}
namespace Avx2 {
void greyRow(const unsigned char* src, unsigned char* dst, int cols);
}

}  // namespace Stelox

#endif
