// The set of facts (field names such as "m_dBaseline") a calibration record
// found with valid values. A name no key records is never present.
#ifndef STELOX_CALIBRATION_PRESENCEFACTS_H
#define STELOX_CALIBRATION_PRESENCEFACTS_H

#include <set>
#include <string>
#include <string_view>

class PresenceFacts {
public:
  void record(std::string_view name);
  bool exist(std::string_view name) const;

private:
  std::set<std::string, std::less<>> m_names;
};

#endif
