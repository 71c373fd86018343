#!/usr/bin/env python3
"""Writes the dialog's resource script and the header of its ids and texts
from one set of tables, and its icons and bitmaps (resource_art.py).

Run from anywhere; writes next to this file. The outputs are committed, so a
build needs neither Python nor this script; `--check` only compares them with
what it would write. Texts in the resource script are Windows-1251 bytes, as
the dialog templates carry them.
"""
import os
import re
import sys

from page_layout import (Check, Choice, Group, Layers, Number, NumberPair, page_controls, page_ids, page_template,
                         page_texts)
from resource_art import OUTPUTS, draw_art

HERE = os.path.dirname(os.path.abspath(__file__))


def cp(text):
    return text.encode('cp1251')


# The one source of the dialogs' ids and texts: the resource script and
# dialog/dialog_resources.h are both written from these tables, so a control
# is named, numbered and labelled in one place.

RESOURCE_IDS = [
    ('kSettingsDialogTemplate', 5000),
    ('kAboutDialogTemplate', 5002),
    ('kMorePageTemplate', 5003),
    ('kAboutBitmap', 5004),
    ('kMoveEmblemBitmap', 5011),
    ('kSizeEmblemBitmap', 5012),
    ('kChooseLogoIcon', 5015),
    ('kRemoveLogoIcon', 5016),
]

CONTROL_IDS = [
    ('kIdOk', 5002),
    ('kIdAbout', 5008),
    ('kIdFileName', 5068),
    ('kIdPrivateSettings', 5070),
    ('kIdMoveLeft', 5082),
    ('kIdMoveRight', 5083),
    ('kIdMoveUp', 5084),
    ('kIdMoveDown', 5085),
    ('kIdSmaller', 5086),
    ('kIdLarger', 5087),
    ('kIdOpacityEdit', 5089),
    ('kIdOpacitySpin', 5090),
    ('kIdColorSwatch', 5100),
    ('kIdCancel', 5103),
    ('kIdTopLeft', 5107),
    ('kIdBottomLeft', 5108),
    ('kIdTopRight', 5109),
    ('kIdBottomRight', 5110),
    ('kIdHiddenGlyph', 5111),
    ('kIdChooseLogo', 5115),
    ('kIdRemoveLogo', 5116),
    ('kIdShowLogo', 5120),
    ('kIdPreview', 5121),
    ('kIdOpacityLabel', 5130),
    ('kIdLeftTopPixel', 5137),
    ('kIdColorKeyEnable', 5138),
    ('kIdChannelName', 5145),
    ('kIdFileGroup', 5148),
    ('kIdChannelGroup', 5149),
    ('kIdPlacementGroup', 5150),
    # The button that opens the page of further settings, and that page.
    ('kIdMore', 5151),
    ('kIdKeyGroup', 5160),
]

# (C++ name, text): the templates' texts, then the ones set at run time.
TEXTS = [
    ('kDialogCaption', 'Ostrane_Marquel плагин'),  # also the about box's name line
    ('kGroupChannel', 'Канал'),
    ('kGroupLogoFile', 'Файл логотипа'),
    ('kColorKeyEnable', 'Прозрачный цвет'),
    ('kLeftTopPixel', 'Левый верхний пиксел'),
    ('kPrivateSettings', 'Настройка по каналам:'),
    ('kShowLogo', 'Показать логотип:'),
    ('kOpacityLabel', 'Прозрачность:'),
    ('kAboutButton', 'О плагине'),
    ('kMoreButton', 'Дополнительно...'),
    ('kOkButton', 'ОК'),  # Cyrillic О and К
    ('kCancelButton', 'Отмена'),
    ('kAboutVersion', 'Ver.1.03'),
    ('kAboutOk', 'OK'),  # Latin letters
    ('kVideoColorsFullBt601', 'Полный диапазон, BT.601'),
    ('kVideoColorsAutomatic', 'Автоматически (ТВ-диапазон)'),
    ('kVideoColorsTvBt601', 'ТВ-диапазон, BT.601'),
    ('kVideoColorsTvBt709', 'ТВ-диапазон, BT.709'),
    ('kVideoColorsFullBt709', 'Полный диапазон, BT.709'),
    ('kCoverModePicture', 'Логотип'),
    ('kCoverModeErase', 'Стереть'),
    ('kCoverModeBlur', 'Размыть'),
    ('kCoverModeMosaic', 'Мозаика'),
    ('kNoLogo', 'Л о г о т и п   н е   в ы б р а н'),
    ('kOpacityWarning', 'Значение прозрачности должно быть цифрой от 0 до 100'),
    ('kTipPreview', 'Логотип'),
    ('kTipColorKeyEnable', 'Учитывать прозрачный цвет при выводе логотипа'),
    ('kTipLeftTopPixel', 'Цвет левого верхнего пиксела логотипа'),
    ('kTipColorSwatch', 'Выбрать прозрачный цвет'),
    ('kTipChooseLogo', 'Выбрать логотип'),
    ('kTipRemoveLogo', 'Отключить логотип'),
]

