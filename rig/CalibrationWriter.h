#ifndef STELOX_RIG_CALIBRATIONWRITER_H
#define STELOX_RIG_CALIBRATIONWRITER_H

#include <array>
#include <string>
#include <vector>

#include "LensWarpFit.h"
#include "RigModel.h"

namespace SteloxRig {

// Default stereo settings written as header keys; the defaults are those of
// a fresh stereo context.
struct StereoDefaults {
  bool lowpass = true;
  bool rectify = true;
  bool edgeCorrelation = true;
  bool doStereo = true;
  int edgeMaskSize = 7;
  int stereoMaskSize = 7;
  int minDisparity = 0;
  int disparityCount = 32;  // the loader reads the second "Disparity" value as a count
  bool textureValidation = true;
  double textureThreshold = 0.5;
  int textureMapping = 255;
  bool backForthValidation = false;
  int backForthMapping = 251;
  bool subpixelInterpolate = true;
  bool strictSubpixel = false;
  bool surfaceValidation = true;
  int surfaceSize = 200;
  double surfaceDifference = 1.0;
  int surfaceMapping = 252;
};

// Identity lines shared by every configuration of a file.
struct CalibrationIdentity {
  int serialNumber = 1;
  std::string partId = "synthetic";
  std::string date;     // free text; no "Date" line when empty
  std::string comment;  // leading comment lines (one per line of text); none when empty
};

// One camera configuration: a rig, its fitted lens warps and its settings.
struct CalibrationConfiguration {
  RigModel rig;
  std::array<LensWarps, kRigLensCount> warps;
  StereoDefaults defaults;
};

// Writes calibration text, version 4.0, for the two-lens product: one or two
// configurations (a narrow and a wide baseline), each a header, two lens
// blocks and four warp blocks per lens. Markers are spelled the way the
// context file writer recognises them when it writes a loaded calibration
// back ("Version", "BeginCamera", "Position", "EndCamera", "BeginWarp",
// "EndWarp"), so written, loaded and re-written files stay loadable.
// Sizes: the raw image is the sensor and the calibrated sensor region; the
// rectified resolution is the same size. The normalised focal lengths are
// f / cols and f / rows, the centre ((cx + 0.5) / cols, (cy + 0.5) / rows).
class CalibrationWriter {
public:
  // Baselines up to this value (metres, the loader's single-precision 0.195
  // widened) make a narrow configuration, larger ones a wide configuration.
  static constexpr double kNarrowBaselineLimit = static_cast<double>(0.195f);

  explicit CalibrationWriter(CalibrationIdentity identity = CalibrationIdentity(), double tolerance = 0.05)
      : m_identity(std::move(identity)), m_tolerance(tolerance) {}

  // Fits both lenses of the rig and adds the configuration.
  const CalibrationConfiguration& addConfiguration(const RigModel& rig, const StereoDefaults& defaults = StereoDefaults(),
                                                   const WarpFitOptions& fitOptions = WarpFitOptions());
  // Adds a configuration whose warps are already fitted.
  void addConfiguration(const CalibrationConfiguration& configuration) { m_configurations.push_back(configuration); }

  const std::vector<CalibrationConfiguration>& configurations() const { return m_configurations; }
  double tolerance() const { return m_tolerance; }

  // The whole text. Throws RigError when the file could not be loaded (no
  // configuration, more than two, two of the same kind, different aspect
  // ratios, a baseline on the narrow/wide limit, an invalid setting) or a fit
  // residual exceeds the tolerance.
  std::string text() const;

  // Writes text() to path through a temporary file in the same folder, so
  // that a failure leaves no partial file. Throws RigError naming the file.
  void writeFile(const std::string& path) const;

  // One line per lens and direction with RMS and maximum residual in pixels.
  std::string residualReport() const;

private:
  void validate() const;
  void writeConfiguration(std::string& out, const CalibrationConfiguration& configuration) const;

  CalibrationIdentity m_identity;
  double m_tolerance;
  std::vector<CalibrationConfiguration> m_configurations;
};

}  // namespace SteloxRig

#endif
