// Draws the project's sample logos and the loader's fuzz seeds.
//   make_samples <samples dir> [<fuzz corpus dir>]
// writes logo_animated.gif (a spinning emblem on a transparent background),
// logo_alpha.png (a translucent badge with soft edges) and logo_noisy.jpg
// (a flat logo on chroma green, saved at a low quality: a colour key's test).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "picture_writers.h"

namespace {

using om::test::Bytes;
using om::test::Rgb;

constexpr float kPi = 3.14159265f;

// Straight-alpha colour, components 0..1.
struct Color {
  float r, g, b, a;
};

Color mix(Color x, Color y, float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

// A float canvas painted with anti-aliased signed-distance shapes.
class Canvas {
 public:
  Canvas(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w * h), Color{0, 0, 0, 0}) {}

  // Paints where `distance` (pixels, negative inside) is below zero, with a
  // one-pixel ramp at the edge, or a `soft`-pixel ramp for shadows.
  template <class Distance, class Paint>
  void fill(Distance distance, Paint paint, float soft = 1.0f) {
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        const float px = x + 0.5f, py = y + 0.5f;
        const float coverage = std::clamp(0.5f - distance(px, py) / soft, 0.0f, 1.0f);
        if (coverage > 0) over(px_[static_cast<size_t>(y * w_ + x)], paint(px, py), coverage);
      }
  }
  const Color& at(int x, int y) const { return px_[static_cast<size_t>(y * w_ + x)]; }

 private:
  static void over(Color& d, Color s, float coverage) {
    const float sa = s.a * coverage;
    const float a = sa + d.a * (1 - sa);
    if (a <= 0) return;
    d.r = (s.r * sa + d.r * d.a * (1 - sa)) / a;
    d.g = (s.g * sa + d.g * d.a * (1 - sa)) / a;
    d.b = (s.b * sa + d.b * d.a * (1 - sa)) / a;
    d.a = a;
  }
  int w_, h_;
  std::vector<Color> px_;
};

auto circle(float cx, float cy, float r) {
  return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}
auto roundedBox(float cx, float cy, float hw, float hh, float r) {
  return [=](float x, float y) {
    const float qx = std::fabs(x - cx) - (hw - r), qy = std::fabs(y - cy) - (hh - r);
    return std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - r;
  };
}
auto outline(float cx, float cy, float hw, float hh, float r, float thickness) {
  return [=](float x, float y) { return std::fabs(roundedBox(cx, cy, hw, hh, r)(x, y)) - thickness / 2; };
}
auto ring(float cx, float cy, float r, float thickness) {
  return [=](float x, float y) { return std::fabs(circle(cx, cy, r)(x, y)) - thickness / 2; };
}
auto capsule(float ax, float ay, float bx, float by, float r) {
  return [=](float x, float y) {
    const float dx = bx - ax, dy = by - ay;
    const float t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    return std::hypot(x - ax - t * dx, y - ay - t * dy) - r;
  };
}
auto solid(Color c) {
  return [=](float, float) { return c; };
}

// A 5 x 7 font, just the letters the logos use; bit 4 is the left column.
const uint8_t* glyph(char c) {
  static const uint8_t kT[7] = {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04};
  static const uint8_t kV[7] = {0x11, 0x11, 0x11, 0x11, 0x0A, 0x0A, 0x04};
  static const uint8_t kL[7] = {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F};
  static const uint8_t kI[7] = {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E};
  static const uint8_t kE[7] = {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F};
  switch (c) {
    case 'T': return kT;
    case 'V': return kV;
    case 'L': return kL;
    case 'I': return kI;
    default: return kE;
  }
}

// Each lit font cell becomes a square of `cell` pixels, overlapping its
// neighbours by a pixel so strokes show no seams.
void text(Canvas& canvas, const char* s, float left, float top, float cell, Color color) {
  for (int i = 0; s[i]; ++i)
    for (int row = 0; row < 7; ++row)
      for (int col = 0; col < 5; ++col) {
        if (!(glyph(s[i])[row] & (0x10 >> col))) continue;
        const float cx = left + (i * 6 + col + 0.5f) * cell, cy = top + (row + 0.5f) * cell;
        const float half = cell * 0.5f + (cell > 3 ? 0.5f : 0.0f);
        canvas.fill(roundedBox(cx, cy, half, half, cell > 3 ? 1.0f : 0.0f), solid(color));
      }
}

