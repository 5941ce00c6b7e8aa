#include "calibration/PresenceFacts.h"

void PresenceFacts::record(std::string_view name) { m_names.emplace(name); }

bool PresenceFacts::exist(std::string_view name) const { return m_names.count(name) != 0; }