TOOLTIPS = [
    ('kIdPreview', 'kTipPreview'),
    ('kIdColorKeyEnable', 'kTipColorKeyEnable'),
    ('kIdLeftTopPixel', 'kTipLeftTopPixel'),
    ('kIdColorSwatch', 'kTipColorSwatch'),
    ('kIdChooseLogo', 'kTipChooseLogo'),
    ('kIdRemoveLogo', 'kTipRemoveLogo'),
]

# The settings shown in the main window's template, as rows of the dialog's
# table of setting controls (dialog/setting_controls.h).
MAIN_CONTROLS = [
    'checkBoxControl(kIdShowLogo, "ShowLogo", ChangeEffect::NextFrame)',
    'checkBoxControl(kIdColorKeyEnable, "ColorKeyEnable", ChangeEffect::Rebuild)',
    'checkBoxControl(kIdLeftTopPixel, "LeftTopPixelColor", ChangeEffect::Rebuild, NeedsPicture::Yes, "ColorKeyEnable")',
    'colorButtonControl(kIdColorSwatch, "ColorKey", "ColorKeyEnable", "LeftTopPixelColor")',
    'numberControl(kIdOpacityEdit, kIdOpacitySpin, kIdOpacityLabel, "LogoOpacity", ChangeEffect::NextFrame, "", texts::kOpacityWarning)',
]

# The page of further settings: a control is one row (page_layout.py).
PAGE = [
    Group([Number('Tolerance', 5161, 'Допуск, %:', 'KeyTolerance', 'Rebuild', 'ColorKeyEnable'),
           Number('Softness', 5164, 'Мягкость края, %:', 'KeySoftness', 'Rebuild', 'ColorKeyEnable')],
          caption='kColorKeyEnable', box_id='kIdKeyGroup'),
    Group([Choice('VideoColors', 5167, 'Цвета видео:', 'VideoColors', 'kVideoColorsItems', 'Rebuild')]),
    Group([Number('Fade', 5171, 'Появление и исчезание, мс:', 'FadeMs', 'RestartsShow'),
           Number('Every', 5174, 'Показывать каждые, мин (0 — всегда):', 'ShowEveryMinutes', 'RestartsShow'),
           Number('For', 5177, 'в течение, с:', 'ShowForSeconds', 'RestartsShow', right_aligned=True),
           # A name kept for a folder that is not there yet is followed too.
           Check('FollowFile', 5180, 'Обновлять при изменении файла', 'FollowFile', 'NextFrame',
                 needs_picture=False)]),
    # Every control of the window and the page edits the layer picked here.
    Group([Layers(5206)]),
    Group([Number('Drift', 5200, 'Сдвиг от выгорания, пикс.:', 'DriftPixels', 'NextFrame'),
           Number('DriftEvery', 5203, 'каждые, мин:', 'DriftMinutes', 'NextFrame', 'DriftPixels',
                  right_aligned=True)]),
    # A cover often has no picture: its rectangle is edited here directly.
    Group([Choice('CoverMode', 5183, 'Режим:', 'CoverMode', 'kCoverModeItems', 'Rebuild',
                  needs_picture=False),
           Number('Strength', 5185, 'Сила, пикс.:', 'CoverStrength', 'Rebuild', 'CoverMode',
                  enabled_values=[2, 3], needs_picture=False),
           NumberPair(Number('RectLeft', 5188, 'Слева:', 'LogoPosX', 'Rebuild', needs_picture=False,
                             value_range=(0, 1000)),
                      Number('RectTop', 5191, 'Сверху:', 'LogoPosY', 'Rebuild', needs_picture=False,
                             value_range=(0, 1000))),
           NumberPair(Number('RectWidth', 5194, 'Ширина:', 'LogoSizeX', 'Rebuild', needs_picture=False,
                             value_range=(0, 1000)),
                      Number('RectHeight', 5197, 'Высота:', 'LogoSizeY', 'Rebuild', needs_picture=False,
                             value_range=(0, 1000)))]),
]


def all_control_ids():
    return CONTROL_IDS + page_ids(PAGE)


def all_texts():
    return TEXTS + page_texts(PAGE)


