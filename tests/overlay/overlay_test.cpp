// Overlay preparation: the allocation bands, source mode and key colour,
// row order per layout, and what happens without a picture or memory.
#include "logo/overlay.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "common/alloc_hook.h"
#include "common/muldiv.h"
#include "tests/support/kernel_check.h"
#include "tests/win32/frame_check/test_pictures.h"

namespace om {
namespace {

// The pieces of the plug-in's state a rebuild reads and writes.
struct OverlayRig {
  LogoImage logo;
  int32_t logoLoaded = 0;
  FrameCanvas canvas;
  OverlayBuilder builder;
  ChannelRecord record;
  ChannelRecord& recordInUse() { return record; }
};

// As the plug-in rebuilds: only while a picture is loaded.
void rebuildOverlay(OverlayRig& s) {
  if (s.logoLoaded) s.builder.rebuild(s.canvas, s.logo, s.record);
}

uint32_t bgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
  return b | (g << 8) | (r << 16) | (a << 24);
}

class OverlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.canvas.SetFormat(720, 576, kPackedYuv422);
  }
  void TearDown() override { armAllocFailure(0); }

  // Appends a frame of w x h pixels filled with `fill` and makes it current.
  void addFrame(int32_t w, int32_t h, uint32_t fill) {
    ASSERT_TRUE(state_.logo.AddFrame());
    ASSERT_TRUE(state_.logo.SetFrameSize(w, h));
    LogoFrame& f = state_.logo.currentForWriting();
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) f.pixels[i] = fill;
    state_.logoLoaded = 1;
  }
  // Picture pixel at column x, row y from the top (frames are bottom-up).
  uint32_t& picturePixel(int frame, int32_t x, int32_t y) {
    const LogoFrame& f = state_.logo.frame(frame);
    return f.pixels[static_cast<size_t>(f.height - 1 - y) * f.width + x];
  }
  // Overlay pixel of content row r, column x, in the layout's row order.
  const uint8_t* overlayPixel(int32_t x, int32_t r) const {
    const OverlayImage& o = state_.canvas.overlay();
    const int32_t row =
        state_.canvas.layoutCode() == kBgr24BottomUp ? o.allocatedHeight - 1 - r : r;
    return o.pixels + (static_cast<size_t>(row) * o.allocatedWidth + x) * 4;
  }
  // Sizes that map a w x h picture one to one onto a 100 x 100 frame.
  void useOneToOneFrame(int32_t code, int32_t w, int32_t h) {
    state_.canvas.SetFormat(100, 100, code);
    ChannelRecord& r = state_.recordInUse();
    r.LogoSizeX = w * 10;
    r.LogoSizeY = h * 10;
  }

  OverlayRig state_;
};

TEST_F(OverlayTest, BlockFollowsTheTenPercentBands) {
  addFrame(300, 200, bgra(10, 20, 30, 255));
  ChannelRecord& r = state_.recordInUse();
  r.LogoSizeX = 261;
  r.LogoSizeY = 174;
  rebuildOverlay(state_);
  const OverlayImage& o = state_.canvas.overlay();
  EXPECT_EQ(o.content.right, 188);
  EXPECT_EQ(o.content.bottom, 100);
  EXPECT_EQ(o.allocatedWidth, 207);
  EXPECT_EQ(o.allocatedHeight, 110);
  ASSERT_NE(o.pixels, nullptr);
  const uint8_t* first = o.pixels;

  const int32_t to200[2] = {278, 174};  // 200 x 100: inside 169..207 and 90..110
  EXPECT_TRUE(ensureOverlaySize(state_.canvas, to200, 1000, 1000, 10, 10));
  EXPECT_EQ(o.content.right, 200);
  EXPECT_EQ(o.pixels, first);
  EXPECT_EQ(o.allocatedWidth, 207);

  const int32_t to150[2] = {208, 174};  // 150 < 169: a smaller block
  EXPECT_TRUE(ensureOverlaySize(state_.canvas, to150, 1000, 1000, 10, 10));
  EXPECT_EQ(o.content.right, 150);
  EXPECT_EQ(o.allocatedWidth, 165);
  EXPECT_EQ(o.allocatedHeight, 110);

  const int32_t to230[2] = {319, 174};  // 230 > 165: a larger block
  EXPECT_TRUE(ensureOverlaySize(state_.canvas, to230, 1000, 1000, 10, 10));
  EXPECT_EQ(o.content.right, 230);
  EXPECT_EQ(o.allocatedWidth, 253);
}

