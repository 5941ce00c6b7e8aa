// The correlation core against a plain implementation of the whole algorithm
// (window sums formed directly), on every instruction-set path of this
// processor, plus the worked examples of its arithmetic.
#include "match/CorrelationCore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

struct Band {
  int rows, cols;
  std::vector<unsigned char> pixels;
  unsigned char at(int r, int c) const { return pixels[static_cast<size_t>(r) * cols + c]; }
};

struct Settings {
  unsigned d0, n, m;
  double tau;
  bool backForth;
  unsigned short textureMapping = 255, backForthMapping = 251, subpixelMapping = 253;
};

// Direct transcription of the matcher's definition. Returns the output rows
// (RA-M+1) x (CA-M+1), or nothing when the inputs are rejected.
std::vector<unsigned short> referenceMatch(const Band& a, const Band& b, const Settings& s,
                                           int tileWidth) {
  const long long m = std::max(s.m, 1u);
  const double textureCount = std::trunc(static_cast<double>(m) * (s.tau * m));
  const bool texture = textureCount >= 1;
  const long long n = s.n;
  const long long tilesNeeded = texture ? (n + tileWidth) / tileWidth
                                        : (n + tileWidth - 1) / tileWidth;
  const long long tilesFit = (b.cols - (m - 1)) / tileWidth;
  const long long tiles = std::min(tilesNeeded, tilesFit);
  const long long last =
      tilesNeeded > tilesFit ? tileWidth * tiles - 1 : (texture ? n : n - 1);
  const long long groups = tileWidth == 8 ? 2 * tiles : tiles;
  if (m > a.rows || m > a.cols || b.rows < a.rows || a.cols > b.cols || groups < 1 || n > 65535)
    return {};
  const int slots = static_cast<int>(4 * groups);
  const int shift = texture ? 1 : 0;

  // Pixels computed per slot: those whose windows at the widest offset of the
  // slot's kernel call lie inside B. Slots of no call keep their start value 1.
  std::vector<long long> limit(slots, -1);
  for (int g = 0; g < groups;) {
    const int lanes = (texture && g == 0) || groups - g < 2 ? 4 : 8;
    const long long widest = 4 * g + lanes - 1 - shift;
    const long long pixels = std::min<long long>(a.cols, b.cols - widest) - m + 1;
    if (pixels < 0) break;
    for (int k = 0; k < lanes; ++k) limit[4 * g + k] = pixels;
    g += lanes / 4;
  }

  const int outRows = a.rows - static_cast<int>(m) + 1;
  const int count = a.cols - static_cast<int>(m) + 1;
  std::vector<unsigned short> out(static_cast<size_t>(outRows) * count);
  const uint32_t* table = reciprocalTable();
  for (int y = 0; y < outRows; ++y) {
    auto score = [&](int x, int slot) -> unsigned {
      if (x >= a.cols || slot >= slots) return 0xFFFF;
      if (limit[slot] < 0) return 1;
      if (x >= limit[slot]) return 0xFFFF;
      unsigned sum = 1;
      for (int r = y; r < y + m; ++r)
        for (int c = x; c < x + m; ++c) {
          const int other = (texture && slot == 0) ? 128 : b.at(r, c + slot - shift);
          sum += std::abs(a.at(r, c) - other);
        }
      return sum & 0xFFFF;
    };
    // Inverse search over every position a forward match can point at.
    std::vector<int> inverse(a.cols + n);
    for (int p = 0; p < a.cols + n; ++p) {
      const int first = shift;
      const long long upper = std::min<long long>(p + first, n - 1);
      int best = first;
      unsigned bestValue = score(p, first);
      for (int k = first + 1; k <= upper; ++k) {
        const unsigned value = score(p - k + first, k);
        if (value < bestValue) {
          bestValue = value;
          best = k;
        }
      }
      inverse[p] = best;
    }
    for (int i = 0; i < count; ++i) {
      int v = 0;
      for (int k = 1; k <= n; ++k)
        if (score(i, k) < score(i, v)) v = k;
      const long long c = score(i, v);
      unsigned short& o = out[static_cast<size_t>(y) * count + i];
      const unsigned short sub = 0xFF00 + s.subpixelMapping;
      if (texture) {
        const long long x0 = 16LL * score(i, 0);
        if (x0 < 16 * static_cast<long long>(textureCount) || c > x0) {
          o = 0xFF00 + s.textureMapping;
          continue;
        }
        if (s.backForth && v >= 1 && v <= 4077 && std::abs(v - inverse[i + v - 1]) > 1) {
          o = 0xFF00 + s.backForthMapping;
          continue;
        }
        if (v >= last) { o = sub; continue; }
        if (v <= 1) { o = (s.d0 == 0 && v == 1) ? 0 : sub; continue; }
        const long long p = score(i, v - 1), q = score(i, v + 1);
        if (q == 0xFFFF || p < c || c > q) { o = sub; continue; }
        const long long k = std::max(p, q) - c;
        const long long delta =
            (k > 4096 || k == 0) ? 0 : static_cast<long long>(std::floor((p - q) * table[k] / 1048576.0));
        o = static_cast<unsigned short>(16 * (s.d0 + v - 1) + delta);
      } else {
        if (s.backForth && v <= 4077 && std::abs(v - inverse[i + v]) > 1) {
          o = 0xFF00 + s.backForthMapping;
          continue;
        }
        if (v >= last) { o = sub; continue; }
        if (v == 0) { o = s.d0 == 0 ? 0 : sub; continue; }
        const long long p = score(i, v - 1), q = score(i, v + 1);
        if (q == 0xFFFF || p < c || c > q) { o = sub; continue; }
        if (p > q) {
          const long long k = p - c;
          const long long delta = k > 4096 ? 0 : (p - q) * table[k] / 1048576;
          o = static_cast<unsigned short>(16 * (s.d0 + v) + delta);
        } else {
          const long long k = q - c;
          const long long delta = (k > 4096 || k == 0) ? 0 : (q - p) * table[k] / 1048576;
          o = static_cast<unsigned short>(16 * (s.d0 + v) - delta);
        }
      }
    }
  }
  return out;
}