uint8_t byteOf(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255)); }

// --- The translucent PNG badge ---
Bytes drawBadge() {
  const int w = 200, h = 100;
  Canvas c(w, h);
  const Color top{0.16f, 0.27f, 0.66f, 0.90f}, bottom{0.45f, 0.12f, 0.55f, 0.90f};
  c.fill(roundedBox(102, 54, 92, 40, 18), solid({0, 0, 0, 0.45f}), 5.0f);  // drop shadow
  c.fill(roundedBox(100, 50, 92, 40, 18), [&](float, float y) { return mix(top, bottom, (y - 10) / 80); });
  c.fill(roundedBox(100, 29, 86, 17, 14), [](float, float y) {  // gloss fading downwards
    return Color{1, 1, 1, 0.32f * std::clamp((46 - y) / 34, 0.0f, 1.0f)};
  });
  c.fill(outline(100, 50, 92, 40, 18, 2.5f), solid({1, 1, 1, 0.85f}));

  // A television: antennae, cabinet, glowing screen.
  c.fill(capsule(52, 31, 40, 17, 1.6f), solid({1, 1, 1, 0.95f}));
  c.fill(capsule(52, 31, 64, 19, 1.6f), solid({1, 1, 1, 0.95f}));
  c.fill(circle(40, 17, 2.8f), solid({1, 0.8f, 0.3f, 1}));
  c.fill(circle(64, 19, 2.8f), solid({1, 0.8f, 0.3f, 1}));
  c.fill(roundedBox(52, 55, 28, 22, 7), solid({0.08f, 0.08f, 0.12f, 0.95f}));
  c.fill(roundedBox(48, 55, 19, 15, 5), [](float x, float y) {
    return mix({0.2f, 0.9f, 0.95f, 1}, {0.1f, 0.35f, 0.85f, 1}, (x - 29 + y - 40) / 60);
  });
  c.fill(circle(74, 48, 2.5f), solid({0.9f, 0.9f, 0.9f, 1}));
  c.fill(circle(74, 58, 2.5f), solid({0.9f, 0.9f, 0.9f, 1}));

  text(c, "TV", 104 + 2, 26 + 2, 7, {0, 0, 0, 0.35f});
  text(c, "TV", 104, 26, 7, {1, 1, 1, 1});

  Bytes rgba;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Color& p = c.at(x, y);
      rgba.insert(rgba.end(), {byteOf(p.r), byteOf(p.g), byteOf(p.b), byteOf(p.a)});
    }
  return om::test::writePngRgba(w, h, rgba);
}

// --- The animated GIF emblem ---
// Palette: index 0 is transparent, then a 6 x 7 x 6 colour cube.
std::vector<Rgb> cubePalette() {
  std::vector<Rgb> palette{{0, 0, 0}};
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 7; ++g)
      for (int b = 0; b < 6; ++b)
        palette.push_back({static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 255 / 6), static_cast<uint8_t>(b * 51)});
  return palette;
}
uint8_t cubeIndex(const Color& p) {
  if (p.a < 0.5f) return 0;
  const int r = static_cast<int>(std::lround(std::clamp(p.r, 0.0f, 1.0f) * 5));
  const int g = static_cast<int>(std::lround(std::clamp(p.g, 0.0f, 1.0f) * 6));
  const int b = static_cast<int>(std::lround(std::clamp(p.b, 0.0f, 1.0f) * 5));
  return static_cast<uint8_t>(1 + (r * 7 + g) * 6 + b);
}

