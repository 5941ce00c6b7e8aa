// stelox-calib: writes a calibration text for the library from an ideal rig,
// from OpenCV stereo calibration files or from chessboard image pairs.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "CalibrationWriter.h"
#include "ChessboardCalibration.h"
#include "RigModel.h"

using namespace SteloxRig;

namespace {

const char* const kUsage =
    "usage: stelox-calib -o FILE [--tolerance PX] [--serial N] [--part-id TEXT] [--comment TEXT]\n"
    "                    SOURCE [OPTIONS] [--next SOURCE [OPTIONS]]\n"
    "\n"
    "Writes a calibration text (version 4.0, two lenses) with fitted warp splines. A second\n"
    "configuration after --next makes a narrow and wide file (baselines on either side of 0.195 m).\n"
    "The file is refused, and not written, when a warp fit leaves more than the tolerance\n"
    "(default 0.05 px).\n"
    "\n"
    "sources:\n"
    "  ideal --size WxH --focal F --baseline METRES [--centre COL,ROW]\n"
    "        [--distortion k1,k2,p1,p2,k3] [--right-distortion ...] [--left-distortion ...]\n"
    "        [--right-rotation rx,ry,rz] [--left-rotation rx,ry,rz]   (radians)\n"
    "  opencv --intrinsics FILE --extrinsics FILE [--size WxH]\n"
    "        (M1 D1 M2 D2 and R T as OpenCV's stereo calibration writes them; camera 1 is the left one)\n"
    "  chessboard --left FILE... --right FILE... --board COLSxROWS --square METRES\n"
    "        [--left-list FILE] [--right-list FILE]   (one image path per line)\n"
    "\n"
    "stereo settings of a configuration:\n"
    "  --disparity MIN,COUNT  --stereo-mask N  --edge-mask N\n";

class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

std::vector<double> numbers(const std::string& option, const std::string& text, std::size_t count) {
  std::vector<double> values;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    char* end = nullptr;
    const double v = std::strtod(item.c_str(), &end);
    if (item.empty() || *end != '\0') throw UsageError(option + ": '" + text + "' is not a list of numbers");
    values.push_back(v);
  }
  if (values.size() != count)
    throw UsageError(option + ": expected " + std::to_string(count) + " numbers, got '" + text + "'");
  return values;
}

double number(const std::string& option, const std::string& text) { return numbers(option, text, 1)[0]; }

int integer(const std::string& option, const std::string& text) {
  const double v = number(option, text);
  if (v != static_cast<int>(v)) throw UsageError(option + ": '" + text + "' is not an integer");
  return static_cast<int>(v);
}

cv::Size pair(const std::string& option, const std::string& text) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) throw UsageError(option + ": expected WIDTHxHEIGHT, got '" + text + "'");
  return cv::Size(integer(option, text.substr(0, x)), integer(option, text.substr(x + 1)));
}

std::vector<std::string> readList(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw RigError(path + ": cannot open the image list");
  std::vector<std::string> files;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) files.push_back(line);
  return files;
}

// Options of one configuration: each option name with its values.
struct Section {
  std::string source;
  std::map<std::string, std::vector<std::string>> options;

  bool has(const std::string& name) const { return options.count(name) != 0; }
  const std::string& one(const std::string& name) const {
    const auto it = options.find(name);
    if (it == options.end()) throw UsageError(source + ": missing " + name);
    if (it->second.size() != 1) throw UsageError(name + ": expected one value");
    return it->second[0];
  }
};

RigModel idealRig(const Section& s) {
  IdealRigParameters parameters;
  const cv::Size size = pair("--size", s.one("--size"));
  parameters.cols = size.width;
  parameters.rows = size.height;
  parameters.focalLength = number("--focal", s.one("--focal"));
  parameters.baseline = number("--baseline", s.one("--baseline"));
  if (s.has("--centre")) {
    const std::vector<double> c = numbers("--centre", s.one("--centre"), 2);
    parameters.centreCol = c[0];
    parameters.centreRow = c[1];
  }
  const char* lensNames[] = {"right", "left"};
  for (int lens = 0; lens < kRigLensCount; ++lens) {
    const std::string own = std::string("--") + lensNames[lens] + "-distortion";
    const std::string option = s.has(own) ? own : "--distortion";
    if (s.has(option)) {
      const std::vector<double> d = numbers(option, s.one(option), 5);
      std::copy(d.begin(), d.end(), parameters.distortion[lens].begin());
    }
    const std::string rotation = std::string("--") + lensNames[lens] + "-rotation";
    if (s.has(rotation)) {
      const std::vector<double> r = numbers(rotation, s.one(rotation), 3);
      parameters.rotation[lens] = cv::Vec3d(r[0], r[1], r[2]);
    }
  }
  return RigModel::ideal(parameters);
}

RigModel opencvRig(const Section& s) {
  const cv::Size size = s.has("--size") ? pair("--size", s.one("--size")) : cv::Size();
  return RigModel::fromOpenCv(RigModel::readOpenCvFiles(s.one("--intrinsics"), s.one("--extrinsics"), size));
}

