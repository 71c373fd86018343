// The resampler's two pixel passes, one set per SIMD level. Every set gives
// byte-identical results; the scalar set is the reference.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/cpu.h"
#include "logo/resampler.h"

namespace om {

// Between the passes every pixel is four int16 values, the channels B, G,
// R, A each times 128 (0..32640): the factor each tap's multiply needs,
// applied once per pixel instead of once per tap of the horizontal pass.

// A source row to row values: `width` B,G,R,A pixels, each channel times
// 128; a pixel whose low 24 bits equal `keyPixel` (B | G << 8 | R << 16)
// becomes all zero when `keyed`. It is the vertical pass of one tap of
// 16384, the only tap of an axis scaled 1:1.
using ConvertKernel = void (*)(const uint8_t* source, int32_t width, int16_t* out, bool keyed,
                               uint32_t keyPixel);

// The vertical pass over `taps` source rows of `width` B,G,R,A pixels: for
// each column and channel, the sum of floor(p * 128 * weight_k / 65536) in
// a 16-bit wrapping accumulator (weights `taps` x 4 int16), shifted right by
// 5, clamped and times 128 into `out`. Keyed as ConvertKernel is.
using VerticalKernel = void (*)(const uint8_t* const* rows, const int16_t* weights, int32_t taps,
                                int32_t width, int16_t* out, bool keyed, uint32_t keyPixel);

// The vertical pass over `taps` rows already converted (row values, as
// ConvertKernel writes them; keyed then): for each of the 4 x `width`
// values, the sum of floor(value * weight_k / 65536) in a 16-bit wrapping
// accumulator, shifted right by 5, clamped and times 128 into `out`. The
// same result as VerticalKernel on the rows before conversion.
using VerticalConvertedKernel = void (*)(const int16_t* const* rows, const int16_t* weights,
                                         int32_t taps, int32_t width, int16_t* out);

// The horizontal pass for `count` destination pixels that share a tap
// count: pixel i filters `taps` row pixels from row column offsets[i] with
// the weights at weights + 4 * taps * i (each repeated per channel), then
// is stored in `layout` to out + 4 * i, through `ycc` when Ycc32TopDown.
using HorizontalKernel = void (*)(const int16_t* row, const int32_t* offsets,
                                  const int16_t* weights, int32_t taps, int32_t count,
                                  uint8_t* out, DestinationLayout layout,
                                  const YccCoefficients& ycc);

struct ResamplerKernels {
  ConvertKernel convert;
  VerticalKernel vertical;
  VerticalConvertedKernel verticalConverted;
  HorizontalKernel horizontal;
};

// The kernels of one level; only ask for a level the processor has.
const ResamplerKernels& resamplerKernelsFor(SimdLevel level) noexcept;

#define OM_RESAMPLER_KERNELS(isa)                                                             \
  void resampleConvert_##isa(const uint8_t* source, int32_t width, int16_t* out, bool keyed,  \
                             uint32_t keyPixel);                                              \
  void resampleVertical_##isa(const uint8_t* const* rows, const int16_t* weights,             \
                              int32_t taps, int32_t width, int16_t* out, bool keyed,          \
                              uint32_t keyPixel);                                             \
  void resampleVerticalConverted_##isa(const int16_t* const* rows, const int16_t* weights,    \
                                       int32_t taps, int32_t width, int16_t* out);            \
  void resampleHorizontal_##isa(const int16_t* row, const int32_t* offsets,                   \
                                const int16_t* weights, int32_t taps, int32_t count,          \
                                uint8_t* out, DestinationLayout layout,                       \
                                const YccCoefficients& ycc);
OM_RESAMPLER_KERNELS(c)
OM_RESAMPLER_KERNELS(sse2)
OM_RESAMPLER_KERNELS(avx2)
#undef OM_RESAMPLER_KERNELS

}  // namespace om
