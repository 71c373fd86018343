// A picture decoded and its overlay prepared away from FrameLock, for the
// frame format and settings in force when preparing began; put in place
// under the lock by a few swaps, so the frames around it never wait for a
// decode or a resample. Whatever it replaced is freed with it, after the
// lock is let go.
#pragma once

#include <cstdint>
#include <memory>

#include "compositing/frame_canvas.h"
#include "logo/logo_image.h"
#include "logo/overlay.h"
#include "settings/settings_model.h"

namespace om {

struct PluginState;

class PreparedPicture {
 public:
  PreparedPicture() : builder_(std::make_unique<OverlayBuilder>()) {}

  LogoImage& picture() { return picture_; }
  const OverlayImage& overlay() const { return canvas_.overlay(); }

  // Under FrameLock: takes the frame format and the settings of layer
  // `number` of the record in use, which has that layer.
  void beginPreparing(const PluginState& state, int32_t number);
  // Without the lock: the overlay of the picture's current frame.
  void prepareOverlay();
  // Under FrameLock: the picture, its overlay and builder swapped into the
  // layer's show, the layer given its clamped position and size. When the
  // format or the layer's settings moved on meanwhile, the overlay is
  // rebuilt there instead, as a switch would. Either way the picture is shown.
  void putInPlace(PluginState& state, int32_t number);

 private:
  LogoImage picture_;
  FrameCanvas canvas_;  // the frame's format and the overlay made for it
  std::unique_ptr<OverlayBuilder> builder_;
  LogoSettings settings_;  // of the layer, as preparing began
  LogoSettings clamped_;   // the same, clamped to the picture
  bool prepared_ = false;
};

}  // namespace om
