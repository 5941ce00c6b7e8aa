/*
 * zor_image.h - image utility functions exported by libstelox.
 *
 * Stand-alone functions over raw pixel arrays. Unless a function takes a row
 * increment, images are dense: rows x cols pixels, row after row. Row
 * increments are in bytes. Element-wise functions may write their output over
 * an input.
 *
 * Bad arguments never crash: a null pointer, a negative size or count, or a row
 * increment too small for the columns makes the call do nothing and leaves
 * every output untouched. A size of zero is a valid empty image.
 *
 * Compiles as C99 and as C++.
 */
#ifndef ZOR_IMAGE_H
#define ZOR_IMAGE_H

#include "stelox.h"

#ifdef __cplusplus
extern "C" {
#endif

/* out[i] = |a[i] - b[i]|. */
STELOX_API void ZorImageDifference(const unsigned char* a, const unsigned char* b, unsigned char* out,
                                   int rows, int cols);

/* out[i] = max(a[i] - b[i], 0). */
STELOX_API void ZorImageSubtract(const unsigned char* a, const unsigned char* b, unsigned char* out,
                                 int rows, int cols);

/* out[i] = 0 where in[i] < threshold, else in[i]. */
STELOX_API void ZorImage16ThresholdHighValue(const unsigned short* in, unsigned short threshold,
                                             unsigned short* out, int rows, int cols);

/* out[i] = 0 where in[i] > threshold, else in[i]. */
STELOX_API void ZorImage16ThresholdLowValue(const unsigned short* in, unsigned short threshold,
                                            unsigned short* out, int rows, int cols);

/* Scans row by row (rowIncrement bytes apart, even, at least 2 x cols) for the
 * first pixel strictly brighter than every pixel before it, starting from 0,
 * and reports its row, column and value: the first brightest pixel in
 * row-major order, or (0, 0, 0) for an all-zero or empty image. */
STELOX_API void ZorImage16FindBrightestPixel(const unsigned short* in, int rows, int cols, int rowIncrement,
                                             int* row, int* col, unsigned short* value);

/* *sum = sum of |a[i] - b[i]|, modulo 2^32. */
STELOX_API void ZorImageSAD(const unsigned char* a, const unsigned char* b, int* sum, int rows, int cols);
/* Vector form of ZorImageSAD, same result. */
STELOX_API void ZorImageSADMMX(const unsigned char* a, const unsigned char* b, int* sum, int rows, int cols);

/* *sum = sum of all pixels, modulo 2^32. */
STELOX_API void ZorImagePixelSum(const unsigned char* a, int* sum, int rows, int cols);

/* Fills length bytes of buffer with the low byte of value. */
STELOX_API void ZorMemsetMMX(void* buffer, int value, int length);

/* Does nothing; kept for callers that link it. */
STELOX_API void ZorImageSobelMMX(void);

/* Halves an image (rowIncrement bytes apart, at least cols) into a dense
 * output of ceil(rows / 2) rows of ceil(cols / 2) pixels:
 * out(r, c) = (in(2r, 2c) + in(2r, 2c + 1) + in(2r + 1, 2c) + in(2r + 1, 2c + 1)) >> 2.
 * With an odd count the last row or column stands in for the missing one, so
 * nothing outside the image is read. */
STELOX_API void ZorImageHalfSize(const unsigned char* in, int rows, int cols, int rowIncrement,
                                 unsigned char* out);

/* Same output as ZorImageHalfSize but out(r, c) = in(2r, 2c); odd rows are
 * never read. */
STELOX_API void ZorImageHalfSizeFast(const unsigned char* in, int rows, int cols, int rowIncrement,
                                     unsigned char* out);

/* out[i] = (b[i] - a[i]) * factor. */
STELOX_API void ZorFloatImageSubtractAndMultiply(const float* a, const float* b, int rows, int cols,
                                                 float* out, float factor);

/* Reduces each whole 3 x 3 block to 2 x 2 with bilinear weights 9/16, 3/16,
 * 3/16, 1/16 from the block's corner, its two edge neighbours and its centre.
 * The output is dense: 2 x floor(rows / 3) rows of 2 x floor(cols / 3) values. */
STELOX_API void ZorFloatImageBilinearSubsample(const float* in, int rows, int cols, float* out);

/* Fixed-radius circle Hough transform. The accumulator (16-bit, its row
 * increment even and at least 2 x cols bytes) is cleared over
 * rows x accumulatorRowIncrement bytes; then every pixel at least radius away
 * from each edge adds its value, wrapping at 16 bits, to the 4 x radius
 * accumulator cells of a digital circle around it: the four axis points and,
 * for i = 1 .. radius - 1 with s = floor(sqrt(radius^2 - i^2)), the points
 * (+-s rows, +-i columns). When radius is 0, 2 x radius >= rows or
 * 2 x radius >= cols the accumulator is only cleared. */
STELOX_API void ZorImageHoughTransform(const unsigned char* in, unsigned short* accumulator, int rows, int cols,
                                       int inRowIncrement, int accumulatorRowIncrement, int radius);

#ifdef __cplusplus
}
#endif

#endif