TEST_F(OverlayTest, ZeroOrNegativeSizeLeavesNothingToDraw) {
  addFrame(30, 20, bgra(10, 20, 30, 255));
  ChannelRecord& r = state_.recordInUse();
  r.LogoSizeX = 100;
  r.LogoSizeY = 100;
  rebuildOverlay(state_);
  const uint8_t* block = state_.canvas.overlay().pixels;
  for (const int32_t size : {0, -50}) {
    r.LogoSizeX = size;
    rebuildOverlay(state_);
    EXPECT_TRUE(state_.canvas.overlay().content.empty());
    EXPECT_EQ(state_.canvas.overlay().pixels, block);  // the block is kept for later
  }
}

TEST_F(OverlayTest, RowOrderFollowsTheLayout) {
  for (const int32_t code : {kPackedYuv422, kBgr24BottomUp}) {
    SCOPED_TRACE(code);
    OverlayRig& s = state_;
    s.logo.clear();
    addFrame(6, 4, bgra(0, 0, 0, 255));
    for (int32_t x = 0; x < 6; ++x) picturePixel(0, x, 0) = bgra(255, 255, 255, 255);
    useOneToOneFrame(code, 6, 4);
    rebuildOverlay(s);
    ASSERT_EQ(s.canvas.overlay().content.right, 6);
    for (int32_t x = 0; x < 6; ++x) {
      EXPECT_EQ(overlayPixel(x, 0)[0], 255);  // Y or B of the white top row
      EXPECT_EQ(overlayPixel(x, 3)[0], 0);
    }
  }
}

TEST_F(OverlayTest, PlainModeKeepsEveryAlpha) {
  addFrame(8, 8, 0);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x)
      picturePixel(0, x, y) = bgra(40, 80, 120, static_cast<uint32_t>(x * 32 + y));
  useOneToOneFrame(kBgr24BottomUp, 8, 8);
  ChannelRecord& r = state_.recordInUse();
  r.ColorKeyEnable = 0;
  r.LeftTopPixelColor = 0;
  r.ColorKey = 0x00785028;  // the picture's own colour: ignored while keying is off
  rebuildOverlay(state_);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const uint8_t* px = overlayPixel(x, y);
      EXPECT_EQ(px[0], 40);
      EXPECT_EQ(px[3], x * 32 + y);
    }
}

TEST_F(OverlayTest, TopLeftWhiteKeysEveryWhitePixel) {
  const uint32_t white = bgra(255, 255, 255, 255);
  addFrame(10, 10, white);
  picturePixel(0, 5, 5) = bgra(254, 255, 255, 255);
  useOneToOneFrame(kPackedYuv422, 10, 10);
  ChannelRecord& r = state_.recordInUse();
  r.ColorKeyEnable = 1;
  r.LeftTopPixelColor = 1;
  r.ColorKey = 0;  // not used: the top-left pixel decides
  rebuildOverlay(state_);
  const uint8_t* keyed = overlayPixel(2, 7);
  EXPECT_EQ(keyed[0], 0);
  EXPECT_EQ(keyed[1], 128);
  EXPECT_EQ(keyed[2], 128);
  EXPECT_EQ(keyed[3], 0);
  EXPECT_EQ(overlayPixel(5, 5)[3], 255);

  // With the top-left choice off, ColorKey (black here) is the key instead.
  r.LeftTopPixelColor = 0;
  rebuildOverlay(state_);
  EXPECT_EQ(overlayPixel(2, 7)[0], 255);
  EXPECT_EQ(overlayPixel(2, 7)[3], 255);
}

