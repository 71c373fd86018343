// The Lanczos-3 resampler: double-precision filter tables built once per
// geometry, fixed-point pixel passes in four 16-bit lanes.
#pragma once

#include <cstdint>

#include "common/rect.h"

namespace om {

enum class SourceMode { Plain, Keyed };

enum class DestinationLayout {
  Bgra32BottomUp,  // B G R A, row 0 at the end of the allocation
  Ycc32TopDown,    // Y Cb Cr A (full-range BT.601), row 0 first
};

// One cached filter table and the five values it was built for.
struct FilterTableCache {
  void* block = nullptr;
  int32_t capacity = 0;  // in entries of the tap budget it was reserved for
  int32_t sourceSize = 0, destinationSize = 0, first = 0, count = 0, step = 0;
};

struct ResamplerCache {
  FilterTableCache horizontal;
  FilterTableCache vertical;
  void* rowBuffer = nullptr;  // one vertically filtered source row, 32-bit pixels
  int32_t rowCapacity = 0;
  ResamplerCache() = default;
  ~ResamplerCache();
  ResamplerCache(const ResamplerCache&) = delete;
  ResamplerCache& operator=(const ResamplerCache&) = delete;
};

// Writes only destination pixels inside destinationRect clipped to the
// allocation; draws nothing when a table or buffer cannot be allocated.
void resampleImage(ResamplerCache& cache, const uint32_t* source, int32_t sourceWidth,
                   int32_t sourceHeight, const Rect& sourceRect, SourceMode mode,
                   uint8_t* destination, int32_t allocatedWidth, int32_t allocatedHeight,
                   const Rect& destinationRect, DestinationLayout layout, uint32_t keyColor);

}  // namespace om
