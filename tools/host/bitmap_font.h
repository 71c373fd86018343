// A 5x7 pixel font with just the characters the host writes on pictures
// (digits, ':', ' ', and the letters of "FRAME").
#pragma once

#include <cstdint>

namespace omhost {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kGlyphAdvance = 6;  // one blank column between characters

// Draws `text` into an R G B top-down picture, each font pixel as a
// scale x scale square; anything outside the picture is clipped.
void drawText(uint8_t* rgb, int width, int height, int x, int y, int scale, const char* text,
              const uint8_t color[3]);
int textWidth(const char* text, int scale);

}  // namespace omhost
