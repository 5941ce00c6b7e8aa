#include "ChessboardCalibration.h"

#include <fstream>

#include <opencv2/calib3d.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace SteloxRig {

bool ChessboardCalibration::findCorners(const cv::Mat& grey, cv::Size boardSize, std::vector<cv::Point2f>& corners) {
  corners.clear();
  if (!cv::findChessboardCorners(grey, boardSize, corners,
                                 cv::CALIB_CB_ADAPTIVE_THRESH | cv::CALIB_CB_NORMALIZE_IMAGE))
    return false;
  cv::cornerSubPix(grey, corners, cv::Size(11, 11), cv::Size(-1, -1),
                   cv::TermCriteria(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 100, 1e-3));
  return true;
}

ChessboardCalibration::Result ChessboardCalibration::calibrate(const std::vector<std::string>& leftImages,
                                                               const std::vector<std::string>& rightImages,
                                                               cv::Size boardSize, double squareSize) {
  if (leftImages.size() != rightImages.size())
    throw RigError("chessboards: " + std::to_string(leftImages.size()) + " left images but " +
                   std::to_string(rightImages.size()) + " right images");
  if (boardSize.width < 2 || boardSize.height < 2 || !(squareSize > 0.0))
    throw RigError("chessboards: the board needs at least 2 x 2 inner corners and a positive square size");

  std::vector<cv::Point3f> board;
  for (int r = 0; r < boardSize.height; ++r)
    for (int c = 0; c < boardSize.width; ++c)
      board.emplace_back(static_cast<float>(c * squareSize), static_cast<float>(r * squareSize), 0.0f);

  Result result;
  cv::Size size;
  std::vector<std::vector<cv::Point3f>> objectPoints;
  std::vector<std::vector<cv::Point2f>> leftPoints;
  std::vector<std::vector<cv::Point2f>> rightPoints;
  for (std::size_t i = 0; i < leftImages.size(); ++i) {
    std::vector<cv::Point2f> corners[2];
    bool found = true;
    for (int side = 0; side < 2; ++side) {
      const std::string& path = side == 0 ? leftImages[i] : rightImages[i];
      // Checked first so that OpenCV does not log its own complaint.
      if (!std::ifstream(path)) throw RigError(path + ": cannot read the image");
      const cv::Mat image = cv::imread(path, cv::IMREAD_GRAYSCALE);
      if (image.empty()) throw RigError(path + ": cannot read the image");
      if (size.area() == 0) size = image.size();
      if (image.size() != size)
        throw RigError(path + ": image size " + std::to_string(image.cols) + " x " + std::to_string(image.rows) +
                       " differs from " + std::to_string(size.width) + " x " + std::to_string(size.height) +
                       " of the first image");
      found = found && findCorners(image, boardSize, corners[side]);
    }
    if (!found) continue;
    objectPoints.push_back(board);
    leftPoints.push_back(corners[0]);
    rightPoints.push_back(corners[1]);
  }
  result.pairs = static_cast<int>(objectPoints.size());
  if (result.pairs < 3)
    throw RigError("chessboards: the " + std::to_string(boardSize.width) + " x " + std::to_string(boardSize.height) +
                   " board was found in both images of only " + std::to_string(result.pairs) +
                   " pairs; at least 3 are needed");

  OpenCvStereoCalibration& c = result.calibration;
  c.imageSize = size;
  std::vector<cv::Mat> rvecs;
  std::vector<cv::Mat> tvecs;
  // Each camera alone first: the stereo refinement then starts from good
  // intrinsics and only has to settle the pair.
  const int flags = cv::CALIB_FIX_K3;
  cv::calibrateCamera(objectPoints, leftPoints, size, c.M1, c.D1, rvecs, tvecs, flags);
  cv::calibrateCamera(objectPoints, rightPoints, size, c.M2, c.D2, rvecs, tvecs, flags);
  cv::Mat E;
  cv::Mat F;
  result.rms = cv::stereoCalibrate(objectPoints, leftPoints, rightPoints, c.M1, c.D1, c.M2, c.D2, size, c.R, c.T, E, F,
                                   cv::CALIB_USE_INTRINSIC_GUESS | flags,
                                   cv::TermCriteria(cv::TermCriteria::COUNT + cv::TermCriteria::EPS, 100, 1e-6));
  c.D1 = c.D1.reshape(1, 1).colRange(0, 5).clone();
  c.D2 = c.D2.reshape(1, 1).colRange(0, 5).clone();
  return result;
}

}  // namespace SteloxRig
