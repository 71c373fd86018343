#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "common/alloc_hook.h"
#include "common/cpu.h"
#include "dialog/preview_pane.h"
#include "dialog/preview_scaler.h"
#include "tests/support/kernel_check.h"

namespace om {
namespace {

// A bottom-up 32-bit picture addressed by (x, y from the top).
struct Picture {
  int32_t width, height;
  std::vector<uint32_t> pixels;
  Picture(int32_t w, int32_t h, uint32_t fill = 0)
      : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
  uint32_t& at(int32_t x, int32_t y) {
    return pixels[static_cast<size_t>(height - 1 - y) * width + x];
  }
  uint8_t byte(int32_t x, int32_t y, int b) {
    return reinterpret_cast<const uint8_t*>(&at(x, y))[b];
  }
};

uint32_t pack(uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  uint32_t v;
  const uint8_t bytes[4] = {b, g, r, a};
  std::memcpy(&v, bytes, 4);
  return v;
}

TEST(PreviewLerp, FloorsTowardMinusInfinityBothWays) {
  EXPECT_EQ(lerpByte(0, 9, 2048), 4);
  EXPECT_EQ(lerpByte(9, 0, 2048), 4);
  EXPECT_EQ(lerpByte(0, 255, 4095), 254);
  EXPECT_EQ(lerpByte(255, 0, 4095), 0);
  EXPECT_EQ(lerpByte(17, 200, 0), 17);
  // Every kernel set computes the same floors.
  for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2}) {
    if (level > detectedSimdLevel()) continue;
    const uint32_t a = pack(0, 9, 255, 17), b = pack(9, 0, 0, 200);
    uint32_t out = 0;
    previewKernelsFor(level).lerpRow(reinterpret_cast<uint8_t*>(&out),
                                     reinterpret_cast<const uint8_t*>(&a),
                                     reinterpret_cast<const uint8_t*>(&b), 1, 2048);
    EXPECT_EQ(out, pack(4, 4, 127, 108)) << simdLevelName(level);
  }
}

TEST(PreviewStepTable, EnlargingPutsTheEndsOnTheEndPixels) {
  StepEntry e[4];
  buildStepTable(e, StepTableKey{2, 4, 0, 4, 4});
  // Positions 0, 21845, 43690, 65536.
  const uint16_t weights[4] = {0, 1365, 2730, 0};
  const int32_t advances[4] = {0, 0, -4, 0};  // the cursor already stands on pixel 1
  const int32_t nexts[4] = {0, 4, 4, 0};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(e[i].weight[0], weights[i]) << i;
    EXPECT_EQ(e[i].weight[3], weights[i]) << i;
    EXPECT_EQ(e[i].advance, advances[i]) << i;
    EXPECT_EQ(e[i].next, nexts[i]) << i;
  }
}

TEST(PreviewStepTable, ReducingMapsCentresOntoCentres) {
  StepEntry e[2];
  buildStepTable(e, StepTableKey{4, 2, 0, 2, 4});
  // Bias 32768: positions 32768 and 163840, both halfway.
  EXPECT_EQ(e[0].advance, 0);
  EXPECT_EQ(e[0].next, 4);
  EXPECT_EQ(e[0].weight[0], 2048);
  EXPECT_EQ(e[1].advance, 4);  // from pixel 1 (after the second tap) to pixel 2
  EXPECT_EQ(e[1].next, 4);
  EXPECT_EQ(e[1].weight[0], 2048);
}

class PreviewScale : public ::testing::TestWithParam<SimdLevel> {
 protected:
  void SetUp() override {
    if (GetParam() > detectedSimdLevel()) GTEST_SKIP() << "CPU lacks " << simdLevelName(GetParam());
    cap_.emplace(GetParam());
  }
  std::optional<SimdLevelCap> cap_;
  PreviewScaler scaler_;
};

TEST_P(PreviewScale, WorkedSpansGiveTheFormulaBytes) {
  // 2 -> 4 across, 1 row.
  Picture src(2, 1);
  src.at(0, 0) = pack(10, 200, 0, 255);
  src.at(1, 0) = pack(250, 0, 100, 255);
  Picture dst(4, 1);
  ASSERT_TRUE(scaler_.scale(src.pixels.data(), 2, 1, Rect{0, 0, 2, 1}, dst.pixels.data(), 4, 1,
                            Rect{0, 0, 4, 1}));
  for (int b = 0; b < 4; ++b) {
    const int s0 = src.byte(0, 0, b), s1 = src.byte(1, 0, b);
    EXPECT_EQ(dst.byte(0, 0, b), s0);
    EXPECT_EQ(dst.byte(1, 0, b), lerpByte(s0, s1, 1365));
    EXPECT_EQ(dst.byte(2, 0, b), lerpByte(s0, s1, 2730));
    EXPECT_EQ(dst.byte(3, 0, b), s1);
  }
  EXPECT_EQ(dst.byte(1, 0, 0), 10 + (240 * 1365) / 4096);

  // 4 -> 2 down a column.
  Picture tall(1, 4);
  for (int y = 0; y < 4; ++y) tall.at(0, y) = pack(uint8_t(y * 60), uint8_t(255 - y * 33), 7, 9);
  Picture out(1, 2);
  ASSERT_TRUE(scaler_.scale(tall.pixels.data(), 1, 4, Rect{0, 0, 1, 4}, out.pixels.data(), 1, 2,
                            Rect{0, 0, 1, 2}));
  for (int b = 0; b < 4; ++b) {
    EXPECT_EQ(out.byte(0, 0, b), lerpByte(tall.byte(0, 0, b), tall.byte(0, 1, b), 2048));
    EXPECT_EQ(out.byte(0, 1, b), lerpByte(tall.byte(0, 2, b), tall.byte(0, 3, b), 2048));
  }
}

