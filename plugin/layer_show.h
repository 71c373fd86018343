// One layer of the record in use as the frames show it: its picture, the
// overlay and cover made from it for the frame's format, and its clocks.
// The plug-in keeps one per layer number, so a layer keeps its picture
// while another is edited, added or removed.
#pragma once

#include <cstdint>
#include <memory>

#include "compositing/frame_canvas.h"
#include "compositing/frame_cover.h"
#include "logo/logo_image.h"
#include "logo/overlay.h"
#include "plugin/animation_ahead.h"

namespace om {

struct LayerShow {
  LogoImage logo;
  int32_t logoLoaded = 0;
  uint32_t nextFrameDue = 0;
  // The tick the logo's show timing counts from: the channel switch, or the
  // first frame after the dialog changed the timing.
  uint32_t showStart = 0;
  // The same moment for the drift against burn-in, settled on its own orbit.
  uint32_t driftStart = 0;
  bool restartShowTiming = false;
  // A picture put in place away from a channel switch: the next frame
  // starts its animation clock.
  bool restartAnimationClock = false;

  // The frame's format (every layer's alike) and this layer's overlay.
  FrameCanvas canvas;
  // Held by pointer: a picture prepared aside brings its own, swapped in.
  std::unique_ptr<OverlayBuilder> overlayBuilder = std::make_unique<OverlayBuilder>();
  // The layer's cover, made ready at rebuilds for its rectangle.
  FrameCover cover;
  // Used by the follower's thread, which draws streamed frames ahead.
  AnimationAhead animationAhead;
};

}  // namespace om
