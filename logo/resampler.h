// The Lanczos-3 resampler: double-precision filter tables built once per
// geometry, fixed-point pixel passes in four 16-bit lanes.
#pragma once

#include <cstdint>

#include "common/aligned_block.h"
#include "common/cpu.h"
#include "common/rect.h"

namespace om {

enum class SourceMode { Plain, Keyed };

enum class DestinationLayout {
  Bgra32BottomUp,  // B G R A, row 0 at the end of the allocation
  Ycc32TopDown,    // Y Cb Cr A (coefficients per call, YccCoefficients), row 0 first
};

// The store to Y Cb Cr: rows in B, G, R order, scaled by 32768; each chroma
// row sums to 0. With a = A + (A >> 7) (0..256, 256 when opaque):
//   Y  = clamp(floor((y . BGR + offset * a) / 32768))
//   Cb = clamp(floor(cb . BGR / 32768) + 128), Cr likewise
// The offset term lifts an opaque pixel's Y by offset / 128 (2048: TV
// range's 16) and shrinks with coverage, so a transparent pixel keeps Y 0
// and leaves the frame untouched. Any int16 values are safe: every sum stays
// within 4 * 32768 * 256.
struct YccCoefficients {
  int16_t y[3];
  int16_t cb[3];
  int16_t cr[3];
  int16_t offset;
};

// Integer literals, so every build stores the same bytes.
inline constexpr YccCoefficients kYccFullBt601{
    {3735, 19235, 9798}, {16384, -10855, -5529}, {-2664, -13720, 16384}, 0};
inline constexpr YccCoefficients kYccTvBt601{
    {3208, 16519, 8415}, {14392, -9535, -4857}, {-2340, -12052, 14392}, 2048};
inline constexpr YccCoefficients kYccTvBt709{
    {2032, 20127, 5983}, {14392, -11094, -3298}, {-1320, -13072, 14392}, 2048};
inline constexpr YccCoefficients kYccFullBt709{
    {2366, 23436, 6966}, {16384, -12630, -3754}, {-1502, -14882, 16384}, 0};

// One cached filter table and the five values it was built for.
//
// The block is a packed run of entries, one per destination index:
//   int32 offset  byte offset of the first source sample used, from the first
//                 sample of the source rectangle along this axis
//   int32 count   n, the number of taps
//   n x 4 int16   each tap's weight (14 fraction bits, 16384 = 1.0), repeated
//                 once per channel lane
// An entry takes 8 + 8n bytes; the next one follows right after it.
struct FilterTableCache {
  // Entries of the tap budget the table was last reserved for. The budget
  // grows with the shrink factor, so the entry size is part of the reuse
  // test, not only the entry count.
  ReusableBlock block;
  int32_t sourceSize = 0, destinationSize = 0, first = 0, count = 0, step = 0;
  uint32_t builds = 0;  // how many times the table was (re)built; for tests
};

// The horizontal table as the pixel passes read it, made whenever the table
// is built: every destination pixel with the same number of taps, its window
// starting at offsets[i] (in row values, 4 a column) with its weights at
// weights + 4 * taps * i. Zero weights at an entry's ends are dropped and
// shorter entries padded with zero weights; both add nothing.
struct HorizontalPlan {
  ReusableBlock offsets;  // int32 per destination pixel
  ReusableBlock weights;  // int16, 4 per tap
  int32_t taps = 0;
};

struct ResamplerCache {
  FilterTableCache horizontal;
  FilterTableCache vertical;
  HorizontalPlan plan;
  int32_t verticalMaxTaps = 0;  // most taps of any entry of the vertical table
  // One destination row's taps with a weight: their source rows (as
  // indices, then as pointers to picture or converted rows) and weights.
  ReusableBlock tapSourceRows;
  ReusableBlock tapRows;
  ReusableBlock tapWeights;
  ReusableBlock rowBuffer;  // one vertically filtered row, row values
  // Source rows converted to row values once per call, each in slot
  // (source row % slots), slots = verticalMaxTaps; convertedSlots holds the
  // source row each slot has (int32, -1 none). Used for short vertical
  // filters only (6 taps at most: enlarging or 1:1) within a 16 MiB budget;
  // otherwise each tap reads the picture's rows directly.
  ReusableBlock convertedRows;
  ReusableBlock convertedSlots;
};

// Lanczos kernel of radius 3: sinc(pi t) * sinc(pi t / 3), 0 from |x| >= 3.
double LanczosWeight(double x);

// Fills `table` with `count` entries for destination indices first ..
// first + count - 1 of a scale from `sourceSize` to `destinationSize` samples,
// `step` bytes between neighbouring source samples. Replaces the block when
// needed; does not touch the five cached key values. False when the block
// could not be had (block freed, capacity 0).
bool BuildFilterTable(int32_t sourceSize, int32_t destinationSize, int32_t first, int32_t count,
                      int32_t step, FilterTableCache& table);

// Scales sourceRect of a B,G,R,A bottom-up picture into destinationRect of a
// 32-bit destination in `layout`, writing only pixels inside destinationRect
// clipped to the allocation. Keyed mode reads pixels whose B, G, R equal the
// key colour (0x00BBGGRR) as all zero. True when the clipped rectangle was
// written; false when nothing was written (empty source or clip rectangle,
// or a table or buffer could not be allocated). `ycc` is used by the
// Ycc32TopDown layout only. The pixel passes are those of activeSimdLevel().
bool resampleImage(ResamplerCache& cache, const uint32_t* source, int32_t sourceWidth,
                   int32_t sourceHeight, const Rect& sourceRect, SourceMode mode,
                   uint8_t* destination, int32_t allocatedWidth, int32_t allocatedHeight,
                   const Rect& destinationRect, DestinationLayout layout, uint32_t keyColor,
                   const YccCoefficients& ycc = kYccFullBt601);

}  // namespace om
