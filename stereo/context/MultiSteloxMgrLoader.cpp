#include "context/MultiSteloxMgrLoader.h"

#include "context/SteloxHelper.h"
#include "context/SteloxMgrLoader.h"

#include <cstdio>
#include <new>

SteloxError MultiSteloxMgrLoader::loadDefaultMultiStelox(const ConfigFile& file)
{
  try {
    m_holder = std::make_unique<MultiSteloxMgr>();
  } catch (const std::bad_alloc& error) {
    std::printf("bad_alloc caught: %s\n", error.what());
    return SteloxErrorBadAlloc;
  }
  const SteloxError result = load(file);
  if (result != SteloxErrorOk)
    m_holder.reset();
  return result;
}

SteloxError MultiSteloxMgrLoader::load(const ConfigFile& file)
{
  if (const SteloxError result = SteloxHelper::parseToSteloxError(file.getParseResult()))
    return result;
  if (const SteloxError result = checkConfigFile(file))
    return result;
  for (int index = 0; index < file.getNumberOfConfigurations(); ++index) {
    const std::shared_ptr<const ConfigSection> section = file.getConfigSection(index);
    SteloxMgrLoader loader;
    if (const SteloxError result = loader.loadDefaultContext(*section))
      return result;
    const int slot = isNarrowCameraConfiguration(*section) ? SteloxCameraConfigurationNarrow
                                                           : SteloxCameraConfigurationWide;
    if (const SteloxError result = m_holder->setCameraConfigMgr(loader.getSteloxMgr(), slot))
      return result;
  }
  return SteloxErrorOk;
}

// One or two configurations, of different kinds, with the same aspect ratio.
SteloxError MultiSteloxMgrLoader::checkConfigFile(const ConfigFile& file)
{
  const int count = file.getNumberOfConfigurations();
  if (count < 1 || count > 2)
    return SteloxErrorCorruptConfigurationFile;
  std::shared_ptr<const ConfigSection> sections[2];
  for (int index = 0; index < count; ++index) {
    sections[index] = file.getConfigSection(index);
    if (!sections[index] || !sections[index]->getHeader())
      return SteloxErrorCorruptConfigurationFile;
  }
  if (count == 1)
    return SteloxErrorOk;
  if (isNarrowCameraConfiguration(*sections[0]) == isNarrowCameraConfiguration(*sections[1]))
    return SteloxErrorCorruptConfigurationFile;
  long long rows[2];
  long long cols[2];
  for (int index = 0; index < 2; ++index) {
    const ConfigHeader& header = *sections[index]->getHeader();
    if (header.exist("m_iCalibratedSensorRoiRows") && header.exist("m_iCalibratedSensorRoiCols")) {
      rows[index] = header.getCalibratedSensorRoiRows();
      cols[index] = header.getCalibratedSensorRoiCols();
    } else {
      rows[index] = 3;
      cols[index] = 4;
    }
  }
  if (rows[1] * cols[0] != cols[1] * rows[0])
    return SteloxErrorCorruptConfigurationFile;
  return SteloxErrorOk;
}

bool MultiSteloxMgrLoader::isNarrowCameraConfiguration(const ConfigSection& section)
{
  const std::shared_ptr<const ConfigHeader> header = section.getHeader();
  return header && MultiSteloxMgr::isNarrowBaseline(header->getBaseline());
}
