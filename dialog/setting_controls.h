// The controls that show a setting of the record in use, one row each. The
// dialog's refresh, its enabling and its commands walk these rows. The rows
// are written with the dialog's templates from the tables of
// dialog/resources/draw_resources.py, where a control is one row: a new
// setting in the dialog is its row in kSettingRows and its row there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dialog/dialog_ids.h"
#include "settings/settings_model.h"

namespace om {

enum class ControlKind {
  CheckBox,     // a flag, 0 or 1
  Number,       // a decimal edit with an up-down
  Choice,       // a drop-down list; the value is the item's index
  ColorButton,  // a swatch showing the colour, which a click chooses anew
};

// What a change does besides storing the value.
enum class ChangeEffect {
  NextFrame,     // the frame path reads the field on every frame
  Rebuild,       // the overlay is prepared anew
  RestartsShow,  // the show timing starts again, so the change is seen at once
};

enum class NeedsPicture : uint8_t { No, Yes };

struct SettingControl {
  int32_t id;       // the check box, the edit, the list or the button
  int32_t spinId;   // a number's up-down, else 0
  int32_t labelId;  // the label beside it, else 0 (enabled with it)
  ControlKind kind;
  // The setting it shows; its range is the setting's.
  const SettingRow* setting;
  NeedsPicture needsPicture;
  // Enabled only while this setting of the record is on, and while that one
  // is off; null: no such condition.
  const SettingRow* enabledBy;
  const SettingRow* disabledBy;
  ChangeEffect effect;
  // Shown when a typed number is out of range, which keeps the value; null:
  // the number is clamped into the range.
  const char* outOfRangeWarning;
  // A choice's item texts (Windows-1251), one per value of the range.
  const char* const* items;
  // The values of enabledBy's setting that enable it, one bit each: by
  // default every value but 0.
  uint32_t enabledValues = kAnyValueButZero;
  // A range narrower than the setting's (the rectangle's thousandths, which
  // the file keeps as written); ownMax < ownMin: the setting's.
  int32_t ownMin = 0;
  int32_t ownMax = -1;

  static constexpr uint32_t kAnyValueButZero = ~uint32_t{1};
  int32_t min() const { return ownMax < ownMin ? setting->min : ownMin; }
  int32_t max() const { return ownMax < ownMin ? setting->max : ownMax; }
  // Whether enabledBy's value `v` enables the control.
  bool enabledAt(int32_t v) const {
    return v >= 0 && v < 32 ? ((enabledValues >> v) & 1) != 0 : v != 0;
  }
  int32_t value(const LogoSettings& record) const {
    return static_cast<int32_t>(setting->value(record));
  }
  void setValue(LogoSettings& record, int32_t v) const { setting->setValue(record, v); }
};

// The row of a setting by its key, none for an empty key: a control table
// naming a key no setting has does not compile. (Indices, not pointers, are
// compared: sanitizer builds cannot compare addresses at compile time.)
constexpr const SettingRow* settingFor(std::string_view key) {
  return key.empty()                             ? nullptr
         : settingIndex(key) < kSettingsKeyCount ? &kSettingRows[settingIndex(key)]
                                                 : throw "no setting has this key";
}

constexpr SettingControl checkBoxControl(int32_t id, std::string_view key, ChangeEffect effect,
                                         NeedsPicture needsPicture = NeedsPicture::Yes,
                                         std::string_view enabledBy = {}) {
  return {id,
          0,
          0,
          ControlKind::CheckBox,
          settingFor(key),
          needsPicture,
          settingFor(enabledBy),
          nullptr,
          effect,
          nullptr,
          nullptr};
}

constexpr SettingControl numberControl(int32_t id, int32_t spinId, int32_t labelId,
                                       std::string_view key, ChangeEffect effect,
                                       std::string_view enabledBy = {},
                                       const char* outOfRangeWarning = nullptr,
                                       NeedsPicture needsPicture = NeedsPicture::Yes,
                                       uint32_t enabledValues = SettingControl::kAnyValueButZero,
                                       int32_t ownMin = 0, int32_t ownMax = -1) {
  return {id,
          spinId,
          labelId,
          ControlKind::Number,
          settingFor(key),
          needsPicture,
          settingFor(enabledBy),
          nullptr,
          effect,
          outOfRangeWarning,
          nullptr,
          enabledValues,
          ownMin,
          ownMax};
}

template <size_t N>
constexpr SettingControl choiceControl(int32_t id, int32_t labelId, std::string_view key,
                                       const char* const (&items)[N], ChangeEffect effect,
                                       NeedsPicture needsPicture = NeedsPicture::Yes) {
  const SettingRow* row = settingFor(key);
  return {id,      0,       labelId, ControlKind::Choice, row,
          needsPicture, nullptr, nullptr, effect, nullptr,
          row->min == 0 && row->max == static_cast<int32_t>(N) - 1 ? items
                                                                   : throw "one item per value"};
}

// The key colour's swatch: a button that opens the colour chooser.
constexpr SettingControl colorButtonControl(int32_t id, std::string_view key,
                                            std::string_view enabledBy, std::string_view disabledBy) {
  return {id,      0,       0,       ControlKind::ColorButton, settingFor(key),
          NeedsPicture::Yes, settingFor(enabledBy), settingFor(disabledBy), ChangeEffect::Rebuild,
          nullptr, nullptr};
}

inline constexpr const char* kVideoColorsItems[] = {
    texts::kVideoColorsFullBt601, texts::kVideoColorsAutomatic, texts::kVideoColorsTvBt601,
    texts::kVideoColorsTvBt709,   texts::kVideoColorsFullBt709,
};

inline constexpr const char* kCoverModeItems[] = {
    texts::kCoverModePicture, texts::kCoverModeErase, texts::kCoverModeBlur,
    texts::kCoverModeMosaic,
};

inline constexpr SettingControl kSettingControls[] = {
#include "dialog/setting_control_rows.inc"
};
constexpr size_t kSettingControlCount = sizeof kSettingControls / sizeof kSettingControls[0];

// Whether some control's enabling follows this one's setting: a change then
// refreshes the enabling.
bool othersFollow(const SettingControl& control);

// The row of a control (its id, or its up-down's); null when none shows a setting.
const SettingControl* settingControlFor(int32_t controlId);

// A number's text: unsigned decimal digits (a huge number reads as
// INT32_MAX); false for an empty text or any other character.
bool parseNumberText(const std::string& text, int32_t& value);

}  // namespace om
