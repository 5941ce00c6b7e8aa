#ifndef STELOX_RIG_SYNTHETICSCENE_H
#define STELOX_RIG_SYNTHETICSCENE_H

#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

namespace SteloxRig {

class RigModel;

// What a ray hits: the ray parameter, the depth (z in the reference frame) and
// the surface colour as blue, green, red in 0 ... 255.
struct SceneHit {
  double t = 0.0;
  double depth = 0.0;
  cv::Vec3f colour;
  int object = -1;
};

// Layout of a deterministic scene, in the reference frame of a rig (the right
// rectified camera: x right, y down, z forward, metres).
struct SceneLayout {
  std::uint64_t seed = 1;
  double nearDepth = 1.0;   // closest object
  double farDepth = 8.0;    // the back wall
  double halfWidthSlope = 0.64;   // visible half-width per metre of depth
  double halfHeightSlope = 0.48;  // visible half-height per metre of depth
  double metresPerPixel = 0.002;  // size of one pixel at one metre of depth
  double baseline = 0.12;         // the walls cover the left lens's view too
};

// A textured 3D scene made of bounded planes and spheres, generated from a
// seed: a back wall with an untextured patch, a floor receding in depth,
// fronto-parallel boards at several depths, a slanted board, an untextured
// board and spheres (curved surfaces with depth edges all round). Textures are
// smooth value noise in surface coordinates, scaled so that their finest
// detail spans about two pixels at the object's depth, and never repeat.
// Immutable after construction; safe to query from several threads.
class SyntheticScene {
public:
  explicit SyntheticScene(const SceneLayout& layout);

  // A scene that fits the rig's field of view, with depths chosen so that the
  // closest object has about maxDisparity pixels of disparity and the back wall
  // about maxDisparity / 8.
  static SyntheticScene forRig(const RigModel& rig, std::uint64_t seed, double maxDisparity = 48.0);

  const SceneLayout& layout() const { return m_layout; }

  // Nearest hit along origin + t * direction with t > tMin; false when the ray
  // meets nothing.
  bool intersect(const cv::Vec3d& origin, const cv::Vec3d& direction, SceneHit& hit, double tMin = 1e-9) const;
  // True when something lies strictly between from and to.
  bool blocked(const cv::Vec3d& from, const cv::Vec3d& to) const;

private:
  struct Board {
    cv::Vec3d centre;
    cv::Vec3d axisU;
    cv::Vec3d axisV;
    cv::Vec3d normal;
    double halfU = 0.0;
    double halfV = 0.0;
  };
  struct Ball {
    cv::Vec3d centre;
    double radius = 0.0;
  };
  struct Object {
    bool isBall = false;
    Board board;
    Ball ball;
    cv::Vec3f colour;
    double cellSize = 0.01;  // metres per texture cell of the coarsest octave
    bool textured = true;
    float contrast = 0.4f;
    float brightness = 0.55f;
    // Untextured patch in surface coordinates (u0, v0, u1, v1); empty when u0 >= u1.
    cv::Vec4d blankPatch{0.0, 0.0, 0.0, 0.0};
    std::uint64_t textureSeed = 0;
  };

  bool hitObject(const Object& object, const cv::Vec3d& origin, const cv::Vec3d& direction, double tMin, double& t,
                 double& u, double& v) const;
  float texture(const Object& object, double u, double v) const;

  SceneLayout m_layout;
  std::vector<Object> m_objects;
};

}  // namespace SteloxRig

#endif
