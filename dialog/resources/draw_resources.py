#!/usr/bin/env python3
"""Draws the dialog's icons and bitmaps and writes the resource script.

Run from anywhere; writes next to this file. The outputs are committed, so a
build needs neither Python nor this script. Texts in the resource script are
Windows-1251 bytes, as the dialog templates carry them.
"""
import os
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


RC = r'''// Dialog templates 5000 (settings) and 5002 (about), icons and bitmaps.
// Written by draw_resources.py; the texts are Windows-1251.
#pragma code_page(1251)
#include <windows.h>
#include <commctrl.h>

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

5015 ICON "open_folder.ico"
5016 ICON "red_cross.ico"
5011 BITMAP "arrow_cross.bmp"
5012 BITMAP "magnifier.bmp"
5004 BITMAP "about.bmp"

5000 DIALOGEX 0, 0, 285, 150
STYLE DS_MODALFRAME | DS_SETFONT | WS_CAPTION | WS_SYSMENU
EXSTYLE WS_EX_TOOLWINDOW
CAPTION "Ostrane_Marquel @plugin@"
FONT 8, "MS Sans Serif"
BEGIN
    GROUPBOX        "@channel@", 5149, 3, 3, 68, 31
    CTEXT           "Static", 5145, 10, 15, 54, 13, SS_CENTER, WS_EX_STATICEDGE
    GROUPBOX        "@logofile@", 5148, 77, 3, 204, 31
    EDITTEXT        5068, 84, 15, 149, 13, ES_AUTOHSCROLL | ES_READONLY
    PUSHBUTTON      "...", 5115, 239, 15, 15, 13, BS_ICON
    PUSHBUTTON      "...", 5116, 259, 15, 15, 13, BS_ICON
    GROUPBOX        "", 5150, 3, 35, 278, 65
    PUSHBUTTON      "h", 5107, 10, 45, 14, 11
    PUSHBUTTON      "5", 5084, 24, 45, 14, 11
    PUSHBUTTON      "h", 5109, 38, 45, 14, 11
    PUSHBUTTON      "3", 5082, 10, 56, 14, 11
    CONTROL         5011, IDC_STATIC, "Static", SS_BITMAP | SS_CENTERIMAGE | SS_REALSIZEIMAGE, 24, 56, 14, 11, WS_EX_DLGMODALFRAME
    PUSHBUTTON      "4", 5083, 38, 56, 14, 11
    PUSHBUTTON      "h", 5108, 10, 67, 14, 11
    PUSHBUTTON      "6", 5085, 24, 67, 14, 11
    PUSHBUTTON      "h", 5110, 38, 67, 14, 11
    PUSHBUTTON      "-", 5086, 10, 82, 14, 11
    CONTROL         5012, IDC_STATIC, "Static", SS_BITMAP | SS_CENTERIMAGE | SS_REALSIZEIMAGE, 24, 82, 14, 11, WS_EX_DLGMODALFRAME
    PUSHBUTTON      "+", 5087, 38, 82, 14, 11
    CONTROL         "", 5121, "Static", SS_BITMAP | SS_CENTERIMAGE | SS_NOTIFY | WS_BORDER, 59, 45, 101, 49
    GROUPBOX        "", IDC_STATIC, 168, 41, 107, 53
    AUTOCHECKBOX    "@colorkey@", 5138, 175, 49, 75, 10
    AUTOCHECKBOX    "@lefttop@", 5137, 175, 63, 94, 10
    PUSHBUTTON      "Color Key", 5100, 175, 76, 92, 13, BS_OWNERDRAW
    PUSHBUTTON      "h", 5111, 36, 100, 14, 11, NOT WS_VISIBLE | WS_DISABLED
    GROUPBOX        "", IDC_STATIC, 3, 102, 278, 26
    AUTOCHECKBOX    "@perchannel@", 5070, 5, 112, 96, 10, BS_LEFTTEXT | BS_RIGHT
    AUTOCHECKBOX    "@showlogo@", 5120, 107, 112, 79, 10, BS_LEFTTEXT | BS_RIGHT
    LTEXT           "@opacity@", 5130, 195, 113, 51, 8
    EDITTEXT        5089, 248, 111, 28, 12, ES_AUTOHSCROLL | ES_NUMBER
    CONTROL         "Spin1", 5090, "msctls_updown32", UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY, 267, 110, 11, 14
    PUSHBUTTON      "@about@", 5008, 3, 133, 46, 13
    PUSHBUTTON      "@ok@", 5002, 187, 133, 41, 13
    DEFPUSHBUTTON   "@cancel@", 5103, 239, 133, 41, 13
END

5002 DIALOGEX 0, 0, 150, 108
STYLE DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION
EXSTYLE WS_EX_TOOLWINDOW
CAPTION ""
FONT 8, "MS Sans Serif"
BEGIN
    GROUPBOX        "", IDC_STATIC, 3, -2, 144, 106
    CONTROL         5004, IDC_STATIC, "Static", SS_BITMAP, 63, 12, 21, 20
    CTEXT           "Ostrane_Marquel @plugin@", IDC_STATIC, 7, 41, 136, 8
    CTEXT           "Ver.1.03", IDC_STATIC, 7, 54, 136, 10
    DEFPUSHBUTTON   "OK", IDOK, 54, 87, 44, 13
END
'''

TEXTS = {
    'plugin': 'плагин',
    'channel': 'Канал',
    'logofile': 'Файл логотипа',
    'colorkey': 'Прозрачный цвет',
    'lefttop': 'Левый верхний пиксел',
    'perchannel': 'Настройка по каналам:',
    'showlogo': 'Показать логотип:',
    'opacity': 'Прозрачность:',
    'about': 'О плагине',
    'ok': 'ОК',  # Cyrillic О and К
    'cancel': 'Отмена',
}


def write_rc():
    text = RC
    for key, value in TEXTS.items():
        text = text.replace('@%s@' % key, value)
    with open(os.path.join(HERE, 'ostrane_marquel.rc'), 'wb') as f:
        f.write(cp(text).replace(b'\n', b'\r\n'))


if __name__ == '__main__':
    open_folder_icon()
    red_cross_icon()
    arrow_cross_bitmap()
    magnifier_bitmap()
    about_bitmap()
    write_rc()
