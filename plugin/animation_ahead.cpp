#include "plugin/animation_ahead.h"

#include <utility>

#include "plugin/channel_ops.h"
#include "plugin/plugin_state.h"

namespace om {

void AnimationAhead::work(PluginState& state) {
  {
    platform::LockGuard hold(state.frameLock);
    if (!state.initialized || state.channelTable.empty() || !state.logoLoaded ||
        !state.logo.lendAhead())
      return;
    settings_ = state.recordInUse();
    showsLogo_ = settings_.ShowLogo != 0;
    picture_ = state.logo.generation();
    canvas_.SetFormat(state.canvas.width(), state.canvas.height(), state.canvas.layoutCode());
    overlayFrame_ = -1;
  }
  // Whatever would change the picture waits for the loan to end; nothing
  // else of the state is touched meanwhile.
  state.logo.drawAhead(&AnimationAhead::prepare, this);
}

void AnimationAhead::prepare(const LogoFrame& frame, int index, void* self) {
  AnimationAhead& ahead = *static_cast<AnimationAhead*>(self);
  if (ahead.showsLogo_) ahead.builder_->prepareFrameAside(ahead.canvas_, frame, ahead.settings_);
  ahead.overlayFrame_ = index;
}

bool AnimationAhead::step(PluginState& state) {
  LogoImage& logo = state.logo;
  if (!logo.aheadReady()) return false;
  const uint64_t picture = logo.generation();
  const int shown = logo.NextFrame();  // the frame drawn ahead, no decode
  ChannelRecord& record = state.recordInUse();
  if (record.ShowLogo) {
    const bool sameFormat = canvas_.width() == state.canvas.width() &&
                            canvas_.height() == state.canvas.height() &&
                            canvas_.layoutCode() == state.canvas.layoutCode();
    if (showsLogo_ && overlayFrame_ == shown && picture_ == picture && sameFormat &&
        sameSettings(record, settings_))
      std::swap(state.canvas.overlay(), canvas_.overlay());
    else
      rebuildSteppedOverlay(state);  // settings edited meanwhile: made here, as before
  }
  overlayFrame_ = -1;
  state.follower.wake();
  return true;
}

}  // namespace om
