// Contexts made from small calibration texts, for the interface tests.
#ifndef STELOX_TESTS_CONTEXT_CONTEXTFIXTURES_H
#define STELOX_TESTS_CONTEXT_CONTEXTFIXTURES_H

#include "calibration/CalibrationText.h"
#include "stelox.h"

#include <gtest/gtest.h>

#include <string>

namespace context_fixtures {

// Owns a SteloxContext for the length of a test.
class ContextHandle {
public:
  ContextHandle() = default;
  explicit ContextHandle(const std::string& text) { load(text); }
  ~ContextHandle() { steloxDestroyContext(m_context); }
  ContextHandle(const ContextHandle&) = delete;
  ContextHandle& operator=(const ContextHandle&) = delete;

  SteloxError load(const std::string& text)
  {
    steloxDestroyContext(m_context);
    m_context = nullptr;
    return steloxGetDefaultContextFromMemory(&m_context, text.c_str());
  }
  SteloxContext get() const { return m_context; }
  operator SteloxContext() const { return m_context; }
  SteloxContext* out() { return &m_context; }

private:
  SteloxContext m_context = nullptr;
};

// Replaces the first line that begins with key (the whole line) by
// replacement; an empty replacement removes the line.
inline std::string replaceLine(std::string text, const std::string& key, const std::string& replacement)
{
  const std::size_t begin = text.find(key);
  if (begin == std::string::npos)
    return replacement.empty() ? text : replacement + "\n" + text;
  const std::size_t end = text.find('\n', begin);
  text.replace(begin, end - begin + 1, replacement.empty() ? "" : replacement + "\n");
  return text;
}

// A two-lens configuration with the given header lines put in front of the
// lens blocks (later keys of the same name are not read, so earlier ones win).
inline std::string configuration(const std::string& extraHeader = "", const char* baseline = "0.12")
{
  // Contexts accept the product name in small letters only.
  std::string text = replaceLine(calibration_text::twoLensConfiguration(baseline), "Product", "Product gemlo");
  const std::size_t lenses = text.find("BeginCamera");
  text.insert(lenses, extraHeader);
  return text;
}

}  // namespace context_fixtures

#endif
