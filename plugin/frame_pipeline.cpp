#include "plugin/frame_pipeline.h"

#include <cstring>

#include "common/muldiv.h"
#include "common/notify.h"
#include "platform/lock.h"
#include "plugin/channel_ops.h"
#include "plugin/drift.h"
#include "plugin/plugin_state.h"
#include "plugin/show_timing.h"
#include "plugin/tick.h"

namespace om {

void switchChannel(PluginState& state, int64_t id, const char* name) {
  state.currentChannelId = id;
  // The name lives inline in the host's record; never read past its bound.
  const size_t length = name ? strnlen(name, kChannelNameMax) : 0;
  state.currentChannelName.assign(name ? name : "", length);
  // The pictures left go to the cache, ready for a switch back.
  for (int32_t number = 1; number <= kMaxLayers; ++number) state.pictureCache.keep(state, number);
  selectChannelRecord(state);
  bringInLayers(state);
  const uint32_t now = tickNowMs();
  bool streamed = false;
  for (LayerShow& show : state.shows) {
    show.nextFrameDue = now + static_cast<uint32_t>(show.logo.CurrentDelay());
    show.showStart = show.driftStart = now;
    show.restartShowTiming = false;
    show.restartAnimationClock = false;
    streamed = streamed || show.logo.streamed();
  }
  notifyDialog(state, kNotifyEverything);
  // The next streamed frame drawn ahead; the pictures let go freed.
  if (streamed || state.pictureCache.hasDiscarded()) state.follower.wake();
}

namespace {

// The frame's tick, read once, on first need.
class FrameTick {
 public:
  uint32_t now() {
    if (!read_) tick_ = tickNowMs();
    read_ = true;
    return tick_;
  }

 private:
  uint32_t tick_ = 0;
  bool read_ = false;
};

// The layer's cover over its rectangle, through the picture's weights when
// it has one, at the blend's opacity.
void drawCover(PluginState& state, int32_t number, uint8_t* pixels, int32_t visibility) {
  const LogoSettings& layer = *state.layerInUse(number);
  LayerShow& show = state.show(number);
  const int32_t percent = layer.LogoOpacity < 0 ? 0 : (layer.LogoOpacity > 100 ? 100 : layer.LogoOpacity);
  const int32_t opacity = (MulDiv(percent, 256, 100) * visibility) >> 8;
  const OverlayImage* mask = show.logoLoaded ? &show.canvas.overlay() : nullptr;
  show.cover.apply(pixels, coverRectangle(state, number), mask, opacity);
}

// One layer onto the frame as the layers before it left it, then its
// animation's step.
void drawLayer(PluginState& state, int32_t number, uint8_t* pixels, FrameTick& tick) {
  LogoSettings& layer = *state.layerInUse(number);
  LayerShow& show = state.show(number);
  // A cover without a picture is a bare rectangle: drawn, and timed, too.
  const bool bareCover = !show.logoLoaded && layer.CoverMode != kCoverPicture;
  if (!show.logoLoaded && !bareCover) return;
  // A timed show or a drift reads the tick before the blend, and the
  // animation below goes by the same reading.
  const bool timed = showIsTimed(layer);
  const bool drifting = drifts(layer);
  const uint32_t frameTick = timed || drifting ? tick.now() : 0;
  if (show.restartShowTiming && (timed || drifting)) {
    show.showStart = show.driftStart = frameTick;
    show.restartShowTiming = false;
  }
  int32_t visibility = kFullyShown;
  if (timed) {
    visibility = showFactor(layer, frameTick - show.showStart);
    show.showStart = settledShowStart(layer, show.showStart, frameTick);
  }
  PixelShift drift;
  if (drifting) {
    drift = driftOffset(layer, frameTick - show.driftStart);
    show.driftStart = settledDriftStart(layer, show.driftStart, frameTick);
  }
  if (layer.ShowLogo && visibility > 0) {
    if (layer.CoverMode == kCoverPicture) {
      const int32_t position[2] = {layer.LogoPosX, layer.LogoPosY};
      show.canvas.BlendOverlay(pixels, position, layer.LogoOpacity, visibility, drift);
    } else {
      drawCover(state, number, pixels, visibility);
    }
  }
  if (bareCover) return;
  // The step comes after the blend, so a new animation frame shows on the
  // next video frame; at most one step per frame, lost time is not caught up.
  if (show.logo.FrameCount() > 1) {
    const uint32_t now = tick.now();
    if (show.restartAnimationClock) {
      show.nextFrameDue = now + static_cast<uint32_t>(show.logo.CurrentDelay());
      show.restartAnimationClock = false;
    } else if (static_cast<int32_t>(now - show.nextFrameDue) >= 0) {
      // Wrap-safe "now is not below nextFrameDue" on the 32-bit tick.
      if (show.logo.drawsAhead() && state.follower.running()) {
        // Drawn ahead on the plug-in's thread; until it is, the frame shown stays.
        if (!show.animationAhead.step(state, number)) return;
      } else {
        show.logo.NextFrame();
        if (layer.ShowLogo) rebuildSteppedOverlay(state, number);
      }
      if (number == state.dialogLayer) notifyDialog(state, kNotifyPreview);
      show.nextFrameDue = tickNowMs() + static_cast<uint32_t>(show.logo.CurrentDelay());
    }
  }
}

}  // namespace

int32_t runFramePipeline(PluginState& state, const FrameInfo& frame) {
  platform::LockGuard hold(state.frameLock);

  const ChannelInfo& channel = *frame.channel;
  if (channel.id != state.currentChannelId) switchChannel(state, channel.id, channel.name);

  uint8_t* pixels = static_cast<uint8_t*>(frame.pixels);
  FrameTick tick;
  drawLayer(state, 1, pixels, tick);
  // In number order, each over what the layers before it drew. By index:
  // the record does not change under the lock.
  const std::vector<LayerSettings>& layers = state.recordInUse().layers;
  for (size_t i = 0; i < layers.size(); ++i) drawLayer(state, layers[i].number, pixels, tick);
  return 1;
}

}  // namespace om
