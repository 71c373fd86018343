#!/usr/bin/env python3
"""Draws the dialog's icons and bitmaps, and writes the resource script and the
header of ids and texts from one table.

Run from anywhere; writes next to this file. The outputs are committed, so a
build needs neither Python nor this script. Texts in the resource script are
Windows-1251 bytes, as the dialog templates carry them.
"""
import os
import re
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# The standard 16-colour palette (B, G, R order is applied when writing).
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DKRED, DKGREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)


def rows_from_art(art, legend):
    return [[legend[ch] for ch in line] for line in art]


def pack_indexed(rows, bits):
    """Bottom-up rows of palette indices, each padded to 4 bytes."""
    out = bytearray()
    for row in reversed(rows):
        line = bytearray()
        if bits == 4:
            for i in range(0, len(row), 2):
                hi = row[i]
                lo = row[i + 1] if i + 1 < len(row) else 0
                line.append((hi << 4) | lo)
        else:
            line.extend(row)
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def pack_mask(mask_rows):
    """1-bit AND mask, bottom-up, rows padded to 4 bytes; 1 = transparent."""
    out = bytearray()
    for row in reversed(mask_rows):
        line = bytearray()
        for i in range(0, len(row), 8):
            byte = 0
            for j in range(8):
                if i + j < len(row) and row[i + j]:
                    byte |= 0x80 >> j
            line.append(byte)
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def palette_bytes(palette, count):
    data = bytearray()
    for i in range(count):
        r, g, b = palette[i] if i < len(palette) else (0, 0, 0)
        data += bytes((b, g, r, 0))
    return bytes(data)


def dib_header(width, height, bits, colours, image_size):
    return struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, image_size, 0, 0, colours, 0)


def write_bmp(name, width, height, bits, pixels, palette=None):
    colours = (1 << bits) if bits <= 8 else 0
    pal = palette_bytes(palette, colours) if colours else b''
    header = dib_header(width, height, bits, colours, len(pixels))
    offset = 14 + len(header) + len(pal)
    file_header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(file_header + header + pal + pixels)


def write_ico(name, size, bits, rows, mask_rows, palette):
    colours = 1 << bits
    xor = pack_indexed(rows, bits)
    andm = pack_mask(mask_rows)
    header = dib_header(size, size * 2, bits, 0, len(xor) + len(andm))
    image = header + palette_bytes(palette, colours) + xor + andm
    icondir = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', size, size, colours if colours < 256 else 0, 0, 1, bits,
                        len(image), 6 + 16)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(icondir + entry + image)


def open_folder_icon():
    art = [
        "................",
        "................",
        "................",
        ".KKKK...........",
        "KYWYWK..........",
        "KWYWYKKKKKKK....",
        "KYWYWYWYWYWK....",
        "KWYWYWYWKKKKKKKK",
        "KYWYWYWKOOOOOOOK",
        "KWYWYWKOOOOOOOK.",
        "KYWYWKOOOOOOOK..",
        "KWYWKOOOOOOOK...",
        "KYWKOOOOOOOK....",
        "KWKOOOOOOOK.....",
        "KKKKKKKKKKK.....",
        "................",
    ]
    legend = {'.': BLACK, 'K': BLACK, 'Y': YELLOW, 'W': WHITE, 'O': OLIVE}
    rows = rows_from_art(art, legend)
    mask = [[1 if ch == '.' else 0 for ch in line] for line in art]
    write_ico('open_folder.ico', 16, 4, rows, mask, VGA16)


def red_cross_icon():
    palette = list(VGA16) + [(0, 0, 0)] * (256 - 16)
    palette[16] = (200, 0, 0)
    palette[17] = (255, 96, 96)
    palette[18] = (120, 0, 0)
    size = 16
    rows, mask = [], []
    for y in range(size):
        row, mrow = [], []
        for x in range(size):
            d1 = abs(x - y)
            d2 = abs(x + y - (size - 1))
            inside = 2 <= x <= 13 and 2 <= y <= 13
            if inside and (d1 <= 1 or d2 <= 1):
                centre = (d1 == 0 or d2 == 0)
                row.append(17 if centre and x < y + 1 else 16)
                mrow.append(0)
            elif inside and (d1 == 2 or d2 == 2):
                row.append(18)
                mrow.append(0)
            else:
                row.append(0)
                mrow.append(1)
        rows.append(row)
        mask.append(mrow)
    write_ico('red_cross.ico', 16, 8, rows, mask, palette)