// Copies a band into a view that starts at an odd column of a padded image,
// so the kernels see unaligned rows and a row increment above the width.
Image<unsigned char> toImage(const Band& band, Image<unsigned char>& storage) {
  storage = Image<unsigned char>(band.rows + 2, band.cols + 37);
  Image<unsigned char> view = storage.region(1, 3, band.rows, band.cols);
  for (int r = 0; r < band.rows; ++r)
    for (int c = 0; c < band.cols; ++c) view[r][c] = band.at(r, c);
  return view;
}

struct Path {
  cpu_extension_t cpu;
  DiffKernelSet kernels;
  std::string name;
};

std::vector<Path> pathsOfThisProcessor() {
  const cpu_extension_t top = SimdDetector::processLevel();
  std::vector<Path> paths;
  const std::pair<cpu_extension_t, const char*> levels[] = {
      {CPU_EXTENSION_NONE, "none"},   {CPU_EXTENSION_MMX, "mmx"},
      {CPU_EXTENSION_SSE2, "sse2"},   {CPU_EXTENSION_SSSE3, "ssse3"},
      {CPU_EXTENSION_SSE4_1, "sse4.1"}, {CPU_EXTENSION_AVX, "avx"},
      {CPU_EXTENSION_AVX2, "avx2"}};
  for (const auto& level : levels) {
    if (level.first > top) continue;
    paths.push_back({level.first, diffKernelsForLevel(level.first), level.second});
  }
  if (top >= CPU_EXTENSION_AVX2) {
    paths.push_back({CPU_EXTENSION_AVX2, DiffKernelSet::Avx2, "avx2 16-slot kernels"});
    if (diffKernelsSupported(DiffKernelSet::Avx512))
      paths.push_back({CPU_EXTENSION_AVX2, DiffKernelSet::Avx512, "avx2 with avx512bw kernels"});
    if (diffKernelsSupported(DiffKernelSet::Avx512Rows))
      paths.push_back({CPU_EXTENSION_AVX2, DiffKernelSet::Avx512Rows, "avx2 with avx512bw row pass"});
  }
  return paths;
}

