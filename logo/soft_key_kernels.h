// The soft colour key, one row kernel per SIMD level, all giving the same
// bytes as the scalar reference.
//
// Per B, G, R, A pixel (premultiplied), with key bytes K and tolerance t and
// softness s in distance units (0..441, the largest RGB distance):
//   D = (B - K.b)^2 + (G - K.g)^2 + (R - K.r)^2    0..195075
//   d = floor(sqrt(D))                             0..441
//   k = 0 when d <= t; else 255 when s = 0 or d >= t + s;
//       else floor(255 * (d - t) / s)              0..254 in the soft band
//   every byte b of the pixel becomes floor(b * k / 255)
// With t = s = 0 only pixels whose B, G, R equal the key become 0, 0, 0, 0.
#pragma once

#include <cstdint>

#include "common/cpu.h"

namespace om {

// The largest distance between two B, G, R colours: floor(sqrt(3 * 255^2)).
constexpr int32_t kLargestKeyDistance = 441;

// source: `pixels` B, G, R, A pixels; out: as many. `out` is either `source`
// itself (keyed in place) or does not overlap it. keyPixel: the key in
// memory order, B | G << 8 | R << 16 (higher bits ignored). tolerance and
// softness in distance units, 0..kLargestKeyDistance (values outside are
// clamped). pixels <= 0 writes nothing.
using SoftKeyKernel = void (*)(const uint8_t* source, uint8_t* out, int32_t pixels,
                               uint32_t keyPixel, int32_t tolerance, int32_t softness);

struct SoftKeyKernels {
  SoftKeyKernel row;
};

// The kernels of one level; only ask for a level the processor has.
const SoftKeyKernels& softKeyKernelsFor(SimdLevel level) noexcept;

// The scalar reference, also used by the vector kernels for row tails
// shorter than one vector step.
void softKeyRow_c(const uint8_t* source, uint8_t* out, int32_t pixels, uint32_t keyPixel,
                  int32_t tolerance, int32_t softness);
void softKeyRow_sse2(const uint8_t* source, uint8_t* out, int32_t pixels, uint32_t keyPixel,
                     int32_t tolerance, int32_t softness);
void softKeyRow_avx2(const uint8_t* source, uint8_t* out, int32_t pixels, uint32_t keyPixel,
                     int32_t tolerance, int32_t softness);

// Keys a whole picture of width x height contiguous pixels (row order does
// not matter) into `out`, which is `pixels` or does not overlap it.
// keyColor is 0x00BBGGRR; the percents (of kLargestKeyDistance, clamped to
// 0..100) become t = MulDiv(tolerancePercent, 441, 100) and likewise s.
// Nothing is written for an empty picture or a null pointer. The kernels
// are those of activeSimdLevel().
void applySoftKey(const uint32_t* pixels, int32_t width, int32_t height, uint32_t keyColor,
                  int32_t tolerancePercent, int32_t softnessPercent, uint32_t* out) noexcept;

}  // namespace om
