// The single module-wide state shared by the entry points, the dialog and
// the compositor, and FrameLock, the one lock that guards it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "dialog/preview_scaler.h"
#include "dialog/settings_dialog.h"
#include "logo/image_codec.h"
#include "platform/lock.h"
#include "plugin/file_follower.h"
#include "plugin/host_api.h"
#include "plugin/layer_show.h"
#include "plugin/picture_cache.h"
#include "plugin/plugin_dialog_model.h"
#include "settings/profile_store.h"
#include "settings/settings_model.h"

namespace om {

struct PluginState {
  // Guarded by frameLock: the table and the record in use, currentIndex,
  // currentChannelId/Name, every layer's show (picture, clocks, overlay,
  // cover, the format), the dialog's layer, and the preview scaler.
  platform::Lock frameLock;

  int32_t hostValue = 0;
  ChannelExistsFn channelExists = nullptr;
  // The rest of the format lives in the layers' canvases.
  int32_t formatExtra = 0, cpuClass = 0;

  // Between PluginInit and PluginShutdown; frames before it are skipped and
  // a shutdown without it saves nothing.
  bool initialized = false;

  int64_t currentChannelId = 0;  // 0: no channel seen since the last format
  std::string currentChannelName;
  int32_t currentIndex = 0;
  int32_t privateSettings = 0;

  ChannelTable channelTable;
  ChannelRecord defaultRecord;
  bool hasDefaultSection = false;  // the file had one: saved back with the table
  KeptText keptText;  // the file's lines that are not the plug-in's keys
  ChannelTable channelTableBackup;

  // By layer number - 1; layer 1's show also holds the frame's format.
  std::array<LayerShow, kMaxLayers> shows;
  // The layer the dialog edits (a layer of the record in use; 1 when the
  // one chosen is gone).
  int32_t dialogLayer = 1;
  // The picture budget the layers' pictures share; tests lower it.
  uint64_t pictureBudget = kPictureMemoryBudget;
  // Pictures decoded ahead for the records a switch may go to.
  PictureCache pictureCache;
  PreviewScaler previewScaler;
  ProfileStore store;
  SettingsDialog dialog;
  PluginDialogModel dialogModel{*this};
  // Last: its thread is stopped before anything it reads is destroyed.
  FileFollower follower{*this};

  ChannelRecord& recordInUse() { return channelTable[static_cast<size_t>(currentIndex)]; }
  const ChannelRecord& recordInUse() const { return channelTable[static_cast<size_t>(currentIndex)]; }

  // The frame's format, as every layer's canvas holds it.
  const FrameCanvas& format() const { return shows[0].canvas; }
  void setFormat(int32_t width, int32_t height, int32_t code) {
    for (LayerShow& show : shows) show.canvas.SetFormat(width, height, code);
  }
  LayerShow& show(int32_t number) { return shows[static_cast<size_t>(number - 1)]; }
  const LayerShow& show(int32_t number) const { return shows[static_cast<size_t>(number - 1)]; }
  // Layer `number` of the record in use; null when it has none.
  LogoSettings* layerInUse(int32_t number) { return findLayer(recordInUse(), number); }
  const LogoSettings* layerInUse(int32_t number) const { return findLayer(recordInUse(), number); }

  // 1 and 2: the processor lacks SSE; frames pass through, no dialog.
  bool processorLacksSse() const { return cpuClass == 1 || cpuClass == 2; }
};

// The module's one instance.
PluginState& pluginState();

}  // namespace om
