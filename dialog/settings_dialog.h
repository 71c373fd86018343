// The modeless settings dialog object. Its window exists only between
// PluginConfigure and the dialog's closing; on POSIX there is never one.
// The behaviour lives in DialogController; the window layer (dialog/win32/)
// creates the window, forwards its messages to controller() and implements
// DialogView over it.
#pragma once

#include <cstdint>

#include "dialog/dialog_controller.h"
#include "settings/settings_model.h"

namespace om {

class DialogModel;

class SettingsDialog {
 public:
  SettingsDialog() : controller_(*this) {}
  ~SettingsDialog();
  SettingsDialog(const SettingsDialog&) = delete;
  SettingsDialog& operator=(const SettingsDialog&) = delete;

  // Null while no window exists. Set and cleared by the controller under
  // FrameLock, so the video thread reads it under that lock.
  void* window() const { return window_; }
  bool hasWindow() const { return window_ != nullptr; }

  // PluginConfigure: create the window owned by `parentWindow`, or focus and
  // flash the open one (controller().startFlash(2)).
  void open(DialogModel& model, void* parentWindow);
  // PluginShutdown: destroy the window, recording its position.
  void destroyWindow();

  DialogController& controller() { return controller_; }
  const DialogController& controller() const { return controller_; }

  int32_t dialogPosX = kDialogNeverPlaced;
  int32_t dialogPosY = kDialogNeverPlaced;

 protected:
  void* window_ = nullptr;

 private:
  friend class DialogController;
  DialogController controller_;
};

}  // namespace om
