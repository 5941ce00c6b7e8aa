// Settings of one frame's matching, filled by the context right before use and
// copied by value into every band task.
#ifndef STELOX_MATCH_STEREOPARAMETERS_H
#define STELOX_MATCH_STEREOPARAMETERS_H

#include <memory>

namespace cv {
class StereoMatcher;
}

namespace Stelox {

struct StereoParameters {
  int cameraConfiguration = 0;  // 0 narrow, 1 wide
  int stereoMaskSize = 7;       // side of the square correlation window
  int minimumDisparity = 0;
  int maximumDisparity = 63;
  bool textureValidation = true;
  double textureThreshold = 0.0;
  unsigned char textureMapping = 255;    // invalid code 0xFF00 + mapping
  bool backForthValidation = true;
  unsigned char backForthMapping = 251;
  bool surfaceValidation = true;
  int surfaceSize = 0;                   // smallest surface kept, in pixels
  double surfaceDifference = 1.0;        // largest disparity step inside a surface
  unsigned char surfaceMapping = 252;
  unsigned char subpixelMapping = 253;   // also the fill of unmatched pixels
  int stereoAlgorithm = 0;               // 0 built-in correlation, 1 .. 4 OpenCV
  // The OpenCV matcher of algorithms 1 .. 4; copies of the record share it.
  std::shared_ptr<cv::StereoMatcher> matcher;
};

}  // namespace Stelox

#endif
