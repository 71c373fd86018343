// Test pictures made on the spot: GIF, PNG and JPEG through the libraries'
// encoders, BMP as hand-built bytes, so that every expected pixel is known.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "logo/logo_image.h"

namespace om::test {

using Bytes = std::vector<uint8_t>;

struct Rgb {
  uint8_t r, g, b;
};

// --- GIF ---
struct GifFrameInput {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> indices;  // width * height, top row first
  bool interlace = false;
  bool control = true;           // write a graphics control extension
  int disposal = 0;
  int transparent = -1;
  int delay = 0;                 // hundredths
  std::vector<Rgb> localColors;  // empty: use the global map
};
// `loop`: add the application extension that makes viewers repeat forever.
Bytes writeGif(int screenWidth, int screenHeight, const std::vector<Rgb>& globalColors,
               const std::vector<GifFrameInput>& frames, bool loop = false);

// A long animation written frame by frame, never whole in memory: every
// 4th frame covers the canvas, the others are moving patches with a
// transparent hole, disposed of in turn by none, background and previous.
// Pixels are noisy enough to compress as a real clip does. False when the
// file could not be written.
bool writeLongGif(const std::string& path, int width, int height, int frames);

// --- PNG: rows already in PNG sample layout (8 or 16 bits, big-endian) ---
struct PngInput {
  int width = 0, height = 0;
  int colorType = 0;  // PNG_COLOR_TYPE_*
  int bitDepth = 8;
  bool interlace = false;
  Bytes samples;      // height rows of packed samples, no filter byte
  std::vector<Rgb> palette;
  Bytes transparency;  // tRNS: alpha per palette entry
  int trnsGray = -1;   // tRNS for grey pictures
};
Bytes writePng(const PngInput& pic);
// 8-bit RGBA, top row first.
Bytes writePngRgba(int width, int height, const Bytes& rgba);

// --- JPEG: components 1 (grey), 3 (RGB) or 4 (CMYK, stored as Adobe's
// writers do, i.e. inverted) ---
Bytes writeJpeg(int width, int height, int components, const Bytes& samples, int quality = 95,
                bool progressive = false);

// --- BMP ---
struct BmpInput {
  int width = 0, height = 0;    // height < 0: top-down
  int bitCount = 24;
  uint32_t infoSize = 40;       // 12, 40, 56, 108 or 124
  uint32_t compression = 0;     // 0 RGB, 3 BITFIELDS, 6 ALPHABITFIELDS
  uint32_t masks[4] = {0, 0, 0, 0};
  std::vector<Rgb> palette;
  // Per pixel, top row first: the palette index for <= 8 bits, else the
  // raw 16/32-bit value, or B | G << 8 | R << 16 for 24 bits.
  std::vector<uint32_t> values;
};
Bytes writeBmp(const BmpInput& pic);

// --- Files and frames ---
// A fresh directory removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::string write(const std::string& name, const Bytes& bytes) const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Pixel (x, y from the top) of `frame` as 0xAARRGGBB.
uint32_t pixelOf(const LogoFrame& frame, int x, int y);
constexpr uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

}  // namespace om::test
