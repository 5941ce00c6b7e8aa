#include "calibration/ConfigFile.h"

#include <new>
#include <string_view>

namespace {

bool isBufferLineSkip(char c) { return c == '\n' || c == '\r' || c == '\t' || c == ' '; }

bool startsWithVersionIgnoringCase(std::string_view line) {
  static const char kVersion[] = "version";
  if (line.size() < sizeof(kVersion) - 1) return false;
  for (std::size_t i = 0; i + 1 < sizeof(kVersion); ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kVersion[i]) return false;
  }
  return true;
}

}  // namespace

ConfigFile::ConfigFile(const std::string& fileName) { load(fileName); }

void ConfigFile::clear() {
  m_sections.clear();
  m_result = ParseErrorOk;
}

void ConfigFile::addSection(ConfigLines lines) {
  if (lines.empty()) m_result = ParseErrorEmptyConfiguration;
  m_sections.push_back(std::make_shared<const ConfigSection>(std::move(lines)));
}

std::shared_ptr<const ConfigSection> ConfigFile::getConfigSection(int index) const {
  if (index < 0 || index >= getNumberOfConfigurations()) return nullptr;
  return m_sections[static_cast<std::size_t>(index)];
}

ParseError ConfigFile::load(const std::string& fileName) {
  clear();
  std::FILE* stream = std::fopen(fileName.c_str(), "r");
  if (stream == nullptr) {
    m_result = ParseErrorFileOpen;
    return m_result;
  }
  load(stream);
  std::fclose(stream);
  return m_result;
}

ParseError ConfigFile::load(std::FILE* stream) {
  clear();
  if (stream == nullptr) {
    m_result = ParseErrorFileOpen;
    return m_result;
  }
  try {
    std::rewind(stream);
    // A line is what one read with a 4096-byte buffer returns; text after an
    // embedded NUL byte on the same read is dropped.
    std::vector<std::string> raw;
    char buffer[ParseTools::kMaxLineLength + 1];
    while (std::fgets(buffer, sizeof(buffer), stream) != nullptr) raw.emplace_back(buffer);
    // A stream that fails mid-way (a directory, an I/O error) would otherwise
    // pass for a shorter text.
    if (std::ferror(stream)) {
      m_result = ParseErrorFileOpen;
      return m_result;
    }

    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i].compare(0, 7, "Version") == 0) starts.push_back(i);
    }
    for (std::size_t k = 0; k < starts.size(); ++k) {
      const std::size_t first = (k == 0) ? 0 : starts[k];
      const std::size_t end = (k + 1 < starts.size()) ? starts[k + 1] : raw.size();
      ConfigLines lines;
      lines.reserve(end - first);
      bool leadingComments = true;
      for (std::size_t i = first; i < end; ++i) {
        if (leadingComments && raw[i][0] == '#') {
          lines.push_back(std::make_shared<const std::string>(raw[i]));
          continue;
        }
        leadingComments = false;
        ParseTools::load_string(raw[i], lines);
      }
      addSection(std::move(lines));
    }
  } catch (const std::bad_alloc&) {
    m_result = ParseErrorOutOfMemory;
  }
  return m_result;
}

ParseError ConfigFile::loadBuffer(const char* text) {
  clear();
  if (text == nullptr) return m_result;
  try {
    std::vector<std::string_view> raw;
    const char* cursor = text;
    for (;;) {
      while (isBufferLineSkip(*cursor)) ++cursor;
      if (*cursor == '\0') break;
      const char* start = cursor;
      std::size_t length = 0;
      while (*cursor != '\0' && *cursor != '\n' && length < ParseTools::kMaxLineLength) {
        ++cursor;
        ++length;
      }
      raw.emplace_back(start, length);
    }

    std::size_t first = 0;
    while (first < raw.size() && !startsWithVersionIgnoringCase(raw[first])) ++first;
    while (first < raw.size()) {
      std::size_t end = first + 1;
      while (end < raw.size() && !startsWithVersionIgnoringCase(raw[end])) ++end;
      ConfigLines lines;
      lines.reserve(end - first);
      for (std::size_t i = first; i < end; ++i) ParseTools::load_string(raw[i], lines);
      addSection(std::move(lines));
      first = end;
    }
  } catch (const std::bad_alloc&) {
    m_result = ParseErrorOutOfMemory;
  }
  return m_result;
}
