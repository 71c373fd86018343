#include "common/cpu.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace om {

namespace {

std::atomic<int> g_cap{static_cast<int>(SimdLevel::Avx2)};

SimdLevel environmentLevel() noexcept {
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

}  // namespace

SimdLevel detectedSimdLevel() noexcept {
#if defined(__i386__) || defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return SimdLevel::Avx2;
  if (__builtin_cpu_supports("sse2")) return SimdLevel::Sse2;
#endif
  return SimdLevel::Scalar;
}

SimdLevel activeSimdLevel() noexcept {
  static const SimdLevel level = environmentLevel();
  const int cap = g_cap.load(std::memory_order_relaxed);
  return static_cast<int>(level) < cap ? level : static_cast<SimdLevel>(cap);
}

const char* simdLevelName(SimdLevel level) noexcept {
  switch (level) {
    case SimdLevel::Avx2: return "avx2";
    case SimdLevel::Sse2: return "sse2";
    default: return "scalar";
  }
}

SimdLevelCap::SimdLevelCap(SimdLevel cap) noexcept
    : previous_(g_cap.exchange(static_cast<int>(cap), std::memory_order_relaxed)) {}

SimdLevelCap::~SimdLevelCap() { g_cap.store(previous_, std::memory_order_relaxed); }

}  // namespace om
