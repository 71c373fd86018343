// The covers against the formulas as written, one sample at a time on the
// frame's planes: random frames, rectangles (edges, corners, larger than
// the frame, 1x1), strengths, opacities and picture masks, both layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <vector>

#include "common/aligned_block.h"
#include "compositing/frame_cover.h"
#include "tests/support/kernel_check.h"

namespace om::test {
namespace {

// One plane of the frame, top row first, as copies of its samples.
struct PlaneModel {
  int32_t width = 0, height = 0;
  int32_t xScale = 1;  // frame pixels per column
  std::vector<int32_t> offsets;  // frame byte of each sample
  int32_t at(int32_t y, int32_t x) const {
    return offsets[static_cast<size_t>(std::clamp(y, 0, height - 1)) * width +
                   static_cast<size_t>(std::clamp(x, 0, width - 1))];
  }
};

std::vector<PlaneModel> planesOf(int32_t code, int32_t width, int32_t height) {
  std::vector<PlaneModel> planes(3);
  const int32_t lumaWidth = code == kPackedYuv422 ? (width & ~1) : width;
  for (int p = 0; p < 3; ++p) {
    PlaneModel& m = planes[p];
    const bool chroma = code == kPackedYuv422 && p > 0;
    m.xScale = chroma ? 2 : 1;
    m.width = chroma ? lumaWidth / 2 : lumaWidth;
    m.height = height;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < m.width; ++x) {
        if (code == kPackedYuv422)
          m.offsets.push_back(y * 2 * width + (chroma ? 4 * x + (p == 1 ? 1 : 3) : 2 * x));
        else
          m.offsets.push_back((height - 1 - y) * 3 * width + 3 * x + p);
      }
  }
  return planes;
}

int32_t eraseSample(const PlaneModel& m, const std::vector<uint8_t>& s, int32_t a, int32_t b,
                    int32_t y0, int32_t y1, int32_t px, int32_t py) {
  auto at = [&](int32_t y, int32_t x) { return int64_t{s[static_cast<size_t>(m.at(y, x))]}; };
  const int32_t xl = a - 1, xr = b, yt = y0 - 1, yb = y1;
  const int64_t dl = px - xl, dr = xr - px, dt = py - yt, db = yb - py;
  const int64_t wl = xl >= 0 ? dr * dt * db : 0, wr = xr < m.width ? dl * dt * db : 0;
  const int64_t wt = yt >= 0 ? dl * dr * db : 0, wb = yb < m.height ? dl * dr * dt : 0;
  const int64_t L = at(py - 1, xl) + at(py, xl) + at(py + 1, xl);
  const int64_t R = at(py - 1, xr) + at(py, xr) + at(py + 1, xr);
  const int64_t T = at(yt, px - 1) + at(yt, px) + at(yt, px + 1);
  const int64_t B = at(yb, px - 1) + at(yb, px) + at(yb, px + 1);
  const int64_t S = wl + wr + wt + wb;
  if (S == 0) return static_cast<int32_t>(at(py, px));
  return static_cast<int32_t>((L * wl + R * wr + T * wt + B * wb + 3 * S / 2) / (3 * S));
}

int32_t blurSample(const PlaneModel& m, const std::vector<uint8_t>& s, int32_t strength,
                   int32_t px, int32_t py) {
  const int32_t rh = m.xScale == 2 ? (strength + 1) >> 1 : strength, rv = strength;
  int64_t total = 0;
  for (int32_t j = -rv; j <= rv; ++j)
    for (int32_t i = -rh; i <= rh; ++i) total += s[static_cast<size_t>(m.at(py + j, px + i))];
  const int64_t n = int64_t{2 * rh + 1} * (2 * rv + 1);
  return static_cast<int32_t>((total + n / 2) / n);
}

int32_t mosaicSample(const PlaneModel& m, const std::vector<uint8_t>& s, int32_t strength,
                     const Rect& rect, int32_t a, int32_t b, int32_t y0, int32_t y1, int32_t px,
                     int32_t py) {
  auto block = [&](int32_t x, int32_t y) {
    return std::make_pair((m.xScale * x - rect.left) / strength, (y - rect.top) / strength);
  };
  int64_t total = 0, n = 0;
  for (int32_t y = y0; y < y1; ++y)
    for (int32_t x = a; x < b; ++x)
      if (block(x, y) == block(px, py)) {
        total += s[static_cast<size_t>(m.at(y, x))];
        ++n;
      }
  return static_cast<int32_t>((total + n / 2) / n);
}

// What a cover must leave in `frame`.
void coverByTheFormulas(std::vector<uint8_t>& frame, int32_t code, int32_t width, int32_t height,
                        const Rect& rect, CoverMode mode, int32_t strength,
                        const OverlayImage* mask, int32_t opacity) {
  const std::vector<uint8_t> s = frame;
  for (const PlaneModel& m : planesOf(code, width, height)) {
    const Rect covered = clipRect(rect, code == kPackedYuv422 ? (width & ~1) : width, height);
    if (covered.empty()) return;
    const int32_t a = m.xScale == 2 ? (covered.left + 1) >> 1 : covered.left;
    const int32_t b = m.xScale == 2 ? (covered.right + 1) >> 1 : covered.right;
    for (int32_t py = covered.top; py < covered.bottom; ++py)
      for (int32_t px = a; px < b; ++px) {
        int32_t c = 0;
        if (mode == CoverMode::Erase) c = eraseSample(m, s, a, b, covered.top, covered.bottom, px, py);
        if (mode == CoverMode::Blur) c = blurSample(m, s, strength, px, py);
        if (mode == CoverMode::Mosaic)
          c = mosaicSample(m, s, strength, rect, a, b, covered.top, covered.bottom, px, py);
        int32_t weight = 255;
        if (mask) {
          const int32_t row = py - rect.top, column = m.xScale * px - rect.left;
          const int32_t memoryRow = code == kPackedYuv422 ? row : mask->allocatedHeight - 1 - row;
          weight = mask->pixels[(static_cast<size_t>(memoryRow) * mask->allocatedWidth + column) * 4 + 3];
        }
        const int32_t o2 = (opacity * (weight + (weight >> 7))) >> 8;
        const size_t at = static_cast<size_t>(m.at(py, px));
        const int32_t d = s[at];
        frame[at] = static_cast<uint8_t>(std::clamp(d + ((o2 * (c - d)) >> 8), 0, 255));
      }
  }
}

TEST(Cover, EveryModeFollowsItsFormulas) {
  std::mt19937 rng = seededRng(0xC0BE5);
  auto uniform = [&rng](int32_t lo, int32_t hi) { return test::uniform(rng, lo, hi); };
  for (int32_t round = 0; round < 400; ++round) {
    const int32_t code = uniform(0, 1);
    const int32_t width = uniform(0, 4) == 0 ? 2 : uniform(1, 70);
    const int32_t height = uniform(0, 4) == 0 ? 2 : uniform(1, 50);
    const CoverMode mode = static_cast<CoverMode>(uniform(1, 3));
    const int32_t strength = uniform(0, 3) == 0 ? uniform(1, 64) : uniform(1, 6);
    Rect rect;
    rect.left = uniform(-5, width);
    rect.top = uniform(-5, height);
    rect.right = rect.left + (uniform(0, 5) == 0 ? 1 : uniform(1, width + 10));
    rect.bottom = rect.top + (uniform(0, 5) == 0 ? 1 : uniform(1, height + 10));
    if (uniform(0, 5) == 0) rect = Rect{0, 0, width, height};  // every side at the frame's edge
    const int32_t opacity = uniform(0, 2) == 0 ? 256 : uniform(0, 256);
    std::ostringstream what;
    what << "round " << round << ": code " << code << ", frame " << width << "x" << height
         << ", mode " << static_cast<int>(mode) << " strength " << strength << ", rect "
         << rect.left << "," << rect.top << " " << rect.width() << "x" << rect.height()
         << ", opacity " << opacity;
    SCOPED_TRACE(what.str());

    // A picture's weights under the rectangle, half of the time.
    OverlayImage overlay;
    std::vector<uint8_t> weights;
    const bool masked = uniform(0, 1) == 1;
    if (masked) {
      overlay.allocatedWidth = rect.width() + uniform(0, 3);
      overlay.allocatedHeight = rect.height() + uniform(0, 3);
      weights.resize(static_cast<size_t>(overlay.allocatedWidth) * overlay.allocatedHeight * 4);
      for (uint8_t& w : weights) w = uniform(0, 2) == 0 ? 255 : static_cast<uint8_t>(rng());
      overlay.pixels = weights.data();
      overlay.content = Rect{0, 0, rect.width(), rect.height()};
    }

    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * (code == 0 ? 2 : 3));
    for (uint8_t& v : frame) v = static_cast<uint8_t>(rng());
    std::vector<uint8_t> expected = frame;
    coverByTheFormulas(expected, code, width, height, rect, mode, strength,
                       masked ? &overlay : nullptr, opacity);
    FrameCover cover;
    cover.prepare(code, width, height, rect.width(), rect.height(), mode, strength);
    // A 4:2:2 frame one pixel wide holds no whole pair: nothing to cover.
    ASSERT_EQ(cover.ready(), code == kBgr24BottomUp || width >= 2);
    cover.apply(frame.data(), rect, masked ? &overlay : nullptr, opacity);
    ASSERT_EQ(frame, expected);
  }
}

