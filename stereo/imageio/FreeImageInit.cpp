#include "imageio/FreeImageInit.h"

#include <FreeImage.h>

FreeImageInit::FreeImageInit() { FreeImage_Initialise(FALSE); }

FreeImageInit::~FreeImageInit() { FreeImage_DeInitialise(); }

void FreeImageInit::ensure()
{
  static const FreeImageInit instance;
  (void)instance;
}
