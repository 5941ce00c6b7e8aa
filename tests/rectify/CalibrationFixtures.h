// Calibration texts generated in the tests: a two-lens camera whose warps are
// known in closed form, written with the calibration grammar and read back by
// the calibration reader.
#ifndef STELOX_TESTS_RECTIFY_CALIBRATIONFIXTURES_H
#define STELOX_TESTS_RECTIFY_CALIBRATIONFIXTURES_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "WarpFixtures.h"
#include "calibration/ConfigFile.h"
#include "rectify/RectifyLensData.h"

namespace calibrationfixtures {

using namespace warpfixtures;

inline std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

inline std::string numbers(const std::vector<double>& values) {
  std::string line;
  for (double v : values)
    line += " " + number(v);
  return line;
}

// A warp block over clamped knots. knotCount may be set below the count the
// coefficients need, to describe a corrupt record.
inline std::string warpBlock(int id, int n, const std::vector<double>& coefficients,
                             int knotCount = -1) {
  std::vector<double> knots = clampedKnots(n);
  if (knotCount >= 0)
    knots.resize(knotCount);
  std::string text = "BeginWarp\nID " + std::to_string(id) + "\n";
  text += "NumberKnots " + std::to_string(knots.size()) + "\n";
  text += "KnotsX" + numbers(knots) + "\nKnotsY" + numbers(knots) + "\n";
  text += "NumberCoefs " + std::to_string(n) + " " + std::to_string(n) + "\n";
  text += "Coefs\n";
  for (int k = 0; k < n; ++k)
    text += numbers(std::vector<double>(coefficients.begin() + k * n,
                                        coefficients.begin() + (k + 1) * n)) + "\n";
  return text + "EndWarp\n";
}

// The column (first) and row (second) warp blocks of a map.
struct WarpPair {
  std::string column;
  std::string row;
};

// (u, v) -> (rowScale * u + rowShift, colScale * v + colShift), exact.
inline std::vector<double> affineRowCoefficients(int n, double scale, double shift) {
  const std::vector<double> xi = greville(clampedKnots(n));
  return coefficientList(n, [&](int j, int) { return scale * xi[j] + shift; });
}
inline std::vector<double> affineColCoefficients(int n, double scale, double shift) {
  const std::vector<double> xi = greville(clampedKnots(n));
  return coefficientList(n, [&](int, int k) { return scale * xi[k] + shift; });
}

struct LensSetup {
  int id = 0;
  bool hasId = true;
  int position[3] = {0, 0, 0};
  bool gain = true;
  std::string extraLines;
  // Ids of the column and row splines, rectified -> raw and raw -> rectified.
  int rectifiedIds[2] = {1, 2};
  int distortedIds[2] = {3, 4};
};

struct CameraSetup {
  std::string product = "GEMLO";
  double baseline = 0.12;
  bool focalLength = true;
  bool imageCenter = true;
  int sensorRows = 0;  // 0: no calibrated sensor size
  int sensorCols = 0;
  std::vector<LensSetup> lenses;
  std::string warps;  // warp blocks
};

inline std::string calibrationText(const CameraSetup& camera) {
  std::string text = "Version \"GEMLO 4.0\"\nProduct \"" + camera.product + "\"\n";
  text += "Resolution 480 640\n";
  if (camera.focalLength)
    text += "FocalLength 0.75 1.0\n";
  if (camera.imageCenter)
    text += "ImageCenter 0.5 0.5\n";
  text += "Baseline " + number(camera.baseline) + "\n";
  if (camera.sensorRows > 0)
    text += "CalibratedSensorRoiResolution " + std::to_string(camera.sensorCols) + " " +
            std::to_string(camera.sensorRows) + "\n";
  for (const LensSetup& lens : camera.lenses) {
    text += "BeginCamera\n";
    if (lens.hasId)
      text += "ID " + std::to_string(lens.id) + "\n";
    text += "Position " + std::to_string(lens.position[0]) + " " +
            std::to_string(lens.position[1]) + " " + std::to_string(lens.position[2]) + "\n";
    if (lens.gain)
      text += "Gain 1.0\n";
    text += "RectifiedSpline " + std::to_string(lens.rectifiedIds[0]) + " " +
            std::to_string(lens.rectifiedIds[1]) + "\n";
    text += "DistortedSpline " + std::to_string(lens.distortedIds[0]) + " " +
            std::to_string(lens.distortedIds[1]) + "\n";
    text += lens.extraLines + "EndCamera\n";
  }
  return text + camera.warps;
}

// Warp blocks 1, 2 (rectified -> raw) and 3, 4 (raw -> rectified) of an
// affine lens whose raw image is the rectified one scaled and shifted; the
// inverse map is exact too.
inline std::string affineLensWarps(int n, double rowScale, double rowShift, double colScale,
                                   double colShift) {
  return warpBlock(1, n, affineColCoefficients(n, colScale, colShift)) +
         warpBlock(2, n, affineRowCoefficients(n, rowScale, rowShift)) +
         warpBlock(3, n, affineColCoefficients(n, 1.0 / colScale, -colShift / colScale)) +
         warpBlock(4, n, affineRowCoefficients(n, 1.0 / rowScale, -rowShift / rowScale));
}

// Raw -> rectified undoes a barrel distortion: the raw image is the rectified
// one distorted by Radial{k} (rectified point p is seen at raw point
// radial(p)). Blocks 1, 2 interpolate radial, blocks 3, 4 its inverse
// (computed by fixed-point iteration).
inline std::string radialLensWarps(int n, double k) {
  const Radial radial{k};
  const auto inverse = [radial](double u, double v) {
    double a = u, b = v;
    for (int i = 0; i < 100; ++i) {
      const double f = radial.factor(a, b);
      a = 0.5 + (u - 0.5) / f;
      b = 0.5 + (v - 0.5) / f;
    }
    return std::make_pair(a, b);
  };
  const std::vector<double> t = clampedKnots(n);
  return warpBlock(1, n, interpolate(t, [&](double u, double v) { return radial.col(u, v); })) +
         warpBlock(2, n, interpolate(t, [&](double u, double v) { return radial.row(u, v); })) +
         warpBlock(3, n, interpolate(t, [&](double u, double v) { return inverse(u, v).second; })) +
         warpBlock(4, n, interpolate(t, [&](double u, double v) { return inverse(u, v).first; }));
}

inline CameraSetup twoLensCamera(const std::string& warps) {
  CameraSetup camera;
  LensSetup reference;
  LensSetup left;
  left.id = 1;
  left.position[0] = -1;
  camera.lenses = {reference, left};
  camera.warps = warps;
  return camera;
}

inline std::shared_ptr<const ConfigSection> parseSection(const std::string& text) {
  ConfigFile file;
  file.loadBuffer(text.c_str());
  return file.getConfigSection(0);
}

// Lens data of the first lens of a calibration, read by the calibration reader.
inline RectifyLensData lensDataOf(const std::string& warps, int sensorRows = 0,
                                  int sensorCols = 0) {
  const std::shared_ptr<const ConfigSection> section =
      parseSection(calibrationText(twoLensCamera(warps)));
  RectifyLensData d;
  if (!section || section->getNumberOfLensData() < 1)
    return d;
  const std::shared_ptr<const LensData> lens = section->getLensData(0);
  d.id = lens->getId();
  d.focalLengthX = 0.75;
  d.focalLengthY = 1.0;
  d.gain = lens->getGain();
  for (int i = 0; i < 2; ++i) {
    d.rectifiedWarpData[i] = lens->getWarpDataRectified(i);
    d.distortedWarpData[i] = lens->getWarpDataDistorted(i);
  }
  d.sensorRows = sensorRows;
  d.sensorCols = sensorCols;
  return d;
}

} // namespace calibrationfixtures

#endif
