// Every SIMD path the processor has against the scalar reference, byte for
// byte, on seeded random input. Set OM_TEST_SEED to replay a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
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

const YccCoefficients* const kYccSets[] = {&kYccFullBt601, &kYccTvBt601, &kYccTvBt709,
                                           &kYccFullBt709};

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
    const int32_t set = uniform(rng, 0, 3);
    SCOPED_TRACE(testing::Message()
                 << "iteration " << iteration << ": " << sw << "x" << sh << " rect " << src.left
                 << "," << src.top << "," << src.right << "," << src.bottom << " -> " << dw << "x"
                 << dh << " at " << dst.left << "," << dst.top << " in " << aw << "x" << ah
                 << (mode == SourceMode::Keyed ? " keyed" : " plain")
                 << (layout == DestinationLayout::Ycc32TopDown ? " ycc set " : " bgra") << set);

    FencedBytes expected(static_cast<size_t>(aw) * ah * 4);
    bool wrote;
    {
      const SimdLevelCap cap(SimdLevel::Scalar);
      wrote = resampleImage(scalarCache, picture.data(), sw, sh, src, mode, expected.data(), aw, ah,
                            dst, layout, keyColor, *kYccSets[set]);
    }
    for (size_t l = 0; l < levels.size(); ++l) {
      SCOPED_TRACE(simdLevelName(levels[l]));
      FencedBytes got(expected.size());
      const SimdLevelCap cap(levels[l]);
      EXPECT_EQ(resampleImage(caches[l], picture.data(), sw, sh, src, mode, got.data(), aw, ah, dst,
                              layout, keyColor, *kYccSets[set]),
                wrote);
      ASSERT_TRUE(sameBytes(got, expected));
    }
  }
}

// The kernels alone with arbitrary int16 values and weights, beyond anything
// a table produces, so every product and every 16-bit wrap is covered; the
// store with each coefficient set and with arbitrary int16 coefficients,
// which reach every clamp.
// Outputs are fenced; inputs sized exactly, so a sanitizer build also
// catches reads past them.
TEST(ResamplerSimd, KernelsMatchScalarForAnyWeights) {
  const std::vector<SimdLevel> levels = vectorLevels();
  if (levels.empty()) GTEST_SKIP() << "no SIMD path on this processor";
  std::mt19937 rng = test::seededRng(0x5eed);
  const ResamplerKernels& reference = resamplerKernelsFor(SimdLevel::Scalar);
  auto randomValues = [&](size_t n) {
    std::vector<int16_t> v(n);
    for (int16_t& x : v) x = static_cast<int16_t>(rng());
    return v;
  };
  for (int iteration = 0; iteration < 400; ++iteration) {
    const int32_t width = uniform(rng, 1, 70);
    SCOPED_TRACE(testing::Message() << "iteration " << iteration << " width " << width);

    // Conversion of one source row, keyed or not.
    const bool keyed = uniform(rng, 0, 1) != 0;
    const uint32_t keyPixel = static_cast<uint32_t>(rng()) & 0x00FFFFFFu;
    const std::vector<uint32_t> source = randomPicture(rng, width, 1, keyPixel);
    FencedBytes converted(static_cast<size_t>(width) * 8);
    reference.convert(reinterpret_cast<const uint8_t*>(source.data()), width,
                      reinterpret_cast<int16_t*>(converted.data()), keyed, keyPixel);

    // The vertical pass over random source rows, keyed like the conversion.
    const int32_t taps = uniform(rng, 0, 40);
    std::vector<std::vector<uint32_t>> sourceRows;
    std::vector<const uint8_t*> rows;
    for (int32_t k = 0; k < taps; ++k) sourceRows.push_back(randomPicture(rng, width, 1, keyPixel));
    for (const auto& r : sourceRows) rows.push_back(reinterpret_cast<const uint8_t*>(r.data()));
    std::vector<int16_t> weights = randomValues(static_cast<size_t>(taps) * 4 + 4);
    FencedBytes summed(static_cast<size_t>(width) * 8);
    reference.vertical(rows.data(), weights.data(), taps, width,
                       reinterpret_cast<int16_t*>(summed.data()), keyed, keyPixel);
    // The same rows converted first, as the resampler does for short filters.
    std::vector<std::vector<int16_t>> convertedRows;
    std::vector<const int16_t*> valueRows;
    for (const uint8_t* r : rows) {
      convertedRows.emplace_back(static_cast<size_t>(width) * 4);
      reference.convert(r, width, convertedRows.back().data(), keyed, keyPixel);
      valueRows.push_back(convertedRows.back().data());
    }
    auto checkConverted = [&](const ResamplerKernels& k) {
      FencedBytes got(summed.size());
      k.verticalConverted(valueRows.data(), weights.data(), taps, width,
                          reinterpret_cast<int16_t*>(got.data()));
      return sameBytes(got, summed);
    };
    ASSERT_TRUE(checkConverted(reference)) << "converted rows, taps " << taps;

    // The horizontal pass: a run of pixels with one tap count over a row.
    const int32_t runTaps = uniform(rng, 0, width);
    const int32_t count = uniform(rng, 1, 40);
    std::vector<int32_t> offsets(static_cast<size_t>(count));
    for (int32_t& o : offsets) o = 4 * uniform(rng, 0, width - runTaps);
    const std::vector<int16_t> runWeights = randomValues(static_cast<size_t>(count) * runTaps * 4);
    const std::vector<int16_t> row = randomValues(static_cast<size_t>(width) * 4);
    const DestinationLayout layout =
        uniform(rng, 0, 1) ? DestinationLayout::Ycc32TopDown : DestinationLayout::Bgra32BottomUp;
    const int32_t set = uniform(rng, 0, 4);
    YccCoefficients ycc = set < 4 ? *kYccSets[set] : YccCoefficients{};
    if (set == 4) {
      std::vector<int16_t> any = randomValues(10);
      std::copy(any.begin(), any.begin() + 3, ycc.y);
      std::copy(any.begin() + 3, any.begin() + 6, ycc.cb);
      std::copy(any.begin() + 6, any.begin() + 9, ycc.cr);
      ycc.offset = any[9];
    }
    FencedBytes stored(static_cast<size_t>(count) * 4);
    reference.horizontal(row.data(), offsets.data(), runWeights.data(), runTaps, count,
                         stored.data(), layout, ycc);

    for (SimdLevel level : levels) {
      SCOPED_TRACE(simdLevelName(level));
      const ResamplerKernels& k = resamplerKernelsFor(level);
      FencedBytes gotConverted(converted.size());
      k.convert(reinterpret_cast<const uint8_t*>(source.data()), width,
                reinterpret_cast<int16_t*>(gotConverted.data()), keyed, keyPixel);
      ASSERT_TRUE(sameBytes(gotConverted, converted));
      FencedBytes gotSummed(summed.size());
      k.vertical(rows.data(), weights.data(), taps, width,
                 reinterpret_cast<int16_t*>(gotSummed.data()), keyed, keyPixel);
      ASSERT_TRUE(sameBytes(gotSummed, summed)) << "taps " << taps;
      ASSERT_TRUE(checkConverted(k)) << "converted rows, taps " << taps;
      FencedBytes gotStored(stored.size());
      k.horizontal(row.data(), offsets.data(), runWeights.data(), runTaps, count, gotStored.data(),
                   layout, ycc);
      ASSERT_TRUE(sameBytes(gotStored, stored))
          << "run of " << runTaps << " taps, coefficient set " << set;
    }
  }
}

