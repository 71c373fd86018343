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
  Ycc32TopDown,    // Y Cb Cr A (full-range BT.601), row 0 first
};

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
// or a table or buffer could not be allocated). The pixel passes are those
// of activeSimdLevel().
bool resampleImage(ResamplerCache& cache, const uint32_t* source, int32_t sourceWidth,
                   int32_t sourceHeight, const Rect& sourceRect, SourceMode mode,
                   uint8_t* destination, int32_t allocatedWidth, int32_t allocatedHeight,
                   const Rect& destinationRect, DestinationLayout layout, uint32_t keyColor);

}  // namespace om
