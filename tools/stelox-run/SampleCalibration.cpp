#include "SampleCalibration.h"

namespace {

// A GM2 camera at 640 x 480 calibrated on a 1280 x 960 sensor with a 12 cm
// baseline. Focal lengths and image centre are normalised by the image size.
// Each lens names two rectified-to-raw and two raw-to-rectified tables
// (column, then row). The tables are clamped cubic splines on one span whose
// coefficients make them exact linear functions: identity for the right lens,
// a column shift of 0.002 for the left one.
const char kSample[] = R"(# Stelox sample calibration
# Two-lens camera, narrow baseline
Version "GEMLO 4.0"
Product gemlo
SerialNumber 10001
PartId GM2-06S2C
Date 11-Dec-2026
SensorResolution 1280 960
CalibratedSensorRoiResolution 1280 960
CalibratedSensorRoiOffset 0 0
NumCameras 2

Resolution 480 640
LowPass on
Rectify on
EdgeCorrelation on
DoStereo on
EdgeMaskSize 7
StereoMaskSize 11

Disparity 0 64
TextureValidation on
TextureValidationThreshold 0.5
TextureValidationMapping 255
BackForthValidation on
BackForthValidationMapping 251
SubPixelInterpolate on
StrictSubpixelValidation off
SurfaceValidation on
SurfaceValidationMapping 252
SurfaceValidationDifference 1.00
SurfaceValidationSize 100

CameraConfiguration 2CameraHorizontal
FocalLength 0.9 1.2
ImageCenter 0.5 0.5
BaseLine 0.12

BeginCamera
Id 0
Position 0 0 0
Gain 1.0
RectifiedSpline 1 2
DistortedSpline 3 4
EndCamera

BeginCamera
Id 1
Position -1 0 0
Gain 1.0
RectifiedSpline 5 6
DistortedSpline 7 8
EndCamera

# Right lens, rectified to raw: column, row
BeginWarp
Id 1
NumberKnots 8
KnotsX 0 0 0 0 1 1 1 1
KnotsY 0 0 0 0 1 1 1 1
NumberCoefs 4 4
Coefs 0 0 0 0
      0.333333333333 0.333333333333 0.333333333333 0.333333333333
      0.666666666667 0.666666666667 0.666666666667 0.666666666667
      1 1 1 1
EndWarp
BeginWarp
Id 2
NumberKnots 8
KnotsX 0 0 0 0 1 1 1 1
KnotsY 0 0 0 0 1 1 1 1
NumberCoefs 4 4
Coefs 0 0.333333333333 0.666666666667 1
      0 0.333333333333 0.666666666667 1
      0 0.333333333333 0.666666666667 1
      0 0.333333333333 0.666666666667 1
EndWarp
# Right lens, raw to rectified: column, row
BeginWarp
Id 3
NumberKnots 8
KnotsX 0 0 0 0 1 1 1 1
KnotsY 0 0 0 0 1 1 1 1
NumberCoefs 4 4
Coefs 0 0 0 0
      0.333333333333 0.333333333333 0.333333333333 0.333333333333
      0.666666666667 0.666666666667 0.666666666667 0.666666666667
      1 1 1 1
EndWarp
BeginWarp
Id 4
NumberKnots 8
KnotsX 0 0 0 0 1 1 1 1
KnotsY 0 0 0 0 1 1 1 1
NumberCoefs 4 4
Coefs 0 0.333333333333 0.666666666667 1
      0 0.333333333333 0.666666666667 1
      0 0.333333333333 0.666666666667 1
      0 0.333333333333 0.666666666667 1
EndWarp
# Left lens, rectified to raw: column shifted by 0.002, row
BeginWarp
Id 5
NumberKnots 8
KnotsX 0 0 0 0 1 1 1 1
KnotsY 0 0 0 0 1 1 1 1
NumberCoefs 4 4
Coefs 0.002 0.002 0.002 0.002
      0.335333333333 0.335333333333 0.335333333333 0.335333333333
      0.668666666667 0.668666666667 0.668666666667 0.668666666667
      1.002 1.002 1.002 1.002
EndWarp
BeginWarp
Id 6
NumberKnots 8
KnotsX 0 0 0 0 1 1 1 1
KnotsY 0 0 0 0 1 1 1 1
NumberCoefs 4 4
Coefs 0 0.333333333333 0.666666666667 1
      0 0.333333333333 0.666666666667 1
      0 0.333333333333 0.666666666667 1
      0 0.333333333333 0.666666666667 1
EndWarp
# Left lens, raw to rectified: column shifted back, row
BeginWarp
Id 7
NumberKnots 8
KnotsX 0 0 0 0 1 1 1 1
KnotsY 0 0 0 0 1 1 1 1
NumberCoefs 4 4
Coefs -0.002 -0.002 -0.002 -0.002
      0.331333333333 0.331333333333 0.331333333333 0.331333333333
      0.664666666667 0.664666666667 0.664666666667 0.664666666667
      0.998 0.998 0.998 0.998
EndWarp
BeginWarp
Id 8
NumberKnots 8
KnotsX 0 0 0 0 1 1 1 1
KnotsY 0 0 0 0 1 1 1 1
NumberCoefs 4 4
Coefs 0 0.333333333333 0.666666666667 1
      0 0.333333333333 0.666666666667 1
      0 0.333333333333 0.666666666667 1
      0 0.333333333333 0.666666666667 1
EndWarp
)";

}  // namespace

const char* sampleCalibration() { return kSample; }
