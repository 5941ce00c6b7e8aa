#include "calibration/ParseTools.h"

#include "calibration/CLocale.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace ParseTools {

namespace {

// The C locale's white space, independent of the locale the host program set.
bool isWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

void skipWhite(const char*& cursor) {
  while (isWhite(*cursor)) ++cursor;
}

bool readInt(const char*& cursor, int& value) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(cursor, &end, 10);
  if (end == cursor || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return false;
  value = static_cast<int>(parsed);
  cursor = end;
  return true;
}

bool readDouble(const char*& cursor, double& value) {
  char* end = nullptr;
  // Overflow gives an infinity, which is refused like "inf" and "nan".
  const double parsed = strtod_l(cursor, &end, cLocale());
  if (end == cursor || !std::isfinite(parsed)) return false;
  value = parsed;
  cursor = end;
  return true;
}

bool readWord(const char*& cursor, std::string_view& word) {
  skipWhite(cursor);
  const char* start = cursor;
  while (*cursor != '\0' && !isWhite(*cursor)) ++cursor;
  word = std::string_view(start, static_cast<std::size_t>(cursor - start));
  return !word.empty();
}

bool equalsIgnoringCase(std::string_view a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size(); ++i) {
    if (b[i] == '\0' || asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return b[i] == '\0';
}

bool readBool(const char*& cursor, bool& value) {
  std::string_view word;
  if (!readWord(cursor, word)) return false;
  if (equalsIgnoringCase(word, "true") || equalsIgnoringCase(word, "on")) {
    value = true;
    return true;
  }
  if (equalsIgnoringCase(word, "false") || equalsIgnoringCase(word, "off")) {
    value = false;
    return true;
  }
  return false;
}

bool readString(const char*& cursor, std::string& value) {
  skipWhite(cursor);
  if (*cursor != '"') {
    std::string_view word;
    if (!readWord(cursor, word)) return false;
    value.assign(word);
    return true;
  }
  std::string text;
  const char* c = cursor + 1;
  for (;;) {
    if (*c == '"') {
      ++c;
      break;
    }
    if (*c == '\0' || *c == '\n') break;
    if (*c == '\\') {
      if (c[1] != '"') return false;
      text.push_back('"');
      c += 2;
      continue;
    }
    text.push_back(*c++);
  }
  value = std::move(text);
  cursor = c;
  return true;
}

// Calls parseValues(cursor) on every line whose first word is key, in order,
// until it succeeds.
template <typename ParseValues>
bool scan(const char* key, const ConfigLine* lines, std::size_t count, ParseValues parseValues) {
  for (std::size_t i = 0; i < count; ++i) {
    const char* cursor = lines[i]->c_str();
    if (match_token(cursor, key) && parseValues(cursor, i)) return true;
  }
  return false;
}

}  // namespace

bool match_token(const char*& cursor, const char* word, bool ignoreCase) {
  const char* c = cursor;
  skipWhite(c);
  for (; *word != '\0'; ++word, ++c) {
    if (*c == '\0') return false;
    if (ignoreCase ? asciiLower(*c) != asciiLower(*word) : *c != *word) return false;
  }
  if (*c != '\0') {
    if (!isWhite(*c)) return false;
    ++c;
  }
  cursor = c;
  return true;
}

bool isKeyLine(const std::string& line, const char* word) {
  const char* cursor = line.c_str();
  return match_token(cursor, word);
}

void load_string(std::string_view text, ConfigLines& lines) {
  const std::size_t comment = text.find('#');
  if (comment != std::string_view::npos) text = text.substr(0, comment);
  std::size_t begin = 0;
  while (begin < text.size() && isWhite(text[begin])) ++begin;
  std::size_t end = text.size();
  while (end > begin && isWhite(text[end - 1])) --end;
  if (end > begin && text[end - 1] == '\\') return;
  lines.push_back(std::make_shared<const std::string>(text.substr(begin, end - begin)));
}

bool parseTokenInt(const char* key, const ConfigLine* lines, std::size_t count, int& value) {
  return scan(key, lines, count, [&](const char* cursor, std::size_t) {
    return readInt(cursor, value);
  });
}

bool parseTokenIntInt(const char* key, const ConfigLine* lines, std::size_t count, int& first,
                      int& second) {
  return scan(key, lines, count, [&](const char* cursor, std::size_t) {
    int a = 0;
    int b = 0;
    if (!readInt(cursor, a) || !readInt(cursor, b)) return false;
    first = a;
    second = b;
    return true;
  });
}

bool parseTokenInts(const char* key, const ConfigLine* lines, std::size_t count, std::size_t n,
                    int* values) {
  return scan(key, lines, count, [&](const char* cursor, std::size_t) {
    for (std::size_t i = 0; i < n; ++i) {
      if (!readInt(cursor, values[i])) return false;
    }
    return true;
  });
}

bool parseTokenDouble(const char* key, const ConfigLine* lines, std::size_t count, double& value) {
  return scan(key, lines, count, [&](const char* cursor, std::size_t) {
    return readDouble(cursor, value);
  });
}

bool parseTokenDoubleDouble(const char* key, const ConfigLine* lines, std::size_t count,
                            double& first, double& second) {
  return scan(key, lines, count, [&](const char* cursor, std::size_t) {
    double a = 0.0;
    double b = 0.0;
    if (!readDouble(cursor, a) || !readDouble(cursor, b)) return false;
    first = a;
    second = b;
    return true;
  });
}

bool parseTokenDoubles(const char* key, const ConfigLine* lines, std::size_t count, std::size_t n,
                       std::vector<double>& values) {
  return scan(key, lines, count, [&](const char* cursor, std::size_t) {
    values.clear();
    double value = 0.0;
    while (values.size() < n) {
      if (!readDouble(cursor, value)) return false;
      values.push_back(value);
    }
    return true;
  });
}

bool parseTokenDoubleList(const char* key, const ConfigLine* lines, std::size_t count,
                          std::size_t n, std::vector<double>& values) {
  return scan(key, lines, count, [&](const char* cursor, std::size_t line) {
    values.clear();
    double value = 0.0;
    while (values.size() < n) {
      skipWhite(cursor);
      if (*cursor == '\0') {
        if (++line >= count) return false;
        cursor = lines[line]->c_str();
      }
      if (!readDouble(cursor, value)) return false;
      values.push_back(value);
    }
    return true;
  });
}

bool parseTokenBool(const char* key, const ConfigLine* lines, std::size_t count, bool& value) {
  return scan(key, lines, count, [&](const char* cursor, std::size_t) {
    return readBool(cursor, value);
  });
}

bool parseTokenToken(const char* key, const char* token, const ConfigLine* lines,
                     std::size_t count) {
  return scan(key, lines, count, [&](const char* cursor, std::size_t) {
    return match_token(cursor, token);
  });
}

bool parseTokenString(const char* key, const ConfigLine* lines, std::size_t count,
                      std::string& value) {
  return scan(key, lines, count, [&](const char* cursor, std::size_t) {
    return readString(cursor, value);
  });
}

bool parseVersion(const ConfigLine* lines, std::size_t count, std::string& version,
                  std::string& name, int& major, int& minor) {
  return scan("VERSION", lines, count, [&](const char* cursor, std::size_t) {
    std::string value;
    if (!readString(cursor, value)) return false;
    skipWhite(cursor);
    if (*cursor != '\0') return false;

    const char* inner = value.c_str();
    std::string_view word;
    int majorNumber = 0;
    int minorNumber = 0;
    if (!readWord(inner, word) || !readInt(inner, majorNumber)) return false;
    skipWhite(inner);
    if (*inner != '.') return false;
    ++inner;
    if (!readInt(inner, minorNumber)) return false;

    name.assign(word);
    major = majorNumber;
    minor = minorNumber;
    version = std::move(value);
    return true;
  });
}

}  // namespace ParseTools
