// Resolution, region of interest, rectification, stereo, images, caller
// buffers, pairs and pixel conversion of the C interface.
#include "context/SteloxApiCall.h"
#include "stelox.h"

#include <cstring>

using SteloxApi::withContext;
using SteloxApi::withGuardedContext;

namespace {

template <typename Record, typename Pair>
SteloxError buildPair(const Record* right, const Record* left, Pair* pair)
{
  if (pair == nullptr)
    return SteloxErrorNullBuffer;
  std::memset(pair, 0, sizeof(*pair));
  if (right == nullptr || left == nullptr || right->data == nullptr || left->data == nullptr)
    return SteloxErrorNullBuffer;
  if (right->rows < 1 || right->cols < 1 || left->rows < 1 || left->cols < 1)
    return SteloxErrorInvalidSourceResolution;
  pair->right = *right;
  pair->left = *left;
  return SteloxErrorOk;
}

}  // namespace

SteloxError steloxSetResolution(SteloxContext context, int rows, int cols)
{
  return withContext(context, [&](SteloxMgr& mgr) { return mgr.setResolution(rows, cols); });
}

SteloxError steloxGetResolution(SteloxContext context, int* rows, int* cols)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    if (rows == nullptr || cols == nullptr)
      return SteloxErrorNullBuffer;
    mgr.getResolution(*rows, *cols);
    return SteloxErrorOk;
  });
}

SteloxError steloxSetSourceResolution(SteloxContext context, int rows, int cols)
{
  return withContext(context, [&](SteloxMgr& mgr) { return mgr.setSourceResolution(rows, cols); });
}

SteloxError steloxGetSourceResolution(SteloxContext context, int* rows, int* cols)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    if (rows == nullptr || cols == nullptr)
      return SteloxErrorNullBuffer;
    mgr.getSourceResolution(*rows, *cols);
    return SteloxErrorOk;
  });
}

SteloxError steloxSetRoi(SteloxContext context, SteloxROI roi)
{
  return withContext(context, [&](SteloxMgr& mgr) { return mgr.setRoi(roi); });
}

SteloxError steloxGetRoi(SteloxContext context, SteloxROI* roi)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    if (roi == nullptr)
      return SteloxErrorNullBuffer;
    *roi = mgr.getRoi();
    return SteloxErrorOk;
  });
}

SteloxError steloxSetRoiOn(SteloxContext context, int on)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    mgr.setRoiOn(on != 0);
    return SteloxErrorOk;
  });
}

SteloxError steloxGetRoiOn(SteloxContext context, int* on)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    if (on == nullptr)
      return SteloxErrorNullBuffer;
    *on = mgr.getRoiOn() ? 1 : 0;
    return SteloxErrorOk;
  });
}

SteloxError steloxGetOptimalNumRows(SteloxContext context, int cols, int* rows)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    if (rows == nullptr)
      return SteloxErrorNullBuffer;
    return mgr.getOptimalNumRows(cols, *rows);
  });
}

SteloxError steloxGetOptimalNumColumns(SteloxContext context, int rows, int* cols)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    if (cols == nullptr)
      return SteloxErrorNullBuffer;
    return mgr.getOptimalNumColumns(rows, *cols);
  });
}

SteloxError steloxPrepareRectificationData(SteloxContext context, int rows, int cols, int sourceRows,
                                           int sourceCols)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) {
    return mgr.prepareRectificationData(rows, cols, sourceRows, sourceCols);
  });
}

SteloxError steloxRectify(SteloxContext context, SteloxMonoStereoPair* pair)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) {
    if (pair == nullptr)
      return SteloxErrorNullBuffer;
    return mgr.rectify(*pair);
  });
}

SteloxError steloxColorRectify(SteloxContext context, SteloxColorStereoPair* pair)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) {
    if (pair == nullptr)
      return SteloxErrorNullBuffer;
    return mgr.colorRectify(*pair);
  });
}

