#include "calibration/ConfigSection.h"

#include "calibration/WarpCatalogue.h"

using ParseTools::isKeyLine;

ConfigSection::ConfigSection(ConfigLines lines) : m_lines(std::move(lines)) {
  const ConfigLine* data = m_lines.data();
  const std::size_t count = m_lines.size();
  m_header = std::make_shared<const ConfigHeader>(data, count);

  WarpCatalogue warps(data, count);
  bool anyLensBlock = false;
  for (std::size_t first = 0; first < count; ++first) {
    if (!isKeyLine(*data[first], "BEGINCAMERA")) continue;
    anyLensBlock = true;
    // A block ends at "ENDCAMERA" or at the next "BEGINCAMERA"; a block that
    // runs to the end fails the whole section.
    std::size_t end = first + 1;
    while (end < count && !isKeyLine(*data[end], "ENDCAMERA") &&
           !isKeyLine(*data[end], "BEGINCAMERA"))
      ++end;
    if (end == count) {
      m_result = ParseErrorNoCameraSection;
      return;
    }
    auto lens = std::make_shared<const LensData>(warps, data + first, end - first);
    if (lens->getParseResult() == ParseErrorOk) m_lenses.push_back(std::move(lens));
    first = end - 1;
  }
  if (!anyLensBlock) m_result = ParseErrorNoCameraSection;
}

std::shared_ptr<const LensData> ConfigSection::getLensData(int index) const {
  if (index < 0 || index >= getNumberOfLensData()) return nullptr;
  return m_lenses[static_cast<std::size_t>(index)];
}
