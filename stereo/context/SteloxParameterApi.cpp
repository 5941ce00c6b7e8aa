// Parameter functions of the C interface: plain getters and setters of the
// active context, without exception guard (they cannot raise).
#include "context/SteloxApiCall.h"
#include "stelox.h"

using SteloxApi::readInto;
using SteloxApi::withContext;


SteloxError steloxSetEdgeCorrelation(SteloxContext context, int on)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    mgr.setEdgeCorrelation(on != 0);
    return SteloxErrorOk;
  });
}

SteloxError steloxGetEdgeCorrelation(SteloxContext context, int* on)
{
  return readInto(context, on, [](const SteloxMgr& mgr) { return mgr.getEdgeCorrelation() ? 1 : 0; });
}

SteloxError steloxSetDoStereo(SteloxContext context, int on)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    mgr.setDoStereo(on != 0);
    return SteloxErrorOk;
  });
}

SteloxError steloxGetDoStereo(SteloxContext context, int* on)
{
  return readInto(context, on, [](const SteloxMgr& mgr) { return mgr.getDoStereo() ? 1 : 0; });
}

SteloxError steloxSetRectify(SteloxContext context, int on)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    mgr.setRectify(on != 0);
    return SteloxErrorOk;
  });
}

SteloxError steloxGetRectify(SteloxContext context, int* on)
{
  return readInto(context, on, [](const SteloxMgr& mgr) { return mgr.getRectify() ? 1 : 0; });
}

SteloxError steloxSetTextureValidation(SteloxContext context, int on)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    mgr.setTextureValidation(on != 0);
    return SteloxErrorOk;
  });
}

SteloxError steloxGetTextureValidation(SteloxContext context, int* on)
{
  return readInto(context, on, [](const SteloxMgr& mgr) { return mgr.getTextureValidation() ? 1 : 0; });
}

SteloxError steloxSetBackForthValidation(SteloxContext context, int on)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    mgr.setBackForthValidation(on != 0);
    return SteloxErrorOk;
  });
}

SteloxError steloxGetBackForthValidation(SteloxContext context, int* on)
{
  return readInto(context, on, [](const SteloxMgr& mgr) { return mgr.getBackForthValidation() ? 1 : 0; });
}

SteloxError steloxSetSurfaceValidation(SteloxContext context, int on)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    mgr.setSurfaceValidation(on != 0);
    return SteloxErrorOk;
  });
}

SteloxError steloxGetSurfaceValidation(SteloxContext context, int* on)
{
  return readInto(context, on, [](const SteloxMgr& mgr) { return mgr.getSurfaceValidation() ? 1 : 0; });
}

SteloxError steloxSetTextureValidationMapping(SteloxContext context, unsigned char mapping)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    mgr.setTextureValidationMapping(mapping);
    return SteloxErrorOk;
  });
}

SteloxError steloxGetTextureValidationMapping(SteloxContext context, unsigned char* mapping)
{
  return readInto(context, mapping, [](const SteloxMgr& mgr) { return mgr.getTextureValidationMapping(); });
}

SteloxError steloxSetBackForthValidationMapping(SteloxContext context, unsigned char mapping)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    mgr.setBackForthValidationMapping(mapping);
    return SteloxErrorOk;
  });
}

SteloxError steloxGetBackForthValidationMapping(SteloxContext context, unsigned char* mapping)
{
  return readInto(context, mapping, [](const SteloxMgr& mgr) { return mgr.getBackForthValidationMapping(); });
}

SteloxError steloxSetSubpixelValidationMapping(SteloxContext context, unsigned char mapping)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    mgr.setSubpixelValidationMapping(mapping);
    return SteloxErrorOk;
  });
}

SteloxError steloxGetSubpixelValidationMapping(SteloxContext context, unsigned char* mapping)
{
  return readInto(context, mapping, [](const SteloxMgr& mgr) { return mgr.getSubpixelValidationMapping(); });
}

SteloxError steloxSetSurfaceValidationMapping(SteloxContext context, unsigned char mapping)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    mgr.setSurfaceValidationMapping(mapping);
    return SteloxErrorOk;
  });
}

