// Tensor-product cubic B-spline of two normalised coordinates, one scalar
// function of a lens warp (output row or output column).
#ifndef STELOX_RECTIFY_WARPSPLINE_H
#define STELOX_RECTIFY_WARPSPLINE_H

#include "image/Image.h"

// The first coordinate is the row, the second the column; both run from 0 (top,
// left edge) to 1 (bottom, right edge).
//
// Evaluation writes per-axis caches of basis values, so a spline and every copy
// of it (copies share all tables) must be evaluated by one thread at a time.
class WarpSpline {
public:
  static constexpr int order = 4;
  // Stored coordinate of a cache slot that has never been filled; no
  // normalised coordinate takes this value.
  static constexpr double emptySlot = -123456789.0;

  // Copies n + 4 knots per axis and the n x n coefficients. Coefficient (j, k)
  // (j the row basis, k the column basis) is element k * n + j of the list.
  // The cache sizes are the sensor rows and columns; each axis gets twice as
  // many slots as pixels.
  WarpSpline(const double* firstAxisKnots, const double* secondAxisKnots,
             const double* coefficients, int n, int firstAxisCacheSize,
             int secondAxisCacheSize);

  // Spline value at (u, v) = (row, column).
  double operator()(double u, double v) const;

  // Single basis function N(i, k) of order k at x, computed recursively from
  // the half-open spans [knots[i], knots[i + 1]).
  static double spline(int i, int k, double x, const double* knots);

  // The n basis values of an axis with knots t[0 .. n + 3] at x. scratch holds
  // at least n + 3 values; the result is in scratch[0 .. n - 1].
  static void basis(const double* knots, int n, double x, double* scratch);

  int numberOfBasis() const { return m_n; }

private:
  // Basis values of one axis at x, from its cache slot or freshly computed.
  const double* cachedBasis(Image<double>& cache, const Image<double>& knots,
                            double x) const;

  Image<double> m_secondAxisKnots;
  Image<double> m_firstAxisKnots;
  Image<double> m_coefficients;
  // Slot row: [0] the coordinate last evaluated, [1 .. n] its basis values, the
  // rest scratch space for the recursion.
  mutable Image<double> m_secondAxisCache;
  mutable Image<double> m_firstAxisCache;
  int m_n;
};

#endif
