// Still pictures: BMP of every layout, PNG transparency premultiplied, JPEG
// colour spaces, and content recognised regardless of the file name.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>

#include "picture_writers.h"

namespace om::test {
namespace {

class StillLoader : public ::testing::Test {
 protected:
  TempDir dir;
  LogoImage image;

  void load(const std::string& name, const Bytes& bytes) {
    ASSERT_TRUE(image.LoadFromFile(dir.write(name, bytes).c_str())) << name;
    ASSERT_EQ(image.FrameCount(), 1);
  }
  uint32_t at(int x, int y) const { return pixelOf(image.current(), x, y); }
};

// A 3 x 2 picture: top row red, green, blue; bottom row white, black, grey.
const Rgb kPicture[6] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}, {0, 0, 0}, {128, 128, 128}};
uint32_t expected(int i) { return argb(255, kPicture[i].r, kPicture[i].g, kPicture[i].b); }

struct BmpCase {
  int bitCount;
  bool topDown;
};

class BmpDepths : public StillLoader, public ::testing::WithParamInterface<BmpCase> {};

TEST_P(BmpDepths, LoadExactPixelsInEitherRowOrder) {
  const BmpCase c = GetParam();
  BmpInput pic;
  pic.width = 3;
  pic.height = c.topDown ? -2 : 2;
  pic.bitCount = c.bitCount;
  const int colours = c.bitCount == 1 ? 2 : 6;
  for (int i = 0; i < 6; ++i) {
    const Rgb& p = kPicture[i];
    if (c.bitCount <= 8) {
      if (i < colours) pic.palette.push_back(p);
      pic.values.push_back(static_cast<uint32_t>(i % colours));
    } else if (c.bitCount == 16) {  // 5-5-5: 0 and 31 are exact, 16 expands to 132
      auto five = [](uint8_t v) { return v == 255 ? 31u : v == 128 ? 16u : 0u; };
      pic.values.push_back(five(p.r) << 10 | five(p.g) << 5 | five(p.b));
    } else {
      pic.values.push_back(static_cast<uint32_t>(p.b) | p.g << 8 | p.r << 16 | (c.bitCount == 32 ? 0x12u << 24 : 0));
    }
  }
  load("p.bmp", writeBmp(pic));
  for (int i = 0; i < 6; ++i) {
    uint32_t want = expected(i % colours);
    if (c.bitCount == 16 && i == 5) want = argb(255, 132, 132, 132);
    EXPECT_EQ(at(i % 3, i / 3), want) << "pixel " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(AllDepths, BmpDepths,
                         ::testing::Values(BmpCase{1, false}, BmpCase{4, false}, BmpCase{8, true}, BmpCase{16, false},
                                           BmpCase{24, true}, BmpCase{24, false}, BmpCase{32, false},
                                           BmpCase{32, true}, BmpCase{4, true}, BmpCase{1, true}),
                         [](const auto& info) {
                           return std::to_string(info.param.bitCount) + (info.param.topDown ? "TopDown" : "BottomUp");
                         });

TEST_F(StillLoader, BmpBitfieldsAndCoreHeaders) {
  BmpInput rgb565;
  rgb565.width = 2;
  rgb565.height = 1;
  rgb565.bitCount = 16;
  rgb565.compression = 3;
  rgb565.masks[0] = 0xF800, rgb565.masks[1] = 0x07E0, rgb565.masks[2] = 0x001F;
  rgb565.values = {0xF800 | 0x0400, 0x001F};  // red with green 32 of 63; blue
  load("565.bmp", writeBmp(rgb565));
  EXPECT_EQ(at(0, 0), argb(255, 255, 130, 0));  // (32 * 255 + 31) / 63 = 130
  EXPECT_EQ(at(1, 0), argb(255, 0, 0, 255));

  BmpInput core;
  core.infoSize = 12;
  core.width = 1;
  core.height = 1;
  core.bitCount = 8;
  core.palette = {{1, 2, 3}, {10, 20, 30}};
  core.values = {1};
  load("core.bmp", writeBmp(core));
  EXPECT_EQ(at(0, 0), argb(255, 10, 20, 30));
}

TEST_F(StillLoader, BmpAlphaMaskIsPremultipliedUnlessAllZero) {
  BmpInput pic;
  pic.infoSize = 124;
  pic.width = 2;
  pic.height = 1;
  pic.bitCount = 32;
  pic.compression = 3;
  pic.masks[0] = 0x00FF0000, pic.masks[1] = 0x0000FF00, pic.masks[2] = 0x000000FF, pic.masks[3] = 0xFF000000;
  pic.values = {0x80C86432, 0x00FFFFFF};  // (200, 100, 50) at 128; white at 0
  load("a.bmp", writeBmp(pic));
  EXPECT_EQ(at(0, 0), argb(128, 100, 50, 25));
  EXPECT_EQ(at(1, 0), 0u);

  pic.values = {0x00C86432, 0x00FFFFFF};  // a mask, but every alpha 0: opaque
  load("b.bmp", writeBmp(pic));
  EXPECT_EQ(at(0, 0), argb(255, 200, 100, 50));
}

TEST_F(StillLoader, ShortBmpKeepsTheRowsItHas) {
  BmpInput pic;
  pic.width = 2;
  pic.height = 3;  // bottom-up: the file holds the bottom row first
  pic.values = {0xFF0000, 0xFF0000, 0x00FF00, 0x00FF00, 0x0000FF, 0x0000FF};
  Bytes bytes = writeBmp(pic);
  bytes.resize(bytes.size() - 8 - 3);  // the top row and part of the middle one
  load("short.bmp", bytes);
  EXPECT_EQ(at(1, 2), argb(255, 0, 0, 255));
  EXPECT_EQ(at(0, 1), 0u);
  EXPECT_EQ(at(0, 0), 0u);
  bytes.resize(54);  // headers only
  EXPECT_FALSE(image.LoadFromFile(dir.write("headers.bmp", bytes).c_str()));
}

TEST_F(StillLoader, PngAlphaIsPremultipliedWithRounding) {
  load("a.png", writePngRgba(3, 1, {200, 100, 50, 255, 200, 100, 50, 128, 10, 20, 30, 0}));
  EXPECT_EQ(at(0, 0), argb(255, 200, 100, 50));
  EXPECT_EQ(at(1, 0), argb(128, 100, 50, 25));  // (c * 128 + 127) / 255
  EXPECT_EQ(at(2, 0), 0u);
}

TEST_F(StillLoader, PngPaletteGreyAndDeepFormatsBecomeEightBitBgra) {
  PngInput palette;  // 2-bit indices with per-entry transparency
  palette.width = 3;
  palette.height = 1;
  palette.colorType = PNG_COLOR_TYPE_PALETTE;
  palette.bitDepth = 2;
  palette.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  palette.transparency = {255, 0, 128};
  palette.samples = {0x00 << 6 | 0x01 << 4 | 0x02 << 2};
  load("p.png", writePng(palette));
  EXPECT_EQ(at(0, 0), argb(255, 255, 0, 0));
  EXPECT_EQ(at(1, 0), 0u);
  EXPECT_EQ(at(2, 0), argb(128, 0, 0, 128));

  PngInput grey16;
  grey16.width = 3;
  grey16.height = 1;
  grey16.colorType = PNG_COLOR_TYPE_GRAY;
  grey16.bitDepth = 16;
  grey16.samples = {0xFF, 0xFF, 0x80, 0x80, 0x12, 0x34};
  grey16.trnsGray = 0x1234;
  load("g.png", writePng(grey16));
  EXPECT_EQ(at(0, 0), argb(255, 255, 255, 255));
  EXPECT_EQ(at(1, 0), argb(255, 128, 128, 128));
  EXPECT_EQ(at(2, 0), 0u);

  PngInput greyAlpha;
  greyAlpha.width = 1;
  greyAlpha.height = 1;
  greyAlpha.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
  greyAlpha.samples = {255, 51};
  load("ga.png", writePng(greyAlpha));
  EXPECT_EQ(at(0, 0), argb(51, 51, 51, 51));
}

TEST_F(StillLoader, InterlacedPngMatchesPlain) {
  PngInput pic;
  pic.width = 9;
  pic.height = 9;
  pic.colorType = PNG_COLOR_TYPE_RGB;
  for (int i = 0; i < 9 * 9 * 3; ++i) pic.samples.push_back(static_cast<uint8_t>(i * 37));
  load("plain.png", writePng(pic));
  std::vector<uint32_t> plain;
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x) plain.push_back(at(x, y));
  pic.interlace = true;
  load("adam7.png", writePng(pic));
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x) ASSERT_EQ(at(x, y), plain[static_cast<size_t>(y * 9 + x)]) << x << "," << y;
  const uint8_t* s = &pic.samples[(4 * 9 + 5) * 3];
  EXPECT_EQ(at(5, 4), argb(255, s[0], s[1], s[2]));
}

