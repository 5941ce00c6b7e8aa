// Prints what the calibration reader found: each configuration's header facts
// (only those present) and its lens blocks.
#ifndef STELOX_TOOLS_STELOXRUN_CALIBRATIONREPORT_H
#define STELOX_TOOLS_STELOXRUN_CALIBRATIONREPORT_H

#include "calibration/ConfigFile.h"

#include <cstdio>

void printCalibration(const ConfigFile& file, std::FILE* out);

#endif
