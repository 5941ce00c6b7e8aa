// AVX-512BW row pass of the correlation core and the vector form of the row
// finisher. Same results as the stored-row path with the AVX2-level searches.
//
// Per band the pass keeps, for every column j and offset o, the 16-bit sum of
// |A[y][j] - B[y][j + o]| over the window's rows y; moving down one row adds
// the entering row's difference and subtracts the leaving row's, both formed
// again from the image rows. All sums wrap modulo 65536, as the stored scores
// do. Sliding the horizontal window over those column sums gives each pixel's
// 1 + window SAD in registers (32 offsets per register), where the forward
// minimum and the inverse search read them without storing a score row.
#include "match/CorrelationCore.h"

// GCC 12 reports the deliberately undefined start value inside many AVX-512
// intrinsics as possibly uninitialised once they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr int kLanes = 32;

struct alignas(64) Lanes32 {
  uint16_t lane[kLanes];
};

inline __m512i allOnes() { return _mm512_set1_epi32(-1); }

// Index vector of the one-lane shift towards lane 0 across two registers.
inline __m512i shiftDownIndex() {
  alignas(64) uint16_t index[kLanes];
  for (int i = 0; i < kLanes; ++i) index[i] = static_cast<uint16_t>(i + 1);
  return _mm512_load_si512(index);
}

inline __mmask32 lanesBelow(int n) {
  if (n <= 0) return 0;
  return n >= kLanes ? ~__mmask32(0) : (__mmask32(1) << n) - 1;
}

// Unsigned 32-bit minimum of the 16 lanes.
inline unsigned smallestKey(__m512i v) {
  const __m256i half = _mm256_min_epu32(_mm512_castsi512_si256(v), _mm512_extracti64x4_epi64(v, 1));
  __m128i quarter = _mm_min_epu32(_mm256_castsi256_si128(half), _mm256_extracti128_si256(half, 1));
  quarter = _mm_min_epu32(quarter, _mm_shuffle_epi32(quarter, _MM_SHUFFLE(1, 0, 3, 2)));
  quarter = _mm_min_epu32(quarter, _mm_shuffle_epi32(quarter, _MM_SHUFFLE(2, 3, 0, 1)));
  return static_cast<unsigned>(_mm_cvtsi128_si32(quarter));
}

