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

#include <cstddef>
#include <cstdint>

// Which form of the difference kernels runs. The tile width and the minimum
// search follow the level alone (the row pass computes exactly what the AVX2
// level's searches compute); the kernels only change speed.
enum class DiffKernelSet {
  Scalar,     // plain C definition
  Mmx,        // 64-bit registers (two halves for a pair of groups)
  Sse2,       // 128-bit registers
  Avx2,       // 16 slots per step
  Avx512,     // 32 slots per step
  Avx512Rows  // one AVX-512BW pass per row: column sums, both searches and the
              // finisher without a stored score row (Avx512 where the search
              // range is too wide for it)
};

// The kernels a level runs on this processor: the AVX-512BW row pass where the
// level is AVX2 and the processor and operating system support it.
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

// One output row of each layout. The searches leave per-pixel records (the
// forward result v and the slots v, v-1, v+1 and 0) and, with back-and-forth
// on, the inverse result per B position; the finisher turns them into output.
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
  unsigned short* forward;          // work: count entries, v per pixel
  unsigned short* best;             // work: count entries, slot v
  unsigned short* before;           // work: count entries, slot v-1 (read when v >= 1)
  unsigned short* after;            // work: count entries, slot v+1 (read when v < L)
  unsigned short* texture;          // work: count entries, slot 0
  unsigned short* inverse;          // work: pixels + N + 32 entries, null when off
  cpu_extension_t cpu;
  bool avx512;                      // AVX-512BW inverse search at the AVX2 level

  // Points the five record arrays (forward, best, before, after, texture) at
  // consecutive pieces of `length` entries of one block of 5 * length.
  void useRecords(unsigned short* block, size_t length) {
    forward = block;
    best = forward + length;
    before = best + length;
    after = before + length;
    texture = after + length;
  }
};
// Searches of the stored score row, then finishRow.
void cam2h_subpix_interp(const RowFinish& row);
void cam2h_subpix_val_interp(const RowFinish& row);

// Validations and interpolation from the records: the scalar definition and
// an AVX-512BW form with the same results. The record arrays hold 16 spare
// entries past count.
void finishRow(const RowFinish& row, bool textureLayout);
void finishRowAvx512(const RowFinish& row, bool textureLayout);

// One band for the AVX-512BW row pass. Per row it keeps one 16-bit sum per
// column and offset over the window's rows (the difference of the entering
// and the leaving row recomputed from A and B), slides the horizontal window
// sum in registers and runs the forward minimum and the inverse search on the
// window sums while they are in registers; the results are those of the
// stored-row path at the AVX2 level.
struct RowPassBand {
  const Image<unsigned char>* a;
  const Image<unsigned char>* b;
  Image<unsigned short>* d;
  int m;                            // window side, at least 1
  int offsets;                      // O: offsets 0 .. O-1 take part in the forward search
  int inverseOffsets;               // K: offsets 0 .. K-1 take part in the inverse search
  bool backForth;                   // run the inverse search
  int shift;                        // 1 in the texture layout (slot = offset + 1)
  const uint16_t* offsetLimit;      // per offset (padded to 128), the pixels it computes
  int textureLimit;                 // pixels whose texture slot is computed
  RowFinish finish;                 // settings of the finisher; work arrays are the pass's own
};
constexpr int kRowPassMaxOffsets = 128;
void matchBandRowPassAvx512(const RowPassBand& band);

#endif
