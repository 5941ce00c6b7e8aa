// Writing a context back as calibration text: the loaded lines as they were,
// or the loaded identity, lens and warp data with the current settings.
#include "calibration/CLocale.h"
#include "context/SteloxMgr.h"
#include "rectify/Rectifier.h"
#include "rectify/SteloxRectifyMgr.h"

#include <cstring>
#include <ctime>

namespace {

const char* onOff(bool on) { return on ? "on" : "off"; }

bool beginsWith(const std::string& line, const char* prefix)
{
  return line.compare(0, std::strlen(prefix), prefix) == 0;
}

}  // namespace

const std::string* SteloxMgr::getLineForToken(const char* token, bool ignoreCase) const
{
  for (const ConfigLine& line : m_configLines) {
    const char* cursor = line->c_str();
    if (ParseTools::match_token(cursor, token, ignoreCase))
      return line.get();
  }
  return nullptr;
}

void SteloxMgr::writeLine(std::FILE* stream, const char* token) const
{
  if (const std::string* line = getLineForToken(token))
    std::fprintf(stream, "%s\n", line->c_str());
}

SteloxError SteloxMgr::saveDefaultToFile(std::FILE* stream) const
{
  if (m_configLines.empty())
    return SteloxErrorInvalidContext;
  for (const ConfigLine& line : m_configLines)
    std::fprintf(stream, "%s\n", line->c_str());
  return SteloxErrorOk;
}

SteloxError SteloxMgr::saveToFile(std::FILE* stream) const
{
  const CLocaleScope decimalPoint;
  bool ok = true;
  writeSection1GeneralInfo(stream, ok);
  if (!ok)
    return SteloxErrorInvalidContext;
  writeSection2StereoParams(stream);
  writeSection3CameraInfo(stream);
  writeSection4LensInfo(stream, ok);
  if (!ok)
    return SteloxErrorInvalidContext;
  writeSection5WarpInfo(stream);
  return SteloxErrorOk;
}

