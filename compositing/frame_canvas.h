// The module-wide frame geometry, the prepared overlay and the blend that
// stamps it into the host's frame buffer in the frame's own layout.
#pragma once

#include <cstdint>

#include "common/rect.h"

namespace om {

// The number by which the host names the layout of its frames.
enum PixelFormatCode : int32_t {
  kPackedYuv422 = 0,    // Y0 Cb Y1 Cr per pixel pair, top row first, 2 * width bytes a row
  kBgr24BottomUp = 1,   // B G R per pixel, bottom row first, 3 * width bytes a row
};

// The logo converted to the frame's layout: 4 bytes a pixel, byte 3 the weight.
// Code 0: Y Cb Cr W, rows top-down. Code 1: B G R W, rows bottom-up over the
// whole allocation. Only `content` holds logo pixels.
struct OverlayImage {
  // What the blend reads: the overlay's own block, or an animation frame the
  // overlay builder prepared earlier (logo/overlay.h).
  uint8_t* pixels = nullptr;  // 16-byte aligned, allocatedWidth * allocatedHeight * 4 bytes
  int32_t allocatedWidth = 0;
  int32_t allocatedHeight = 0;
  Rect content;  // left = top = 0 always; empty until the first rebuild
  // The block the overlay owns, replaced by ensureOverlaySize and freed with
  // the canvas.
  uint8_t* block = nullptr;
  int32_t blockWidth = 0;
  int32_t blockHeight = 0;
};

// Frame pixels a placed picture moves by; dy downwards.
struct PixelShift {
  int32_t dx = 0, dy = 0;
};

class FrameCanvas {
 public:
  FrameCanvas() = default;
  ~FrameCanvas();
  FrameCanvas(const FrameCanvas&) = delete;
  FrameCanvas& operator=(const FrameCanvas&) = delete;

  void SetFormat(int32_t width, int32_t height, int32_t code);

  // Stamps the overlay's content rectangle with its top-left corner at
  // `position` (x, y in thousandths of the frame) and `opacityPercent` 0..100,
  // scaled by `visibility` / 256 (a fade; 256 leaves it as it is), and moved
  // by `shift` once placed (the drift against burn-in; what leaves the frame
  // is clipped).
  void BlendOverlay(uint8_t* frame, const int32_t position[2], int32_t opacityPercent,
                    int32_t visibility = 256, PixelShift shift = PixelShift()) const;
  void BlendOverlay(uint8_t* frame, const int32_t position[2], int32_t denominatorX,
                    int32_t denominatorY, int32_t opacityPercent, int32_t visibility = 256,
                    PixelShift shift = PixelShift()) const;

  int32_t layoutCode() const { return code_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int32_t bytesPerPixel() const { return bytesPerPixel_; }
  int32_t rowStep() const { return rowStep_; }

  OverlayImage& overlay() { return overlay_; }
  const OverlayImage& overlay() const { return overlay_; }

 private:
  int32_t code_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bytesPerPixel_ = 0;
  int32_t rowStep_ = 0;
  OverlayImage overlay_;
};

}  // namespace om