RigModel chessboardRig(const Section& s) {
  std::vector<std::string> files[2];
  const char* sides[] = {"left", "right"};
  for (int side = 0; side < 2; ++side) {
    const std::string option = std::string("--") + sides[side];
    if (s.has(option)) files[side] = s.options.at(option);
    if (s.has(option + "-list")) {
      const std::vector<std::string> listed = readList(s.one(option + "-list"));
      files[side].insert(files[side].end(), listed.begin(), listed.end());
    }
  }
  const ChessboardCalibration::Result result =
      ChessboardCalibration::calibrate(files[0], files[1], pair("--board", s.one("--board")),
                                       number("--square", s.one("--square")));
  std::printf("chessboards: %d pairs used, stereo RMS reprojection error %.4f px\n", result.pairs, result.rms);
  return RigModel::fromOpenCv(result.calibration);
}

StereoDefaults stereoDefaults(const Section& s) {
  StereoDefaults d;
  if (s.has("--disparity")) {
    const std::vector<double> v = numbers("--disparity", s.one("--disparity"), 2);
    d.minDisparity = static_cast<int>(v[0]);
    d.disparityCount = static_cast<int>(v[1]);
  }
  if (s.has("--stereo-mask")) d.stereoMaskSize = integer("--stereo-mask", s.one("--stereo-mask"));
  if (s.has("--edge-mask")) d.edgeMaskSize = integer("--edge-mask", s.one("--edge-mask"));
  return d;
}

int run(int argc, char** argv) {
  std::string output;
  CalibrationIdentity identity;
  double tolerance = 0.05;
  std::vector<Section> sections;
  std::string option;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    }
    if (arg == "-o" || arg == "--output") {
      if (++i >= argc) throw UsageError(arg + ": missing file name");
      output = argv[i];
    } else if (arg == "--tolerance" || arg == "--serial" || arg == "--part-id" || arg == "--comment") {
      if (++i >= argc) throw UsageError(arg + ": missing value");
      if (arg == "--tolerance") tolerance = number(arg, argv[i]);
      if (arg == "--serial") identity.serialNumber = integer(arg, argv[i]);
      if (arg == "--part-id") identity.partId = argv[i];
      if (arg == "--comment") identity.comment = argv[i];
    } else if (sections.empty() || arg == "--next") {
      if (arg == "--next" && ++i >= argc) throw UsageError("--next: missing source");
      const std::string source = argv[i];
      if (source != "ideal" && source != "opencv" && source != "chessboard")
        throw UsageError("unknown source '" + source + "' (ideal, opencv or chessboard)");
      sections.push_back(Section{source, {}});
      option.clear();
    } else if (arg.rfind("--", 0) == 0) {
      option = arg;
      sections.back().options[option];
    } else if (!option.empty()) {
      sections.back().options[option].push_back(arg);
    } else {
      throw UsageError("unexpected argument '" + arg + "'");
    }
  }
  if (output.empty()) throw UsageError("no output file (-o FILE)");
  if (sections.empty()) throw UsageError("no source (ideal, opencv or chessboard)");
  if (!(tolerance > 0.0)) throw UsageError("--tolerance: must be positive");
  const std::map<std::string, std::vector<std::string>> allowed = {
      {"ideal",
       {"--size", "--focal", "--baseline", "--centre", "--distortion", "--right-distortion", "--left-distortion",
        "--right-rotation", "--left-rotation"}},
      {"opencv", {"--intrinsics", "--extrinsics", "--size"}},
      {"chessboard", {"--left", "--right", "--left-list", "--right-list", "--board", "--square"}},
  };
  for (const Section& s : sections) {
    for (const auto& [name, values] : s.options) {
      const std::vector<std::string>& names = allowed.at(s.source);
      const bool stereo = name == "--disparity" || name == "--stereo-mask" || name == "--edge-mask";
      if (!stereo && std::find(names.begin(), names.end(), name) == names.end())
        throw UsageError(s.source + ": unknown option " + name);
    }
  }

  CalibrationWriter writer(identity, tolerance);
  WarpFitOptions fitOptions;
  fitOptions.tolerance = tolerance;
  for (const Section& s : sections) {
    const RigModel rig = s.source == "ideal" ? idealRig(s) : s.source == "opencv" ? opencvRig(s) : chessboardRig(s);
    std::printf("%s rig: %d x %d, focal length %.3f px, centre (%.3f, %.3f), baseline %.6g m\n", s.source.c_str(),
                rig.cols(), rig.rows(), rig.focalLength(), rig.centreCol(), rig.centreRow(), rig.baseline());
    const StereoDefaults defaults = stereoDefaults(s);
    try {
      writer.addConfiguration(rig, defaults, fitOptions);
    } catch (const RigError& e) {
      // Name the input the model came from.
      const std::string origin = s.source == "opencv" ? s.one("--intrinsics") : s.source + " rig";
      throw RigError(origin + ": " + e.what());
    }
  }
  std::fputs(writer.residualReport().c_str(), stdout);
  writer.writeFile(output);
  std::printf("wrote %s\n", output.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "stelox-calib: %s\n\n%s", e.what(), kUsage);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "stelox-calib: %s\n", e.what());
    return 1;
  }
}
