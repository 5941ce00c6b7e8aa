// The cache of lookup tables of one lens, all built from the same map.
#ifndef STELOX_RECTIFY_WARPERLIST_H
#define STELOX_RECTIFY_WARPERLIST_H

#include <memory>

#include "rectify/RectifyError.h"
#include "rectify/Warper.h"

// Holds warpers in request order; grows by m_nMaxWarperInc slots at a time.
// Not synchronised: used from the context's thread only.
class WarperList {
public:
  static constexpr int m_nMaxWarperInc = 16;

  WarperList();
  ~WarperList();
  WarperList(const WarperList&) = delete;
  WarperList& operator=(const WarperList&) = delete;

  // Empties the list and allocates m_nMaxWarperInc slots. RectifyErrorAllocate
  // when memory runs out.
  RectifyError init();
  // Deletes every warper and stores the map new warpers are built from (not
  // owned).
  void setWarpFunc(const WarpMapFunc* map);
  // Deletes every warper, keeping the map and the capacity.
  void clear();
  // Adds m_nMaxWarperInc slots; false when memory runs out.
  bool reallocate();

  // A new Warper3 (kind 0) or BilinearWarper3 (any other kind) built from the
  // list's map, or null when it cannot be built (no map, unusable sizes, or
  // memory exhausted).
  std::unique_ptr<Warper> buildWarper(int outRows, int outCols, int sourceRows, int sourceCols,
                                      int sourceRowIncrement, const ImageROI& roi,
                                      int rowShiftPercent, int colShiftPercent, KernelType kind,
                                      int kernelSize) const;

  // Appends a warper to a list with a free slot and returns it.
  Warper* append(std::unique_ptr<Warper> warper);

  int count() const { return m_count; }
  int capacity() const { return m_capacity; }
  bool full() const { return m_count == m_capacity; }
  Warper* at(int index) const { return m_warpers[index].get(); }
  const WarpMapFunc* warpFunc() const { return m_map; }

private:
  std::unique_ptr<std::unique_ptr<Warper>[]> m_warpers;
  int m_count = 0;
  int m_capacity = 0;
  const WarpMapFunc* m_map = nullptr;
};

#endif
