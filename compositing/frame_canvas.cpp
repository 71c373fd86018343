// Placeholder until the blend lands.
#include "compositing/frame_canvas.h"

#include "common/aligned_block.h"

namespace om {

FrameCanvas::~FrameCanvas() { alignedFree(overlay_.pixels); }

void FrameCanvas::SetFormat(int32_t width, int32_t height, int32_t code) {
  width_ = width;
  height_ = height;
  code_ = code;
  clip_ = Rect{0, 0, width, height};
  if (code == kPackedYuv422) {
    bytesPerPixel_ = 2;
    rowStep_ = 2 * width;
  } else if (code == kBgr24BottomUp) {
    bytesPerPixel_ = 3;
    rowStep_ = -3 * width;
  }
}

void FrameCanvas::BlendOverlay(uint8_t* frame, const int32_t position[2], int32_t opacity) const {
  BlendOverlay(frame, position, 1000, 1000, opacity);
}

void FrameCanvas::BlendOverlay(uint8_t*, const int32_t[2], int32_t, int32_t, int32_t) const {}

}  // namespace om
