#include "calibration/WarpData.h"

using namespace ParseTools;

WarpData::WarpData(const ConfigLine* block, std::size_t count) {
  if (!parseTokenInt("ID", block, count, m_id)) return;
  m_facts.record("m_iId");

  int knots = 0;
  if (!parseTokenInt("NUMBERKNOTS", block, count, knots) || knots <= 0) {
    m_result = ParseErrorKnotCountMissing;
    return;
  }
  m_numKnots = knots;
  m_facts.record("m_inKnot");

  // The lists grow only with the numbers the text holds, so a knot or
  // coefficient count far beyond the text's size costs no memory.
  std::vector<double> xKnots;
  std::vector<double> yKnots;
  const bool knotsRead =
      parseTokenDoubles("KNOTSX", block, count, static_cast<std::size_t>(knots), xKnots) &&
      parseTokenDoubles("KNOTSY", block, count, static_cast<std::size_t>(knots), yKnots);
  if (knotsRead) {
    m_xKnots = std::make_shared<const std::vector<double>>(std::move(xKnots));
    m_yKnots = std::make_shared<const std::vector<double>>(std::move(yKnots));
    m_facts.record("m_dXKnots");
    m_facts.record("m_dYKnots");
  }

  // The grid is square; a negative count is refused even though a x b is
  // then positive.
  int rows = 0;
  int cols = 0;
  const bool coefCountRead =
      parseTokenIntInt("NUMBERCOEFS", block, count, rows, cols) && rows > 0 && rows == cols;
  if (coefCountRead) {
    m_numCoefs[0] = rows;
    m_numCoefs[1] = cols;
    m_facts.record("m_inCoeff");
    std::vector<double> coefs;
    const std::size_t total = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
    if (parseTokenDoubleList("Coefs", block, count, total, coefs)) {
      m_coefs = std::make_shared<const std::vector<double>>(std::move(coefs));
      m_facts.record("m_dCoefs");
    }
  }

  if (!knotsRead)
    m_result = ParseErrorKnotsMissing;
  else if (!coefCountRead)
    m_result = ParseErrorCoefCountMissing;
  else if (!m_coefs)
    m_result = ParseErrorCoefsMissing;
  else
    m_result = ParseErrorOk;
}

int WarpData::getNumCoefs(int i) const { return (i == 0 || i == 1) ? m_numCoefs[i] : 0; }
