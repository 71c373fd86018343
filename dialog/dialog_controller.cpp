#include "dialog/dialog_controller.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "common/muldiv.h"
#include "common/notify.h"
#include "dialog/dialog_controller_support.h"
#include "dialog/dialog_ids.h"
#include "dialog/dialog_model.h"
#include "dialog/dialog_view.h"
#include "dialog/preview_pane.h"
#include "dialog/setting_controls.h"
#include "dialog/settings_dialog.h"
#include "settings/settings_model.h"

namespace om {

DialogPosition placeDialog(int32_t storedX, int32_t storedY, const Rect& dialogRect,
                           const Rect& hostRect, int32_t screenWidth, int32_t screenHeight) {
  const bool neverPlaced = storedX == kDialogNeverPlaced && storedY == kDialogNeverPlaced;
  if (!neverPlaced && storedX < screenWidth && storedY < screenHeight) return {storedX, storedY};
  const Rect& d = dialogRect;
  const Rect& h = hostRect;
  // Sums in 64 bits; halves truncate toward zero, so a dialog wider than the
  // host centres one unit to the left, as it always has.
  const int64_t x = d.left + (static_cast<int64_t>(h.left) + h.right) / 2 -
                    (static_cast<int64_t>(d.left) + d.right) / 2;
  const int64_t y = d.top + (static_cast<int64_t>(h.top) + h.bottom) / 2 -
                    (static_cast<int64_t>(d.top) + d.bottom) / 2;
  return {std::max(saturate(x), 0), std::max(saturate(y), 0)};
}

DialogController::~DialogController() {}

LogoSettings* DialogController::layerInUse() const { return model_->layerInUse(); }

bool DialogController::frameLockHeld() const {
  return model_ && model_->frameLock().heldByCurrentThread();
}

void DialogController::onInitDialog(DialogModel& model, DialogView& view) noexcept {
  absorb([&] {
    model_ = &model;
    view_ = &view;

    const ScreenSize screen = view.screenSize();
    const DialogPosition at = placeDialog(dialog_.dialogPosX, dialog_.dialogPosY,
                                          view.windowRect(), view.hostWindowRect(),
                                          screen.width, screen.height);
    dialog_.dialogPosX = at.x;
    dialog_.dialogPosY = at.y;
    view.moveWindow(at.x, at.y);

    {
      FrameHold hold(model.frameLock());
      dialog_.window_ = view.windowHandle();
      backupValid_ = false;
      model.backUpTable();
      backupValid_ = true;
    }

    pane_ = view.createPreviewPane();
    view.setUpControls();
    view.postNotify(kNotifyEverything);
  });
}

void DialogController::onDestroy() noexcept {
  if (!view_) return;
  DialogView& view = *view_;
  absorb([&] {
    const Rect r = view.windowRect();
    dialog_.dialogPosX = r.left;
    dialog_.dialogPosY = r.top;
  });
  absorb([&] { view.tearDownControls(); });
  pane_.reset();
  {
    FrameHold hold(model_->frameLock());
    dialog_.window_ = nullptr;
  }
  view_ = nullptr;
}

// ---- refresh ---------------------------------------------------------------

void DialogController::onNotify(int32_t code) noexcept {
  if (!view_) return;
  absorb([&] {
    switch (code) {
      case kNotifyEverything: refreshAll(); break;
      case kNotifyChannelName: refreshChannelName(); break;
      case kNotifyFileName: refreshFileName(); break;
      case kNotifyPreview: refreshPreview(); break;
      case kNotifyEnabling: refreshEnabling(); break;
      default: break;
    }
  });
}

void DialogController::refreshAll() {
  bool privateSettings = false;
  // Every setting's value, read in one hold and shown after it.
  std::vector<int32_t> values(kSettingControlCount);
  {
    FrameHold hold(model_->frameLock());
    const LogoSettings* r = layerInUse();
    if (!r) return;
    privateSettings = model_->privateSettings() != 0;
    for (size_t i = 0; i < kSettingControlCount; ++i) {
      values[i] = kSettingControls[i].value(*r);
    }
  }
  view_->setCheck(kIdPrivateSettings, privateSettings);
  for (size_t i = 0; i < kSettingControlCount && view_; ++i) {
    const SettingControl& c = kSettingControls[i];
    switch (c.kind) {
      case ControlKind::CheckBox: view_->setCheck(c.id, values[i] != 0); break;
      // The up-down takes a 16-bit position.
      case ControlKind::Number: view_->setSpinPosition(c.spinId, static_cast<int16_t>(values[i] & 0xFFFF)); break;
      case ControlKind::Choice: view_->setChoice(c.id, values[i]); break;
      case ControlKind::ColorButton: break;  // the swatch paints the record's colour itself
    }
  }
  if (!view_) return;
  refreshLayers();
  refreshChannelName();
  refreshFileName();
  refreshPreview();
  refreshEnabling();
}

// The record's layers in the list, the one edited picked.
void DialogController::refreshLayers() {
  std::vector<int32_t> numbers;
  int32_t selected = 1;
  {
    FrameHold hold(model_->frameLock());
    numbers = model_->layerNumbers();
    selected = model_->selectedLayer();
  }
  std::vector<std::string> items;
  int32_t index = 0;
  for (size_t i = 0; i < numbers.size(); ++i) {
    items.push_back(std::to_string(numbers[i]));
    if (numbers[i] == selected) index = static_cast<int32_t>(i);
  }
  view_->setListItems(kIdLayerList, items);
  view_->setChoice(kIdLayerList, index);
  view_->setEnabled(kIdAddLayer, !numbers.empty() && numbers.size() < static_cast<size_t>(kMaxLayers));
  view_->setEnabled(kIdRemoveLayer, selected != 1);
}

void DialogController::refreshChannelName() {
  std::string name;
  {
    FrameHold hold(model_->frameLock());
    name = model_->channelName();
  }
  view_->setText(kIdChannelName, name, TextEncoding::Cp1251);
}

void DialogController::refreshFileName() {
  std::string name;
  {
    FrameHold hold(model_->frameLock());
    const LogoSettings* r = layerInUse();
    if (r) name = r->LogoFileName;
  }
  if (name.empty())
    view_->setText(kIdFileName, texts::kNoLogo, TextEncoding::Cp1251);
  else
    view_->setText(kIdFileName, name, TextEncoding::AnsiCodePage);
}

void DialogController::refreshPreview() {
  if (!pane_) return;
  {
    FrameHold hold(model_->frameLock());
    model_->drawPreview(*pane_);
  }
  view_->presentPreview(*pane_);
}

void DialogController::refreshEnabling() {
  bool loaded = false, placesBareRectangle = false;
  std::vector<bool> enabled(kSettingControlCount);
  {
    FrameHold hold(model_->frameLock());
    const LogoSettings* r = layerInUse();
    loaded = model_->logoLoaded();
    placesBareRectangle = r && r->CoverMode != kCoverPicture;
    for (size_t i = 0; i < kSettingControlCount; ++i) {
      const SettingControl& c = kSettingControls[i];
      enabled[i] = r && (loaded || c.needsPicture == NeedsPicture::No) &&
                   (!c.enabledBy || c.enabledAt(static_cast<int32_t>(c.enabledBy->value(*r)))) &&
                   (!c.disabledBy || c.disabledBy->value(*r) == 0);
    }
  }
  // A cover without a picture still has a rectangle to place.
  static const int32_t kPlaceRectangle[] = {
      kIdMoveLeft, kIdMoveRight,  kIdMoveUp,   kIdMoveDown,    kIdSmaller,     kIdLarger,
      kIdTopLeft,  kIdBottomLeft, kIdTopRight, kIdBottomRight, kIdHiddenGlyph,
  };
  for (const int32_t id : kPlaceRectangle) view_->setEnabled(id, loaded || placesBareRectangle);
  view_->setEnabled(kIdRemoveLogo, loaded);
  for (size_t i = 0; i < kSettingControlCount; ++i) {
    const SettingControl& c = kSettingControls[i];
    for (const int32_t id : {c.id, c.spinId, c.labelId})
      if (id != 0) view_->setEnabled(id, enabled[i]);
  }
}

// ---- commands --------------------------------------------------------------

void DialogController::onCommand(int32_t controlId) noexcept {
  if (!view_) return;
  absorb([&] {
    switch (controlId) {
      case kIdChooseLogo: choosePicture(); break;
      case kIdRemoveLogo: removePicture(); break;
      case kIdColorSwatch: chooseKeyColor(); break;
      case kIdPrivateSettings: setPrivateSettings(); break;
      case kIdMore: toggleMorePage(); break;
      case kIdTopLeft:
      case kIdTopRight:
      case kIdBottomLeft:
      case kIdBottomRight: moveToCorner(controlId); break;
      case kIdAbout: view_->showAbout(); break;
      case kIdLayerList: selectLayer(); break;
      case kIdAddLayer:
      case kIdRemoveLayer: addOrRemoveLayer(controlId); break;
      case kIdOk: view_->destroyWindow(); break;
      case kIdCancel: view_->postClose(); break;
      default:
        // A check box or list of a setting; the framework's IDOK and
        // IDCANCEL find no row: no closing.
        if (const SettingControl* c = settingControlFor(controlId))
          if (c->kind == ControlKind::CheckBox || c->kind == ControlKind::Choice) changeSetting(*c);
        break;
    }
  });
}

void DialogController::choosePicture() {
  const std::string filter = model_->openFileFilter();
  std::string path;
  const bool chosen = view_->chooseLogoFile(filter, path);
  if (!chosen || !view_) return;  // the window may have gone while the chooser ran
  // Decoded before the lock is taken: a big animation must not stall the
  // video thread. The picture it replaces is freed after the lock, too.
  const std::unique_ptr<DecodedPicture> picture = model_->decodePicture(path);
  FrameHold hold(model_->frameLock());
  LogoSettings* r = layerInUse();
  if (!r) return;
  model_->installPicture(path, *picture);
  // Sized from the picture only when there is one: a failed load keeps the
  // size the record had instead of storing sizes computed from nothing.
  int32_t width = 0, height = 0;
  const int32_t frameHeight = model_->frameHeight();
  if (model_->pictureSize(width, height) && width > 0 && height > 0 && frameHeight > 0)
    applyInitialSize(*r, width, height, frameHeight);
  model_->rebuildOverlay();
  view_->postNotify(kNotifyEverything);
}

void DialogController::removePicture() {
  FrameHold hold(model_->frameLock());
  LogoSettings* r = layerInUse();
  if (!r) return;
  r->LogoFileName.clear();
  model_->reloadLogo();
  view_->postNotify(kNotifyEverything);
}

void DialogController::chooseKeyColor() {
  uint32_t initial = 0;
  {
    FrameHold hold(model_->frameLock());
    const LogoSettings* r = layerInUse();
    if (!r) return;
    initial = r->ColorKey;
  }
  uint32_t chosen = initial;
  const bool confirmed = view_->chooseColor(initial, chosen);
  if (!view_) return;
  if (confirmed) {
    FrameHold hold(model_->frameLock());
    if (LogoSettings* r = layerInUse()) r->ColorKey = chosen;
  }
  view_->repaintSwatch();
  if (!view_) return;
  FrameHold hold(model_->frameLock());
  model_->rebuildOverlay();
}

// A check box or list changed: the record takes its state, and what the
// row says follows in the same hold.
void DialogController::changeSetting(const SettingControl& c) {
  const int32_t value =
      c.kind == ControlKind::CheckBox ? (view_->isChecked(c.id) ? 1 : 0) : view_->choice(c.id);
  if (value < c.min() || value > c.max()) return;
  FrameHold hold(model_->frameLock());
  LogoSettings* r = layerInUse();
  if (!r) return;
  c.setValue(*r, value);
  applyEffect(c.effect);
  if (othersFollow(c)) view_->postNotify(kNotifyEnabling);
}

// What a changed setting needs besides its value; FrameLock is held.
void DialogController::applyEffect(ChangeEffect effect) {
  if (effect == ChangeEffect::Rebuild) model_->rebuildOverlay();
  if (effect == ChangeEffect::RestartsShow) model_->restartShowTiming();
}

void DialogController::selectLayer() {
  const int32_t index = view_->choice(kIdLayerList);
  {
    FrameHold hold(model_->frameLock());
    const std::vector<int32_t> numbers = model_->layerNumbers();
    if (index < 0 || static_cast<size_t>(index) >= numbers.size()) return;
    model_->selectLayer(numbers[static_cast<size_t>(index)]);
  }
  view_->postNotify(kNotifyEverything);  // every control shows that layer now
}

void DialogController::addOrRemoveLayer(int32_t controlId) {
  {
    FrameHold hold(model_->frameLock());
    if (controlId == kIdAddLayer)
      model_->addLayer();
    else
      model_->removeLayer();
  }
  view_->postNotify(kNotifyEverything);
}

void DialogController::toggleMorePage() {
  morePageShown_ = !morePageShown_;
  view_->showMorePage(morePageShown_);
}

void DialogController::setPrivateSettings() {
  const int32_t checked = view_->isChecked(kIdPrivateSettings) ? 1 : 0;
  FrameHold hold(model_->frameLock());
  model_->setPrivateSettings(checked);
  if (!layerInUse()) return;
  model_->reloadLayers();
  view_->postNotify(kNotifyEverything);
}

void DialogController::moveToCorner(int32_t controlId) {
  FrameHold hold(model_->frameLock());
  LogoSettings* r = layerInUse();
  if (!r) return;
  const int32_t right = saturate(1000 - static_cast<int64_t>(r->LogoSizeX));
  const int32_t bottom = saturate(1000 - static_cast<int64_t>(r->LogoSizeY));
  r->LogoPosX = (controlId == kIdTopRight || controlId == kIdBottomRight) ? right : 0;
  r->LogoPosY = (controlId == kIdBottomLeft || controlId == kIdBottomRight) ? bottom : 0;
  view_->postNotify(kNotifyEverything);  // the page's rectangle numbers follow
}

void DialogController::onNumberTextChanged(int32_t editId) noexcept {
  if (!view_) return;
  const SettingControl* c = settingControlFor(editId);
  if (!c || c->kind != ControlKind::Number || c->id != editId) return;
  absorb([&] {
    int32_t value = 0;
    const bool parsed = parseNumberText(view_->text(editId), value);
    bool valid = parsed && value >= c->min() && value <= c->max();
    if (!valid && c->outOfRangeWarning) {
      view_->showRangeWarning(c->outOfRangeWarning);
      if (!view_) return;
    } else if (!parsed) {
      return;  // emptied to type anew: the value stays until a number is there
    } else if (!valid) {
      value = std::min(std::max(value, c->min()), c->max());
      valid = true;
    }
    int32_t stored = 0;
    {
      FrameHold hold(model_->frameLock());
      LogoSettings* r = layerInUse();
      if (!r) return;
      const bool changed = valid && c->value(*r) != value;
      if (valid) c->setValue(*r, value);
      stored = c->value(*r);
      if (changed) applyEffect(c->effect);
    }
    // Puts the stored number back into the edit.
    view_->setSpinPosition(c->spinId, static_cast<int16_t>(stored & 0xFFFF));
  });
}

// ---- closing ---------------------------------------------------------------

void DialogController::onClose() noexcept {
  if (!view_) return;
  absorb([&] { restoreAndClose(); });
  // Closing must close even if the restore could not be done.
  if (view_) view_->destroyWindow();
}

void DialogController::restoreAndClose() {
  FrameHold hold(model_->frameLock());
  if (!backupValid_) return;  // no snapshot was taken: keep the edits
  model_->restoreTable();
  if (!layerInUse()) return;
  model_->reloadLayers();
}

SwatchLook DialogController::swatchLook(bool disabled) const noexcept {
  SwatchLook look;
  if (disabled) {
    look.fill = SwatchLook::Fill::GreyHatch;
    look.color = 0x808080;
    return look;
  }
  look.fill = SwatchLook::Fill::Solid;
  if (!model_) return look;
  FrameHold hold(model_->frameLock());
  if (const LogoSettings* r = layerInUse()) look.color = r->ColorKey;
  return look;
}

}  // namespace om