// Every seventh byte triple through the colour conversion of each set (all
// values of each channel occur): pixels with a single full-weight tap reach
// the store unchanged.
TEST(ResamplerSimd, ColourConversionMatchesScalarForEveryColour) {
  const std::vector<SimdLevel> levels = vectorLevels();
  if (levels.empty()) GTEST_SKIP() << "no SIMD path on this processor";
  const int32_t width = 4096;
  std::vector<int16_t> row(static_cast<size_t>(width) * 4);
  // Every pixel its own single tap of 16384.
  std::vector<int32_t> offsets(static_cast<size_t>(width));
  for (int32_t i = 0; i < width; ++i) offsets[static_cast<size_t>(i)] = 4 * i;
  const std::vector<int16_t> weights(static_cast<size_t>(width) * 4, 16384);
  std::vector<uint8_t> expected(row.size()), got(row.size());  // 4 bytes a pixel
  for (uint32_t base = 0; base < (1u << 24); base += 7 * width) {
    for (int32_t i = 0; i < width; ++i) {
      const uint32_t c = base + 7 * static_cast<uint32_t>(i);
      const uint8_t bgra[4] = {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8),
                               static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c * 7)};
      for (int ch = 0; ch < 4; ++ch) row[4 * i + ch] = static_cast<int16_t>(bgra[ch] * 128);
    }
    for (size_t set = 0; set < std::size(kYccSets); ++set) {
      resamplerKernelsFor(SimdLevel::Scalar)
          .horizontal(row.data(), offsets.data(), weights.data(), 1, width, expected.data(),
                      DestinationLayout::Ycc32TopDown, *kYccSets[set]);
      for (SimdLevel level : levels) {
        resamplerKernelsFor(level).horizontal(row.data(), offsets.data(), weights.data(), 1, width,
                                              got.data(), DestinationLayout::Ycc32TopDown,
                                              *kYccSets[set]);
        ASSERT_EQ(got, expected) << simdLevelName(level) << " from colour " << base << ", set "
                                 << set;
      }
    }
  }
}

}  // namespace
}  // namespace om
