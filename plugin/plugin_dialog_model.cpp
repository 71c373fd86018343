#include "plugin/plugin_dialog_model.h"

#include "logo/image_codec.h"
#include "logo/logo_image.h"
#include "plugin/channel_ops.h"
#include "plugin/plugin_state.h"

namespace om {

platform::Lock& PluginDialogModel::frameLock() { return state_.frameLock; }

ChannelRecord* PluginDialogModel::recordInUse() {
  const int32_t index = state_.currentIndex;
  if (index < 0 || static_cast<size_t>(index) >= state_.channelTable.size()) return nullptr;
  return &state_.channelTable[static_cast<size_t>(index)];
}

LogoSettings* PluginDialogModel::layerInUse() {
  ChannelRecord* record = recordInUse();
  if (!record) return nullptr;
  if (LogoSettings* layer = findLayer(*record, state_.dialogLayer)) return layer;
  state_.dialogLayer = 1;  // the layer chosen is gone: removed, cancelled, another channel's
  return record;
}

std::vector<int32_t> PluginDialogModel::layerNumbers() {
  std::vector<int32_t> numbers;
  const ChannelRecord* record = recordInUse();
  if (!record) return numbers;
  numbers.push_back(1);
  for (const LayerSettings& layer : record->layers) numbers.push_back(layer.number);
  return numbers;
}

int32_t PluginDialogModel::selectedLayer() {
  layerInUse();
  return state_.dialogLayer;
}

void PluginDialogModel::selectLayer(int32_t number) {
  ChannelRecord* record = recordInUse();
  if (record && findLayer(*record, number)) state_.dialogLayer = number;
}

int32_t PluginDialogModel::addLayer() {
  ChannelRecord* record = recordInUse();
  if (!record) return 0;
  const int32_t number = om::addLayer(*record);
  if (number == 0) return 0;
  state_.dialogLayer = number;
  // The show may hold what a layer of that number showed before.
  om::reloadLogo(state_, number);
  om::rebuildOverlay(state_, number);
  return number;
}

void PluginDialogModel::removeLayer() {
  ChannelRecord* record = recordInUse();
  const int32_t number = state_.dialogLayer;
  if (!record || number == 1 || !om::removeLayer(*record, number)) return;
  om::reloadLogo(state_, number);  // the record lacks it: its picture goes
  int32_t before = 1;
  for (const LayerSettings& layer : record->layers)
    if (layer.number < number) before = layer.number;
  state_.dialogLayer = before;
}

void PluginDialogModel::reloadLayers() {
  if (!recordInUse()) return;
  om::reloadLayers(state_);
}

int32_t PluginDialogModel::privateSettings() const { return state_.privateSettings; }

void PluginDialogModel::setPrivateSettings(int32_t on) {
  state_.privateSettings = on;
  selectChannelRecord(state_);
}

std::string PluginDialogModel::channelName() const { return state_.currentChannelName; }

bool PluginDialogModel::logoLoaded() const { return state_.show(state_.dialogLayer).logoLoaded != 0; }

bool PluginDialogModel::pictureSize(int32_t& width, int32_t& height) const {
  const LayerShow& show = state_.show(state_.dialogLayer);
  if (!show.logoLoaded) return false;
  const LogoFrame& frame = show.logo.current();
  width = frame.width;
  height = frame.height;
  return true;
}

int32_t PluginDialogModel::frameHeight() const { return state_.format().height(); }

void PluginDialogModel::reloadLogo() {
  if (layerInUse()) om::reloadLogo(state_, state_.dialogLayer);
}

namespace {

struct Picture final : DecodedPicture {
  LogoImage logo;
  bool loaded = false;
  bool forgetName = false;  // decided with the decode, off the lock
};

}  // namespace

std::unique_ptr<DecodedPicture> PluginDialogModel::decodePicture(const std::string& path) {
  auto picture = std::make_unique<Picture>();
  // Within what the other layers leave of the picture budget.
  uint64_t left = 0;
  {
    platform::LockGuard hold(state_.frameLock);
    left = pictureBudgetLeft(state_, state_.dialogLayer);
  }
  picture->loaded = picture->logo.LoadFromFile(path.c_str(), Truncated::kShowsWhatDecoded, left, left);
  picture->forgetName =
      !picture->loaded && !picture->logo.refusedByBudget() && forgetsNameOfFailedPicture(path);
  return picture;
}

void PluginDialogModel::installPicture(const std::string& path, DecodedPicture& decoded) {
  Picture& picture = static_cast<Picture&>(decoded);
  LogoSettings* layer = layerInUse();
  if (!layer) return;
  // What reloadLogo() would leave after setting the name, decoded earlier.
  layer->LogoFileName = path;
  LayerShow& show = state_.show(state_.dialogLayer);
  show.logo.swap(picture.logo);
  show.logoLoaded = picture.loaded ? 1 : 0;
  if (picture.forgetName) layer->LogoFileName.clear();
  picture.loaded = false;
}

void PluginDialogModel::rebuildOverlay() {
  if (layerInUse()) om::rebuildOverlay(state_, state_.dialogLayer);
}

void PluginDialogModel::restartShowTiming() {
  if (layerInUse()) state_.show(state_.dialogLayer).restartShowTiming = true;
}

void PluginDialogModel::backUpTable() {
  ChannelTable copy = state_.channelTable;
  state_.channelTableBackup.swap(copy);
}

void PluginDialogModel::restoreTable() {
  ChannelTable& table = state_.channelTable;
  ChannelTable restored = state_.channelTableBackup;
  for (size_t i = restored.size(); i < table.size(); ++i) restored.push_back(table[i]);
  table.swap(restored);
}

void PluginDialogModel::drawPreview(PreviewPane& pane) {
  layerInUse();
  om::drawPreview(state_, pane, state_.dialogLayer);
}

std::string PluginDialogModel::openFileFilter() { return LogoImage::BuildOpenFilter(); }

}  // namespace om