// Edge-image-like content around 128: B is A moved by a few disparities that
// change along the row, with noise, flat stretches and saturated pixels.
void makePair(std::mt19937& rng, int rows, int colsA, int colsB, Band& a, Band& b) {
  std::uniform_int_distribution<int> value(60, 196), noise(-3, 3), shift(2, 14), coin(0, 9);
  b = {rows, colsB, std::vector<unsigned char>(static_cast<size_t>(rows) * colsB)};
  for (auto& p : b.pixels) p = static_cast<unsigned char>(value(rng));
  for (int c = 5; c < 11 && c < colsB; ++c)
    for (int r = 0; r < rows; ++r) b.pixels[static_cast<size_t>(r) * colsB + c] = 128;
  if (colsB > 12) b.pixels[12] = 255, b.pixels[colsB - 1] = 0;
  a = {rows, colsA, std::vector<unsigned char>(static_cast<size_t>(rows) * colsA)};
  int d = shift(rng);
  for (int c = 0; c < colsA; ++c) {
    if (c % 9 == 0) d = shift(rng);
    for (int r = 0; r < rows; ++r) {
      const int source = std::min(c + d, colsB - 1);
      const int v = coin(rng) == 0 ? value(rng) : b.at(r, source) + noise(rng);
      a.pixels[static_cast<size_t>(r) * colsA + c] = static_cast<unsigned char>(std::clamp(v, 0, 255));
    }
  }
}

std::vector<unsigned short> runCore(const Band& a, const Band& b, const Settings& s,
                                    const Path& path, int outRows, int outCols) {
  Image<unsigned char> storageA, storageB;
  const Image<unsigned char> viewA = toImage(a, storageA), viewB = toImage(b, storageB);
  Image<unsigned short> out(outRows, outCols);
  out.init(0x1234);
  twofastSubpixStereoWith(out, viewA, viewB, s.d0, s.n, s.m, path.cpu, path.kernels, s.tau,
                          s.textureMapping, s.backForth, s.backForthMapping, s.subpixelMapping);
  std::vector<unsigned short> result;
  for (int r = 0; r < outRows; ++r)
    for (int c = 0; c < outCols; ++c) result.push_back(out[r][c]);
  return result;
}

}  // namespace

TEST(CorrelationCore, RandomBandsMatchTheDirectDefinitionOnEveryPath) {
  struct Case {
    Settings settings;
    int rowsA, colsA, extraColsB;
  };
  const Case cases[] = {
      {{0, 64, 7, 0.0, true}, 14, 101, 64},
      {{5, 64, 7, 0.5, true}, 13, 97, 70},
      {{0, 16, 1, 0.0, false}, 6, 61, 16},
      {{0, 16, 1, 2.0, true}, 5, 47, 21},
      {{2, 13, 3, 0.3, true}, 9, 77, 13},
      {{0, 40, 5, 1.0, true}, 10, 43, 8},     // tile limit: L below N - 1
      {{0, 31, 9, 0.0, true}, 15, 83, 31},
      {{0, 100, 11, 0.7, false}, 16, 59, 3},  // heavy tile limit
      {{0, 24, 17, 0.0, true}, 19, 66, 30},   // sums wrap in 16 bits
      {{1, 9, 2, 0.25, true}, 7, 39, 12},     // even mask
      {{3, 1, 3, 0.5, true}, 6, 33, 1},       // a single disparity
      {{0, 128, 7, 0.4, true}, 12, 180, 128},
      {{0, 20, 3, 30.0, true}, 8, 64, 20},    // texture rejects about half
      {{4, 20, 5, 25.0, false}, 9, 55, 24},
      {{0, 72, 5, 0.0, true}, 9, 150, 72},    // three registers of offsets
      {{2, 80, 3, 0.6, true}, 8, 141, 80},
      {{0, 160, 5, 0.4, true}, 8, 230, 160},  // too wide for the row pass
      {{0, 33, 1, 0.0, true}, 4, 70, 40},     // one offset past a register
  };
  std::mt19937 rng(20261211);
  for (const Case& test : cases) {
    Band a, b;
    makePair(rng, test.rowsA, test.colsA, test.colsA + test.extraColsB, a, b);
    const Settings& s = test.settings;
    for (const Path& path : pathsOfThisProcessor()) {
      SCOPED_TRACE("M " + std::to_string(s.m) + " N " + std::to_string(s.n) + " d0 " +
                   std::to_string(s.d0) + " tau " + std::to_string(s.tau) + " bf " +
                   std::to_string(s.backForth) + " path " + path.name);
      const int tileWidth = path.cpu >= CPU_EXTENSION_SSE2 ? 8 : 4;
      const std::vector<unsigned short> expected = referenceMatch(a, b, s, tileWidth);
      ASSERT_FALSE(expected.empty());
      const int outRows = test.rowsA - static_cast<int>(s.m) + 1;
      const int outCols = test.colsA - static_cast<int>(s.m) + 1;
      const std::vector<unsigned short> actual = runCore(a, b, s, path, outRows, outCols);
      ASSERT_EQ(actual.size(), expected.size());
      for (size_t i = 0; i < actual.size(); ++i)
        ASSERT_EQ(actual[i], expected[i]) << "row " << i / outCols << " column " << i % outCols;
    }
  }
}