def arrow_cross_bitmap():
    art = [
        ".......K.......",
        "......KKK......",
        ".....KKKKK.....",
        ".......K.......",
        "..K....K....K..",
        ".KK....K....KK.",
        "KKKKKKKKKKKKKKK",
        ".KK....K....KK.",
        "..K....K....K..",
        ".......K.......",
        ".....KKKKK.....",
        "......KKK......",
    ]
    rows = rows_from_art(art, {'.': SILVER, 'K': BLACK})
    write_bmp('arrow_cross.bmp', 15, 12, 4, pack_indexed(rows, 4), VGA16)


def magnifier_bitmap():
    art = [
        "...KKKK........",
        "..KCWCCK.......",
        ".KCWCCCCK......",
        ".KWCCCCCK......",
        ".KCCCCCCK......",
        ".KCCCCCCK......",
        "..KCCCCK.......",
        "...KKKKKK......",
        ".......OOO.....",
        "........OOO....",
        ".........OOO...",
        "..........OO...",
    ]
    rows = rows_from_art(art, {'.': SILVER, 'K': BLACK, 'C': CYAN, 'W': WHITE, 'O': OLIVE})
    write_bmp('magnifier.bmp', 15, 12, 4, pack_indexed(rows, 4), VGA16)


def about_bitmap():
    """32x32, 24-bit: a small screen with a logo stamped in its corner."""
    size = 32
    out = bytearray()
    for y in range(size - 1, -1, -1):  # bottom-up
        line = bytearray()
        for x in range(size):
            r, g, b = 192, 192, 192
            if 2 <= x <= 29 and 4 <= y <= 23:
                r, g, b = 0, 0, 0
                if 4 <= x <= 27 and 6 <= y <= 21:
                    t = (y - 6) / 15.0
                    r, g, b = int(20 + 40 * t), int(60 + 80 * t), int(140 + 100 * t)
                    if 19 <= x <= 25 and 8 <= y <= 12:
                        r, g, b = 255, 200, 0
            elif 12 <= x <= 19 and 24 <= y <= 26:
                r, g, b = 64, 64, 64
            elif 8 <= x <= 23 and 27 <= y <= 28:
                r, g, b = 96, 96, 96
            line += bytes((b, g, r))
        while len(line) % 4:
            line.append(0)
        out += line
    write_bmp('about.bmp', size, size, 24, bytes(out))


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
    ('kIdToleranceLabel', 5161),
    ('kIdToleranceEdit', 5162),
    ('kIdToleranceSpin', 5163),
    ('kIdSoftnessLabel', 5164),
    ('kIdSoftnessEdit', 5165),
    ('kIdSoftnessSpin', 5166),
    ('kIdVideoColorsLabel', 5167),
    ('kIdVideoColors', 5168),
    ('kIdFadeLabel', 5171),
    ('kIdFadeEdit', 5172),
    ('kIdFadeSpin', 5173),
    ('kIdEveryLabel', 5174),
    ('kIdEveryEdit', 5175),
    ('kIdEverySpin', 5176),
    ('kIdForLabel', 5177),
    ('kIdForEdit', 5178),
    ('kIdForSpin', 5179),
    ('kIdFollowFile', 5180),
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
    ('kToleranceLabel', 'Допуск, %:'),
    ('kSoftnessLabel', 'Мягкость края, %:'),
    ('kVideoColorsLabel', 'Цвета видео:'),
    ('kVideoColorsFullBt601', 'Полный диапазон, BT.601'),
    ('kVideoColorsAutomatic', 'Автоматически (ТВ-диапазон)'),
    ('kVideoColorsTvBt601', 'ТВ-диапазон, BT.601'),
    ('kVideoColorsTvBt709', 'ТВ-диапазон, BT.709'),
    ('kVideoColorsFullBt709', 'Полный диапазон, BT.709'),
    ('kFadeLabel', 'Появление и исчезание, мс:'),
    ('kEveryLabel', 'Показывать каждые, мин (0 — всегда):'),
    ('kForLabel', 'в течение, с:'),
    ('kFollowFile', 'Обновлять при изменении файла'),
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

