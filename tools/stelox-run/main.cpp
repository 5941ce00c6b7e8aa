// stelox-run: the kit's main job. Reads a calibration text (the file named by
// the first argument, or the built-in sample) and prints what it holds.
#include "CalibrationReport.h"
#include "SampleCalibration.h"

#include "calibration/ConfigFile.h"
#include "context/SteloxHelper.h"
#include "stelox.h"

#include <cstdio>
#include <string>

namespace {

// The reader's failure as the interface reports it: the file's own result,
// else the first failing configuration's, else a text without configurations.
SteloxError readerError(const ConfigFile& file) {
  if (file.getParseResult() != ParseErrorOk)
    return SteloxHelper::parseToSteloxError(file.getParseResult());
  if (file.getNumberOfConfigurations() == 0) return SteloxErrorCorruptConfigurationFile;
  for (int c = 0; c < file.getNumberOfConfigurations(); ++c) {
    const ParseError result = file.getConfigSection(c)->getParseResult();
    if (result != ParseErrorOk) return SteloxHelper::parseToSteloxError(result);
  }
  return SteloxErrorOk;
}

}  // namespace

int main(int argc, char** argv) {
  std::printf("%s\n", steloxVersion());

  ConfigFile file;
  if (argc > 1) {
    std::printf("Calibration file: %s\n", argv[1]);
    file.load(std::string(argv[1]));
  } else {
    std::printf("Calibration: built-in sample\n");
    file.loadBuffer(sampleCalibration());
  }

  const SteloxError error = readerError(file);
  if (error != SteloxErrorOk) {
    std::fflush(stdout);
    std::fprintf(stderr, "stelox-run: %s\n", steloxErrorToString(error));
    return 1;
  }
  printCalibration(file, stdout);
  return 0;
}