namespace {

// Matches one row (M = 1: every window is a single pixel, so each slot is
// 1 + |A - B|) on every path and checks all paths agree; returns the row.
std::vector<unsigned short> matchSingleRow(const std::vector<unsigned char>& rowA,
                                           const std::vector<unsigned char>& rowB,
                                           const Settings& s) {
  const Band a{1, static_cast<int>(rowA.size()), rowA};
  const Band b{1, static_cast<int>(rowB.size()), rowB};
  std::vector<unsigned short> first;
  for (const Path& path : pathsOfThisProcessor()) {
    const std::vector<unsigned short> row =
        runCore(a, b, s, path, 1, static_cast<int>(rowA.size()));
    if (first.empty()) first = row;
    EXPECT_EQ(row, first) << path.name;
  }
  return first;
}

std::vector<unsigned char> farFrom100(int n) { return std::vector<unsigned char>(n, 230); }

}  // namespace

TEST(CorrelationCore, SubpixelInterpolationValues) {
  struct Case {
    unsigned char before, best, after;  // B at offsets 2, 3, 4; A is 100
    double tau;                         // texture layout when tau * M * M >= 1
    unsigned short expected;            // d0 = 2, minimum at offset 3
  };
  const Case cases[] = {
      {119, 109, 81, 0.0, 16 * 5},       // p = 20, c = 10, q = 20: no step
      {129, 109, 91, 0.0, 16 * 5 + 7},   // p = 30, c = 10, q = 10: k = 20, 7.99 -> 7
      {110, 91, 129, 0.0, 16 * 5 - 7},   // p = 11, q = 30: -7.6 truncates toward zero
      {110, 91, 129, 1.0, 16 * 5 - 8},   // texture layout: the same scores floor to -8
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> rowB = farFrom100(20);
    rowB[2] = c.before, rowB[3] = c.best, rowB[4] = c.after;
    std::vector<unsigned char> rowA(10, 0);
    rowA[0] = 100;
    const std::vector<unsigned short> out = matchSingleRow(rowA, rowB, {2, 8, 1, c.tau, false});
    EXPECT_EQ(out[0], c.expected) << int(c.before) << " " << c.tau;
  }
  const uint32_t* table = reciprocalTable();
  EXPECT_EQ(table[1], 8388608u);
  EXPECT_EQ(table[20], 419430u);
  EXPECT_EQ(table[4096], 2048u);
}

TEST(CorrelationCore, EdgesOfTheSearchRange) {
  struct Case {
    int matchAt;  // B offset equal to A
    unsigned d0;
    double tau;
    unsigned short expected;
  };
  const Case cases[] = {
      {0, 0, 0.0, 0},       // offset 0 with d0 = 0 is disparity 0
      {0, 3, 0.0, 0xFFFD},  // offset 0 with d0 > 0 cannot be interpolated
      {0, 0, 1.0, 0},       // the same in the texture layout
      {0, 3, 1.0, 0xFFFD},
      {7, 0, 0.0, 0xFFFD},  // the last offset (N - 1) is never valid
      {7, 0, 1.0, 0xFFFD},
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> rowB = farFrom100(24);
    rowB[c.matchAt] = 100;
    std::vector<unsigned char> rowA(10, 0);
    rowA[0] = 100;
    const std::vector<unsigned short> out = matchSingleRow(rowA, rowB, {c.d0, 8, 1, c.tau, false});
    EXPECT_EQ(out[0], c.expected) << c.matchAt << " d0 " << c.d0 << " tau " << c.tau;
  }
}

TEST(CorrelationCore, BackAndForthAcceptsOneOffsetOfDifference) {
  // B holds distinct values; pixel 0 of A equals B at offset v, and the pixel
  // at distance w before position v is the best match seen from B.
  std::vector<unsigned char> rowB(24);
  for (int k = 0; k < 24; ++k) rowB[k] = static_cast<unsigned char>(10 * k + 5);
  struct Case {
    int v, w;
    bool passes;
  };
  for (const Case& c : {Case{1, 0, true}, Case{3, 1, false}, Case{2, 1, true}}) {
    std::vector<unsigned char> rowA(10, 250);
    rowA[0] = rowB[c.v];
    rowA[c.v - c.w] = rowB[c.v];
    const std::vector<unsigned short> out = matchSingleRow(rowA, rowB, {0, 8, 1, 0.0, true});
    EXPECT_EQ(out[0] == 0xFFFB, !c.passes) << "v " << c.v << " w " << c.w;
  }
}

