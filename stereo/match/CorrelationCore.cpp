#include "match/CorrelationCore.h"

#include "image/PixelTypes.h"
#include "match/DiffKernels.h"
#include "match/InverseSearch.h"
#include "match/MinCorr.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// The work arrays of a row hold this many entries; wider rows are not matched.
constexpr int kMaxReferenceColumns = 5120;
// The back-and-forth test reads the inverse result at i + v only while the
// forward offset v is at most this.
constexpr int kMaxBackForthOffset = 4077;
// Bytes of zeros around the copy of a B row: texture calls read one byte
// before offset 0, wide kernels up to 31 bytes past their last column.
constexpr int kRowPadFront = 32;
constexpr int kRowPadBack = 64;
// Slots past the end of the score row that the vector searches may read.
constexpr int kScorePad = 32;

bool avx512bwUsable() {
  CpuIdFeatures features;
  if (features.maxBasicLeaf() < 7 || !features.support_osxsave()) return false;
  features.retrieve_cpuid_info(7, 0);
  const uint32_t ebx = *features.ebx();
  const bool avx512fAndBw = (ebx & (1u << 16)) && (ebx & (1u << 30));
  // XMM, YMM, opmask and both halves of the ZMM state saved by the system.
  return avx512fAndBw && (features.xgetbv(0) & 0xE6) == 0xE6;
}

long long floorShift20(long long value) {
  return value >= 0 ? value >> 20 : -((-value + (1 << 20) - 1) >> 20);
}

unsigned short invalid(unsigned short mapping) {
  return static_cast<unsigned short>(0xFF00u + mapping);
}

unsigned short disparityValue(unsigned d0, int v, long long delta) {
  return static_cast<unsigned short>(16u * (d0 + static_cast<unsigned>(v)) +
                                     static_cast<unsigned>(delta));
}

// One call of the 4/8-slot plan: consecutive groups matched together, with
// the pixel count its widest offset allows.
struct PlannedCall {
  int firstSlot;
  int lanes;
  bool texture;  // group 0 of the texture layout
  int pixels;
};

// A run of lanes handed to one wide kernel.
struct WideBlock {
  int firstSlot;
  int lanes;
  int nMin;
  int nMax;
};

}  // namespace

DiffKernelSet diffKernelsForLevel(cpu_extension_t cpu) {
  if (cpu >= CPU_EXTENSION_AVX2)
    return diffKernelsSupported(DiffKernelSet::Avx512Rows) ? DiffKernelSet::Avx512Rows
                                                           : DiffKernelSet::Avx2;
  if (cpu >= CPU_EXTENSION_SSE2) return DiffKernelSet::Sse2;
  if (cpu >= CPU_EXTENSION_MMX) return DiffKernelSet::Mmx;
  return DiffKernelSet::Scalar;
}

bool diffKernelsSupported(DiffKernelSet set) {
  switch (set) {
    case DiffKernelSet::Avx512:
    case DiffKernelSet::Avx512Rows: {
      static const bool usable = avx512bwUsable();
      return usable && SimdDetector::processLevel() >= CPU_EXTENSION_AVX2;
    }
    case DiffKernelSet::Avx2:
      return SimdDetector::processLevel() >= CPU_EXTENSION_AVX2;
    default:
      return true;
  }
}

const uint32_t* reciprocalTable() {
  static const std::array<uint32_t, 4097> table = [] {
    std::array<uint32_t, 4097> t{};
    for (uint32_t k = 1; k <= 4096; ++k) t[k] = 8388608u / k;
    return t;
  }();
  return table.data();
}

namespace {

// Records of the stored score row for finishRow.
void recordScores(const RowFinish& row) {
  const int slots = 4 * row.groups;
  for (int i = 0; i < row.count; ++i) {
    const unsigned short* s = row.scores + static_cast<long>(i) * slots;
    const int v = row.forward[i];
    row.best[i] = s[v];
    row.before[i] = v >= 1 ? s[v - 1] : 0;
    row.after[i] = v + 1 < slots ? s[v + 1] : 0xFFFF;
    row.texture[i] = s[0];
  }
}

}  // namespace

