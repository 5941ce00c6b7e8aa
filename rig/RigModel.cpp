#include "RigModel.h"

#include <cmath>
#include <fstream>

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

namespace {

// Reads a matrix of the given shape (any element type) as doubles; the
// distortion accepts 4 or 5 coefficients, as a row or a column.
cv::Mat readMatrix(const cv::FileStorage& storage, const std::string& path, const char* key, int rows, int cols) {
  const cv::FileNode node = storage[key];
  if (node.empty()) throw RigError(path + ": no matrix " + key);
  cv::Mat m;
  try {
    node >> m;
  } catch (const cv::Exception&) {
    throw RigError(path + ": " + key + " is not a matrix");
  }
  if (m.empty() || m.channels() != 1) throw RigError(path + ": " + key + " is not a matrix");
  m.convertTo(m, CV_64F);
  if (cols == 5) {
    if ((m.total() != 4 && m.total() != 5) || (m.rows != 1 && m.cols != 1))
      throw RigError(path + ": " + key + " must hold the 4 or 5 coefficients k1 k2 p1 p2 [k3]");
    cv::Mat d = cv::Mat::zeros(1, 5, CV_64F);
    for (std::size_t i = 0; i < m.total(); ++i) d.at<double>(static_cast<int>(i)) = m.at<double>(static_cast<int>(i));
    return d;
  }
  if (static_cast<int>(m.total()) != rows * cols || (m.rows != rows && !(rows == 3 && cols == 1 && m.rows == 1)))
    throw RigError(path + ": " + key + " must be a " + std::to_string(rows) + " x " + std::to_string(cols) + " matrix");
  m = m.reshape(1, rows);
  for (double v : cv::Mat_<double>(m))
    if (!std::isfinite(v)) throw RigError(path + ": " + key + " holds a value that is not a finite number");
  return m;
}

cv::Size readSize(const cv::FileStorage& storage, const std::string& path) {
  for (const char* key : {"image_size", "imageSize"}) {
    const cv::FileNode node = storage[key];
    if (node.empty()) continue;
    cv::Mat m;
    try {
      node >> m;
    } catch (const cv::Exception&) {
    }
    std::vector<int> values;
    if (!m.empty() && m.total() == 2) {
      m.convertTo(m, CV_32S);
      values = {m.at<int>(0), m.at<int>(1)};
    } else if (node.isSeq() && node.size() == 2) {
      values = {static_cast<int>(node[0]), static_cast<int>(node[1])};
    }
    if (values.size() != 2 || values[0] < 2 || values[1] < 2)
      throw RigError(path + ": " + key + " must hold the width and height of the images");
    return cv::Size(values[0], values[1]);
  }
  return cv::Size();
}

cv::FileStorage openStorage(const std::string& path) {
  // Checked here first so that OpenCV does not log its own complaint.
  if (!std::ifstream(path)) throw RigError(path + ": cannot open the file");
  cv::FileStorage storage;
  try {
    if (!storage.open(path, cv::FileStorage::READ)) throw RigError(path + ": cannot open the file");
  } catch (const cv::Exception&) {
    throw RigError(path + ": not an OpenCV YAML or XML file");
  }
  return storage;
}

Distortion toDistortion(const cv::Mat& d) {
  Distortion out{};
  for (int i = 0; i < 5; ++i) out[i] = d.at<double>(i);
  return out;
}

}  // namespace

OpenCvStereoCalibration RigModel::readOpenCvFiles(const std::string& intrinsicsPath, const std::string& extrinsicsPath,
                                                  cv::Size size) {
  OpenCvStereoCalibration c;
  cv::FileStorage intrinsics = openStorage(intrinsicsPath);
  c.M1 = readMatrix(intrinsics, intrinsicsPath, "M1", 3, 3);
  c.D1 = readMatrix(intrinsics, intrinsicsPath, "D1", 1, 5);
  c.M2 = readMatrix(intrinsics, intrinsicsPath, "M2", 3, 3);
  c.D2 = readMatrix(intrinsics, intrinsicsPath, "D2", 1, 5);
  cv::FileStorage extrinsics = openStorage(extrinsicsPath);
  c.R = readMatrix(extrinsics, extrinsicsPath, "R", 3, 3);
  c.T = readMatrix(extrinsics, extrinsicsPath, "T", 3, 1);
  for (const auto& [storage, path] : {std::pair<cv::FileStorage*, const std::string*>{&intrinsics, &intrinsicsPath},
                                      {&extrinsics, &extrinsicsPath}}) {
    const cv::Size fileSize = readSize(*storage, *path);
    if (fileSize.area() == 0) continue;
    if (size.area() != 0 && size != fileSize)
      throw RigError(*path + ": image size " + std::to_string(fileSize.width) + " x " +
                     std::to_string(fileSize.height) + " differs from " + std::to_string(size.width) + " x " +
                     std::to_string(size.height));
    size = fileSize;
  }
  if (size.area() == 0) throw RigError(intrinsicsPath + ": no image size in the files; give it explicitly");
  c.imageSize = size;
  return c;
}