SteloxError steloxGetSurfaceValidationMapping(SteloxContext context, unsigned char* mapping)
{
  return readInto(context, mapping, [](const SteloxMgr& mgr) { return mgr.getSurfaceValidationMapping(); });
}

SteloxError steloxSetEdgeMask(SteloxContext context, int size)
{
  return withContext(context, [&](SteloxMgr& mgr) { return mgr.setEdgeMask(size); });
}

SteloxError steloxGetEdgeMask(SteloxContext context, int* size)
{
  return readInto(context, size, [](const SteloxMgr& mgr) { return mgr.getEdgeMask(); });
}

SteloxError steloxSetStereoMask(SteloxContext context, int size)
{
  return withContext(context, [&](SteloxMgr& mgr) { return mgr.setStereoMask(size); });
}

SteloxError steloxGetStereoMask(SteloxContext context, int* size)
{
  return readInto(context, size, [](const SteloxMgr& mgr) { return mgr.getStereoMask(); });
}

SteloxError steloxSetSurfaceValidationSize(SteloxContext context, int size)
{
  return withContext(context, [&](SteloxMgr& mgr) { return mgr.setSurfaceValidationSize(size); });
}

SteloxError steloxGetSurfaceValidationSize(SteloxContext context, int* size)
{
  return readInto(context, size, [](const SteloxMgr& mgr) { return mgr.getSurfaceValidationSize(); });
}

SteloxError steloxSetTextureValidationThreshold(SteloxContext context, float threshold)
{
  return withContext(context, [&](SteloxMgr& mgr) { return mgr.setTextureValidationThreshold(threshold); });
}

SteloxError steloxGetTextureValidationThreshold(SteloxContext context, float* threshold)
{
  return readInto(context, threshold, [](const SteloxMgr& mgr) { return static_cast<float>(mgr.getTextureValidationThreshold()); });
}

SteloxError steloxSetSurfaceValidationDifference(SteloxContext context, float difference)
{
  return withContext(context, [&](SteloxMgr& mgr) { return mgr.setSurfaceValidationDifference(difference); });
}

SteloxError steloxGetSurfaceValidationDifference(SteloxContext context, float* difference)
{
  return readInto(context, difference, [](const SteloxMgr& mgr) { return static_cast<float>(mgr.getSurfaceValidationDifference()); });
}

SteloxError steloxSetAnyStereoMask(SteloxContext context, int size)
{
  return withContext(context, [&](SteloxMgr& mgr) { return mgr.setAnyStereoMask(size); });
}

SteloxError steloxSetDisparity(SteloxContext context, int minimum, int count)
{
  return withContext(context, [&](SteloxMgr& mgr) { return mgr.setDisparityRange(minimum, count); });
}

SteloxError steloxGetDisparity(SteloxContext context, int* minimum, int* maximum)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    if (minimum == nullptr || maximum == nullptr)
      return SteloxErrorNullBuffer;
    *minimum = mgr.getMinDisparity();
    *maximum = mgr.getMaxDisparity();
    return SteloxErrorOk;
  });
}

SteloxError steloxGetBaseline(SteloxContext context, float* baseline)
{
  return readInto(context, baseline, [](const SteloxMgr& mgr) { return static_cast<float>(mgr.getBaseline()); });
}

SteloxError steloxGetFocalLength(SteloxContext context, float* focalLength)
{
  return readInto(context, focalLength, [](const SteloxMgr& mgr) { return static_cast<float>(mgr.getFocalLength()); });
}

SteloxError steloxGetCalAspectRatio(SteloxContext context, float* aspectRatio)
{
  return readInto(context, aspectRatio,
             [](const SteloxMgr& mgr) { return static_cast<float>(mgr.getCalAspectRatio()); });
}

SteloxError steloxGetSerialNumber(SteloxContext context, int* serialNumber)
{
  return readInto(context, serialNumber, [](const SteloxMgr& mgr) { return mgr.getSerialNumber(); });
}
