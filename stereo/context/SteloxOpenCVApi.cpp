// Stereo algorithm and OpenCV matcher functions of the C interface. OpenCV
// may raise inside any of them: every call is guarded.
#include "context/SteloxApiCall.h"
#include "stelox.h"

using SteloxApi::withGuardedContext;

namespace {

// A guarded getter: reading a matcher's setting may raise inside OpenCV.
template <typename T, typename Read>
SteloxError get(SteloxContext context, T* out, Read read)
{
  return SteloxApi::guard([&] { return SteloxApi::readInto(context, out, read); });
}

// A getter of two values; both outputs are written or neither.
template <typename Read>
SteloxError getPair(SteloxContext context, int* first, int* second, Read read)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) {
    if (first == nullptr || second == nullptr)
      return SteloxErrorNullBuffer;
    int a = 0, b = 0;
    read(mgr, a, b);
    *first = a;
    *second = b;
    return SteloxErrorOk;
  });
}

template <typename Write>
SteloxError set(SteloxContext context, Write write)
{
  return withGuardedContext(context, write);
}

}  // namespace

SteloxError steloxSetStereoAlgorithm(SteloxContext context, SteloxStereoAlgorithm algorithm)
{
  return set(context, [&](SteloxMgr& mgr) {
    mgr.setStereoAlgorithm(algorithm);
    return SteloxErrorOk;
  });
}

SteloxError steloxGetStereoAlgorithm(SteloxContext context, SteloxStereoAlgorithm* algorithm)
{
  return get(context, algorithm, [](const SteloxMgr& mgr) { return mgr.getStereoAlgorithm(); });
}

SteloxError steloxSetOpenCVStereoMaskSize(SteloxContext context, int size)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVStereoMaskSize(size); });
}

SteloxError steloxGetOpenCVStereoMaskSize(SteloxContext context, int* size)
{
  return get(context, size, [](const SteloxMgr& mgr) { return mgr.getOpenCVStereoMaskSize(); });
}

SteloxError steloxSetOpenCVMinDisparity(SteloxContext context, int minimum)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVMinDisparity(minimum); });
}

SteloxError steloxGetOpenCVMinDisparity(SteloxContext context, int* minimum)
{
  return get(context, minimum, [](const SteloxMgr& mgr) { return mgr.getOpenCVMinDisparity(); });
}

SteloxError steloxSetOpenCVNumDisparities(SteloxContext context, int count)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVNumDisparities(count); });
}

SteloxError steloxGetOpenCVNumDisparities(SteloxContext context, int* count)
{
  return get(context, count, [](const SteloxMgr& mgr) { return mgr.getOpenCVNumDisparities(); });
}

SteloxError steloxSetOpenCVMaxDisparity(SteloxContext context, int maximum)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVMaxDisparity(maximum); });
}

SteloxError steloxGetOpenCVMaxDisparity(SteloxContext context, int* maximum)
{
  return get(context, maximum, [](const SteloxMgr& mgr) { return mgr.getOpenCVMaxDisparity(); });
}

SteloxError steloxSetOpenCVMinMaxDisparities(SteloxContext context, int minimum, int maximum)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVMinMaxDisparities(minimum, maximum); });
}

SteloxError steloxGetOpenCVMinMaxDisparities(SteloxContext context, int* minimum, int* maximum)
{
  return getPair(context, minimum, maximum,
                 [](const SteloxMgr& mgr, int& a, int& b) { mgr.getOpenCVMinMaxDisparities(a, b); });
}

SteloxError steloxSetOpenCVDisparityRange(SteloxContext context, int minimum, int count)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVDisparityRange(minimum, count); });
}

SteloxError steloxGetOpenCVDisparityRange(SteloxContext context, int* minimum, int* count)
{
  return getPair(context, minimum, count,
                 [](const SteloxMgr& mgr, int& a, int& b) { mgr.getOpenCVDisparityRange(a, b); });
}