Bytes drawEmblem() {
  const int w = 160, h = 90, frames = 10;
  std::vector<om::test::GifFrameInput> gifFrames;
  for (int k = 0; k < frames; ++k) {
    Canvas c(w, h);
    const float cx = 45, cy = 45;
    c.fill(circle(cx, cy, 36), solid({0.1f, 0.1f, 0.16f, 1}));  // dark disc
    // Three comets swept a third of a turn over the loop, so it repeats seamlessly.
    for (int arm = 0; arm < 3; ++arm)
      for (int dot = 0; dot < 9; ++dot) {
        const float angle = 2 * kPi * (arm / 3.0f + k / (3.0f * frames)) - dot * 0.13f;
        const float t = dot / 8.0f;
        c.fill(circle(cx + 29 * std::cos(angle), cy + 29 * std::sin(angle), 5.0f - 3.2f * t),
               solid(mix({1, 0.85f, 0.2f, 1}, {0.95f, 0.35f, 0.1f, 1}, t)));
      }
    const float pulse = 0.5f + 0.5f * std::cos(2 * kPi * k / frames);
    c.fill(circle(cx, cy, 15 + 3 * pulse), solid(mix({0.75f, 0.1f, 0.15f, 1}, {0.95f, 0.2f, 0.25f, 1}, pulse)));
    text(c, "TV", cx - 11, cy - 7, 2, {1, 1, 1, 1});
    for (int dx = -1; dx <= 1; ++dx)  // a dark rim keeps the word readable on any video
      for (int dy = -1; dy <= 1; ++dy) text(c, "LIVE", 86.0f + dx, 34.0f + dy, 3, {0.05f, 0.05f, 0.1f, 1});
    text(c, "LIVE", 86, 34, 3, mix({1, 1, 1, 1}, {1, 0.8f, 0.3f, 1}, pulse));

    om::test::GifFrameInput f;
    f.width = w;
    f.height = h;
    f.delay = 10;
    f.transparent = 0;
    f.disposal = 2;  // cleared before the next frame, so transparent areas stay clear
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) f.indices.push_back(cubeIndex(c.at(x, y)));
    gifFrames.push_back(std::move(f));
  }
  return om::test::writeGif(w, h, cubePalette(), gifFrames, /*loop=*/true);
}

// --- The JPEG logo on chroma green ---
// Flat shapes in white, black and one red, anti-aliased into a flat green;
// quality 55 with the encoder's 4:2:0 chroma leaves blocky noise on the
// green and a smeared fringe around every edge, as logos cut from broadcast
// graphics have.
Bytes drawNoisyLogo() {
  const int w = 256, h = 128;
  Canvas c(w, h);
  const Color white{1, 1, 1, 1}, black{0, 0, 0, 1}, red{0.88f, 0.07f, 0.1f, 1};
  c.fill(roundedBox(66, 54, 54, 38, 10), solid(black));
  text(c, "TV", 28, 30, 7, white);
  c.fill(circle(190, 54, 37), solid(red));
  c.fill(ring(190, 54, 37, 5), solid(white));
  c.fill(capsule(24, 110, 232, 110, 9), solid(white));
  text(c, "LIVE", 105, 103, 2, black);

  const Color green{0, 0.69f, 0.25f, 1};
  Bytes rgb;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Color& p = c.at(x, y);
      const Color out = mix(green, {p.r, p.g, p.b, 1}, p.a);
      rgb.insert(rgb.end(), {byteOf(out.r), byteOf(out.g), byteOf(out.b)});
    }
  return om::test::writeJpeg(w, h, 3, rgb, 55);
}

// --- Fuzz seeds: a selector byte (the file name's ending) and a tiny file ---
enum Ending : uint8_t { kGif = 0, kPng = 1, kJpg = 2, kBmp = 3, kBmpWithoutCodec = 3 | 8 };

