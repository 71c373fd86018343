// The full resampler: exact copies, colour conversion, keying, clipping,
// the table cache and running out of memory.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/alloc_hook.h"
#include "logo/resampler.h"

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

bool resample(ResamplerCache& cache, const Picture& p, Target& t, const Rect& dst,
              DestinationLayout layout, SourceMode mode = SourceMode::Plain, uint32_t key = 0) {
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

TEST(Resample, ConvertsToFullRangeYcc) {
  struct Case {
    uint32_t pixel;
    int y, cb, cr;
  } cases[] = {
      {bgra(255, 255, 255, 255), 255, 128, 128},
      {bgra(0, 0, 0, 255), 0, 128, 128},
      {bgra(0, 0, 255, 200), 76, 84, 255},  // Cb: floor(-43.03) = -44
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.pixel);
    Picture p(3, 3, c.pixel);
    ResamplerCache cache;
    Target t(3, 3);
    ASSERT_TRUE(resample(cache, p, t, p.rect(), DestinationLayout::Ycc32TopDown));
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 3; ++x)
        expectPixel(t.at(x, y, DestinationLayout::Ycc32TopDown), c.y, c.cb, c.cr, c.pixel >> 24);
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
