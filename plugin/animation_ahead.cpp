#include "plugin/animation_ahead.h"

#include <utility>

#include "plugin/channel_ops.h"
#include "plugin/plugin_state.h"

namespace om {

void AnimationAhead::work(PluginState& state, int32_t number) {
  LayerShow& show = state.show(number);
  {
    platform::LockGuard hold(state.frameLock);
    if (!state.initialized || state.channelTable.empty() || !show.logoLoaded ||
        !state.layerInUse(number) || !show.logo.lendAhead())
      return;
    settings_ = *state.layerInUse(number);
    showsLogo_ = settings_.ShowLogo != 0;
    picture_ = show.logo.generation();
    const FrameCanvas& format = state.format();
    canvas_.SetFormat(format.width(), format.height(), format.layoutCode());
    overlayFrame_ = -1;
  }
  // Whatever would change the picture waits for the loan to end; nothing
  // else of the state is touched meanwhile.
  show.logo.drawAhead(&AnimationAhead::prepare, this);
}

void AnimationAhead::prepare(const LogoFrame& frame, int index, void* self) {
  AnimationAhead& ahead = *static_cast<AnimationAhead*>(self);
  if (ahead.showsLogo_) ahead.builder_->prepareFrameAside(ahead.canvas_, frame, ahead.settings_);
  ahead.overlayFrame_ = index;
}

bool AnimationAhead::step(PluginState& state, int32_t number) {
  LayerShow& show = state.show(number);
  LogoImage& logo = show.logo;
  if (!logo.aheadReady()) return false;
  const uint64_t picture = logo.generation();
  const int shown = logo.NextFrame();  // the frame drawn ahead, no decode
  const LogoSettings& layer = *state.layerInUse(number);
  if (layer.ShowLogo) {
    const bool sameFormat = canvas_.width() == show.canvas.width() &&
                            canvas_.height() == show.canvas.height() &&
                            canvas_.layoutCode() == show.canvas.layoutCode();
    if (showsLogo_ && overlayFrame_ == shown && picture_ == picture && sameFormat &&
        sameSettings(layer, settings_))
      std::swap(show.canvas.overlay(), canvas_.overlay());
    else
      rebuildSteppedOverlay(state, number);  // settings edited meanwhile: made here, as before
  }
  overlayFrame_ = -1;
  state.follower.wake();
  return true;
}

}  // namespace om
