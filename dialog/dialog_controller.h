// The settings dialog's behaviour, free of any window system: the Win32
// layer turns messages into these calls and DialogView calls back into the
// window. Everything here runs on the UI thread; what it shares with the
// video thread it touches only under FrameLock, and never holds that lock
// while a modal window runs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/rect.h"
#include "dialog/preview_pane.h"

namespace om {

struct LogoSettings;
struct SettingControl;
enum class ChangeEffect;
class DialogModel;
class DialogView;
class SettingsDialog;

struct DialogPosition {
  int32_t x = 0;
  int32_t y = 0;
};

// Where the dialog opens: the stored position, or centred on the host window
// when none was stored (-100, -100) or it lies right of or below the screen.
DialogPosition placeDialog(int32_t storedX, int32_t storedY, const Rect& dialogRect,
                           const Rect& hostRect, int32_t screenWidth, int32_t screenHeight);

struct SwatchLook {
  enum class Fill { Solid, GreyHatch };
  Fill fill = Fill::Solid;
  uint32_t color = 0;  // 0x00BBGGRR
};

class DialogController {
 public:
  explicit DialogController(SettingsDialog& dialog) : dialog_(dialog) {}
  ~DialogController();
  DialogController(const DialogController&) = delete;
  DialogController& operator=(const DialogController&) = delete;

  // WM_INITDIALOG: placement, the table snapshot, the preview pane, the
  // controls, then a full refresh posted to itself. Publishes the window
  // handle in the same FrameLock hold as the snapshot, so every record the
  // video thread appends from then on reaches the backup too.
  void onInitDialog(DialogModel& model, DialogView& view) noexcept;
  // WM_DESTROY: records the position, drops the pane, unpublishes the handle.
  void onDestroy() noexcept;

  void onNotify(int32_t code) noexcept;         // WM_PLUGIN_NOTIFY
  void onCommand(int32_t controlId) noexcept;   // BN_CLICKED, CBN_SELCHANGE
  void onNumberTextChanged(int32_t editId) noexcept;  // EN_CHANGE of a setting's edit
  void onClose() noexcept;                      // WM_CLOSE: restore, then destroy
  void onTimer(int32_t timerId) noexcept;       // WM_TIMER
  // From the mouse hook, for the six press-and-hold buttons: a left press or
  // double-click, and the left release.
  void onRepeatButtonDown(int32_t controlId) noexcept;
  void onRepeatButtonUp(int32_t controlId) noexcept;
  // PluginConfigure on an open dialog: 2 * n caption inversions.
  void startFlash(int32_t n) noexcept;
  // WM_DRAWITEM of the swatch: how to fill it.
  SwatchLook swatchLook(bool disabled) const noexcept;

  double stepAccumulator() const { return stepAccumulator_; }
  PreviewPane* previewPane() const { return pane_.get(); }
  // True while this thread holds FrameLock (for checks that modal windows
  // and control updates run without it).
  bool frameLockHeld() const;

 private:
  LogoSettings* layerInUse() const;

  void refreshAll();
  void refreshLayers();
  void refreshChannelName();
  void refreshFileName();
  void refreshPreview();
  void refreshEnabling();

  void choosePicture();
  void removePicture();
  void chooseKeyColor();
  void changeSetting(const SettingControl& control);
  void applyEffect(ChangeEffect effect);
  void setPrivateSettings();
  void selectLayer();
  void addOrRemoveLayer(int32_t controlId);
  void toggleMorePage();
  void moveToCorner(int32_t controlId);
  void stepHeldButton();
  void restoreAndClose();

  SettingsDialog& dialog_;
  DialogModel* model_ = nullptr;
  DialogView* view_ = nullptr;
  std::unique_ptr<PreviewPane> pane_;
  bool backupValid_ = false;

  bool morePageShown_ = false;
  int32_t flashCount_ = 0;
  int32_t heldButton_ = 0;
  double stepAccumulator_ = 0.0;
};

}  // namespace om
