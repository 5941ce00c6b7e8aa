// Context creation, copying, destruction, camera configurations and context
// files of the C interface.
#include "calibration/ConfigFile.h"
#include "context/MultiSteloxMgrLoader.h"
#include "context/SteloxApiCall.h"
#include "stelox.h"

#include <sys/stat.h>

using SteloxApi::guard;
using SteloxApi::holder;
using SteloxApi::withContext;

namespace {

SteloxError loadContext(SteloxContext* context, const ConfigFile& file)
{
  MultiSteloxMgrLoader loader;
  const SteloxError result = loader.loadDefaultMultiStelox(file);
  if (result == SteloxErrorOk)
    *context = loader.getMultiSteloxMgr().release();
  return result;
}

}  // namespace

SteloxError steloxGetDefaultContextFromFile(SteloxContext* context, const char* fileName)
{
  if (context == nullptr)
    return SteloxErrorNullBuffer;
  *context = nullptr;
  struct stat status;
  if (fileName == nullptr || stat(fileName, &status) != 0)
    return SteloxErrorInvalidFilename;
  return guard([&] {
    ConfigFile file;
    file.load(fileName);
    return loadContext(context, file);
  });
}

SteloxError steloxGetDefaultContextFromMemory(SteloxContext* context, const char* text)
{
  if (context == nullptr)
    return SteloxErrorNullBuffer;
  *context = nullptr;
  if (text == nullptr)
    return SteloxErrorNullBuffer;
  return guard([&] {
    ConfigFile file;
    file.loadBuffer(text);
    return loadContext(context, file);
  });
}

SteloxError steloxCopyContext(SteloxContext context, SteloxContext* copy)
{
  if (context == nullptr)
    return SteloxErrorInvalidContext;
  if (copy == nullptr)
    return SteloxErrorNullBuffer;
  return guard([&] {
    *copy = new MultiSteloxMgr(*holder(context));
    return SteloxErrorOk;
  });
}

// A context still owned by a call under way lives until that call ends.
SteloxError steloxDestroyContext(SteloxContext context)
{
  if (context == nullptr)
    return SteloxErrorInvalidContext;
  std::unique_ptr<MultiSteloxMgr> owned(holder(context));
  owned->clear();
  return SteloxErrorOk;
}

SteloxError steloxSetCameraConfiguration(SteloxContext context, SteloxCameraConfiguration configuration)
{
  return withContext(context, [&](SteloxMgr&) { return holder(context)->activateCameraConfig(configuration); });
}

SteloxError steloxGetCameraConfiguration(SteloxContext context, SteloxCameraConfiguration* configuration)
{
  return withContext(context, [&](SteloxMgr&) {
    if (configuration == nullptr)
      return SteloxErrorNullBuffer;
    return holder(context)->getCameraConfiguration(*configuration);
  });
}

SteloxError steloxGetDeviceConfiguration(SteloxContext context, SteloxCameraConfiguration* configuration)
{
  return steloxGetCameraConfiguration(context, configuration);
}

SteloxError steloxWriteCurrentContextToFile(SteloxContext context, const char* fileName)
{
  return SteloxApi::withGuardedContext(
      context, [&](SteloxMgr&) { return holder(context)->writeCurrentContextToFile(fileName); });
}

SteloxError steloxWriteDefaultContextToFile(SteloxContext context, const char* fileName)
{
  return SteloxApi::withGuardedContext(
      context, [&](SteloxMgr&) { return holder(context)->writeDefaultContextToFile(fileName); });
}