RigModel RigModel::fromOpenCv(const OpenCvStereoCalibration& c) {
  if (c.imageSize.width < 2 || c.imageSize.height < 2) throw RigError("OpenCV calibration: no image size");
  cv::Mat R1, R2, P1, P2, Q;
  cv::stereoRectify(c.M1, c.D1, c.M2, c.D2, c.imageSize, c.R, c.T, R1, R2, P1, P2, Q, cv::CALIB_ZERO_DISPARITY, -1.0,
                    c.imageSize);
  const double focal = P1.at<double>(0, 0);
  // P2 = [f 0 cx f * tx; 0 f cy f * ty; 0 0 1 0] in the rectified frame of camera 1.
  const double tx = P2.at<double>(0, 3) / focal;
  const double ty = P2.at<double>(1, 3) / focal;
  if (!(std::abs(tx) > 0.0) || std::abs(ty) > 1e-9 * std::abs(tx))
    throw RigError("OpenCV calibration: the cameras are not side by side (vertical rectification)");
  if (tx > 0.0)
    throw RigError("OpenCV calibration: camera 1 is to the right of camera 2; swap the left and right images");
  RigModel rig;
  rig.setGeometry(c.imageSize.height, c.imageSize.width, focal, P1.at<double>(1, 2), P1.at<double>(0, 2), -tx);
  const struct {
    RigLens lens;
    const cv::Mat& M;
    const cv::Mat& D;
    const cv::Mat& rotation;
  } lenses[] = {{RigLens::Left, c.M1, c.D1, R1}, {RigLens::Right, c.M2, c.D2, R2}};
  for (const auto& l : lenses) {
    LensModel lens;
    lens.focalX = l.M.at<double>(0, 0);
    lens.focalY = l.M.at<double>(1, 1);
    lens.centreCol = l.M.at<double>(0, 2);
    lens.centreRow = l.M.at<double>(1, 2);
    if (std::abs(l.M.at<double>(0, 1)) > 1e-9 * lens.focalX)
      throw RigError("OpenCV calibration: camera matrices with skew are not supported");
    lens.distortion = toDistortion(l.D);
    lens.rectifyingRotation = cv::Matx33d(l.rotation);
    rig.setLens(l.lens, lens);
  }
  return rig;
}

RigModel RigModel::ideal(const IdealRigParameters& parameters) {
  if (parameters.rows < 2 || parameters.cols < 2) throw RigError("ideal rig: the image size must be at least 2 x 2");
  if (!(parameters.focalLength > 0.0)) throw RigError("ideal rig: the focal length must be positive");
  if (!(parameters.baseline > 0.0)) throw RigError("ideal rig: the baseline must be positive");
  RigModel rig;
  const double centreRow = parameters.centreRow < 0.0 ? 0.5 * (parameters.rows - 1) : parameters.centreRow;
  const double centreCol = parameters.centreCol < 0.0 ? 0.5 * (parameters.cols - 1) : parameters.centreCol;
  rig.setGeometry(parameters.rows, parameters.cols, parameters.focalLength, centreRow, centreCol, parameters.baseline);
  for (int i = 0; i < kRigLensCount; ++i) {
    LensModel lens;
    lens.focalX = lens.focalY = parameters.focalLength;
    lens.centreRow = centreRow;
    lens.centreCol = centreCol;
    lens.distortion = parameters.distortion[i];
    cv::Matx33d rawFromRectified;
    cv::Rodrigues(parameters.rotation[i], rawFromRectified);
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