TEST(CorrelationCore, TextureValidation) {
  // Below one unit of texture the validation is off: identical output.
  std::mt19937 rng(7);
  Band a, b;
  makePair(rng, 12, 70, 110, a, b);
  for (const Path& path : pathsOfThisProcessor()) {
    EXPECT_EQ(runCore(a, b, {0, 32, 7, 0.01, true}, path, 6, 64),
              runCore(a, b, {0, 32, 7, 0.0, true}, path, 6, 64))
        << path.name;
  }
  // A flat window at the edge zero level has no texture.
  const Band flatA{3, 12, std::vector<unsigned char>(36, 128)};
  const Band flatB{3, 30, std::vector<unsigned char>(90, 128)};
  for (const Path& path : pathsOfThisProcessor()) {
    for (unsigned short v : runCore(flatA, flatB, {0, 8, 3, 1.0, false}, path, 1, 10))
      EXPECT_EQ(v, 0xFFFF) << path.name;
    for (unsigned short v : runCore(flatA, flatB, {0, 8, 3, 0.0, false}, path, 1, 10))
      EXPECT_NE(v, 0xFFFF) << path.name;
  }
}

TEST(CorrelationCore, RejectedInputsLeaveTheOutputUntouched) {
  struct Case {
    int rowsA, colsA, rowsB, colsB, rowsD, colsD;
    unsigned n, m;
  };
  const Case cases[] = {
      {4, 20, 4, 40, 4, 20, 8, 5},       // mask taller than A
      {8, 20, 8, 19, 8, 20, 8, 3},       // A wider than B
      {8, 20, 7, 40, 8, 20, 8, 3},       // B shorter than A
      {8, 20, 8, 40, 5, 20, 8, 3},       // output too short
      {8, 20, 8, 40, 8, 17, 8, 3},       // output too narrow
      {8, 20, 8, 40, 8, 20, 65536, 3},   // too many disparities
      {8, 20, 8, 40, 8, 20, 0, 3},       // no disparity: no group
      {4, 5121, 4, 5200, 4, 5121, 8, 1}, // beyond the 5120-column work arrays
  };
  for (const Case& c : cases) {
    Image<unsigned char> a(c.rowsA, c.colsA), b(c.rowsB, c.colsB);
    Image<unsigned short> d(c.rowsD, c.colsD);
    d.init(0x4242);
    EXPECT_EQ(twofast_subpix_stereo(d, a, b, 0, c.n, c.m, SimdDetector::processLevel(), 0.0,
                                    255, true, 251, 253),
              0);
    for (int r = 0; r < c.rowsD; ++r)
      for (int col = 0; col < c.colsD; ++col) ASSERT_EQ(d[r][col], 0x4242);
  }
}

