// Feeds arbitrary bytes to both calibration readers and walks every record
// they produce. Besides the sanitizers' checks, the walk traps when a record
// breaks its own promises (a table shorter than its counts, a kept lens with
// an error).
#include "calibration/ConfigFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

void check(bool condition) {
  if (!condition) __builtin_trap();
}

void checkWarp(const LensData::Warp& warp) {
  check(warp != nullptr && warp->getParseResult() == ParseErrorOk);
  check(warp->getNumKnots() > 0 && warp->getNumCoefs(0) > 0 &&
        warp->getNumCoefs(0) == warp->getNumCoefs(1));
  const auto knots = static_cast<std::size_t>(warp->getNumKnots());
  check(warp->getXKnots()->size() == knots && warp->getYKnots()->size() == knots);
  const auto coefs = static_cast<std::size_t>(warp->getNumCoefs(0));
  check(warp->getCoefs()->size() == coefs * coefs);
}

void walk(const ConfigFile& file) {
  const ParseError result = file.getParseResult();
  check(result == ParseErrorOk || result == ParseErrorEmptyConfiguration ||
        result == ParseErrorOutOfMemory);
  for (int c = 0; c < file.getNumberOfConfigurations(); ++c) {
    const auto section = file.getConfigSection(c);
    check(section != nullptr && section->getHeader() != nullptr);
    const auto header = section->getHeader();
    int size = 0;
    if (header->exist("m_arpSkewMatrix"))
      check(header->getSkewMatrix(size)->size() == static_cast<std::size_t>(size));
    for (const ConfigLine& line : section->getConfigLines())
      check(line->size() <= ParseTools::kMaxLineLength);
    for (int l = 0; l < section->getNumberOfLensData(); ++l) {
      const auto lens = section->getLensData(l);
      check(lens->getParseResult() == ParseErrorOk);
      for (int i = 0; i < 2; ++i) {
        checkWarp(lens->getWarpDataRectified(i));
        checkWarp(lens->getWarpDataDistorted(i));
      }
      for (int i = 0; lens->exist("m_arWarpData3dSurface") && i < 3; ++i)
        checkWarp(lens->getWarpData3dSurface(i));
      if (lens->exist("m_warpDataFalloffCorrection")) checkWarp(lens->getWarpDataFalloffCorrection());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The buffer reader takes a zero-terminated text: an embedded NUL ends it.
  const std::string text(reinterpret_cast<const char*>(data), size);
  ConfigFile file;
  file.loadBuffer(text.c_str());
  walk(file);

  // The stream reader sees every byte, NULs included.
  if (size > 0) {
    std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (stream != nullptr) {
      file.load(stream);
      std::fclose(stream);
      walk(file);
    }
  }
  return 0;
}
