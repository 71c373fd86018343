// The dialog controller's press-and-hold buttons (move and size, repeated
// while held, faster the longer) and the caption flash.
#include <algorithm>
#include <climits>

#include "common/muldiv.h"
#include "common/notify.h"
#include "dialog/dialog_controller.h"
#include "dialog/dialog_controller_support.h"
#include "dialog/dialog_ids.h"
#include "dialog/dialog_model.h"
#include "dialog/dialog_view.h"
#include "settings/settings_model.h"

namespace om {

void DialogController::onRepeatButtonDown(int32_t controlId) noexcept {
  if (!view_ || !isRepeatButton(controlId)) return;
  absorb([&] {
    heldButton_ = controlId;
    stepAccumulator_ = 1.0;
    stepHeldButton();
    stepAccumulator_ = 0.0;
    view_->startTimer(kHoldRepeatTimer, kHoldRepeatPeriodMs);
  });
}

void DialogController::onRepeatButtonUp(int32_t) noexcept {
  if (!view_) return;
  absorb([&] { view_->stopTimer(kHoldRepeatTimer); });
}

void DialogController::onTimer(int32_t timerId) noexcept {
  if (!view_) return;
  absorb([&] {
    if (timerId == kHoldRepeatTimer) {
      // Repeated addition, not a product: ten additions of 0.4 stay just
      // below 4, which is what makes the tenth step 3.
      stepAccumulator_ += 0.4;
      stepHeldButton();
    } else if (timerId == kFlashTimer) {
      if (flashCount_ != 0) {
        view_->flashCaption();
        --flashCount_;
      } else {
        view_->stopTimer(kFlashTimer);
      }
    }
  });
}

void DialogController::startFlash(int32_t n) noexcept {
  if (!view_) return;
  absorb([&] {
    flashCount_ = saturate(2 * static_cast<int64_t>(n));
    view_->startTimer(kFlashTimer, kFlashPeriodMs);
  });
}

void DialogController::stepHeldButton() {
  FrameHold hold(model_->frameLock());
  LogoSettings* r = layerInUse();
  // The buttons are disabled without a picture or a cover; a tick that
  // arrives after the picture went away must not size the logo from a
  // picture of no size. A bare cover grows by the step in both directions.
  int32_t pictureWidth = 0, pictureHeight = 0;
  if (!r) return;
  const bool picture = model_->pictureSize(pictureWidth, pictureHeight) && pictureWidth > 0 &&
                       pictureHeight > 0;
  if (!picture && (r->CoverMode == kCoverPicture || model_->logoLoaded())) return;
  const int64_t s = static_cast<int64_t>(std::min(stepAccumulator_, 1e9));
  switch (heldButton_) {
    case kIdMoveLeft: r->LogoPosX = saturate(r->LogoPosX - s); break;
    case kIdMoveRight: r->LogoPosX = saturate(r->LogoPosX + s); break;
    case kIdMoveUp: r->LogoPosY = saturate(r->LogoPosY - s); break;
    case kIdMoveDown: r->LogoPosY = saturate(r->LogoPosY + s); break;
    case kIdSmaller:
    case kIdLarger: {
      // Keep the centre; the height follows the picture's aspect on a 4:3 frame.
      const int64_t cx = r->LogoPosX + static_cast<int64_t>(r->LogoSizeX / 2);
      const int64_t cy = r->LogoPosY + static_cast<int64_t>(r->LogoSizeY / 2);
      int64_t w = heldButton_ == kIdSmaller ? r->LogoSizeX - s : r->LogoSizeX + s;
      if (heldButton_ == kIdSmaller && w < 0) w = 0;
      if (heldButton_ == kIdLarger && w > 1000) w = 1000;
      if (picture) {
        r->LogoSizeX = saturate(w);
        r->LogoSizeY = MulDiv(MulDiv(r->LogoSizeX, pictureHeight, pictureWidth), 4, 3);
      } else {
        const int64_t grow = heldButton_ == kIdSmaller ? -s : s;
        r->LogoSizeX = saturate(std::min<int64_t>(std::max<int64_t>(r->LogoSizeX + grow, 0), 1000));
        r->LogoSizeY = saturate(std::min<int64_t>(std::max<int64_t>(r->LogoSizeY + grow, 0), 1000));
      }
      r->LogoPosX = saturate(cx - r->LogoSizeX / 2);
      r->LogoPosY = saturate(cy - r->LogoSizeY / 2);
      break;
    }
    default: return;
  }
  model_->rebuildOverlay();
  view_->postNotify(kNotifyEverything);  // the page's rectangle numbers follow
}

}  // namespace om
