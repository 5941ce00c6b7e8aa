// Correlation core: SAD block matching of one band of a rectified (or
// edge-filtered) pair, with texture, back-and-forth and sub-pixel validation.
//
// The window of output pixel (y, x) is A rows y .. y+M-1, columns x .. x+M-1;
// at offset o (disparity d0 + o) it is compared with the same rows of B,
// columns x+o .. x+o+M-1. Output values: 16 * disparity + a sub-pixel step in
// -8 .. 8 (modulo 65536), 0 for disparity 0 when d0 = 0, or 0xFF00 + the
// mapping of the validation that rejected the pixel.
//
// Re-entrant: every call owns its working memory; the reciprocal table is
// filled once and then only read.
#ifndef STELOX_MATCH_CORRELATIONCORE_H
#define STELOX_MATCH_CORRELATIONCORE_H

#include "image/Image.h"
#include "image/simd/SimdDetector.h"

#include <cstdint>

// Which form of the difference kernels runs. The minimum search and the tile
// width follow the level alone; the kernels only change speed.
enum class DiffKernelSet {
  Scalar,     // plain C definition
  Mmx,        // 64-bit registers (two halves for a pair of groups)
  Sse2,       // 128-bit registers
  Avx2,       // 16 slots per step
  Avx512      // 32 slots per step
};

// The kernels a level runs on this processor: AVX-512BW where the level is
// AVX2 and the processor and operating system support it.
DiffKernelSet diffKernelsForLevel(cpu_extension_t cpu);
bool diffKernelsSupported(DiffKernelSet set);

// Entries 1 .. 4096: floor(2^23 / k); entry 0 is 0. Filled on first use.
const uint32_t* reciprocalTable();

// Matches the whole band: writes rows 0 .. RA-M and columns 0 .. CA-M of D.
// Returns the number of score slots evaluated (no caller needs it); rejected
// inputs return 0 and leave D untouched.
int twofast_subpix_stereo(Image<unsigned short>& D, const Image<unsigned char>& A,
                          const Image<unsigned char>& B, unsigned d0, unsigned N, unsigned M,
                          cpu_extension_t cpu, double textureThreshold,
                          unsigned short textureMapping, bool backForth,
                          unsigned short backForthMapping, unsigned short subpixelMapping);

// The same with the kernel form chosen by the caller (tests run every form the
// processor offers).
int twofastSubpixStereoWith(Image<unsigned short>& D, const Image<unsigned char>& A,
                            const Image<unsigned char>& B, unsigned d0, unsigned N, unsigned M,
                            cpu_extension_t cpu, DiffKernelSet kernels, double textureThreshold,
                            unsigned short textureMapping, bool backForth,
                            unsigned short backForthMapping, unsigned short subpixelMapping);

// One output row of each layout: minimum search, inverse search (when
// `inverse` is not null it receives it), validations and interpolation.
struct RowFinish {
  unsigned short* out;              // output row, count pixels
  const unsigned short* scores;     // score row, 4 * groups slots per pixel
  int count;                        // output pixels of the row
  int pixels;                       // pixels of the score row (CA)
  int groups;                       // G
  int slotsSearched;                // N: the minimum search covers slots 0 .. N
  int lastSlot;                     // L
  unsigned d0;
  long long textureValue;           // 16 * texture count (texture layout)
  unsigned short textureCode, backForthCode, subpixelCode;
  unsigned short* forward;          // work: count entries
  unsigned short* inverse;          // work: pixels + N entries, null when off
  cpu_extension_t cpu;
  bool avx512;                      // AVX-512BW inverse search at the AVX2 level
};
void cam2h_subpix_interp(const RowFinish& row);
void cam2h_subpix_val_interp(const RowFinish& row);

#endif