SteloxError steloxSetOpenCVSpeckleWindowSize(SteloxContext context, int size)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVSpeckleWindowSize(size); });
}

SteloxError steloxGetOpenCVSpeckleWindowSize(SteloxContext context, int* size)
{
  return get(context, size, [](const SteloxMgr& mgr) { return mgr.getOpenCVSpeckleWindowSize(); });
}

SteloxError steloxSetOpenCVSpeckleRange(SteloxContext context, int range)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVSpeckleRange(range); });
}

SteloxError steloxGetOpenCVSpeckleRange(SteloxContext context, int* range)
{
  return get(context, range, [](const SteloxMgr& mgr) { return mgr.getOpenCVSpeckleRange(); });
}

SteloxError steloxSetOpenCVDisp12MaxDiff(SteloxContext context, int difference)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVDisp12MaxDiff(difference); });
}

SteloxError steloxGetOpenCVDisp12MaxDiff(SteloxContext context, int* difference)
{
  return get(context, difference, [](const SteloxMgr& mgr) { return mgr.getOpenCVDisp12MaxDiff(); });
}

SteloxError steloxSetOpenCVBMPreFilterType(SteloxContext context, int type)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVBMPreFilterType(type); });
}

SteloxError steloxGetOpenCVBMPreFilterType(SteloxContext context, int* type)
{
  return get(context, type, [](const SteloxMgr& mgr) { return mgr.getOpenCVBMPreFilterType(); });
}

SteloxError steloxSetOpenCVBMPreFilterSize(SteloxContext context, int size)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVBMPreFilterSize(size); });
}

SteloxError steloxGetOpenCVBMPreFilterSize(SteloxContext context, int* size)
{
  return get(context, size, [](const SteloxMgr& mgr) { return mgr.getOpenCVBMPreFilterSize(); });
}

SteloxError steloxSetOpenCVPreFilterCap(SteloxContext context, int cap)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVPreFilterCap(cap); });
}

SteloxError steloxGetOpenCVPreFilterCap(SteloxContext context, int* cap)
{
  return get(context, cap, [](const SteloxMgr& mgr) { return mgr.getOpenCVPreFilterCap(); });
}

SteloxError steloxSetOpenCVBMTextureThreshold(SteloxContext context, int threshold)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVBMTextureThreshold(threshold); });
}

SteloxError steloxGetOpenCVBMTextureThreshold(SteloxContext context, int* threshold)
{
  return get(context, threshold, [](const SteloxMgr& mgr) { return mgr.getOpenCVBMTextureThreshold(); });
}

SteloxError steloxSetOpenCVUniquenessRatio(SteloxContext context, int ratio)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVUniquenessRatio(ratio); });
}

SteloxError steloxGetOpenCVUniquenessRatio(SteloxContext context, int* ratio)
{
  return get(context, ratio, [](const SteloxMgr& mgr) { return mgr.getOpenCVUniquenessRatio(); });
}

SteloxError steloxSetOpenCVSGBMP1(SteloxContext context, int p1)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVSGBMP1(p1); });
}

SteloxError steloxGetOpenCVSGBMP1(SteloxContext context, int* p1)
{
  return get(context, p1, [](const SteloxMgr& mgr) { return mgr.getOpenCVSGBMP1(); });
}

SteloxError steloxSetOpenCVSGBMP2(SteloxContext context, int p2)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVSGBMP2(p2); });
}

SteloxError steloxGetOpenCVSGBMP2(SteloxContext context, int* p2)
{
  return get(context, p2, [](const SteloxMgr& mgr) { return mgr.getOpenCVSGBMP2(); });
}

SteloxError steloxSetOpenCVSGBMMode(SteloxContext context, int mode)
{
  return set(context, [&](SteloxMgr& mgr) { return mgr.setOpenCVSGBMMode(mode); });
}

SteloxError steloxGetOpenCVSGBMMode(SteloxContext context, int* mode)
{
  return get(context, mode, [](const SteloxMgr& mgr) { return mgr.getOpenCVSGBMMode(); });
}
