// The interface of the managers that build one rectifier per lens from a
// calibration section.
#ifndef STELOX_RECTIFY_IRECTIFYMGR_H
#define STELOX_RECTIFY_IRECTIFYMGR_H

#include <memory>

#include "rectify/Rectifier.h"
#include "rectify/RectifyError.h"

class IRectifyMgr {
public:
  // Not RectifyErrorOk: creation stopped at the check that failed.
  virtual RectifyError getCreationResult() const = 0;
  virtual int getNumberOfLens() const = 0;
  // Null for an index out of range or a lens that was not created.
  virtual std::shared_ptr<Rectifier> getRectifier(int lens) const = 0;
  virtual ~IRectifyMgr() = default;
};

#endif