namespace {

// Random records around the edge cases of the finisher: forward results at
// 0, 1, L and beyond, equal and 0xFFFF neighbours, curvatures above 4096,
// textures at the threshold and inverse results near the forward ones.
struct FinisherRecords {
  std::vector<unsigned short> out, forward, best, before, after, texture, inverse;
  RowFinish row;
};

FinisherRecords randomRecords(std::mt19937& rng, int count, int n, int lastSlot, unsigned d0,
                              long long textureUnits, bool backForth) {
  FinisherRecords r;
  const size_t padded = static_cast<size_t>(count) + 16;
  r.out.assign(padded, 0x1234);
  r.forward.resize(padded);
  r.best.resize(padded);
  r.before.resize(padded);
  r.after.resize(padded);
  r.texture.resize(padded);
  r.inverse.resize(static_cast<size_t>(count) + n + 32);
  std::uniform_int_distribution<int> slot(0, n), small(0, 40), any(0, 0xFFFF), pick(0, 7);
  auto near = [&](int value) {
    switch (pick(rng)) {
      case 0: return value;
      case 1: return 0xFFFF;
      case 2: return std::min(value + 5000, 0xFFFF);
      case 3: return any(rng);
      default: return std::min(value + small(rng), 0xFFFF);
    }
  };
  for (int i = 0; i < count; ++i) {
    const int v = pick(rng) == 0 ? std::min(pick(rng), n) : slot(rng);
    const int c = pick(rng) == 0 ? any(rng) : small(rng) * 50;
    r.forward[i] = static_cast<unsigned short>(v);
    r.best[i] = static_cast<unsigned short>(c);
    r.before[i] = static_cast<unsigned short>(near(c));
    r.after[i] = static_cast<unsigned short>(near(c));
    r.texture[i] = static_cast<unsigned short>(pick(rng) == 0 ? textureUnits : near(c / 16));
  }
  for (size_t p = 0; p < r.inverse.size(); ++p)
    r.inverse[p] = static_cast<unsigned short>(std::uniform_int_distribution<int>(0, n)(rng));
  RowFinish& row = r.row;
  row.out = r.out.data();
  row.scores = nullptr;
  row.count = count;
  row.pixels = count;
  row.groups = (n + 8) / 4;
  row.slotsSearched = n;
  row.lastSlot = lastSlot;
  row.d0 = d0;
  row.textureValue = 16 * textureUnits;
  row.textureCode = 0xFFFF;
  row.backForthCode = 0xFFFB;
  row.subpixelCode = 0xFFFD;
  row.forward = r.forward.data();
  row.best = r.best.data();
  row.before = r.before.data();
  row.after = r.after.data();
  row.texture = r.texture.data();
  row.inverse = backForth ? r.inverse.data() : nullptr;
  row.cpu = CPU_EXTENSION_AVX2;
  row.avx512 = false;
  return r;
}

}  // namespace

TEST(CorrelationCore, VectorFinisherMatchesTheScalarFinisher) {
  if (!diffKernelsSupported(DiffKernelSet::Avx512Rows)) GTEST_SKIP() << "no AVX-512BW";
  struct Case {
    int count, n, lastSlot;
    unsigned d0;
    long long textureUnits;
    bool backForth;
  };
  const Case cases[] = {
      {1, 8, 7, 0, 20, true},       {15, 64, 63, 0, 24, true},  {16, 64, 64, 3, 24, false},
      {37, 64, 31, 0, 100, true},   {101, 128, 128, 9, 1, true}, {250, 5000, 4999, 0, 70000, true},
      {77, 12, 11, 4000, 3, false},
  };
  std::mt19937 rng(4242);
  for (const Case& c : cases) {
    for (const bool textureLayout : {false, true}) {
      FinisherRecords scalar =
          randomRecords(rng, c.count, c.n, c.lastSlot, c.d0, c.textureUnits, c.backForth);
      FinisherRecords vector = scalar;
      vector.row.out = vector.out.data();
      vector.row.forward = vector.forward.data();
      vector.row.best = vector.best.data();
      vector.row.before = vector.before.data();
      vector.row.after = vector.after.data();
      vector.row.texture = vector.texture.data();
      vector.row.inverse = c.backForth ? vector.inverse.data() : nullptr;
      finishRow(scalar.row, textureLayout);
      finishRowAvx512(vector.row, textureLayout);
      EXPECT_EQ(vector.out, scalar.out) << "count " << c.count << " texture " << textureLayout;
    }
  }
  // Every curvature k = max(p, q) - c of the reciprocal table and past it,
  // with both signs of p - q.
  const int count = 2 * 4200;
  for (const bool textureLayout : {false, true}) {
    FinisherRecords scalar = randomRecords(rng, count, 64, 63, 0, 1, false);
    for (int i = 0; i < count; ++i) {
      const int k = i / 2, c = 1000;
      scalar.forward[i] = 5;
      scalar.best[i] = c;
      scalar.texture[i] = 0xFFFF;
      const int far = c + k, near = c + k - (k * 7919) % (k + 1);
      scalar.before[i] = static_cast<unsigned short>(i % 2 ? far : near);
      scalar.after[i] = static_cast<unsigned short>(i % 2 ? near : far);
    }
    std::vector<unsigned short> expected = scalar.out;
    std::vector<unsigned short> actual = scalar.out;
    scalar.row.out = expected.data();
    finishRow(scalar.row, textureLayout);
    scalar.row.out = actual.data();
    finishRowAvx512(scalar.row, textureLayout);
    EXPECT_EQ(actual, expected) << "texture " << textureLayout;
  }
}
