#include "context/MultiSteloxMgr.h"

#include <cstdio>

const double MultiSteloxMgr::m_sdBaselineThreshold = static_cast<double>(0.195f);

MultiSteloxMgr::MultiSteloxMgr(const MultiSteloxMgr& other) : m_active(other.m_active)
{
  for (int slot = 0; slot < kSlotCount; ++slot)
    if (other.m_slots[slot])
      m_slots[slot] = std::make_shared<SteloxMgr>(*other.m_slots[slot]);
}

MultiSteloxMgr& MultiSteloxMgr::operator=(const MultiSteloxMgr& other)
{
  if (this != &other) {
    MultiSteloxMgr copy(other);
    for (int slot = 0; slot < kSlotCount; ++slot)
      m_slots[slot] = std::move(copy.m_slots[slot]);
    m_active = copy.m_active;
  }
  return *this;
}

std::weak_ptr<SteloxMgr> MultiSteloxMgr::getActiveCameraConfigMgr() const
{
  if (!isValidCameraConfig(m_active))
    return {};
  return m_slots[m_active];
}

std::shared_ptr<SteloxMgr> MultiSteloxMgr::getCameraConfigMgr(int configuration) const
{
  return isValidCameraConfig(configuration) ? m_slots[configuration] : nullptr;
}

bool MultiSteloxMgr::existCameraConfig(int configuration) const
{
  return isValidCameraConfig(configuration) && m_slots[configuration] != nullptr;
}

bool MultiSteloxMgr::isContextConfigCompatible(const SteloxMgr& context, int configuration)
{
  if (context.getLensLayoutKind() != 0)
    return false;
  if (configuration == SteloxCameraConfigurationNarrow)
    return context.getBaseline() < m_sdBaselineThreshold;
  if (configuration == SteloxCameraConfigurationWide)
    return context.getBaseline() > m_sdBaselineThreshold;
  return false;
}

SteloxError MultiSteloxMgr::setCameraConfigMgr(const std::shared_ptr<SteloxMgr>& context, int configuration)
{
  if (!context || !isContextConfigCompatible(*context, configuration))
    return SteloxErrorInvalidContext;
  SteloxError result = SteloxErrorCameraConfigurationAlreadySet;
  if (!m_slots[configuration]) {
    m_slots[configuration] = context;
    context->setCameraConfig(configuration);
    result = SteloxErrorOk;
  }
  if (m_active == m_siInvalidCameraConfigIndex)
    m_active = configuration;
  return result;
}

SteloxError MultiSteloxMgr::activateCameraConfig(int configuration)
{
  if (!isValidCameraConfig(configuration))
    return SteloxErrorInvalidCameraConfiguration;
  if (!m_slots[configuration])
    return SteloxErrorCameraConfigurationNotSet;
  if (configuration == m_active)
    return SteloxErrorOk;
  if (isValidCameraConfig(m_active) && m_slots[m_active])
    m_slots[configuration]->copyDeviceFreeStereoSettings(*m_slots[m_active]);
  m_active = configuration;
  return SteloxErrorOk;
}

SteloxError MultiSteloxMgr::getCameraConfiguration(SteloxCameraConfiguration& out) const
{
  const std::shared_ptr<SteloxMgr> active = getActiveCameraConfigMgr().lock();
  if (!active)
    return SteloxErrorInvalidContext;
  out = active->getCameraConfig();
  return SteloxErrorOk;
}

void MultiSteloxMgr::clear()
{
  for (std::shared_ptr<SteloxMgr>& slot : m_slots)
    slot.reset();
  m_active = m_siInvalidCameraConfigIndex;
}

// Narrow configuration first, then wide: each starts with its own version
// line, which is where the reader splits them again.
template <typename Write>
SteloxError MultiSteloxMgr::writeToFile(const char* fileName, Write write) const
{
  if (fileName == nullptr)
    return SteloxErrorInvalidFilename;
  std::FILE* stream = std::fopen(fileName, "w");
  if (stream == nullptr)
    return SteloxErrorFileWrite;
  SteloxError result = SteloxErrorOk;
  for (int slot = 0; slot < kSlotCount && result == SteloxErrorOk; ++slot)
    if (m_slots[slot])
      result = write(*m_slots[slot], stream);
  if (std::fclose(stream) != 0 && result == SteloxErrorOk)
    result = SteloxErrorFileWrite;
  return result;
}

SteloxError MultiSteloxMgr::writeCurrentContextToFile(const char* fileName) const
{
  return writeToFile(fileName, [](const SteloxMgr& context, std::FILE* stream) { return context.saveToFile(stream); });
}

SteloxError MultiSteloxMgr::writeDefaultContextToFile(const char* fileName) const
{
  return writeToFile(fileName,
                     [](const SteloxMgr& context, std::FILE* stream) { return context.saveDefaultToFile(stream); });
}
