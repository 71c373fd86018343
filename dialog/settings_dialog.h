// The modeless settings dialog object. Its window exists only between
// PluginConfigure and the dialog's closing; on POSIX there is never one.
#pragma once

#include <cstdint>

namespace om {

struct PluginState;

class SettingsDialog {
 public:
  SettingsDialog() = default;
  virtual ~SettingsDialog();

  void* window() const { return window_; }  // null while no window exists
  bool hasWindow() const { return window_ != nullptr; }

  // PluginConfigure: create the window owned by `parentWindow`, or focus and
  // flash the open one.
  void open(PluginState& state, void* parentWindow);
  // PluginShutdown: destroy the window, recording its position.
  void destroyWindow();

  int32_t dialogPosX = -100;  // -100, -100: never placed
  int32_t dialogPosY = -100;

 protected:
  void* window_ = nullptr;
};

}  // namespace om
