#include "tools/host/test_pattern.h"

#include <cstdio>

#include "tools/host/bitmap_font.h"

namespace omhost {
namespace {

// 75% bars: white, yellow, cyan, green, magenta, red, blue, black.
constexpr uint8_t kBars[8][3] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                                 {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {0, 0, 0}};

// Triangle wave 0..span..0 with period 2*span.
int64_t bounce(int64_t t, int64_t span) {
  if (span <= 0) return 0;
  const int64_t m = t % (2 * span);
  return m <= span ? m : 2 * span - m;
}

// Hue 0..1535 around the colour wheel, full saturation.
void hueToRgb(int64_t hue, uint8_t out[3]) {
  const int h = static_cast<int>(((hue % 1536) + 1536) % 1536);
  const int f = h & 255;
  const uint8_t up = static_cast<uint8_t>(f), down = static_cast<uint8_t>(255 - f);
  switch (h >> 8) {
    case 0: out[0] = 255; out[1] = up; out[2] = 0; break;
    case 1: out[0] = down; out[1] = 255; out[2] = 0; break;
    case 2: out[0] = 0; out[1] = 255; out[2] = up; break;
    case 3: out[0] = 0; out[1] = down; out[2] = 255; break;
    case 4: out[0] = up; out[1] = 0; out[2] = 255; break;
    default: out[0] = 255; out[1] = 0; out[2] = down; break;
  }
}

}  // namespace

TestPattern::TestPattern(int width, int height, int fpsNum, int fpsDen)
    : width_(width), height_(height), fpsNum_(fpsNum > 0 ? fpsNum : 25),
      fpsDen_(fpsDen > 0 ? fpsDen : 1),
      rgb_(static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {}

const uint8_t* TestPattern::render(int64_t index) {
  drawBackground(index);
  drawBall(index);
  drawChannelBug();
  drawCaption(index);
  return rgb_.data();
}

void TestPattern::drawBackground(int64_t index) {
  const int barsEnd = height_ * 60 / 100;
  const int rampEnd = height_ * 68 / 100;
  const int hueEnd = height_ * 76 / 100;
  for (int y = 0; y < height_; ++y) {
    uint8_t* d = rgb_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_) * 3;
    for (int x = 0; x < width_; ++x, d += 3) {
      if (y < barsEnd) {
        const uint8_t* c = kBars[static_cast<size_t>(x) * 8 / static_cast<size_t>(width_)];
        d[0] = c[0];
        d[1] = c[1];
        d[2] = c[2];
      } else if (y < rampEnd) {
        const uint8_t v = static_cast<uint8_t>(bounce(2 * x + 6 * index, 255));
        d[0] = d[1] = d[2] = v;
      } else if (y < hueEnd) {
        hueToRgb(static_cast<int64_t>(x) * 1536 / width_ - 12 * index, d);
      } else {
        d[0] = 24;
        d[1] = 28;
        d[2] = 40;
      }
    }
  }
}

void TestPattern::drawBall(int64_t index) {
  const int radius = height_ / 12 > 2 ? height_ / 12 : 2;
  const int areaHeight = height_ * 76 / 100;
  const int64_t cx = radius + bounce(7 * index, width_ - 2 * radius);
  const int64_t cy = radius + bounce(5 * index, areaHeight - 2 * radius);
  uint8_t color[3];
  hueToRgb(8 * index, color);
  // Coverage from 4x4 sub-samples per pixel, in 1/8-pixel units:
  // distances stay below 2^15, squares below 2^31.
  const int64_t r8 = static_cast<int64_t>(radius) * 8;
  for (int64_t y = cy - radius - 1; y <= cy + radius + 1; ++y) {
    if (y < 0 || y >= height_) continue;
    for (int64_t x = cx - radius - 1; x <= cx + radius + 1; ++x) {
      if (x < 0 || x >= width_) continue;
      int covered = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const int64_t dx = (x - cx) * 8 + sx * 2 - 3;
          const int64_t dy = (y - cy) * 8 + sy * 2 - 3;
          if (dx * dx + dy * dy <= r8 * r8) ++covered;
        }
      }
      if (covered == 0) continue;
      uint8_t* d = rgb_.data() + (static_cast<size_t>(y) * static_cast<size_t>(width_) +
                                  static_cast<size_t>(x)) * 3;
      for (int k = 0; k < 3; ++k)
        d[k] = static_cast<uint8_t>((color[k] * covered + d[k] * (16 - covered) + 8) / 16);
    }
  }
}