void cam2h_subpix_interp(const RowFinish& row) {
  const Pixel16x4* scores = reinterpret_cast<const Pixel16x4*>(row.scores);
  mincorr_row(row.forward, scores, row.count, row.groups, row.slotsSearched, row.cpu);
  if (row.inverse)
    mongo_inverse(row.inverse, row.inverse + row.pixels + row.slotsSearched + 32, scores,
                  row.pixels + row.slotsSearched, row.pixels, row.slotsSearched, row.groups,
                  row.cpu, row.avx512);
  recordScores(row);
  finishRow(row, false);
}

void cam2h_subpix_val_interp(const RowFinish& row) {
  const Pixel16x4* scores = reinterpret_cast<const Pixel16x4*>(row.scores);
  mincorr_row(row.forward, scores, row.count, row.groups, row.slotsSearched, row.cpu);
  if (row.inverse)
    mongo_val_inverse(row.inverse, row.inverse + row.pixels + row.slotsSearched + 32, scores,
                      row.pixels + row.slotsSearched, row.pixels, row.slotsSearched, row.groups,
                      row.cpu, row.avx512);
  recordScores(row);
  finishRow(row, true);
}

void finishRow(const RowFinish& row, bool textureLayout) {
  const uint32_t* table = reciprocalTable();
  for (int i = 0; i < row.count; ++i) {
    const int v = row.forward[i];
    const long long c = row.best[i];
    unsigned short& out = row.out[i];
    if (textureLayout) {
      // Slot 0 holds 1 + the window's summed deviation from the edge zero level.
      const long long texture = 16LL * row.texture[i];
      if (texture < row.textureValue || c > texture) {
        out = row.textureCode;
        continue;
      }
      if (row.inverse && v >= 1 && v <= kMaxBackForthOffset &&
          std::abs(v - row.inverse[i + v - 1]) > 1) {
        out = row.backForthCode;
        continue;
      }
    } else if (row.inverse && v <= kMaxBackForthOffset && std::abs(v - row.inverse[i + v]) > 1) {
      out = row.backForthCode;
      continue;
    }
    if (v >= row.lastSlot) {
      out = row.subpixelCode;
      continue;
    }
    if (textureLayout ? v <= 1 : v == 0) {
      out = (row.d0 == 0 && v == (textureLayout ? 1 : 0)) ? 0 : row.subpixelCode;
      continue;
    }
    const long long p = row.before[i], q = row.after[i];
    if (q == 0xFFFF || p < c || c > q) {
      out = row.subpixelCode;
      continue;
    }
    // Equiangular line fit: the minimum lies (p - q) / (2 (max(p, q) - c))
    // slots from v, and T[k] / 2^20 = 8 / k turns that into sixteenths. The
    // plain layout truncates toward zero, the texture layout floors.
    if (textureLayout) {
      const long long k = std::max(p, q) - c;
      const long long delta = (k > 4096 || k == 0) ? 0 : floorShift20((p - q) * table[k]);
      out = disparityValue(row.d0, v - 1, delta);
    } else if (p > q) {
      const long long k = p - c;
      const long long delta = k > 4096 ? 0 : ((p - q) * table[k]) >> 20;
      out = disparityValue(row.d0, v, delta);
    } else {
      const long long k = q - c;
      const long long delta = (k > 4096 || k == 0) ? 0 : ((q - p) * table[k]) >> 20;
      out = disparityValue(row.d0, v, -delta);
    }
  }
}

