// The settings dialog's view of the plug-in's state (dialog/dialog_model.h),
// over PluginState.
#pragma once

#include "dialog/dialog_model.h"

namespace om {

struct PluginState;

class PluginDialogModel final : public DialogModel {
 public:
  explicit PluginDialogModel(PluginState& state) : state_(state) {}

  platform::Lock& frameLock() override;
  LogoSettings* layerInUse() override;
  std::vector<int32_t> layerNumbers() override;
  int32_t selectedLayer() override;
  void selectLayer(int32_t number) override;
  int32_t addLayer() override;
  void removeLayer() override;
  void reloadLayers() override;
  int32_t privateSettings() const override;
  void setPrivateSettings(int32_t on) override;
  std::string channelName() const override;
  bool logoLoaded() const override;
  bool pictureSize(int32_t& width, int32_t& height) const override;
  int32_t frameHeight() const override;
  void reloadLogo() override;
  std::unique_ptr<DecodedPicture> decodePicture(const std::string& path) override;
  void installPicture(const std::string& path, DecodedPicture& picture) override;
  void rebuildOverlay() override;
  void restartShowTiming() override;
  void backUpTable() override;
  void restoreTable() override;
  void drawPreview(PreviewPane& pane) override;
  std::string openFileFilter() override;

 private:
  ChannelRecord* recordInUse();

  PluginState& state_;
};

}  // namespace om
