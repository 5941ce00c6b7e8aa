// Reads a calibration text, from a file or from memory, into configurations.
//
// Every load clears the previous result. Results are returned and stored,
// never thrown; a failing configuration is still listed with its own result.
//
// File text: lines are read with a 4096-byte buffer (a longer line becomes
// several lines); a configuration starts at a line whose first seven
// characters are "Version", and the first one also holds every line before
// it. Leading '#' lines of a configuration are kept verbatim with their line
// end; every other line is cleaned (ParseTools::load_string).
//
// Buffer text: white space and line ends before a line are skipped, so blank
// lines do not exist; a configuration starts at a line that begins with
// "Version" in any case, and lines before the first one are ignored. A line
// longer than 4095 characters is read as several lines of at most 4095
// characters, exactly as the file reader does, so one text gives the same
// configurations from a file and from memory.
#ifndef STELOX_CALIBRATION_CONFIGFILE_H
#define STELOX_CALIBRATION_CONFIGFILE_H

#include "calibration/ConfigSection.h"
#include "calibration/ParseError.h"
#include "calibration/ParseTools.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class ConfigFile {
public:
  ConfigFile() = default;
  // Reads the named file. A text in memory is read with loadBuffer (a
  // separate name, so that a file name can never be taken for calibration
  // text or the other way round).
  explicit ConfigFile(const std::string& fileName);

  ParseError load(const std::string& fileName);
  // Reads an open stream from its start. A null stream or one that fails to
  // read gives ParseErrorFileOpen and no configurations.
  ParseError load(std::FILE* stream);
  // Reads a zero-terminated text; null reads as an empty text.
  ParseError loadBuffer(const char* text);

  int getNumberOfConfigurations() const { return static_cast<int>(m_sections.size()); }
  // Null for an index outside 0 .. getNumberOfConfigurations() - 1.
  std::shared_ptr<const ConfigSection> getConfigSection(int index) const;
  ParseError getParseResult() const { return m_result; }

private:
  void clear();
  // Appends one configuration made of already cleaned lines.
  void addSection(ConfigLines lines);

  std::vector<std::shared_ptr<const ConfigSection>> m_sections;
  ParseError m_result = ParseErrorOk;
};

#endif