template <int NV>
void runBand(const RowPassBand& band) {
  const Image<unsigned char>& A = *band.a;
  const Image<unsigned char>& B = *band.b;
  const int m = band.m;
  const int rows = A.nRows(), ca = A.nCols(), cb = B.nCols();
  const int count = ca - m + 1;
  const bool textureLayout = band.shift == 1;
  const bool backForth = band.backForth;
  const int inverseOffsets = band.inverseOffsets;
  const unsigned short firstSlot = static_cast<unsigned short>(band.shift);

  // Column sums, and the rows of B whose differences enter and leave them:
  // row y lives in copy y mod (M + 1), padded with zeros so that the last
  // register of a column reads inside the copy. Rows above the band are zero
  // in A and B, so they add nothing.
  std::vector<Lanes32> columns(static_cast<size_t>(ca) * NV, Lanes32{});
  const size_t rowLength = static_cast<size_t>(std::max(cb, ca)) + NV * kLanes + 64;
  std::vector<uint8_t> copiesB(rowLength * (m + 1), 0);
  const std::vector<uint8_t> zeroRow(rowLength, 0);
  std::vector<uint16_t> textureColumns(static_cast<size_t>(ca) + 2 * kLanes + m, 0);

  // Records of the row (padded for whole-register access) and the inverse
  // result over every B position the finisher can ask for.
  const size_t recordLength = static_cast<size_t>(count) + kLanes;
  std::vector<unsigned short> records(5 * recordLength, 0);
  const size_t positions = static_cast<size_t>(count) + band.finish.slotsSearched + 2 * kLanes;
  std::vector<unsigned short> inverse(backForth ? positions : 0, firstSlot);
  RowFinish finish = band.finish;
  finish.useRecords(records.data(), recordLength);
  finish.inverse = backForth ? inverse.data() : nullptr;
  finish.scores = nullptr;

  __m512i limits[NV], slotIndex[NV], offsetIndex[NV];
  __mmask32 inverseLanes[NV];
  int fullPixels = count;
  // Per register k: the pixel count of each offset, the slot of each lane
  // (32 k + lane + shift) and its offset (32 k + lane).
  for (int k = 0; k < NV; ++k) {
    limits[k] = _mm512_loadu_si512(band.offsetLimit + kLanes * k);
    slotIndex[k] = _mm512_add_epi16(
        _mm512_set1_epi16(static_cast<short>(kLanes * k + band.shift)),
        _mm512_setr_epi32(0x10000, 0x30002, 0x50004, 0x70006, 0x90008, 0xB000A, 0xD000C,
                          0xF000E, 0x110010, 0x130012, 0x150014, 0x170016, 0x190018, 0x1B001A,
                          0x1D001C, 0x1F001E));
    inverseLanes[k] = lanesBelow(inverseOffsets - kLanes * k);
    offsetIndex[k] = _mm512_sub_epi16(slotIndex[k], _mm512_set1_epi16(static_cast<short>(band.shift)));
  }
  for (int o = 0; o < band.offsets; ++o)
    fullPixels = std::min<int>(fullPixels, band.offsetLimit[o]);
  const __mmask32 lastForwardLanes = lanesBelow(band.offsets - kLanes * (NV - 1));
  const __m512i shiftDown = shiftDownIndex();
  const __m512i ones = allOnes();

  // The rest of the forward search of pixel x from its smallest key: the
  // texture slot's turn and the sums beside the minimum. With more than two
  // registers of sums it runs one pixel late, when the key is long known, so
  // that its chain does not hold up the next pixels (measured faster there,
  // slower with two).
  constexpr bool kLateRecords = NV > 2;
  auto recordForward = [&](int x, unsigned key, const __m512i* score) {
    const int smallest = static_cast<int>(key >> 16);
    const int offset = static_cast<int>(key & 0xFFFF);
    const unsigned short textureSlot = textureLayout ? finish.texture[x] : 0xFFFF;
    const bool textureWins = textureLayout && textureSlot <= smallest;
    finish.forward[x] = static_cast<unsigned short>(textureWins ? 0 : offset + band.shift);
    finish.best[x] = static_cast<unsigned short>(textureWins ? textureSlot : smallest);
    // The sums beside the minimum: lane 0 takes offset - 1, lane 1 offset +
    // 1, each from the pair of registers holding it (the permutes read the
    // low index bits; offset - 1 = -1 gives a value the finisher never uses).
    const __m512i around = _mm512_set1_epi32(static_cast<int>(
        (static_cast<unsigned>(offset + 1) << 16) | (static_cast<unsigned>(offset - 1) & 0xFFFF)));
    __m512i neighbours = NV == 1 ? _mm512_permutexvar_epi16(around, score[0])
                                 : _mm512_permutex2var_epi16(score[0], around, score[NV > 1]);
    if (NV > 2) {
      // With three registers the upper pair repeats the third: offsets from
      // 96 on do not exist there.
      const __m512i upper =
          _mm512_permutex2var_epi16(score[std::min(2, NV - 1)], around, score[NV - 1]);
      const __mmask32 fromUpper = (offset - 1 >= 2 * kLanes ? 1u : 0u) |
                                  (offset + 1 >= 2 * kLanes ? 2u : 0u);
      neighbours = _mm512_mask_blend_epi16(fromUpper, neighbours, upper);
    }
    const unsigned pair =
        static_cast<unsigned>(_mm_cvtsi128_si32(_mm512_castsi512_si128(neighbours)));
    finish.before[x] = static_cast<unsigned short>(pair & 0xFFFF);
    finish.after[x] = static_cast<unsigned short>(pair >> 16);
  };

  for (int r = 0; r < rows; ++r) {
    uint8_t* newB = copiesB.data() + rowLength * (r % (m + 1));
    std::memcpy(newB, B[r].data(), static_cast<size_t>(cb));
    const bool leaving = r >= m;
    const uint8_t* oldB = leaving ? copiesB.data() + rowLength * ((r - m) % (m + 1)) : zeroRow.data();
    const uint8_t* newA = A[r].data();
    const uint8_t* oldA = leaving ? A[r - m].data() : zeroRow.data();

    // Adds the entering row's differences of column j to its sums, minus the
    // leaving row's; `sum` receives the new column sums.
    auto updateColumn = [&](int j, __m512i* sum) {
      const __m512i a = _mm512_set1_epi16(newA[j]);
      const __m512i aOld = _mm512_set1_epi16(oldA[j]);
      Lanes32* column = columns.data() + static_cast<size_t>(j) * NV;
      for (int k = 0; k < NV; ++k) {
        const __m512i b = _mm512_cvtepu8_epi16(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(newB + j + kLanes * k)));
        const __m512i bOld = _mm512_cvtepu8_epi16(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(oldB + j + kLanes * k)));
        const __m512i change = _mm512_sub_epi16(_mm512_abs_epi16(_mm512_sub_epi16(b, a)),
                                                _mm512_abs_epi16(_mm512_sub_epi16(bOld, aOld)));
        sum[k] = _mm512_add_epi16(_mm512_load_si512(column + k), change);
        _mm512_store_si512(column + k, sum[k]);
      }
    };

    if (textureLayout) {
      // Texture measure: column sums of |A - 128|, the same sliding window.
      const __m512i level = _mm512_set1_epi16(128);
      for (int j = 0; j < ca; j += kLanes) {
        const __mmask64 bytes = ca - j >= kLanes ? 0xFFFFFFFFull : (1ull << (ca - j)) - 1;
        uint16_t* at = textureColumns.data() + j;
        __m512i sum = _mm512_loadu_si512(at);
        const __m512i a = _mm512_cvtepu8_epi16(
            _mm512_castsi512_si256(_mm512_maskz_loadu_epi8(bytes, newA + j)));
        sum = _mm512_add_epi16(sum, _mm512_abs_epi16(_mm512_sub_epi16(a, level)));
        if (leaving) {
          const __m512i aOld = _mm512_cvtepu8_epi16(
              _mm512_castsi512_si256(_mm512_maskz_loadu_epi8(bytes, oldA + j)));
          sum = _mm512_sub_epi16(sum, _mm512_abs_epi16(_mm512_sub_epi16(aOld, level)));
        }
        _mm512_mask_storeu_epi16(at, static_cast<__mmask32>(bytes), sum);
      }
    }

    if (r < m - 1) {
      __m512i sum[NV];
      for (int j = 0; j < ca; ++j) updateColumn(j, sum);
      continue;
    }

    if (textureLayout) {
      const __m512i textureLimit = _mm512_set1_epi16(static_cast<short>(band.textureLimit));
      const __m512i slotOfLane = slotIndex[0];  // lane + 1 in the texture layout
      for (int x = 0; x < count; x += kLanes) {
        __m512i sum = _mm512_set1_epi16(1);
        for (int t = 0; t < m; ++t)
          sum = _mm512_add_epi16(sum, _mm512_loadu_si512(textureColumns.data() + x + t));
        // Pixel x + lane computes its texture slot while x + lane < limit,
        // i.e. lane + 1 <= limit - x.
        const __mmask32 computed = _mm512_cmple_epi16_mask(
            slotOfLane, _mm512_sub_epi16(textureLimit, _mm512_set1_epi16(static_cast<short>(x))));
        _mm512_storeu_si512(finish.texture + x, _mm512_mask_mov_epi16(ones, computed, sum));
      }
    }

    __m512i window[NV], sum[NV], best[NV], bestSlot[NV];
    for (int k = 0; k < NV; ++k) {
      window[k] = _mm512_set1_epi16(1);
      best[k] = ones;
      bestSlot[k] = _mm512_setzero_si512();
    }
    for (int j = 0; j < m - 1; ++j) {
      updateColumn(j, sum);
      for (int k = 0; k < NV; ++k) window[k] = _mm512_add_epi16(window[k], sum[k]);
    }

    __m512i pendingScore[NV];
    unsigned pendingKey = 0;
    for (int x = 0; x < count; ++x) {
      updateColumn(x + m - 1, sum);
      __m512i score[NV];
      const Lanes32* leavingColumn = columns.data() + static_cast<size_t>(x) * NV;
      for (int k = 0; k < NV; ++k) {
        window[k] = _mm512_add_epi16(window[k], sum[k]);
        score[k] = window[k];
        window[k] = _mm512_sub_epi16(window[k], _mm512_load_si512(leavingColumn + k));
      }
      if (x >= fullPixels) {
        // Offsets whose windows would leave B read as 0xFFFF from here on.
        const __m512i pixel = _mm512_set1_epi16(static_cast<short>(x));
        for (int k = 0; k < NV; ++k)
          score[k] = _mm512_mask_mov_epi16(ones, _mm512_cmpgt_epu16_mask(limits[k], pixel),
                                           score[k]);
      }

      // Forward minimum: each sum joined with its offset as (sum << 16) |
      // offset, so that the smallest key is the lowest offset holding the
      // smallest sum.
      __m512i keys = _mm512_set1_epi32(-1);
      for (int k = 0; k < NV; ++k) {
        const __m512i sums =
            k == NV - 1 ? _mm512_mask_mov_epi16(ones, lastForwardLanes, score[k]) : score[k];
        keys = _mm512_min_epu32(keys, _mm512_unpacklo_epi16(offsetIndex[k], sums));
        keys = _mm512_min_epu32(keys, _mm512_unpackhi_epi16(offsetIndex[k], sums));
      }
      const unsigned key = smallestKey(keys);
      if (kLateRecords) {
        if (x > 0) recordForward(x - 1, pendingKey, pendingScore);
        pendingKey = key;
        for (int k = 0; k < NV; ++k) pendingScore[k] = score[k];
      } else {
        recordForward(x, key, score);
      }

      if (backForth && inverseOffsets > 0) {
        // Inverse search: lane l of best holds B position x + l. Candidates
        // arrive with falling offsets, so "not greater replaces" keeps the
        // smaller offset on ties; position x is complete after pixel x.
        for (int k = 0; k < NV; ++k) {
          const __m512i nextBest = k + 1 < NV ? best[k + 1] : ones;
          const __m512i nextSlot = k + 1 < NV ? bestSlot[k + 1] : ones;
          const __m512i shifted = _mm512_permutex2var_epi16(best[k], shiftDown, nextBest);
          bestSlot[k] = _mm512_permutex2var_epi16(bestSlot[k], shiftDown, nextSlot);
          const __mmask32 take =
              _mm512_mask_cmple_epu16_mask(inverseLanes[k], score[k], shifted);
          best[k] = _mm512_mask_min_epu16(shifted, inverseLanes[k], shifted, score[k]);
          bestSlot[k] = _mm512_mask_mov_epi16(bestSlot[k], take, slotIndex[k]);
        }
        inverse[x] = static_cast<unsigned short>(
            _mm_cvtsi128_si32(_mm512_castsi512_si128(bestSlot[0])) & 0xFFFF);
      }
    }

    if (kLateRecords) recordForward(count - 1, pendingKey, pendingScore);

    if (backForth) {
      // Positions past the last pixel: the pixels there read 0xFFFF on every
      // slot and arrive last with the smaller slots, so a position still at
      // 0xFFFF ends on the first slot.
      alignas(64) uint16_t values[kLanes * NV], slots[kLanes * NV];
      for (int k = 0; k < NV; ++k) {
        const __m512i nextBest = k + 1 < NV ? best[k + 1] : ones;
        _mm512_store_si512(values + kLanes * k,
                           _mm512_permutex2var_epi16(best[k], shiftDown, nextBest));
        const __m512i nextSlot = k + 1 < NV ? bestSlot[k + 1] : ones;
        _mm512_store_si512(slots + kLanes * k,
                           _mm512_permutex2var_epi16(bestSlot[k], shiftDown, nextSlot));
      }
      for (int l = 0; l < inverseOffsets; ++l)
        inverse[count + l] = values[l] == 0xFFFF ? firstSlot : slots[l];
      std::fill(inverse.begin() + count + inverseOffsets, inverse.end(), firstSlot);
    }

    finish.out = (*band.d)[r - (m - 1)].data();
    finishRowAvx512(finish, textureLayout);
  }
}

}  // namespace

