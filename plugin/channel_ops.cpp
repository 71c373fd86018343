#include "plugin/channel_ops.h"

#include "common/muldiv.h"
#include "dialog/preview_pane.h"
#include "platform/files.h"
#include "platform/dialog_messages.h"
#include "plugin/plugin_state.h"
#include "settings/settings_model.h"

namespace om {

void loadSettings(PluginState& state) {
  StoredSettings stored;
  loadSettingsFile(state.store, stored);
  state.defaultRecord = stored.defaultRecord;
  state.hasDefaultSection = stored.hasDefaultSection;
  state.dialog.dialogPosX = stored.dialogPosX;
  state.dialog.dialogPosY = stored.dialogPosY;
  state.privateSettings = stored.privateSettings;
  state.channelTable.swap(stored.channelTable);
  state.keptText = std::move(stored.kept);
  state.currentIndex = 0;
}

void saveSettings(PluginState& state) {
  StoredSettings stored;
  stored.defaultRecord = state.defaultRecord;
  stored.hasDefaultSection = state.hasDefaultSection;
  stored.dialogPosX = state.dialog.dialogPosX;
  stored.dialogPosY = state.dialog.dialogPosY;
  stored.privateSettings = state.privateSettings;
  // Handed over for the save and taken back, so the table is not copied.
  stored.channelTable.swap(state.channelTable);
  std::swap(stored.kept, state.keptText);
  ChannelKnownFn known;
  if (const ChannelExistsFn exists = state.channelExists)
    known = [exists](int64_t id) { return exists(id) != 0; };
  saveSettingsFile(state.store, stored, known);
  state.channelTable.swap(stored.channelTable);
  std::swap(stored.kept, state.keptText);
}

void selectChannelRecord(PluginState& state) {
  bool appended = false;
  state.currentIndex = findChannelRecord(state.channelTable, state.defaultRecord,
                                         state.currentChannelId, state.privateSettings, appended);
  // The backup taken when the dialog opened gets the record at the same
  // index, so a cancelled dialog keeps channels first seen while it was open.
  if (appended && state.dialog.hasWindow()) state.channelTableBackup.push_back(state.recordInUse());
}

void reloadLogo(PluginState& state) {
  ChannelRecord& record = state.recordInUse();
  const bool loaded = state.logo.LoadFromFile(record.LogoFileName.c_str());
  state.logoLoaded = loaded ? 1 : 0;
  if (!loaded && forgetsNameOfFailedPicture(record.LogoFileName)) record.LogoFileName.clear();
}

bool forgetsNameOfFailedPicture(const std::string& path) {
  // A picture whose folder cannot be reached (a drive not mounted, a share
  // not yet connected) may come back: its name stays for the next try.
  return platform::folderOfFileReachable(path);
}

void rebuildOverlay(PluginState& state) {
  if (state.channelTable.empty()) return;
  ChannelRecord& record = state.recordInUse();
  if (state.logoLoaded)
    state.overlayBuilder->rebuild(state.canvas, state.logo, record);
  else if (record.CoverMode != kCoverPicture)
    clampBareRectangle(record);
  prepareCover(state);
}

Rect coverRectangle(const PluginState& state) {
  const ChannelRecord& record = state.recordInUse();
  const FrameCanvas& canvas = state.canvas;
  Rect r;
  r.left = MulDiv(canvas.width(), record.LogoPosX, 1000);
  r.top = MulDiv(canvas.height(), record.LogoPosY, 1000);
  const Rect& content = canvas.overlay().content;
  const int32_t w = state.logoLoaded ? content.width() : MulDiv(canvas.width(), record.LogoSizeX, 1000);
  const int32_t h = state.logoLoaded ? content.height() : MulDiv(canvas.height(), record.LogoSizeY, 1000);
  r.right = r.left + (w > 0 ? w : 0);
  r.bottom = r.top + (h > 0 ? h : 0);
  return r;
}

void prepareCover(PluginState& state) {
  const ChannelRecord& record = state.recordInUse();
  const Rect r = coverRectangle(state);
  state.cover.prepare(state.canvas.layoutCode(), state.canvas.width(), state.canvas.height(),
                      r.width(), r.height(), static_cast<CoverMode>(record.CoverMode),
                      record.CoverStrength);
}

void rebuildSteppedOverlay(PluginState& state) {
  if (!state.logoLoaded) return;
  state.overlayBuilder->step(state.canvas, state.logo, state.recordInUse());
}

void notifyDialog(PluginState& state, int code) {
  if (state.dialog.hasWindow()) platform::postDialogNotify(state.dialog.window(), code);
}

void drawPreview(PluginState& state, PreviewPane& pane) {
  pane.clear();
  if (!pane.pixels() || !state.logoLoaded) return;
  const LogoFrame& frame = state.logo.current();
  if (!frame.pixels) return;
  const Rect& valid = frame.validRect;
  const Rect target = letterboxRect(valid.width(), valid.height(), pane.width(), pane.height());
  state.previewScaler.scale(frame.pixels, frame.width, frame.height, valid, pane.pixels(),
                            pane.width(), pane.height(), target);
}

}  // namespace om
