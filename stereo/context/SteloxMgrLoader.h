// Builds one SteloxMgr from one calibration configuration: the rectifiers,
// then every header check in its fixed order (see populateSteloxMgr).
#ifndef STELOX_CONTEXT_STELOXMGRLOADER_H
#define STELOX_CONTEXT_STELOXMGRLOADER_H

#include "calibration/ConfigHeader.h"
#include "calibration/ConfigSection.h"
#include "context/SteloxMgr.h"
#include "stelox.h"

#include <memory>

class SteloxMgrLoader {
public:
  // Starts from a fresh context with every default.
  SteloxMgrLoader();

  // On any error the loader drops its context.
  SteloxError loadDefaultContext(const ConfigSection& section);
  SteloxError populateSteloxMgr(const ConfigSection& section);
  static bool isVersionCompatible(const ConfigHeader& header);

  std::shared_ptr<SteloxMgr> getSteloxMgr() const { return m_context; }

private:
  SteloxError checkVersion(const ConfigHeader& header);
  SteloxError checkProduct(const ConfigHeader& header);
  SteloxError setProduct(const std::string& name);
  SteloxError checkSerialNumber(const ConfigHeader& header);
  SteloxError checkPartId(const ConfigHeader& header);
  SteloxError checkBaseline(const ConfigHeader& header);
  SteloxError checkFocalLength(const ConfigHeader& header);
  SteloxError checkImageCenter(const ConfigHeader& header);
  SteloxError checkCameraConfiguration(const ConfigHeader& header);
  void checkBackForthValidation(const ConfigHeader& header);
  void checkTextureValidation(const ConfigHeader& header);
  void checkSurfaceValidation(const ConfigHeader& header);
  void checkSubpixel();
  void checkStereoParams(const ConfigHeader& header);
  void checkReleaseNotes(const ConfigHeader& header);
  void checkResolution(const ConfigHeader& header);
  void checkDisparity(const ConfigHeader& header);
  void checkCalibratedSensorRoi(const ConfigHeader& header);

  std::shared_ptr<SteloxMgr> m_context;
};

#endif
