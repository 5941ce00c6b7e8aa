// Calibration, context and transform files are plain text with a decimal
// point: they are read and written in the C locale whatever locale the host
// program chose, so that a decimal comma can neither misread nor corrupt them.
#ifndef STELOX_CALIBRATION_CLOCALE_H
#define STELOX_CALIBRATION_CLOCALE_H

#include <locale.h>

// The process's C locale object, or null when the system could not make one.
locale_t cLocale();

// Switches the calling thread to the C locale for the life of the object.
class CLocaleScope {
public:
  CLocaleScope();
  ~CLocaleScope();
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
  locale_t m_previous;
};

#endif
