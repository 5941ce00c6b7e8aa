// The calibration of one lens as the rectifier needs it.
#ifndef STELOX_RECTIFY_RECTIFYLENSDATA_H
#define STELOX_RECTIFY_RECTIFYLENSDATA_H

#include <memory>

#include "calibration/WarpData.h"

// Warp record 0 of each pair is the column (X) spline, record 1 the row (Y)
// spline. Focal lengths and image centre are normalised; the centre and gain
// are carried but not used by rectification.
struct RectifyLensData {
  int id = -1;
  double focalLengthX = 0.0;
  double focalLengthY = 0.0;
  double imageCenterX = 0.0;
  double imageCenterY = 0.0;
  double gain = 0.0;
  double rectifiedAdjustmentX = 0.0;
  double rectifiedAdjustmentY = 0.0;
  double rawAdjustmentX = 0.0;
  double rawAdjustmentY = 0.0;
  int rectifiedWarpIds[2] = {-1, -1};
  int distortedWarpIds[2] = {-1, -1};
  // Rectified pixel -> raw pixel.
  std::shared_ptr<const WarpData> rectifiedWarpData[2];
  // Raw pixel -> rectified pixel.
  std::shared_ptr<const WarpData> distortedWarpData[2];
  // Calibrated sensor size; 0, 0 when the calibration gives none.
  int sensorRows = 0;
  int sensorCols = 0;
};

// True when a warp record was read without error and holds the n + 4 knots per
// axis and n x n coefficients its coefficient count n needs.
bool warpDataUsable(const std::shared_ptr<const WarpData>& warp);

#endif
