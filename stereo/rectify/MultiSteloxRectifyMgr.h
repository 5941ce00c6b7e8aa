// One SteloxRectifyMgr per camera configuration of a calibration file.
#ifndef STELOX_RECTIFY_MULTISTELOXRECTIFYMGR_H
#define STELOX_RECTIFY_MULTISTELOXRECTIFYMGR_H

#include <memory>

#include "calibration/ConfigFile.h"
#include "rectify/SteloxRectifyMgr.h"

// A configuration is narrow when its baseline is at most the threshold.
enum SteloxRectifyCameraConfiguration : int {
  SteloxRectifyCameraConfigurationNarrow = 0,
  SteloxRectifyCameraConfigurationWide = 1
};

// A file may hold at most one narrow and one wide section. Creation stops at
// the first section that fails: its result becomes the creation result and
// nothing stays loaded, so a partly corrupt file is never taken for a good one.
class MultiSteloxRectifyMgr {
public:
  static const float m_sdBaselineThreshold;
  static const int m_siInvalidMappingIdx = -1;

  explicit MultiSteloxRectifyMgr(const ConfigFile& file);
  // Only the first section of the requested kind; RectifyErrorNoConfigurations
  // when the file has none.
  MultiSteloxRectifyMgr(const ConfigFile& file, SteloxRectifyCameraConfiguration configuration);
  MultiSteloxRectifyMgr(const MultiSteloxRectifyMgr&) = delete;
  MultiSteloxRectifyMgr& operator=(const MultiSteloxRectifyMgr&) = delete;
  ~MultiSteloxRectifyMgr();

  // The manager of a loaded configuration, else null.
  SteloxRectifyMgr* getRectifyManager(SteloxRectifyCameraConfiguration configuration) const;
  bool isCameraConfigurationLoaded(SteloxRectifyCameraConfiguration configuration) const;
  int getNumberOfManagers() const { return m_numberOfManagers; }
  RectifyError getCreationResult() const { return m_creationResult; }

  static bool isNarrowCameraConfiguration(const ConfigSection& section);
  static RectifyError checkConfigFile(const ConfigFile& file);
  // Replaces the slot of configuration with a manager of section; marks it
  // loaded when its creation succeeds. RectifyErrorAllocate when memory runs
  // out.
  RectifyError createMgr(const ConfigSection& section,
                         SteloxRectifyCameraConfiguration configuration);
  void clear();

private:
  static bool validConfiguration(SteloxRectifyCameraConfiguration configuration);
  static SteloxRectifyCameraConfiguration configurationOf(const ConfigSection& section);
  RectifyError checkFile(const ConfigFile& file);

  std::unique_ptr<SteloxRectifyMgr> m_managers[2];
  bool m_loaded[2] = {false, false};
  int m_numberOfManagers = 0;
  RectifyError m_creationResult = RectifyErrorOk;
};

#endif
