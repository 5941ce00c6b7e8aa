#include "image/ZorImageUtils.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Pixel count of a dense image, or -1 for a negative size.
std::ptrdiff_t pixelCount(int rows, int cols)
{
  if (rows < 0 || cols < 0)
    return -1;
  return static_cast<std::ptrdiff_t>(rows) * cols;
}

unsigned char absoluteDifference(unsigned char a, unsigned char b)
{
  return static_cast<unsigned char>(a > b ? a - b : b - a);
}

// The input rows of a halving walk must be well formed: a negative size or a
// row increment shorter than a row is refused.
bool validHalving(const unsigned char* in, int rows, int cols, int rowIncrement, const unsigned char* out)
{
  return in && out && rows >= 0 && cols >= 0 && rowIncrement >= cols;
}

int halfUp(int n)
{
  return n / 2 + n % 2;
}

// Largest s with s * s <= n.
long long integerSqrt(long long n)
{
  long long s = static_cast<long long>(std::sqrt(static_cast<double>(n)));
  while (s * s > n)
    --s;
  while ((s + 1) * (s + 1) <= n)
    ++s;
  return s;
}

}  // namespace

extern "C" {

STELOX_API void ZorImageDifference(const unsigned char* a, const unsigned char* b, unsigned char* out, int rows,
                                   int cols)
{
  const std::ptrdiff_t n = pixelCount(rows, cols);
  if (!a || !b || !out || n < 0)
    return;
  for (std::ptrdiff_t i = 0; i < n; ++i)
    out[i] = absoluteDifference(a[i], b[i]);
}

STELOX_API void ZorImageSubtract(const unsigned char* a, const unsigned char* b, unsigned char* out, int rows,
                                 int cols)
{
  const std::ptrdiff_t n = pixelCount(rows, cols);
  if (!a || !b || !out || n < 0)
    return;
  for (std::ptrdiff_t i = 0; i < n; ++i)
    out[i] = static_cast<unsigned char>(a[i] > b[i] ? a[i] - b[i] : 0);
}

STELOX_API void ZorImage16ThresholdHighValue(const unsigned short* in, unsigned short threshold, unsigned short* out,
                                             int rows, int cols)
{
  const std::ptrdiff_t n = pixelCount(rows, cols);
  if (!in || !out || n < 0)
    return;
  for (std::ptrdiff_t i = 0; i < n; ++i)
    out[i] = in[i] < threshold ? 0 : in[i];
}

STELOX_API void ZorImage16ThresholdLowValue(const unsigned short* in, unsigned short threshold, unsigned short* out,
                                            int rows, int cols)
{
  const std::ptrdiff_t n = pixelCount(rows, cols);
  if (!in || !out || n < 0)
    return;
  for (std::ptrdiff_t i = 0; i < n; ++i)
    out[i] = in[i] > threshold ? 0 : in[i];
}

STELOX_API void ZorImage16FindBrightestPixel(const unsigned short* in, int rows, int cols, int rowIncrement, int* row,
                                             int* col, unsigned short* value)
{
  if (!in || !row || !col || !value || rows < 0 || cols < 0)
    return;
  const bool hasPixels = rows > 0 && cols > 0;
  if (hasPixels && (rowIncrement % 2 != 0 || rowIncrement / 2 < cols))
    return;
  int bestRow = 0;
  int bestCol = 0;
  unsigned short best = 0;
  for (int r = 0; hasPixels && r < rows; ++r) {
    const unsigned short* pixels = in + static_cast<std::ptrdiff_t>(r) * (rowIncrement / 2);
    for (int c = 0; c < cols; ++c) {
      if (pixels[c] > best) {
        best = pixels[c];
        bestRow = r;
        bestCol = c;
      }
    }
  }
  *row = bestRow;
  *col = bestCol;
  *value = best;
}

STELOX_API void ZorImageSAD(const unsigned char* a, const unsigned char* b, int* sum, int rows, int cols)
{
  const std::ptrdiff_t n = pixelCount(rows, cols);
  if (!a || !b || !sum || n < 0)
    return;
  std::uint32_t total = 0;
  for (std::ptrdiff_t i = 0; i < n; ++i)
    total += absoluteDifference(a[i], b[i]);
  *sum = static_cast<int>(total);
}

STELOX_API void ZorImageSADMMX(const unsigned char* a, const unsigned char* b, int* sum, int rows, int cols)
{
  const std::ptrdiff_t n = pixelCount(rows, cols);
  if (!a || !b || !sum || n < 0)
    return;
  *sum = static_cast<int>(Stelox::Sse2::zorImageSad(a, b, static_cast<std::size_t>(n)));
}

STELOX_API void ZorImagePixelSum(const unsigned char* a, int* sum, int rows, int cols)
{
  const std::ptrdiff_t n = pixelCount(rows, cols);
  if (!a || !sum || n < 0)
    return;
  std::uint32_t total = 0;
  for (std::ptrdiff_t i = 0; i < n; ++i)
    total += a[i];
  *sum = static_cast<int>(total);
}

STELOX_API void ZorMemsetMMX(void* buffer, int value, int length)
{
  if (!buffer || length <= 0)
    return;
  std::memset(buffer, value & 0xFF, static_cast<std::size_t>(length));
}

STELOX_API void ZorImageSobelMMX(void)
{
}

STELOX_API void ZorImageHalfSize(const unsigned char* in, int rows, int cols, int rowIncrement, unsigned char* out)
{
  if (!validHalving(in, rows, cols, rowIncrement, out))
    return;
  const int outRows = halfUp(rows);
  const int outCols = halfUp(cols);
  for (int r = 0; r < outRows; ++r) {
    const unsigned char* top = in + static_cast<std::ptrdiff_t>(2 * r) * rowIncrement;
    const unsigned char* bottom = in + static_cast<std::ptrdiff_t>(std::min(2 * r + 1, rows - 1)) * rowIncrement;
    unsigned char* output = out + static_cast<std::ptrdiff_t>(r) * outCols;
    for (int c = 0; c < outCols; ++c) {
      const int left = 2 * c;
      const int right = std::min(left + 1, cols - 1);
      output[c] = static_cast<unsigned char>((top[left] + top[right] + bottom[left] + bottom[right]) >> 2);
    }
  }
}

STELOX_API void ZorImageHalfSizeFast(const unsigned char* in, int rows, int cols, int rowIncrement,
                                     unsigned char* out)
{
  if (!validHalving(in, rows, cols, rowIncrement, out))
    return;
  const int outRows = halfUp(rows);
  const int outCols = halfUp(cols);
  for (int r = 0; r < outRows; ++r) {
    const unsigned char* input = in + static_cast<std::ptrdiff_t>(2 * r) * rowIncrement;
    unsigned char* output = out + static_cast<std::ptrdiff_t>(r) * outCols;
    for (int c = 0; c < outCols; ++c)
      output[c] = input[2 * c];
  }
}

STELOX_API void ZorFloatImageSubtractAndMultiply(const float* a, const float* b, int rows, int cols, float* out,
                                                 float factor)
{
  const std::ptrdiff_t n = pixelCount(rows, cols);
  if (!a || !b || !out || n < 0)
    return;
  for (std::ptrdiff_t i = 0; i < n; ++i)
    out[i] = (b[i] - a[i]) * factor;
}

STELOX_API void ZorFloatImageBilinearSubsample(const float* in, int rows, int cols, float* out)
{
  if (!in || !out || rows < 0 || cols < 0)
    return;
  const int blockRows = rows / 3;
  const int blockCols = cols / 3;
  const std::ptrdiff_t outCols = 2 * static_cast<std::ptrdiff_t>(blockCols);
  for (int br = 0; br < blockRows; ++br) {
    for (int bc = 0; bc < blockCols; ++bc) {
      // Corners weigh 9/16, their row and column neighbours 3/16, the centre 1/16.
      const float* r0 = in + static_cast<std::ptrdiff_t>(3 * br) * cols + 3 * bc;
      const float* r1 = r0 + cols;
      const float* r2 = r1 + cols;
      float* o0 = out + static_cast<std::ptrdiff_t>(2 * br) * outCols + 2 * bc;
      float* o1 = o0 + outCols;
      o0[0] = 0.5625f * r0[0] + 0.1875f * r0[1] + 0.1875f * r1[0] + 0.0625f * r1[1];
      o0[1] = 0.5625f * r0[2] + 0.1875f * r0[1] + 0.1875f * r1[2] + 0.0625f * r1[1];
      o1[0] = 0.5625f * r2[0] + 0.1875f * r2[1] + 0.1875f * r1[0] + 0.0625f * r1[1];
      o1[1] = 0.5625f * r2[2] + 0.1875f * r2[1] + 0.1875f * r1[2] + 0.0625f * r1[1];
    }
  }
}

STELOX_API void ZorImageHoughTransform(const unsigned char* in, unsigned short* accumulator, int rows, int cols,
                                       int inRowIncrement, int accumulatorRowIncrement, int radius)
{
  if (!in || !accumulator || rows < 0 || cols < 0 || radius < 0 || inRowIncrement < cols ||
      accumulatorRowIncrement % 2 != 0 || accumulatorRowIncrement / 2 < cols)
    return;
  std::memset(accumulator, 0, static_cast<std::size_t>(rows) * static_cast<std::size_t>(accumulatorRowIncrement));
  if (radius == 0 || 2 * static_cast<long long>(radius) >= rows || 2 * static_cast<long long>(radius) >= cols)
    return;

  const std::ptrdiff_t stride = accumulatorRowIncrement / 2;
  const std::ptrdiff_t r = radius;
  std::vector<std::ptrdiff_t> circle = {r, -r, r * stride, -r * stride};
  for (std::ptrdiff_t i = 1; i < r; ++i) {
    const std::ptrdiff_t s = integerSqrt(r * r - i * i);
    circle.insert(circle.end(), {i + s * stride, i - s * stride, s * stride - i, -i - s * stride});
  }

  for (int y = radius; y < rows - radius; ++y) {
    const unsigned char* input = in + static_cast<std::ptrdiff_t>(y) * inRowIncrement;
    unsigned short* centreRow = accumulator + y * stride;
    for (int x = radius; x < cols - radius; ++x) {
      const unsigned short vote = input[x];
      for (const std::ptrdiff_t offset : circle)
        centreRow[x + offset] = static_cast<unsigned short>(centreRow[x + offset] + vote);
    }
  }
}

}  // extern "C"
