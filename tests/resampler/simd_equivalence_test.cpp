// Every SIMD path the processor has against the scalar reference, byte for
// byte, on seeded random input. Set OM_TEST_SEED to replay a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <random>
#include <vector>

#include "common/cpu.h"
#include "logo/resampler.h"
#include "logo/resampler_kernels.h"
#include "tests/support/kernel_check.h"

namespace om {
namespace {

using test::FencedBytes;
using test::sameBytes;
using test::uniform;
using test::vectorLevels;

// Pixels from a small palette, so a key colour actually occurs, with
// partial alpha and fully random pixels mixed in.
std::vector<uint32_t> randomPicture(std::mt19937& rng, int32_t w, int32_t h, uint32_t keyPixel) {
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  const uint32_t palette[] = {keyPixel | 0xFF000000u,
                              keyPixel,
                              0xFFFFFFFFu,
                              0xFF000000u,
                              0x00000000u,
                              0x80FF0000u,
                              0xFF00FF00u,
                              0x7F0000FFu};
  for (uint32_t& p : px) {
    const int32_t pick = uniform(rng, 0, 15);
    p = pick < 8 ? palette[pick] : static_cast<uint32_t>(rng());
  }
  return px;
}

// Whole resampler, including the table cache: one cache per level, reused
// across geometries so cache replacement is exercised too.
TEST(ResamplerSimd, MatchesScalarOnRandomGeometry) {
  const std::vector<SimdLevel> levels = vectorLevels();
  if (levels.empty()) GTEST_SKIP() << "no SIMD path on this processor";
  std::mt19937 rng = test::seededRng(0x7E5A);
  ResamplerCache scalarCache;
  std::vector<ResamplerCache> caches(levels.size());
  for (int iteration = 0; iteration < 300; ++iteration) {
    const int32_t sw = uniform(rng, 1, 90), sh = uniform(rng, 1, 70);
    const uint32_t keyColor = static_cast<uint32_t>(rng()) & 0x00FFFFFFu;
    const uint32_t keyPixel =
        ((keyColor & 0xFFu) << 16) | (keyColor & 0xFF00u) | ((keyColor >> 16) & 0xFFu);
    const std::vector<uint32_t> picture = randomPicture(rng, sw, sh, keyPixel);
    // Source rectangles sometimes reach outside the picture.
    Rect src{uniform(rng, -3, sw - 1), uniform(rng, -3, sh - 1), 0, 0};
    src.right = uniform(rng, src.left + 1, sw + 3);
    src.bottom = uniform(rng, src.top + 1, sh + 3);
    // Up, down or equal, then a rectangle that may overhang the allocation.
    const int32_t shape = uniform(rng, 0, 2);
    // At least 1 even when the rectangle misses the picture (nothing is drawn then).
    const int32_t srcW = std::max(std::min(src.right, sw) - std::max(src.left, 0), 1);
    const int32_t srcH = std::max(std::min(src.bottom, sh) - std::max(src.top, 0), 1);
    const int32_t dw = shape == 0   ? srcW
                       : shape == 1 ? uniform(rng, 1, 3 * srcW + 2)
                                    : uniform(rng, 1, srcW);
    const int32_t dh = shape == 0   ? srcH
                       : shape == 1 ? uniform(rng, 1, 3 * srcH + 2)
                                    : uniform(rng, 1, srcH);
    const int32_t aw = uniform(rng, 1, 120), ah = uniform(rng, 1, 90);
    Rect dst{uniform(rng, -dw / 2, aw / 2), uniform(rng, -dh / 2, ah / 2), 0, 0};
    dst.right = dst.left + dw;
    dst.bottom = dst.top + dh;
    const SourceMode mode = uniform(rng, 0, 1) ? SourceMode::Keyed : SourceMode::Plain;
    const DestinationLayout layout =
        uniform(rng, 0, 1) ? DestinationLayout::Ycc32TopDown : DestinationLayout::Bgra32BottomUp;
    SCOPED_TRACE(testing::Message()
                 << "iteration " << iteration << ": " << sw << "x" << sh << " rect " << src.left
                 << "," << src.top << "," << src.right << "," << src.bottom << " -> " << dw << "x"
                 << dh << " at " << dst.left << "," << dst.top << " in " << aw << "x" << ah
                 << (mode == SourceMode::Keyed ? " keyed" : " plain")
                 << (layout == DestinationLayout::Ycc32TopDown ? " ycc" : " bgra"));

    FencedBytes expected(static_cast<size_t>(aw) * ah * 4);
    bool wrote;
    {
      const SimdLevelCap cap(SimdLevel::Scalar);
      wrote = resampleImage(scalarCache, picture.data(), sw, sh, src, mode, expected.data(), aw, ah,
                            dst, layout, keyColor);
    }
    for (size_t l = 0; l < levels.size(); ++l) {
      SCOPED_TRACE(simdLevelName(levels[l]));
      FencedBytes got(expected.size());
      const SimdLevelCap cap(levels[l]);
      EXPECT_EQ(resampleImage(caches[l], picture.data(), sw, sh, src, mode, got.data(), aw, ah, dst,
                              layout, keyColor),
                wrote);
      ASSERT_TRUE(sameBytes(got, expected));
    }
  }
}

// The kernels alone with arbitrary int16 weights, beyond anything a table
// produces, so every product and every 16-bit wrap is covered. Buffers are
// sized exactly, so a sanitizer build also catches reads past a row.
TEST(ResamplerSimd, KernelsMatchScalarForAnyWeights) {
  const std::vector<SimdLevel> levels = vectorLevels();
  if (levels.empty()) GTEST_SKIP() << "no SIMD path on this processor";
  std::mt19937 rng = test::seededRng(0x5eed);
  const ResamplerKernels& reference = resamplerKernelsFor(SimdLevel::Scalar);
  for (int iteration = 0; iteration < 400; ++iteration) {
    const int32_t width = uniform(rng, 1, 70);
    const int32_t taps = uniform(rng, 0, 40);
    const int32_t rows = std::max(taps, 1);
    const bool keyed = uniform(rng, 0, 1) != 0;
    const uint32_t keyPixel = static_cast<uint32_t>(rng()) & 0x00FFFFFFu;
    std::vector<uint32_t> source = randomPicture(rng, width, rows, keyPixel);
    std::vector<int16_t> weights(static_cast<size_t>(rows) * 4);
    for (size_t k = 0; k < weights.size(); k += 4) {
      const int16_t w = static_cast<int16_t>(rng());
      for (size_t lane = 0; lane < 4; ++lane) weights[k + lane] = w;
    }
    // Vertical: rows run bottom-up in memory, like a picture.
    const uint8_t* first =
        reinterpret_cast<const uint8_t*>(source.data()) + static_cast<size_t>(rows - 1) * width * 4;
    const ptrdiff_t step = -4 * static_cast<ptrdiff_t>(width);
    // The row buffer: four int16 values a column.
    FencedBytes expected(static_cast<size_t>(width) * 8);
    reference.vertical(first, step, reinterpret_cast<const uint8_t*>(weights.data()), taps, width,
                       reinterpret_cast<int16_t*>(expected.data()), keyed, keyPixel);

    // Horizontal: random entries over the same row.
    const int32_t count = uniform(rng, 1, 40);
    std::vector<uint8_t> entries;
    for (int32_t i = 0; i < count; ++i) {
      const int32_t n = uniform(rng, 0, width);
      const int32_t offset = 4 * uniform(rng, 0, width - n);
      const size_t at = entries.size();
      entries.resize(at + 8 + 8 * static_cast<size_t>(n));
      std::memcpy(&entries[at], &offset, 4);
      std::memcpy(&entries[at + 4], &n, 4);
      for (int32_t k = 0; k < n; ++k) {
        const int16_t w = static_cast<int16_t>(rng());
        for (int lane = 0; lane < 4; ++lane)
          std::memcpy(&entries[at + 8 + 8 * k + 2 * lane], &w, 2);
      }
    }
    const DestinationLayout layout =
        uniform(rng, 0, 1) ? DestinationLayout::Ycc32TopDown : DestinationLayout::Bgra32BottomUp;
    // A row as the vertical pass leaves it: channels times 128.
    std::vector<int16_t> row(static_cast<size_t>(width) * 4);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(source.data());
    for (size_t i = 0; i < row.size(); ++i) row[i] = static_cast<int16_t>(bytes[i] * 128);
    FencedBytes expectedRow(static_cast<size_t>(count) * 4);
    reference.horizontal(row.data(), entries.data(), count, expectedRow.data(), layout);

    for (SimdLevel level : levels) {
      SCOPED_TRACE(testing::Message() << simdLevelName(level) << " iteration " << iteration
                                      << " width " << width << " taps " << taps);
      const ResamplerKernels& k = resamplerKernelsFor(level);
      FencedBytes got(expected.size());
      k.vertical(first, step, reinterpret_cast<const uint8_t*>(weights.data()), taps, width,
                 reinterpret_cast<int16_t*>(got.data()), keyed, keyPixel);
      ASSERT_TRUE(sameBytes(got, expected));
      FencedBytes gotRow(expectedRow.size());
      k.horizontal(row.data(), entries.data(), count, gotRow.data(), layout);
      ASSERT_TRUE(sameBytes(gotRow, expectedRow));
    }
  }
}

// Every seventh byte triple through the colour conversion (all values of each
// channel occur): pixels with a single full-weight tap reach the store unchanged.
TEST(ResamplerSimd, ColourConversionMatchesScalarForEveryColour) {
  const std::vector<SimdLevel> levels = vectorLevels();
  if (levels.empty()) GTEST_SKIP() << "no SIMD path on this processor";
  const int32_t width = 4096;
  std::vector<int16_t> row(static_cast<size_t>(width) * 4);
  std::vector<uint8_t> entries(static_cast<size_t>(width) * 16);
  for (int32_t i = 0; i < width; ++i) {
    const int32_t offset = 4 * i, n = 1;
    const int16_t w = 16384;
    std::memcpy(&entries[16 * i], &offset, 4);
    std::memcpy(&entries[16 * i + 4], &n, 4);
    for (int lane = 0; lane < 4; ++lane) std::memcpy(&entries[16 * i + 8 + 2 * lane], &w, 2);
  }
  std::vector<uint8_t> expected(row.size()), got(row.size());  // 4 bytes a pixel
  for (uint32_t base = 0; base < (1u << 24); base += 7 * width) {
    for (int32_t i = 0; i < width; ++i) {
      const uint32_t c = base + 7 * static_cast<uint32_t>(i);
      const uint8_t bgra[4] = {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8),
                               static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c * 7)};
      for (int ch = 0; ch < 4; ++ch) row[4 * i + ch] = static_cast<int16_t>(bgra[ch] * 128);
    }
    resamplerKernelsFor(SimdLevel::Scalar).horizontal(row.data(), entries.data(), width, expected.data(),
                                       DestinationLayout::Ycc32TopDown);
    for (SimdLevel level : levels) {
      resamplerKernelsFor(level).horizontal(row.data(), entries.data(), width, got.data(),
                                         DestinationLayout::Ycc32TopDown);
      ASSERT_EQ(got, expected) << simdLevelName(level) << " from colour " << base;
    }
  }
}

}  // namespace
}  // namespace om
