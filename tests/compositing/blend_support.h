// Shared set-up for the blend tests: a canvas with a hand-filled overlay, and
// the blend of one frame at every level.
#pragma once

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <vector>

#include "common/aligned_block.h"
#include "common/cpu.h"
#include "compositing/blend_kernels.h"
#include "compositing/frame_canvas.h"
#include "tests/support/kernel_check.h"

namespace om::test {

// Replaces the canvas's overlay with an allocated block whose content
// rectangle is 0, 0, width, height; every byte starts as `fill`.
inline void setOverlay(FrameCanvas& canvas, int32_t allocatedWidth, int32_t allocatedHeight,
                       int32_t width, int32_t height, uint8_t fill = 0) {
  OverlayImage& overlay = canvas.overlay();
  alignedFree(overlay.block);
  const size_t bytes = static_cast<size_t>(allocatedWidth) * allocatedHeight * 4;
  overlay.pixels = overlay.block = static_cast<uint8_t*>(alignedAlloc(bytes > 0 ? bytes : 16));
  std::memset(overlay.pixels, fill, bytes);
  overlay.allocatedWidth = allocatedWidth;
  overlay.allocatedHeight = allocatedHeight;
  overlay.content = Rect{0, 0, width, height};
}

// The 4 bytes of logo pixel (column, row), rows counted from the top of the
// logo, in the canvas's layout.
inline uint8_t* logoPixel(FrameCanvas& canvas, int32_t column, int32_t row) {
  const OverlayImage& overlay = canvas.overlay();
  const int32_t stored =
      canvas.layoutCode() == kBgr24BottomUp ? overlay.allocatedHeight - 1 - row : row;
  return overlay.pixels + (static_cast<size_t>(stored) * overlay.allocatedWidth + column) * 4;
}

// Blends `frame` in place with every level (scalar first, under the one
// level override), each on its own fenced copy; returns the copies.
inline std::vector<FencedBytes> blendAtEveryLevel(const FrameCanvas& canvas,
                                                 const std::vector<uint8_t>& frame,
                                                 const int32_t position[2], int32_t denominator,
                                                 int32_t opacity) {
  std::vector<SimdLevel> levels{SimdLevel::Scalar};
  for (SimdLevel level : vectorLevels()) levels.push_back(level);
  std::vector<FencedBytes> out;
  for (SimdLevel level : levels) {
    out.emplace_back(frame.size());
    std::copy(frame.begin(), frame.end(), out.back().data());
    const SimdLevelCap cap(level);
    canvas.BlendOverlay(out.back().data(), position, denominator, denominator, opacity);
  }
  return out;
}

}  // namespace om::test
