// Band-pass ("edge") filter: each pixel against the mean of the box around it.
#ifndef STELOX_FILTER_EDGEFILTER_H
#define STELOX_FILTER_EDGEFILTER_H

#include "image/Image.h"
#include "stelox.h"

// With a = maskRows, b = maskCols, s = scale, sumWeight = (int)(K * s / (a * b))
// (K = 30375.936 when max(a, b) = 23, else 32768) and centreWeight =
// -sumWeight * a * b:
//   out(v, c) = clamp(128 + (in(v + a/2, c + b/2) * centreWeight) >> 16
//                         + (S(v, c) * sumWeight) >> 16, 0, 255),
// S being the a x b box sum whose top-left pixel is in(v, c): about
// 128 + s/2 * (box mean - centre pixel). out is aligned with the box's top-left
// corner and covers at most (in.rows - a + 1) x (in.cols - b + 1) pixels; the
// caller places it at (a/2, b/2) in the full edge image and fills the margin.
// A 1 x 1 mask gives 128 everywhere.
//
// Masks with a zero side or with a * b above 128 (box sums that no longer fit
// a signed 16-bit value) are refused: nothing is written and false is returned.
STELOX_API bool boxEdgeFilter(Image<unsigned char>& out, const Image<unsigned char>& in,
                              unsigned maskRows, unsigned maskCols, double scale);
STELOX_API bool boxEdgeFilter(Image<unsigned char>& out, const Image<unsigned char>& in,
                              unsigned n, double scale);

#endif
