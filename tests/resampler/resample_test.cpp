// The full resampler: exact copies, colour conversion, keying, clipping,
// the table cache and running out of memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

#include "common/alloc_hook.h"
#include "common/cpu.h"
#include "logo/resampler.h"
#include "tests/support/kernel_check.h"

namespace om {
namespace {

constexpr uint8_t kMarker = 0xA5;

uint32_t bgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
  return b | (g << 8) | (r << 16) | (a << 24);
}

struct Picture {
  int32_t width, height;
  std::vector<uint32_t> pixels;  // bottom-up
  Picture(int32_t w, int32_t h, uint32_t fill = 0)
      : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
  uint32_t& at(int32_t x, int32_t yFromTop) {
    return pixels[static_cast<size_t>(height - 1 - yFromTop) * width + x];
  }
  Rect rect() const { return Rect{0, 0, width, height}; }
};

struct Target {
  int32_t width, height;
  std::vector<uint8_t> bytes;
  Target(int32_t w, int32_t h)
      : width(w), height(h), bytes(static_cast<size_t>(w) * h * 4, kMarker) {}
  // Pixel at column x, row y from the top, in the given layout.
  const uint8_t* at(int32_t x, int32_t y, DestinationLayout layout) const {
    const int32_t row = layout == DestinationLayout::Bgra32BottomUp ? height - 1 - y : y;
    return &bytes[(static_cast<size_t>(row) * width + x) * 4];
  }
};

// Without `ycc`, through resampleImage's default.
bool resample(ResamplerCache& cache, const Picture& p, Target& t, const Rect& dst,
              DestinationLayout layout, SourceMode mode = SourceMode::Plain, uint32_t key = 0,
              const YccCoefficients* ycc = nullptr) {
  if (ycc)
    return resampleImage(cache, p.pixels.data(), p.width, p.height, p.rect(), mode,
                         t.bytes.data(), t.width, t.height, dst, layout, key, *ycc);
  return resampleImage(cache, p.pixels.data(), p.width, p.height, p.rect(), mode, t.bytes.data(),
                       t.width, t.height, dst, layout, key);
}

void expectPixel(const uint8_t* px, int b0, int b1, int b2, int b3) {
  EXPECT_EQ(px[0], b0);
  EXPECT_EQ(px[1], b1);
  EXPECT_EQ(px[2], b2);
  EXPECT_EQ(px[3], b3);
}

TEST(Resample, EqualSizesCopyExactly) {
  Picture p(23, 17);
  uint32_t v = 12345;
  for (uint32_t& px : p.pixels) px = v = v * 1664525u + 1013904223u;
  ResamplerCache cache;
  Target t(23, 17);
  ASSERT_TRUE(resample(cache, p, t, p.rect(), DestinationLayout::Bgra32BottomUp));
  // Both bottom-up with the same row length: the bytes are the picture's.
  EXPECT_EQ(std::memcmp(t.bytes.data(), p.pixels.data(), t.bytes.size()), 0);
}

// Exact values: the default's results as they always were, TV range's
// black and white, and a pixel of weight 0 (all zero, premultiplied), which
// must keep Y 0 in every set so that the blend leaves the frame untouched.
TEST(Resample, ConvertsToYccExactlyAtTheExtremes) {
  const uint32_t white = bgra(255, 255, 255, 255), black = bgra(0, 0, 0, 255), none = 0;
  struct Case {
    const YccCoefficients* set;  // nullptr: the default
    uint32_t pixel;
    int y, cb, cr;
  } cases[] = {
      {nullptr, white, 255, 128, 128},
      {nullptr, black, 0, 128, 128},
      {nullptr, bgra(0, 0, 255, 200), 76, 84, 255},  // Cb: floor(-43.03) = -44
      {&kYccTvBt601, white, 235, 128, 128},
      {&kYccTvBt601, black, 16, 128, 128},
      {&kYccTvBt709, white, 235, 128, 128},
      {&kYccTvBt709, black, 16, 128, 128},
      {&kYccFullBt709, white, 255, 128, 128},
      {&kYccFullBt601, none, 0, 128, 128},
      {&kYccTvBt601, none, 0, 128, 128},
      {&kYccTvBt709, none, 0, 128, 128},
      {&kYccFullBt709, none, 0, 128, 128},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.pixel << (c.set ? "" : " default"));
    Picture p(3, 3, c.pixel);
    ResamplerCache cache;
    Target t(3, 3);
    ASSERT_TRUE(resample(cache, p, t, p.rect(), DestinationLayout::Ycc32TopDown,
                         SourceMode::Plain, 0, c.set));
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 3; ++x)
        expectPixel(t.at(x, y, DestinationLayout::Ycc32TopDown), c.y, c.cb, c.cr, c.pixel >> 24);
  }
}

