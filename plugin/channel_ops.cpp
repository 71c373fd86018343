#include "plugin/channel_ops.h"

#include "common/muldiv.h"
#include "dialog/preview_pane.h"
#include "logo/image_codec.h"
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

uint64_t pictureBudgetLeft(const PluginState& state, int32_t number, int32_t below) {
  uint64_t held = 0;
  for (int32_t other = 1; other < below; ++other)
    if (other != number) held += state.show(other).logo.budgetHeld();
  return held < state.pictureBudget ? state.pictureBudget - held : 0;
}

namespace {

void loadLayer(PluginState& state, int32_t number, uint64_t budget) {
  LayerShow& show = state.show(number);
  LogoSettings* layer = state.layerInUse(number);
  if (!layer) {
    show.logo.clear();
    show.logoLoaded = 0;
    return;
  }
  const bool loaded = show.logo.LoadFromFile(layer->LogoFileName.c_str(), Truncated::kShowsWhatDecoded,
                                             budget, budget);
  show.logoLoaded = loaded ? 1 : 0;
  // A picture that did not fit beside the other layers keeps its name.
  if (!loaded && !show.logo.refusedByBudget() && forgetsNameOfFailedPicture(layer->LogoFileName))
    layer->LogoFileName.clear();
}

// Every layer's picture, in number order, from `cache` when it has it ready.
void loadLayers(PluginState& state, PictureCache* cache) {
  // Layers the record lacks let go first, so their memory is free for the rest.
  for (int32_t number = 1; number <= kMaxLayers; ++number)
    if (!state.layerInUse(number)) loadLayer(state, number, 0);
  for (int32_t number = 1; number <= kMaxLayers; ++number) {
    if (!state.layerInUse(number) || (cache && cache->putInPlace(state, number))) continue;
    loadLayer(state, number, pictureBudgetLeft(state, number, number));
    rebuildOverlay(state, number);
  }
  // What came from the files makes room for itself among the pictures kept.
  if (cache) cache->trim(state);
}

}  // namespace

void reloadLogo(PluginState& state, int32_t number) {
  loadLayer(state, number, pictureBudgetLeft(state, number, kMaxLayers + 1));
}

void reloadLayers(PluginState& state) { loadLayers(state, nullptr); }

void bringInLayers(PluginState& state) { loadLayers(state, &state.pictureCache); }

bool forgetsNameOfFailedPicture(const std::string& path) {
  // A picture whose folder cannot be reached (a drive not mounted, a share
  // not yet connected) may come back: its name stays for the next try.
  return platform::folderOfFileReachable(path);
}

uint64_t preparedBudgetLeft(const PluginState& state, int32_t number) {
  uint64_t held = 0;
  for (int32_t other = 1; other <= kMaxLayers; ++other)
    if (other != number) held += state.show(other).overlayBuilder->preparedBytes();
  const uint64_t budget = OverlayBuilder::kPreparedBudgetBytes;
  return held < budget ? budget - held : 0;
}

void rebuildOverlay(PluginState& state, int32_t number) {
  if (state.channelTable.empty()) return;
  LogoSettings* layer = state.layerInUse(number);
  if (!layer) return;
  LayerShow& show = state.show(number);
  if (show.logoLoaded) {
    show.overlayBuilder->setPreparedBudget(preparedBudgetLeft(state, number));
    show.overlayBuilder->rebuild(show.canvas, show.logo, *layer);
  } else if (layer->CoverMode != kCoverPicture) {
    clampBareRectangle(*layer);
  }
  prepareCover(state, number);
}

Rect coverRectangle(const PluginState& state, int32_t number) {
  const LogoSettings& layer = *state.layerInUse(number);
  const LayerShow& show = state.show(number);
  const FrameCanvas& canvas = show.canvas;
  Rect r;
  r.left = MulDiv(canvas.width(), layer.LogoPosX, 1000);
  r.top = MulDiv(canvas.height(), layer.LogoPosY, 1000);
  const Rect& content = canvas.overlay().content;
  const int32_t w = show.logoLoaded ? content.width() : MulDiv(canvas.width(), layer.LogoSizeX, 1000);
  const int32_t h = show.logoLoaded ? content.height() : MulDiv(canvas.height(), layer.LogoSizeY, 1000);
  r.right = r.left + (w > 0 ? w : 0);
  r.bottom = r.top + (h > 0 ? h : 0);
  return r;
}

void prepareCover(PluginState& state, int32_t number) {
  const LogoSettings* layer = state.layerInUse(number);
  if (!layer) return;
  LayerShow& show = state.show(number);
  const Rect r = coverRectangle(state, number);
  const FrameCanvas& canvas = show.canvas;
  show.cover.prepare(canvas.layoutCode(), canvas.width(), canvas.height(), r.width(), r.height(),
                     static_cast<CoverMode>(layer->CoverMode), layer->CoverStrength);
}

void rebuildSteppedOverlay(PluginState& state, int32_t number) {
  LayerShow& show = state.show(number);
  LogoSettings* layer = state.layerInUse(number);
  if (!show.logoLoaded || !layer) return;
  show.overlayBuilder->setPreparedBudget(preparedBudgetLeft(state, number));
  show.overlayBuilder->step(show.canvas, show.logo, *layer);
}

void notifyDialog(PluginState& state, int code) {
  if (state.dialog.hasWindow()) platform::postDialogNotify(state.dialog.window(), code);
}

void drawPreview(PluginState& state, PreviewPane& pane, int32_t number) {
  pane.clear();
  const LayerShow& show = state.show(number);
  if (!pane.pixels() || !show.logoLoaded) return;
  const LogoFrame& frame = show.logo.current();
  if (!frame.pixels) return;
  const Rect& valid = frame.validRect;
  const Rect target = letterboxRect(valid.width(), valid.height(), pane.width(), pane.height());
  state.previewScaler.scale(frame.pixels, frame.width, frame.height, valid, pane.pixels(),
                            pane.width(), pane.height(), target);
}

}  // namespace om
