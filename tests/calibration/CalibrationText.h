// Small calibration texts shared by the reader tests.
#ifndef STELOX_TESTS_CALIBRATION_CALIBRATIONTEXT_H
#define STELOX_TESTS_CALIBRATION_CALIBRATIONTEXT_H

#include <string>

namespace calibration_text {

// One warp block of a 1 x 1 coefficient grid with 5 knots per axis.
inline std::string warpBlock(int id, double coef = 0.5) {
  return "BeginWarp\n"
         "Id " + std::to_string(id) + "\n"
         "NumberKnots 5\n"
         "KnotsX 0 0 0 0 1\n"
         "KnotsY 0 0 0 0 1\n"
         "NumberCoefs 1 1\n"
         "Coefs " + std::to_string(coef) + "\n"
         "EndWarp\n";
}

inline std::string lensBlock(int id, const char* position) {
  return "BeginCamera\n"
         "Id " + std::to_string(id) + "\n"
         "Position " + position + "\n"
         "Gain 1.0\n"
         "RectifiedSpline 1 2\n"
         "DistortedSpline 3 4\n"
         "EndCamera\n";
}

// A complete two-lens configuration.
inline std::string twoLensConfiguration(const char* baseline = "0.12") {
  return std::string("Version \"GEMLO 4.0\"\n"
                     "Product GEMLO\n"
                     "SerialNumber 1234\n"
                     "PartId GM2-T\n"
                     "FocalLength 0.8 1.1\n"
                     "ImageCenter 0.5 0.5\n"
                     "BaseLine ") + baseline + "\n"
         "Resolution 480 640\n"
         "CameraConfiguration 2CameraHorizontal\n" +
         lensBlock(0, "0 0 0") + lensBlock(1, "-1 0 0") + warpBlock(1) + warpBlock(2) +
         warpBlock(3) + warpBlock(4);
}

}  // namespace calibration_text

#endif