TEST_F(OverlayTest, TopLeftKeyFollowsTheCurrentAnimationFrame) {
  const uint32_t red = bgra(0, 0, 255, 255), blue = bgra(255, 0, 0, 255);
  addFrame(4, 4, red);
  addFrame(4, 4, red);
  picturePixel(1, 0, 0) = blue;
  state_.logo.SelectFrame(0);
  useOneToOneFrame(kBgr24BottomUp, 4, 4);
  ChannelRecord& r = state_.recordInUse();
  r.ColorKeyEnable = 1;
  r.LeftTopPixelColor = 1;

  rebuildOverlay(state_);  // frame 0: the key is red
  EXPECT_EQ(overlayPixel(3, 3)[3], 0);

  state_.logo.NextFrame();
  rebuildOverlay(state_);  // frame 1: the key is blue, red stays
  EXPECT_EQ(overlayPixel(0, 0)[3], 0);
  EXPECT_EQ(overlayPixel(3, 3)[2], 255);
  EXPECT_EQ(overlayPixel(3, 3)[3], 255);
}

TEST_F(OverlayTest, FrameWithoutPixelsDrawsNothing) {
  ASSERT_TRUE(state_.logo.AddFrame());  // never sized: no pixels
  state_.logoLoaded = 1;
  ChannelRecord& r = state_.recordInUse();
  r.LogoSizeX = 100;
  r.LogoSizeY = 100;
  r.ColorKeyEnable = 1;
  r.LeftTopPixelColor = 1;
  rebuildOverlay(state_);
  EXPECT_TRUE(state_.canvas.overlay().content.empty());
}

TEST_F(OverlayTest, UnknownLayoutAllocatesButDrawsNothing) {
  addFrame(30, 20, bgra(10, 20, 30, 255));
  state_.canvas.SetFormat(720, 576, 7);
  ChannelRecord& r = state_.recordInUse();
  r.LogoSizeX = 100;
  r.LogoSizeY = 100;
  rebuildOverlay(state_);
  EXPECT_EQ(state_.canvas.overlay().content.right, 72);
  EXPECT_NE(state_.canvas.overlay().pixels, nullptr);
  EXPECT_EQ(state_.builder.resamplerCache().rowBuffer.data(), nullptr);  // the scaler never ran
}

// A PNG whose corner is transparent and whose text is opaque black, loaded by
// the platform's codec (libpng here, GDI+ under Wine): the corner's colour
// reads 0, 0, 0, yet only a chosen black key may erase the text.
TEST_F(OverlayTest, TransparentCornerKeysNothingMore) {
  std::vector<testpic::Rgba> px(8 * 8, testpic::Rgba{255, 255, 255, 255});
  px[0] = testpic::Rgba{255, 255, 255, 0};
  for (int x = 2; x < 6; ++x) px[4 * 8 + x] = testpic::Rgba{0, 0, 0, 255};  // the text
  const testpic::Bytes png = testpic::makePng(8, 8, px);
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("om-corner-" + std::to_string(std::random_device{}()) + ".png");
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(png.data()),
                                              static_cast<std::streamsize>(png.size()));
  const bool loaded = state_.logo.LoadFromFile(file.string().c_str());
  std::filesystem::remove(file);
  ASSERT_TRUE(loaded);
  state_.logoLoaded = 1;
  useOneToOneFrame(kBgr24BottomUp, 8, 8);
  ChannelRecord& r = state_.recordInUse();
  r.ColorKeyEnable = 1;
  r.LeftTopPixelColor = 1;
  rebuildOverlay(state_);
  EXPECT_EQ(overlayPixel(0, 0)[3], 0) << "the corner keeps its own transparency";
  for (int x = 2; x < 6; ++x) EXPECT_EQ(overlayPixel(x, 4)[3], 255) << "black text at " << x;

  r.LeftTopPixelColor = 0;
  r.ColorKey = 0;  // black, chosen: the text goes, as asked
  rebuildOverlay(state_);
  EXPECT_EQ(overlayPixel(3, 4)[3], 0);
  EXPECT_EQ(overlayPixel(3, 2)[3], 255);
}