void TestPattern::drawChannelBug() {
  // A ring around a 7, see-through white, inside the black bar: the demo's
  // fourth channel erases it (thousandths 880..990 wide, 420..580 high).
  const int cx = width_ * 935 / 1000, cy = height_ / 2;
  const int radius = height_ / 16 > 4 ? height_ / 16 : 4;
  const int inner = radius - (radius / 5 > 1 ? radius / 5 : 1);
  for (int y = cy - radius; y <= cy + radius; ++y) {
    if (y < 0 || y >= height_) continue;
    for (int x = cx - radius; x <= cx + radius; ++x) {
      if (x < 0 || x >= width_) continue;
      const int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      if (d2 > radius * radius || d2 < inner * inner) continue;
      uint8_t* d = rgb_.data() + (static_cast<size_t>(y) * static_cast<size_t>(width_) +
                                  static_cast<size_t>(x)) * 3;
      for (int k = 0; k < 3; ++k) d[k] = static_cast<uint8_t>((d[k] + 3 * 235 + 2) / 4);
    }
  }
  const int scale = radius / 7 > 1 ? radius / 7 : 1;
  const uint8_t white[3] = {235, 235, 235};
  drawText(rgb_.data(), width_, height_, cx - textWidth("7", scale) / 2,
           cy - kGlyphHeight * scale / 2, scale, "7", white);
}

void TestPattern::drawCaption(int64_t index) {
  const int top = height_ * 76 / 100;
  const int area = height_ - top;
  int scale = area / 22;
  if (scale > width_ / 110) scale = width_ / 110;
  if (scale < 1) scale = 1;

  // Time code HH:MM:SS:FF in video time.
  const int64_t fps = (fpsNum_ + fpsDen_ - 1) / fpsDen_;
  const int64_t seconds = index * fpsDen_ / fpsNum_;
  const int64_t frameInSecond = index - seconds * fpsNum_ / fpsDen_;
  char counter[32], timecode[32];
  std::snprintf(counter, sizeof counter, "FRAME %06lld", static_cast<long long>(index % 1000000));
  std::snprintf(timecode, sizeof timecode, "%02lld:%02lld:%02lld:%02lld",
                static_cast<long long>(seconds / 3600 % 100),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60),
                static_cast<long long>(frameInSecond % 100));
  const uint8_t white[3] = {235, 235, 235};
  const uint8_t amber[3] = {255, 190, 60};
  // Right-aligned: the bottom-left corner is where logos like to sit.
  const int right = width_ - width_ / 20;
  const int lineHeight = kGlyphHeight * scale;
  drawText(rgb_.data(), width_, height_, right - textWidth(counter, scale),
           top + area / 2 - lineHeight - scale * 2, scale, counter, white);
  drawText(rgb_.data(), width_, height_, right - textWidth(timecode, scale),
           top + area / 2 + scale * 2, scale, timecode, amber);

  // A bar along the bottom that fills once per second.
  const int barHeight = scale > 1 ? scale : 2;
  const int filled = fps > 0 ? static_cast<int>((frameInSecond + 1) * width_ / fps) : 0;
  for (int y = height_ - barHeight; y < height_; ++y) {
    if (y < top) continue;
    uint8_t* d = rgb_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_) * 3;
    for (int x = 0; x < width_ && x < filled; ++x, d += 3) {
      d[0] = amber[0];
      d[1] = amber[1];
      d[2] = amber[2];
    }
  }
}

}  // namespace omhost
