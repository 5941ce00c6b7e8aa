#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

#include <opencv2/calib3d.hpp>
#include <opencv2/imgcodecs.hpp>

#include "ChessboardCalibration.h"
#include "RigModel.h"

using namespace SteloxRig;

namespace {

// A scratch folder removed with everything in it at the end of a test.
class ScratchFolder {
public:
  ScratchFolder() {
    char name[] = "/tmp/stelox-rig-src-XXXXXX";
    m_path = mkdtemp(name);
  }
  ~ScratchFolder() {
    for (const std::string& f : m_files) std::remove(f.c_str());
    rmdir(m_path.c_str());
  }
  std::string file(const std::string& name) {
    m_files.push_back(m_path + "/" + name);
    return m_files.back();
  }

private:
  std::string m_path;
  std::vector<std::string> m_files;
};

OpenCvStereoCalibration sampleCalibration() {
  OpenCvStereoCalibration c;
  c.imageSize = cv::Size(640, 480);
  c.M1 = (cv::Mat_<double>(3, 3) << 530, 0, 322, 0, 531, 238, 0, 0, 1);
  c.M2 = (cv::Mat_<double>(3, 3) << 528, 0, 317, 0, 529, 244, 0, 0, 1);
  c.D1 = (cv::Mat_<double>(1, 5) << -0.25, 0.07, 0.001, -0.0005, 0.0);
  c.D2 = (cv::Mat_<double>(1, 5) << -0.23, 0.05, -0.0008, 0.0007, 0.0);
  cv::Rodrigues(cv::Vec3d(0.004, -0.006, 0.003), c.R);
  c.T = (cv::Mat_<double>(3, 1) << -0.09, 0.001, -0.0004);
  return c;
}

void writeStorage(const std::string& path, const std::vector<std::pair<std::string, cv::Mat>>& entries) {
  cv::FileStorage fs(path, cv::FileStorage::WRITE);
  for (const auto& [key, m] : entries) fs << key << m;
}

void expectRigError(const std::function<void()>& f, const std::string& words, const std::string& context) {
  try {
    f();
    ADD_FAILURE() << context << ": no error";
  } catch (const RigError& e) {
    EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << context << ": " << e.what();
  }
}

}  // namespace

TEST(RigSources, OpenCvCalibrationMapsLensesAsStereoRectifyDoes) {
  const OpenCvStereoCalibration c = sampleCalibration();
  const RigModel rig = RigModel::fromOpenCv(c);
  cv::Mat R1, R2, P1, P2, Q;
  cv::stereoRectify(c.M1, c.D1, c.M2, c.D2, c.imageSize, c.R, c.T, R1, R2, P1, P2, Q, cv::CALIB_ZERO_DISPARITY, -1,
                    c.imageSize);
  EXPECT_NEAR(rig.baseline(), cv::norm(c.T), 1e-12);
  // A raw point of either camera lands where OpenCV's own undistortion puts it.
  const struct {
    RigLens lens;
    const cv::Mat &M, &D, &R, &P;
  } lenses[] = {{RigLens::Left, c.M1, c.D1, R1, P1}, {RigLens::Right, c.M2, c.D2, R2, P2}};
  for (const auto& l : lenses) {
    std::vector<cv::Point2d> raw{{20, 30}, {320, 240}, {600, 450}, {100, 400}};
    std::vector<cv::Point2d> expected;
    cv::undistortPoints(raw, expected, l.M, l.D, l.R, l.P,
                        cv::TermCriteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, 200, 1e-14));
    for (std::size_t i = 0; i < raw.size(); ++i) {
      double row = 0, col = 0;
      ASSERT_TRUE(rig.rawToRectified(l.lens, raw[i].y, raw[i].x, row, col));
      EXPECT_NEAR(col, expected[i].x, 1e-6);
      EXPECT_NEAR(row, expected[i].y, 1e-6);
    }
  }
}

