#include "calibration/WarpCatalogue.h"

using ParseTools::isKeyLine;

WarpCatalogue::WarpCatalogue(const ConfigLine* lines, std::size_t count) : m_lines(lines) {
  for (std::size_t first = 0; first < count; ++first) {
    if (!isKeyLine(*lines[first], "BEGINWARP")) continue;
    std::size_t end = first + 1;
    while (end < count && !isKeyLine(*lines[end], "ENDWARP") &&
           !isKeyLine(*lines[end], "BEGINWARP"))
      ++end;
    if (end == count) break;
    int id = 0;
    if (ParseTools::parseTokenInt("ID", lines + first, end - first, id))
      m_blocks.emplace(id, std::make_pair(first, end));
    first = end - 1;
  }
}

std::shared_ptr<const WarpData> WarpCatalogue::find(int id) {
  auto known = m_records.find(id);
  if (known != m_records.end()) return known->second;

  std::shared_ptr<const WarpData> record;
  auto block = m_blocks.find(id);
  if (block == m_blocks.end())
    record = std::make_shared<const WarpData>();
  else
    record = std::make_shared<const WarpData>(m_lines + block->second.first,
                                              block->second.second - block->second.first);
  m_records.emplace(id, record);
  return record;
}