// Coefficient rows (B, G, R, times 32768) and offset as the colour
// standards give them, kept apart from the library's own tables.
struct Rows {
  int y[3], cb[3], cr[3], offset;
};

std::array<int, 4> yccByFormula(const Rows& c, int b, int g, int r, int alpha) {
  const int a = alpha + (alpha >> 7);
  auto dot = [&](const int* k) { return k[0] * b + k[1] * g + k[2] * r; };
  auto clamp = [](double v) { return static_cast<int>(std::min(255.0, std::max(0.0, v))); };
  return {clamp(std::floor((dot(c.y) + c.offset * a) / 32768.0)),
          clamp(std::floor(dot(c.cb) / 32768.0) + 128),
          clamp(std::floor(dot(c.cr) / 32768.0) + 128), alpha};
}

// An equal-size copy hands each pixel to the store unchanged: every set, on
// every level, against the formula on random pixels with 0 and 255 common.
// The default must give full-range BT.601 exactly as before.
TEST(Resample, ConvertsToYccByTheFormulaOfEachSet) {
  const Rows fullBt601{{3735, 19235, 9798}, {16384, -10855, -5529}, {-2664, -13720, 16384}, 0};
  const struct {
    const YccCoefficients* set;  // nullptr: the default
    Rows rows;
  } sets[] = {
      {nullptr, fullBt601},
      {&kYccFullBt601, fullBt601},
      {&kYccTvBt601, {{3208, 16519, 8415}, {14392, -9535, -4857}, {-2340, -12052, 14392}, 2048}},
      {&kYccTvBt709, {{2032, 20127, 5983}, {14392, -11094, -3298}, {-1320, -13072, 14392}, 2048}},
      {&kYccFullBt709, {{2366, 23436, 6966}, {16384, -12630, -3754}, {-1502, -14882, 16384}, 0}},
  };
  std::mt19937 rng = test::seededRng(0x0CC5);
  auto channel = [&] {
    const int32_t pick = test::uniform(rng, 0, 5);
    return pick == 0 ? 0u : pick == 1 ? 255u : static_cast<uint32_t>(test::uniform(rng, 0, 255));
  };
  Picture p(67, 61);  // an odd width, so the vector paths' tails run too
  for (uint32_t& px : p.pixels) px = bgra(channel(), channel(), channel(), channel());
  std::vector<SimdLevel> levels = test::vectorLevels();
  levels.insert(levels.begin(), SimdLevel::Scalar);
  for (SimdLevel level : levels) {
    const SimdLevelCap cap(level);
    for (size_t s = 0; s < std::size(sets); ++s) {
      SCOPED_TRACE(testing::Message() << simdLevelName(level) << ", set " << s);
      ResamplerCache cache;
      Target t(p.width, p.height);
      ASSERT_TRUE(resample(cache, p, t, p.rect(), DestinationLayout::Ycc32TopDown,
                           SourceMode::Plain, 0, sets[s].set));
      for (int32_t y = 0; y < p.height; ++y)
        for (int32_t x = 0; x < p.width; ++x) {
          const uint32_t px = p.at(x, y);
          const std::array<int, 4> want =
              yccByFormula(sets[s].rows, px & 0xFF, (px >> 8) & 0xFF, (px >> 16) & 0xFF, px >> 24);
          const uint8_t* got = t.at(x, y, DestinationLayout::Ycc32TopDown);
          ASSERT_TRUE(std::equal(want.begin(), want.end(), got))
              << "pixel " << std::hex << px << std::dec << ": " << int{got[0]} << ","
              << int{got[1]} << "," << int{got[2]} << "," << int{got[3]} << " instead of "
              << want[0] << "," << want[1] << "," << want[2] << "," << want[3];
        }
    }
  }
}

