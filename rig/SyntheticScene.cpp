#include "SyntheticScene.h"

#include <algorithm>
#include <cmath>

#include "RigModel.h"

namespace SteloxRig {

namespace {

// splitmix64: a tiny generator whose output is the same on every platform
// (the standard distributions are not), so a seed always gives the same scene.
std::uint64_t mix64(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

class SceneRandom {
public:
  explicit SceneRandom(std::uint64_t seed) : m_state(seed) {}
  std::uint64_t next() { return mix64(m_state++); }
  // Uniform in [lo, hi).
  double uniform(double lo, double hi) { return lo + (hi - lo) * static_cast<double>(next() >> 11) * 0x1.0p-53; }

private:
  std::uint64_t m_state;
};

// Lattice value in [-1, 1] of one texture cell.
double latticeValue(std::uint64_t seed, std::int64_t i, std::int64_t j) {
  const std::uint64_t h = mix64(seed + static_cast<std::uint64_t>(i) * 0x632BE59BD9B4E019ull +
                                static_cast<std::uint64_t>(j) * 0x8CB92BA72F3D8DD7ull);
  return static_cast<double>(h >> 11) * 0x1.0p-52 - 1.0;
}

// Value noise with a C2 fade between lattice values.
double valueNoise(std::uint64_t seed, double x, double y) {
  const double fx = std::floor(x);
  const double fy = std::floor(y);
  const auto i = static_cast<std::int64_t>(fx);
  const auto j = static_cast<std::int64_t>(fy);
  const double a = x - fx;
  const double b = y - fy;
  const double wa = a * a * a * (a * (a * 6.0 - 15.0) + 10.0);
  const double wb = b * b * b * (b * (b * 6.0 - 15.0) + 10.0);
  const double v00 = latticeValue(seed, i, j);
  const double v10 = latticeValue(seed, i + 1, j);
  const double v01 = latticeValue(seed, i, j + 1);
  const double v11 = latticeValue(seed, i + 1, j + 1);
  const double top = v00 + wa * (v10 - v00);
  const double bottom = v01 + wa * (v11 - v01);
  return top + wb * (bottom - top);
}

cv::Vec3f randomColour(SceneRandom& random) {
  return cv::Vec3f(static_cast<float>(random.uniform(0.45, 1.0)), static_cast<float>(random.uniform(0.45, 1.0)),
                   static_cast<float>(random.uniform(0.45, 1.0)));
}

}  // namespace

SyntheticScene::SyntheticScene(const SceneLayout& layout) : m_layout(layout) {
  SceneRandom random(layout.seed);
  const double nearZ = layout.nearDepth;
  const double farZ = layout.farDepth;
  const double sx = layout.halfWidthSlope;
  const double sy = layout.halfHeightSlope;
  // The finest of the three texture octaves spans about two pixels.
  auto cellAt = [&](double depth) { return 8.0 * layout.metresPerPixel * depth; };
  auto addBoard = [&](const cv::Vec3d& centre, const cv::Vec3d& axisU, const cv::Vec3d& axisV, double halfU,
                      double halfV, double textureDepth, bool textured) -> Object& {
    Object object;
    object.board.centre = centre;
    object.board.axisU = cv::normalize(axisU);
    object.board.axisV = cv::normalize(axisV);
    object.board.normal = cv::normalize(object.board.axisU.cross(object.board.axisV));
    object.board.halfU = halfU;
    object.board.halfV = halfV;
    object.colour = randomColour(random);
    object.cellSize = cellAt(textureDepth);
    object.textured = textured;
    object.textureSeed = random.next();
    object.contrast = static_cast<float>(random.uniform(0.25, 0.45));
    object.brightness = static_cast<float>(random.uniform(0.45, 0.6));
    m_objects.push_back(object);
    return m_objects.back();
  };
  const cv::Vec3d ex(1.0, 0.0, 0.0);
  const cv::Vec3d ey(0.0, 1.0, 0.0);
  const cv::Vec3d ez(0.0, 0.0, 1.0);

  // Back wall, wide enough for both lenses, with an untextured patch.
  {
    const double halfU = 1.3 * farZ * sx + layout.baseline;
    const double halfV = 1.3 * farZ * sy;
    Object& wall = addBoard(cv::Vec3d(0.0, 0.0, farZ), ex, ey, halfU, halfV, farZ, true);
    const double pu = random.uniform(-0.6, 0.2) * farZ * sx;
    const double pv = random.uniform(-0.8, -0.4) * farZ * sy;
    wall.blankPatch = cv::Vec4d(pu, pv, pu + 0.3 * farZ * sx, pv + 0.25 * farZ * sy);
  }
  // Floor: a horizontal plane that recedes up to the wall in the lower quarter.
  {
    const double height = 0.5 * sy * farZ;
    const double z0 = 0.45 * farZ;
    const double halfU = 1.3 * farZ * sx + layout.baseline;
    addBoard(cv::Vec3d(0.0, height, 0.5 * (z0 + farZ)), ex, ez, halfU, 0.5 * (farZ - z0), 0.7 * farZ, true);
  }
  // Fronto-parallel boards; the first one is the closest object of the scene.
  for (int i = 0; i < 4; ++i) {
    const double depth = i == 0 ? nearZ : nearZ * std::pow(0.6 * farZ / nearZ, random.uniform(0.2, 1.0));
    const double cx = random.uniform(-0.6, 0.6) * depth * sx;
    const double cy = random.uniform(-0.5, 0.4) * depth * sy;
    const double halfU = random.uniform(0.12, 0.25) * depth * sx;
    const double halfV = random.uniform(0.15, 0.3) * depth * sy;
    addBoard(cv::Vec3d(cx, cy, depth), ex, ey, halfU, halfV, depth, true);
  }
  // A board turned about the vertical axis: disparity changes along its rows.
  {
    const double depth = 0.5 * (nearZ + 0.6 * farZ);
    const double angle = random.uniform(0.5, 0.9) * (random.next() & 1 ? 1.0 : -1.0);
    const cv::Vec3d axisU(std::cos(angle), 0.0, std::sin(angle));
    addBoard(cv::Vec3d(random.uniform(-0.4, 0.4) * depth * sx, random.uniform(-0.3, 0.3) * depth * sy, depth), axisU,
             ey, 0.3 * depth * sx, 0.25 * depth * sy, depth, true);
  }
  // An untextured board.
  {
    const double depth = nearZ * std::pow(0.6 * farZ / nearZ, random.uniform(0.3, 0.8));
    addBoard(cv::Vec3d(random.uniform(-0.6, 0.6) * depth * sx, random.uniform(-0.6, 0.6) * depth * sy, depth), ex, ey,
             0.15 * depth * sx, 0.15 * depth * sy, depth, false);
  }
  // Spheres.
  for (int i = 0; i < 2; ++i) {
    const double depth = nearZ * std::pow(0.6 * farZ / nearZ, random.uniform(0.2, 0.9));
    Object object;
    object.isBall = true;
    object.ball.centre = cv::Vec3d(random.uniform(-0.6, 0.6) * depth * sx, random.uniform(-0.5, 0.5) * depth * sy, depth);
    object.ball.radius = random.uniform(0.12, 0.2) * depth * sy;
    object.colour = randomColour(random);
    object.cellSize = cellAt(depth);
    object.textureSeed = random.next();
    object.contrast = static_cast<float>(random.uniform(0.25, 0.45));
    object.brightness = static_cast<float>(random.uniform(0.45, 0.6));
    m_objects.push_back(object);
  }
}

SyntheticScene SyntheticScene::forRig(const RigModel& rig, std::uint64_t seed, double maxDisparity) {
  SceneLayout layout;
  layout.seed = seed;
  const double fb = rig.focalLength() * rig.baseline();
  layout.nearDepth = fb / maxDisparity;
  layout.farDepth = 8.0 * layout.nearDepth;
  layout.halfWidthSlope = 0.5 * rig.cols() / rig.focalLength();
  layout.halfHeightSlope = 0.5 * rig.rows() / rig.focalLength();
  layout.metresPerPixel = 1.0 / rig.focalLength();
  layout.baseline = rig.baseline();
  return SyntheticScene(layout);
}

bool SyntheticScene::hitObject(const Object& object, const cv::Vec3d& origin, const cv::Vec3d& direction,
                               double tMin, double& t, double& u, double& v) const {
  if (object.isBall) {
    const cv::Vec3d oc = origin - object.ball.centre;
    const double a = direction.dot(direction);
    const double b = oc.dot(direction);
    const double c = oc.dot(oc) - object.ball.radius * object.ball.radius;
    const double discriminant = b * b - a * c;
    if (discriminant < 0.0) return false;
    const double root = std::sqrt(discriminant);
    t = (-b - root) / a;
    if (!(t > tMin)) t = (-b + root) / a;
    if (!(t > tMin)) return false;
    const cv::Vec3d p = origin + t * direction - object.ball.centre;
    u = object.ball.radius * std::atan2(p[0], -p[2]);
    v = p[1];
    return true;
  }
  const Board& board = object.board;
  const double denominator = direction.dot(board.normal);
  if (std::abs(denominator) < 1e-15) return false;
  t = (board.centre - origin).dot(board.normal) / denominator;
  if (!(t > tMin)) return false;
  const cv::Vec3d p = origin + t * direction - board.centre;
  u = p.dot(board.axisU);
  v = p.dot(board.axisV);
  return std::abs(u) <= board.halfU && std::abs(v) <= board.halfV;
}

float SyntheticScene::texture(const Object& object, double u, double v) const {
  const cv::Vec4d& patch = object.blankPatch;
  if (!object.textured || (u >= patch[0] && u < patch[2] && v >= patch[1] && v < patch[3])) return object.brightness;
  const double x = u / object.cellSize;
  const double y = v / object.cellSize;
  const double noise = valueNoise(object.textureSeed, x, y) + 0.5 * valueNoise(object.textureSeed + 1, 2.0 * x, 2.0 * y) +
                       0.25 * valueNoise(object.textureSeed + 2, 4.0 * x, 4.0 * y);
  return static_cast<float>(std::clamp(object.brightness + object.contrast * noise, 0.05, 1.0));
}

bool SyntheticScene::intersect(const cv::Vec3d& origin, const cv::Vec3d& direction, SceneHit& hit, double tMin) const {
  double bestT = 0.0;
  double bestU = 0.0;
  double bestV = 0.0;
  int best = -1;
  for (int i = 0; i < static_cast<int>(m_objects.size()); ++i) {
    double t = 0.0;
    double u = 0.0;
    double v = 0.0;
    if (hitObject(m_objects[i], origin, direction, tMin, t, u, v) && (best < 0 || t < bestT)) {
      best = i;
      bestT = t;
      bestU = u;
      bestV = v;
    }
  }
  if (best < 0) return false;
  const Object& object = m_objects[best];
  hit.t = bestT;
  hit.depth = origin[2] + bestT * direction[2];
  hit.colour = object.colour * (255.0f * texture(object, bestU, bestV));
  hit.object = best;
  return true;
}

bool SyntheticScene::blocked(const cv::Vec3d& from, const cv::Vec3d& to) const {
  const cv::Vec3d direction = to - from;
  const double tEnd = 1.0 - 1e-7;
  for (const Object& object : m_objects) {
    double t = 0.0;
    double u = 0.0;
    double v = 0.0;
    if (hitObject(object, from, direction, 1e-7, t, u, v) && t < tEnd) return true;
  }
  return false;
}

}  // namespace SteloxRig
