// Row kernels of the overlay blend, one set per SIMD level, all giving the
// same bytes as the scalar reference.
//
// Per sample, with frame byte d, overlay byte s, pixel weight W, bias 0 (Y, B,
// G, R) or 128 (Cb, Cr) and scaled opacity o (0..256):
//   a = W + (W >> 7)                              0..256
//   m = bias + floor(a * (d - bias) / 256)        0..255
//   result = clamp(d + floor(o * (s - m) / 256))  before the clamp -255..510
#pragma once

#include <cstdint>

#include "common/cpu.h"

namespace om {

// Where a packed 4:2:2 row walk starts inside the first pixel pair.
enum class PairStart : int32_t { Even = 0, Odd = 1 };

// frame: the first pixel pair touched (the pair holding the first column).
// overlay: the first overlay pixel (Y, Cb, Cr, W). pixels: overlay pixels to
// blend, > 0. With PairStart::Odd the first one lands on that pair's Y1 only.
// The walk writes only the pairs it covers; a last pair holding just one
// overlay pixel keeps its Y1.
using BlendRowYuv422Fn = void (*)(uint8_t* frame, const uint8_t* overlay, int32_t pixels,
                                  PairStart start, int32_t opacity) noexcept;

// frame: the first B, G, R pixel; overlay: the first B, G, R, W pixel.
// Writes exactly 3 * pixels bytes.
using BlendRowBgr24Fn = void (*)(uint8_t* frame, const uint8_t* overlay, int32_t pixels,
                                 int32_t opacity) noexcept;

struct BlendKernels {
  BlendRowYuv422Fn rowYuv422;
  BlendRowBgr24Fn rowBgr24;
};

// The kernels of one level; only ask for a level the processor has.
const BlendKernels& blendKernelsFor(SimdLevel level) noexcept;

// The scalar reference, also used by the vector kernels for row heads and
// tails shorter than one vector step.
uint8_t blendSample(int32_t d, int32_t s, int32_t weight, int32_t bias, int32_t opacity) noexcept;
void blendRowYuv422_c(uint8_t* frame, const uint8_t* overlay, int32_t pixels, PairStart start,
                      int32_t opacity) noexcept;
void blendRowBgr24_c(uint8_t* frame, const uint8_t* overlay, int32_t pixels,
                     int32_t opacity) noexcept;

void blendRowYuv422_sse2(uint8_t* frame, const uint8_t* overlay, int32_t pixels, PairStart start,
                         int32_t opacity) noexcept;
void blendRowBgr24_sse2(uint8_t* frame, const uint8_t* overlay, int32_t pixels,
                        int32_t opacity) noexcept;
void blendRowYuv422_avx2(uint8_t* frame, const uint8_t* overlay, int32_t pixels, PairStart start,
                         int32_t opacity) noexcept;
void blendRowBgr24_avx2(uint8_t* frame, const uint8_t* overlay, int32_t pixels,
                        int32_t opacity) noexcept;

}  // namespace om
