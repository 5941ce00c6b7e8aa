#include "calibration/CLocale.h"

locale_t cLocale()
{
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

CLocaleScope::CLocaleScope() : m_previous(cLocale() ? uselocale(cLocale()) : static_cast<locale_t>(nullptr)) {}

CLocaleScope::~CLocaleScope()
{
  if (m_previous)
    uselocale(m_previous);
}