void SteloxMgr::writeSection1GeneralInfo(std::FILE* stream, bool& ok) const
{
  for (const ConfigLine& line : m_configLines)
    if (beginsWith(*line, "#"))
      std::fputs(line->c_str(), stream);
  if (!getLineForToken("VERSION") || !getLineForToken("PRODUCT") || !getLineForToken("SERIALNUMBER")) {
    ok = false;
    return;
  }
  writeLine(stream, "VERSION");
  writeLine(stream, "BUILDNUMBER");
  writeLine(stream, "PRODUCT");
  writeLine(stream, "SERIALNUMBER");
  writeLine(stream, "PARTID");
  writeLine(stream, "SENSORRESOLUTION");

  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::fprintf(stream, "Date %02d-%s-%04d %02d:%02d:%02d\n", local.tm_mday, kMonths[local.tm_mon],
               local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
  std::fprintf(stream, "Debug off\n");
}

void SteloxMgr::writeSection2StereoParams(std::FILE* stream) const
{
  std::fprintf(stream, "\n");
  std::fprintf(stream, "Resolution %d %d\n", m_rectifiedRows, m_rectifiedCols);
  std::fprintf(stream, "LowPass %s\n", onOff(m_lowpassOn));
  std::fprintf(stream, "Rectify %s\n", onOff(m_rectifyOn));
  std::fprintf(stream, "EdgeCorrelation %s\n", onOff(m_edgeCorrelationOn));
  std::fprintf(stream, "DoStereo %s\n", onOff(m_doStereoOn));
  std::fprintf(stream, "EdgeMaskSize %d\n", m_edgeMaskSize);
  std::fprintf(stream, "StereoMaskSize %d\n", m_stereoMaskSize);
  std::fprintf(stream, "\n");
  std::fprintf(stream, "Disparity %d %d\n", m_minDisparity, m_maxDisparity);
  std::fprintf(stream, "TextureValidation %s\n", onOff(m_textureValidOn));
  std::fprintf(stream, "TextureValidationThreshold % 4.1f\n", m_textureThreshold);
  std::fprintf(stream, "TextureValidationMapping %d\n", m_textureMapping);
  std::fprintf(stream, "BackForthValidation %s\n", onOff(m_backForthValidOn));
  std::fprintf(stream, "BackForthValidationMapping %d\n", m_backForthMapping);
  std::fprintf(stream, "SubPixelInterpolate %s\n", onOff(m_subpixelOn));
  std::fprintf(stream, "StrictSubpixelValidation %s\n", onOff(m_strictSubpixelOn));
  std::fprintf(stream, "SurfaceValidation %s\n", onOff(m_surfaceValidOn));
  std::fprintf(stream, "SurfaceValidationMapping %d\n", m_surfaceMapping);
  std::fprintf(stream, "SurfaceValidationDifference % 5.2f\n", m_surfaceDifference);
  std::fprintf(stream, "SurfaceValidationSize %d\n", m_surfaceSize);
  std::fprintf(stream, "\n\n");
  std::fprintf(stream, "CameraConfiguration 2CameraHorizontal\n");
}

void SteloxMgr::writeSection3CameraInfo(std::FILE* stream) const
{
  std::fprintf(stream, "FocalLength %6g %6g\n", m_focalLengthX, m_focalLengthY);
  std::fprintf(stream, "ImageCenter %6g %6g\n", m_imageCenterX, m_imageCenterY);
  std::fprintf(stream, "FocalLength %6g\n", m_focalLength);
  std::fprintf(stream, "BaseLine %6g\n", m_baseline);
  writeLine(stream, "SHEARANGLE");
  writeLine(stream, "SKEWINGMATRIX");
  writeLine(stream, "UNSKEWINGMATRIX");
}

// Lens blocks as loaded, with the adjustment lines rewritten from the
// rectifier of the block's position.
void SteloxMgr::writeSection4LensInfo(std::FILE* stream, bool& ok) const
{
  std::fprintf(stream, "\n");
  int position[3] = {0, 0, 0};
  const std::size_t count = m_configLines.size();
  std::size_t index = 0;
  while (index < count) {
    if (!beginsWith(*m_configLines[index], "BeginCamera")) {
      ++index;
      continue;
    }
    for (; index < count && !beginsWith(*m_configLines[index], "EndCamera"); ++index) {
      const ConfigLine& line = m_configLines[index];
      if (beginsWith(*line, "RectFactor") || beginsWith(*line, "RawFactor"))
        continue;
      if (beginsWith(*line, "Position") && !ParseTools::parseTokenInts("Position", &line, 1, 3, position)) {
        ok = false;
        return;
      }
      std::fprintf(stream, "%s\n", line->c_str());
    }
    if (index == count)
      return;
    const std::shared_ptr<Rectifier> rectifier = m_rectifyMgr ? m_rectifyMgr->getRectifier(position) : nullptr;
    if (!rectifier) {
      ok = false;
      return;
    }
    double x = 0.0;
    double y = 0.0;
    rectifier->getRectifiedAdjustment(&x, &y);
    if (x != 0.0 || y != 0.0)
      std::fprintf(stream, "RectFactor %6g %6g\n", x, y);
    rectifier->getRawAdjustment(&x, &y);
    if (x != 0.0 || y != 0.0)
      std::fprintf(stream, "RawFactor %6g %6g\n", x, y);
    std::fprintf(stream, "%s\n\n", m_configLines[index]->c_str());
    ++index;
  }
}

void SteloxMgr::writeSection5WarpInfo(std::FILE* stream) const
{
  std::fprintf(stream, "\n");
  bool copying = false;
  for (const ConfigLine& line : m_configLines) {
    copying = copying || beginsWith(*line, "BeginWarp");
    if (copying)
      std::fprintf(stream, "%s\n", line->c_str());
  }
}
