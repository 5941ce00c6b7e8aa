#ifndef STELOX_RIG_LENSWARPFIT_H
#define STELOX_RIG_LENSWARPFIT_H

#include <array>

#include "BSplineFit.h"
#include "RigModel.h"

namespace SteloxRig {

struct WarpFitOptions {
  // A calibration whose worst residual exceeds this many pixels is refused.
  double tolerance = 0.05;
  // Each function is fitted with the fewest basis functions that bring its
  // worst residual under this share of the tolerance, leaving room for the
  // single-precision evaluation of the library.
  double targetShare = 0.5;
  int maxBasis = 64;
};

// The four fitted functions of one lens, each pair indexed like the spline
// ids of a lens block: [0] yields the column (X), [1] the row (Y). Inputs and
// outputs are normalised: (pixel + 0.5) / size, as the warp maps evaluate them.
struct LensWarps {
  std::array<BSplineSurface, 2> rectifiedToRaw;
  std::array<BSplineSurface, 2> rawToRectified;
  std::array<FitResidual, 2> rectifiedToRawResidual;
  std::array<FitResidual, 2> rawToRectifiedResidual;

  double worstResidual() const;
};

// Samples a lens's exact mappings at every pixel centre, fits each of the four
// functions and measures the fit on the grid of pixel corners, which includes
// the image borders and every point halfway between the fitted samples.
class LensWarpFit {
public:
  // Throws RigError when the lens model cannot be inverted somewhere in the
  // image (the raw-to-rectified functions would be undefined there).
  static LensWarps fit(const RigModel& rig, RigLens lens, const WarpFitOptions& options = WarpFitOptions());
};

}  // namespace SteloxRig

#endif
