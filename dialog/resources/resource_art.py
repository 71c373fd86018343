"""The dialog's icons and bitmaps, drawn from character art and formulas.

draw_art() puts each file's bytes into OUTPUTS under its name; the caller
writes or compares them.
"""
import struct

OUTPUTS = {}

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


def add_bmp(name, width, height, bits, pixels, palette=None):
    colours = (1 << bits) if bits <= 8 else 0
    pal = palette_bytes(palette, colours) if colours else b''
    header = dib_header(width, height, bits, colours, len(pixels))
    offset = 14 + len(header) + len(pal)
    file_header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    OUTPUTS[name] = file_header + header + pal + pixels


def add_ico(name, size, bits, rows, mask_rows, palette):
    colours = 1 << bits
    xor = pack_indexed(rows, bits)
    andm = pack_mask(mask_rows)
    header = dib_header(size, size * 2, bits, 0, len(xor) + len(andm))
    image = header + palette_bytes(palette, colours) + xor + andm
    icondir = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', size, size, colours if colours < 256 else 0, 0, 1, bits,
                        len(image), 6 + 16)
    OUTPUTS[name] = icondir + entry + image


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
    add_ico('open_folder.ico', 16, 4, rows, mask, VGA16)


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
    add_ico('red_cross.ico', 16, 8, rows, mask, palette)


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
    add_bmp('arrow_cross.bmp', 15, 12, 4, pack_indexed(rows, 4), VGA16)


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
    add_bmp('magnifier.bmp', 15, 12, 4, pack_indexed(rows, 4), VGA16)


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
    add_bmp('about.bmp', size, size, 24, bytes(out))




def draw_art():
    open_folder_icon()
    red_cross_icon()
    arrow_cross_bitmap()
    magnifier_bitmap()
    about_bitmap()
