// Resource and control ids of the settings dialog and the about box, and the
// dialog's two timers.
#pragma once

#include <cstdint>

namespace om {

enum DialogResourceId : int32_t {
  kSettingsDialogTemplate = 5000,
  kAboutDialogTemplate = 5002,
  kAboutBitmap = 5004,
  kMoveEmblemBitmap = 5011,
  kSizeEmblemBitmap = 5012,
  kChooseLogoIcon = 5015,
  kRemoveLogoIcon = 5016,
};

enum DialogControlId : int32_t {
  kIdOk = 5002,
  kIdAbout = 5008,
  kIdFileName = 5068,
  kIdPrivateSettings = 5070,
  kIdMoveLeft = 5082,
  kIdMoveRight = 5083,
  kIdMoveUp = 5084,
  kIdMoveDown = 5085,
  kIdSmaller = 5086,
  kIdLarger = 5087,
  kIdOpacityEdit = 5089,
  kIdOpacitySpin = 5090,
  kIdColorSwatch = 5100,
  kIdCancel = 5103,
  kIdTopLeft = 5107,
  kIdBottomLeft = 5108,
  kIdTopRight = 5109,
  kIdBottomRight = 5110,
  kIdHiddenGlyph = 5111,
  kIdChooseLogo = 5115,
  kIdRemoveLogo = 5116,
  kIdShowLogo = 5120,
  kIdPreview = 5121,
  kIdOpacityLabel = 5130,
  kIdLeftTopPixel = 5137,
  kIdColorKeyEnable = 5138,
  kIdChannelName = 5145,
  kIdFileGroup = 5148,
  kIdChannelGroup = 5149,
  kIdPlacementGroup = 5150,
};

// The press-and-hold buttons act through the mouse hook, not by click.
constexpr bool isRepeatButton(int32_t id) { return id >= kIdMoveLeft && id <= kIdLarger; }

enum DialogTimerId : int32_t {
  kHoldRepeatTimer = 1,
  kFlashTimer = 2,
};
constexpr uint32_t kHoldRepeatPeriodMs = 50;
constexpr uint32_t kFlashPeriodMs = 80;

// Up-down control 5090: range and the edit's text limit.
constexpr int32_t kOpacityMin = 0;
constexpr int32_t kOpacityMax = 100;
constexpr int32_t kOpacityTextLimit = 3;

}  // namespace om
