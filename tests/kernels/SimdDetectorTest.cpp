#include "image/simd/SimdDetector.h"

#include <gtest/gtest.h>

namespace {

// A scripted processor: leaf 0, leaf 1 (ECX, EDX), leaf 7 (EBX) and XCR0.
struct FakeCpu {
  uint32_t maxBasicLeaf;
  uint32_t leaf1Ecx;
  uint32_t leaf1Edx;
  uint32_t leaf7Ebx;
  uint64_t xcr0;
};

FakeCpu g_cpu;
int g_xgetbvCalls = 0;

void fakeCpuid(uint32_t leaf, uint32_t subleaf, uint32_t regs[4]) {
  regs[0] = regs[1] = regs[2] = regs[3] = 0;
  if (leaf == 0) regs[0] = g_cpu.maxBasicLeaf;
  if (leaf == 0x80000000u) regs[0] = 0x80000008u;
  if (leaf > g_cpu.maxBasicLeaf && leaf < 0x80000000u) return;
  if (leaf == 1) {
    regs[2] = g_cpu.leaf1Ecx;
    regs[3] = g_cpu.leaf1Edx;
  }
  if (leaf == 7 && subleaf == 0) regs[1] = g_cpu.leaf7Ebx;
}

uint64_t fakeXgetbv(uint32_t index) {
  ++g_xgetbvCalls;
  return index == 0 ? g_cpu.xcr0 : 0;
}

const CpuIdSource kFakeSource{&fakeCpuid, &fakeXgetbv};

constexpr uint32_t kEdxMmx = 1u << 23, kEdxSse = 1u << 25, kEdxSse2 = 1u << 26;
constexpr uint32_t kEcxSse3 = 1u << 0, kEcxSsse3 = 1u << 9, kEcxSse41 = 1u << 19,
                   kEcxSse42 = 1u << 20, kEcxOsxsave = 1u << 27, kEcxAvx = 1u << 28;
constexpr uint32_t kEbxAvx2 = 1u << 5;
constexpr uint32_t kEdxAll = kEdxMmx | kEdxSse | kEdxSse2;
constexpr uint32_t kEcxUpTo42 = kEcxSse3 | kEcxSsse3 | kEcxSse41 | kEcxSse42;

struct LevelCase {
  const char* name;
  FakeCpu cpu;
  cpu_extension_t expected;
};

// The probe's own logic is checked with no ceiling, whatever level the run forces.
class UnlimitedCeiling {
protected:
  UnlimitedCeiling() : m_saved(SimdDetector::levelCeiling()) {
    SimdDetector::setLevelCeiling(CPU_EXTENSION_AVX2);
  }
  ~UnlimitedCeiling() { SimdDetector::setLevelCeiling(m_saved); }

private:
  cpu_extension_t m_saved;
};

class SimdDetectorLevel : public ::testing::TestWithParam<LevelCase>, UnlimitedCeiling {};
class SimdDetectorProbe : public ::testing::Test, UnlimitedCeiling {};

TEST_P(SimdDetectorLevel, ReportsHighestUsableLevel) {
  g_cpu = GetParam().cpu;
  SimdDetector detector(kFakeSource);
  EXPECT_EQ(detector.higher_instruction_set(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Processors, SimdDetectorLevel,
    ::testing::Values(
        LevelCase{"NoBasicLeaf", {0, ~0u, ~0u, ~0u, 6}, CPU_EXTENSION_NONE},
        LevelCase{"NothingSet", {1, 0, 0, 0, 0}, CPU_EXTENSION_NONE},
        LevelCase{"MmxOnly", {1, 0, kEdxMmx, 0, 0}, CPU_EXTENSION_MMX},
        LevelCase{"Sse2", {1, 0, kEdxAll, 0, 0}, CPU_EXTENSION_SSE2},
        LevelCase{"Ssse3WithoutSse41", {1, kEcxSse3 | kEcxSsse3, kEdxAll, 0, 0},
                  CPU_EXTENSION_SSSE3},
        LevelCase{"Sse42NoAvx", {7, kEcxUpTo42, kEdxAll, 0, 0}, CPU_EXTENSION_SSE4_2},
        LevelCase{"AvxButYmmNotSaved",
                  {7, kEcxUpTo42 | kEcxOsxsave | kEcxAvx, kEdxAll, kEbxAvx2, 0x3},
                  CPU_EXTENSION_SSE4_2},
        LevelCase{"AvxWithoutOsxsave", {7, kEcxUpTo42 | kEcxAvx, kEdxAll, kEbxAvx2, 0x7},
                  CPU_EXTENSION_SSE4_2},
        LevelCase{"Avx", {7, kEcxUpTo42 | kEcxOsxsave | kEcxAvx, kEdxAll, 0, 0x7},
                  CPU_EXTENSION_AVX},
        LevelCase{"Avx2", {7, kEcxUpTo42 | kEcxOsxsave | kEcxAvx, kEdxAll, kEbxAvx2, 0x7},
                  CPU_EXTENSION_AVX2},
        LevelCase{"Avx2BitWithoutLeaf7",
                  {6, kEcxUpTo42 | kEcxOsxsave | kEcxAvx, kEdxAll, kEbxAvx2, 0x7},
                  CPU_EXTENSION_AVX}),
    [](const ::testing::TestParamInfo<LevelCase>& info) { return std::string(info.param.name); });

TEST_F(SimdDetectorProbe, NeverExecutesXgetbvWithoutOsxsave) {
  g_cpu = {7, kEcxUpTo42 | kEcxAvx, kEdxAll, kEbxAvx2, 0x7};
  g_xgetbvCalls = 0;
  SimdDetector detector(kFakeSource);
  EXPECT_FALSE(detector.checkOsSaveYmm());
  EXPECT_FALSE(detector.avx2Detected());
  EXPECT_EQ(g_xgetbvCalls, 0);
}

TEST(SimdDetector, FeaturesKeepLeafMaximaAndClearRegisters) {
  g_cpu = {7, kEcxUpTo42, kEdxAll, 0, 0};
  CpuIdFeatures features(kFakeSource);
  EXPECT_EQ(features.maxBasicLeaf(), 7u);
  EXPECT_EQ(features.maxExtendedLeaf(), 0x80000008u);
  EXPECT_EQ(*features.eax(), 0u);
  EXPECT_EQ(*features.edx(), 0u);
  EXPECT_EQ(features.support_sse4_2(), 1);
  EXPECT_EQ(features.support_avx(), 0);
  EXPECT_EQ(*features.ecx(), kEcxUpTo42);
}

TEST_F(SimdDetectorProbe, CeilingLimitsEveryAnswer) {
  g_cpu = {7, kEcxUpTo42 | kEcxOsxsave | kEcxAvx, kEdxAll, kEbxAvx2, 0x7};
  SimdDetector::setLevelCeiling(CPU_EXTENSION_SSSE3);
  SimdDetector detector(kFakeSource);
  EXPECT_EQ(detector.higher_instruction_set(), CPU_EXTENSION_SSSE3);
  EXPECT_TRUE(detector.sse2Detected());
  EXPECT_FALSE(detector.sse4_1Detected());
  EXPECT_FALSE(detector.avx2Detected());
  EXPECT_LE(SimdDetector::processLevel(), CPU_EXTENSION_SSSE3);
  SimdDetector::setLevelCeiling(CPU_EXTENSION_NONE);
  EXPECT_FALSE(detector.mmxDetected());
  EXPECT_EQ(SimdDetector::processLevel(), CPU_EXTENSION_NONE);
}

TEST(SimdDetector, ThisProcessorHasAtLeastSse2) {
  // Every x86-64 processor has SSE2; the real probe must see it.
  SimdDetector detector;
  if (SimdDetector::levelCeiling() >= CPU_EXTENSION_SSE2) {
    EXPECT_TRUE(detector.sse2Detected());
    EXPECT_GE(detector.higher_instruction_set(), CPU_EXTENSION_SSE2);
  }
  EXPECT_EQ(SimdDetector::processLevel(), detector.higher_instruction_set());
}

}  // namespace
