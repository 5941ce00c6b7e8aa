#include "filter/EdgeFilter.h"

#include "filter/BoxFilter.h"
#include "image/simd/SimdDetector.h"
#include "stelox_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

constexpr unsigned kMaxSignedMaskArea = 128;

int clampToInt(double v) {
  if (!(v == v)) return 0;
  const double low = std::numeric_limits<int>::min();
  const double high = std::numeric_limits<int>::max();
  return static_cast<int>(std::min(std::max(v, low), high));
}

}  // namespace

bool boxEdgeFilter(Image<unsigned char>& out, const Image<unsigned char>& in, unsigned maskRows,
                   unsigned maskCols, double scale) {
  if (maskRows == 0 || maskCols == 0 || maskRows > kMaxSignedMaskArea ||
      maskCols > kMaxSignedMaskArea || maskRows * maskCols > kMaxSignedMaskArea) {
    return false;
  }
  const int a = static_cast<int>(maskRows);
  const int b = static_cast<int>(maskCols);
  const int rows = std::min(out.nRows(), in.nRows() - a + 1);
  const int cols = std::min(out.nCols(), in.nCols() - b + 1);
  if (rows <= 0 || cols <= 0) return true;

  if (a == 1 && b == 1) {
    // Only the view's own pixels: out may be an inner part of a larger image.
    for (int r = 0; r < rows; ++r) std::memset(out[r].data(), 128, cols);
    return true;
  }

  const Image<unsigned char> centre = in.region(a / 2, b / 2, rows, cols);
  Image<unsigned short> columnSums = Image<unsigned short>::constImage(rows, cols, 128);
  BoxFilter filter;
  filter.reset(columnSums, maskRows, maskCols);

  const int area = a * b;
  const double k = std::max(a, b) == 23 ? 30375.936 : 32768.0;
  const int sumWeight = clampToInt(std::trunc(k * scale / area));
  const int centreWeight = clampToInt(-static_cast<double>(sumWeight) * area);

  const bool sse2 = SimdDetector().sse2Detected();
  for (int i = 0; i < rows + a - 1; ++i) {
    const int v = filter.add(in[i], in.nCols(), sse2);
    if (v >= 0) {
      row_bandpass_op(out[v].data(), cols, centre[v].data(), centreWeight,
                      reinterpret_cast<const short*>(columnSums[v].data()), sumWeight);
    }
  }
  return true;
}

bool boxEdgeFilter(Image<unsigned char>& out, const Image<unsigned char>& in, unsigned n,
                   double scale) {
  return boxEdgeFilter(out, in, n, n, scale);
}
