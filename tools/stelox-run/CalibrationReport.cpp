#include "CalibrationReport.h"

#include <functional>
#include <string>

namespace {

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%g", value);
  return text;
}

std::string flag(bool on) { return on ? "on" : "off"; }

template <typename Values>
std::string list(const Values& values) {
  std::string text;
  for (const auto& value : values) text += (text.empty() ? "" : " ") + number(value);
  return text;
}

struct HeaderRow {
  const char* label;
  const char* fact;  // every fact of a key is recorded together
  std::function<std::string(const ConfigHeader&)> value;
};

const HeaderRow kHeaderRows[] = {
    {"Version", "m_pszVersion",
     [](const ConfigHeader& h) {
       return "\"" + h.getVersion() + "\" (name " + h.getVersionName() + ", major " +
              std::to_string(h.getVersionMajorNumber()) + ", minor " +
              std::to_string(h.getVersionMinorNumber()) + ")";
     }},
    {"Product", "m_pszProduct", [](const ConfigHeader& h) { return h.getProductName(); }},
    {"Serial number", "m_iSerialNumber",
     [](const ConfigHeader& h) { return std::to_string(h.getSerialNumber()); }},
    {"Part id", "m_pszPartId", [](const ConfigHeader& h) { return h.getPartId(); }},
    {"Date calibrated", "m_pszDateCalibrated", [](const ConfigHeader& h) { return h.getDate(); }},
    {"Resolution (rows cols)", "m_iRows",
     [](const ConfigHeader& h) {
       return std::to_string(h.getRowsResolution()) + " " + std::to_string(h.getColsResolution());
     }},
    {"Sensor (rows cols)", "m_iSensorRows",
     [](const ConfigHeader& h) {
       return std::to_string(h.getSensorRowsResolution()) + " " +
              std::to_string(h.getSensorColsResolution());
     }},
    {"Calibrated sensor region (rows cols)", "m_iCalibratedSensorRoiRows",
     [](const ConfigHeader& h) {
       return std::to_string(h.getCalibratedSensorRoiRows()) + " " +
              std::to_string(h.getCalibratedSensorRoiCols());
     }},
    {"Calibrated sensor offset (row col)", "m_iCalibratedSensorRoiOffsetRow",
     [](const ConfigHeader& h) {
       return std::to_string(h.getCalibratedSensorRoiOffsetRow()) + " " +
              std::to_string(h.getCalibratedSensorRoiOffsetCol());
     }},
    {"Number of lenses", "m_uiNumberLens",
     [](const ConfigHeader& h) { return std::to_string(h.getNumberOfLens()); }},
    {"Sphere radius", "m_dConfigSphereRadius",
     [](const ConfigHeader& h) { return number(h.getConfigSphereRadius()); }},
    {"Maximum blending width", "m_dMaxBlendingWidth",
     [](const ConfigHeader& h) { return number(h.getMaxBlendingWidth()); }},
    {"Camera configuration", "m_pszCameraConfiguration",
     [](const ConfigHeader& h) { return h.getCameraConfiguration(); }},
    {"Focal length (x y)", "m_dFocalLengthX",
     [](const ConfigHeader& h) {
       return number(h.getFocalLengthX()) + " " + number(h.getFocalLengthY());
     }},
    {"Image centre (x y)", "m_dImageCenterX",
     [](const ConfigHeader& h) {
       return number(h.getImageCenterX()) + " " + number(h.getImageCenterY());
     }},
    {"Baseline", "m_dBaseline", [](const ConfigHeader& h) { return number(h.getBaseline()); }},
    {"Skew matrix", "m_arpSkewMatrix",
     [](const ConfigHeader& h) {
       int size = 0;
       return list(*h.getSkewMatrix(size));
     }},
    {"Unskew matrix", "m_arpUnskewMatrix",
     [](const ConfigHeader& h) {
       int size = 0;
       return list(*h.getUnskewMatrix(size));
     }},
    {"Low-pass", "m_bLowpassOn", [](const ConfigHeader& h) { return flag(h.getLowpassOn()); }},
    {"Rectify", "m_bRectifyOn", [](const ConfigHeader& h) { return flag(h.getRectifyOn()); }},
    {"Edge correlation", "m_bEdgeCorrelationOn",
     [](const ConfigHeader& h) { return flag(h.getEdgeCorrelationOn()); }},
    {"Stereo", "m_bDoStereoOn", [](const ConfigHeader& h) { return flag(h.getDoStereoOn()); }},
    {"Edge mask size", "m_iEdgeMaskSize",
     [](const ConfigHeader& h) { return std::to_string(h.getEdgeMaskSize()); }},
    {"Stereo mask size", "m_iStereoMaskSize",
     [](const ConfigHeader& h) { return std::to_string(h.getStereoMaskSize()); }},
    {"Disparity", "m_iMinDisparity",
     [](const ConfigHeader& h) {
       return std::to_string(h.getMinDisparity()) + " " + std::to_string(h.getMaxDisparity());
     }},
    {"Disparity mapping", "m_bDisparityMappingOn",
     [](const ConfigHeader& h) { return flag(h.getDisparityMappingOn()); }},
    {"Disparity mapping range", "m_iMinDisparityMapping",
     [](const ConfigHeader& h) {
       return std::to_string(h.getMinDisparityMapping()) + " " +
              std::to_string(h.getMaxDisparityMapping());
     }},
    {"Texture validation", "m_bTextureValidOn",
     [](const ConfigHeader& h) { return flag(h.getTextureValidOn()); }},
    {"Texture threshold", "m_dTextureValidThreshold",
     [](const ConfigHeader& h) { return number(h.getTextureValidThreshold()); }},
    {"Texture mapping", "m_TextureValidMapping",
     [](const ConfigHeader& h) { return std::to_string(h.getTextureValidMapping()); }},
    {"Back-forth validation", "m_bBackForthValidOn",
     [](const ConfigHeader& h) { return flag(h.getBackForthValidOn()); }},
    {"Back-forth mapping", "m_backForthValidMapping",
     [](const ConfigHeader& h) { return std::to_string(h.getBackForthValidMapping()); }},
    {"Uniqueness validation", "m_bUniqueValidOn",
     [](const ConfigHeader& h) { return flag(h.getUniqueValidOn()); }},
    {"Uniqueness threshold", "m_dUniqueValidThreshold",
     [](const ConfigHeader& h) { return number(h.getUniqueValidThreshold()); }},
    {"Uniqueness mapping", "m_UniqueValidMapping",
     [](const ConfigHeader& h) { return std::to_string(h.getUniqueValidMapping()); }},
    {"Sub-pixel interpolation", "m_bSubpixelInterpolateOn",
     [](const ConfigHeader& h) { return flag(h.getSubpixelInterpolateOn()); }},
    {"Strict sub-pixel validation", "m_bStrictSubpixelOn",
     [](const ConfigHeader& h) { return flag(h.getStrictSubpixelOn()); }},
    {"Surface validation", "m_bSurfaceValidOn",
     [](const ConfigHeader& h) { return flag(h.getSurfaceValidOn()); }},
    {"Surface size", "m_iSurfaceValidSize",
     [](const ConfigHeader& h) { return std::to_string(h.getSurfaceValidSize()); }},
    {"Surface difference", "m_dSurfaceValidDiff",
     [](const ConfigHeader& h) { return number(h.getSurfaceValidDiff()); }},
    {"Surface mapping", "m_SurfaceValidMapping",
     [](const ConfigHeader& h) { return std::to_string(h.getSurfaceValidMapping()); }},
    {"Release notes", "m_pReleaseNotes", [](const ConfigHeader& h) { return h.getReleaseNotes(); }},
    {"Rectification quality", "m_pRectificationQuality",
     [](const ConfigHeader& h) { return h.getRectificationQuality(); }},
};

