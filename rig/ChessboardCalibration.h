#ifndef STELOX_RIG_CHESSBOARDCALIBRATION_H
#define STELOX_RIG_CHESSBOARDCALIBRATION_H

#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "RigModel.h"

namespace SteloxRig {

// Stereo calibration from chessboard pairs: finds the inner corners in every
// left and right image, calibrates each camera (OpenCV's five-coefficient
// distortion model) and then the pair with cv::stereoCalibrate.
class ChessboardCalibration {
public:
  struct Result {
    OpenCvStereoCalibration calibration;
    double rms = 0.0;  // stereo reprojection error, pixels
    int pairs = 0;     // pairs whose board was found in both images
  };

  // boardSize counts inner corners (columns x rows); squareSize is in metres.
  // Throws RigError naming the file for an unreadable image, images of
  // different sizes, unequal lists, or fewer than three pairs with the board
  // found in both images (a pair where one image lacks it is skipped).
  static Result calibrate(const std::vector<std::string>& leftImages, const std::vector<std::string>& rightImages,
                          cv::Size boardSize, double squareSize);

  // Inner corners of the board in one 8-bit image, refined to sub-pixel
  // accuracy; false when the board is not found.
  static bool findCorners(const cv::Mat& grey, cv::Size boardSize, std::vector<cv::Point2f>& corners);
};

}  // namespace SteloxRig

#endif