TEST(Resample, KeyColourReadsAsTransparentBlack) {
  const uint32_t white = bgra(255, 255, 255, 255);
  Picture p(9, 9, white);
  p.at(4, 4) = bgra(254, 255, 255, 255);  // one step off the key: kept
  ResamplerCache cache;
  Target t(9, 9);
  ASSERT_TRUE(resample(cache, p, t, p.rect(), DestinationLayout::Ycc32TopDown, SourceMode::Keyed,
                       0x00FFFFFF));
  expectPixel(t.at(0, 0, DestinationLayout::Ycc32TopDown), 0, 128, 128, 0);
  expectPixel(t.at(8, 2, DestinationLayout::Ycc32TopDown), 0, 128, 128, 0);
  EXPECT_EQ(t.at(4, 4, DestinationLayout::Ycc32TopDown)[3], 255);

  // Plain mode ignores the key entirely.
  Target plain(9, 9);
  ASSERT_TRUE(resample(cache, p, plain, p.rect(), DestinationLayout::Ycc32TopDown,
                       SourceMode::Plain, 0x00FFFFFF));
  expectPixel(plain.at(0, 0, DestinationLayout::Ycc32TopDown), 255, 128, 128, 255);

  // The key is 0x00BBGGRR, red in the low byte: blue 0x30, green 0x20, red 0x10.
  Picture q(4, 4, bgra(0x30, 0x20, 0x10, 255));
  for (const uint32_t key : {0x00302010u, 0x00102030u}) {
    Target out(4, 4);
    ASSERT_TRUE(resample(cache, q, out, q.rect(), DestinationLayout::Bgra32BottomUp,
                         SourceMode::Keyed, key));
    const uint8_t* px = out.at(1, 1, DestinationLayout::Bgra32BottomUp);
    if (key == 0x00302010u)
      expectPixel(px, 0, 0, 0, 0);
    else
      expectPixel(px, 0x30, 0x20, 0x10, 255);
  }
}

// Only the allocated part of a larger destination rectangle is written, with
// the filter positions of the whole rectangle.
TEST(Resample, DestinationLargerThanAllocationIsClipped) {
  Picture p(20, 10);
  uint32_t v = 7;
  for (uint32_t& px : p.pixels) px = v = v * 1664525u + 1013904223u;
  for (DestinationLayout layout :
       {DestinationLayout::Bgra32BottomUp, DestinationLayout::Ycc32TopDown}) {
    ResamplerCache fullCache, clippedCache;
    Target full(40, 20);
    ASSERT_TRUE(resample(fullCache, p, full, Rect{0, 0, 40, 20}, layout));
    Target clipped(16, 8);
    ASSERT_TRUE(resample(clippedCache, p, clipped, Rect{-5, -3, 35, 17}, layout));
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 16; ++x)
        ASSERT_EQ(std::memcmp(clipped.at(x, y, layout), full.at(x + 5, y + 3, layout), 4), 0)
            << x << "," << y;

    // A rectangle starting inside the allocation leaves the rest alone.
    Target partial(16, 8);
    ASSERT_TRUE(resample(clippedCache, p, partial, Rect{2, 1, 42, 21}, layout));
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        const uint8_t* px = partial.at(x, y, layout);
        if (x < 2 || y < 1)
          expectPixel(px, kMarker, kMarker, kMarker, kMarker);
        else
          ASSERT_EQ(std::memcmp(px, full.at(x - 2, y - 1, layout), 4), 0) << x << "," << y;
      }
  }
}

TEST(Resample, EmptyRectanglesWriteNothing) {
  Picture p(8, 8, bgra(1, 2, 3, 4));
  ResamplerCache cache;
  Target t(8, 8);
  const DestinationLayout layout = DestinationLayout::Bgra32BottomUp;
  EXPECT_FALSE(resample(cache, p, t, Rect{0, 0, 0, 8}, layout));
  EXPECT_FALSE(resample(cache, p, t, Rect{0, 0, 8, -3}, layout));
  EXPECT_FALSE(resample(cache, p, t, Rect{8, 0, 20, 8}, layout));  // wholly right of the block
  EXPECT_FALSE(resampleImage(cache, p.pixels.data(), 8, 8, Rect{9, 0, 12, 8}, SourceMode::Plain,
                             t.bytes.data(), 8, 8, Rect{0, 0, 8, 8}, layout, 0));
  EXPECT_FALSE(resampleImage(cache, nullptr, 8, 8, Rect{0, 0, 8, 8}, SourceMode::Plain,
                             t.bytes.data(), 8, 8, Rect{0, 0, 8, 8}, layout, 0));
  for (uint8_t b : t.bytes) ASSERT_EQ(b, kMarker);
  EXPECT_EQ(cache.rowBuffer.data(), nullptr);  // nothing allocated either
}

