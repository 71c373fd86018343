// Resource and control ids of the settings dialog, its page of further
// settings and the about box, and their texts as Windows-1251 bytes.
// Written by dialog/resources/draw_resources.py from its tables; edit those.
#pragma once

#include <cstdint>

namespace om {

enum DialogResourceId : int32_t {
  kSettingsDialogTemplate = 5000,
  kAboutDialogTemplate = 5002,
  kMorePageTemplate = 5003,
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
  kIdMore = 5151,
  kIdKeyGroup = 5160,
  kIdToleranceLabel = 5161,
  kIdToleranceEdit = 5162,
  kIdToleranceSpin = 5163,
  kIdSoftnessLabel = 5164,
  kIdSoftnessEdit = 5165,
  kIdSoftnessSpin = 5166,
  kIdVideoColorsLabel = 5167,
  kIdVideoColors = 5168,
  kIdFadeLabel = 5171,
  kIdFadeEdit = 5172,
  kIdFadeSpin = 5173,
  kIdEveryLabel = 5174,
  kIdEveryEdit = 5175,
  kIdEverySpin = 5176,
  kIdForLabel = 5177,
  kIdForEdit = 5178,
  kIdForSpin = 5179,
  kIdFollowFile = 5180,
  kIdLayerLabel = 5206,
  kIdLayerList = 5207,
  kIdAddLayer = 5208,
  kIdRemoveLayer = 5209,
  kIdDriftLabel = 5200,
  kIdDriftEdit = 5201,
  kIdDriftSpin = 5202,
  kIdDriftEveryLabel = 5203,
  kIdDriftEveryEdit = 5204,
  kIdDriftEverySpin = 5205,
  kIdCoverModeLabel = 5183,
  kIdCoverMode = 5184,
  kIdStrengthLabel = 5185,
  kIdStrengthEdit = 5186,
  kIdStrengthSpin = 5187,
  kIdRectLeftLabel = 5188,
  kIdRectLeftEdit = 5189,
  kIdRectLeftSpin = 5190,
  kIdRectTopLabel = 5191,
  kIdRectTopEdit = 5192,
  kIdRectTopSpin = 5193,
  kIdRectWidthLabel = 5194,
  kIdRectWidthEdit = 5195,
  kIdRectWidthSpin = 5196,
  kIdRectHeightLabel = 5197,
  kIdRectHeightEdit = 5198,
  kIdRectHeightSpin = 5199,
};

namespace texts {

inline constexpr char kDialogCaption[] = "Ostrane_Marquel \xEF\xEB\xE0\xE3\xE8\xED";  // Ostrane_Marquel плагин
inline constexpr char kGroupChannel[] = "\xCA\xE0\xED\xE0\xEB";  // Канал
inline constexpr char kGroupLogoFile[] = "\xD4\xE0\xE9\xEB \xEB\xEE\xE3\xEE\xF2\xE8\xEF\xE0";  // Файл логотипа
inline constexpr char kColorKeyEnable[] = "\xCF\xF0\xEE\xE7\xF0\xE0\xF7\xED\xFB\xE9 \xF6\xE2\xE5\xF2";  // Прозрачный цвет
inline constexpr char kLeftTopPixel[] = "\xCB\xE5\xE2\xFB\xE9 \xE2\xE5\xF0\xF5\xED\xE8\xE9 \xEF\xE8\xEA\xF1\xE5\xEB";  // Левый верхний пиксел
inline constexpr char kPrivateSettings[] = "\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xEF\xEE \xEA\xE0\xED\xE0\xEB\xE0\xEC:";  // Настройка по каналам:
inline constexpr char kShowLogo[] = "\xCF\xEE\xEA\xE0\xE7\xE0\xF2\xFC \xEB\xEE\xE3\xEE\xF2\xE8\xEF:";  // Показать логотип:
inline constexpr char kOpacityLabel[] = "\xCF\xF0\xEE\xE7\xF0\xE0\xF7\xED\xEE\xF1\xF2\xFC:";  // Прозрачность:
inline constexpr char kAboutButton[] = "\xCE \xEF\xEB\xE0\xE3\xE8\xED\xE5";  // О плагине
inline constexpr char kMoreButton[] = "\xC4\xEE\xEF\xEE\xEB\xED\xE8\xF2\xE5\xEB\xFC\xED\xEE...";  // Дополнительно...
inline constexpr char kOkButton[] = "\xCE\xCA";  // ОК
inline constexpr char kCancelButton[] = "\xCE\xF2\xEC\xE5\xED\xE0";  // Отмена
inline constexpr char kAboutVersion[] = "Ver.1.03";  // Ver.1.03
inline constexpr char kAboutOk[] = "OK";  // OK
inline constexpr char kVideoColorsFullBt601[] = "\xCF\xEE\xEB\xED\xFB\xE9 \xE4\xE8\xE0\xEF\xE0\xE7\xEE\xED, BT.601";  // Полный диапазон, BT.601
inline constexpr char kVideoColorsAutomatic[] = "\xC0\xE2\xF2\xEE\xEC\xE0\xF2\xE8\xF7\xE5\xF1\xEA\xE8 (\xD2\xC2-\xE4\xE8\xE0\xEF\xE0\xE7\xEE\xED)";  // Автоматически (ТВ-диапазон)
inline constexpr char kVideoColorsTvBt601[] = "\xD2\xC2-\xE4\xE8\xE0\xEF\xE0\xE7\xEE\xED, BT.601";  // ТВ-диапазон, BT.601
inline constexpr char kVideoColorsTvBt709[] = "\xD2\xC2-\xE4\xE8\xE0\xEF\xE0\xE7\xEE\xED, BT.709";  // ТВ-диапазон, BT.709
inline constexpr char kVideoColorsFullBt709[] = "\xCF\xEE\xEB\xED\xFB\xE9 \xE4\xE8\xE0\xEF\xE0\xE7\xEE\xED, BT.709";  // Полный диапазон, BT.709
inline constexpr char kCoverModePicture[] = "\xCB\xEE\xE3\xEE\xF2\xE8\xEF";  // Логотип
inline constexpr char kCoverModeErase[] = "\xD1\xF2\xE5\xF0\xE5\xF2\xFC";  // Стереть
inline constexpr char kCoverModeBlur[] = "\xD0\xE0\xE7\xEC\xFB\xF2\xFC";  // Размыть
inline constexpr char kCoverModeMosaic[] = "\xCC\xEE\xE7\xE0\xE8\xEA\xE0";  // Мозаика
inline constexpr char kNoLogo[] = "\xCB \xEE \xE3 \xEE \xF2 \xE8 \xEF   \xED \xE5   \xE2 \xFB \xE1 \xF0 \xE0 \xED";  // Л о г о т и п   н е   в ы б р а н
inline constexpr char kOpacityWarning[] = "\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5 \xEF\xF0\xEE\xE7\xF0\xE0\xF7\xED\xEE\xF1\xF2\xE8 \xE4\xEE\xEB\xE6\xED\xEE \xE1\xFB\xF2\xFC \xF6\xE8\xF4\xF0\xEE\xE9 \xEE\xF2 0 \xE4\xEE 100";  // Значение прозрачности должно быть цифрой от 0 до 100
inline constexpr char kTipPreview[] = "\xCB\xEE\xE3\xEE\xF2\xE8\xEF";  // Логотип
inline constexpr char kTipColorKeyEnable[] = "\xD3\xF7\xE8\xF2\xFB\xE2\xE0\xF2\xFC \xEF\xF0\xEE\xE7\xF0\xE0\xF7\xED\xFB\xE9 \xF6\xE2\xE5\xF2 \xEF\xF0\xE8 \xE2\xFB\xE2\xEE\xE4\xE5 \xEB\xEE\xE3\xEE\xF2\xE8\xEF\xE0";  // Учитывать прозрачный цвет при выводе логотипа
inline constexpr char kTipLeftTopPixel[] = "\xD6\xE2\xE5\xF2 \xEB\xE5\xE2\xEE\xE3\xEE \xE2\xE5\xF0\xF5\xED\xE5\xE3\xEE \xEF\xE8\xEA\xF1\xE5\xEB\xE0 \xEB\xEE\xE3\xEE\xF2\xE8\xEF\xE0";  // Цвет левого верхнего пиксела логотипа
inline constexpr char kTipColorSwatch[] = "\xC2\xFB\xE1\xF0\xE0\xF2\xFC \xEF\xF0\xEE\xE7\xF0\xE0\xF7\xED\xFB\xE9 \xF6\xE2\xE5\xF2";  // Выбрать прозрачный цвет
inline constexpr char kTipChooseLogo[] = "\xC2\xFB\xE1\xF0\xE0\xF2\xFC \xEB\xEE\xE3\xEE\xF2\xE8\xEF";  // Выбрать логотип
inline constexpr char kTipRemoveLogo[] = "\xCE\xF2\xEA\xEB\xFE\xF7\xE8\xF2\xFC \xEB\xEE\xE3\xEE\xF2\xE8\xEF";  // Отключить логотип
inline constexpr char kToleranceLabel[] = "\xC4\xEE\xEF\xF3\xF1\xEA, %:";  // Допуск, %:
inline constexpr char kSoftnessLabel[] = "\xCC\xFF\xE3\xEA\xEE\xF1\xF2\xFC \xEA\xF0\xE0\xFF, %:";  // Мягкость края, %:
inline constexpr char kVideoColorsLabel[] = "\xD6\xE2\xE5\xF2\xE0 \xE2\xE8\xE4\xE5\xEE:";  // Цвета видео:
inline constexpr char kFadeLabel[] = "\xCF\xEE\xFF\xE2\xEB\xE5\xED\xE8\xE5 \xE8 \xE8\xF1\xF7\xE5\xE7\xE0\xED\xE8\xE5, \xEC\xF1:";  // Появление и исчезание, мс:
inline constexpr char kEveryLabel[] = "\xCF\xEE\xEA\xE0\xE7\xFB\xE2\xE0\xF2\xFC \xEA\xE0\xE6\xE4\xFB\xE5, \xEC\xE8\xED (0 \x97 \xE2\xF1\xE5\xE3\xE4\xE0):";  // Показывать каждые, мин (0 — всегда):
inline constexpr char kForLabel[] = "\xE2 \xF2\xE5\xF7\xE5\xED\xE8\xE5, \xF1:";  // в течение, с:
inline constexpr char kFollowFile[] = "\xCE\xE1\xED\xEE\xE2\xEB\xFF\xF2\xFC \xEF\xF0\xE8 \xE8\xE7\xEC\xE5\xED\xE5\xED\xE8\xE8 \xF4\xE0\xE9\xEB\xE0";  // Обновлять при изменении файла
inline constexpr char kLayerLabel[] = "\xD1\xEB\xEE\xE9:";  // Слой:
inline constexpr char kAddLayer[] = "\xC4\xEE\xE1\xE0\xE2\xE8\xF2\xFC";  // Добавить
inline constexpr char kRemoveLayer[] = "\xD3\xE4\xE0\xEB\xE8\xF2\xFC";  // Удалить
inline constexpr char kDriftLabel[] = "\xD1\xE4\xE2\xE8\xE3 \xEE\xF2 \xE2\xFB\xE3\xEE\xF0\xE0\xED\xE8\xFF, \xEF\xE8\xEA\xF1.:";  // Сдвиг от выгорания, пикс.:
inline constexpr char kDriftEveryLabel[] = "\xEA\xE0\xE6\xE4\xFB\xE5, \xEC\xE8\xED:";  // каждые, мин:
inline constexpr char kCoverModeLabel[] = "\xD0\xE5\xE6\xE8\xEC:";  // Режим:
inline constexpr char kStrengthLabel[] = "\xD1\xE8\xEB\xE0, \xEF\xE8\xEA\xF1.:";  // Сила, пикс.:
inline constexpr char kRectLeftLabel[] = "\xD1\xEB\xE5\xE2\xE0:";  // Слева:
inline constexpr char kRectTopLabel[] = "\xD1\xE2\xE5\xF0\xF5\xF3:";  // Сверху:
inline constexpr char kRectWidthLabel[] = "\xD8\xE8\xF0\xE8\xED\xE0:";  // Ширина:
inline constexpr char kRectHeightLabel[] = "\xC2\xFB\xF1\xEE\xF2\xE0:";  // Высота:

// The tooltip of a control, or null when it has none.
inline const char* tooltipFor(int32_t controlId) {
  switch (controlId) {
    case kIdPreview: return kTipPreview;
    case kIdColorKeyEnable: return kTipColorKeyEnable;
    case kIdLeftTopPixel: return kTipLeftTopPixel;
    case kIdColorSwatch: return kTipColorSwatch;
    case kIdChooseLogo: return kTipChooseLogo;
    case kIdRemoveLogo: return kTipRemoveLogo;
    default: return nullptr;
  }
}

}  // namespace texts
}  // namespace om
