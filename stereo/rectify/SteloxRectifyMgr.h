// Rectifiers of the two lenses of a stereo camera, built from one calibration
// section.
#ifndef STELOX_RECTIFY_STELOXRECTIFYMGR_H
#define STELOX_RECTIFY_STELOXRECTIFYMGR_H

#include <memory>

#include "calibration/ConfigHeader.h"
#include "calibration/ConfigSection.h"
#include "calibration/LensData.h"
#include "rectify/IRectifyMgr.h"
#include "rectify/RectifyLensData.h"

// Lenses by their position in the camera.
enum SteloxRectifyLens : int {
  SteloxRectifyLensReference = 0,  // at position (0, 0, 0)
  SteloxRectifyLensLeft = 1        // at position (-1, 0, 0)
};

// Checks the section in a fixed order and keeps the first failure as the
// creation result; rectifiers created before it stay in place. Copies share
// the rectifiers. Used from the thread that loads or runs the context.
class SteloxRectifyMgr : public IRectifyMgr {
public:
  static const char* const m_sProductName;
  static const int m_siInvalidMappingIdx = -1;

  SteloxRectifyMgr();
  explicit SteloxRectifyMgr(const ConfigSection& section);
  SteloxRectifyMgr(const ConfigSection& section, SteloxRectifyLens lens);
  SteloxRectifyMgr(const SteloxRectifyMgr&) = default;
  SteloxRectifyMgr& operator=(const SteloxRectifyMgr&) = default;

  RectifyError getCreationResult() const override;
  int getNumberOfLens() const override;
  std::shared_ptr<Rectifier> getRectifier(int lens) const override;
  ~SteloxRectifyMgr() override;
  // The rectifier of the lens at a position (three ints); null for another
  // position.
  virtual std::shared_ptr<Rectifier> getRectifier(const int* position) const;

  // Both lenses: exactly two lens records, one at (0, 0, 0) and one at
  // (-1, 0, 0); otherwise RectifyErrorInvalidNumberOfLens.
  RectifyError create(const ConfigSection& section);
  // One lens: the last record at its position; RectifyErrorInvalidNumberOfLens
  // when there is none.
  RectifyError create(const ConfigSection& section, SteloxRectifyLens lens);

  // Makes sure every created rectifier has a table for this request; stops at
  // the first error.
  RectifyError buildWarpers(int outRows, int outCols, int rawRows, int rawCols,
                            int rawRowIncrement, int roiRow, int roiCol, int roiRows, int roiCols,
                            int rowShiftPercent, int colShiftPercent, KernelType kind,
                            int kernelSize);

  static RectifyError checkProductName(const ConfigHeader& header);
  static RectifyError checkNumberOfLens(const ConfigSection& section);
  static RectifyError checkId(const LensData& lens, int* id);
  static RectifyError checkFocalLength(const ConfigHeader& header, double* x, double* y);
  static RectifyError checkImageCenter(const ConfigHeader& header, double* x, double* y);
  static RectifyError checkGain(const LensData& lens, double* gain);
  static RectifyError checkWarpDataRectifiedId(const LensData& lens, int* ids);
  static RectifyError checkWarpDataDistortedId(const LensData& lens, int* ids);
  // Present, read without error, and holding as many knots and coefficients
  // as the coefficient count needs (RectifyErrorInvalidWarpData otherwise).
  static RectifyError checkWarpDataRectified(const LensData& lens,
                                             std::shared_ptr<const WarpData>* warps);
  static RectifyError checkWarpDataDistorted(const LensData& lens,
                                             std::shared_ptr<const WarpData>* warps);
  static RectifyError checkCalibratedSensorRoiSize(const ConfigHeader& header, int* rows,
                                                   int* cols);
  static RectifyError createRectifyLensData(const ConfigHeader& header, const LensData& lens,
                                            RectifyLensData& d);
  static bool matchLensPosition(const LensData& lens, int x, int y, int z);
  static bool matchLensPosition(const int* position, int x, int y, int z);

private:
  void releaseRectifiers();
  // Parse result and product name, the first steps of both creations.
  RectifyError checkSection(const ConfigSection& section);
  RectifyError createLens(const ConfigHeader& header, const LensData& lens, int index);

  std::shared_ptr<Rectifier> m_rectifiers[2];
  RectifyError m_creationResult = RectifyErrorOk;
};

#endif
