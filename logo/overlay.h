// Overlay preparation: the current logo frame scaled to its target size in
// frame pixels, converted to the frame's layout, keyed when asked.
#pragma once

#include <cstdint>

#include "common/rect.h"
#include "compositing/frame_canvas.h"
#include "logo/logo_image.h"
#include "logo/resampler.h"
#include "settings/settings_model.h"

namespace om {

// How one rebuild reads the picture: plain, or with one colour keyed out.
struct OverlayKey {
  SourceMode mode = SourceMode::Plain;
  uint32_t color = 0;  // 0x00BBGGRR; 0 in plain mode
};

// The key of the record's ColorKeyEnable, LeftTopPixelColor and ColorKey
// against the picture's current frame.
OverlayKey chooseOverlayKey(const LogoSettings& record, const LogoImage& logo);

// Fills the canvas's overlay. Keeps the resampler's filter tables between
// rebuilds, so an animation step at an unchanged size only scales.
class OverlayBuilder {
 public:
  // The rebuild of a loaded picture: clamps the record's position and size
  // to the current frame, picks the key, and prepares the overlay from that
  // frame at the record's size. Caller holds FrameLock.
  void rebuild(FrameCanvas& canvas, const LogoImage& logo, LogoSettings& record);

  void prepareOverlay(FrameCanvas& canvas, const uint32_t* pixels, int32_t pictureWidth,
                      int32_t pictureHeight, const Rect& pictureRect, OverlayKey key,
                      const int32_t size[2], int32_t denominatorX, int32_t denominatorY,
                      int32_t growthPercent, int32_t shrinkPercent);

  ResamplerCache& resamplerCache() { return resampler_; }

 private:
  ResamplerCache resampler_;
};

// Sets the content rectangle; returns false when no block could be had (the
// content rectangle is then empty and nothing will be drawn).
bool ensureOverlaySize(FrameCanvas& canvas, const int32_t size[2], int32_t denominatorX,
                       int32_t denominatorY, int32_t growthPercent, int32_t shrinkPercent);

}  // namespace om
