// Scalar reference of the soft colour key: the formulas as written, one
// pixel at a time, in integers only, so it is exact under any FPU mode. The
// vector kernels must match it byte for byte.
#include "logo/soft_key_kernels.h"

namespace om {

namespace {

int32_t clampDistance(int32_t v) {
  return v < 0 ? 0 : (v > kLargestKeyDistance ? kLargestKeyDistance : v);
}

// floor(sqrt(v)) for v in 0..195075: the largest d with d * d <= v, by
// halving the interval lo * lo <= v < hi * hi.
int32_t integerSqrt(int32_t v) {
  int32_t lo = 0;
  int32_t hi = kLargestKeyDistance + 1;
  while (hi - lo > 1) {
    const int32_t mid = (lo + hi) / 2;
    if (mid * mid <= v)
      lo = mid;
    else
      hi = mid;
  }
  return lo;
}

// 0 (keyed out) .. 255 (kept) for a distance d from the key.
int32_t keyWeight(int32_t d, int32_t tolerance, int32_t softness) {
  if (d <= tolerance) return 0;
  if (softness == 0 || d >= tolerance + softness) return 255;
  return 255 * (d - tolerance) / softness;  // 255 * 440 at most
}

}  // namespace

void softKeyRow_c(const uint8_t* source, uint8_t* out, int32_t pixels, uint32_t keyPixel,
                  int32_t tolerance, int32_t softness) {
  tolerance = clampDistance(tolerance);
  softness = clampDistance(softness);
  const int32_t keyB = keyPixel & 0xFF;
  const int32_t keyG = (keyPixel >> 8) & 0xFF;
  const int32_t keyR = (keyPixel >> 16) & 0xFF;
  for (int32_t i = 0; i < pixels; ++i, source += 4, out += 4) {
    const int32_t db = source[0] - keyB;
    const int32_t dg = source[1] - keyG;
    const int32_t dr = source[2] - keyR;
    const int32_t k = keyWeight(integerSqrt(db * db + dg * dg + dr * dr), tolerance, softness);
    // k comes from B, G, R before any byte is written: in place is fine.
    for (int32_t c = 0; c < 4; ++c) out[c] = static_cast<uint8_t>(source[c] * k / 255);
  }
}

}  // namespace om