int twofast_subpix_stereo(Image<unsigned short>& D, const Image<unsigned char>& A,
                          const Image<unsigned char>& B, unsigned d0, unsigned N, unsigned M,
                          cpu_extension_t cpu, double textureThreshold,
                          unsigned short textureMapping, bool backForth,
                          unsigned short backForthMapping, unsigned short subpixelMapping) {
  return twofastSubpixStereoWith(D, A, B, d0, N, M, cpu, diffKernelsForLevel(cpu),
                                 textureThreshold, textureMapping, backForth, backForthMapping,
                                 subpixelMapping);
}

int twofastSubpixStereoWith(Image<unsigned short>& D, const Image<unsigned char>& A,
                            const Image<unsigned char>& B, unsigned d0, unsigned N, unsigned M,
                            cpu_extension_t cpu, DiffKernelSet kernels, double textureThreshold,
                            unsigned short textureMapping, bool backForth,
                            unsigned short backForthMapping, unsigned short subpixelMapping) {
  const long long rowsA = A.nRows(), colsA = A.nCols();
  const long long rowsB = B.nRows(), colsB = B.nCols();
  const long long rowsD = D.nRows(), colsD = D.nCols();
  const long long m = std::max(M, 1u);

  // Set-up: a texture count below one unit turns texture validation off.
  const double textureCount = std::trunc(static_cast<double>(m) * (textureThreshold * m));
  const bool texture = textureCount >= 1.0;
  // Counts beyond any window's texture all reject alike; the cap keeps the
  // product below 64 bits.
  const long long textureUnits = texture ? static_cast<long long>(std::min(textureCount, 1e15)) : 0;

  const long long tileWidth = cpu >= CPU_EXTENSION_SSE2 ? 8 : 4;
  const long long tilesNeeded = texture ? (static_cast<long long>(N) + tileWidth) / tileWidth
                                        : (static_cast<long long>(N) + tileWidth - 1) / tileWidth;
  const long long tilesFit = (colsB - (m - 1)) / tileWidth;
  long long tiles, lastSlot;
  if (tilesNeeded > tilesFit) {
    tiles = tilesFit;
    lastSlot = tileWidth * tiles - 1;
  } else {
    tiles = tilesNeeded;
    lastSlot = texture ? static_cast<long long>(N) : static_cast<long long>(N) - 1;
  }
  const long long groups = tileWidth == 8 ? 2 * tiles : tiles;

  if (m > rowsA || m > colsA || rowsD + m - 1 < rowsA || colsD + m - 1 < colsA ||
      rowsB < rowsA || colsA > colsB || groups < 1 || N > 65535)
    return 0;
  if (colsA > kMaxReferenceColumns) return 0;

  const int mw = static_cast<int>(m);
  const int ca = static_cast<int>(colsA);
  const int cb = static_cast<int>(colsB);
  const int n = static_cast<int>(N);
  const int slots = static_cast<int>(4 * groups);
  const int count = ca - mw + 1;
  const int shift = texture ? 1 : 0;  // slot s looks at offset s - shift

  // Call plan of the 4/8-slot kernels and the pixels each call computes: those
  // whose windows at the call's widest offset still lie inside B.
  std::vector<PlannedCall> plan;
  std::vector<uint16_t> slotLimit(slots + 32, 0);
  int coveredSlots = 0;
  {
    int group = 0;
    while (group < groups) {
      PlannedCall call;
      call.firstSlot = 4 * group;
      call.texture = texture && group == 0;
      call.lanes = (!call.texture && groups - group >= 2) ? 8 : 4;
      const int widestOffset = call.firstSlot + call.lanes - 1 - shift;
      call.pixels = std::min(ca, cb - widestOffset) - mw + 1;
      if (call.pixels < 0) break;
      plan.push_back(call);
      std::fill(slotLimit.begin() + call.firstSlot,
                slotLimit.begin() + call.firstSlot + call.lanes,
                static_cast<uint16_t>(call.pixels));
      coveredSlots = call.firstSlot + call.lanes;
      group += call.lanes / 4;
    }
  }
  long long evaluatedPerRow = 0;
  for (const PlannedCall& planned : plan)
    evaluatedPerRow += static_cast<long long>(planned.pixels) * planned.lanes;
  const int evaluated = static_cast<int>(std::min<long long>(evaluatedPerRow * rowsA, INT_MAX));

  RowFinish finish;
  finish.count = count;
  finish.pixels = ca;
  finish.groups = static_cast<int>(groups);
  finish.slotsSearched = n;
  finish.lastSlot = static_cast<int>(lastSlot);
  finish.d0 = d0;
  finish.textureValue = 16 * textureUnits;
  finish.textureCode = invalid(textureMapping);
  finish.backForthCode = invalid(backForthMapping);
  finish.subpixelCode = invalid(subpixelMapping);
  finish.inverse = nullptr;
  finish.cpu = cpu;

  if (kernels == DiffKernelSet::Avx512Rows) {
    // Offsets of the forward search (slots shift .. min(N, 4G-1)) and of the
    // inverse search (slots shift .. min(N-1, 4G-1)).
    const int offsets = std::min(n, slots - 1) + 1 - shift;
    const int inverseOffsets = std::max(texture ? std::min(n - 1, slots - 1) : std::min(n, slots), 0);
    if (offsets >= 1 && offsets <= kRowPassMaxOffsets) {
      std::vector<uint16_t> offsetLimit(kRowPassMaxOffsets, 0);
      for (int o = 0; o < offsets; ++o) offsetLimit[o] = slotLimit[o + shift];
      RowPassBand band;
      band.a = &A;
      band.b = &B;
      band.d = &D;
      band.m = mw;
      band.offsets = offsets;
      band.inverseOffsets = inverseOffsets;
      band.backForth = backForth;
      band.shift = shift;
      band.offsetLimit = offsetLimit.data();
      band.textureLimit = slotLimit[0];
      band.finish = finish;
      matchBandRowPassAvx512(band);
      return evaluated;
    }
    kernels = DiffKernelSet::Avx512;
  }
  finish.avx512 = kernels == DiffKernelSet::Avx512;

  const bool wide = kernels == DiffKernelSet::Avx2 || kernels == DiffKernelSet::Avx512;
  std::vector<WideBlock> blocks;
  if (wide) {
    int slot = 0;
    while (slot < coveredSlots) {
      const int left = coveredSlots - slot;
      WideBlock block;
      block.firstSlot = slot;
      block.lanes = (kernels == DiffKernelSet::Avx512 && left >= 32) ? 32
                    : left >= 16                                     ? 16
                    : left >= 8                                      ? 8
                                                                     : 4;
      const auto first = slotLimit.begin() + slot;
      block.nMin = *std::min_element(first, first + block.lanes);
      block.nMax = *std::max_element(first, first + block.lanes);
      blocks.push_back(block);
      slot += block.lanes;
    }
  }

  // Working memory of the call: score row (all slots 1), difference ring
  // (zero), a padded copy of the current B row and the row work arrays.
  std::vector<uint16_t> scoreRow(static_cast<size_t>(ca) * slots + kScorePad, 1);
  std::fill(scoreRow.end() - kScorePad, scoreRow.end(), 0xFFFF);
  const size_t ringRowBytes = static_cast<size_t>(slots) * (ca + mw);
  std::vector<uint8_t> ring(ringRowBytes * (mw + 1), 0);
  std::vector<uint8_t> rowB(kRowPadFront + cb + kRowPadBack, 0);
  // Record arrays with 16 spare entries for the vector finisher; the inverse
  // result has 32 spare positions before the search's scratch.
  const size_t recordLength = static_cast<size_t>(count) + 16;
  std::vector<unsigned short> records(5 * recordLength, 0);
  const int positions = ca + n;
  std::vector<unsigned short> inverse(backForth ? 2 * static_cast<size_t>(positions) + 48 : 0);

  finish.scores = scoreRow.data();
  finish.useRecords(records.data(), recordLength);
  finish.inverse = backForth ? inverse.data() : nullptr;

  const Pixel16x4 unmatched = {{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}};
  for (int r = 0; r < rowsA; ++r) {
    std::memcpy(rowB.data() + kRowPadFront, B[r].data(), static_cast<size_t>(cb));
    const unsigned char* rowA = A[r].data();
    uint8_t* ringNew = ring.data() + ((r + mw) % (mw + 1)) * ringRowBytes;
    const uint8_t* ringOld = ring.data() + (r % (mw + 1)) * ringRowBytes;
    const size_t regionPerSlot = static_cast<size_t>(ca + mw);
    auto offsetRow = [&](int slot) { return rowB.data() + kRowPadFront + slot - shift; };

    if (wide) {
      for (const WideBlock& block : blocks) {
        DiffCall call;
        call.score = scoreRow.data() + block.firstSlot;
        call.ringNew = ringNew + block.firstSlot * regionPerSlot;
        call.ringOld = ringOld + block.firstSlot * regionPerSlot;
        call.a = rowA;
        call.b = offsetRow(block.firstSlot);
        call.m = mw;
        call.stride = slots;
        call.textureLane0 = texture && block.firstSlot == 0;
        call.nMin = block.nMin;
        call.nMax = block.nMax;
        call.laneLimit = slotLimit.data() + block.firstSlot;
        switch (block.lanes) {
          case 32: mongoLanes32Avx512(call); break;
          case 16: mongoLanes16Avx2(call); break;
          case 8: mongoLanes8Sse2(call); break;
          default: mongoLanes4Sse2(call); break;
        }
      }
    } else {
      for (const PlannedCall& planned : plan) {
        Pixel16x4* score = reinterpret_cast<Pixel16x4*>(scoreRow.data() + planned.firstSlot);
        Pixel8x4* regionNew =
            reinterpret_cast<Pixel8x4*>(ringNew + planned.firstSlot * regionPerSlot);
        const Pixel8x4* regionOld =
            reinterpret_cast<const Pixel8x4*>(ringOld + planned.firstSlot * regionPerSlot);
        const int g = static_cast<int>(groups);
        if (kernels == DiffKernelSet::Scalar) {
          DiffCall call;
          call.score = scoreRow.data() + planned.firstSlot;
          call.ringNew = ringNew + planned.firstSlot * regionPerSlot;
          call.ringOld = ringOld + planned.firstSlot * regionPerSlot;
          call.a = rowA;
          call.b = offsetRow(planned.firstSlot);
          call.m = mw;
          call.stride = slots;
          call.textureLane0 = planned.texture;
          call.nMin = call.nMax = planned.pixels;
          call.laneLimit = slotLimit.data() + planned.firstSlot;
          mongoLanesScalar(call, planned.lanes);
        } else if (planned.texture) {
          mongo_4x4_val(score, regionNew, regionOld, rowA, offsetRow(1), mw, planned.pixels, g);
        } else if (planned.lanes == 8) {
          mongo_8x8(score, regionNew, regionOld, rowA, offsetRow(planned.firstSlot), mw,
                    planned.pixels, g, kernels == DiffKernelSet::Sse2);
        } else {
          mongo_4x4(score, regionNew, regionOld, rowA, offsetRow(planned.firstSlot), mw,
                    planned.pixels, g);
        }
      }
    }
    for (const PlannedCall& planned : plan) {
      if (r == 0) {
        Pixel16x4* score = reinterpret_cast<Pixel16x4*>(scoreRow.data() + planned.firstSlot);
        for (int group = 0; group < planned.lanes / 4; ++group)
          mongo_init_16x4(score + group + static_cast<long>(planned.pixels) * groups, &unmatched,
                          ca - planned.pixels, static_cast<int>(groups));
      }
    }
    if (r >= mw - 1) {
      finish.out = D[r - (mw - 1)].data();
      if (texture)
        cam2h_subpix_val_interp(finish);
      else
        cam2h_subpix_interp(finish);
    }
  }
  return evaluated;
}