std::vector<std::pair<std::string, Bytes>> fuzzSeeds() {
  using namespace om::test;
  std::vector<std::pair<std::string, Bytes>> seeds;
  auto add = [&](const char* name, uint8_t selector, Bytes file) {
    file.insert(file.begin(), selector);
    seeds.emplace_back(name, std::move(file));
  };
  GifFrameInput a;
  a.width = 8, a.height = 8, a.interlace = true, a.transparent = 2, a.disposal = 3, a.delay = 5;
  for (int i = 0; i < 64; ++i) a.indices.push_back(static_cast<uint8_t>(i % 3));
  GifFrameInput b = a;
  b.interlace = false, b.left = 2, b.top = 3, b.width = 4, b.height = 3, b.disposal = 2;
  b.indices.resize(12);
  b.localColors = {{9, 9, 9}, {250, 0, 0}};
  const Bytes gif = writeGif(10, 12, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, {a, b, a});
  add("anim.gif", kGif, gif);
  add("still_gif.png", kPng, gif);

  Bytes rgba;
  for (int i = 0; i < 6 * 5 * 4; ++i) rgba.push_back(static_cast<uint8_t>(i * 29));
  add("rgba.png", kPng, writePngRgba(6, 5, rgba));
  PngInput palette;
  palette.width = 7, palette.height = 7, palette.colorType = 3, palette.bitDepth = 2, palette.interlace = true;
  palette.palette = {{1, 2, 3}, {200, 100, 0}, {0, 90, 250}};
  palette.transparency = {0, 128};
  palette.samples.assign(7 * 2, 0x1B);
  add("palette_adam7.png", kPng, writePng(palette));
  PngInput grey16;
  grey16.width = 3, grey16.height = 2, grey16.colorType = 0, grey16.bitDepth = 16;
  grey16.samples = {0, 1, 2, 3, 4, 5, 250, 251, 252, 253, 254, 255};
  add("grey16.gif", kGif, writePng(grey16));

  Bytes rgb;
  for (int i = 0; i < 16 * 8 * 3; ++i) rgb.push_back(static_cast<uint8_t>(i * 5));
  add("photo.jpg", kJpg, writeJpeg(16, 8, 3, rgb, 80));
  add("progressive.jpg", kJpg, writeJpeg(8, 8, 1, Bytes(rgb.begin(), rgb.begin() + 64), 80, true));
  add("cmyk.jpg", kJpg, writeJpeg(8, 8, 4, Bytes(rgb.begin(), rgb.begin() + 256), 80));

  BmpInput bmp;
  bmp.width = 5, bmp.height = -3, bmp.bitCount = 8;
  bmp.palette = {{1, 2, 3}, {4, 5, 6}};
  bmp.values = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0};
  add("eight.bmp", kBmp, writeBmp(bmp));
  bmp.bitCount = 1, bmp.height = 3;
  add("one.bmp", kBmp, writeBmp(bmp));
  BmpInput alpha;
  alpha.infoSize = 124, alpha.width = 3, alpha.height = 2, alpha.bitCount = 32, alpha.compression = 3;
  alpha.masks[0] = 0xFF0000, alpha.masks[1] = 0xFF00, alpha.masks[2] = 0xFF, alpha.masks[3] = 0xFF000000;
  alpha.values = {0x80FF0000, 0x40FFFFFF, 0, 0xFF123456, 0x01020304, 0x7F7F7F7F};
  add("alpha.bmp", kBmp, writeBmp(alpha));
  BmpInput rgb565;
  rgb565.width = 3, rgb565.height = 2, rgb565.bitCount = 16, rgb565.compression = 3;
  rgb565.masks[0] = 0xF800, rgb565.masks[1] = 0x07E0, rgb565.masks[2] = 0x001F;
  rgb565.values = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0, 0x1234};
  add("rgb565.bmp", kBmp, writeBmp(rgb565));
  BmpInput core;
  core.infoSize = 12, core.width = 2, core.height = 2, core.bitCount = 24;
  core.values = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  add("core.bmp", kBmpWithoutCodec, writeBmp(core));
  return seeds;
}

bool save(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (out.good()) std::printf("%s (%zu bytes)\n", path.c_str(), bytes.size());
  return out.good();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s <samples dir> [<fuzz corpus dir>]\n", argv[0]);
    return 2;
  }
  const std::string samples = argv[1];
  bool ok = save(samples + "/logo_animated.gif", drawEmblem()) && save(samples + "/logo_alpha.png", drawBadge()) &&
            save(samples + "/logo_noisy.jpg", drawNoisyLogo());
  if (argc == 3)
    for (const auto& [name, bytes] : fuzzSeeds()) ok = save(std::string(argv[2]) + "/" + name, bytes) && ok;
  return ok ? 0 : 1;
}
