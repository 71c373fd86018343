// The controls that show a setting of the record in use, one row each. The
// dialog's refresh, its enabling and its commands walk these rows, so a new
// setting in the dialog is a row here and its control in the resource
// tables (dialog/resources/draw_resources.py).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dialog/dialog_ids.h"
#include "settings/settings_model.h"

namespace om {

enum class ControlKind {
  CheckBox,  // a flag, 0 or 1
  Number,    // a decimal edit with an up-down
  Choice,    // a drop-down list; the value is the item's index
};

// What a change does besides storing the value.
enum class ChangeEffect {
  NextFrame,     // the frame path reads the field on every frame
  Rebuild,       // the overlay is prepared anew
  RestartsShow,  // the show timing starts again, so the change is seen at once
};

struct SettingControl {
  int32_t id;       // the check box, the edit or the list
  int32_t spinId;   // a number's up-down, else 0
  int32_t labelId;  // the label beside it, else 0 (enabled with it)
  ControlKind kind;
  // The field: number for Number and Choice, flag for CheckBox.
  int32_t LogoSettings::*number;
  uint32_t LogoSettings::*flag;
  int32_t min, max;  // a number's range; a choice's last index is max
  bool needsPicture;
  // Enabled only while this flag of the record is on too; null: no such flag.
  uint32_t LogoSettings::*enabledBy;
  ChangeEffect effect;
  // A number out of range brings the opacity warning and keeps the value;
  // otherwise it is clamped into the range.
  bool warnsOutOfRange;
  // A choice's item texts (Windows-1251), max + 1 of them.
  const char* const* items;
};


constexpr SettingControl checkBoxControl(int32_t id, uint32_t LogoSettings::*flag,
                                         ChangeEffect effect,
                                         uint32_t LogoSettings::*enabledBy = nullptr) {
  return {id, 0, 0, ControlKind::CheckBox, nullptr, flag, 0, 1, true, enabledBy, effect, false,
          nullptr};
}
// A check box over a number field that holds 0 or 1.
constexpr SettingControl checkBoxControl(int32_t id, int32_t LogoSettings::*field,
                                         ChangeEffect effect, bool needsPicture) {
  return {id,      0,      0,     ControlKind::CheckBox, field, nullptr, 0, 1, needsPicture,
          nullptr, effect, false, nullptr};
}

constexpr SettingControl numberControl(int32_t id, int32_t spinId, int32_t labelId,
                                       int32_t LogoSettings::*field, int32_t min, int32_t max,
                                       ChangeEffect effect,
                                       uint32_t LogoSettings::*enabledBy = nullptr,
                                       bool warnsOutOfRange = false) {
  return {id,   spinId, labelId, ControlKind::Number, field,           nullptr,
          min,  max,    true,    enabledBy,           effect,          warnsOutOfRange,
          nullptr};
}

template <size_t N>
constexpr SettingControl choiceControl(int32_t id, int32_t labelId, int32_t LogoSettings::*field,
                                       const char* const (&items)[N], ChangeEffect effect) {
  return {id,    0,       labelId, ControlKind::Choice, field, nullptr, 0, static_cast<int32_t>(N) - 1,
          true,  nullptr, effect,  false,               items};
}

inline constexpr const char* kVideoColorsItems[] = {
    texts::kVideoColorsFullBt601, texts::kVideoColorsAutomatic, texts::kVideoColorsTvBt601,
    texts::kVideoColorsTvBt709,   texts::kVideoColorsFullBt709,
};

inline constexpr SettingControl kSettingControls[] = {
    checkBoxControl(kIdShowLogo, &LogoSettings::ShowLogo, ChangeEffect::NextFrame),
    checkBoxControl(kIdColorKeyEnable, &LogoSettings::ColorKeyEnable, ChangeEffect::Rebuild),
    checkBoxControl(kIdLeftTopPixel, &LogoSettings::LeftTopPixelColor, ChangeEffect::Rebuild,
                    &LogoSettings::ColorKeyEnable),
    numberControl(kIdOpacityEdit, kIdOpacitySpin, kIdOpacityLabel, &LogoSettings::LogoOpacity,
                  kOpacityMin, kOpacityMax, ChangeEffect::NextFrame, nullptr, true),
    numberControl(kIdToleranceEdit, kIdToleranceSpin, kIdToleranceLabel,
                  &LogoSettings::KeyTolerance, 0, 100, ChangeEffect::Rebuild,
                  &LogoSettings::ColorKeyEnable),
    numberControl(kIdSoftnessEdit, kIdSoftnessSpin, kIdSoftnessLabel, &LogoSettings::KeySoftness,
                  0, 100, ChangeEffect::Rebuild, &LogoSettings::ColorKeyEnable),
    choiceControl(kIdVideoColors, kIdVideoColorsLabel, &LogoSettings::VideoColors,
                  kVideoColorsItems, ChangeEffect::Rebuild),
    numberControl(kIdFadeEdit, kIdFadeSpin, kIdFadeLabel, &LogoSettings::FadeMs, 0, 10000,
                  ChangeEffect::RestartsShow),
    numberControl(kIdEveryEdit, kIdEverySpin, kIdEveryLabel, &LogoSettings::ShowEveryMinutes, 0,
                  1440, ChangeEffect::RestartsShow),
    numberControl(kIdForEdit, kIdForSpin, kIdForLabel, &LogoSettings::ShowForSeconds, 1, 3600,
                  ChangeEffect::RestartsShow),
    // A name kept for a folder that is not there yet is followed too.
    checkBoxControl(kIdFollowFile, &LogoSettings::FollowFile, ChangeEffect::NextFrame, false),
};
constexpr size_t kSettingControlCount = sizeof kSettingControls / sizeof kSettingControls[0];

// The row of a control (its id, or its up-down's); null when none shows a setting.
const SettingControl* settingControlFor(int32_t controlId);

// A number's text: unsigned decimal digits (a huge number reads as
// INT32_MAX); false for an empty text or any other character.
bool parseNumberText(const std::string& text, int32_t& value);

}  // namespace om
