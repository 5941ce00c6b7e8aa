// stelox-run: the kit's main job on a built-in default. A synthetic rig is
// calibrated and renders a stereo pair; the library loads the calibration,
// rectifies and matches the pair through its C interface; the run prints the
// resolution, the time of each stage, the valid-pixel density and the
// disparity error against the ground truth, and writes the rectified, edge
// and disparity images as PGM files. With --report it prints what a
// calibration text holds instead.
#include "CalibrationReport.h"
#include "SampleCalibration.h"
#include "SyntheticPipeline.h"
#include "calibration/ConfigFile.h"
#include "context/SteloxHelper.h"
#include "stelox.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

// The reader's failure as the interface reports it: the file's own result,
// else the first failing configuration's, else a text without configurations.
SteloxError readerError(const ConfigFile& file)
{
  if (file.getParseResult() != ParseErrorOk)
    return SteloxHelper::parseToSteloxError(file.getParseResult());
  if (file.getNumberOfConfigurations() == 0)
    return SteloxErrorCorruptConfigurationFile;
  for (int c = 0; c < file.getNumberOfConfigurations(); ++c) {
    const ParseError result = file.getConfigSection(c)->getParseResult();
    if (result != ParseErrorOk)
      return SteloxHelper::parseToSteloxError(result);
  }
  return SteloxErrorOk;
}

// Header facts and lens blocks of a calibration file, or of the built-in
// sample when no file is named.
int report(const char* fileName)
{
  ConfigFile file;
  if (fileName) {
    std::printf("Calibration file: %s\n", fileName);
    file.load(std::string(fileName));
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

void usage()
{
  std::fprintf(stderr,
               "usage: stelox-run [--out DIR] [--large] [--half] [--wide] [--ideal] [--colour] [--seed N]\n"
               "       stelox-run --report [CALIBRATION_FILE]\n"
               "  --out DIR   output folder (default out)\n"
               "  --large     1280 x 960 source instead of 640 x 480\n"
               "  --half      output at half the source resolution\n"
               "  --wide      wide baseline (0.30 m instead of 0.12 m)\n"
               "  --ideal     lenses without distortion\n"
               "  --colour    colour pair through the colour path\n"
               "  --report    print the header facts and lens blocks of a calibration (default: a sample)\n");
}

// Binary PGM; 16-bit samples are written most significant byte first.
bool writePgm(const std::string& path, int rows, int cols, const void* pixels, bool sixteenBits)
{
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file)
    return false;
  std::fprintf(file, "P5\n%d %d\n%d\n", cols, rows, sixteenBits ? 65535 : 255);
  const std::size_t count = static_cast<std::size_t>(rows) * cols;
  bool ok = true;
  if (sixteenBits) {
    const unsigned short* values = static_cast<const unsigned short*>(pixels);
    for (std::size_t i = 0; i < count && ok; ++i)
      ok = std::fputc(values[i] >> 8, file) != EOF && std::fputc(values[i] & 0xFF, file) != EOF;
  } else {
    ok = std::fwrite(pixels, 1, count, file) == count;
  }
  return std::fclose(file) == 0 && ok;
}

bool writeGrey(const std::string& path, const SteloxRun::GreyImage& image)
{
  return !image.pixels.empty() && writePgm(path, image.rows, image.cols, image.pixels.data(), false);
}

}  // namespace

