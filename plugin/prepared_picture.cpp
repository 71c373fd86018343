#include "plugin/prepared_picture.h"

#include <utility>

#include "plugin/channel_ops.h"
#include "plugin/plugin_state.h"

namespace om {

void PreparedPicture::beginPreparing(const PluginState& state) {
  canvas_.SetFormat(state.canvas.width(), state.canvas.height(), state.canvas.layoutCode());
  settings_ = state.channelTable[static_cast<size_t>(state.currentIndex)];
  prepared_ = false;
}

void PreparedPicture::prepareOverlay() {
  clamped_ = settings_;
  builder_->rebuild(canvas_, picture_, clamped_);
  prepared_ = true;
}

void PreparedPicture::putInPlace(PluginState& state) {
  ChannelRecord& record = state.recordInUse();
  const bool sameFormat = canvas_.width() == state.canvas.width() &&
                          canvas_.height() == state.canvas.height() &&
                          canvas_.layoutCode() == state.canvas.layoutCode();
  state.logo.swap(picture_);
  state.logoLoaded = 1;
  if (prepared_ && sameFormat && sameSettings(record, settings_)) {
    static_cast<LogoSettings&>(record) = clamped_;
    std::swap(state.canvas.overlay(), canvas_.overlay());
    std::swap(state.overlayBuilder, builder_);
    prepareCover(state);  // the new picture's overlay may have another size
  } else {
    rebuildOverlay(state);
  }
  prepared_ = false;
}

}  // namespace om
