#include "StereoRenderer.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

namespace SteloxRig {

namespace {

// Runs body(firstRow, endRow) over rows split into at most `threads` bands.
void forRowBands(int rows, int threads, const std::function<void(int, int)>& body) {
  const int bands = std::max(1, std::min(threads, rows));
  std::vector<std::thread> workers;
  for (int b = 1; b < bands; ++b) workers.emplace_back(body, rows * b / bands, rows * (b + 1) / bands);
  body(0, rows / bands);
  for (std::thread& worker : workers) worker.join();
}

unsigned char toByte(double value) { return static_cast<unsigned char>(std::clamp(std::lround(value), 0L, 255L)); }

// Fills one image pair from a per-sample ray function; rayAt returns false for
// a sample without a ray (it then counts as black).
void shade(const SyntheticScene& scene, const cv::Vec3d& origin, int supersampling, int threads,
           const std::function<bool(double, double, cv::Vec3d&)>& rayAt, Image<unsigned char>& grey,
           Image<Pixel8x4>& colour) {
  const int rows = grey.nRows();
  const int cols = grey.nCols();
  const int n = std::max(1, supersampling);
  const double weight = 1.0 / (n * n);
  forRowBands(rows, threads, [&](int firstRow, int endRow) {
    for (int r = firstRow; r < endRow; ++r) {
      Row<unsigned char> greyRow = grey[r];
      Row<Pixel8x4> colourRow = colour[r];
      for (int c = 0; c < cols; ++c) {
        cv::Vec3d sum(0.0, 0.0, 0.0);
        for (int i = 0; i < n; ++i) {
          for (int j = 0; j < n; ++j) {
            cv::Vec3d direction;
            SceneHit hit;
            if (rayAt(r + (i + 0.5) / n - 0.5, c + (j + 0.5) / n - 0.5, direction) &&
                scene.intersect(origin, direction, hit))
              sum += cv::Vec3d(hit.colour[0], hit.colour[1], hit.colour[2]);
          }
        }
        sum *= weight;
        Pixel8x4& pixel = colourRow[c];
        pixel.channel[0] = toByte(sum[0]);
        pixel.channel[1] = toByte(sum[1]);
        pixel.channel[2] = toByte(sum[2]);
        pixel.channel[3] = 255;
        greyRow[c] = toByte(0.114 * sum[0] + 0.587 * sum[1] + 0.299 * sum[2]);
      }
    }
  });
}

}  // namespace

StereoRendering StereoRenderer::render(const RenderOptions& options) const {
  const int rows = m_rig.rows();
  const int cols = m_rig.cols();
  StereoRendering out;
  for (int lens = 0; lens < kRigLensCount; ++lens) {
    const RigLens which = static_cast<RigLens>(lens);
    out.rawGrey[lens] = Image<unsigned char>(rows, cols);
    out.rawColour[lens] = Image<Pixel8x4>(rows, cols);
    shade(m_scene, m_rig.lensCentre(which), options.supersampling, options.threads,
          [&](double r, double c, cv::Vec3d& direction) { return m_rig.rawRay(which, r, c, direction); },
          out.rawGrey[lens], out.rawColour[lens]);
    if (options.rectifiedViews) {
      out.rectifiedGrey[lens] = Image<unsigned char>(rows, cols);
      out.rectifiedColour[lens] = Image<Pixel8x4>(rows, cols);
      shade(m_scene, m_rig.lensCentre(which), options.supersampling, options.threads,
            [&](double r, double c, cv::Vec3d& direction) {
              direction = m_rig.rectifiedRay(r, c);
              return true;
            },
            out.rectifiedGrey[lens], out.rectifiedColour[lens]);
    }
  }

  out.disparity = Image<unsigned short>(rows, cols);
  out.visible = Image<unsigned char>(rows, cols);
  const cv::Vec3d rightCentre = m_rig.lensCentre(RigLens::Right);
  const cv::Vec3d leftCentre = m_rig.lensCentre(RigLens::Left);
  const double focalBaseline = m_rig.focalLength() * m_rig.baseline();
  forRowBands(rows, options.threads, [&](int firstRow, int endRow) {
    for (int r = firstRow; r < endRow; ++r) {
      Row<unsigned short> disparityRow = out.disparity[r];
      Row<unsigned char> visibleRow = out.visible[r];
      for (int c = 0; c < cols; ++c) {
        const cv::Vec3d direction = m_rig.rectifiedRay(r, c);
        SceneHit hit;
        disparityRow[c] = 0;
        visibleRow[c] = 0;
        if (!m_scene.intersect(rightCentre, direction, hit) || !(hit.depth > 0.0)) continue;
        const double disparity = focalBaseline / hit.depth;
        disparityRow[c] = static_cast<unsigned short>(std::min(std::lround(16.0 * disparity), 0xFEFFL));
        const cv::Vec3d point = rightCentre + hit.t * direction;
        const bool inLeftView = c + disparity < cols - 0.5;
        visibleRow[c] = inLeftView && !m_scene.blocked(leftCentre, point) ? 255 : 0;
      }
    }
  });
  return out;
}

Image<unsigned char> StereoRenderer::depthEdges(const Image<unsigned short>& disparity, int radius, int jump16) {
  const int rows = disparity.nRows();
  const int cols = disparity.nCols();
  Image<unsigned char> edges(rows, cols);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const int d = disparity[r][c];
      const bool jumpRight = c + 1 < cols && std::abs(d - disparity[r][c + 1]) > jump16;
      const bool jumpDown = r + 1 < rows && std::abs(d - disparity[r + 1][c]) > jump16;
      if (!jumpRight && !jumpDown) continue;
      for (int rr = std::max(0, r - radius); rr <= std::min(rows - 1, r + 1 + radius); ++rr)
        for (int cc = std::max(0, c - radius); cc <= std::min(cols - 1, c + 1 + radius); ++cc) edges[rr][cc] = 255;
    }
  }
  return edges;
}

}  // namespace SteloxRig