# @name@ stands for an id or a resource id, @@name@@ for a text.
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

@kMorePageTemplate@ DIALOGEX 0, 0, 200, 150
STYLE DS_CONTROL | DS_SETFONT | WS_CHILD
FONT 8, "MS Sans Serif"
BEGIN
    GROUPBOX        "@@kColorKeyEnable@@", @kIdKeyGroup@, 0, 3, 196, 50
    LTEXT           "@@kToleranceLabel@@", @kIdToleranceLabel@, 8, 18, 120, 8
    EDITTEXT        @kIdToleranceEdit@, 146, 16, 30, 12, ES_AUTOHSCROLL | ES_NUMBER
    CONTROL         "", @kIdToleranceSpin@, "msctls_updown32", UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 176, 16, 11, 12
    LTEXT           "@@kSoftnessLabel@@", @kIdSoftnessLabel@, 8, 35, 120, 8
    EDITTEXT        @kIdSoftnessEdit@, 146, 33, 30, 12, ES_AUTOHSCROLL | ES_NUMBER
    CONTROL         "", @kIdSoftnessSpin@, "msctls_updown32", UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 176, 33, 11, 12
    GROUPBOX        "", IDC_STATIC, 0, 55, 196, 30
    LTEXT           "@@kVideoColorsLabel@@", @kIdVideoColorsLabel@, 8, 68, 52, 8
    COMBOBOX        @kIdVideoColors@, 62, 66, 128, 80, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP
    GROUPBOX        "", IDC_STATIC, 0, 87, 196, 62
    LTEXT           "@@kFadeLabel@@", @kIdFadeLabel@, 8, 97, 136, 8
    EDITTEXT        @kIdFadeEdit@, 146, 95, 30, 12, ES_AUTOHSCROLL | ES_NUMBER
    CONTROL         "", @kIdFadeSpin@, "msctls_updown32", UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 176, 95, 11, 12
    LTEXT           "@@kEveryLabel@@", @kIdEveryLabel@, 8, 111, 136, 8
    EDITTEXT        @kIdEveryEdit@, 146, 109, 30, 12, ES_AUTOHSCROLL | ES_NUMBER
    CONTROL         "", @kIdEverySpin@, "msctls_updown32", UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 176, 109, 11, 12
    RTEXT           "@@kForLabel@@", @kIdForLabel@, 8, 125, 136, 8
    EDITTEXT        @kIdForEdit@, 146, 123, 30, 12, ES_AUTOHSCROLL | ES_NUMBER
    CONTROL         "", @kIdForSpin@, "msctls_updown32", UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 176, 123, 11, 12
    AUTOCHECKBOX    "@@kFollowFile@@", @kIdFollowFile@, 8, 137, 180, 10
END

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


def write_rc():
    text = RC
    for name, value in TEXTS:
        text = text.replace('@@%s@@' % name, value)
    for name, number in RESOURCE_IDS + CONTROL_IDS:
        text = text.replace('@%s@' % name, str(number))
    assert '@' not in text, 'a name without a row: ' + text[text.index('@'):][:40]
    with open(os.path.join(HERE, 'ostrane_marquel.rc'), 'wb') as f:
        f.write(cp(text).replace(b'\n', b'\r\n'))


def write_header():
    lines = [HEADER_TOP]
    lines.append('enum DialogResourceId : int32_t {')
    lines += ['  %s = %d,' % row for row in RESOURCE_IDS]
    lines.append('};\n')
    lines.append('enum DialogControlId : int32_t {')
    lines += ['  %s = %d,' % row for row in CONTROL_IDS]
    lines.append('};\n')
    lines.append('namespace texts {\n')
    for name, value in TEXTS:
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
    with open(os.path.join(HERE, '..', 'dialog_resources.h'), 'w', encoding='utf-8') as f:
        f.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    open_folder_icon()
    red_cross_icon()
    arrow_cross_bitmap()
    magnifier_bitmap()
    about_bitmap()
    write_rc()
    write_header()