void matchBandRowPassAvx512(const RowPassBand& band) {
  switch ((band.offsets + kLanes - 1) / kLanes) {
    case 1: runBand<1>(band); break;
    case 2: runBand<2>(band); break;
    case 3: runBand<3>(band); break;
    default: runBand<4>(band); break;
  }
}

namespace {

// T[k] = floor(2^23 / k) for k = 1 .. 4096 and 0 otherwise, as the reciprocal
// table holds it. The single-precision quotient is exact enough: for k in
// (2^e, 2^(e+1)] half its last place is 2^-(e+2), less than the distance 1/k
// of a non-integral 2^23 / k from the next integer, so truncating the
// rounded quotient gives the floor.
inline __m512i reciprocal(__m512i k) {
  const __mmask16 inTable =
      _mm512_cmple_epu32_mask(k, _mm512_set1_epi32(4096)) & _mm512_cmpgt_epi32_mask(k, _mm512_setzero_si512());
  const __m512 quotient = _mm512_div_ps(_mm512_set1_ps(8388608.0f), _mm512_cvtepi32_ps(k));
  return _mm512_maskz_cvttps_epi32(inTable, quotient);
}

}  // namespace

void finishRowAvx512(const RowFinish& row, bool textureLayout) {
  const __m512i zero = _mm512_setzero_si512();
  const __m512i one = _mm512_set1_epi32(1);
  const __m512i largestBackForth = _mm512_set1_epi32(4077);
  const __m512i unmatched = _mm512_set1_epi32(0xFFFF);
  const __m512i lastSlot = _mm512_set1_epi32(row.lastSlot);
  const __m512i base = _mm512_set1_epi32(static_cast<int>(16u * row.d0));
  const __m512i laneIndex = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m512i textureCode = _mm512_set1_epi32(row.textureCode);
  const __m512i backForthCode = _mm512_set1_epi32(row.backForthCode);
  const __m512i subpixelCode = _mm512_set1_epi32(row.subpixelCode);
  // 16 x0 < 16 t is x0 < t; counts beyond 16 bits reject every window.
  const __m512i textureUnits =
      _mm512_set1_epi32(static_cast<int>(std::min<long long>(row.textureValue / 16, 65536)));
  const bool zeroDisparity = row.d0 == 0;

  for (int i = 0; i < row.count; i += 16) {
    const __mmask16 lanes =
        row.count - i >= 16 ? __mmask16(0xFFFF) : static_cast<__mmask16>((1u << (row.count - i)) - 1);
    auto load = [&](const unsigned short* array) {
      return _mm512_cvtepu16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(array + i)));
    };
    const __m512i v = load(row.forward), c = load(row.best);
    const __m512i p = load(row.before), q = load(row.after);

    __m512i out;
    if (textureLayout) {
      const __m512i k = _mm512_sub_epi32(_mm512_max_epi32(p, q), c);
      const __m512i t = reciprocal(k);
      const __m512i delta = _mm512_srai_epi32(_mm512_mullo_epi32(_mm512_sub_epi32(p, q), t), 20);
      out = _mm512_add_epi32(_mm512_add_epi32(base, _mm512_slli_epi32(_mm512_sub_epi32(v, one), 4)),
                             delta);
    } else {
      const __mmask16 pGreater = _mm512_cmpgt_epi32_mask(p, q);
      const __m512i k = _mm512_mask_blend_epi32(pGreater, _mm512_sub_epi32(q, c),
                                                _mm512_sub_epi32(p, c));
      const __m512i difference = _mm512_abs_epi32(_mm512_sub_epi32(p, q));
      const __m512i t = reciprocal(k);
      const __m512i delta = _mm512_srli_epi32(_mm512_mullo_epi32(difference, t), 20);
      const __m512i centre = _mm512_add_epi32(base, _mm512_slli_epi32(v, 4));
      out = _mm512_mask_blend_epi32(pGreater, _mm512_sub_epi32(centre, delta),
                                    _mm512_add_epi32(centre, delta));
    }

    // The validations, from the last to the first, each overriding the later.
    const __mmask16 notProper = _mm512_cmpeq_epi32_mask(q, unmatched) |
                                _mm512_cmplt_epi32_mask(p, c) | _mm512_cmpgt_epi32_mask(c, q);
    out = _mm512_mask_mov_epi32(out, notProper, subpixelCode);
    const __m512i zeroSlot = textureLayout ? one : zero;
    const __mmask16 low = textureLayout ? _mm512_cmple_epi32_mask(v, one)
                                        : _mm512_cmpeq_epi32_mask(v, zero);
    out = _mm512_mask_mov_epi32(out, low, subpixelCode);
    if (zeroDisparity) out = _mm512_mask_mov_epi32(out, _mm512_cmpeq_epi32_mask(v, zeroSlot), zero);
    out = _mm512_mask_mov_epi32(out, _mm512_cmpge_epi32_mask(v, lastSlot), subpixelCode);
    if (row.inverse) {
      __mmask16 tested = lanes & _mm512_cmple_epi32_mask(v, largestBackForth);
      if (textureLayout) tested &= _mm512_cmpge_epi32_mask(v, one);
      const __m512i position = _mm512_add_epi32(
          _mm512_add_epi32(_mm512_set1_epi32(i), laneIndex), _mm512_sub_epi32(v, zeroSlot));
      const __m512i w = _mm512_and_si512(
          _mm512_mask_i32gather_epi32(zero, tested, position, row.inverse, 2), unmatched);
      const __mmask16 fails =
          tested & _mm512_cmpgt_epi32_mask(_mm512_abs_epi32(_mm512_sub_epi32(v, w)), one);
      out = _mm512_mask_mov_epi32(out, fails, backForthCode);
    }
    if (textureLayout) {
      const __m512i x0 = load(row.texture);
      const __mmask16 untextured = _mm512_cmplt_epi32_mask(x0, textureUnits) |
                                   _mm512_cmpgt_epi32_mask(c, _mm512_slli_epi32(x0, 4));
      out = _mm512_mask_mov_epi32(out, untextured, textureCode);
    }
    _mm512_mask_cvtepi32_storeu_epi16(row.out + i, lanes, out);
  }
}
