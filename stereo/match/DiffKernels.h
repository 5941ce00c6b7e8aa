// Difference kernels of the correlation core.
//
// A kernel call handles a run of consecutive score slots ("lanes") of every
// pixel of one output row. For each column j it forms one difference byte per
// lane, |A[j] - B[j + lane]| (lane 0 of a texture call: |A[j] - 128|), stores
// it in the new ring row and slides an M-wide horizontal sum of
// (new difference - old difference) over the columns, adding the sum of
// columns x .. x+M-1 to the lane's slot of pixel x. All 16-bit arithmetic
// wraps, so after row r a computed slot holds exactly 1 + the window SAD
// modulo 65536 whatever the order of the additions.
//
// Ring layout: a call's region holds, column after column, one byte per lane
// (column j of lane l at [j * lanes + l]). Each call finds its own region
// again on the next rows because the call plan of a band never changes.
#ifndef STELOX_MATCH_DIFFKERNELS_H
#define STELOX_MATCH_DIFFKERNELS_H

#include <cstdint>

struct Pixel8x4;
struct Pixel16x4;

struct DiffCall {
  uint16_t* score;          // slot of the call's first lane, pixel 0
  uint8_t* ringNew;         // the call's region of the ring row receiving row r
  const uint8_t* ringOld;   // the same region of the ring row of row r - M
  const uint8_t* a;         // row r of A
  const uint8_t* b;         // row r of B at the offset of the first lane; lanes
                            // whose pixels stop early may read up to nMax + M +
                            // lanes - 2 bytes (the core passes a padded copy)
  int m;                    // window side, at least 1
  int stride;               // 16-bit slots from one pixel to the next
  bool textureLane0;        // lane 0 holds the texture measure |A - 128|
  int nMin;                 // every lane computes pixels 0 .. nMin-1
  int nMax;                 // no lane computes pixel nMax or beyond
  const uint16_t* laneLimit;  // per lane, the pixel count it computes
};

// Scalar definition for any lane count.
void mongoLanesScalar(const DiffCall& call, int lanes);

// Vector forms, same results. Lane counts: 4 and 8 (SSE2), 16 (AVX2), 32
// (AVX-512BW).
void mongoLanes4Sse2(const DiffCall& call);
void mongoLanes8Sse2(const DiffCall& call);
void mongoLanes16Avx2(const DiffCall& call);
void mongoLanes32Avx512(const DiffCall& call);

// The fixed-count kernels of the 4- and 8-slot call plan: every lane computes
// pixels 0 .. n-1; `stride` counts Pixel16x4 per pixel. mongo_8x8 runs two
// adjacent groups either in one 128-bit register (sse2) or as two 64-bit
// halves; both give the same result.
void mongo_4x4(Pixel16x4* score, Pixel8x4* ringNew, const Pixel8x4* ringOld,
               const unsigned char* a, const unsigned char* b, int m, int n, int stride);
void mongo_4x4_val(Pixel16x4* score, Pixel8x4* ringNew, const Pixel8x4* ringOld,
                   const unsigned char* a, const unsigned char* b, int m, int n, int stride);
void mongo_8x8(Pixel16x4* score, Pixel8x4* ringNew, const Pixel8x4* ringOld,
               const unsigned char* a, const unsigned char* b, int m, int n, int stride,
               bool sse2);

// dst[k * stride] = *value for k = 0 .. n-1 (stride in Pixel16x4).
void mongo_init_16x4(Pixel16x4* dst, const Pixel16x4* value, int n, int stride);

#endif
