// Processor feature probe and the instruction-set level the image code runs at.
#ifndef STELOX_IMAGE_SIMD_SIMDDETECTOR_H
#define STELOX_IMAGE_SIMD_SIMDDETECTOR_H

#include <cstdint>

// Instruction-set level, lowest to highest; the values are fixed.
enum cpu_extension_t : int {
  CPU_EXTENSION_NONE = 0,
  CPU_EXTENSION_MMX = 1,
  CPU_EXTENSION_SSE = 2,
  CPU_EXTENSION_SSE2 = 3,
  CPU_EXTENSION_SSE3 = 4,
  CPU_EXTENSION_SSSE3 = 5,
  CPU_EXTENSION_SSE4_1 = 6,
  CPU_EXTENSION_SSE4_2 = 7,
  CPU_EXTENSION_AVX = 8,
  CPU_EXTENSION_AVX2 = 9
};

// The two processor instructions the probe executes. The default source runs
// them on this processor; tests substitute a scripted processor.
struct CpuIdSource {
  // Fills regs with EAX, EBX, ECX, EDX of CPUID(leaf, subleaf).
  void (*cpuid)(uint32_t leaf, uint32_t subleaf, uint32_t regs[4]);
  // XGETBV(index): the extended control register; only called when the
  // processor reports OSXSAVE.
  uint64_t (*xgetbv)(uint32_t index);
};

const CpuIdSource& hardwareCpuIdSource();

// Raw CPUID queries. Each support_*() test returns 0 when the processor has no
// basic leaf to ask (AVX2: when leaf 7 is missing), otherwise the feature bit.
class CpuIdFeatures {
public:
  explicit CpuIdFeatures(const CpuIdSource& source = hardwareCpuIdSource());

  void retrieve_cpuid_info(uint32_t leaf, uint32_t subleaf = 0);

  uint32_t* eax() { return &m_eax; }
  uint32_t* ebx() { return &m_ebx; }
  uint32_t* ecx() { return &m_ecx; }
  uint32_t* edx() { return &m_edx; }
  uint32_t maxBasicLeaf() const { return m_maxBasicLeaf; }
  uint32_t maxExtendedLeaf() const { return m_maxExtendedLeaf; }

  int support_mmx() { return leaf1Bit(m_edx, 23); }
  int support_sse() { return leaf1Bit(m_edx, 25); }
  int support_sse2() { return leaf1Bit(m_edx, 26); }
  int support_sse3() { return leaf1Bit(m_ecx, 0); }
  int support_ssse3() { return leaf1Bit(m_ecx, 9); }
  int support_sse4_1() { return leaf1Bit(m_ecx, 19); }
  int support_sse4_2() { return leaf1Bit(m_ecx, 20); }
  int support_avx() { return leaf1Bit(m_ecx, 28); }
  int support_fma() { return leaf1Bit(m_ecx, 12); }
  int support_osxsave() { return leaf1Bit(m_ecx, 27); }
  int support_avx2();

  uint64_t xgetbv(uint32_t index) const { return m_source->xgetbv(index); }

private:
  // Queries leaf 1 and tests one bit of the register the query filled.
  int leaf1Bit(const uint32_t& reg, int bit);

  uint32_t m_eax = 0;
  uint32_t m_ebx = 0;
  uint32_t m_ecx = 0;
  uint32_t m_edx = 0;
  uint32_t m_maxBasicLeaf = 0;
  uint32_t m_maxExtendedLeaf = 0;
  uint32_t m_reserved = 0;
  uint32_t m_extendedBase = 0x80000000u;
  const CpuIdSource* m_source;
};

// Answers which instruction sets the image code may use. Cheap enough to create
// on the stack wherever a decision is made.
//
// Every answer is limited by a process-wide ceiling (default: no limit) so that
// tests can run all code paths down to plain scalar code on a processor that
// has more.
class SimdDetector {
public:
  explicit SimdDetector(const CpuIdSource& source = hardwareCpuIdSource());
  virtual ~SimdDetector();

  bool mmxDetected();
  bool sseDetected();
  bool sse2Detected();
  bool sse3Detected();
  bool ssse3Detected();
  bool sse4_1Detected();
  bool sse4_2Detected();
  // XGETBV(0): the operating system saves both XMM (bit 1) and YMM (bit 2) state.
  bool checkOsSaveYmm();
  bool avxDetected();
  bool avx2Detected();
  cpu_extension_t higher_instruction_set();

  // Testing aid: no detector reports a level above `ceiling` until it is
  // raised again. CPU_EXTENSION_AVX2 removes the limit.
  static void setLevelCeiling(cpu_extension_t ceiling);
  static cpu_extension_t levelCeiling();

  // The level of this processor under the ceiling; CPUID runs once per process.
  static cpu_extension_t processLevel();

private:
  bool detected(cpu_extension_t level, bool limited);
  cpu_extension_t highestLevel(bool limited);

  CpuIdFeatures m_features;
};

#endif
