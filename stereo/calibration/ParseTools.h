// Line cleaning and the value grammar shared by every calibration key.
//
// A calibration text is kept as a list of cleaned lines (ConfigLine), each a
// shared, immutable string. Every parseToken... function scans the given
// lines from the first, takes the first line whose first word is the key (any
// case) and whose values all parse, writes its outputs and returns true.
// Outputs are written only on success, except the list readers, which may
// leave a partial list behind when they return false. Values beyond those
// asked for are ignored.
//
// Value grammar: integers with decimal strtol semantics that must fit an int;
// numbers with strtod semantics in the C locale that must be finite; booleans
// "true"/"on"/"false"/"off" in any case; strings either a run up to the next
// white space or a double-quoted text in which \" stands for a quote.
#ifndef STELOX_CALIBRATION_PARSETOOLS_H
#define STELOX_CALIBRATION_PARSETOOLS_H

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

using ConfigLine = std::shared_ptr<const std::string>;
using ConfigLines = std::vector<ConfigLine>;

namespace ParseTools {

// Longest line either reader produces; longer input lines are read as several
// lines of at most this many characters.
constexpr std::size_t kMaxLineLength = 4095;

// Skips white space, then matches word (ignoring ASCII case when asked). The
// word must be followed by the end of the text or by one white-space
// character, which is consumed. On success the cursor moves past the match.
bool match_token(const char*& cursor, const char* word, bool ignoreCase = true);

// True when the line's first word is word, ignoring case.
bool isKeyLine(const std::string& line, const char* word);

// Cleans one input line and appends it to lines: cut at the first '#', drop
// outer white space (a blank result is stored as an empty string). A line
// whose last remaining character is a backslash is not stored at all.
void load_string(std::string_view text, ConfigLines& lines);

bool parseTokenInt(const char* key, const ConfigLine* lines, std::size_t count, int& value);
bool parseTokenIntInt(const char* key, const ConfigLine* lines, std::size_t count, int& first,
                      int& second);
// At least n integers on the line; the first n are written to values[0..n).
bool parseTokenInts(const char* key, const ConfigLine* lines, std::size_t count, std::size_t n,
                    int* values);
bool parseTokenDouble(const char* key, const ConfigLine* lines, std::size_t count, double& value);
bool parseTokenDoubleDouble(const char* key, const ConfigLine* lines, std::size_t count,
                            double& first, double& second);
// At least n numbers on the key's own line. On success values holds exactly n
// numbers. The list grows only with numbers actually read, so a huge n costs
// no more memory than the text itself.
bool parseTokenDoubles(const char* key, const ConfigLine* lines, std::size_t count, std::size_t n,
                       std::vector<double>& values);
// n numbers that may continue on the following lines: when the rest of a line
// is blank, reading goes on at the start of the next line, which must begin
// with a number. Memory grows as for parseTokenDoubles.
bool parseTokenDoubleList(const char* key, const ConfigLine* lines, std::size_t count,
                          std::size_t n, std::vector<double>& values);
bool parseTokenBool(const char* key, const ConfigLine* lines, std::size_t count, bool& value);
// A line holding the key followed by the word token.
bool parseTokenToken(const char* key, const char* token, const ConfigLine* lines,
                     std::size_t count);
bool parseTokenString(const char* key, const ConfigLine* lines, std::size_t count,
                      std::string& value);
// "VERSION" followed by exactly one string value made of a name, a major
// number, a full stop and a minor number ("GEMLO 4.0"); version receives the
// whole value.
bool parseVersion(const ConfigLine* lines, std::size_t count, std::string& version,
                  std::string& name, int& major, int& minor);

}  // namespace ParseTools

#endif
