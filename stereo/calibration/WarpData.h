// One bicubic spline table of a configuration ("BEGINWARP" ... "ENDWARP"):
// n knots per axis and an a x a coefficient grid. Immutable after
// construction; the knot and coefficient lists are shared with the
// rectification objects built from them, so they outlive the record.
#ifndef STELOX_CALIBRATION_WARPDATA_H
#define STELOX_CALIBRATION_WARPDATA_H

#include "calibration/ParseError.h"
#include "calibration/ParseTools.h"
#include "calibration/PresenceFacts.h"

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

class WarpData {
public:
  using Values = std::shared_ptr<const std::vector<double>>;

  // The record of an id no block carries: ParseErrorWarpIdMissing.
  WarpData() = default;
  // Reads one delimited block, from its "BEGINWARP" line up to, not
  // including, its terminator. The block is expected to carry an "ID" line
  // (WarpCatalogue only hands over such blocks).
  WarpData(const ConfigLine* block, std::size_t count);

  int getId() const { return m_id; }
  int getNumKnots() const { return m_numKnots; }
  // Null unless the list was read in full (ask exist() or getParseResult()).
  // The knot lists hold getNumKnots() values, the coefficients
  // getNumCoefs(0) x getNumCoefs(1) values in text order.
  Values getXKnots() const { return m_xKnots; }
  Values getYKnots() const { return m_yKnots; }
  Values getCoefs() const { return m_coefs; }
  // i = 0 or 1; 0 for any other index or an absent count.
  int getNumCoefs(int i) const;
  ParseError getParseResult() const { return m_result; }
  bool exist(std::string_view name) const { return m_facts.exist(name); }

private:
  PresenceFacts m_facts;
  int m_id = -1;
  int m_numKnots = 0;
  Values m_xKnots;
  Values m_yKnots;
  int m_numCoefs[2] = {0, 0};
  Values m_coefs;
  ParseError m_result = ParseErrorWarpIdMissing;
};

#endif