RC = r'''// Dialog templates, icons and bitmaps.
// Written by draw_resources.py; the texts are Windows-1251.
#pragma code_page(1251)
#include <windows.h>
#include <commctrl.h>

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

@kChooseLogoIcon@ ICON "open_folder.ico"
@kRemoveLogoIcon@ ICON "red_cross.ico"
@kMoveEmblemBitmap@ BITMAP "arrow_cross.bmp"
@kSizeEmblemBitmap@ BITMAP "magnifier.bmp"
@kAboutBitmap@ BITMAP "about.bmp"

@kSettingsDialogTemplate@ DIALOGEX 0, 0, 285, 150
STYLE DS_MODALFRAME | DS_SETFONT | WS_CAPTION | WS_SYSMENU
EXSTYLE WS_EX_TOOLWINDOW
CAPTION "@@kDialogCaption@@"
FONT 8, "MS Sans Serif"
BEGIN
    GROUPBOX        "@@kGroupChannel@@", @kIdChannelGroup@, 3, 3, 68, 31
    CTEXT           "Static", @kIdChannelName@, 10, 15, 54, 13, SS_CENTER, WS_EX_STATICEDGE
    GROUPBOX        "@@kGroupLogoFile@@", @kIdFileGroup@, 77, 3, 204, 31
    EDITTEXT        @kIdFileName@, 84, 15, 149, 13, ES_AUTOHSCROLL | ES_READONLY
    PUSHBUTTON      "...", @kIdChooseLogo@, 239, 15, 15, 13, BS_ICON
    PUSHBUTTON      "...", @kIdRemoveLogo@, 259, 15, 15, 13, BS_ICON
    GROUPBOX        "", @kIdPlacementGroup@, 3, 35, 278, 65
    PUSHBUTTON      "h", @kIdTopLeft@, 10, 45, 14, 11
    PUSHBUTTON      "5", @kIdMoveUp@, 24, 45, 14, 11
    PUSHBUTTON      "h", @kIdTopRight@, 38, 45, 14, 11
    PUSHBUTTON      "3", @kIdMoveLeft@, 10, 56, 14, 11
    CONTROL         @kMoveEmblemBitmap@, IDC_STATIC, "Static", SS_BITMAP | SS_CENTERIMAGE | SS_REALSIZEIMAGE, 24, 56, 14, 11, WS_EX_DLGMODALFRAME
    PUSHBUTTON      "4", @kIdMoveRight@, 38, 56, 14, 11
    PUSHBUTTON      "h", @kIdBottomLeft@, 10, 67, 14, 11
    PUSHBUTTON      "6", @kIdMoveDown@, 24, 67, 14, 11
    PUSHBUTTON      "h", @kIdBottomRight@, 38, 67, 14, 11
    PUSHBUTTON      "-", @kIdSmaller@, 10, 82, 14, 11
    CONTROL         @kSizeEmblemBitmap@, IDC_STATIC, "Static", SS_BITMAP | SS_CENTERIMAGE | SS_REALSIZEIMAGE, 24, 82, 14, 11, WS_EX_DLGMODALFRAME
    PUSHBUTTON      "+", @kIdLarger@, 38, 82, 14, 11
    CONTROL         "", @kIdPreview@, "Static", SS_BITMAP | SS_CENTERIMAGE | SS_NOTIFY | WS_BORDER, 59, 45, 101, 49
    GROUPBOX        "", IDC_STATIC, 168, 41, 107, 53
    AUTOCHECKBOX    "@@kColorKeyEnable@@", @kIdColorKeyEnable@, 175, 49, 75, 10
    AUTOCHECKBOX    "@@kLeftTopPixel@@", @kIdLeftTopPixel@, 175, 63, 94, 10
    PUSHBUTTON      "Color Key", @kIdColorSwatch@, 175, 76, 92, 13, BS_OWNERDRAW
    PUSHBUTTON      "h", @kIdHiddenGlyph@, 36, 100, 14, 11, NOT WS_VISIBLE | WS_DISABLED
    GROUPBOX        "", IDC_STATIC, 3, 102, 278, 26
    AUTOCHECKBOX    "@@kPrivateSettings@@", @kIdPrivateSettings@, 5, 112, 96, 10, BS_LEFTTEXT | BS_RIGHT
    AUTOCHECKBOX    "@@kShowLogo@@", @kIdShowLogo@, 107, 112, 79, 10, BS_LEFTTEXT | BS_RIGHT
    LTEXT           "@@kOpacityLabel@@", @kIdOpacityLabel@, 195, 113, 51, 8
    EDITTEXT        @kIdOpacityEdit@, 248, 111, 28, 12, ES_AUTOHSCROLL | ES_NUMBER
    CONTROL         "Spin1", @kIdOpacitySpin@, "msctls_updown32", UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY, 267, 110, 11, 14
    PUSHBUTTON      "@@kAboutButton@@", @kIdAbout@, 3, 133, 46, 13
    PUSHBUTTON      "@@kMoreButton@@", @kIdMore@, 55, 133, 66, 13
    PUSHBUTTON      "@@kOkButton@@", @kIdOk@, 187, 133, 41, 13
    DEFPUSHBUTTON   "@@kCancelButton@@", @kIdCancel@, 239, 133, 41, 13
END

@PAGE@
@kAboutDialogTemplate@ DIALOGEX 0, 0, 150, 108
STYLE DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION
EXSTYLE WS_EX_TOOLWINDOW
CAPTION ""
FONT 8, "MS Sans Serif"
BEGIN
    GROUPBOX        "", IDC_STATIC, 3, -2, 144, 106
    CONTROL         @kAboutBitmap@, IDC_STATIC, "Static", SS_BITMAP, 63, 12, 21, 20
    CTEXT           "@@kDialogCaption@@", IDC_STATIC, 7, 41, 136, 8
    CTEXT           "@@kAboutVersion@@", IDC_STATIC, 7, 54, 136, 10
    DEFPUSHBUTTON   "@@kAboutOk@@", IDOK, 54, 87, 44, 13
END
'''

