#include "CalibrationWriter.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace SteloxRig {

namespace {

// Shortest text that reads back as the same double.
std::string number(double value) {
  char text[40];
  for (int precision = 6; precision <= 17; ++precision) {
    std::snprintf(text, sizeof text, "%.*g", precision, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return text;
}

const char* onOff(bool on) { return on ? "on" : "off"; }

bool isNarrow(const RigModel& rig) { return rig.baseline() <= CalibrationWriter::kNarrowBaselineLimit; }

std::string lensName(int lens) { return lens == static_cast<int>(RigLens::Right) ? "right" : "left"; }

// One warp block: knots on one line each (the reader wants them there), the
// coefficients with one column basis k per line, rows j along it, which is
// the order k * n + j the splines read them in.
void writeWarp(std::string& out, int id, const BSplineSurface& surface) {
  const int n = surface.n;
  std::string knots;
  for (double k : surface.knots) knots += " " + number(k);
  out += "BeginWarp\nID " + std::to_string(id) + "\nNumberKnots " + std::to_string(n + 4) + "\n";
  out += "KnotsX" + knots + "\nKnotsY" + knots + "\n";
  out += "NumberCoefs " + std::to_string(n) + " " + std::to_string(n) + "\n";
  for (int k = 0; k < n; ++k) {
    out += k == 0 ? "Coefs" : "";
    for (int j = 0; j < n; ++j) out += (k == 0 || j > 0 ? " " : "") + number(surface.coefficients[j * n + k]);
    out += "\n";
  }
  out += "EndWarp\n\n";
}

void checkSetting(bool ok, const char* what) {
  if (!ok) throw RigError(std::string("calibration settings: ") + what);
}

}  // namespace

const CalibrationConfiguration& CalibrationWriter::addConfiguration(const RigModel& rig, const StereoDefaults& defaults,
                                                                    const WarpFitOptions& fitOptions) {
  CalibrationConfiguration configuration;
  configuration.rig = rig;
  configuration.defaults = defaults;
  for (int lens = 0; lens < kRigLensCount; ++lens)
    configuration.warps[lens] = LensWarpFit::fit(rig, static_cast<RigLens>(lens), fitOptions);
  m_configurations.push_back(std::move(configuration));
  return m_configurations.back();
}

void CalibrationWriter::validate() const {
  const std::size_t count = m_configurations.size();
  if (count == 0) throw RigError("calibration: no configuration to write");
  if (count > 2) throw RigError("calibration: a camera has at most two configurations (narrow and wide)");
  for (const CalibrationConfiguration& c : m_configurations) {
    const RigModel& rig = c.rig;
    if (rig.rows() < 2 || rig.cols() < 2 || !(rig.focalLength() > 0.0))
      throw RigError("calibration: the rig has no usable image size or focal length");
    if (!(rig.baseline() > 0.0)) throw RigError("calibration: the baseline must be positive");
    // A baseline of exactly the limit is classified narrow but refused by the
    // narrow slot, so such a file would never load.
    if (rig.baseline() == kNarrowBaselineLimit)
      throw RigError("calibration: a baseline of exactly " + number(kNarrowBaselineLimit) +
                     " m is neither narrow nor wide for the loader");
    const StereoDefaults& d = c.defaults;
    checkSetting(d.stereoMaskSize % 2 == 1 && d.stereoMaskSize >= 1 && d.stereoMaskSize <= 23,
                 "the stereo mask size must be odd, 1 to 23");
    checkSetting(d.edgeMaskSize % 2 == 1 && d.edgeMaskSize >= 3 && d.edgeMaskSize <= 11,
                 "the edge mask size must be odd, 3 to 11");
    checkSetting(d.minDisparity >= 0 && d.disparityCount >= 1 && d.disparityCount <= 4078,
                 "the disparity range must start at 0 or more and count 1 to 4078 disparities");
    checkSetting(d.textureThreshold >= 0.0 && d.textureThreshold <= 128.0, "the texture threshold must lie in 0 to 128");
    checkSetting(d.surfaceSize >= 0 && d.surfaceDifference >= 0.0, "the surface settings must not be negative");
    for (int lens = 0; lens < kRigLensCount; ++lens) {
      const double worst = c.warps[lens].worstResidual();
      if (!(worst <= m_tolerance))
        throw RigError("calibration: the " + lensName(lens) + " lens warp fit leaves " + number(worst) +
                       " px, above the tolerance of " + number(m_tolerance) + " px");
    }
  }
  if (count == 2) {
    const RigModel& a = m_configurations[0].rig;
    const RigModel& b = m_configurations[1].rig;
    if (isNarrow(a) == isNarrow(b))
      throw RigError(std::string("calibration: two configurations must be one narrow (baseline up to 0.195 m) and "
                                 "one wide; both are ") +
                     (isNarrow(a) ? "narrow" : "wide"));
    if (static_cast<long long>(a.rows()) * b.cols() != static_cast<long long>(a.cols()) * b.rows())
      throw RigError("calibration: the two configurations' image sizes have different aspect ratios");
  }
}

void CalibrationWriter::writeConfiguration(std::string& out, const CalibrationConfiguration& c) const {
  const RigModel& rig = c.rig;
  const StereoDefaults& d = c.defaults;
  const std::string rows = std::to_string(rig.rows());
  const std::string cols = std::to_string(rig.cols());
  out += "Version \"gemlo 4.0\"\n";
  out += "Product gemlo\n";
  out += "SerialNumber " + std::to_string(m_identity.serialNumber) + "\n";
  out += "PartId \"" + m_identity.partId + "\"\n";
  if (!m_identity.date.empty()) out += "Date \"" + m_identity.date + "\"\n";
  out += "SensorResolution " + cols + " " + rows + "\n";
  out += "CalibratedSensorROIResolution " + cols + " " + rows + "\n";
  out += "CalibratedSensorROIOffset 0 0\n";
  out += "NumCameras 2\n";
  out += "CameraConfiguration 2CameraHorizontal\n";
  out += "FocalLength " + number(rig.focalLength() / rig.cols()) + " " + number(rig.focalLength() / rig.rows()) + "\n";
  out += "ImageCenter " + number((rig.centreCol() + 0.5) / rig.cols()) + " " +
         number((rig.centreRow() + 0.5) / rig.rows()) + "\n";
  out += "BaseLine " + number(rig.baseline()) + "\n";
  double rms = 0.0;
  double worst = 0.0;
  for (const LensWarps& w : c.warps) {
    for (const auto* residuals : {&w.rectifiedToRawResidual, &w.rawToRectifiedResidual})
      for (const FitResidual& r : *residuals) {
        rms = std::max(rms, r.rms);
        worst = std::max(worst, r.max);
      }
  }
  char quality[96];
  std::snprintf(quality, sizeof quality, "RectificationQuality \"warp fit rms %.4f px max %.4f px\"\n", rms, worst);
  out += quality;
  out += "\nResolution " + rows + " " + cols + "\n";
  out += std::string("LowPass ") + onOff(d.lowpass) + "\nRectify " + onOff(d.rectify) + "\nEdgeCorrelation " +
         onOff(d.edgeCorrelation) + "\nDoStereo " + onOff(d.doStereo) + "\n";
  out += "EdgeMaskSize " + std::to_string(d.edgeMaskSize) + "\nStereoMaskSize " + std::to_string(d.stereoMaskSize) + "\n";
  out += "Disparity " + std::to_string(d.minDisparity) + " " + std::to_string(d.disparityCount) + "\n";
  out += std::string("TextureValidation ") + onOff(d.textureValidation) + "\nTextureValidationThreshold " +
         number(d.textureThreshold) + "\nTextureValidationMapping " + std::to_string(d.textureMapping) + "\n";
  out += std::string("BackForthValidation ") + onOff(d.backForthValidation) + "\nBackForthValidationMapping " +
         std::to_string(d.backForthMapping) + "\n";
  out += std::string("SubPixelInterpolate ") + onOff(d.subpixelInterpolate) + "\nStrictSubpixelValidation " +
         onOff(d.strictSubpixel) + "\n";
  out += std::string("SurfaceValidation ") + onOff(d.surfaceValidation) + "\nSurfaceValidationMapping " +
         std::to_string(d.surfaceMapping) + "\nSurfaceValidationDifference " + number(d.surfaceDifference) +
         "\nSurfaceValidationSize " + std::to_string(d.surfaceSize) + "\n\n";

  // Warp ids: lens L uses 4L + 1 ... 4L + 4 (rectified X, Y, distorted X, Y).
  for (int lens = 0; lens < kRigLensCount; ++lens) {
    const int base = 4 * lens;
    out += "BeginCamera\nID " + std::to_string(lens) + "\n";
    out += lens == static_cast<int>(RigLens::Right) ? "Position 0 0 0\n" : "Position -1 0 0\n";
    out += "Gain 1\n";
    out += "RectifiedSpline " + std::to_string(base + 1) + " " + std::to_string(base + 2) + "\n";
    out += "DistortedSpline " + std::to_string(base + 3) + " " + std::to_string(base + 4) + "\n";
    out += "EndCamera\n\n";
  }
  for (int lens = 0; lens < kRigLensCount; ++lens) {
    const LensWarps& w = c.warps[lens];
    const int base = 4 * lens;
    writeWarp(out, base + 1, w.rectifiedToRaw[0]);
    writeWarp(out, base + 2, w.rectifiedToRaw[1]);
    writeWarp(out, base + 3, w.rawToRectified[0]);
    writeWarp(out, base + 4, w.rawToRectified[1]);
  }
}

std::string CalibrationWriter::text() const {
  validate();
  std::string out;
  if (!m_identity.comment.empty()) {
    std::istringstream lines(m_identity.comment);
    for (std::string line; std::getline(lines, line);) out += "# " + line + "\n";
  }
  // The narrow configuration first, as the context writer orders them.
  std::vector<const CalibrationConfiguration*> ordered;
  for (const CalibrationConfiguration& c : m_configurations) ordered.push_back(&c);
  if (ordered.size() == 2 && !isNarrow(ordered[0]->rig)) std::swap(ordered[0], ordered[1]);
  for (const CalibrationConfiguration* c : ordered) writeConfiguration(out, *c);
  return out;
}

void CalibrationWriter::writeFile(const std::string& path) const {
  std::string content;
  try {
    content = text();
  } catch (const RigError& e) {
    throw RigError(path + ": not written: " + e.what());
  }
  const std::string temporary = path + ".partial";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) throw RigError(path + ": cannot create the calibration file");
    file << content;
    file.close();
    if (!file) {
      std::remove(temporary.c_str());
      throw RigError(path + ": writing the calibration failed");
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    throw RigError(path + ": cannot replace the calibration file");
  }
}

std::string CalibrationWriter::residualReport() const {
  std::string report;
  char line[160];
  for (const CalibrationConfiguration& c : m_configurations) {
    for (int lens = 0; lens < kRigLensCount; ++lens) {
      const LensWarps& w = c.warps[lens];
      const struct {
        const char* name;
        const std::array<BSplineSurface, 2>& surfaces;
        const std::array<FitResidual, 2>& residuals;
      } rows[] = {{"rectified->raw", w.rectifiedToRaw, w.rectifiedToRawResidual},
                  {"raw->rectified", w.rawToRectified, w.rawToRectifiedResidual}};
      for (const auto& r : rows) {
        std::snprintf(line, sizeof line,
                      "baseline %g m, %-5s lens %s: column rms %.4f max %.4f px (%d basis), row rms %.4f max %.4f px "
                      "(%d basis)\n",
                      c.rig.baseline(), lensName(lens).c_str(), r.name, r.residuals[0].rms, r.residuals[0].max,
                      r.surfaces[0].n, r.residuals[1].rms, r.residuals[1].max, r.surfaces[1].n);
        report += line;
      }
    }
  }
  return report;
}

}  // namespace SteloxRig
