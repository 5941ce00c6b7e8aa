#include "rectify/BilinearWarper3.h"

BilinearWarper3::BilinearWarper3() = default;

BilinearWarper3::BilinearWarper3(const BilinearWarper3& other) : Warper3(other) {
  if (m_offsets.nRows() > 0)
    init();
}

BilinearWarper3::~BilinearWarper3() = default;

Warper* BilinearWarper3::clone() const { return new BilinearWarper3(*this); }

bool BilinearWarper3::build(const WarpMapFunc& map, int sourceRows, int sourceCols,
                            int sourceRowIncrement, int outRows, int outCols, const ImageROI& roi,
                            int rowShiftPercent, int colShiftPercent, int kernelSize) {
  if (!Warper3::build(map, sourceRows, sourceCols, sourceRowIncrement, outRows, outCols, roi,
                      rowShiftPercent, colShiftPercent, kernelSize))
    return false;
  init();
  return true;
}

KernelType BilinearWarper3::kernelType() const { return KernelTypeBilinearWithHooks; }

void BilinearWarper3::init() {
  m_kind = 0;
  initRange();
  initKernels();
}

void BilinearWarper3::initKernels() {}