TEST_P(PreviewScale, EqualSpansCopyAndReadOnlyInsideTheSourceRectangle) {
  std::mt19937 rng(7);
  // Poison outside the rectangle: any read of it would show up in the output.
  Picture src(9, 7, 0xDEADBEEF);
  for (int y = 2; y < 6; ++y)
    for (int x = 3; x < 8; ++x) src.at(x, y) = rng();
  Picture dst(5, 4);
  ASSERT_TRUE(scaler_.scale(src.pixels.data(), 9, 7, Rect{3, 2, 8, 6}, dst.pixels.data(), 5, 4,
                            Rect{0, 0, 5, 4}));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(dst.at(x, y), src.at(x + 3, y + 2));

  // Enlarged and reduced, the crop scales exactly like the same pixels alone.
  Picture alone(5, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) alone.at(x, y) = src.at(x + 3, y + 2);
  for (const Rect& d : {Rect{0, 0, 13, 11}, Rect{0, 0, 3, 2}, Rect{0, 0, 13, 2}}) {
    Picture a(d.right, d.bottom), b(d.right, d.bottom);
    ASSERT_TRUE(scaler_.scale(src.pixels.data(), 9, 7, Rect{3, 2, 8, 6}, a.pixels.data(),
                              d.right, d.bottom, d));
    ASSERT_TRUE(scaler_.scale(alone.pixels.data(), 5, 4, Rect{0, 0, 5, 4}, b.pixels.data(),
                              d.right, d.bottom, d));
    EXPECT_EQ(a.pixels, b.pixels);
  }
}

TEST_P(PreviewScale, ClippingKeepsTheMapping) {
  std::mt19937 rng(11);
  Picture src(17, 9);
  for (uint32_t& p : src.pixels) p = rng();
  // Unclipped: the whole 40 x 30 destination in a large canvas.
  Picture whole(40, 30);
  ASSERT_TRUE(scaler_.scale(src.pixels.data(), 17, 9, Rect{0, 0, 17, 9}, whole.pixels.data(), 40,
                            30, Rect{0, 0, 40, 30}));
  // The same rectangle shifted so that it hangs over every edge of a pane.
  const uint32_t marker = 0x5A5A5A5A;
  Picture pane(24, 14, marker);
  const int32_t dx = -9, dy = -7;
  ASSERT_TRUE(scaler_.scale(src.pixels.data(), 17, 9, Rect{0, 0, 17, 9}, pane.pixels.data(), 24,
                            14, Rect{dx, dy, dx + 40, dy + 30}));
  for (int y = 0; y < 14; ++y)
    for (int x = 0; x < 24; ++x) ASSERT_EQ(pane.at(x, y), whole.at(x - dx, y - dy)) << x << "," << y;

  // Partly inside: pixels outside the destination rectangle stay untouched.
  Picture part(24, 14, marker);
  ASSERT_TRUE(scaler_.scale(src.pixels.data(), 17, 9, Rect{0, 0, 17, 9}, part.pixels.data(), 24,
                            14, Rect{20, 10, 60, 40}));
  for (int y = 0; y < 14; ++y)
    for (int x = 0; x < 24; ++x) {
      if (x >= 20 && y >= 10)
        ASSERT_EQ(part.at(x, y), whole.at(x - 20, y - 10));
      else
        ASSERT_EQ(part.at(x, y), marker);
    }
}

