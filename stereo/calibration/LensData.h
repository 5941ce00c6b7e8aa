// One lens block of a configuration ("BEGINCAMERA" up to its terminator) with
// the spline tables it names. Keys are looked up in the block only; the warp
// tables come from the whole configuration. Immutable after construction.
#ifndef STELOX_CALIBRATION_LENSDATA_H
#define STELOX_CALIBRATION_LENSDATA_H

#include "calibration/ParseError.h"
#include "calibration/ParseTools.h"
#include "calibration/PresenceFacts.h"
#include "calibration/WarpCatalogue.h"
#include "calibration/WarpData.h"

#include <array>
#include <cstddef>
#include <memory>
#include <string_view>

class LensData {
public:
  using Warp = std::shared_ptr<const WarpData>;

  // configuration: all lines of the configuration; block: the lens block.
  LensData(const ConfigLine* configuration, std::size_t configurationCount,
           const ConfigLine* block, std::size_t blockCount);
  // The same with the warp tables taken from a catalogue shared by all lenses
  // of the configuration.
  LensData(WarpCatalogue& warps, const ConfigLine* block, std::size_t blockCount);

  int getId() const { return m_id; }
  const std::array<int, 3>& getPosition() const { return m_position; }
  double getGain() const { return m_gain; }
  double getRectXAdj() const { return m_rectAdj[0]; }
  double getRectYAdj() const { return m_rectAdj[1]; }
  double getRawXAdj() const { return m_rawAdj[0]; }
  double getRawYAdj() const { return m_rawAdj[1]; }
  const std::array<double, 2>& getFocalLength() const { return m_focalLength; }
  double getFocalLengthX() const { return m_focalLength[0]; }
  double getFocalLengthY() const { return m_focalLength[1]; }
  // The five-number centre record; its fourth and fifth numbers are the
  // lens's image centre X and Y.
  const std::array<double, 5>& getImageCenter() const { return m_center; }
  double getImageCenterX() const { return m_center[3]; }
  double getImageCenterY() const { return m_center[4]; }
  const std::array<double, 6>& getCamToOmniraEulerZYX() const { return m_camToOmniraEulerZYX; }
  const std::array<double, 5>& getCornerTL() const { return m_cornerTL; }
  const std::array<double, 5>& getCornerTR() const { return m_cornerTR; }
  const std::array<double, 5>& getCornerBL() const { return m_cornerBL; }
  const std::array<double, 5>& getCornerBR() const { return m_cornerBR; }
  double getCrosstalk() const { return m_crosstalk; }
  double getFalloffRed() const { return m_falloffRed; }
  double getFalloffGreen() const { return m_falloffGreen; }
  double getFalloffBlue() const { return m_falloffBlue; }

  // Ids and tables of the two rectified-to-distorted splines and of the two
  // distorted-to-rectified splines; table 0 describes the column (X), table 1
  // the row (Y). A table is null for an index other than 0 or 1 and when the
  // lens failed to read it.
  const std::array<int, 2>& getWarpDataRectifiedId() const { return m_rectifiedId; }
  const std::array<int, 2>& getWarpDataDistortedId() const { return m_distortedId; }
  Warp getWarpDataRectified(int i) const;
  Warp getWarpDataDistorted(int i) const;
  const std::array<int, 3>& getWarpData3dSurfaceId() const { return m_surfaceId; }
  Warp getWarpData3dSurface(int i) const;  // i = 0..2
  int getWarpDataFalloffCorrectionId() const { return m_falloffCorrectionId; }
  Warp getWarpDataFalloffCorrection() const { return m_falloffCorrection; }

  ParseError getParseResult() const { return m_result; }
  bool exist(std::string_view name) const { return m_facts.exist(name); }

private:
  void read(WarpCatalogue& warps, const ConfigLine* block, std::size_t count);
  void readKeys(const ConfigLine* block, std::size_t count);
  ParseError readWarps(WarpCatalogue& warps);

  PresenceFacts m_facts;
  int m_id = -1;
  std::array<int, 3> m_position{};
  double m_gain = 1.0;
  std::array<double, 2> m_rectAdj{};
  std::array<double, 2> m_rawAdj{};
  std::array<double, 2> m_focalLength{};
  std::array<double, 6> m_camToOmniraEulerZYX{};
  std::array<double, 5> m_center{};
  std::array<double, 5> m_cornerTL{};
  std::array<double, 5> m_cornerTR{};
  std::array<double, 5> m_cornerBL{};
  std::array<double, 5> m_cornerBR{};
  double m_crosstalk = 0.0;
  double m_falloffRed = 0.0;
  double m_falloffGreen = 0.0;
  double m_falloffBlue = 0.0;
  std::array<int, 2> m_rectifiedId{-1, -1};
  std::array<int, 2> m_distortedId{-1, -1};
  std::array<int, 3> m_surfaceId{-1, -1, -1};
  int m_falloffCorrectionId = -1;
  std::array<Warp, 2> m_rectified;
  std::array<Warp, 2> m_distorted;
  std::array<Warp, 3> m_surface;
  Warp m_falloffCorrection;
  ParseError m_result = ParseErrorOk;
};

#endif
