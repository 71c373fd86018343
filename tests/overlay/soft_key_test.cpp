// The soft colour key: the reference against the formulas written out once
// more, the picture entry's percents, key order, exact-key case and keying
// in place, and every vector path against the reference byte for byte. Set
// OM_TEST_SEED to replay a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "common/muldiv.h"
#include "logo/soft_key_kernels.h"
#include "tests/support/kernel_check.h"

namespace om {
namespace {

using test::FencedBytes;
using test::sameBytes;
using test::uniform;

constexpr int32_t kLargestSquare = 3 * 255 * 255;

// floor(sqrt(v)) for every v a pixel reaches, counted up rather than
// searched as the reference does.
const std::vector<int32_t>& roots() {
  static const std::vector<int32_t> table = [] {
    std::vector<int32_t> t(kLargestSquare + 1);
    int32_t d = 0;
    for (int32_t v = 0; v <= kLargestSquare; ++v) {
      if ((d + 1) * (d + 1) <= v) ++d;
      t[v] = d;
    }
    return t;
  }();
  return table;
}

uint32_t byteOf(uint32_t v, int32_t i) { return (v >> (8 * i)) & 0xFF; }

// The key's formulas, one pixel, keyPixel in memory order.
uint32_t expectedPixel(uint32_t px, uint32_t keyPixel, int32_t t, int32_t s) {
  int32_t sum = 0;
  for (int32_t c = 0; c < 3; ++c) {
    const int32_t diff =
        static_cast<int32_t>(byteOf(px, c)) - static_cast<int32_t>(byteOf(keyPixel, c));
    sum += diff * diff;
  }
  const int32_t d = roots()[sum];
  const int32_t k = d <= t ? 0 : (s == 0 || d >= t + s) ? 255 : 255 * (d - t) / s;
  uint32_t out = 0;
  for (int32_t c = 0; c < 4; ++c) out |= byteOf(px, c) * k / 255 << (8 * c);
  return out;
}

// Pixels crowding the key and the edges of its soft band t..t+s: the key
// itself, a colour at about a chosen distance (clamped to bytes), or any.
std::vector<uint32_t> pixelsNearKey(std::mt19937& rng, size_t count, uint32_t keyPixel, int32_t t,
                                    int32_t s) {
  std::vector<uint32_t> px(count);
  for (uint32_t& p : px) {
    const uint32_t alpha = uniform(rng, 0, 3) == 0 ? uniform(rng, 0, 255) : 255;
    const int32_t mode = uniform(rng, 0, 7);
    if (mode == 0) {
      p = (keyPixel & 0xFFFFFF) | alpha << 24;
      continue;
    }
    if (mode == 7) {
      p = static_cast<uint32_t>(rng());
      continue;
    }
    const int32_t edges[] = {t, t + 1, t + s - 1, t + s, uniform(rng, t, t + s),
                             uniform(rng, 0, 6)};
    const int32_t r = std::min(std::max(edges[uniform(rng, 0, 5)], 0), kLargestKeyDistance);
    int32_t left = r * r;  // spread over the channels from a random first one
    p = alpha << 24;
    const int32_t first = uniform(rng, 0, 2);
    for (int32_t i = 0; i < 3; ++i) {
      const int32_t c = (first + i) % 3;
      const int32_t most = roots()[std::min(left, kLargestSquare)];
      const int32_t diff = i < 2 ? uniform(rng, -most, most) : (uniform(rng, 0, 1) ? most : -most);
      left -= diff * diff;
      const int32_t v =
          std::min(std::max(static_cast<int32_t>(byteOf(keyPixel, c)) + diff, 0), 255);
      p |= static_cast<uint32_t>(v) << (8 * c);
    }
  }
  return px;
}

// Tolerances and softnesses in distance units, the ends and beyond them
// (clamped) included.
int32_t randomDistance(std::mt19937& rng) {
  const int32_t picks[] = {0, 1, 2, kLargestKeyDistance, -7, 460, uniform(rng, 0, 30),
                           uniform(rng, 0, kLargestKeyDistance)};
  return picks[uniform(rng, 0, 7)];
}

int32_t clampDistance(int32_t v) { return std::min(std::max(v, 0), kLargestKeyDistance); }

TEST(SoftKey, ReferenceFollowsTheFormulas) {
  std::mt19937 rng = test::seededRng(0x50F7);
  for (int32_t round = 0; round < 400; ++round) {
    const uint32_t keyPixel = static_cast<uint32_t>(rng());  // high byte ignored
    const int32_t t = randomDistance(rng), s = randomDistance(rng);
    const std::vector<uint32_t> in =
        pixelsNearKey(rng, uniform(rng, 1, 300), keyPixel, clampDistance(t), clampDistance(s));
    std::vector<uint32_t> out(in.size());
    softKeyRow_c(reinterpret_cast<const uint8_t*>(in.data()),
                 reinterpret_cast<uint8_t*>(out.data()), static_cast<int32_t>(in.size()), keyPixel,
                 t, s);
    for (size_t i = 0; i < in.size(); ++i)
      ASSERT_EQ(out[i], expectedPixel(in[i], keyPixel, clampDistance(t), clampDistance(s)))
          << std::hex << "pixel " << in[i] << ", key " << keyPixel << std::dec << ", t " << t
          << ", s " << s;
  }
}

// Through the picture entry at the active level: 0x00BBGGRR, percents of
// 441 rounded by MulDiv and clamped, in place the same as not; with both
// percents 0 exactly the key's B, G, R become 0, 0, 0, 0 and nothing else
// changes.
TEST(SoftKey, PictureEntryKeysByPercentsInPlaceOrNot) {
  std::mt19937 rng = test::seededRng(0x50F8);
  for (int32_t round = 0; round < 200; ++round) {
    const uint32_t keyColor = static_cast<uint32_t>(rng());
    const uint32_t keyPixel =
        byteOf(keyColor, 2) | byteOf(keyColor, 1) << 8 | byteOf(keyColor, 0) << 16;
    const bool exact = round % 4 == 0;
    const int32_t percents[] = {0, 100, -3, 104, uniform(rng, 0, 100), uniform(rng, 0, 10)};
    const int32_t tp = exact ? 0 : percents[uniform(rng, 0, 5)];
    const int32_t sp = exact ? 0 : percents[uniform(rng, 0, 5)];
    const int32_t t = MulDiv(std::min(std::max(tp, 0), 100), kLargestKeyDistance, 100);
    const int32_t s = MulDiv(std::min(std::max(sp, 0), 100), kLargestKeyDistance, 100);
    const int32_t w = uniform(rng, 1, 40), h = uniform(rng, 1, 20);
    std::vector<uint32_t> picture = pixelsNearKey(rng, static_cast<size_t>(w) * h, keyPixel, t, s);
    SCOPED_TRACE(testing::Message()
                 << "round " << round << ": key " << std::hex << keyColor << std::dec << ", " << tp
                 << "%, " << sp << "%, " << w << "x" << h);

    std::vector<uint32_t> out(picture.size());
    applySoftKey(picture.data(), w, h, keyColor, tp, sp, out.data());
    for (size_t i = 0; i < picture.size(); ++i) {
      ASSERT_EQ(out[i], expectedPixel(picture[i], keyPixel, t, s)) << "pixel " << i;
      if (exact) {
        ASSERT_EQ(out[i], (picture[i] & 0xFFFFFF) == keyPixel ? 0u : picture[i]) << "pixel " << i;
      }
    }
    applySoftKey(picture.data(), w, h, keyColor, tp, sp, picture.data());
    ASSERT_EQ(picture, out);
  }
}

// Runs one level's kernel into a fenced buffer, and in place into another.
void runLevel(SimdLevel level, const std::vector<uint32_t>& in, uint32_t keyPixel, int32_t t,
              int32_t s, FencedBytes& out, FencedBytes& inPlace) {
  const int32_t n = static_cast<int32_t>(in.size());
  softKeyKernelsFor(level).row(reinterpret_cast<const uint8_t*>(in.data()), out.data(), n, keyPixel,
                               t, s);
  if (n > 0) std::memcpy(inPlace.data(), in.data(), in.size() * 4);
  softKeyKernelsFor(level).row(inPlace.data(), inPlace.data(), n, keyPixel, t, s);
}

void expectLevelsMatch(const std::vector<uint32_t>& in, uint32_t keyPixel, int32_t t, int32_t s) {
  FencedBytes expected(in.size() * 4), expectedInPlace(in.size() * 4);
  runLevel(SimdLevel::Scalar, in, keyPixel, t, s, expected, expectedInPlace);
  ASSERT_TRUE(expected.fencesIntact());
  ASSERT_TRUE(sameBytes(expectedInPlace, expected));
  for (SimdLevel level : test::vectorLevels()) {
    FencedBytes got(in.size() * 4), gotInPlace(in.size() * 4);
    runLevel(level, in, keyPixel, t, s, got, gotInPlace);
    ASSERT_TRUE(sameBytes(got, expected)) << simdLevelName(level);
    ASSERT_TRUE(sameBytes(gotInPlace, expected)) << simdLevelName(level) << " in place";
  }
}

TEST(SoftKeySimd, EveryLevelMatchesTheReferenceByteForByte) {
  if (test::vectorLevels().empty()) GTEST_SKIP() << "no vector level on this processor";
  std::mt19937 rng = test::seededRng(0x50F9);
  for (int32_t round = 0; round < 600; ++round) {
    const uint32_t keyPixel = static_cast<uint32_t>(rng());
    const int32_t t = randomDistance(rng), s = randomDistance(rng);
    const int32_t n = uniform(rng, 0, 3) == 0 ? uniform(rng, 0, 40) : uniform(rng, 0, 700);
    // Inputs sized exactly, so a sanitizer build sees reads past them.
    const std::vector<uint32_t> in =
        pixelsNearKey(rng, n, keyPixel, clampDistance(t), clampDistance(s));
    SCOPED_TRACE(testing::Message() << "round " << round << ": " << n << " pixels, key " << std::hex
                                    << keyPixel << std::dec << ", t " << t << ", s " << s);
    ASSERT_NO_FATAL_FAILURE(expectLevelsMatch(in, keyPixel, t, s));
  }
}

// The single-precision root and division over their whole domain: every
// squared distance a pixel reaches, and for every softness every distance
// d = 0..441, from both ends of the D that have that root.
TEST(SoftKeySimd, EveryDistanceAndSoftnessMatchesTheReference) {
  if (test::vectorLevels().empty()) GTEST_SKIP() << "no vector level on this processor";
  std::vector<uint32_t> bySquare(kLargestSquare + 1, ~0u);  // a pixel per reachable D, key 0
  for (uint32_t b = 0; b < 256; ++b)
    for (uint32_t g = b; g < 256; ++g)
      for (uint32_t r = g; r < 256; ++r)
        bySquare[b * b + g * g + r * r] = b | g << 8 | r << 16 | 0xFF000000u;
  // rangeEnds: the least and the greatest reachable D of each root.
  std::vector<uint32_t> everySquare, rangeEnds(2 * (kLargestKeyDistance + 1), ~0u);
  for (int32_t v = 0; v <= kLargestSquare; ++v) {
    if (bySquare[v] == ~0u) continue;
    everySquare.push_back(bySquare[v]);
    const int32_t d = roots()[v];
    if (rangeEnds[2 * d] == ~0u) rangeEnds[2 * d] = bySquare[v];
    rangeEnds[2 * d + 1] = bySquare[v];
  }
  ASSERT_NO_FATAL_FAILURE(expectLevelsMatch(everySquare, 0, 0, kLargestKeyDistance));
  for (int32_t s = 0; s <= kLargestKeyDistance; ++s)
    ASSERT_NO_FATAL_FAILURE(expectLevelsMatch(rangeEnds, 0, 0, s)) << "s " << s;
}

}  // namespace
}  // namespace om
