#include "rectify/WarperList.h"

#include <cstdio>
#include <new>

#include "rectify/BilinearWarper3.h"

namespace {

void reportBadAlloc(const std::bad_alloc& e) { std::printf("bad_alloc caught: %s\n", e.what()); }

} // namespace

WarperList::WarperList() = default;

WarperList::~WarperList() = default;

RectifyError WarperList::init() {
  try {
    m_warpers.reset();
    m_count = 0;
    m_capacity = 0;
    m_warpers.reset(new std::unique_ptr<Warper>[m_nMaxWarperInc]);
    m_capacity = m_nMaxWarperInc;
    return RectifyErrorOk;
  } catch (const std::bad_alloc& e) {
    reportBadAlloc(e);
    return RectifyErrorAllocate;
  }
}

void WarperList::clear() {
  for (int i = 0; i < m_count; ++i)
    m_warpers[i].reset();
  m_count = 0;
}

void WarperList::setWarpFunc(const WarpMapFunc* map) {
  clear();
  m_map = map;
}

bool WarperList::reallocate() {
  try {
    std::unique_ptr<std::unique_ptr<Warper>[]> grown(
        new std::unique_ptr<Warper>[m_capacity + m_nMaxWarperInc]);
    for (int i = 0; i < m_count; ++i)
      grown[i] = std::move(m_warpers[i]);
    m_warpers = std::move(grown);
    m_capacity += m_nMaxWarperInc;
    return true;
  } catch (const std::bad_alloc& e) {
    reportBadAlloc(e);
    return false;
  }
}

std::unique_ptr<Warper> WarperList::buildWarper(int outRows, int outCols, int sourceRows,
                                                int sourceCols, int sourceRowIncrement,
                                                const ImageROI& roi, int rowShiftPercent,
                                                int colShiftPercent, KernelType kind,
                                                int kernelSize) const {
  if (m_map == nullptr)
    return nullptr;
  try {
    if (kind == KernelTypeBilinear) {
      Warper3 warper;
      if (!warper.build(*m_map, sourceRows, sourceCols, sourceRowIncrement, outRows, outCols,
                        roi, rowShiftPercent, colShiftPercent, kernelSize))
        return nullptr;
      return std::make_unique<Warper3>(warper);
    }
    BilinearWarper3 warper;
    if (!warper.build(*m_map, sourceRows, sourceCols, sourceRowIncrement, outRows, outCols, roi,
                      rowShiftPercent, colShiftPercent, kernelSize))
      return nullptr;
    return std::make_unique<BilinearWarper3>(warper);
  } catch (const std::bad_alloc& e) {
    reportBadAlloc(e);
    return nullptr;
  }
}

Warper* WarperList::append(std::unique_ptr<Warper> warper) {
  m_warpers[m_count] = std::move(warper);
  return m_warpers[m_count++].get();
}
