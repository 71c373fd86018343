#include "tools/host/bitmap_font.h"

#include <cstring>

namespace omhost {
namespace {

struct Glyph {
  char c;
  uint8_t rows[kGlyphHeight];  // bit 4 is the leftmost column
};

constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
};

const Glyph* find(char c) {
  for (const Glyph& g : kGlyphs)
    if (g.c == c) return &g;
  return nullptr;  // spaces and anything unknown stay blank
}

}  // namespace

int textWidth(const char* text, int scale) {
  const int n = static_cast<int>(std::strlen(text));
  return n == 0 ? 0 : (n * kGlyphAdvance - 1) * scale;
}

void drawText(uint8_t* rgb, int width, int height, int x, int y, int scale, const char* text,
              const uint8_t color[3]) {
  for (int i = 0; text[i]; ++i) {
    const Glyph* g = find(text[i]);
    if (!g) continue;
    const int left = x + i * kGlyphAdvance * scale;
    for (int gy = 0; gy < kGlyphHeight * scale; ++gy) {
      const int py = y + gy;
      if (py < 0 || py >= height) continue;
      const uint8_t bits = g->rows[gy / scale];
      for (int gx = 0; gx < kGlyphWidth * scale; ++gx) {
        const int px = left + gx;
        if (px < 0 || px >= width || !(bits & (0x10 >> (gx / scale)))) continue;
        uint8_t* d = rgb + (static_cast<size_t>(py) * static_cast<size_t>(width) +
                            static_cast<size_t>(px)) * 3;
        d[0] = color[0];
        d[1] = color[1];
        d[2] = color[2];
      }
    }
  }
}

}  // namespace omhost
