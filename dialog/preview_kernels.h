// Pixel kernels of the preview scaler: a per-byte bilinear step on whole
// 32-bit pixels, a plain reference and SSE2 / AVX2 versions chosen at run time.
#pragma once

#include <cstdint>

#include "common/cpu.h"

namespace om {

// One destination pixel's sampling step along one axis, 16 bytes.
struct StepEntry {
  int32_t advance;     // bytes to move the source cursor before the first tap
  int32_t next;        // bytes from the first tap to the second; 0 when weight is 0
  uint16_t weight[4];  // the second tap's 12-bit fraction, 0..4095, once per byte lane
};
static_assert(sizeof(StepEntry) == 16, "StepEntry is 16 bytes");

// lerp(a, b, w) per byte: a + floor((b - a) * w / 4096), w in 0..4095. The
// result always lies between a and b.
inline uint8_t lerpByte(int32_t a, int32_t b, int32_t w) {
  // (b - a) * w lies in [-255 * 4095, 255 * 4095]; floor toward minus infinity.
  const int32_t product = (b - a) * w;
  const int32_t quotient = product >= 0 ? product / 4096 : -((-product + 4095) / 4096);
  return static_cast<uint8_t>(a + quotient);
}

// Vertical pass: out[j] = lerp(first[j], second[j], weight) for `count` pixels.
// `first` and `second` need only 4-byte alignment and may be the same row.
using LerpRowFn = void (*)(uint8_t* out, const uint8_t* first, const uint8_t* second,
                           int32_t count, uint16_t weight);
// Horizontal pass: walks `row` by each entry's advance and next, writing
// `count` pixels to `out`.
using LerpTapsFn = void (*)(uint8_t* out, const uint8_t* row, const StepEntry* entries,
                            int32_t count);

struct PreviewKernels {
  LerpRowFn lerpRow;
  LerpTapsFn lerpTaps;
};

void lerpRow_c(uint8_t* out, const uint8_t* first, const uint8_t* second, int32_t count,
               uint16_t weight);
void lerpTaps_c(uint8_t* out, const uint8_t* row, const StepEntry* entries, int32_t count);
void lerpRow_sse2(uint8_t* out, const uint8_t* first, const uint8_t* second, int32_t count,
                  uint16_t weight);
void lerpTaps_sse2(uint8_t* out, const uint8_t* row, const StepEntry* entries, int32_t count);
void lerpRow_avx2(uint8_t* out, const uint8_t* first, const uint8_t* second, int32_t count,
                  uint16_t weight);

// The kernels of one level; only ask for a level the processor has.
const PreviewKernels& previewKernelsFor(SimdLevel level) noexcept;

}  // namespace om
