#include "calibration/LensData.h"

#include <vector>

using namespace ParseTools;

namespace {

// n numbers on the key's line copied into a fixed record.
template <std::size_t N>
bool parseRecord(const char* key, const ConfigLine* lines, std::size_t count,
                 std::array<double, N>& record) {
  std::vector<double> values;
  if (!parseTokenDoubles(key, lines, count, N, values)) return false;
  for (std::size_t i = 0; i < N; ++i) record[i] = values[i];
  return true;
}

template <std::size_t N>
bool parseIds(const char* key, const ConfigLine* lines, std::size_t count,
              std::array<int, N>& ids) {
  std::array<int, N> values{};
  if (!parseTokenInts(key, lines, count, N, values.data())) return false;
  ids = values;
  return true;
}

}  // namespace

LensData::LensData(const ConfigLine* configuration, std::size_t configurationCount,
                   const ConfigLine* block, std::size_t blockCount) {
  WarpCatalogue warps(configuration, configurationCount);
  read(warps, block, blockCount);
}

LensData::LensData(WarpCatalogue& warps, const ConfigLine* block, std::size_t blockCount) {
  read(warps, block, blockCount);
}

void LensData::read(WarpCatalogue& warps, const ConfigLine* block, std::size_t count) {
  readKeys(block, count);
  if (!exist("m_ariWarpDataRectifiedId") || !exist("m_ariWarpDataDistortedId")) {
    m_result = ParseErrorLensWarpIdsMissing;
    return;
  }
  m_result = readWarps(warps);
}

void LensData::readKeys(const ConfigLine* block, std::size_t count) {
  if (parseTokenInt("ID", block, count, m_id)) m_facts.record("m_iId");
  if (parseIds("POSITION", block, count, m_position)) m_facts.record("m_inPosition");
  if (parseTokenDouble("GAIN", block, count, m_gain)) m_facts.record("m_dGain");
  if (parseTokenDoubleDouble("RECTFACTOR", block, count, m_rectAdj[0], m_rectAdj[1]))
    m_facts.record("m_dRectAdj");
  if (parseTokenDoubleDouble("RAWFACTOR", block, count, m_rawAdj[0], m_rawAdj[1]))
    m_facts.record("m_dRawAdj");
  if (parseTokenDoubleDouble("FOCALLENGTH", block, count, m_focalLength[0], m_focalLength[1]))
    m_facts.record("m_ardFocalLength");
  if (parseTokenIntInt("RECTIFIEDSPLINE", block, count, m_rectifiedId[0], m_rectifiedId[1]))
    m_facts.record("m_ariWarpDataRectifiedId");
  if (parseTokenIntInt("DISTORTEDSPLINE", block, count, m_distortedId[0], m_distortedId[1]))
    m_facts.record("m_ariWarpDataDistortedId");
  // "WARP" and "IWARP" name the same ids and win over the longer keys.
  if (parseIds("WARP", block, count, m_rectifiedId)) m_facts.record("m_ariWarpDataRectifiedId");
  if (parseIds("IWARP", block, count, m_distortedId)) m_facts.record("m_ariWarpDataDistortedId");
  if (parseRecord("CamToOmniraEulerZYX", block, count, m_camToOmniraEulerZYX))
    m_facts.record("m_ardCamtoOmniraEulerZYX");
  if (parseRecord("CENTER", block, count, m_center)) m_facts.record("m_ardCenter");
  if (parseRecord("TOPLEFT", block, count, m_cornerTL)) m_facts.record("m_ardCornerTL");
  if (parseRecord("TOPRIGHT", block, count, m_cornerTR)) m_facts.record("m_ardCornerTR");
  if (parseRecord("BOTTOMLEFT", block, count, m_cornerBL)) m_facts.record("m_ardCornerBL");
  if (parseRecord("BOTTOMRIGHT", block, count, m_cornerBR)) m_facts.record("m_ardCornerBR");
  if (parseIds("3DSURFACESPLINE", block, count, m_surfaceId))
    m_facts.record("m_ari3dSurfaceSplineId");
  if (parseTokenInt("FALLOFFCORRECTION", block, count, m_falloffCorrectionId))
    m_facts.record("m_iFalloffCorrectionId");
  if (parseTokenDouble("CROSSTALK", block, count, m_crosstalk)) m_facts.record("m_crosstalk");
  if (parseTokenDouble("FALLOFFRED", block, count, m_falloffRed)) m_facts.record("m_falloffRed");
  if (parseTokenDouble("FALLOFFGREEN", block, count, m_falloffGreen))
    m_facts.record("m_falloffGreen");
  if (parseTokenDouble("FALLOFFBLUE", block, count, m_falloffBlue))
    m_facts.record("m_falloffBlue");
}

ParseError LensData::readWarps(WarpCatalogue& warps) {
  // Tables are kept only when every table of their group reads without error;
  // the first error, in this order, becomes the lens's result.
  const std::array<Warp, 4> pairs = {warps.find(m_rectifiedId[0]), warps.find(m_distortedId[0]),
                                     warps.find(m_rectifiedId[1]), warps.find(m_distortedId[1])};
  for (const Warp& warp : pairs) {
    if (warp->getParseResult() != ParseErrorOk) return warp->getParseResult();
  }
  m_rectified = {pairs[0], pairs[2]};
  m_distorted = {pairs[1], pairs[3]};
  m_facts.record("m_arWarpDataRectified");
  m_facts.record("m_arWarpDataDistorted");

  if (exist("m_ari3dSurfaceSplineId")) {
    std::array<Warp, 3> surface;
    for (std::size_t i = 0; i < surface.size(); ++i) {
      surface[i] = warps.find(m_surfaceId[i]);
      if (surface[i]->getParseResult() != ParseErrorOk) return surface[i]->getParseResult();
    }
    m_surface = surface;
    m_facts.record("m_arWarpData3dSurface");
  }

  if (exist("m_iFalloffCorrectionId")) {
    Warp falloff = warps.find(m_falloffCorrectionId);
    if (falloff->getParseResult() != ParseErrorOk) return falloff->getParseResult();
    m_falloffCorrection = falloff;
    m_facts.record("m_warpDataFalloffCorrection");
  }
  return ParseErrorOk;
}

LensData::Warp LensData::getWarpDataRectified(int i) const {
  return (i == 0 || i == 1) ? m_rectified[static_cast<std::size_t>(i)] : nullptr;
}

LensData::Warp LensData::getWarpDataDistorted(int i) const {
  return (i == 0 || i == 1) ? m_distorted[static_cast<std::size_t>(i)] : nullptr;
}

LensData::Warp LensData::getWarpData3dSurface(int i) const {
  return (i >= 0 && i <= 2) ? m_surface[static_cast<std::size_t>(i)] : nullptr;
}
