#include "plugin/prepared_picture.h"

#include <utility>

#include "plugin/channel_ops.h"
#include "plugin/plugin_state.h"

namespace om {

void PreparedPicture::beginPreparing(const PluginState& state, int32_t number) {
  const FrameCanvas& format = state.format();
  canvas_.SetFormat(format.width(), format.height(), format.layoutCode());
  settings_ = *state.layerInUse(number);
  builder_->setPreparedBudget(preparedBudgetLeft(state, number));
  prepared_ = false;
}

void PreparedPicture::prepareOverlay() {
  clamped_ = settings_;
  builder_->rebuild(canvas_, picture_, clamped_);
  prepared_ = true;
}

void PreparedPicture::putInPlace(PluginState& state, int32_t number) {
  LogoSettings& layer = *state.layerInUse(number);
  LayerShow& show = state.show(number);
  const bool sameFormat = canvas_.width() == show.canvas.width() &&
                          canvas_.height() == show.canvas.height() &&
                          canvas_.layoutCode() == show.canvas.layoutCode();
  show.logo.swap(picture_);
  show.logoLoaded = 1;
  if (prepared_ && sameFormat && sameSettings(layer, settings_)) {
    layer = clamped_;
    std::swap(show.canvas.overlay(), canvas_.overlay());
    std::swap(show.overlayBuilder, builder_);
    prepareCover(state, number);  // the new picture's overlay may have another size
  } else {
    rebuildOverlay(state, number);
  }
  prepared_ = false;
}

}  // namespace om
