#include "RigModel.h"

#include <cmath>

#include <opencv2/calib3d.hpp>

namespace SteloxRig {

void distortPoint(const Distortion& d, double x, double y, double& xd, double& yd) {
  const double r2 = x * x + y * y;
  const double radial = 1.0 + r2 * (d[0] + r2 * (d[1] + r2 * d[4]));
  xd = x * radial + 2.0 * d[2] * x * y + d[3] * (r2 + 2.0 * x * x);
  yd = y * radial + d[2] * (r2 + 2.0 * y * y) + 2.0 * d[3] * x * y;
}

bool undistortPoint(const Distortion& d, double xd, double yd, double& x, double& y) {
  double u = xd;
  double v = yd;
  for (int iteration = 0; iteration < 50; ++iteration) {
    const double r2 = u * u + v * v;
    const double radial = 1.0 + r2 * (d[0] + r2 * (d[1] + r2 * d[4]));
    const double slope = d[0] + r2 * (2.0 * d[1] + 3.0 * r2 * d[4]);  // d radial / d r2
    double fu = 0.0;
    double fv = 0.0;
    distortPoint(d, u, v, fu, fv);
    fu -= xd;
    fv -= yd;
    const double a = radial + 2.0 * u * u * slope + 2.0 * d[2] * v + 6.0 * d[3] * u;
    const double b = 2.0 * u * v * slope + 2.0 * d[2] * u + 2.0 * d[3] * v;
    const double c = radial + 2.0 * v * v * slope + 6.0 * d[2] * v + 2.0 * d[3] * u;
    const double det = a * c - b * b;
    // A non-positive Jacobian means the model folds over: the point has no
    // unique undistorted position.
    if (!(det > 0.0)) return false;
    const double du = (c * fu - b * fv) / det;
    const double dv = (a * fv - b * fu) / det;
    u -= du;
    v -= dv;
    if (std::abs(du) + std::abs(dv) < 1e-14 * (1.0 + std::abs(u) + std::abs(v))) {
      x = u;
      y = v;
      return true;
    }
  }
  return false;
}

RigModel RigModel::ideal(const IdealRigSpec& spec) {
  if (spec.rows < 2 || spec.cols < 2) throw RigError("ideal rig: the image size must be at least 2 x 2");
  if (!(spec.focalLength > 0.0)) throw RigError("ideal rig: the focal length must be positive");
  if (!(spec.baseline > 0.0)) throw RigError("ideal rig: the baseline must be positive");
  RigModel rig;
  const double centreRow = spec.centreRow < 0.0 ? 0.5 * (spec.rows - 1) : spec.centreRow;
  const double centreCol = spec.centreCol < 0.0 ? 0.5 * (spec.cols - 1) : spec.centreCol;
  rig.setGeometry(spec.rows, spec.cols, spec.focalLength, centreRow, centreCol, spec.baseline);
  for (int i = 0; i < kRigLensCount; ++i) {
    LensModel lens;
    lens.focalX = lens.focalY = spec.focalLength;
    lens.centreRow = centreRow;
    lens.centreCol = centreCol;
    lens.distortion = spec.distortion[i];
    cv::Matx33d rawFromRectified;
    cv::Rodrigues(spec.rotation[i], rawFromRectified);
    lens.rectifyingRotation = rawFromRectified.t();
    rig.setLens(static_cast<RigLens>(i), lens);
  }
  return rig;
}

void RigModel::setGeometry(int rows, int cols, double focal, double centreRow, double centreCol, double baseline) {
  m_rows = rows;
  m_cols = cols;
  m_focal = focal;
  m_centreRow = centreRow;
  m_centreCol = centreCol;
  m_baseline = baseline;
}

cv::Vec3d RigModel::lensCentre(RigLens lens) const {
  return lens == RigLens::Left ? cv::Vec3d(-m_baseline, 0.0, 0.0) : cv::Vec3d(0.0, 0.0, 0.0);
}

cv::Vec3d RigModel::rectifiedRay(double rectRow, double rectCol) const {
  return cv::Vec3d((rectCol - m_centreCol) / m_focal, (rectRow - m_centreRow) / m_focal, 1.0);
}

bool RigModel::rectifiedToRaw(RigLens which, double rectRow, double rectCol, double& rawRow, double& rawCol) const {
  const LensModel& lens = m_lens[static_cast<int>(which)];
  const cv::Vec3d ray = lens.rectifyingRotation.t() * rectifiedRay(rectRow, rectCol);
  if (!(ray[2] > 0.0)) return false;
  double xd = 0.0;
  double yd = 0.0;
  distortPoint(lens.distortion, ray[0] / ray[2], ray[1] / ray[2], xd, yd);
  rawCol = lens.focalX * xd + lens.centreCol;
  rawRow = lens.focalY * yd + lens.centreRow;
  return true;
}

bool RigModel::rawRay(RigLens which, double rawRow, double rawCol, cv::Vec3d& direction) const {
  const LensModel& lens = m_lens[static_cast<int>(which)];
  double x = 0.0;
  double y = 0.0;
  if (!undistortPoint(lens.distortion, (rawCol - lens.centreCol) / lens.focalX, (rawRow - lens.centreRow) / lens.focalY,
                      x, y))
    return false;
  direction = lens.rectifyingRotation * cv::Vec3d(x, y, 1.0);
  return true;
}

bool RigModel::rawToRectified(RigLens which, double rawRow, double rawCol, double& rectRow, double& rectCol) const {
  cv::Vec3d ray;
  if (!rawRay(which, rawRow, rawCol, ray) || !(ray[2] > 0.0)) return false;
  rectCol = m_focal * ray[0] / ray[2] + m_centreCol;
  rectRow = m_focal * ray[1] / ray[2] + m_centreRow;
  return true;
}

}  // namespace SteloxRig
