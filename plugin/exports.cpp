// The two exports, the descriptor and the six entry points. Every entry point
// absorbs whatever goes wrong inside it: nothing crosses into the host.

#include "common/plugin_identity.h"
#include "platform/dialog_messages.h"
#include "platform/entry_guard.h"
#include "plugin/channel_ops.h"
#include "plugin/frame_pipeline.h"
#include "plugin/host_api.h"
#include "plugin/plugin_state.h"
#include "plugin/tick.h"
#include "settings/settings_location.h"

namespace om {

namespace {

void TULVANE_CDECL PluginInit(HostInitInfo* info) {
  EntryGuard guard;
  try {
    PluginState& state = pluginState();
    if (state.initialized) {
      // A second PluginInit keeps the loaded table; only the host's values change.
      if (info) {
        state.hostValue = info->hostValue;
        state.channelExists = info->channelExists;
      }
      return;
    }
    state.hostValue = info ? info->hostValue : 0;
    state.channelExists = info ? info->channelExists : nullptr;
    locateSettingsFile(state.store);
    loadSettings(state);
    state.initialized = true;
    state.follower.start();
  } catch (...) {
  }
}

int32_t TULVANE_CDECL PluginSetFormat(VideoFormatInfo* format) {
  EntryGuard guard;
  if (!format) return 1;
  try {
    PluginState& state = pluginState();
    // The dialog's thread reads the format while it rebuilds the overlay, so
    // the new format goes in under the same lock (the frame path never calls
    // us while it holds it).
    platform::LockGuard hold(state.frameLock);
    // The pictures shown wait in the cache, their overlays made for the
    // format they leave; the next frame switches and brings them back.
    if (state.initialized)
      for (int32_t number = 1; number <= kMaxLayers; ++number) state.pictureCache.keep(state, number);
    state.formatExtra = format->formatExtra;
    state.cpuClass = format->cpuClass;
    state.setFormat(format->width, format->height, format->pixelFormat);
    state.previewScaler.setMargins(0, 0);
    state.currentChannelId = 0;
  } catch (...) {
  }
  return 1;
}

int32_t TULVANE_CDECL PluginProcessFrame(FrameInfo* frame) {
  EntryGuard guard;
  PluginState& state = pluginState();
  if (!frame || !frame->pixels) return 0;
  if (state.processorLacksSse()) return 0;
  // Before PluginInit there is no common record to index.
  if (!state.initialized || !frame->channel) return 0;
  try {
    return runFramePipeline(state, *frame);
  } catch (...) {
    return 1;  // the lock guard has already released FrameLock
  }
}

void TULVANE_CDECL PluginStop() { EntryGuard guard; }

void TULVANE_CDECL PluginConfigure(ConfigureInfo* info) {
  EntryGuard guard;
  try {
    PluginState& state = pluginState();
    void* parent = info ? info->parentWindow : nullptr;
    if (state.processorLacksSse()) {
      platform::showNoSseMessage(parent);
      return;
    }
    if (!state.initialized) return;
    state.dialog.open(state.dialogModel, parent);
  } catch (...) {
  }
}

void TULVANE_CDECL PluginShutdown() {
  EntryGuard guard;
  try {
    PluginState& state = pluginState();
    // No picture is put in place behind the save, nor after the last call.
    state.follower.stop();
    state.dialog.destroyWindow();
    {
      // A streamed animation's decoder goes here, not in a static destructor
      // that Windows runs under its loader lock; the next frame after a new
      // PluginInit loads the picture again.
      platform::LockGuard hold(state.frameLock);
      for (LayerShow& show : state.shows) {
        show.logo.clear();
        show.logoLoaded = 0;
      }
      state.pictureCache.clear();
      state.currentChannelId = 0;
    }
    // Saving without a loaded table would overwrite the user's file with defaults.
    if (state.initialized) saveSettings(state);
    state.initialized = false;
  } catch (...) {
  }
}

PluginDescriptor g_descriptor = {
    kPluginName,        kPluginDescription, &PluginInit,      &PluginSetFormat,
    &PluginProcessFrame, &PluginStop,       &PluginConfigure, &PluginShutdown,
};

}  // namespace
}  // namespace om

extern "C" {

int32_t TULVANE_CDECL Tulvane_Plugin_Version(void) { return TULVANE_PLUGIN_INTERFACE_VERSION; }

PluginDescriptor* TULVANE_CDECL Tulvane_Plugin_PR(void) { return &om::g_descriptor; }

void TULVANE_CDECL Tulvane_Plugin_SetTickSource(TickSourceFn source) {
  om::setTickSource(source);
}

uint64_t TULVANE_CDECL Tulvane_Plugin_PictureCacheBytes(void) {
  om::PluginState& state = om::pluginState();
  om::platform::LockGuard hold(state.frameLock);
  return state.pictureCache.pictureBytes() + state.pictureCache.overlayBytes();
}

}  // extern "C"
