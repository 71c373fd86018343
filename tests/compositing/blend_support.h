// Shared set-up for the blend tests: a canvas with a hand-filled overlay and
// a frame buffer fenced by marker bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "common/aligned_block.h"
#include "common/cpu.h"
#include "compositing/blend_kernels.h"
#include "compositing/frame_canvas.h"

namespace om::test {

constexpr uint8_t kGuardMarker = 0xA5;
constexpr size_t kGuardBytes = 64;

// Replaces the canvas's overlay with an allocated block whose content
// rectangle is 0, 0, width, height; every byte starts as `fill`.
inline void setOverlay(FrameCanvas& canvas, int32_t allocatedWidth, int32_t allocatedHeight,
                       int32_t width, int32_t height, uint8_t fill = 0) {
  OverlayImage& overlay = canvas.overlay();
  alignedFree(overlay.pixels);
  const size_t bytes = static_cast<size_t>(allocatedWidth) * allocatedHeight * 4;
  overlay.pixels = static_cast<uint8_t*>(alignedAlloc(bytes > 0 ? bytes : 16));
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

// A frame buffer of exactly `bytes` with marker-filled fences on both sides.
struct FencedFrame {
  explicit FencedFrame(size_t bytes) : storage(bytes + 2 * kGuardBytes, kGuardMarker) {}
  uint8_t* data() { return storage.data() + kGuardBytes; }
  size_t size() const { return storage.size() - 2 * kGuardBytes; }
  bool fencesIntact() const {
    for (size_t i = 0; i < kGuardBytes; ++i) {
      if (storage[i] != kGuardMarker || storage[storage.size() - 1 - i] != kGuardMarker) {
        return false;
      }
    }
    return true;
  }
  std::vector<uint8_t> storage;
};

// Every SIMD level this processor can run, scalar first.
inline std::vector<SimdLevel> availableLevels() {
  std::vector<SimdLevel> levels{SimdLevel::Scalar};
  if (detectedSimdLevel() >= SimdLevel::Sse2) levels.push_back(SimdLevel::Sse2);
  if (detectedSimdLevel() >= SimdLevel::Avx2) levels.push_back(SimdLevel::Avx2);
  return levels;
}

}  // namespace om::test
