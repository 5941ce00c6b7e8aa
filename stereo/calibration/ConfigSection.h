// One configuration of a calibration text: its cleaned lines, the header
// parsed from all of them and one LensData per lens block that parsed without
// error. Immutable after construction; the lines are shared by reference
// count with the contexts built from the section.
#ifndef STELOX_CALIBRATION_CONFIGSECTION_H
#define STELOX_CALIBRATION_CONFIGSECTION_H

#include "calibration/ConfigHeader.h"
#include "calibration/LensData.h"
#include "calibration/ParseError.h"
#include "calibration/ParseTools.h"

#include <memory>
#include <vector>

class ConfigSection {
public:
  // Takes the lines and parses them.
  explicit ConfigSection(ConfigLines lines);

  std::shared_ptr<const ConfigHeader> getHeader() const { return m_header; }
  // Null for an index outside 0 .. getNumberOfLensData() - 1.
  std::shared_ptr<const LensData> getLensData(int index) const;
  int getNumberOfLensData() const { return static_cast<int>(m_lenses.size()); }
  ParseError getParseResult() const { return m_result; }
  int getNumberConfigLines() const { return static_cast<int>(m_lines.size()); }
  ConfigLines getConfigLines() const { return m_lines; }

private:
  ConfigLines m_lines;
  std::shared_ptr<const ConfigHeader> m_header;
  std::vector<std::shared_ptr<const LensData>> m_lenses;
  ParseError m_result = ParseErrorOk;
};

#endif
