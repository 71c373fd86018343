#include "compositing/frame_canvas.h"

#include <cstddef>

#include "common/aligned_block.h"
#include "common/cpu.h"
#include "common/muldiv.h"
#include "compositing/blend_kernels.h"

namespace om {

namespace {

// Frame coordinate of a position in 1/denominator of the frame's extent.
// False when it cannot be placed: no denominator, or a product so far
// outside 32 bits that the logo lies wholly off the frame (MulDiv would
// report -1 there, which would wrongly land next to the origin).
bool placeAlong(int32_t extent, int32_t position, int32_t denominator, int64_t& coordinate) {
  if (denominator == 0) return false;
  const int64_t truncated = static_cast<int64_t>(extent) * position / denominator;
  if (truncated >= INT32_MAX || truncated <= -INT32_MAX) return false;
  coordinate = MulDiv(extent, position, denominator);
  return true;
}

}  // namespace

FrameCanvas::~FrameCanvas() { alignedFree(overlay_.block); }

void FrameCanvas::SetFormat(int32_t width, int32_t height, int32_t code) {
  width_ = width;
  height_ = height;
  code_ = code;
  // Computed wide: a nonsense width from the host must not overflow here.
  if (code == kPackedYuv422) {
    bytesPerPixel_ = 2;
    rowStep_ = static_cast<int32_t>(2 * static_cast<int64_t>(width));
  } else if (code == kBgr24BottomUp) {
    bytesPerPixel_ = 3;
    rowStep_ = static_cast<int32_t>(-3 * static_cast<int64_t>(width));
  }
}

void FrameCanvas::BlendOverlay(uint8_t* frame, const int32_t position[2], int32_t opacity,
                               int32_t visibility, PixelShift shift) const {
  BlendOverlay(frame, position, 1000, 1000, opacity, visibility, shift);
}

void FrameCanvas::BlendOverlay(uint8_t* frame, const int32_t position[2], int32_t denominatorX,
                               int32_t denominatorY, int32_t opacityPercent, int32_t visibility,
                               PixelShift shift) const {
  if (frame == nullptr || position == nullptr) return;
  if (code_ != kPackedYuv422 && code_ != kBgr24BottomUp) return;
  if (width_ <= 0 || height_ <= 0) return;
  const OverlayImage& overlay = overlay_;
  if (overlay.pixels == nullptr) return;
  // The preparation keeps the content inside the allocation; a canvas where
  // it is not would make us read outside the block.
  if (overlay.content.left < 0 || overlay.content.top < 0 ||
      overlay.content.right > overlay.allocatedWidth ||
      overlay.content.bottom > overlay.allocatedHeight) {
    return;
  }

  // A packed 4:2:2 row of odd width ends in half a pair (Y0 and Cb, no Cr):
  // it is not a whole sample of the layout, so its last column is never
  // drawn and nothing past the row's 2 * width bytes can be touched.
  const int64_t drawableWidth = code_ == kPackedYuv422 ? (width_ & ~1) : width_;

  // 64-bit locals: clipping a far-off position must not overflow.
  int64_t x = 0;
  int64_t y = 0;
  if (!placeAlong(width_, position[0], denominatorX, x)) return;
  if (!placeAlong(height_, position[1], denominatorY, y)) return;
  x += shift.dx;
  y += shift.dy;
  int64_t l = overlay.content.left;
  int64_t t = overlay.content.top;
  int64_t r = overlay.content.right;
  int64_t b = overlay.content.bottom;

  if (r - l <= 0 || x >= drawableWidth) return;
  if (x < 0) {  // the columns left of the frame are skipped
    l -= x;
    x = 0;
  }
  if (b - t <= 0 || y >= height_) return;
  if (y < 0) {
    t -= y;
    y = 0;
  }
  if (l >= r || t >= b) return;
  if (x + (r - l) > drawableWidth) r = l + (drawableWidth - x);
  if (y + (b - t) > height_) b = t + (height_ - y);
  const int32_t columns = static_cast<int32_t>(r - l);
  const int32_t rows = static_cast<int32_t>(b - t);

  // Settings keep the opacity within 0..100; outside it the result would
  // extrapolate past the logo's own colour.
  const int32_t percent = opacityPercent < 0 ? 0 : (opacityPercent > 100 ? 100 : opacityPercent);
  const int32_t shown = visibility < 0 ? 0 : (visibility > 256 ? 256 : visibility);
  const int32_t opacity = (MulDiv(percent, 256, 100) * shown) >> 8;  // 0..256
  if (opacity == 0) return;                                          // leaves every byte as it is

  const BlendKernels& kernels = blendKernelsFor(activeSimdLevel());
  const ptrdiff_t overlayStride = static_cast<ptrdiff_t>(overlay.allocatedWidth) * 4;
  const uint8_t* overlayColumn = overlay.pixels + static_cast<ptrdiff_t>(l) * 4;
  if (code_ == kPackedYuv422) {
    const ptrdiff_t frameStride = static_cast<ptrdiff_t>(width_) * 2;
    uint8_t* frameColumn = frame + static_cast<ptrdiff_t>(x & ~int64_t{1}) * 2;
    const PairStart start = (x & 1) ? PairStart::Odd : PairStart::Even;
    for (int32_t j = 0; j < rows; ++j) {
      kernels.rowYuv422(frameColumn + static_cast<ptrdiff_t>(y + j) * frameStride,
                        overlayColumn + static_cast<ptrdiff_t>(t + j) * overlayStride, columns,
                        start, opacity);
    }
  } else {
    // Both are stored bottom-up: picture row k is memory row height - 1 - k,
    // overlay row k is allocated row allocatedHeight - 1 - k. Walking the
    // picture upwards reads both in ascending memory, which the hardware
    // prefetchers follow far better than a backward walk.
    const ptrdiff_t frameStride = static_cast<ptrdiff_t>(width_) * 3;
    uint8_t* frameColumn = frame + static_cast<ptrdiff_t>(x) * 3;
    for (int32_t j = rows - 1; j >= 0; --j) {
      kernels.rowBgr24(
          frameColumn + static_cast<ptrdiff_t>(height_ - 1 - (y + j)) * frameStride,
          overlayColumn + static_cast<ptrdiff_t>(overlay.allocatedHeight - 1 - (t + j)) *
                              overlayStride,
          columns, opacity);
    }
  }
}

}  // namespace om
