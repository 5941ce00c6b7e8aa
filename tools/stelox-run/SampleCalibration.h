// The built-in calibration text the main job reads when no file is given: one
// narrow two-lens configuration with small, exact warp tables.
#ifndef STELOX_TOOLS_STELOXRUN_SAMPLECALIBRATION_H
#define STELOX_TOOLS_STELOXRUN_SAMPLECALIBRATION_H

// Zero-terminated; lives for the whole program.
const char* sampleCalibration();

#endif
