#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "blend_support.h"
#include "common/muldiv.h"

namespace om::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Blends a copy of `frame` with every SIMD level; all must agree and stay
// inside the frame. Returns the blended bytes.
Bytes blendEveryLevel(const FrameCanvas& canvas, const Bytes& frame, int32_t x, int32_t y,
                      int32_t opacity, int32_t denominator = 1000) {
  const int32_t position[2] = {x, y};
  const std::vector<FencedBytes> out = blendAtEveryLevel(canvas, frame, position, denominator, opacity);
  EXPECT_TRUE(out[0].fencesIntact());
  for (size_t i = 1; i < out.size(); ++i) EXPECT_TRUE(sameBytes(out[i], out[0])) << "level " << i;
  return Bytes(out[0].data(), out[0].data() + frame.size());
}

Bytes randomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

TEST(BlendSample, FloorsWeightsAndSaturates) {
  // floor(128 * -1 / 256) is -1, not 0.
  EXPECT_EQ(blendSample(100, 99, 255, 0, 128), 99);
  // Chroma: m = 128 + floor(1 * -28 / 256) = 127, so nothing moves.
  EXPECT_EQ(blendSample(100, 127, 1, 128, 256), 100);
  // Weight 127 keeps a = 127, 128 becomes 129, 255 becomes 256.
  EXPECT_EQ(blendSample(200, 0, 127, 0, 256), 101);
  EXPECT_EQ(blendSample(200, 0, 128, 0, 256), 100);
  EXPECT_EQ(blendSample(200, 0, 255, 0, 256), 0);
  EXPECT_EQ(blendSample(250, 255, 0, 0, 256), 255);  // 505 saturates
  EXPECT_EQ(blendSample(10, 0, 0, 128, 256), 0);     // -118 saturates
}

TEST(BlendYuv422, WorkedExample) {
  FrameCanvas canvas;
  canvas.SetFormat(2, 1, kPackedYuv422);
  setOverlay(canvas, 2, 1, 2, 1);
  const uint8_t p[4] = {200, 90, 170, 255};
  const uint8_t q[4] = {0, 128, 128, 0};
  std::copy(p, p + 4, logoPixel(canvas, 0, 0));
  std::copy(q, q + 4, logoPixel(canvas, 1, 0));
  EXPECT_EQ(blendEveryLevel(canvas, {50, 100, 60, 150}, 0, 0, 100), (Bytes{200, 109, 60, 149}));
}

