// A streamed animation (one too large to keep decoded) redraws its one
// canvas at every step. The plug-in's own thread draws the next frame ahead
// and prepares its overlay, so a step on the video thread only swaps them
// in; a frame not ready when due keeps the one shown until it is, and the
// video never waits for a decode.
#pragma once

#include <cstdint>
#include <memory>

#include "compositing/frame_canvas.h"
#include "logo/logo_image.h"
#include "logo/overlay.h"
#include "settings/settings_model.h"

namespace om {

struct PluginState;

class AnimationAhead {
 public:
  AnimationAhead() : builder_(std::make_unique<OverlayBuilder>()) {}

  // The plug-in's thread, without FrameLock: draws the frame after the one
  // shown, when layer `number`'s picture is streamed and none waits yet.
  void work(PluginState& state, int32_t number);
  // Video thread, FrameLock held, at a due step of a streamed animation
  // while the thread runs: shows the frame drawn ahead and its overlay.
  // False when none is ready yet: the step waits for a later video frame.
  bool step(PluginState& state, int32_t number);

 private:
  static void prepare(const LogoFrame& frame, int index, void* self);

  FrameCanvas canvas_;  // the frame's format and the overlay made for it
  std::unique_ptr<OverlayBuilder> builder_;
  LogoSettings settings_;  // of the layer when the frame was lent
  uint64_t picture_ = 0;   // the picture's generation then
  bool showsLogo_ = false;
  // The frame whose overlay canvas_ holds; -1 none. Written by the thread
  // while the frame is lent, read by the video thread once it is returned.
  int overlayFrame_ = -1;
};

}  // namespace om