// Within `tolerance` on every colour byte, and opaque.
::testing::AssertionResult near(uint32_t got, Rgb want, int tolerance) {
  const int c[3] = {static_cast<int>(got >> 16 & 255), static_cast<int>(got >> 8 & 255), static_cast<int>(got & 255)};
  const int w[3] = {want.r, want.g, want.b};
  for (int i = 0; i < 3; ++i)
    if (std::abs(c[i] - w[i]) > tolerance || got >> 24 != 255)
      return ::testing::AssertionFailure() << std::hex << "got 0x" << got;
  return ::testing::AssertionSuccess();
}

TEST_F(StillLoader, JpegColourGreyAndCmyk) {
  Bytes rgb, grey, cmyk;
  for (int i = 0; i < 16 * 16; ++i) {
    rgb.insert(rgb.end(), {200, 100, 50});
    grey.push_back(90);
    cmyk.insert(cmyk.end(), {255, 0, 0, 255});  // red, stored inverted as Adobe does
  }
  load("c.jpg", writeJpeg(16, 16, 3, rgb));
  EXPECT_TRUE(near(at(3, 5), {200, 100, 50}, 4));
  load("g.jpeg", writeJpeg(16, 16, 1, grey));
  EXPECT_TRUE(near(at(15, 15), {90, 90, 90}, 2));
  load("k.jpg", writeJpeg(16, 16, 4, cmyk));
  EXPECT_TRUE(near(at(0, 0), {255, 0, 0}, 4));
}

TEST_F(StillLoader, ContentDecidesTheFormatNotTheName) {
  load("really_a_png.jpg", writePngRgba(1, 1, {1, 2, 3, 255}));
  EXPECT_EQ(at(0, 0), argb(255, 1, 2, 3));
  EXPECT_EQ(image.CurrentDelay(), 0);
  // A still picture named .gif: one frame, with the delay of a frame that has none.
  load("still.gif", writePngRgba(1, 1, {1, 2, 3, 255}));
  EXPECT_EQ(image.CurrentDelay(), 100);
  EXPECT_FALSE(image.LoadFromFile(dir.write("text.png", Bytes{'h', 'e', 'l', 'l', 'o'}).c_str()));
  EXPECT_FALSE(image.LoadFromFile((dir.path() + "/missing.png").c_str()));
  EXPECT_FALSE(image.LoadFromFile(dir.path().c_str()));
}

}  // namespace
}  // namespace om::test
