// The single module-wide state shared by the entry points, the dialog and
// the compositor, and FrameLock, the one lock that guards it.
#pragma once

#include <cstdint>
#include <string>

#include "compositing/frame_canvas.h"
#include "dialog/preview_scaler.h"
#include "dialog/settings_dialog.h"
#include "logo/logo_image.h"
#include "platform/platform.h"
#include "plugin/host_api.h"
#include "settings/profile_store.h"
#include "settings/settings_model.h"

namespace om {

// Private message the video side posts to the dialog; wParam is a NotifyCode.
enum { WM_PLUGIN_NOTIFY = 0x590 };

enum NotifyCode : int {
  kNotifyEverything = 0,
  kNotifyChannelName = 1,
  kNotifyFileName = 2,
  kNotifyPreview = 3,
  kNotifyEnabling = 4,
};

struct PluginState {
  // Guarded by frameLock: the table and the record in use, currentIndex,
  // currentChannelId/Name, logo, logoLoaded, nextFrameDue and the overlay.
  platform::Lock frameLock;

  int32_t hostValue = 0;
  ChannelExistsFn channelExists = nullptr;
  int32_t width = 0, height = 0, formatExtra = 0, pixelFormat = 0, cpuClass = 0;

  // Between PluginInit and PluginShutdown; frames before it are skipped and
  // a shutdown without it saves nothing.
  bool initialized = false;

  int64_t currentChannelId = 0;  // 0: no channel seen since the last format
  std::string currentChannelName;
  int32_t currentIndex = 0;
  int32_t privateSettings = 0;

  ChannelTable channelTable;
  ChannelRecord defaultRecord;
  ChannelRecord ioRecord;
  ChannelTable channelTableBackup;

  LogoImage logo;
  int32_t logoLoaded = 0;
  uint32_t nextFrameDue = 0;

  FrameCanvas canvas;
  PreviewScaler previewScaler;
  ProfileStore store;
  SettingsDialog dialog;

  ChannelRecord& recordInUse() { return channelTable[static_cast<size_t>(currentIndex)]; }

  // 1 and 2: the processor lacks SSE; frames pass through, no dialog.
  bool processorLacksSse() const { return cpuClass == 1 || cpuClass == 2; }
};

// The module's one instance.
PluginState& pluginState();

}  // namespace om
