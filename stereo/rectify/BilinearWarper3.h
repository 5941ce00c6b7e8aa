// The bilinear table with two hooks for derived kernels; as built it behaves
// exactly like Warper3.
#ifndef STELOX_RECTIFY_BILINEARWARPER3_H
#define STELOX_RECTIFY_BILINEARWARPER3_H

#include "rectify/Warper3.h"

class BilinearWarper3 : public Warper3 {
public:
  BilinearWarper3();
  // Shares the tables and re-runs init().
  BilinearWarper3(const BilinearWarper3& other);

  ~BilinearWarper3() override;
  Warper* clone() const override;
  KernelType kernelType() const override;

  // Same arguments and tables as Warper3::build, then init().
  bool build(const WarpMapFunc& map, int sourceRows, int sourceCols, int sourceRowIncrement,
             int outRows, int outCols, const ImageROI& roi, int rowShiftPercent,
             int colShiftPercent, int kernelSize);

  // Sets the kind to 0, computes the row ranges, then initKernels().
  virtual void init();
  // Room for kernel tables of derived warpers; nothing here.
  virtual void initKernels();
};

#endif
