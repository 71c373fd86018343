#include "plugin/plugin_dialog_model.h"

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

int32_t PluginDialogModel::privateSettings() const { return state_.privateSettings; }

void PluginDialogModel::setPrivateSettings(int32_t on) {
  state_.privateSettings = on;
  selectChannelRecord(state_);
}

std::string PluginDialogModel::channelName() const { return state_.currentChannelName; }

bool PluginDialogModel::logoLoaded() const { return state_.logoLoaded != 0; }

bool PluginDialogModel::pictureSize(int32_t& width, int32_t& height) const {
  if (!state_.logoLoaded) return false;
  const LogoFrame& frame = state_.logo.current();
  width = frame.width;
  height = frame.height;
  return true;
}

int32_t PluginDialogModel::frameHeight() const { return state_.canvas.height(); }

void PluginDialogModel::reloadLogo() { om::reloadLogo(state_); }

namespace {

struct Picture final : DecodedPicture {
  LogoImage logo;
  bool loaded = false;
  bool forgetName = false;  // decided with the decode, off the lock
};

}  // namespace

std::unique_ptr<DecodedPicture> PluginDialogModel::decodePicture(const std::string& path) {
  auto picture = std::make_unique<Picture>();
  picture->loaded = picture->logo.LoadFromFile(path.c_str());
  picture->forgetName = !picture->loaded && forgetsNameOfFailedPicture(path);
  return picture;
}

void PluginDialogModel::installPicture(const std::string& path, DecodedPicture& decoded) {
  Picture& picture = static_cast<Picture&>(decoded);
  ChannelRecord* record = recordInUse();
  if (!record) return;
  // What reloadLogo() would leave after setting the name, decoded earlier.
  record->LogoFileName = path;
  state_.logo.swap(picture.logo);
  state_.logoLoaded = picture.loaded ? 1 : 0;
  if (picture.forgetName) record->LogoFileName.clear();
  picture.loaded = false;
}

void PluginDialogModel::rebuildOverlay() { om::rebuildOverlay(state_); }

void PluginDialogModel::restartShowTiming() { state_.restartShowTiming = true; }

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

void PluginDialogModel::drawPreview(PreviewPane& pane) { om::drawPreview(state_, pane); }

std::string PluginDialogModel::openFileFilter() { return LogoImage::BuildOpenFilter(); }

}  // namespace om
