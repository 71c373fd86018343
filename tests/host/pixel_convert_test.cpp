#include "tools/host/pixel_convert.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "tools/host/contact_sheet.h"

namespace {

using namespace omhost;

std::vector<uint8_t> randomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

TEST(ColourConversion, KnownColoursAndRoundTripInBothRanges) {
  // White, black, red and blue: BT.601 Y Cb Cr in full range, then TV range.
  const struct {
    ColorRange range;
    uint8_t white, black, red[3], blue[3];
  } ranges[] = {{ColorRange::Full, 255, 0, {76, 85, 255}, {29, 255, 107}},
                {ColorRange::Tv, 235, 16, {81, 90, 240}, {41, 240, 110}}};
  for (const auto& c : ranges) {
    SCOPED_TRACE(c.range == ColorRange::Tv ? "TV range" : "full range");
    uint8_t rgb[3], yuv[3];
    yuvToRgb(c.white, 128, 128, rgb, c.range);
    EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 3 * 255);
    yuvToRgb(c.black, 128, 128, rgb, c.range);
    EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0);
    rgbToYuv(255, 255, 255, yuv, c.range);
    EXPECT_EQ(yuv[0], c.white);
    EXPECT_EQ(yuv[1], 128);
    rgbToYuv(255, 0, 0, yuv, c.range);
    EXPECT_EQ(std::vector<uint8_t>(yuv, yuv + 3), std::vector<uint8_t>(c.red, c.red + 3));
    rgbToYuv(0, 0, 255, yuv, c.range);
    EXPECT_EQ(std::vector<uint8_t>(yuv, yuv + 3), std::vector<uint8_t>(c.blue, c.blue + 3));

    // Every 7th RGB triple survives the trip through YCbCr within 2 levels.
    for (int r = 0; r < 256; r += 7)
      for (int g = 0; g < 256; g += 7)
        for (int b = 0; b < 256; b += 7) {
          rgbToYuv(r, g, b, yuv, c.range);
          yuvToRgb(yuv[0], yuv[1], yuv[2], rgb, c.range);
          ASSERT_LE(std::abs(rgb[0] - r), 2) << r << " " << g << " " << b;
          ASSERT_LE(std::abs(rgb[1] - g), 2) << r << " " << g << " " << b;
          ASSERT_LE(std::abs(rgb[2] - b), 2) << r << " " << g << " " << b;
        }
  }
}

TEST(RawLayouts, TwentyFourBitLayoutsBecomeBottomUpBgrAndBackExactly) {
  const int w = 5, h = 3;  // odd width: 24-bit rows have no padding
  const uint32_t seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  const std::vector<uint8_t> raw = randomBytes(static_cast<size_t>(w) * h * 3, seed);
  for (RawLayout layout : {RawLayout::Bgr24BottomUp, RawLayout::Bgr24, RawLayout::Rgb24}) {
    ASSERT_EQ(pluginCodeFor(layout), 1);
    std::vector<uint8_t> buffer(pluginFrameBytes(1, w, h)), back(raw.size());
    rawToPluginBuffer(layout, raw.data(), w, h, buffer.data());
    pluginBufferToRaw(layout, buffer.data(), w, h, back.data());
    EXPECT_EQ(back, raw) << rawLayoutName(layout);
  }
  // rgb24 top-down: the first picture row is the last buffer row, as B G R.
  std::vector<uint8_t> buffer(pluginFrameBytes(1, w, h));
  rawToPluginBuffer(RawLayout::Rgb24, raw.data(), w, h, buffer.data());
  const size_t last = static_cast<size_t>(h - 1) * w * 3;
  EXPECT_EQ(buffer[last + 0], raw[2]);
  EXPECT_EQ(buffer[last + 1], raw[1]);
  EXPECT_EQ(buffer[last + 2], raw[0]);
}

TEST(RawLayouts, PlanarOutputFromEitherPluginLayout) {
  // Packed 4:2:2 splits into planes without any change of values.
  const int w = 4, h = 2;
  std::vector<uint8_t> packed(16);
  for (size_t i = 0; i < packed.size(); ++i) packed[i] = static_cast<uint8_t>(10 + i);
  std::vector<uint8_t> planes(w * h * 2);
  pluginBufferToPlanar422(0, packed.data(), w, h, planes.data(), ColorRange::Full);
  EXPECT_EQ(planes, (std::vector<uint8_t>{10, 12, 14, 16, 18, 20, 22, 24,   // Y
                                          11, 15, 19, 23,                   // Cb
                                          13, 17, 21, 25}));                // Cr

  // A grey odd-width bottom-up BGR picture: the lone last pixel gets its own
  // chroma, and the top picture row is the last row in memory.
  const int ow = 3, oh = 2;
  std::vector<uint8_t> bgr(ow * oh * 3, 0);
  for (int i = 0; i < ow * 3; ++i) bgr[ow * 3 + i] = 200;  // memory row 1 = picture row 0
  std::vector<uint8_t> out(ow * oh + 2 * 2 * oh);
  pluginBufferToPlanar422(1, bgr.data(), ow, oh, out.data(), ColorRange::Full);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 6),
            (std::vector<uint8_t>{200, 200, 200, 0, 0, 0}));
  for (size_t i = 6; i < out.size(); ++i) EXPECT_EQ(out[i], 128) << i;
}

TEST(RawLayouts, GreyPackedFrameKeepsItsLevelsThroughRgb) {
  const int w = 4, h = 2;
  std::vector<uint8_t> packed(w * h * 2);
  for (int i = 0; i < w * h; ++i) {
    packed[2 * i] = static_cast<uint8_t>(30 * i);  // Y
    packed[2 * i + 1] = 128;                       // Cb / Cr
  }
  std::vector<uint8_t> rgb(w * h * 3), bgr(w * h * 3);
  pluginBufferToRgb(0, packed.data(), w, h, rgb.data(), ColorRange::Full);
  packed422ToBgrBottomUp(packed.data(), w, h, bgr.data(), ColorRange::Full);
  for (int i = 0; i < w * h; ++i) {
    EXPECT_EQ(rgb[3 * i], 30 * i);
    EXPECT_EQ(rgb[3 * i + 2], 30 * i);
  }
  EXPECT_EQ(bgr[0], 120);  // bottom memory row = picture row 1, first pixel Y=120
  std::vector<uint8_t> again(packed.size());
  rgbToPluginBuffer(0, rgb.data(), w, h, again.data(), ColorRange::Full);
  EXPECT_EQ(again, packed);
}

TEST(ContactSheetScaling, BoxFilterAveragesWithRounding) {
  // 4x2 -> 2x1: each output pixel is the mean of a 2x2 block.
  const std::vector<uint8_t> src = {0, 0, 0,   1, 1, 1,   10, 20, 30, 11, 21, 31,
                                    2, 2, 2,   2, 2, 2,   12, 22, 32, 13, 23, 33};
  std::vector<uint8_t> dst(6);
  downscaleRgb(src.data(), 4, 2, dst.data(), 2, 1);
  EXPECT_EQ(dst, (std::vector<uint8_t>{1, 1, 1, 12, 22, 32}));

  ContactSheet sheet(720, 576, 6);
  EXPECT_GT(sheet.width(), 3 * 360);
  EXPECT_GT(sheet.height(), 2 * 288);
  std::vector<uint8_t> frame(720 * 576 * 3, 255);
  sheet.place(5, 149, frame.data());
  sheet.place(6, 1, frame.data());  // no such slot: ignored
}

}  // namespace