int main(int argc, char** argv)
{
  SteloxRun::RigCase rigCase;
  rigCase.distortion = true;
  std::string outDir = "out";
  if (argc > 1 && std::string(argv[1]) == "--report") {
    std::printf("%s\n", steloxVersion());
    return report(argc > 2 ? argv[2] : nullptr);
  }
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--out" && i + 1 < argc) {
      outDir = argv[++i];
    } else if (arg == "--large") {
      rigCase.rows = 960;
      rigCase.cols = 1280;
    } else if (arg == "--half") {
      rigCase.outputDivisor = 2;
    } else if (arg == "--wide") {
      rigCase.baseline = 0.30;
    } else if (arg == "--ideal") {
      rigCase.distortion = false;
    } else if (arg == "--colour") {
      rigCase.colour = true;
    } else if (arg == "--seed" && i + 1 < argc) {
      rigCase.seed = std::strtoull(argv[++i], nullptr, 10);
    } else {
      usage();
      return 2;
    }
  }
  rigCase.sceneMaxDisparity = 48.0 * rigCase.cols / 640.0;
  rigCase.disparities = rigCase.cols / rigCase.outputDivisor > 640 ? 128 : 64;

  std::printf("%s\n", steloxVersion());
  std::printf("rig: %d x %d source, baseline %.2f m, %s lenses, %s pair\n", rigCase.cols, rigCase.rows,
              rigCase.baseline, rigCase.distortion ? "distorted" : "ideal", rigCase.colour ? "colour" : "mono");
  SteloxRun::RunResult run;
  try {
    run = SteloxRun::runSyntheticPipeline(rigCase);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "stelox-run: the synthetic rig failed: %s\n", error.what());
    return 1;
  }
  if (run.error != SteloxErrorOk) {
    std::fprintf(stderr, "stelox-run: %s failed: %s\n", run.failedCall.c_str(), steloxErrorToString(run.error));
    return 1;
  }
  std::printf("output: %d x %d, disparities 0 .. %d\n", run.outCols, run.outRows, rigCase.disparities);
  std::printf("time: calibrate %.1f ms, load %.1f ms, rectify %.2f ms (first frame, tables included) / %.2f ms, "
              "stereo %.2f ms (first frame) / %.2f ms\n",
              run.times.calibrate, run.times.load, run.times.rectify, run.times.rectifyAgain, run.times.stereo,
              run.times.stereoAgain);
  const SteloxRun::Score& score = run.score;
  std::printf("scored pixels (textured, seen by both lenses, off depth edges): %ld\n", score.textured);
  std::printf("valid density: %.1f %%\n", 100.0 * score.density());
  std::printf("disparity error: %.1f %% within 0.5 px, mean %.3f px\n", 100.0 * score.accuracy(),
              score.meanAbsError());
  std::printf("3D points: %ld valid, median depth error %.2f %% against the scene\n", run.depthPoints,
              100.0 * run.medianDepthError);

  if (mkdir(outDir.c_str(), 0777) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "stelox-run: cannot create %s: %s\n", outDir.c_str(), std::strerror(errno));
    return 1;
  }
  // The 8-bit disparity view spreads the searched range over 0 .. 255;
  // invalid pixels are black.
  std::vector<unsigned char> view(run.disparity.size());
  for (std::size_t i = 0; i < view.size(); ++i) {
    const unsigned short value = run.disparity[i];
    view[i] = value >= 0xFF00 ? 0 : static_cast<unsigned char>(std::min(255, value * 255 / (16 * rigCase.disparities)));
  }
  const std::string base = outDir + "/";
  const bool written = writeGrey(base + "rectified_right.pgm", run.rectified[0]) &&
                       writeGrey(base + "rectified_left.pgm", run.rectified[1]) &&
                       writeGrey(base + "edge_right.pgm", run.edge[0]) && writeGrey(base + "edge_left.pgm", run.edge[1]) &&
                       writePgm(base + "disparity.pgm", run.outRows, run.outCols, view.data(), false) &&
                       writePgm(base + "disparity16.pgm", run.outRows, run.outCols, run.disparity.data(), true);
  if (!written) {
    std::fprintf(stderr, "stelox-run: cannot write the images to %s\n", outDir.c_str());
    return 1;
  }
  std::printf("images written to %s/: rectified_{right,left}.pgm, edge_{right,left}.pgm, disparity.pgm, "
              "disparity16.pgm\n",
              outDir.c_str());
  return 0;
}
