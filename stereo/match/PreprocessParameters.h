// Settings of one frame's preprocessing, filled by the context right before use.
#ifndef STELOX_MATCH_PREPROCESSPARAMETERS_H
#define STELOX_MATCH_PREPROCESSPARAMETERS_H

#include "rectify/Warper.h"

namespace Stelox {

struct PreprocessParameters {
  KernelType kernelType = KernelTypeBilinear;  // warper kind; contexts put 0 here
  int kernelParameter = 5;                     // warper size; contexts put 5 here
  bool edgeCorrelation = true;                 // match edge images, not rectified ones
  int edgeMaskSize = 7;                        // edge filter mask, odd, 3 .. 11
  bool lowpass = false;                        // low-pass decision of the current frame
};

}  // namespace Stelox

#endif
