// Row kernels of the covers (erase, blur, mosaic), one set per SIMD level,
// all giving the same bytes as the scalar reference. A cover works on
// planes: the frame's rows are split into one contiguous row per plane
// (Y, Cb, Cr or B, G, R), filled, mixed and put back.
//
// Mixing one sample, with plane byte d, fill c, mask weight m and scaled
// opacity o (0..256):
//   a = m + (m >> 7),  o2 = (o * a) >> 8
//   result = clamp(d + ((o2 * (c - d)) >> 8))      (arithmetic shift)
#pragma once

#include <cstdint>

#include "common/cpu.h"

namespace om {

// pairs: Y0 Cb Y1 Cr; y gets 2 * pairCount bytes, cb and cr pairCount each.
using SplitYuv422Fn = void (*)(const uint8_t* pairs, int32_t pairCount, uint8_t* y, uint8_t* cb,
                               uint8_t* cr) noexcept;
using JoinYuv422Fn = void (*)(uint8_t* pairs, int32_t pairCount, const uint8_t* y,
                              const uint8_t* cb, const uint8_t* cr) noexcept;
// pixels: B G R; each plane gets `count` bytes.
using SplitBgr24Fn = void (*)(const uint8_t* pixels, int32_t count, uint8_t* b, uint8_t* g,
                              uint8_t* r) noexcept;
using JoinBgr24Fn = void (*)(uint8_t* pixels, int32_t count, const uint8_t* b, const uint8_t* g,
                             const uint8_t* r) noexcept;

// d[i] mixed toward c[i], in place, for i < count. weights: the mask weight
// of sample i is weights[i * weightStep] (an overlay row's byte 3, step 4
// or 8); null means 255 for every sample. The vector kernels read whole
// overlay pixels, from weights - 3 up to the last weight.
using MixRowFn = void (*)(uint8_t* d, const uint8_t* c, const uint8_t* weights,
                          int32_t weightStep, int32_t count, int32_t opacity) noexcept;

// Blur, vertical: sums[i] += add[i] - sub[i] (a window of rows sliding down
// one row), and sums[i] += row[i] (filling the first window; mosaic's
// block rows too).
using SlideSumsFn = void (*)(uint32_t* sums, const uint8_t* add, const uint8_t* sub,
                             int32_t count) noexcept;
using AddRowFn = void (*)(uint32_t* sums, const uint8_t* row, int32_t count) noexcept;
// Blur, horizontal: out[k] = (sums[k] + ... + sums[k + taps - 1] + n / 2) / n
// for k < count; sums holds count + taps - 1 entries (the edges already
// repeated), each at most 255 * n / taps. taps 1..129 and n (taps times the
// rows summed) 1..129 * 129: windows stay below 2^23 (a row beyond that
// the vector kernels hand to the reference).
using BoxRowFn = void (*)(uint8_t* out, const uint32_t* sums, int32_t count, int32_t taps,
                          uint32_t n) noexcept;

// Erase: the per-column and per-row terms of the fill from the border.
// For column k of the row: al, ar are the left and right weights' column
// factors (0 when that side is missing), p = dl * dr, t and b the three-
// sample sums above and below the rectangle. For the row: l and r the
// three-sample sums left and right of it, q = dt * db, bt and bb the top
// and bottom weights' row factors (0 when missing).
struct EraseColumns {
  const int32_t* al;
  const int32_t* ar;
  const int32_t* p;
  const int32_t* t;
  const int32_t* b;
};
struct EraseRow {
  int32_t l, r, q, bt, bb;
};
// out[k] = (N + floor(3S / 2)) / (3S) with
//   N = q * (l * al + r * ar) + p * (t * bt + b * bb),
//   S = q * (al + ar) + p * (bt + bb),
// in 64 bits; s[k] where S = 0. On planes of at most 16384 x 16384 every
// term is non-negative: al + ar and bt + bb <= 16383, p and q <= 8192 * 8193,
// l, r, t, b <= 765, so S < 2^42 and N <= 765 * S. Beyond these bounds
// the vector kernels hand columns to the reference.
using EraseRowFn = void (*)(uint8_t* out, const uint8_t* s, const EraseColumns& columns,
                            const EraseRow& row, int32_t count) noexcept;

struct CoverKernels {
  SplitYuv422Fn splitYuv422;
  JoinYuv422Fn joinYuv422;
  SplitBgr24Fn splitBgr24;
  JoinBgr24Fn joinBgr24;
  MixRowFn mixRow;
  SlideSumsFn slideSums;
  AddRowFn addRow;
  BoxRowFn boxRow;
  EraseRowFn eraseRow;
};

// The kernels of one level; only ask for a level the processor has.
const CoverKernels& coverKernelsFor(SimdLevel level) noexcept;

// The scalar references, also used by the vector kernels for short tails.
uint8_t mixSample(int32_t d, int32_t c, int32_t weight, int32_t opacity) noexcept;
void splitYuv422_c(const uint8_t* pairs, int32_t pairCount, uint8_t* y, uint8_t* cb,
                   uint8_t* cr) noexcept;
void joinYuv422_c(uint8_t* pairs, int32_t pairCount, const uint8_t* y, const uint8_t* cb,
                  const uint8_t* cr) noexcept;
void splitBgr24_c(const uint8_t* pixels, int32_t count, uint8_t* b, uint8_t* g,
                  uint8_t* r) noexcept;
void joinBgr24_c(uint8_t* pixels, int32_t count, const uint8_t* b, const uint8_t* g,
                 const uint8_t* r) noexcept;
void mixRow_c(uint8_t* d, const uint8_t* c, const uint8_t* weights, int32_t weightStep,
              int32_t count, int32_t opacity) noexcept;
void slideSums_c(uint32_t* sums, const uint8_t* add, const uint8_t* sub, int32_t count) noexcept;
void addRow_c(uint32_t* sums, const uint8_t* row, int32_t count) noexcept;
void boxRow_c(uint8_t* out, const uint32_t* sums, int32_t count, int32_t taps,
              uint32_t n) noexcept;
void eraseRow_c(uint8_t* out, const uint8_t* s, const EraseColumns& columns, const EraseRow& row,
                int32_t count) noexcept;

void splitYuv422_sse2(const uint8_t* pairs, int32_t pairCount, uint8_t* y, uint8_t* cb,
                      uint8_t* cr) noexcept;
void joinYuv422_sse2(uint8_t* pairs, int32_t pairCount, const uint8_t* y, const uint8_t* cb,
                     const uint8_t* cr) noexcept;
void splitBgr24_sse2(const uint8_t* pixels, int32_t count, uint8_t* b, uint8_t* g,
                     uint8_t* r) noexcept;
void joinBgr24_sse2(uint8_t* pixels, int32_t count, const uint8_t* b, const uint8_t* g,
                    const uint8_t* r) noexcept;
void mixRow_sse2(uint8_t* d, const uint8_t* c, const uint8_t* weights, int32_t weightStep,
                 int32_t count, int32_t opacity) noexcept;
void slideSums_sse2(uint32_t* sums, const uint8_t* add, const uint8_t* sub,
                    int32_t count) noexcept;
void addRow_sse2(uint32_t* sums, const uint8_t* row, int32_t count) noexcept;
void boxRow_sse2(uint8_t* out, const uint32_t* sums, int32_t count, int32_t taps,
                 uint32_t n) noexcept;
void eraseRow_sse2(uint8_t* out, const uint8_t* s, const EraseColumns& columns,
                   const EraseRow& row, int32_t count) noexcept;

void splitYuv422_avx2(const uint8_t* pairs, int32_t pairCount, uint8_t* y, uint8_t* cb,
                      uint8_t* cr) noexcept;
void joinYuv422_avx2(uint8_t* pairs, int32_t pairCount, const uint8_t* y, const uint8_t* cb,
                     const uint8_t* cr) noexcept;
void splitBgr24_avx2(const uint8_t* pixels, int32_t count, uint8_t* b, uint8_t* g,
                     uint8_t* r) noexcept;
void joinBgr24_avx2(uint8_t* pixels, int32_t count, const uint8_t* b, const uint8_t* g,
                    const uint8_t* r) noexcept;
void mixRow_avx2(uint8_t* d, const uint8_t* c, const uint8_t* weights, int32_t weightStep,
                 int32_t count, int32_t opacity) noexcept;
void slideSums_avx2(uint32_t* sums, const uint8_t* add, const uint8_t* sub,
                    int32_t count) noexcept;
void addRow_avx2(uint32_t* sums, const uint8_t* row, int32_t count) noexcept;
void boxRow_avx2(uint8_t* out, const uint32_t* sums, int32_t count, int32_t taps,
                 uint32_t n) noexcept;
void eraseRow_avx2(uint8_t* out, const uint8_t* s, const EraseColumns& columns,
                   const EraseRow& row, int32_t count) noexcept;

}  // namespace om
