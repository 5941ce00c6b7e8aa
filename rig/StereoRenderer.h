#ifndef STELOX_RIG_STEREORENDERER_H
#define STELOX_RIG_STEREORENDERER_H

#include <array>

#include "image/Image.h"
#include "RigModel.h"
#include "SyntheticScene.h"

namespace SteloxRig {

struct RenderOptions {
  int supersampling = 2;  // samples per pixel along each axis
  int threads = 2;
  bool rectifiedViews = true;  // also render the ideal rectified images
};

// One rendered stereo frame. Images are indexed by RigLens (0 right, 1 left).
struct StereoRendering {
  std::array<Image<unsigned char>, kRigLensCount> rawGrey;
  std::array<Image<Pixel8x4>, kRigLensCount> rawColour;
  // Rendered directly through the shared rectified pinhole camera (empty
  // unless RenderOptions::rectifiedViews).
  std::array<Image<unsigned char>, kRigLensCount> rectifiedGrey;
  std::array<Image<Pixel8x4>, kRigLensCount> rectifiedColour;
  // Ground truth of the right rectified view: disparity in 16ths of a pixel
  // (the left image holds the point that many 16ths further right), and 255
  // where the point is seen by both lenses, 0 where it is occluded in or
  // outside the left view (its disparity is still the true one).
  Image<unsigned short> disparity;
  Image<unsigned char> visible;
};

// Renders a rig's view of a scene by ray casting: every raw pixel averages
// supersampling x supersampling rays traced through the exact lens model
// (distortion inverted per ray, then the lens rotation), so the raw images
// carry exactly the distortion a calibration of the rig describes. Colour
// pixels are blue, green, red and a fourth byte of 255; grey is the rounded
// luminance 0.299 red + 0.587 green + 0.114 blue of the same samples.
class StereoRenderer {
public:
  // Keeps references: rig and scene must outlive the renderer.
  StereoRenderer(const RigModel& rig, const SyntheticScene& scene) : m_rig(rig), m_scene(scene) {}

  StereoRendering render(const RenderOptions& options = RenderOptions()) const;

  // 255 where the true disparity changes by more than jump16 sixteenths between
  // neighbours within radius pixels, 0 elsewhere: the places where an image
  // resampled from another view is not expected to agree with a rendering.
  static Image<unsigned char> depthEdges(const Image<unsigned short>& disparity, int radius, int jump16 = 16);

private:
  const RigModel& m_rig;
  const SyntheticScene& m_scene;
};

}  // namespace SteloxRig

#endif
