#include "dialog/setting_controls.h"

namespace om {

const SettingControl* settingControlFor(int32_t controlId) {
  for (const SettingControl& control : kSettingControls)
    if (control.id == controlId || (control.spinId != 0 && control.spinId == controlId))
      return &control;
  return nullptr;
}

bool othersFollow(const SettingControl& control) {
  for (const SettingControl& other : kSettingControls)
    if (other.enabledBy == control.setting || other.disabledBy == control.setting) return true;
  return false;
}

bool parseNumberText(const std::string& text, int32_t& value) {
  if (text.empty()) return false;
  int64_t v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > INT32_MAX) v = INT32_MAX;  // a long pasted number stays large
  }
  value = static_cast<int32_t>(v);
  return true;
}

}  // namespace om
