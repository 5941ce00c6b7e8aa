// Lets the whole test executable run at a lower instruction-set level:
// STELOX_TEST_SIMD_LEVEL=<0..9> sets the detector ceiling before any test, so
// every dispatcher takes the path of that level (0: scalar reference code).
#include "image/simd/SimdDetector.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

class ForcedSimdLevel : public ::testing::Environment {
public:
  void SetUp() override {
    const char* text = std::getenv("STELOX_TEST_SIMD_LEVEL");
    if (text == nullptr || *text == '\0') return;
    const int level = std::atoi(text);
    if (level < CPU_EXTENSION_NONE || level > CPU_EXTENSION_AVX2) return;
    SimdDetector::setLevelCeiling(static_cast<cpu_extension_t>(level));
    std::printf("Instruction-set level limited to %d (processor level now %d)\n", level,
                static_cast<int>(SimdDetector::processLevel()));
  }
};

const ::testing::Environment* const g_forcedLevel =
    ::testing::AddGlobalTestEnvironment(new ForcedSimdLevel);

}  // namespace
