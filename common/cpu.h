// Which SIMD level the pixel kernels may use: what the processor reports,
// capped by the OSTRANE_MARQUEL_SIMD environment variable ("scalar", "sse2",
// "avx2") so a host or test can force the reference path.
//
// Every kernel family has the same shape: a table of row kernels per level,
// `xxxKernelsFor(SimdLevel)`, with functions named `_c` (the reference),
// `_sse2` and `_avx2`, and the family picks `xxxKernelsFor(activeSimdLevel())`
// on each call.
#pragma once

namespace om {

enum class SimdLevel { Scalar = 0, Sse2 = 1, Avx2 = 2 };

SimdLevel detectedSimdLevel() noexcept;  // processor only
// The processor's level capped by the environment (read once) and by the
// innermost SimdLevelCap.
SimdLevel activeSimdLevel() noexcept;
const char* simdLevelName(SimdLevel level) noexcept;

// A family's table for `level`, from its tables in level order: what every
// `xxxKernelsFor` returns.
template <typename Kernels>
constexpr const Kernels& kernelsForLevel(SimdLevel level, const Kernels& scalar, const Kernels& sse2,
                                         const Kernels& avx2) noexcept {
  return level == SimdLevel::Avx2 ? avx2 : level == SimdLevel::Sse2 ? sse2 : scalar;
}

// The one override of the kernel level, for tests and benchmarks that
// compare the paths: while it lives, every family uses at most `cap`. It
// is process-wide; nest caps in the order they are made.
class SimdLevelCap {
 public:
  explicit SimdLevelCap(SimdLevel cap) noexcept;
  ~SimdLevelCap();
  SimdLevelCap(const SimdLevelCap&) = delete;
  SimdLevelCap& operator=(const SimdLevelCap&) = delete;

 private:
  int previous_;
};

}  // namespace om
