// The dialog's and the about box's own texts, as Windows-1251 bytes; the
// window layer shows them through common/cp1251.h.
#pragma once

#include <cstdint>

namespace om {
namespace texts {

// Set at run time.
extern const char kNoLogo[];          // "Л о г о т и п   н е   в ы б р а н"
extern const char kOpacityWarning[];  // "Значение прозрачности должно быть цифрой от 0 до 100"

// Tooltips.
extern const char kTipPreview[];         // 5121
extern const char kTipColorKeyEnable[];  // 5138
extern const char kTipLeftTopPixel[];    // 5137
extern const char kTipColorSwatch[];     // 5100
extern const char kTipChooseLogo[];      // 5115
extern const char kTipRemoveLogo[];      // 5116

// Template texts.
extern const char kDialogCaption[];     // also the about box's name line
extern const char kGroupChannel[];      // 5149
extern const char kGroupLogoFile[];     // 5148
extern const char kColorKeyEnable[];    // 5138
extern const char kLeftTopPixel[];      // 5137
extern const char kPrivateSettings[];   // 5070
extern const char kShowLogo[];          // 5120
extern const char kOpacityLabel[];      // 5130
extern const char kAboutButton[];       // 5008
extern const char kOkButton[];          // 5002, Cyrillic letters
extern const char kCancelButton[];      // 5103
extern const char kAboutVersion[];      // "Ver.1.03"
extern const char kAboutOk[];           // "OK", Latin letters

// The tooltip of a control, or null when it has none.
const char* tooltipFor(int32_t controlId);

}  // namespace texts

}  // namespace om
