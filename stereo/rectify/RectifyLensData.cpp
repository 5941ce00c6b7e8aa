#include "rectify/RectifyLensData.h"

#include "rectify/WarpSpline.h"

bool warpDataUsable(const std::shared_ptr<const WarpData>& warp) {
  if (!warp || warp->getParseResult() != ParseErrorOk)
    return false;
  const int n = warp->getNumCoefs(0);
  if (n < 1 || warp->getNumCoefs(1) != n)
    return false;
  const auto holds = [](const WarpData::Values& values, std::size_t count) {
    return values && values->size() >= count;
  };
  const std::size_t knots = static_cast<std::size_t>(n) + WarpSpline::order;
  return holds(warp->getXKnots(), knots) && holds(warp->getYKnots(), knots) &&
         holds(warp->getCoefs(), static_cast<std::size_t>(n) * n);
}