HEADER_TOP = """// Resource and control ids of the settings dialog, its page of further
// settings and the about box, and their texts as Windows-1251 bytes.
// Written by dialog/resources/draw_resources.py from its tables; edit those.
#pragma once

#include <cstdint>

namespace om {
"""


def c_literal(text):
    out = ''
    for byte in cp(text):
        out += chr(byte) if 32 <= byte < 127 and chr(byte) not in '"\\' else '\\x%02X' % byte
    # A hex escape swallows the hex digits after it: close and reopen the literal.
    return '"' + re.sub(r'(\\x[0-9A-F]{2})(?=[0-9A-Fa-f])', r'\1" "', out) + '"'


def resource_script():
    text = RC.replace('@PAGE@\n', page_template(PAGE, 'kMorePageTemplate'))
    for name, value in all_texts():
        text = text.replace('@@%s@@' % name, value)
    for name, number in RESOURCE_IDS + all_control_ids():
        text = text.replace('@%s@' % name, str(number))
    assert '@' not in text, 'a name without a row: ' + text[text.index('@'):][:40]
    return cp(text).replace(b'\n', b'\r\n')


def header():
    lines = [HEADER_TOP]
    lines.append('enum DialogResourceId : int32_t {')
    lines += ['  %s = %d,' % row for row in RESOURCE_IDS]
    lines.append('};\n')
    lines.append('enum DialogControlId : int32_t {')
    lines += ['  %s = %d,' % row for row in all_control_ids()]
    lines.append('};\n')
    lines.append('namespace texts {\n')
    for name, value in all_texts():
        lines.append('inline constexpr char %s[] = %s;  // %s' % (name, c_literal(value), value))
    lines.append('')
    lines.append('// The tooltip of a control, or null when it has none.')
    lines.append('inline const char* tooltipFor(int32_t controlId) {')
    lines.append('  switch (controlId) {')
    for control, tip in TOOLTIPS:
        lines.append('    case %s: return %s;' % (control, tip))
    lines.append('    default: return nullptr;')
    lines.append('  }')
    lines.append('}\n')
    lines.append('}  // namespace texts')
    lines.append('}  // namespace om')
    return ('\n'.join(lines) + '\n').encode('utf-8')


def control_rows():
    lines = ['// The dialog\'s setting controls, one row each, in table order: the',
             '// initialisers of kSettingControls (dialog/setting_controls.h).',
             '// Written by dialog/resources/draw_resources.py from its tables; edit those.']
    lines += ['%s,' % row for row in MAIN_CONTROLS + page_controls(PAGE)]
    return ('\n'.join(lines) + '\n').encode('utf-8')


def outputs():
    """Every file this script writes, by its path from here."""
    OUTPUTS.clear()
    draw_art()
    files = dict(OUTPUTS)
    files['ostrane_marquel.rc'] = resource_script()
    files[os.path.join('..', 'dialog_resources.h')] = header()
    files[os.path.join('..', 'setting_control_rows.inc')] = control_rows()
    return files


if __name__ == '__main__':
    check = sys.argv[1:] == ['--check']
    stale = []
    for name, data in outputs().items():
        path = os.path.join(HERE, name)
        if check:
            with open(path, 'rb') as f:
                if f.read() != data:
                    stale.append(os.path.normpath(path))
        else:
            with open(path, 'wb') as f:
                f.write(data)
    if stale:
        sys.exit('not what draw_resources.py writes (run it, and commit): ' + ', '.join(stale))
