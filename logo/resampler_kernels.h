// The resampler's two pixel passes, one set per SIMD level. Every set gives
// byte-identical results; the scalar set is the reference.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/cpu.h"
#include "logo/resampler.h"

namespace om {

// The row buffer between the passes holds, per source column, the four
// clamped channels B, G, R, A of the vertical result, each as the int16
// value channel x 128 (0..32640): the factor the horizontal pass multiplies
// by, applied once per pixel instead of once per tap.

// One row-buffer row: for each of `width` source columns, filters the `taps`
// pixels first, first + rowStep, ... (bytes) with `weights` (taps x 4 int16)
// and writes that column's four values to `row`. When `keyed`, a source pixel
// whose low 24 bits equal `keyPixel` (B | G << 8 | R << 16) reads as zero.
using VerticalKernel = void (*)(const uint8_t* first, ptrdiff_t rowStep, const uint8_t* weights,
                                int32_t taps, int32_t width, int16_t* row, bool keyed,
                                uint32_t keyPixel);

// One destination row: `count` pixels, each filtered from `row` by the next
// entry of `entries` (an entry's byte offset over 4 is the row column where
// its taps start), stored in `layout` to `out`.
using HorizontalKernel = void (*)(const int16_t* row, const uint8_t* entries, int32_t count,
                                  uint8_t* out, DestinationLayout layout);

struct ResamplerKernels {
  VerticalKernel vertical;
  HorizontalKernel horizontal;
};

// The kernels of one level; only ask for a level the processor has.
const ResamplerKernels& resamplerKernelsFor(SimdLevel level) noexcept;

void resampleVertical_c(const uint8_t* first, ptrdiff_t rowStep, const uint8_t* weights,
                        int32_t taps, int32_t width, int16_t* row, bool keyed, uint32_t keyPixel);
void resampleHorizontal_c(const int16_t* row, const uint8_t* entries, int32_t count, uint8_t* out,
                          DestinationLayout layout);
void resampleVertical_sse2(const uint8_t* first, ptrdiff_t rowStep, const uint8_t* weights,
                           int32_t taps, int32_t width, int16_t* row, bool keyed,
                           uint32_t keyPixel);
void resampleHorizontal_sse2(const int16_t* row, const uint8_t* entries, int32_t count,
                             uint8_t* out, DestinationLayout layout);
void resampleVertical_avx2(const uint8_t* first, ptrdiff_t rowStep, const uint8_t* weights,
                           int32_t taps, int32_t width, int16_t* row, bool keyed,
                           uint32_t keyPixel);
void resampleHorizontal_avx2(const int16_t* row, const uint8_t* entries, int32_t count,
                             uint8_t* out, DestinationLayout layout);

}  // namespace om