// Prepared animation frames show exactly what resampling every step shows:
// several loops, with edits and a format change in the middle of a loop.
TEST(PreparedFrames, EveryStepEqualsTheStepThatResamples) {
  std::mt19937 rng = test::seededRng(0xF4A3);
  OverlayRig prepared, plain;
  plain.builder.setPreparedBudget(0);
  for (OverlayRig* rig : {&prepared, &plain}) {
    rig->canvas.SetFormat(320, 240, kPackedYuv422);
    rig->record.LogoSizeX = 300;
    rig->record.LogoSizeY = 400;
  }
  std::vector<uint32_t> pixels(5 * 40 * 30);
  for (uint32_t& p : pixels) p = rng() | (rng() & 1 ? 0xFF000000u : 0u);
  for (OverlayRig* rig : {&prepared, &plain}) {
    for (int f = 0; f < 5; ++f) {
      ASSERT_TRUE(rig->logo.AddFrame() && rig->logo.SetFrameSize(40, 30));
      std::copy(pixels.begin() + f * 1200, pixels.begin() + (f + 1) * 1200,
                rig->logo.currentForWriting().pixels);
    }
    rig->logo.SelectFrame(0);
    rig->logoLoaded = 1;
    rebuildOverlay(*rig);
  }
  auto content = [](const OverlayRig& rig) {
    const OverlayImage& o = rig.canvas.overlay();
    std::vector<uint8_t> bytes;
    for (int32_t r = 0; r < o.content.bottom; ++r) {
      const int32_t row = rig.canvas.layoutCode() == kBgr24BottomUp ? o.allocatedHeight - 1 - r : r;
      const uint8_t* p = o.pixels + static_cast<size_t>(row) * o.allocatedWidth * 4;
      bytes.insert(bytes.end(), p, p + o.content.right * 4);
    }
    return bytes;
  };
  for (int step = 0; step < 30; ++step) {
    SCOPED_TRACE(step);
    for (OverlayRig* rig : {&prepared, &plain}) {
      if (step == 7) rig->record.LogoSizeX = 250;  // an edit, rebuilt as the dialog does
      if (step == 9) rig->record.ColorKeyEnable = 1;
      if (step == 12) rig->canvas.SetFormat(200, 150, kBgr24BottomUp);
      if (step == 18) rig->canvas.SetFormat(320, 240, kPackedYuv422);
      if (step == 14) rig->record.KeyTolerance = 30;
      // Settings a prepared frame depends on, changed between rebuilds.
      if (step == 20) rig->record.KeySoftness = 20;
      if (step == 26) rig->record.VideoColors = kVideoColorsTvBt709;
      if (step == 7 || step == 9 || step == 12 || step == 14 || step == 18) {
        rebuildOverlay(*rig);
      } else {
        rig->logo.NextFrame();
        rig->builder.step(rig->canvas, rig->logo, rig->record);
      }
    }
    ASSERT_FALSE(prepared.canvas.overlay().content.empty());
    ASSERT_EQ(content(prepared), content(plain));
    // The animation is shown from its prepared frames, the still path from its block.
    EXPECT_NE(prepared.canvas.overlay().pixels, prepared.canvas.overlay().block);
    EXPECT_EQ(plain.canvas.overlay().pixels, plain.canvas.overlay().block);
  }
}

// VideoColors picks the store's rows on 4:2:2 frames by the frame's size;
// BGR24 frames ignore it. One-to-one, so the picture's own colours arrive.
TEST_F(OverlayTest, VideoColorsPickTheRowsByFrameSize) {
  struct Case {
    int32_t videoColors, width, height;
    uint8_t whiteY, blackY, redY;
  };
  const Case cases[] = {
      {kVideoColorsFullBt601, 1920, 1080, 255, 0, 76}, {kVideoColorsAutomatic, 720, 576, 235, 16, 81},
      {kVideoColorsAutomatic, 1280, 720, 235, 16, 62}, {kVideoColorsAutomatic, 720, 578, 235, 16, 62},
      {kVideoColorsTvBt601, 1920, 1080, 235, 16, 81},  {kVideoColorsTvBt709, 720, 576, 235, 16, 62},
      {kVideoColorsFullBt709, 720, 576, 255, 0, 54},
  };
  addFrame(4, 2, bgra(255, 255, 255, 255));
  picturePixel(0, 1, 0) = bgra(0, 0, 0, 255);
  picturePixel(0, 2, 0) = bgra(0, 0, 255, 255);
  picturePixel(0, 3, 0) = 0;  // no weight: Y 0 whatever the rows
  for (const Case& c : cases) {
    SCOPED_TRACE(c.videoColors);
    state_.canvas.SetFormat(c.width, c.height, kPackedYuv422);
    ChannelRecord& r = state_.recordInUse();
    r.VideoColors = c.videoColors;
    r.LogoSizeX = MulDiv(4, 1000, c.width);
    r.LogoSizeY = MulDiv(2, 1000, c.height);
    rebuildOverlay(state_);
    ASSERT_EQ(state_.canvas.overlay().content.right, 4);
    EXPECT_EQ(overlayPixel(0, 1)[0], c.whiteY);
    EXPECT_EQ(overlayPixel(1, 0)[0], c.blackY);
    EXPECT_EQ(overlayPixel(2, 0)[0], c.redY);
    EXPECT_EQ(overlayPixel(3, 0)[0], 0);
    EXPECT_EQ(overlayPixel(0, 1)[1], 128);
  }
  useOneToOneFrame(kBgr24BottomUp, 4, 2);
  state_.recordInUse().VideoColors = kVideoColorsTvBt709;
  rebuildOverlay(state_);
  EXPECT_EQ(overlayPixel(0, 1)[0], 255) << "BGR24 takes the picture's own bytes";
}

