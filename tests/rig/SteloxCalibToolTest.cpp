#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <opencv2/imgcodecs.hpp>

#include "stelox.h"

namespace {

struct ToolRun {
  int exitCode = -1;
  std::string output;  // standard output and error together
};

ToolRun runTool(const std::string& arguments) {
  ToolRun run;
  FILE* pipe = popen((std::string(STELOX_CALIB_TOOL) + " " + arguments + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> buffer;
  while (std::fgets(buffer.data(), buffer.size(), pipe)) run.output += buffer.data();
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

bool exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

int configurationsLoaded(const std::string& path) {
  SteloxContext context = nullptr;
  if (steloxGetDefaultContextFromFile(&context, path.c_str()) != SteloxErrorOk) return 0;
  int count = 0;
  for (int c = 0; c < 2; ++c)
    if (steloxSetCameraConfiguration(context, static_cast<SteloxCameraConfiguration>(c)) == SteloxErrorOk) ++count;
  steloxDestroyContext(context);
  return count;
}

class SteloxCalibTool : public ::testing::Test {
protected:
  void SetUp() override {
    char name[] = "/tmp/stelox-calib-tool-XXXXXX";
    m_folder = mkdtemp(name);
  }
  void TearDown() override {
    for (const std::string& f : m_files) {
      std::remove(f.c_str());
      std::remove((f + ".partial").c_str());
    }
    rmdir(m_folder.c_str());
  }
  std::string file(const std::string& name) {
    m_files.push_back(m_folder + "/" + name);
    return m_files.back();
  }

private:
  std::string m_folder;
  std::vector<std::string> m_files;
};

}  // namespace

TEST_F(SteloxCalibTool, WritesLoadableCalibrations) {
  const std::string single = file("single.txt");
  ToolRun run = runTool("-o " + single +
                        " --serial 42 ideal --size 320x240 --focal 260 --baseline 0.1 --distortion -0.2,0.05,0,0,0"
                        " --left-rotation 0.01,-0.01,0 --disparity 0,48");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("raw->rectified"), std::string::npos) << run.output;
  EXPECT_EQ(configurationsLoaded(single), 1);

  const std::string both = file("both.txt");
  run = runTool("-o " + both + " ideal --size 320x240 --focal 260 --baseline 0.3 --next ideal --size 640x480 --focal 520"
                " --baseline 0.1");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(configurationsLoaded(both), 2);
}

TEST_F(SteloxCalibTool, BadInputIsNamedAndLeavesNoFile) {
  const std::string data = STELOX_DATA_DIR "/chessboard-640x480/";
  const std::string garbage = file("garbage.yml");
  std::ofstream(garbage) << "%YAML:1.0\nM1: [ 1, 2\n  : :\n";
  const std::string small = file("small.png");
  cv::imwrite(small, cv::Mat(240, 320, CV_8U, cv::Scalar(90)));
  const std::string blank = file("blank.png");
  cv::imwrite(blank, cv::Mat(480, 640, CV_8U, cv::Scalar(90)));
  const std::string missing = file("missing.yml");
  const std::string board = " --board 9x6 --square 0.025";
  const struct {
    std::string arguments;
    int exitCode;
    std::string words;
  } cases[] = {
      {"opencv --intrinsics " + missing + " --extrinsics " + missing, 1, missing + ": cannot open"},
      {"opencv --intrinsics " + garbage + " --extrinsics " + garbage, 1, garbage},
      {"chessboard --left " + data + "left01.jpg --right " + small + board, 1, small + ": image size 320 x 240"},
      {"chessboard --left " + data + "left01.jpg " + blank + " --right " + data + "right01.jpg " + blank + board, 1,
       "found in both images of only 1 pairs"},
      {"--tolerance 0.000001 ideal --size 320x240 --focal 260 --baseline 0.1 --distortion -0.2,0.05,0,0,0", 1,
       "above the tolerance"},
      {"ideal --size 320x240 --focal 260 --baseline 0.1 --next ideal --size 320x240 --focal 260 --baseline 0.12", 1,
       "both are narrow"},
      {"ideal --size 320x240 --focal 260 --baseline 0.1 --fov 3", 2, "unknown option --fov"},
      {"ideal --size 320x240 --baseline 0.1", 2, "missing --focal"},
      {"pinhole --size 320x240", 2, "unknown source 'pinhole'"},
  };
  for (const auto& c : cases) {
    const std::string output = file("out.txt");
    const ToolRun run = runTool("-o " + output + " " + c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.output;
    EXPECT_NE(run.output.find(c.words), std::string::npos) << c.arguments << "\n" << run.output;
    EXPECT_FALSE(exists(output)) << c.arguments;
    EXPECT_FALSE(exists(output + ".partial")) << c.arguments;
  }
  const ToolRun noOutput = runTool("ideal --size 320x240 --focal 260 --baseline 0.1");
  EXPECT_EQ(noOutput.exitCode, 2);
  EXPECT_NE(noOutput.output.find("no output file"), std::string::npos);
}
