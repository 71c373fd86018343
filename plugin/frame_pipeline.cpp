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
  selectChannelRecord(state);
  reloadLogo(state);
  rebuildOverlay(state);
  const uint32_t now = tickNowMs();
  state.nextFrameDue = now + static_cast<uint32_t>(state.logo.CurrentDelay());
  state.showStart = state.driftStart = now;
  state.restartShowTiming = false;
  state.restartAnimationClock = false;
  notifyDialog(state, kNotifyEverything);
  if (state.logo.streamed()) state.follower.wake();  // the next frame, drawn ahead
}

namespace {

// The record's cover over its rectangle, through the picture's weights when
// it has one, at the blend's opacity.
void drawCover(PluginState& state, uint8_t* pixels, int32_t visibility) {
  const ChannelRecord& record = state.recordInUse();
  const int32_t percent = record.LogoOpacity < 0 ? 0 : (record.LogoOpacity > 100 ? 100 : record.LogoOpacity);
  const int32_t opacity = (MulDiv(percent, 256, 100) * visibility) >> 8;
  const OverlayImage* mask = state.logoLoaded ? &state.canvas.overlay() : nullptr;
  state.cover.apply(pixels, coverRectangle(state), mask, opacity);
}

}  // namespace

int32_t runFramePipeline(PluginState& state, const FrameInfo& frame) {
  platform::LockGuard hold(state.frameLock);

  const ChannelInfo& channel = *frame.channel;
  if (channel.id != state.currentChannelId) switchChannel(state, channel.id, channel.name);

  ChannelRecord& record = state.recordInUse();
  // A cover without a picture is a bare rectangle: drawn, and timed, too.
  const bool bareCover = !state.logoLoaded && record.CoverMode != kCoverPicture;
  if (state.logoLoaded || bareCover) {
    // A timed show or a drift reads the tick once, before the blend, and the
    // animation below goes by the same reading.
    const bool timed = showIsTimed(record);
    const bool drifting = drifts(record);
    const uint32_t frameTick = timed || drifting ? tickNowMs() : 0;
    if (state.restartShowTiming && (timed || drifting)) {
      state.showStart = state.driftStart = frameTick;
      state.restartShowTiming = false;
    }
    int32_t visibility = kFullyShown;
    if (timed) {
      visibility = showFactor(record, frameTick - state.showStart);
      state.showStart = settledShowStart(record, state.showStart, frameTick);
    }
    PixelShift drift;
    if (drifting) {
      drift = driftOffset(record, frameTick - state.driftStart);
      state.driftStart = settledDriftStart(record, state.driftStart, frameTick);
    }
    if (record.ShowLogo && visibility > 0) {
      if (record.CoverMode == kCoverPicture) {
        const int32_t position[2] = {record.LogoPosX, record.LogoPosY};
        state.canvas.BlendOverlay(static_cast<uint8_t*>(frame.pixels), position,
                                  record.LogoOpacity, visibility, drift);
      } else {
        drawCover(state, static_cast<uint8_t*>(frame.pixels), visibility);
      }
    }
    if (bareCover) return 1;
    // The step comes after the blend, so a new animation frame shows on the
    // next video frame; at most one step per frame, lost time is not caught up.
    if (state.logo.FrameCount() > 1) {
      const uint32_t now = timed || drifting ? frameTick : tickNowMs();
      if (state.restartAnimationClock) {
        state.nextFrameDue = now + static_cast<uint32_t>(state.logo.CurrentDelay());
        state.restartAnimationClock = false;
      } else if (static_cast<int32_t>(now - state.nextFrameDue) >= 0) {
        // Wrap-safe "now is not below nextFrameDue" on the 32-bit tick.
        if (state.logo.drawsAhead() && state.follower.running()) {
          // Drawn ahead on the plug-in's thread; until it is, the frame shown stays.
          if (!state.animationAhead.step(state)) return 1;
        } else {
          state.logo.NextFrame();
          if (record.ShowLogo) rebuildSteppedOverlay(state);
        }
        notifyDialog(state, kNotifyPreview);
        state.nextFrameDue = tickNowMs() + static_cast<uint32_t>(state.logo.CurrentDelay());
      }
    }
  }
  return 1;
}

}  // namespace om
