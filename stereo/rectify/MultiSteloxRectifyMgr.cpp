#include "rectify/MultiSteloxRectifyMgr.h"

#include <cstdio>
#include <new>

#include "rectify/RectifyHelper.h"

const float MultiSteloxRectifyMgr::m_sdBaselineThreshold = 0.195f;

MultiSteloxRectifyMgr::MultiSteloxRectifyMgr(const ConfigFile& file) {
  if (checkFile(file) != RectifyErrorOk)
    return;
  for (int i = 0; i < file.getNumberOfConfigurations(); ++i) {
    const std::shared_ptr<const ConfigSection> section = file.getConfigSection(i);
    m_creationResult = createMgr(*section, configurationOf(*section));
    if (m_creationResult != RectifyErrorOk)
      break;
  }
  if (m_creationResult != RectifyErrorOk)
    clear();
}

MultiSteloxRectifyMgr::MultiSteloxRectifyMgr(const ConfigFile& file,
                                             SteloxRectifyCameraConfiguration configuration) {
  if (checkFile(file) != RectifyErrorOk)
    return;
  m_creationResult = RectifyErrorNoConfigurations;
  if (validConfiguration(configuration)) {
    for (int i = 0; i < file.getNumberOfConfigurations(); ++i) {
      const std::shared_ptr<const ConfigSection> section = file.getConfigSection(i);
      if (configurationOf(*section) == configuration) {
        m_creationResult = createMgr(*section, configuration);
        break;
      }
    }
  }
  if (m_creationResult != RectifyErrorOk)
    clear();
}

MultiSteloxRectifyMgr::~MultiSteloxRectifyMgr() = default;

RectifyError MultiSteloxRectifyMgr::checkFile(const ConfigFile& file) {
  m_creationResult = RectifyHelper::parseToRectifyError(file.getParseResult());
  if (m_creationResult == RectifyErrorOk)
    m_creationResult = checkConfigFile(file);
  return m_creationResult;
}

bool MultiSteloxRectifyMgr::validConfiguration(SteloxRectifyCameraConfiguration configuration) {
  return configuration == SteloxRectifyCameraConfigurationNarrow ||
         configuration == SteloxRectifyCameraConfigurationWide;
}

SteloxRectifyCameraConfiguration MultiSteloxRectifyMgr::configurationOf(
    const ConfigSection& section) {
  return isNarrowCameraConfiguration(section) ? SteloxRectifyCameraConfigurationNarrow
                                              : SteloxRectifyCameraConfigurationWide;
}

SteloxRectifyMgr* MultiSteloxRectifyMgr::getRectifyManager(
    SteloxRectifyCameraConfiguration configuration) const {
  return isCameraConfigurationLoaded(configuration) ? m_managers[configuration].get() : nullptr;
}

bool MultiSteloxRectifyMgr::isCameraConfigurationLoaded(
    SteloxRectifyCameraConfiguration configuration) const {
  return validConfiguration(configuration) && m_loaded[configuration];
}

bool MultiSteloxRectifyMgr::isNarrowCameraConfiguration(const ConfigSection& section) {
  return section.getHeader() &&
         section.getHeader()->getBaseline() <= static_cast<double>(m_sdBaselineThreshold);
}

RectifyError MultiSteloxRectifyMgr::checkConfigFile(const ConfigFile& file) {
  const int count = file.getNumberOfConfigurations();
  if (count == 0)
    return RectifyErrorNoConfigurations;
  if (count > 2)
    return RectifyErrorTooManyConfigurations;
  int narrow = 0;
  for (int i = 0; i < count; ++i)
    if (isNarrowCameraConfiguration(*file.getConfigSection(i)))
      ++narrow;
  if (narrow > 1 || count - narrow > 1)
    return RectifyErrorInvalidConfigFile;
  return RectifyErrorOk;
}

RectifyError MultiSteloxRectifyMgr::createMgr(const ConfigSection& section,
                                              SteloxRectifyCameraConfiguration configuration) {
  if (!validConfiguration(configuration))
    return RectifyErrorInvalidConfigFile;
  try {
    m_managers[configuration] = std::make_unique<SteloxRectifyMgr>(section);
  } catch (const std::bad_alloc& e) {
    std::printf("bad_alloc caught: %s\n", e.what());
    return RectifyErrorAllocate;
  }
  const RectifyError result = m_managers[configuration]->getCreationResult();
  const bool loaded = result == RectifyErrorOk;
  if (loaded != m_loaded[configuration])
    m_numberOfManagers += loaded ? 1 : -1;
  m_loaded[configuration] = loaded;
  return result;
}

void MultiSteloxRectifyMgr::clear() {
  for (int i = 0; i < 2; ++i) {
    m_managers[i].reset();
    m_loaded[i] = false;
  }
  m_numberOfManagers = 0;
}
