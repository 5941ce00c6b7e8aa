// Scalar definition of the difference kernels and the slot fill.
#include "match/DiffKernels.h"

#include "image/PixelTypes.h"

#include <cstdlib>

void mongoLanesScalar(const DiffCall& call, int lanes) {
  const int m = call.m;
  const int columns = call.nMax + m - 1;
  for (int j = 0; j < columns; ++j) {
    for (int lane = 0; lane < lanes; ++lane) {
      const int other = (call.textureLane0 && lane == 0) ? 128 : call.b[j + lane];
      call.ringNew[j * lanes + lane] = static_cast<uint8_t>(std::abs(call.a[j] - other));
    }
  }
  auto change = [&](int column, int lane) {
    return static_cast<uint16_t>(call.ringNew[column * lanes + lane] -
                                 call.ringOld[column * lanes + lane]);
  };
  for (int lane = 0; lane < lanes; ++lane) {
    uint16_t sum = 0;
    for (int j = 0; j < m; ++j) sum = static_cast<uint16_t>(sum + change(j, lane));
    const int limit = call.laneLimit[lane];
    for (int x = 0; x < limit; ++x) {
      uint16_t& slot = call.score[x * call.stride + lane];
      slot = static_cast<uint16_t>(slot + sum);
      if (x + 1 < limit) sum = static_cast<uint16_t>(sum + change(x + m, lane) - change(x, lane));
    }
  }
}

void mongo_init_16x4(Pixel16x4* dst, const Pixel16x4* value, int n, int stride) {
  for (int k = 0; k < n; ++k) dst[k * stride] = *value;
}