TEST(Resample, TablesAreRebuiltOnlyWhenTheirGeometryChanges) {
  Picture p(30, 20, bgra(10, 20, 30, 255));
  ResamplerCache cache;
  Target t(60, 40);
  ASSERT_TRUE(resample(cache, p, t, Rect{0, 0, 60, 40}, DestinationLayout::Ycc32TopDown));
  EXPECT_EQ(cache.vertical.builds, 1u);
  EXPECT_EQ(cache.horizontal.builds, 1u);
  EXPECT_EQ(cache.vertical.step, -4 * 30);

  ASSERT_TRUE(resample(cache, p, t, Rect{0, 0, 60, 40}, DestinationLayout::Bgra32BottomUp));
  EXPECT_EQ(cache.vertical.builds, 1u);
  EXPECT_EQ(cache.horizontal.builds, 1u);

  // A shorter allocation clips fewer rows: only the vertical table changes.
  Target shorter(60, 25);
  ASSERT_TRUE(resample(cache, p, shorter, Rect{0, 0, 60, 40}, DestinationLayout::Ycc32TopDown));
  EXPECT_EQ(cache.vertical.builds, 2u);
  EXPECT_EQ(cache.vertical.count, 25);
  EXPECT_EQ(cache.horizontal.builds, 1u);
}

class ResampleAllocFailure : public testing::TestWithParam<int> {
 protected:
  void TearDown() override { armAllocFailure(0); }
};

// Allocation order on a fresh cache: vertical table, horizontal table, then
// the blocks the pixel passes read it through. Whichever fails, nothing is
// written and a later call recovers.
TEST_P(ResampleAllocFailure, DrawsNothingAndRecovers) {
  Picture p(12, 9);
  uint32_t v = 3;
  for (uint32_t& px : p.pixels) px = v = v * 1664525u + 1013904223u;
  const Rect dst{0, 0, 25, 14};
  ResamplerCache reference;
  Target expected(25, 14);
  ASSERT_TRUE(resample(reference, p, expected, dst, DestinationLayout::Ycc32TopDown));

  ResamplerCache cache;
  Target t(25, 14);
  armAllocFailure(GetParam());
  EXPECT_FALSE(resample(cache, p, t, dst, DestinationLayout::Ycc32TopDown));
  armAllocFailure(0);
  for (uint8_t b : t.bytes) ASSERT_EQ(b, kMarker);
  EXPECT_EQ(cache.vertical.count == 0, cache.vertical.block.data() == nullptr);
  EXPECT_EQ(cache.horizontal.count == 0, cache.horizontal.block.data() == nullptr);

  ASSERT_TRUE(resample(cache, p, t, dst, DestinationLayout::Ycc32TopDown));
  EXPECT_EQ(t.bytes, expected.bytes);
}

INSTANTIATE_TEST_SUITE_P(EachBlock, ResampleAllocFailure, testing::Values(1, 2, 3));

// A table that fails while being replaced forgets its geometry, so the same
// geometry is built again next time rather than read from a freed block.
TEST(Resample, FailedRebuildForgetsTheCachedGeometry) {
  Picture p(16, 16, bgra(50, 60, 70, 255));
  ResamplerCache cache;
  Target t(16, 16);
  ASSERT_TRUE(resample(cache, p, t, Rect{0, 0, 16, 16}, DestinationLayout::Bgra32BottomUp));
  Target big(160, 16);
  armAllocFailure(1);  // the larger row of the horizontal table
  EXPECT_FALSE(resample(cache, p, big, Rect{0, 0, 160, 16}, DestinationLayout::Bgra32BottomUp));
  armAllocFailure(0);
  EXPECT_EQ(cache.horizontal.block.data(), nullptr);
  EXPECT_EQ(cache.horizontal.destinationSize, 0);
  const uint32_t builds = cache.horizontal.builds;
  ASSERT_TRUE(resample(cache, p, big, Rect{0, 0, 160, 16}, DestinationLayout::Bgra32BottomUp));
  EXPECT_EQ(cache.horizontal.builds, builds + 1);
  ResamplerCache fresh;
  Target expected(160, 16);
  ASSERT_TRUE(resample(fresh, p, expected, Rect{0, 0, 160, 16}, DestinationLayout::Bgra32BottomUp));
  EXPECT_EQ(big.bytes, expected.bytes);
}

}  // namespace
}  // namespace om
