// Warp splines whose mapping is known in closed form, for the rectification
// tests: clamped cubic knots, Greville abscissae (coefficients that reproduce
// a linear function exactly) and spline interpolation of any smooth function.
#ifndef STELOX_TESTS_RECTIFY_WARPFIXTURES_H
#define STELOX_TESTS_RECTIFY_WARPFIXTURES_H

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "rectify/WarpMapFunc.h"
#include "rectify/WarpSpline.h"

namespace warpfixtures {

// n + 4 clamped knots: four at 0, n - 4 evenly spaced inside, four at 1.
inline std::vector<double> clampedKnots(int n) {
  std::vector<double> t(n + 4);
  for (int i = 0; i < n + 4; ++i) {
    if (i < 4)
      t[i] = 0.0;
    else if (i >= n)
      t[i] = 1.0;
    else
      t[i] = static_cast<double>(i - 3) / (n - 3);
  }
  return t;
}

// Greville abscissae: a cubic spline with these coefficients is the identity.
inline std::vector<double> greville(const std::vector<double>& t) {
  const int n = static_cast<int>(t.size()) - 4;
  std::vector<double> xi(n);
  for (int j = 0; j < n; ++j)
    xi[j] = (t[j + 1] + t[j + 2] + t[j + 3]) / 3.0;
  return xi;
}

// Coefficient list of a spline in the calibration's order: coefficient (j, k)
// (row basis j, column basis k) at k * n + j.
inline std::vector<double> coefficientList(int n, const std::function<double(int, int)>& c) {
  std::vector<double> list(n * n);
  for (int j = 0; j < n; ++j)
    for (int k = 0; k < n; ++k)
      list[k * n + j] = c(j, k);
  return list;
}

// Solves a * x = b in place (Gaussian elimination with partial pivoting).
inline std::vector<double> solve(std::vector<std::vector<double>> a, std::vector<double> b) {
  const int n = static_cast<int>(b.size());
  for (int c = 0; c < n; ++c) {
    int pivot = c;
    for (int r = c + 1; r < n; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
        pivot = r;
    std::swap(a[c], a[pivot]);
    std::swap(b[c], b[pivot]);
    for (int r = c + 1; r < n; ++r) {
      const double f = a[r][c] / a[c][c];
      for (int k = c; k < n; ++k)
        a[r][k] -= f * a[c][k];
      b[r] -= f * b[c];
    }
  }
  std::vector<double> x(n);
  for (int r = n - 1; r >= 0; --r) {
    double s = b[r];
    for (int k = r + 1; k < n; ++k)
      s -= a[r][k] * x[k];
    x[r] = s / a[r][r];
  }
  return x;
}

// Basis values of clamped knots t at x, by the Cox-de Boor recursion written
// out independently of the code under test (x = 1 taken from the left).
inline std::vector<double> referenceBasis(const std::vector<double>& t, double x) {
  const int n = static_cast<int>(t.size()) - 4;
  const double y = std::min(x, std::nextafter(1.0, 0.0));
  std::vector<double> b(n + 3);
  for (int i = 0; i < n + 3; ++i)
    b[i] = (t[i] <= y && y < t[i + 1]) ? 1.0 : 0.0;
  for (int m = 2; m <= 4; ++m)
    for (int i = 0; i + m < n + 4; ++i) {
      const double l = t[i + m - 1] - t[i];
      const double r = t[i + m] - t[i + 1];
      b[i] = (l > 0 ? (x - t[i]) / l * b[i] : 0.0) + (r > 0 ? (t[i + m] - x) / r * b[i + 1] : 0.0);
    }
  b.resize(n);
  return b;
}

// Coefficients of the spline that interpolates f(u, v) at the Greville points
// of both axes (tensor-product collocation).
inline std::vector<double> interpolate(const std::vector<double>& t,
                                       const std::function<double(double, double)>& f) {
  const int n = static_cast<int>(t.size()) - 4;
  const std::vector<double> xi = greville(t);
  std::vector<std::vector<double>> a(n);
  for (int p = 0; p < n; ++p)
    a[p] = referenceBasis(t, xi[p]);
  // Solve along the column axis for every row point, then along the row axis.
  std::vector<std::vector<double>> d(n, std::vector<double>(n));
  for (int p = 0; p < n; ++p) {
    std::vector<double> values(n);
    for (int q = 0; q < n; ++q)
      values[q] = f(xi[p], xi[q]);
    const std::vector<double> row = solve(a, values);
    for (int k = 0; k < n; ++k)
      d[p][k] = row[k];
  }
  std::vector<std::vector<double>> c(n, std::vector<double>(n));
  for (int k = 0; k < n; ++k) {
    std::vector<double> values(n);
    for (int p = 0; p < n; ++p)
      values[p] = d[p][k];
    const std::vector<double> column = solve(a, values);
    for (int j = 0; j < n; ++j)
      c[j][k] = column[j];
  }
  return coefficientList(n, [&](int j, int k) { return c[j][k]; });
}

// A spline over clamped knots with n basis functions per axis and the given
// coefficient list.
inline WarpSpline makeSpline(int n, const std::vector<double>& coefficients, int cacheRows = 480,
                             int cacheCols = 640) {
  const std::vector<double> t = clampedKnots(n);
  return WarpSpline(t.data(), t.data(), coefficients.data(), n, cacheRows, cacheCols);
}

// Row and column splines of the normalised map (u, v) -> (a*u + b, c*v + d),
// reproduced exactly by Greville coefficients.
inline std::pair<WarpSpline, WarpSpline> affineSplines(int n, double rowScale, double rowShift,
                                                       double colScale, double colShift) {
  const std::vector<double> xi = greville(clampedKnots(n));
  const WarpSpline row =
      makeSpline(n, coefficientList(n, [&](int j, int) { return rowScale * xi[j] + rowShift; }));
  const WarpSpline col =
      makeSpline(n, coefficientList(n, [&](int, int k) { return colScale * xi[k] + colShift; }));
  return {row, col};
}

inline WarpMapFunc affineMap(int n, double rowScale, double rowShift, double colScale,
                             double colShift) {
  const auto splines = affineSplines(n, rowScale, rowShift, colScale, colShift);
  return WarpMapFunc(splines.first, splines.second, 1.0, 1.0, 0.0, 0.0, 0.0, 0.0);
}

// Barrel distortion about the image centre in normalised units:
// p' = c + (p - c) * (1 + k * r^2). Its inverse is approximated by the map
// with -k for the small k used in the tests.
struct Radial {
  double k;
  double row(double u, double v) const { return 0.5 + (u - 0.5) * factor(u, v); }
  double col(double u, double v) const { return 0.5 + (v - 0.5) * factor(u, v); }
  double factor(double u, double v) const {
    return 1.0 + k * ((u - 0.5) * (u - 0.5) + (v - 0.5) * (v - 0.5));
  }
};

inline WarpMapFunc radialMap(int n, const Radial& radial) {
  const std::vector<double> t = clampedKnots(n);
  const WarpSpline row =
      makeSpline(n, interpolate(t, [&](double u, double v) { return radial.row(u, v); }));
  const WarpSpline col =
      makeSpline(n, interpolate(t, [&](double u, double v) { return radial.col(u, v); }));
  return WarpMapFunc(row, col, 1.0, 1.0, 0.0, 0.0, 0.0, 0.0);
}

// A map given by any normalised function (row, column) -> (row, column), for
// tables whose every entry is known in closed form. Outputs are clamped to
// [0, 1] like a spline map's.
class FunctionMap : public WarpMapFunc {
public:
  using Function = std::function<std::pair<double, double>(double, double)>;
  explicit FunctionMap(Function f) : WarpMapFunc(affineMap(4, 1.0, 0.0, 1.0, 0.0)), m_f(std::move(f)) {}
  WarpMapFunc* clone() const override { return new FunctionMap(*this); }
  using WarpMapFunc::map;
  void map(float& outRow, float& outCol, float inRow, float inCol) const override {
    const std::pair<double, double> p = m_f(inRow, inCol);
    outRow = static_cast<float>(std::min(1.0, std::max(0.0, p.first)));
    outCol = static_cast<float>(std::min(1.0, std::max(0.0, p.second)));
  }

private:
  Function m_f;
};

// A smooth 8-bit test image: neighbouring pixels differ by at most 3.
inline unsigned char smoothPixel(int r, int c) {
  return static_cast<unsigned char>(128.0 + 60.0 * std::sin(r / 23.0) + 60.0 * std::cos(c / 31.0 + 0.3 * std::sin(r / 50.0)));
}

// Bilinear sample of the smooth image's function at a real source position
// (pixel centres at integers), positions clamped to the image.
inline double sampleSmooth(double r, double c, int rows, int cols) {
  r = std::min(std::max(r, 0.0), rows - 1.0);
  c = std::min(std::max(c, 0.0), cols - 1.0);
  const int r0 = std::min(static_cast<int>(r), rows - 2);
  const int c0 = std::min(static_cast<int>(c), cols - 2);
  const double b = r - r0;
  const double a = c - c0;
  return (smoothPixel(r0, c0) * (1 - a) + smoothPixel(r0, c0 + 1) * a) * (1 - b) +
         (smoothPixel(r0 + 1, c0) * (1 - a) + smoothPixel(r0 + 1, c0 + 1) * a) * b;
}

} // namespace warpfixtures

#endif
