// Synthetic rig: rendering a 640 x 480 stereo frame and fitting a calibration.

#include <benchmark/benchmark.h>

#include "CalibrationWriter.h"
#include "StereoRenderer.h"

using namespace SteloxRig;

namespace {

RigModel benchRig() {
  IdealRigParameters parameters;
  parameters.distortion[0] = {-0.22, 0.06, 0.0015, -0.001, -0.004};
  parameters.distortion[1] = {-0.18, 0.03, -0.001, 0.002, 0.0};
  parameters.rotation[0] = cv::Vec3d(0.012, -0.02, 0.006);
  parameters.rotation[1] = cv::Vec3d(-0.008, 0.018, -0.005);
  return RigModel::ideal(parameters);
}

// Raw pair (grey and colour) with ground truth; arg 0 = threads, arg 1 = also
// the rectified renderings.
void BM_RenderStereoFrame640x480(benchmark::State& state) {
  const RigModel rig = benchRig();
  const SyntheticScene scene = SyntheticScene::forRig(rig, 1);
  RenderOptions options;
  options.threads = static_cast<int>(state.range(0));
  options.rectifiedViews = state.range(1) != 0;
  const StereoRenderer renderer(rig, scene);
  for (auto _ : state) benchmark::DoNotOptimize(renderer.render(options));
}
BENCHMARK(BM_RenderStereoFrame640x480)
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_FitAndWriteCalibration640x480(benchmark::State& state) {
  const RigModel rig = benchRig();
  for (auto _ : state) {
    CalibrationWriter writer;
    writer.addConfiguration(rig);
    benchmark::DoNotOptimize(writer.text());
  }
}
BENCHMARK(BM_FitAndWriteCalibration640x480)->Unit(benchmark::kMillisecond);

}  // namespace