// Every vector path against the reference on random geometry, with marker
// bytes around the destination that must keep their value.
TEST_P(PreviewScale, MatchesTheReferenceOnRandomPictures) {
  std::mt19937 rng = test::seededRng(0x9E71E3);
  PreviewScaler reference;
  auto span = [&](int lo, int hi) { return test::uniform(rng, lo, hi); };
  for (int round = 0; round < 200; ++round) {
    const int32_t sw = span(1, 70), sh = span(1, 40), dw = span(1, 90), dh = span(1, 60);
    Picture src(sw, sh);
    for (uint32_t& p : src.pixels) p = rng();
    Rect s{span(-3, sw - 1), span(-3, sh - 1), 0, 0};
    s.right = span(s.left + 1, sw + 3);
    s.bottom = span(s.top + 1, sh + 3);
    Rect d{span(-20, dw - 1), span(-20, dh - 1), 0, 0};
    d.right = span(d.left + 1, dw + 20);
    d.bottom = span(d.top + 1, dh + 20);
    const size_t bytes = static_cast<size_t>(dw) * dh * 4;
    test::FencedBytes got(bytes), expected(bytes);
    const bool drawn = scaler_.scale(src.pixels.data(), sw, sh, s,
                                     reinterpret_cast<uint32_t*>(got.data()), dw, dh, d);
    bool drawnRef;
    {
      const SimdLevelCap scalar(SimdLevel::Scalar);
      drawnRef = reference.scale(src.pixels.data(), sw, sh, s,
                                 reinterpret_cast<uint32_t*>(expected.data()), dw, dh, d);
    }
    ASSERT_EQ(drawn, drawnRef);
    ASSERT_TRUE(test::sameBytes(got, expected)) << "round " << round;
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, PreviewScale,
                         ::testing::Values(SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2),
                         [](const ::testing::TestParamInfo<SimdLevel>& info) {
                           return std::string(simdLevelName(info.param));
                         });

TEST(PreviewScaler, CachesTablesAndBuffersWhileTheGeometryHolds) {
  Picture src(30, 20, pack(1, 2, 3, 4)), dst(150, 80);
  PreviewScaler scaler;
  ASSERT_TRUE(scaler.scale(src.pixels.data(), 30, 20, Rect{0, 0, 30, 20}, dst.pixels.data(), 150,
                           80, Rect{10, 0, 140, 80}));
  EXPECT_EQ(scaler.tablesBuilt(), 2u);
  ASSERT_TRUE(scaler.scale(src.pixels.data(), 30, 20, Rect{0, 0, 30, 20}, dst.pixels.data(), 150,
                           80, Rect{10, 0, 140, 80}));
  EXPECT_EQ(scaler.tablesBuilt(), 2u);  // a redraw rebuilds neither table
  // Only the horizontal geometry changes: only that table is rebuilt.
  ASSERT_TRUE(scaler.scale(src.pixels.data(), 30, 20, Rect{0, 0, 30, 20}, dst.pixels.data(), 150,
                           80, Rect{11, 0, 140, 80}));
  EXPECT_EQ(scaler.tablesBuilt(), 3u);
}

TEST(PreviewScaler, RefusesWhatItCannotDrawAndRecoversFromNoMemory) {
  Picture src(4, 4, pack(9, 9, 9, 9)), dst(8, 8, 0x11111111);
  PreviewScaler scaler;
  EXPECT_FALSE(scaler.scale(src.pixels.data(), 4, 4, Rect{4, 0, 8, 4}, dst.pixels.data(), 8, 8,
                            Rect{0, 0, 8, 8}));  // source rectangle outside the picture
  EXPECT_FALSE(scaler.scale(src.pixels.data(), 4, 4, Rect{0, 0, 4, 4}, dst.pixels.data(), 8, 8,
                            Rect{8, 0, 16, 8}));  // nothing visible
  EXPECT_FALSE(scaler.scale(src.pixels.data(), 4, 4, Rect{0, 0, 4, 4}, dst.pixels.data(), 8, 8,
                            Rect{INT32_MIN, 0, INT32_MAX, 8}));  // span beyond any pane
  EXPECT_FALSE(scaler.scale(src.pixels.data(), 4, 4, Rect{0, 0, 4, 4}, dst.pixels.data(), 8, 8,
                            Rect{0, 8, 8, 0}));  // upside down
  armAllocFailure(1);
  EXPECT_FALSE(scaler.scale(src.pixels.data(), 4, 4, Rect{0, 0, 4, 4}, dst.pixels.data(), 8, 8,
                            Rect{0, 0, 8, 8}));
  armAllocFailure(0);
  for (uint32_t p : dst.pixels) ASSERT_EQ(p, 0x11111111u);
  EXPECT_TRUE(scaler.scale(src.pixels.data(), 4, 4, Rect{0, 0, 4, 4}, dst.pixels.data(), 8, 8,
                           Rect{0, 0, 8, 8}));
  for (uint32_t p : dst.pixels) ASSERT_EQ(p, pack(9, 9, 9, 9));
}

// ---- pane and letterbox ---------------------------------------------------

TEST(PreviewLetterbox, FitsThePictureWithEqualBars) {
  const Rect square = letterboxRect(64, 64, 150, 80);
  EXPECT_EQ(square.left, 35);
  EXPECT_EQ(square.top, 0);
  EXPECT_EQ(square.right, 115);
  EXPECT_EQ(square.bottom, 80);
  const Rect wide = letterboxRect(200, 50, 150, 80);
  EXPECT_EQ(wide.left, 0);
  EXPECT_EQ(wide.top, 21);
  EXPECT_EQ(wide.right, 150);
  EXPECT_EQ(wide.bottom, 59);  // 38 rows: odd free space widens the picture by one
  EXPECT_TRUE(letterboxRect(0, 50, 150, 80).empty());
  EXPECT_TRUE(letterboxRect(50, 50, 0, 80).empty());
}

}  // namespace
}  // namespace om
