// The holder behind a SteloxContext: one slot per camera configuration
// (narrow, wide), each holding a SteloxMgr, and the index of the active slot.
#ifndef STELOX_CONTEXT_MULTISTELOXMGR_H
#define STELOX_CONTEXT_MULTISTELOXMGR_H

#include "context/SteloxMgr.h"
#include "stelox.h"

#include <memory>

class MultiSteloxMgr {
public:
  static constexpr int m_siInvalidCameraConfigIndex = -1;
  static constexpr int kSlotCount = 2;
  // Baselines at most this value (a float widened to double) are narrow.
  static const double m_sdBaselineThreshold;

  MultiSteloxMgr() = default;
  // Every occupied slot gets a new context copied from the source's.
  MultiSteloxMgr(const MultiSteloxMgr& other);
  MultiSteloxMgr& operator=(const MultiSteloxMgr& other);

  // Weak: the interface owns it only for the duration of one call.
  std::weak_ptr<SteloxMgr> getActiveCameraConfigMgr() const;
  int getIdxActiveCameraConfig() const { return m_active; }
  std::shared_ptr<SteloxMgr> getCameraConfigMgr(int configuration) const;
  bool existCameraConfig(int configuration) const;
  static bool isValidCameraConfig(int configuration) { return configuration == 0 || configuration == 1; }
  static bool isNarrowBaseline(double baseline) { return baseline <= m_sdBaselineThreshold; }
  static bool isContextConfigCompatible(const SteloxMgr& context, int configuration);

  // 34 for an incompatible context, 22 for an occupied slot.
  SteloxError setCameraConfigMgr(const std::shared_ptr<SteloxMgr>& context, int configuration);
  // 3 for an unknown configuration, 21 for an empty slot.
  SteloxError activateCameraConfig(int configuration);
  SteloxError getCameraConfiguration(SteloxCameraConfiguration& out) const;
  void clear();

  SteloxError writeCurrentContextToFile(const char* fileName) const;
  SteloxError writeDefaultContextToFile(const char* fileName) const;

private:
  template <typename Write>
  SteloxError writeToFile(const char* fileName, Write write) const;

  std::shared_ptr<SteloxMgr> m_slots[kSlotCount];
  int m_active = m_siInvalidCameraConfigIndex;
};

#endif
