#include "image/simd/SimdDetector.h"

#include <atomic>
#include <cpuid.h>

namespace {

void hardwareCpuid(uint32_t leaf, uint32_t subleaf, uint32_t regs[4]) {
  __cpuid_count(leaf, subleaf, regs[0], regs[1], regs[2], regs[3]);
}

uint64_t hardwareXgetbv(uint32_t index) {
  uint32_t low = 0;
  uint32_t high = 0;
  // Encoded as bytes so that the file needs no -mxsave; the caller has checked
  // OSXSAVE, without which the instruction faults.
  __asm__ volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(low), "=d"(high) : "c"(index));
  return (static_cast<uint64_t>(high) << 32) | low;
}

std::atomic<int> g_levelCeiling{CPU_EXTENSION_AVX2};

}  // namespace

const CpuIdSource& hardwareCpuIdSource() {
  static const CpuIdSource source{&hardwareCpuid, &hardwareXgetbv};
  return source;
}

CpuIdFeatures::CpuIdFeatures(const CpuIdSource& source) : m_source(&source) {
  retrieve_cpuid_info(0);
  m_maxBasicLeaf = m_eax;
  retrieve_cpuid_info(m_extendedBase);
  m_maxExtendedLeaf = m_eax;
  m_eax = m_ebx = m_ecx = m_edx = 0;
}

void CpuIdFeatures::retrieve_cpuid_info(uint32_t leaf, uint32_t subleaf) {
  uint32_t regs[4] = {0, 0, 0, 0};
  m_source->cpuid(leaf, subleaf, regs);
  m_eax = regs[0];
  m_ebx = regs[1];
  m_ecx = regs[2];
  m_edx = regs[3];
}

int CpuIdFeatures::leaf1Bit(const uint32_t& reg, int bit) {
  if (m_maxBasicLeaf == 0) return 0;
  retrieve_cpuid_info(1);
  return (reg >> bit) & 1u;
}

int CpuIdFeatures::support_avx2() {
  if (m_maxBasicLeaf <= 6) return 0;
  retrieve_cpuid_info(7, 0);
  return (m_ebx >> 5) & 1u;
}

SimdDetector::SimdDetector(const CpuIdSource& source) : m_features(source) {}

SimdDetector::~SimdDetector() = default;

bool SimdDetector::checkOsSaveYmm() {
  // XGETBV is undefined without OSXSAVE: such a processor has no YMM state.
  if (!m_features.support_osxsave()) return false;
  const uint64_t xcr0 = m_features.xgetbv(0);
  return (xcr0 & 0x6u) == 0x6u;
}

bool SimdDetector::detected(cpu_extension_t level, bool limited) {
  if (limited && level > g_levelCeiling.load(std::memory_order_relaxed)) return false;
  switch (level) {
    case CPU_EXTENSION_NONE: return true;
    case CPU_EXTENSION_MMX: return m_features.support_mmx() != 0;
    case CPU_EXTENSION_SSE: return m_features.support_sse() != 0;
    case CPU_EXTENSION_SSE2: return m_features.support_sse2() != 0;
    case CPU_EXTENSION_SSE3: return m_features.support_sse3() != 0;
    case CPU_EXTENSION_SSSE3: return m_features.support_ssse3() != 0;
    case CPU_EXTENSION_SSE4_1: return m_features.support_sse4_1() != 0;
    case CPU_EXTENSION_SSE4_2: return m_features.support_sse4_2() != 0;
    case CPU_EXTENSION_AVX:
      return m_features.support_osxsave() && m_features.support_avx() && checkOsSaveYmm();
    case CPU_EXTENSION_AVX2:
      return detected(CPU_EXTENSION_AVX, limited) && m_features.support_avx2() != 0;
  }
  return false;
}

bool SimdDetector::mmxDetected() { return detected(CPU_EXTENSION_MMX, true); }
bool SimdDetector::sseDetected() { return detected(CPU_EXTENSION_SSE, true); }
bool SimdDetector::sse2Detected() { return detected(CPU_EXTENSION_SSE2, true); }
bool SimdDetector::sse3Detected() { return detected(CPU_EXTENSION_SSE3, true); }
bool SimdDetector::ssse3Detected() { return detected(CPU_EXTENSION_SSSE3, true); }
bool SimdDetector::sse4_1Detected() { return detected(CPU_EXTENSION_SSE4_1, true); }
bool SimdDetector::sse4_2Detected() { return detected(CPU_EXTENSION_SSE4_2, true); }
bool SimdDetector::avxDetected() { return detected(CPU_EXTENSION_AVX, true); }
bool SimdDetector::avx2Detected() { return detected(CPU_EXTENSION_AVX2, true); }

cpu_extension_t SimdDetector::highestLevel(bool limited) {
  // Highest first: the first extension whose own test succeeds wins, so a
  // processor whose system does not save YMM state falls through to SSE4.2.
  for (int level = CPU_EXTENSION_AVX2; level >= CPU_EXTENSION_MMX; --level) {
    if (detected(static_cast<cpu_extension_t>(level), limited)) {
      return static_cast<cpu_extension_t>(level);
    }
  }
  return CPU_EXTENSION_NONE;
}

cpu_extension_t SimdDetector::higher_instruction_set() { return highestLevel(true); }

void SimdDetector::setLevelCeiling(cpu_extension_t ceiling) {
  g_levelCeiling.store(ceiling, std::memory_order_relaxed);
}

cpu_extension_t SimdDetector::levelCeiling() {
  return static_cast<cpu_extension_t>(g_levelCeiling.load(std::memory_order_relaxed));
}

cpu_extension_t SimdDetector::processLevel() {
  static const cpu_extension_t hardwareLevel = SimdDetector().highestLevel(false);
  const cpu_extension_t ceiling = levelCeiling();
  return hardwareLevel < ceiling ? hardwareLevel : ceiling;
}
