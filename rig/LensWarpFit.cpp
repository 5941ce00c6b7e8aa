#include "LensWarpFit.h"

#include <algorithm>

namespace SteloxRig {

namespace {

std::vector<double> pixelCentres(int size) {
  std::vector<double> x(size);
  for (int i = 0; i < size; ++i) x[i] = (i + 0.5) / size;
  return x;
}

std::vector<double> pixelCorners(int size) {
  std::vector<double> x(size + 1);
  for (int i = 0; i <= size; ++i) x[i] = static_cast<double>(i) / size;
  return x;
}

using PixelMap = bool (RigModel::*)(RigLens, double, double, double&, double&) const;

// Samples one output coordinate (0 column, 1 row) of a pixel mapping in
// normalised coordinates on the grid already set in samples.
void sampleMapping(const RigModel& rig, RigLens lens, PixelMap map, int output, GridSamples& samples,
                   const char* what) {
  const double rows = rig.rows();
  const double cols = rig.cols();
  const bool ok = samples.sample([&](double u, double v, double& value) {
    double outRow = 0.0;
    double outCol = 0.0;
    if (!(rig.*map)(lens, u * rows - 0.5, v * cols - 0.5, outRow, outCol)) return false;
    value = output == 0 ? (outCol + 0.5) / cols : (outRow + 0.5) / rows;
    return true;
  });
  if (!ok)
    throw RigError(std::string("the ") + (lens == RigLens::Right ? "right" : "left") + " lens model has no " + what +
                   " mapping over the whole image (distortion too strong to invert)");
}

}  // namespace

double LensWarps::worstResidual() const {
  return std::max({rectifiedToRawResidual[0].max, rectifiedToRawResidual[1].max, rawToRectifiedResidual[0].max,
                   rawToRectifiedResidual[1].max});
}

LensWarps LensWarpFit::fit(const RigModel& rig, RigLens lens, const WarpFitOptions& options) {
  LensWarps warps;
  const double target = options.tolerance * options.targetShare;
  const struct {
    PixelMap map;
    const char* what;
    std::array<BSplineSurface, 2>* surfaces;
    std::array<FitResidual, 2>* residuals;
  } directions[] = {
      {&RigModel::rectifiedToRaw, "rectified-to-raw", &warps.rectifiedToRaw, &warps.rectifiedToRawResidual},
      {&RigModel::rawToRectified, "raw-to-rectified", &warps.rawToRectified, &warps.rawToRectifiedResidual},
  };
  for (const auto& direction : directions) {
    for (int output = 0; output < 2; ++output) {
      GridSamples fitSamples;
      fitSamples.u = pixelCentres(rig.rows());
      fitSamples.v = pixelCentres(rig.cols());
      sampleMapping(rig, lens, direction.map, output, fitSamples, direction.what);
      GridSamples checkSamples;
      checkSamples.u = pixelCorners(rig.rows());
      checkSamples.v = pixelCorners(rig.cols());
      sampleMapping(rig, lens, direction.map, output, checkSamples, direction.what);
      const double pixelScale = output == 0 ? rig.cols() : rig.rows();
      BSplineFit::Choice choice =
          BSplineFit::fitToTarget(fitSamples, checkSamples, pixelScale, target, 4, options.maxBasis);
      (*direction.surfaces)[output] = std::move(choice.surface);
      (*direction.residuals)[output] = choice.residual;
    }
  }
  return warps;
}

}  // namespace SteloxRig