TEST(Cover, NothingIsDrawnThatCannotBe) {
  std::vector<uint8_t> frame(64 * 2 * 8, 77);
  FrameCover cover;
  cover.prepare(kPackedYuv422, 64, 8, 10, 4, CoverMode::Picture, 8);
  EXPECT_FALSE(cover.ready());  // the picture mode stamps, it does not cover
  cover.prepare(7, 64, 8, 10, 4, CoverMode::Blur, 8);
  EXPECT_FALSE(cover.ready());  // no such layout
  cover.prepare(kPackedYuv422, 64, 8, 10, 4, CoverMode::Blur, 8);
  ASSERT_TRUE(cover.ready());
  frame[0] = 0;  // not uniform, so a blur would change something
  const std::vector<uint8_t> varied = frame;
  cover.apply(frame.data(), Rect{0, 0, 11, 4}, nullptr, 256);  // larger than prepared
  cover.apply(frame.data(), Rect{0, 0, 10, 4}, nullptr, 0);    // invisible
  cover.apply(frame.data(), Rect{64, 0, 74, 4}, nullptr, 256); // off the frame
  EXPECT_EQ(frame, varied);
  cover.apply(frame.data(), Rect{0, 0, 10, 4}, nullptr, 256);
  EXPECT_NE(frame, varied);
}

}  // namespace
}  // namespace om::test
