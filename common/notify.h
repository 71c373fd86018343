// WM_PLUGIN_NOTIFY: the private window message the video side posts (never
// sends) to the settings dialog, wParam saying what to refresh.
#pragma once

namespace om {

enum : unsigned { WM_PLUGIN_NOTIFY = 0x590 };  // WM_USER + 400

enum NotifyCode : int {
  kNotifyEverything = 0,
  kNotifyChannelName = 1,
  kNotifyFileName = 2,
  kNotifyPreview = 3,
  kNotifyEnabling = 4,
};

}  // namespace om