// Full weight and opacity copy each sample, which shows exactly which bytes
// of which pairs a walk starting on either pixel of a pair writes.
TEST(BlendYuv422, PartialPairsAtBothEnds) {
  struct Case {
    int32_t positionX;  // thousandths of width 8
    int32_t columns;
    Bytes row;  // expected first row; the overlay pixel c is Y 10+c, Cb 40+c, Cr 80+c
  };
  const Case cases[] = {
      {125, 1, {1, 1, 10, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},      // x = 1: Y1 only
      {125, 2, {1, 1, 10, 1, 11, 41, 1, 81, 1, 1, 1, 1, 1, 1, 1, 1}},   // then Y0 Cb Cr
      {250, 3, {1, 1, 1, 1, 10, 41, 11, 81, 12, 42, 1, 82, 1, 1, 1, 1}},  // x = 2
  };
  for (const Case& c : cases) {
    FrameCanvas canvas;
    canvas.SetFormat(8, 2, kPackedYuv422);
    setOverlay(canvas, c.columns + 1, 1, c.columns, 1);
    for (int32_t i = 0; i < c.columns; ++i) {
      uint8_t* px = logoPixel(canvas, i, 0);
      px[0] = static_cast<uint8_t>(10 + i);
      px[1] = static_cast<uint8_t>(40 + i);
      px[2] = static_cast<uint8_t>(80 + i);
      px[3] = 255;
    }
    Bytes expected = c.row;
    expected.resize(32, 1);  // the second row stays
    EXPECT_EQ(blendEveryLevel(canvas, Bytes(32, 1), c.positionX, 0, 100), expected)
        << "x thousandths " << c.positionX << ", " << c.columns << " columns";
  }
}

TEST(BlendCanvas, OpacityZeroKeepsAndFullWeightCopies) {
  for (int32_t code : {kPackedYuv422, kBgr24BottomUp}) {
    FrameCanvas canvas;
    canvas.SetFormat(40, 3, code);
    setOverlay(canvas, 40, 3, 40, 3);
    const Bytes logo = randomBytes(40 * 3 * 4, 7);
    std::copy(logo.begin(), logo.end(), canvas.overlay().pixels);
    for (int32_t row = 0; row < 3; ++row)
      for (int32_t col = 0; col < 40; ++col) logoPixel(canvas, col, row)[3] = 255;
    const Bytes frame = randomBytes(40 * 3 * canvas.bytesPerPixel(), 8);

    EXPECT_EQ(blendEveryLevel(canvas, frame, 0, 0, 0), frame);
    const Bytes out = blendEveryLevel(canvas, frame, 0, 0, 100);
    for (int32_t row = 0; row < 3; ++row) {
      for (int32_t col = 0; col < 40; ++col) {
        const uint8_t* s = logoPixel(canvas, col, row);
        if (code == kBgr24BottomUp) {
          const uint8_t* d = &out[((2 - row) * 40 + col) * 3];
          ASSERT_EQ(Bytes(d, d + 3), Bytes(s, s + 3)) << col << "," << row;
        } else {
          const uint8_t* pair = &out[(row * 40 + (col & ~1)) * 2];
          ASSERT_EQ(pair[(col & 1) * 2], s[0]) << col << "," << row;
          if (col & 1) {
            const uint8_t* p = s - 4;  // chroma: the average rounded up
            ASSERT_EQ(pair[1], (p[1] + s[1] + 1) / 2) << col << "," << row;
            ASSERT_EQ(pair[3], (p[2] + s[2] + 1) / 2) << col << "," << row;
          }
        }
      }
    }
  }
}

// A 4 x 3 logo in a 6 x 5 block on a 10 x 6 bottom-up frame (30-byte rows, not
// a multiple of 4), placed across every edge. Full weight and opacity make
// the expected frame a plain copy of the visible logo pixels.
TEST(BlendBgr24, ClipsOnEverySideAndAddressesRowsBottomUp) {
  FrameCanvas canvas;
  canvas.SetFormat(10, 6, kBgr24BottomUp);
  setOverlay(canvas, 6, 5, 4, 3, 0xEE);
  for (int32_t row = 0; row < 3; ++row) {
    for (int32_t col = 0; col < 4; ++col) {
      uint8_t* px = logoPixel(canvas, col, row);
      px[0] = static_cast<uint8_t>(col);
      px[1] = static_cast<uint8_t>(row);
      px[2] = 200;
      px[3] = 255;
    }
  }
  const int32_t positions[][2] = {{0, 0},    {300, 500}, {800, 0},   {0, 667},   {900, 834},
                                  {-200, 0}, {0, -334},  {-100, -167}, {1000, 0}, {0, 1000},
                                  {-400, 0}, {0, -500}};
  const Bytes frame(10 * 6 * 3, 1);
  for (const auto& pos : positions) {
    const int32_t x = MulDiv(10, pos[0], 1000);
    const int32_t y = MulDiv(6, pos[1], 1000);
    Bytes expected = frame;
    for (int32_t row = 0; row < 3; ++row) {
      for (int32_t col = 0; col < 4; ++col) {
        if (x + col < 0 || x + col >= 10 || y + row < 0 || y + row >= 6) continue;
        uint8_t* d = &expected[((5 - (y + row)) * 10 + (x + col)) * 3];
        d[0] = static_cast<uint8_t>(col);
        d[1] = static_cast<uint8_t>(row);
        d[2] = 200;
      }
    }
    EXPECT_EQ(blendEveryLevel(canvas, frame, pos[0], pos[1], 100), expected)
        << "position " << pos[0] << ", " << pos[1];
  }
}

// Rows of an odd-width 4:2:2 frame are 2 * width bytes and end in half a
// pair; that lone column is never written and nothing past the frame is.
TEST(BlendYuv422, OddFrameWidthLeavesTheHalfPairAlone) {
  FrameCanvas canvas;
  canvas.SetFormat(7, 3, kPackedYuv422);
  setOverlay(canvas, 8, 3, 8, 3, 0xFF);
  const Bytes frame(7 * 2 * 3, 1);
  const Bytes out = blendEveryLevel(canvas, frame, 0, 0, 100);
  for (int32_t row = 0; row < 3; ++row) {
    EXPECT_EQ(out[row * 14 + 0], 0xFF);
    EXPECT_EQ(out[row * 14 + 11], 0xFF);
    EXPECT_EQ(out[row * 14 + 12], 1) << "row " << row;
    EXPECT_EQ(out[row * 14 + 13], 1) << "row " << row;
  }
  // x = 6 is the lone column itself.
  EXPECT_EQ(blendEveryLevel(canvas, frame, 858, 0, 100), frame);
}

TEST(BlendCanvas, LeavesTheFrameAloneOnUnusableInput) {
  const Bytes frame(16 * 4 * 3, 9);
  auto fresh = [](int32_t width, int32_t height, int32_t code) {
    auto canvas = std::make_unique<FrameCanvas>();
    canvas->SetFormat(width, height, code);
    setOverlay(*canvas, 4, 4, 4, 4, 0xFF);
    return canvas;
  };
  EXPECT_EQ(blendEveryLevel(*fresh(16, 4, 2), frame, 0, 0, 100), frame);
  EXPECT_EQ(blendEveryLevel(*fresh(16, 4, -1), frame, 0, 0, 100), frame);
  EXPECT_EQ(blendEveryLevel(*fresh(0, 4, kBgr24BottomUp), frame, 0, 0, 100), frame);
  EXPECT_EQ(blendEveryLevel(*fresh(16, -4, kPackedYuv422), frame, 0, 0, 100), frame);
  // No denominator, or a position whose frame coordinate leaves 32 bits: the
  // logo is nowhere on the frame rather than next to the origin.
  EXPECT_EQ(blendEveryLevel(*fresh(16, 4, kBgr24BottomUp), frame, 0, 0, 100, 0), frame);
  EXPECT_EQ(blendEveryLevel(*fresh(16, 4, kBgr24BottomUp), frame, INT32_MAX, 0, 100, 1), frame);
  EXPECT_EQ(blendEveryLevel(*fresh(16, 4, kBgr24BottomUp), frame, 0, INT32_MIN, 100, 1), frame);
  EXPECT_EQ(blendEveryLevel(*fresh(16, 4, kBgr24BottomUp), frame, 0, 0, -5), frame);

  auto outside = fresh(16, 4, kBgr24BottomUp);
  outside->overlay().content = Rect{0, 0, 5, 4};  // wider than the block
  EXPECT_EQ(blendEveryLevel(*outside, frame, 0, 0, 100), frame);
  FrameCanvas empty;  // never prepared: no block, empty content
  empty.SetFormat(16, 4, kBgr24BottomUp);
  EXPECT_EQ(blendEveryLevel(empty, frame, 0, 0, 100), frame);

  // An unknown code keeps the previous geometry.
  FrameCanvas canvas;
  canvas.SetFormat(16, 4, kBgr24BottomUp);
  canvas.SetFormat(20, 4, 7);
  EXPECT_EQ(canvas.bytesPerPixel(), 3);
  EXPECT_EQ(canvas.rowStep(), -48);
}

TEST(BlendCanvas, OpacityAbovePercentActsAsFull) {
  FrameCanvas canvas;
  canvas.SetFormat(16, 2, kPackedYuv422);
  setOverlay(canvas, 16, 2, 16, 2);
  const Bytes logo = randomBytes(16 * 2 * 4, 3);
  std::copy(logo.begin(), logo.end(), canvas.overlay().pixels);
  const Bytes frame = randomBytes(16 * 2 * 2, 4);
  EXPECT_EQ(blendEveryLevel(canvas, frame, 0, 0, 250), blendEveryLevel(canvas, frame, 0, 0, 100));
}

}  // namespace
}  // namespace om::test
