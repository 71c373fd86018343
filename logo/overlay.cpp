#include "logo/overlay.h"

#include <cstddef>
#include <cstdint>

#include "common/aligned_block.h"
#include "common/muldiv.h"

namespace om {

namespace {

void dropOverlayBlock(OverlayImage& overlay) {
  alignedFree(overlay.pixels);
  overlay.pixels = nullptr;
  overlay.allocatedWidth = 0;
  overlay.allocatedHeight = 0;
}

}  // namespace

bool ensureOverlaySize(FrameCanvas& canvas, const int32_t size[2], int32_t denominatorX,
                       int32_t denominatorY, int32_t growthPercent, int32_t shrinkPercent) {
  OverlayImage& overlay = canvas.overlay();
  const int32_t targetWidth = MulDiv(canvas.width(), size[0], denominatorX);
  const int32_t targetHeight = MulDiv(canvas.height(), size[1], denominatorY);
  overlay.content = Rect{0, 0, targetWidth, targetHeight};
  if (targetWidth <= 0 || targetHeight <= 0) return false;

  const int32_t band = 100 + growthPercent;
  const bool replace = !overlay.pixels || targetWidth > overlay.allocatedWidth ||
                       targetHeight > overlay.allocatedHeight ||
                       targetWidth < MulDiv(overlay.allocatedWidth, 100 - shrinkPercent, band) ||
                       targetHeight < MulDiv(overlay.allocatedHeight, 100 - shrinkPercent, band);
  if (!replace) return true;

  int32_t width = MulDiv(targetWidth, band, 100);
  int32_t height = MulDiv(targetHeight, band, 100);
  // The block must hold the content whatever percentages a caller passes.
  if (width < targetWidth) width = targetWidth;
  if (height < targetHeight) height = targetHeight;
  dropOverlayBlock(overlay);
  const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u;
  void* block = bytes <= SIZE_MAX / 2 ? alignedAlloc(static_cast<size_t>(bytes)) : nullptr;
  if (!block) {
    // Nothing to draw into: an empty content rectangle keeps the blend idle.
    overlay.content = Rect{};
    return false;
  }
  overlay.pixels = static_cast<uint8_t*>(block);
  overlay.allocatedWidth = width;
  overlay.allocatedHeight = height;
  return true;
}

void OverlayBuilder::prepareOverlay(FrameCanvas& canvas, const uint32_t* pixels,
                                    int32_t pictureWidth, int32_t pictureHeight,
                                    const Rect& pictureRect, OverlayKey key, const int32_t size[2],
                                    int32_t denominatorX, int32_t denominatorY,
                                    int32_t growthPercent, int32_t shrinkPercent) {
  if (!ensureOverlaySize(canvas, size, denominatorX, denominatorY, growthPercent, shrinkPercent))
    return;
  DestinationLayout layout;
  if (canvas.layoutCode() == kPackedYuv422) {
    layout = DestinationLayout::Ycc32TopDown;
  } else if (canvas.layoutCode() == kBgr24BottomUp) {
    layout = DestinationLayout::Bgra32BottomUp;
  } else {
    return;  // no layout to draw in; the blend ignores such frames as well
  }
  OverlayImage& overlay = canvas.overlay();
  if (!resampleImage(resampler_, pixels, pictureWidth, pictureHeight, pictureRect, key.mode,
                     overlay.pixels, overlay.allocatedWidth, overlay.allocatedHeight,
                     overlay.content, layout, key.color)) {
    // The new or reused block holds stale bytes; never let the blend show them.
    overlay.content = Rect{};
  }
}

OverlayKey chooseOverlayKey(const LogoSettings& record, const LogoImage& logo) {
  OverlayKey key;
  if (!record.ColorKeyEnable) return key;
  key.mode = SourceMode::Keyed;
  const LogoFrame& frame = logo.current();
  if (!record.LeftTopPixelColor) {
    key.color = record.ColorKey;
  } else if (frame.pixels && frame.width > 0 && frame.height > 0) {
    const uint32_t corner = logo.PixelAt(0, 0);
    // A transparent corner reads 0, 0, 0 once premultiplied; keying that
    // would erase every opaque black pixel too. The picture is already
    // transparent there, so nothing more is keyed.
    if ((corner >> 24) == 0) return OverlayKey{};
    key.color = corner & 0x00FFFFFFu;
  }
  return key;
}

void OverlayBuilder::rebuild(FrameCanvas& canvas, const LogoImage& logo, LogoSettings& record) {
  if (logo.FrameCount() == 0) return;
  const LogoFrame& frame = logo.current();
  clampPositionAndSize(record, frame.width, frame.height);
  const int32_t size[2] = {record.LogoSizeX, record.LogoSizeY};
  prepareOverlay(canvas, frame.pixels, frame.width, frame.height, frame.validRect,
                 chooseOverlayKey(record, logo), size, 1000, 1000, 10, 10);
}

}  // namespace om
