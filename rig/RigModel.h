#ifndef STELOX_RIG_RIGMODEL_H
#define STELOX_RIG_RIGMODEL_H

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace SteloxRig {

// Lens index as the rectification managers number them: the reference lens at
// position (0, 0, 0) is the right lens, the lens at (-1, 0, 0) the left one.
enum class RigLens { Right = 0, Left = 1 };
constexpr int kRigLensCount = 2;

// OpenCV's five distortion coefficients, in OpenCV order: k1, k2, p1, p2, k3.
using Distortion = std::array<double, 5>;

// One raw lens: its own pinhole camera, its distortion, and the rotation that
// turns a direction in the raw camera frame into the shared rectified frame
// (p_rectified = rectifyingRotation * p_raw, like OpenCV's R1 / R2).
// Pixel coordinates put the centre of pixel (row i, col j) at (i, j).
struct LensModel {
  double focalX = 1.0;
  double focalY = 1.0;
  double centreCol = 0.0;
  double centreRow = 0.0;
  Distortion distortion{};
  cv::Matx33d rectifyingRotation = cv::Matx33d::eye();
};

// The parameters of an ideal rig: both lenses share the rectified pinhole
// camera and differ from it only by distortion and a small rotation.
struct IdealRigParameters {
  int rows = 480;
  int cols = 640;
  double focalLength = 500.0;  // pixels
  // Principal point in pixels; negative values mean the image centre.
  double centreRow = -1.0;
  double centreCol = -1.0;
  double baseline = 0.12;  // metres
  std::array<Distortion, kRigLensCount> distortion{};
  // Rotation of each raw camera relative to the rectified camera, as an
  // OpenCV rotation vector in radians (p_raw = R(rotation) * p_rectified).
  std::array<cv::Vec3d, kRigLensCount> rotation{};
};

// What OpenCV's stereo calibration produces: camera 1 is the left camera,
// camera 2 the right one, and p2 = R * p1 + T maps camera-1 coordinates into
// camera-2 coordinates. T is in the unit of the calibration target (metres
// here, so the baseline comes out in metres).
struct OpenCvStereoCalibration {
  cv::Size imageSize;
  cv::Mat M1, D1, M2, D2, R, T;
};

// Thrown by the model sources for bad input; the message names the file (when
// there is one) and the problem.
class RigError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// A calibrated stereo rig: raw image size, the rectified pinhole camera shared
// by both lenses, the baseline and the two raw lenses. The right rectified
// camera is the reference frame (x right, y down, z forward, metres); the left
// lens sits at (-baseline, 0, 0), so a point at depth z has disparity
// focalLength * baseline / z and appears in the left rectified image that many
// columns to the right of its right-image column.
class RigModel {
public:
  RigModel() = default;

  static RigModel ideal(const IdealRigParameters& parameters);
  // Rectifies the calibration with cv::stereoRectify (zero disparity, default
  // scaling, same image size) and takes camera 1 as our left lens, camera 2
  // as our right lens. Throws RigError for a calibration that is not a
  // horizontal pair with camera 1 on the left.
  static RigModel fromOpenCv(const OpenCvStereoCalibration& calibration);
  // Reads M1, D1, M2, D2 from the intrinsics file and R, T from the
  // extrinsics file as OpenCV's stereo calibration writes them. The image size
  // comes from an "image_size" / "imageSize" entry of either file, else from
  // size (RigError when neither gives one, or when they disagree).
  static OpenCvStereoCalibration readOpenCvFiles(const std::string& intrinsicsPath, const std::string& extrinsicsPath,
                                                 cv::Size size = cv::Size());

  // Raw and rectified images have the same size.
  int rows() const { return m_rows; }
  int cols() const { return m_cols; }
  double focalLength() const { return m_focal; }
  double centreRow() const { return m_centreRow; }
  double centreCol() const { return m_centreCol; }
  double baseline() const { return m_baseline; }
  const LensModel& lens(RigLens lens) const { return m_lens[static_cast<int>(lens)]; }

  void setGeometry(int rows, int cols, double focal, double centreRow, double centreCol, double baseline);
  void setLens(RigLens lens, const LensModel& model) { m_lens[static_cast<int>(lens)] = model; }

  // Optical centre of a lens in the reference frame.
  cv::Vec3d lensCentre(RigLens lens) const;

  // Exact point mappings between rectified and raw pixels of one lens (pixel
  // centres at whole coordinates). False when the point has no image (behind
  // the camera, or the distortion cannot be inverted there).
  bool rectifiedToRaw(RigLens lens, double rectRow, double rectCol, double& rawRow, double& rawCol) const;
  bool rawToRectified(RigLens lens, double rawRow, double rawCol, double& rectRow, double& rectCol) const;

  // Direction, in the reference frame, of the ray through a raw pixel position.
  bool rawRay(RigLens lens, double rawRow, double rawCol, cv::Vec3d& direction) const;
  // Direction of the ray through a rectified pixel position (same for both
  // lenses; only the origin differs).
  cv::Vec3d rectifiedRay(double rectRow, double rectCol) const;

private:
  int m_rows = 0;
  int m_cols = 0;
  double m_focal = 1.0;
  double m_centreRow = 0.0;
  double m_centreCol = 0.0;
  double m_baseline = 0.0;
  std::array<LensModel, kRigLensCount> m_lens{};
};

// Applies OpenCV's distortion model to normalised coordinates (x, y).
void distortPoint(const Distortion& d, double x, double y, double& xd, double& yd);
// Inverts distortPoint by Newton's method; false when it does not converge or
// the distortion folds over at that point.
bool undistortPoint(const Distortion& d, double xd, double yd, double& x, double& y);

}  // namespace SteloxRig

#endif
