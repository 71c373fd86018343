#include "logo/soft_key_kernels.h"

#include <cstddef>

#include "common/muldiv.h"

namespace om {

namespace {

constexpr SoftKeyKernels kC{softKeyRow_c};
constexpr SoftKeyKernels kSse2{softKeyRow_sse2};
constexpr SoftKeyKernels kAvx2{softKeyRow_avx2};

int32_t percentToDistance(int32_t percent) {
  const int32_t clamped = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
  return MulDiv(clamped, kLargestKeyDistance, 100);
}

// Pixels per kernel call: keeps every count an int32 whatever the picture,
// and a multiple of every vector step so only the last call has a tail.
constexpr int64_t kPixelsPerCall = int64_t{1} << 24;

}  // namespace

const SoftKeyKernels& softKeyKernelsFor(SimdLevel level) noexcept {
  return kernelsForLevel(level, kC, kSse2, kAvx2);
}

void applySoftKey(const uint32_t* pixels, int32_t width, int32_t height, uint32_t keyColor,
                  int32_t tolerancePercent, int32_t softnessPercent, uint32_t* out) noexcept {
  if (!pixels || !out || width <= 0 || height <= 0) return;
  const SoftKeyKernel row = softKeyKernelsFor(activeSimdLevel()).row;
  // 0x00BBGGRR to the picture's in-memory order B, G, R.
  const uint32_t keyPixel =
      ((keyColor & 0xFFu) << 16) | (keyColor & 0xFF00u) | ((keyColor >> 16) & 0xFFu);
  const int32_t tolerance = percentToDistance(tolerancePercent);
  const int32_t softness = percentToDistance(softnessPercent);
  const auto* source = reinterpret_cast<const uint8_t*>(pixels);
  auto* target = reinterpret_cast<uint8_t*>(out);
  for (int64_t left = static_cast<int64_t>(width) * height; left > 0; left -= kPixelsPerCall) {
    const int32_t count = static_cast<int32_t>(left < kPixelsPerCall ? left : kPixelsPerCall);
    row(source, target, count, keyPixel, tolerance, softness);
    source += static_cast<size_t>(count) * 4;
    target += static_cast<size_t>(count) * 4;
  }
}

}  // namespace om
