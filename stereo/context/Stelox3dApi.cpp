// 3D conversion, the world transform, 3D images and transform files of the
// C interface.
#include "context/SteloxApiCall.h"
#include "stelox.h"

using SteloxApi::guard;
using SteloxApi::withContext;
using SteloxApi::withGuardedContext;

namespace {

using Conversion = SteloxError (SteloxMgr::*)(float, float, float, float&, float&, float&) const;
using Conversion16 = SteloxError (SteloxMgr::*)(int, int, unsigned short, float&, float&, float&) const;

// Runs one conversion of the active context into three caller outputs.
template <typename Method, typename Row, typename Col, typename Third>
SteloxError convert(SteloxContext context, Method method, Row a, Col b, Third c, float* outA, float* outB,
                    float* outC)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    if (outA == nullptr || outB == nullptr || outC == nullptr)
      return SteloxErrorNullBuffer;
    return (mgr.*method)(a, b, c, *outA, *outB, *outC);
  });
}

}  // namespace

SteloxError steloxRCDToXYZ(SteloxContext context, float row, float col, float disparity, float* x, float* y,
                           float* z)
{
  return convert<Conversion>(context, &SteloxMgr::RCDToXYZ, row, col, disparity, x, y, z);
}

SteloxError steloxRCDFloatToXYZ(SteloxContext context, float row, float col, float disparity, float* x, float* y,
                                float* z)
{
  return convert<Conversion>(context, &SteloxMgr::RCDFloatToXYZ, row, col, disparity, x, y, z);
}

SteloxError steloxRCD16ToXYZ(SteloxContext context, int row, int col, unsigned short disparity16, float* x,
                             float* y, float* z)
{
  return convert<Conversion16>(context, &SteloxMgr::RCD16ToXYZ, row, col, disparity16, x, y, z);
}

SteloxError steloxXYZToRCD(SteloxContext context, float x, float y, float z, float* row, float* col,
                           float* disparity)
{
  return convert<Conversion>(context, &SteloxMgr::XYZToRCD, x, y, z, row, col, disparity);
}

SteloxError steloxRCDToWorldXYZ(SteloxContext context, float row, float col, float disparity, float* x, float* y,
                                float* z)
{
  return convert<Conversion>(context, &SteloxMgr::RCDToWorldXYZ, row, col, disparity, x, y, z);
}

SteloxError steloxRCDFloatToWorldXYZ(SteloxContext context, float row, float col, float disparity, float* x,
                                     float* y, float* z)
{
  return convert<Conversion>(context, &SteloxMgr::RCDFloatToWorldXYZ, row, col, disparity, x, y, z);
}

SteloxError steloxRCD16ToWorldXYZ(SteloxContext context, int row, int col, unsigned short disparity16, float* x,
                                  float* y, float* z)
{
  return convert<Conversion16>(context, &SteloxMgr::RCD16ToWorldXYZ, row, col, disparity16, x, y, z);
}

SteloxError steloxWorldXYZToRCD(SteloxContext context, float x, float y, float z, float* row, float* col,
                                float* disparity)
{
  return convert<Conversion>(context, &SteloxMgr::WorldXYZToRCD, x, y, z, row, col, disparity);
}

SteloxError steloxGetImageCenter(SteloxContext context, float* centerRow, float* centerCol)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    if (centerRow == nullptr || centerCol == nullptr)
      return SteloxErrorNullBuffer;
    mgr.getImageCenter(*centerRow, *centerCol);
    return SteloxErrorOk;
  });
}

SteloxError steloxSetSteloxToWorldTransform(SteloxContext context, const SteloxTransform* transform)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    if (transform == nullptr)
      return SteloxErrorNullBuffer;
    return mgr.setSteloxToWorldTransform(*transform);
  });
}

SteloxError steloxGetSteloxToWorldTransform(SteloxContext context, SteloxTransform* transform)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    if (transform == nullptr)
      return SteloxErrorNullBuffer;
    mgr.getSteloxToWorldTransform(*transform);
    return SteloxErrorOk;
  });
}

SteloxError steloxGetTransformFromFile(const char* fileName, SteloxTransform* transform)
{
  return guard([&] {
    if (fileName == nullptr)
      return SteloxErrorInvalidFilename;
    if (transform == nullptr)
      return SteloxErrorNullBuffer;
    return SteloxMgr::getTransformFromFile(fileName, *transform);
  });
}

SteloxError steloxWriteTransformToFile(const char* fileName, const SteloxTransform* transform)
{
  return guard([&] {
    if (fileName == nullptr)
      return SteloxErrorInvalidFilename;
    if (transform == nullptr)
      return SteloxErrorNullBuffer;
    return SteloxMgr::writeTransformToFile(fileName, *transform);
  });
}

SteloxError steloxCreateImage3d(SteloxContext context, SteloxImage3d** image)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) {
    if (image == nullptr)
      return SteloxErrorNullBuffer;
    return mgr.createImage3d(*image);
  });
}

SteloxError steloxDestroyImage3d(SteloxImage3d** image)
{
  if (image != nullptr)
    SteloxMgr::destroyImage3d(*image);
  return SteloxErrorOk;
}

SteloxError steloxExtractImage3d(SteloxContext context, SteloxImage3d* image)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) {
    if (image == nullptr)
      return SteloxErrorNullBuffer;
    return mgr.internalExtractImage3d(*image, false);
  });
}

SteloxError steloxExtractWorldImage3d(SteloxContext context, SteloxImage3d* image)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) {
    if (image == nullptr)
      return SteloxErrorNullBuffer;
    return mgr.internalExtractImage3d(*image, true);
  });
}
