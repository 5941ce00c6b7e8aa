// Rectifiers of the six lenses of a multi-lens rig section.
#ifndef STELOX_RECTIFY_OMNIRARECTIFYMGR_H
#define STELOX_RECTIFY_OMNIRARECTIFYMGR_H

#include <memory>

#include "calibration/ConfigSection.h"
#include "rectify/IRectifyMgr.h"

// Each lens carries its own focal lengths and image centre; gain and
// adjustments are not read (they stay 0).
class OmniraRectifyMgr : public IRectifyMgr {
public:
  static const char* const m_sProductName;
  static const int m_siInvalidMappingIdx = -1;
  static const int numberOfLens = 6;

  OmniraRectifyMgr();
  explicit OmniraRectifyMgr(const ConfigSection& section);

  RectifyError getCreationResult() const override;
  int getNumberOfLens() const override;
  std::shared_ptr<Rectifier> getRectifier(int lens) const override;

  RectifyError create(const ConfigSection& section);
  static bool matchCameraPosition(const LensData& lens, int x, int y, int z);

private:
  std::shared_ptr<Rectifier> m_rectifiers[numberOfLens];
  RectifyError m_creationResult = RectifyErrorOk;
};

#endif
