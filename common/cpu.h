// Which SIMD level the pixel kernels may use: what the processor reports,
// capped by the OSTRANE_MARQUEL_SIMD environment variable ("scalar", "sse2",
// "avx2") so a host or test can force the reference path.
#pragma once

namespace om {

enum class SimdLevel { Scalar = 0, Sse2 = 1, Avx2 = 2 };

SimdLevel detectedSimdLevel() noexcept;  // processor only
SimdLevel activeSimdLevel() noexcept;    // processor capped by the environment, read once
const char* simdLevelName(SimdLevel level) noexcept;

}  // namespace om
