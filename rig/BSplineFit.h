#ifndef STELOX_RIG_BSPLINEFIT_H
#define STELOX_RIG_BSPLINEFIT_H

#include <functional>
#include <vector>

namespace SteloxRig {

// A clamped cubic B-spline tensor product over [0, 1] x [0, 1] with n basis
// functions per axis on uniform knots: n + 4 knots, four 0s, the interior
// steps 1 / (n - 3), four 1s. The first coordinate u is the row axis, the
// second v the column axis, as the warp splines of a calibration use them.
struct BSplineSurface {
  int n = 0;
  std::vector<double> knots;         // n + 4 values, the same for both axes
  std::vector<double> coefficients;  // coefficient (j, k) at j * n + k; j row basis, k column basis

  double operator()(double u, double v) const;

  static std::vector<double> uniformKnots(int n);
  // The four basis values that can be non-zero at x in [0, 1]; returns the
  // index of the first of them (x = 1 belongs to the last span).
  static int basis(const std::vector<double>& knots, int n, double x, double values[4]);
};

// Residual of a fit in output pixels.
struct FitResidual {
  double rms = 0.0;
  double max = 0.0;
};

// Values of a function on a grid: value(i, j) = f(u[i], v[j]) at i * v.size() + j.
struct GridSamples {
  std::vector<double> u;
  std::vector<double> v;
  std::vector<double> values;

  // Samples f on the grid; false (and partial values) as soon as f fails.
  bool sample(const std::function<bool(double, double, double&)>& f);
};

// Least-squares fitting of BSplineSurface to gridded samples. On a full grid
// the tensor-product problem separates into one small banded normal system
// per axis, so a fit of a whole image costs a few passes over the samples.
class BSplineFit {
public:
  static BSplineSurface fit(const GridSamples& samples, int n);

  // Residual of a surface against gridded exact values; differences are
  // multiplied by pixelScale (the output image's size along the value's axis).
  static FitResidual residual(const BSplineSurface& surface, const GridSamples& exact, double pixelScale);

  struct Choice {
    BSplineSurface surface;
    FitResidual residual;
  };
  // Fits with increasing n (from minBasis to maxBasis) and keeps the smallest
  // n whose maximum residual on the check grid is at most target pixels; when
  // none reaches it, the one with the smallest maximum.
  static Choice fitToTarget(const GridSamples& fitSamples, const GridSamples& checkSamples, double pixelScale,
                            double target, int minBasis = 4, int maxBasis = 64);
};

}  // namespace SteloxRig

#endif