void printRow(std::FILE* out, const char* indent, const char* label, const std::string& value) {
  const int labelWidth = 40 - static_cast<int>(std::string(indent).size());
  std::fprintf(out, "%s%-*s %s\n", indent, labelWidth, label, value.c_str());
}

std::string tables(const LensData::Warp& x, const LensData::Warp& y) {
  const auto describe = [](const LensData::Warp& warp) {
    return std::to_string(warp->getId()) + " (" + std::to_string(warp->getNumKnots()) +
           " knots, " + std::to_string(warp->getNumCoefs(0)) + " x " +
           std::to_string(warp->getNumCoefs(1)) + " coefficients)";
  };
  return "column " + describe(x) + ", row " + describe(y);
}

void printLens(std::FILE* out, int index, const LensData& lens) {
  std::fprintf(out, "  Lens %d\n", index + 1);
  const char* indent = "    ";
  if (lens.exist("m_iId")) printRow(out, indent, "Id", std::to_string(lens.getId()));
  if (lens.exist("m_inPosition")) printRow(out, indent, "Position", list(lens.getPosition()));
  if (lens.exist("m_dGain")) printRow(out, indent, "Gain", number(lens.getGain()));
  if (lens.exist("m_ardFocalLength"))
    printRow(out, indent, "Focal length (x y)", list(lens.getFocalLength()));
  if (lens.exist("m_ardCenter")) printRow(out, indent, "Centre record", list(lens.getImageCenter()));
  if (lens.exist("m_dRectAdj"))
    printRow(out, indent, "Rectified adjustment (x y)",
             number(lens.getRectXAdj()) + " " + number(lens.getRectYAdj()));
  if (lens.exist("m_dRawAdj"))
    printRow(out, indent, "Raw adjustment (x y)",
             number(lens.getRawXAdj()) + " " + number(lens.getRawYAdj()));
  printRow(out, indent, "Rectified-to-raw tables",
           tables(lens.getWarpDataRectified(0), lens.getWarpDataRectified(1)));
  printRow(out, indent, "Raw-to-rectified tables",
           tables(lens.getWarpDataDistorted(0), lens.getWarpDataDistorted(1)));
  if (lens.exist("m_arWarpData3dSurface"))
    printRow(out, indent, "3D surface tables", list(lens.getWarpData3dSurfaceId()));
  if (lens.exist("m_warpDataFalloffCorrection"))
    printRow(out, indent, "Fall-off table", std::to_string(lens.getWarpDataFalloffCorrectionId()));
}

}  // namespace

void printCalibration(const ConfigFile& file, std::FILE* out) {
  const int configurations = file.getNumberOfConfigurations();
  std::fprintf(out, "Configurations: %d\n", configurations);
  for (int c = 0; c < configurations; ++c) {
    const auto section = file.getConfigSection(c);
    const auto header = section->getHeader();
    std::fprintf(out, "\nConfiguration %d (%d lines)\n", c + 1, section->getNumberConfigLines());
    for (const HeaderRow& row : kHeaderRows) {
      if (header->exist(row.fact)) printRow(out, "  ", row.label, row.value(*header));
    }
    printRow(out, "  ", "Lens blocks read", std::to_string(section->getNumberOfLensData()));
    for (int l = 0; l < section->getNumberOfLensData(); ++l)
      printLens(out, l, *section->getLensData(l));
  }
}
