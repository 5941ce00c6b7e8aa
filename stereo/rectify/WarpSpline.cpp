#include "rectify/WarpSpline.h"

#include <algorithm>
#include <cstring>

namespace {

Image<double> copyKnots(const double* knots, int count) {
  Image<double> table(1, count);
  std::memcpy(table[0].data(), knots, sizeof(double) * count);
  return table;
}

Image<double> emptyCache(int slots, int n) {
  Image<double> cache(slots, n + 8);
  for (int s = 0; s < slots; ++s)
    cache[s][0] = WarpSpline::emptySlot;
  return cache;
}

// Slot of coordinate x in a cache of 2 * size slots; out-of-range (and NaN)
// coordinates share slot 0.
int cacheSlot(double x, int size) {
  const double position = 2.0 * size * x + 1.0;
  if (!(position >= 0.0) || position >= 2.0 * size)
    return 0;
  return static_cast<int>(position);
}

} // namespace

WarpSpline::WarpSpline(const double* firstAxisKnots, const double* secondAxisKnots,
                       const double* coefficients, int n, int firstAxisCacheSize,
                       int secondAxisCacheSize)
    : m_secondAxisKnots(copyKnots(secondAxisKnots, n + order)),
      m_firstAxisKnots(copyKnots(firstAxisKnots, n + order)), m_coefficients(n, n),
      m_secondAxisCache(emptyCache(std::max(1, 2 * secondAxisCacheSize), n)),
      m_firstAxisCache(emptyCache(std::max(1, 2 * firstAxisCacheSize), n)), m_n(n) {
  for (int j = 0; j < n; ++j)
    for (int k = 0; k < n; ++k)
      m_coefficients[j][k] = coefficients[k * n + j];
}

void WarpSpline::basis(const double* t, int n, double x, double* b) {
  bool inside = false;
  for (int i = 0; i <= n + 2; ++i) {
    b[i] = (t[i] <= x && x < t[i + 1]) ? 1.0 : 0.0;
    inside = inside || b[i] != 0.0;
  }
  // The spans are half-open, so the closed right end of the domain lies in
  // none of them; evaluate it as the limit from inside the last non-empty span.
  if (!inside) {
    int last = n + 2;
    while (last >= 0 && !(t[last] < t[last + 1]))
      --last;
    if (last >= 0 && x == t[last + 1])
      b[last] = 1.0;
  }
  for (int m = 2; m <= order; ++m) {
    for (int i = 0; i <= n + order - 1 - m; ++i) {
      double value = 0.0;
      const double left = t[i + m - 1] - t[i];
      if (left != 0.0)
        value += (x - t[i]) / left * b[i];
      const double right = t[i + m] - t[i + 1];
      if (right != 0.0)
        value += (t[i + m] - x) / right * b[i + 1];
      b[i] = value;
    }
  }
}

double WarpSpline::spline(int i, int k, double x, const double* t) {
  if (k == 1)
    return (t[i] <= x && x < t[i + 1]) ? 1.0 : 0.0;
  double value = 0.0;
  const double left = t[i + k - 1] - t[i];
  if (left != 0.0)
    value += (x - t[i]) / left * spline(i, k - 1, x, t);
  const double right = t[i + k] - t[i + 1];
  if (right != 0.0)
    value += (t[i + k] - x) / right * spline(i + 1, k - 1, x, t);
  return value;
}

const double* WarpSpline::cachedBasis(Image<double>& cache, const Image<double>& knots,
                                      double x) const {
  double* slot = cache[cacheSlot(x, cache.nRows() / 2)].data();
  if (slot[0] != x) {
    basis(knots[0].data(), m_n, x, slot + 1);
    slot[0] = x;
  }
  return slot + 1;
}

double WarpSpline::operator()(double u, double v) const {
  const double* columnBasis = cachedBasis(m_secondAxisCache, m_secondAxisKnots, v);
  const double* rowBasis = cachedBasis(m_firstAxisCache, m_firstAxisKnots, u);

  int firstColumn = 0;
  while (firstColumn < m_n && columnBasis[firstColumn] == 0.0)
    ++firstColumn;
  int endColumn = m_n;
  while (endColumn > firstColumn && columnBasis[endColumn - 1] == 0.0)
    --endColumn;

  double sum = 0.0;
  for (int j = 0; j < m_n; ++j) {
    if (rowBasis[j] == 0.0)
      continue;
    const double* coefficients = m_coefficients[j].data();
    double rowSum = 0.0;
    for (int k = firstColumn; k < endColumn; ++k)
      rowSum += columnBasis[k] * coefficients[k];
    sum += rowBasis[j] * rowSum;
  }
  return sum;
}