TEST(RigSources, OpenCvFilesReadBackAndBadFilesAreNamed) {
  ScratchFolder folder;
  const OpenCvStereoCalibration c = sampleCalibration();
  const std::string intrinsics = folder.file("intrinsics.yml");
  const std::string extrinsics = folder.file("extrinsics.yml");
  writeStorage(intrinsics, {{"M1", c.M1}, {"D1", c.D1}, {"M2", c.M2}, {"D2", c.D2}});
  writeStorage(extrinsics, {{"R", c.R}, {"T", c.T}, {"imageSize", (cv::Mat_<int>(1, 2) << 640, 480)}});
  const OpenCvStereoCalibration read = RigModel::readOpenCvFiles(intrinsics, extrinsics);
  EXPECT_EQ(read.imageSize, cv::Size(640, 480));
  EXPECT_EQ(cv::norm(read.M2, c.M2), 0.0);
  EXPECT_EQ(cv::norm(read.T, c.T), 0.0);

  const std::string noKey = folder.file("no-d2.yml");
  writeStorage(noKey, {{"M1", c.M1}, {"D1", c.D1}, {"M2", c.M2}});
  const std::string badShape = folder.file("bad-shape.yml");
  writeStorage(badShape, {{"M1", c.M1.rowRange(0, 2)}, {"D1", c.D1}, {"M2", c.M2}, {"D2", c.D2}});
  const std::string rational = folder.file("rational.yml");
  writeStorage(rational, {{"M1", c.M1}, {"D1", cv::Mat::zeros(1, 8, CV_64F)}, {"M2", c.M2}, {"D2", c.D2}});
  const std::string garbage = folder.file("garbage.yml");
  std::ofstream(garbage) << "%YAML:1.0\nM1: [ 1, 2\n  : :\n";
  const std::string noSize = folder.file("no-size.yml");
  writeStorage(noSize, {{"R", c.R}, {"T", c.T}});

  const struct {
    std::string intrinsics, extrinsics;
    cv::Size size;
    std::string words;
  } cases[] = {
      {folder.file("missing.yml"), extrinsics, {}, "missing.yml: cannot open"},
      {noKey, extrinsics, {}, "no-d2.yml: no matrix D2"},
      {badShape, extrinsics, {}, "bad-shape.yml: M1 must be a 3 x 3"},
      {rational, extrinsics, {}, "rational.yml: D1 must hold the 4 or 5"},
      {garbage, extrinsics, {}, "garbage.yml"},
      {intrinsics, noSize, {}, "no image size"},
      {intrinsics, extrinsics, cv::Size(320, 240), "differs from 320 x 240"},
  };
  for (const auto& t : cases)
    expectRigError([&] { RigModel::readOpenCvFiles(t.intrinsics, t.extrinsics, t.size); }, t.words, t.words);
  EXPECT_EQ(RigModel::readOpenCvFiles(intrinsics, noSize, cv::Size(640, 480)).imageSize, cv::Size(640, 480));
}

TEST(RigSources, OpenCvCalibrationOfSwappedOrVerticalCamerasIsRefused) {
  OpenCvStereoCalibration swapped = sampleCalibration();
  swapped.T = -swapped.T;
  expectRigError([&] { RigModel::fromOpenCv(swapped); }, "swap the left and right", "swapped");
  OpenCvStereoCalibration vertical = sampleCalibration();
  vertical.T = (cv::Mat_<double>(3, 1) << 0.0, -0.09, 0.0);
  expectRigError([&] { RigModel::fromOpenCv(vertical); }, "not side by side", "vertical");
}

TEST(RigSources, ChessboardInputErrorsNameTheFile) {
  ScratchFolder folder;
  const std::string data = STELOX_DATA_DIR "/chessboard-640x480/";
  const std::string small = folder.file("small.png");
  cv::imwrite(small, cv::Mat(240, 320, CV_8U, cv::Scalar(128)));
  const std::string blank = folder.file("blank.png");
  cv::imwrite(blank, cv::Mat(480, 640, CV_8U, cv::Scalar(128)));
  const std::string left1 = data + "left01.jpg";
  const std::string right1 = data + "right01.jpg";
  const cv::Size board(9, 6);
  expectRigError([&] { ChessboardCalibration::calibrate({left1}, {right1, right1}, board, 0.025); },
                 "1 left images but 2 right images", "unequal lists");
  expectRigError([&] { ChessboardCalibration::calibrate({left1}, {folder.file("none.png")}, board, 0.025); },
                 "none.png: cannot read", "missing image");
  expectRigError([&] { ChessboardCalibration::calibrate({left1}, {small}, board, 0.025); },
                 "small.png: image size 320 x 240 differs from 640 x 480", "sizes");
  expectRigError([&] { ChessboardCalibration::calibrate({left1, blank}, {right1, blank}, board, 0.025); },
                 "found in both images of only 1 pairs", "board not found");
}
