#include "BSplineFit.h"

#include <algorithm>
#include <cmath>

#include <opencv2/core.hpp>

namespace SteloxRig {

std::vector<double> BSplineSurface::uniformKnots(int n) {
  std::vector<double> knots(n + 4, 0.0);
  const int spans = n - 3;
  for (int i = 4; i < n; ++i) knots[i] = static_cast<double>(i - 3) / spans;
  for (int i = n; i < n + 4; ++i) knots[i] = 1.0;
  return knots;
}

int BSplineSurface::basis(const std::vector<double>& t, int n, double x, double values[4]) {
  // Span s with t[s] <= x < t[s + 1], s in 3 ... n - 1.
  int s = static_cast<int>(std::upper_bound(t.begin() + 4, t.begin() + n, x) - t.begin()) - 1;
  s = std::clamp(s, 3, n - 1);
  // de Boor's triangle for the four cubic basis functions of span s.
  double left[4];
  double right[4];
  values[0] = 1.0;
  for (int j = 1; j <= 3; ++j) {
    left[j] = x - t[s + 1 - j];
    right[j] = t[s + j] - x;
    double saved = 0.0;
    for (int r = 0; r < j; ++r) {
      const double term = values[r] / (right[r + 1] + left[j - r]);
      values[r] = saved + right[r + 1] * term;
      saved = left[j - r] * term;
    }
    values[j] = saved;
  }
  return s - 3;
}

double BSplineSurface::operator()(double u, double v) const {
  double bu[4];
  double bv[4];
  const int ju = basis(knots, n, u, bu);
  const int kv = basis(knots, n, v, bv);
  double sum = 0.0;
  for (int a = 0; a < 4; ++a) {
    double row = 0.0;
    for (int b = 0; b < 4; ++b) row += bv[b] * coefficients[(ju + a) * n + kv + b];
    sum += bu[a] * row;
  }
  return sum;
}

bool GridSamples::sample(const std::function<bool(double, double, double&)>& f) {
  values.assign(u.size() * v.size(), 0.0);
  for (std::size_t i = 0; i < u.size(); ++i)
    for (std::size_t j = 0; j < v.size(); ++j)
      if (!f(u[i], v[j], values[i * v.size() + j])) return false;
  return true;
}

namespace {

struct AxisBasis {
  std::vector<int> first;      // first non-zero basis per sample
  std::vector<double> values;  // four values per sample
};

AxisBasis axisBasis(const std::vector<double>& knots, int n, const std::vector<double>& x) {
  AxisBasis b;
  b.first.resize(x.size());
  b.values.resize(4 * x.size());
  for (std::size_t i = 0; i < x.size(); ++i) b.first[i] = BSplineSurface::basis(knots, n, x[i], &b.values[4 * i]);
  return b;
}

// Gram matrix B^T B of one axis.
cv::Mat gram(const AxisBasis& b, int n) {
  cv::Mat g = cv::Mat::zeros(n, n, CV_64F);
  for (std::size_t i = 0; i < b.first.size(); ++i)
    for (int p = 0; p < 4; ++p)
      for (int q = 0; q < 4; ++q) g.at<double>(b.first[i] + p, b.first[i] + q) += b.values[4 * i + p] * b.values[4 * i + q];
  return g;
}

}  // namespace

BSplineSurface BSplineFit::fit(const GridSamples& samples, int n) {
  BSplineSurface surface;
  surface.n = n;
  surface.knots = BSplineSurface::uniformKnots(n);
  const AxisBasis bu = axisBasis(surface.knots, n, samples.u);
  const AxisBasis bv = axisBasis(surface.knots, n, samples.v);
  const std::size_t rows = samples.u.size();
  const std::size_t cols = samples.v.size();

  // Minimising |Bu C Bv^T - F| gives C = (Bu^T Bu)^-1 Bu^T F Bv (Bv^T Bv)^-1.
  cv::Mat rowsReduced = cv::Mat::zeros(n, static_cast<int>(cols), CV_64F);  // Bu^T F
  for (std::size_t i = 0; i < rows; ++i) {
    const double* f = &samples.values[i * cols];
    for (int p = 0; p < 4; ++p) {
      const double w = bu.values[4 * i + p];
      double* out = rowsReduced.ptr<double>(bu.first[i] + p);
      for (std::size_t j = 0; j < cols; ++j) out[j] += w * f[j];
    }
  }
  cv::Mat bothReduced = cv::Mat::zeros(n, n, CV_64F);  // Bu^T F Bv
  for (int a = 0; a < n; ++a) {
    const double* in = rowsReduced.ptr<double>(a);
    double* out = bothReduced.ptr<double>(a);
    for (std::size_t j = 0; j < cols; ++j)
      for (int q = 0; q < 4; ++q) out[bv.first[j] + q] += in[j] * bv.values[4 * j + q];
  }
  cv::Mat left;
  cv::solve(gram(bu, n), bothReduced, left, cv::DECOMP_CHOLESKY);
  cv::Mat coefficientsT;
  cv::solve(gram(bv, n), left.t(), coefficientsT, cv::DECOMP_CHOLESKY);
  surface.coefficients.resize(static_cast<std::size_t>(n) * n);
  for (int j = 0; j < n; ++j)
    for (int k = 0; k < n; ++k) surface.coefficients[j * n + k] = coefficientsT.at<double>(k, j);
  return surface;
}

FitResidual BSplineFit::residual(const BSplineSurface& surface, const GridSamples& exact, double pixelScale) {
  const int n = surface.n;
  const AxisBasis bu = axisBasis(surface.knots, n, exact.u);
  const AxisBasis bv = axisBasis(surface.knots, n, exact.v);
  const std::size_t cols = exact.v.size();
  // C Bv^T, one column per check column, then one row combination per check row.
  std::vector<double> partial(static_cast<std::size_t>(n) * cols, 0.0);
  for (int a = 0; a < n; ++a)
    for (std::size_t j = 0; j < cols; ++j) {
      double s = 0.0;
      for (int q = 0; q < 4; ++q) s += surface.coefficients[a * n + bv.first[j] + q] * bv.values[4 * j + q];
      partial[a * cols + j] = s;
    }
  FitResidual result;
  double sumSquares = 0.0;
  for (std::size_t i = 0; i < exact.u.size(); ++i) {
    for (std::size_t j = 0; j < cols; ++j) {
      double value = 0.0;
      for (int p = 0; p < 4; ++p) value += bu.values[4 * i + p] * partial[(bu.first[i] + p) * cols + j];
      const double error = std::abs(value - exact.values[i * cols + j]) * pixelScale;
      sumSquares += error * error;
      result.max = std::max(result.max, error);
    }
  }
  result.rms = std::sqrt(sumSquares / static_cast<double>(exact.values.size()));
  return result;
}

BSplineFit::Choice BSplineFit::fitToTarget(const GridSamples& fitSamples, const GridSamples& checkSamples,
                                           double pixelScale, double target, int minBasis, int maxBasis) {
  minBasis = std::max(4, minBasis);
  maxBasis = std::max(minBasis, maxBasis);
  auto attempt = [&](int n) {
    Choice c;
    c.surface = fit(fitSamples, n);
    c.residual = residual(c.surface, checkSamples, pixelScale);
    return c;
  };
  // Grow n by about half each step until the target is met, then bisect down
  // to the smallest n that still meets it.
  Choice best = attempt(minBasis);
  if (best.residual.max <= target) return best;
  int failing = minBasis;
  while (failing < maxBasis) {
    const int n = std::min(maxBasis, failing + std::max(1, failing / 2));
    Choice c = attempt(n);
    if (c.residual.max <= target) {
      best = std::move(c);
      int low = failing;
      int high = n;
      while (high - low > 1) {
        const int mid = (low + high) / 2;
        Choice m = attempt(mid);
        if (m.residual.max <= target) {
          best = std::move(m);
          high = mid;
        } else {
          low = mid;
        }
      }
      return best;
    }
    if (c.residual.max < best.residual.max) best = std::move(c);
    failing = n;
  }
  return best;
}

}  // namespace SteloxRig
