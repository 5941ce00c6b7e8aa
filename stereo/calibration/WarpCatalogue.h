// The warp blocks of one configuration, indexed by id.
//
// The lines are scanned once; each id maps to the first block that carries it
// ("BEGINWARP" up to the next "ENDWARP" or "BEGINWARP"; a block without a
// terminator before the end is empty and never found). Records are built on
// first request and shared afterwards, so lenses that name the same table
// share one WarpData and a text with many lenses costs linear time.
#ifndef STELOX_CALIBRATION_WARPCATALOGUE_H
#define STELOX_CALIBRATION_WARPCATALOGUE_H

#include "calibration/ParseTools.h"
#include "calibration/WarpData.h"

#include <cstddef>
#include <map>
#include <memory>
#include <utility>

class WarpCatalogue {
public:
  // The lines must outlive the catalogue.
  WarpCatalogue(const ConfigLine* lines, std::size_t count);

  // The record for id; one with ParseErrorWarpIdMissing when no block has it.
  std::shared_ptr<const WarpData> find(int id);

private:
  const ConfigLine* m_lines;
  std::map<int, std::pair<std::size_t, std::size_t>> m_blocks;  // id -> [first, end)
  std::map<int, std::shared_ptr<const WarpData>> m_records;
};

#endif
