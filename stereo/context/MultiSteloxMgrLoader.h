// Builds the MultiSteloxMgr of a whole calibration text: one context per
// configuration, narrow ones into slot 0 and wide ones into slot 1.
#ifndef STELOX_CONTEXT_MULTISTELOXMGRLOADER_H
#define STELOX_CONTEXT_MULTISTELOXMGRLOADER_H

#include "calibration/ConfigFile.h"
#include "calibration/ConfigSection.h"
#include "context/MultiSteloxMgr.h"
#include "stelox.h"

#include <memory>

class MultiSteloxMgrLoader {
public:
  // On error the holder is discarded and getMultiSteloxMgr() gives null.
  SteloxError loadDefaultMultiStelox(const ConfigFile& file);
  static SteloxError checkConfigFile(const ConfigFile& file);
  static bool isNarrowCameraConfiguration(const ConfigSection& section);

  // Hands the holder over; the loader keeps none.
  std::unique_ptr<MultiSteloxMgr> getMultiSteloxMgr() { return std::move(m_holder); }

private:
  SteloxError load(const ConfigFile& file);

  std::unique_ptr<MultiSteloxMgr> m_holder;
};

#endif
