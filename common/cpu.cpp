#include "common/cpu.h"

#include <cstdlib>
#include <cstring>

namespace om {

SimdLevel detectedSimdLevel() noexcept {
#if defined(__i386__) || defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return SimdLevel::Avx2;
  if (__builtin_cpu_supports("sse2")) return SimdLevel::Sse2;
#endif
  return SimdLevel::Scalar;
}

static SimdLevel readActiveLevel() noexcept {
  SimdLevel level = detectedSimdLevel();
  const char* cap = std::getenv("OSTRANE_MARQUEL_SIMD");
  if (cap) {
    SimdLevel wanted = level;
    if (std::strcmp(cap, "scalar") == 0) wanted = SimdLevel::Scalar;
    else if (std::strcmp(cap, "sse2") == 0) wanted = SimdLevel::Sse2;
    else if (std::strcmp(cap, "avx2") == 0) wanted = SimdLevel::Avx2;
    if (wanted < level) level = wanted;
  }
  return level;
}

SimdLevel activeSimdLevel() noexcept {
  static const SimdLevel level = readActiveLevel();
  return level;
}

const char* simdLevelName(SimdLevel level) noexcept {
  switch (level) {
    case SimdLevel::Avx2: return "avx2";
    case SimdLevel::Sse2: return "sse2";
    default: return "scalar";
  }
}

}  // namespace om
