// The single module-wide state shared by the entry points, the dialog and
// the compositor, and FrameLock, the one lock that guards it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "compositing/frame_canvas.h"
#include "compositing/frame_cover.h"
#include "dialog/preview_scaler.h"
#include "dialog/settings_dialog.h"
#include "logo/logo_image.h"
#include "logo/overlay.h"
#include "plugin/animation_ahead.h"
#include "platform/lock.h"
#include "plugin/file_follower.h"
#include "plugin/host_api.h"
#include "plugin/plugin_dialog_model.h"
#include "settings/profile_store.h"
#include "settings/settings_model.h"

namespace om {

struct PluginState {
  // Guarded by frameLock: the table and the record in use, currentIndex,
  // currentChannelId/Name, logo, logoLoaded, nextFrameDue, the show timing,
  // the overlay and its builder, the cover, the canvas's format, and the
  // preview scaler.
  platform::Lock frameLock;

  int32_t hostValue = 0;
  ChannelExistsFn channelExists = nullptr;
  // The rest of the format lives in the canvas.
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

  LogoImage logo;
  int32_t logoLoaded = 0;
  uint32_t nextFrameDue = 0;
  // The tick the logo's show timing counts from: the channel switch, or the
  // first frame after the dialog changed the timing.
  uint32_t showStart = 0;
  // The same moment for the drift against burn-in, settled on its own orbit.
  uint32_t driftStart = 0;
  bool restartShowTiming = false;
  // A picture put in place away from a channel switch: the next frame
  // starts its animation clock.
  bool restartAnimationClock = false;

  FrameCanvas canvas;
  // Held by pointer: a picture prepared aside brings its own, swapped in.
  std::unique_ptr<OverlayBuilder> overlayBuilder = std::make_unique<OverlayBuilder>();
  // The record's cover, made ready at rebuilds for its rectangle.
  FrameCover cover;
  PreviewScaler previewScaler;
  ProfileStore store;
  SettingsDialog dialog;
  PluginDialogModel dialogModel{*this};
  // Used by the follower's thread, which also draws streamed frames ahead.
  AnimationAhead animationAhead;
  // Last: its thread is stopped before anything it reads is destroyed.
  FileFollower follower{*this};

  ChannelRecord& recordInUse() { return channelTable[static_cast<size_t>(currentIndex)]; }
  const ChannelRecord& recordInUse() const { return channelTable[static_cast<size_t>(currentIndex)]; }

  // 1 and 2: the processor lacks SSE; frames pass through, no dialog.
  bool processorLacksSse() const { return cpuClass == 1 || cpuClass == 2; }
};

// The module's one instance.
PluginState& pluginState();

}  // namespace om