class OverlayOutOfMemory : public OverlayTest, public testing::WithParamInterface<int> {};

// Allocation order on a fresh canvas: the overlay block, then the scaler's
// row buffer, vertical table and horizontal table. Whichever fails, the
// overlay is left empty and the next rebuild recovers.
TEST_P(OverlayOutOfMemory, LeavesAnEmptyOverlayAndRecovers) {
  addFrame(30, 20, bgra(10, 20, 30, 255));
  ChannelRecord& r = state_.recordInUse();
  r.LogoSizeX = 100;
  r.LogoSizeY = 100;
  armAllocFailure(GetParam());
  rebuildOverlay(state_);
  armAllocFailure(0);
  EXPECT_TRUE(state_.canvas.overlay().content.empty());
  if (GetParam() == 1) {
    EXPECT_EQ(state_.canvas.overlay().pixels, nullptr);
  }

  rebuildOverlay(state_);
  const OverlayImage& o = state_.canvas.overlay();
  ASSERT_EQ(o.content.right, 72);
  ASSERT_EQ(o.content.bottom, 58);
  // Same bytes as a canvas that never ran out of memory.
  OverlayRig fresh;
  fresh.record = state_.recordInUse();
  fresh.canvas.SetFormat(720, 576, kPackedYuv422);
  ASSERT_TRUE(fresh.logo.AddFrame());
  ASSERT_TRUE(fresh.logo.SetFrameSize(30, 20));
  std::memcpy(fresh.logo.currentForWriting().pixels, state_.logo.current().pixels, 30 * 20 * 4);
  fresh.logoLoaded = 1;
  rebuildOverlay(fresh);
  const OverlayImage& e = fresh.canvas.overlay();
  for (int32_t y = 0; y < 58; ++y)
    ASSERT_EQ(std::memcmp(o.pixels + y * o.allocatedWidth * 4, e.pixels + y * e.allocatedWidth * 4,
                          72 * 4),
              0)
        << y;
}

INSTANTIATE_TEST_SUITE_P(EachBlock, OverlayOutOfMemory, testing::Values(1, 2, 3, 4));

// Relies on the settings clamp: an oversize logo is cut back to the frame.
TEST_F(OverlayTest, OversizeLogoIsClampedBeforeScaling) {
  LogoSettings probe;
  probe.LogoSizeX = 1200;
  clampPositionAndSize(probe, 200, 100);
  if (probe.LogoSizeX == 1200) GTEST_SKIP() << "the settings clamp is not in yet";

  addFrame(200, 100, bgra(10, 20, 30, 255));
  ChannelRecord& r = state_.recordInUse();
  r.LogoSizeX = 500;
  r.LogoSizeY = 1200;
  rebuildOverlay(state_);
  // LogoSizeY 1000, LogoSizeX MulDiv(2000, 3, 4) = 1500, then cut to 1000.
  EXPECT_EQ(r.LogoSizeX, 1000);
  EXPECT_EQ(r.LogoSizeY, 667);
  EXPECT_EQ(state_.canvas.overlay().content.right, 720);
  EXPECT_EQ(state_.canvas.overlay().content.bottom, 384);
}

}  // namespace
}  // namespace om