SteloxError steloxRectifyColorImage(SteloxContext context, SteloxCamera camera, SteloxColorStereoPair* pair,
                                    SteloxColorImage* image)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) {
    if (pair == nullptr || image == nullptr)
      return SteloxErrorNullBuffer;
    SteloxColorImage result;
    const SteloxError code = mgr.rectifyColorImage(camera, *pair, result);
    if (code == SteloxErrorOk)
      *image = result;
    return code;
  });
}

SteloxError steloxStereo(SteloxContext context)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) { return mgr.stereo(); });
}

SteloxError steloxGetImage(SteloxContext context, SteloxImageType type, SteloxCamera camera, SteloxImage* image)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) {
    if (image == nullptr)
      return SteloxErrorNullBuffer;
    return mgr.getImage(type, camera, *image);
  });
}

SteloxError steloxGetImage16(SteloxContext context, SteloxImage16Type type, SteloxCamera camera,
                             SteloxImage16* image)
{
  return withContext(context, [&](SteloxMgr& mgr) {
    if (image == nullptr)
      return SteloxErrorNullBuffer;
    return mgr.getImage16(type, camera, *image);
  });
}

SteloxError steloxGetColorImage(SteloxContext context, SteloxColorImageType type, SteloxCamera camera,
                                SteloxColorImage* image)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) {
    if (image == nullptr)
      return SteloxErrorNullBuffer;
    return mgr.getColorImage(type, camera, *image);
  });
}

SteloxError steloxSetImageBuffer(SteloxContext context, unsigned char* buffer, SteloxImageType type,
                                 SteloxCamera camera)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) { return mgr.setImageBuffer(buffer, type, camera); });
}

SteloxError steloxUnsetImageBuffer(SteloxContext context, SteloxImageType type, SteloxCamera camera)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) { return mgr.setImageBuffer(nullptr, type, camera); });
}

SteloxError steloxSetImage16Buffer(SteloxContext context, unsigned short* buffer, SteloxImage16Type type,
                                   SteloxCamera camera)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) { return mgr.setImage16Buffer(buffer, type, camera); });
}

SteloxError steloxUnsetImage16Buffer(SteloxContext context, SteloxImage16Type type, SteloxCamera camera)
{
  return withGuardedContext(context,
                            [&](SteloxMgr& mgr) { return mgr.setImage16Buffer(nullptr, type, camera); });
}

SteloxError steloxSetColorImageBuffer(SteloxContext context, SteloxColorPixel* buffer, SteloxCamera camera)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) { return mgr.setColorImageBuffer(buffer, camera); });
}

SteloxError steloxUnsetColorImageBuffer(SteloxContext context, SteloxCamera camera)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) { return mgr.setColorImageBuffer(nullptr, camera); });
}

SteloxError steloxBuildMonoStereoPairFromBuffers(const SteloxImage* right, const SteloxImage* left,
                                                 SteloxMonoStereoPair* pair)
{
  return buildPair(right, left, pair);
}

SteloxError steloxBuildColorStereoPairFromBuffers(const SteloxColorImage* right, const SteloxColorImage* left,
                                                  SteloxColorStereoPair* pair)
{
  return buildPair(right, left, pair);
}

SteloxError steloxRectifyPixel(SteloxContext context, SteloxCamera camera, float row, float col,
                               float* rectifiedRow, float* rectifiedCol)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) {
    if (rectifiedRow == nullptr || rectifiedCol == nullptr)
      return SteloxErrorNullBuffer;
    return mgr.rectifyPixel(camera, row, col, *rectifiedRow, *rectifiedCol);
  });
}

SteloxError steloxUnrectifyPixel(SteloxContext context, SteloxCamera camera, float rectifiedRow,
                                 float rectifiedCol, float* row, float* col)
{
  return withGuardedContext(context, [&](SteloxMgr& mgr) {
    if (row == nullptr || col == nullptr)
      return SteloxErrorNullBuffer;
    return mgr.unrectifyPixel(camera, rectifiedRow, rectifiedCol, *row, *col);
  });
}
