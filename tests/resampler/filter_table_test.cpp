// Filter tables: positions, tap counts and weights for the standard scales.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/aligned_block.h"
#include "logo/resampler.h"

namespace om {
namespace {

struct Entry {
  int32_t offset = 0;
  std::vector<int16_t> weights;
};

// Parses a table block, checking that each weight is replicated in all lanes.
std::vector<Entry> readTable(const FilterTableCache& table, int32_t count) {
  std::vector<Entry> entries;
  const uint8_t* p = static_cast<const uint8_t*>(table.block.data());
  for (int32_t i = 0; i < count; ++i) {
    Entry e;
    int32_t taps;
    std::memcpy(&e.offset, p, 4);
    std::memcpy(&taps, p + 4, 4);
    p += 8;
    for (int32_t k = 0; k < taps; ++k, p += 8) {
      int16_t lanes[4];
      std::memcpy(lanes, p, 8);
      EXPECT_TRUE(lanes[0] == lanes[1] && lanes[1] == lanes[2] && lanes[2] == lanes[3])
          << "entry " << i << " tap " << k;
      e.weights.push_back(lanes[0]);
    }
    entries.push_back(e);
  }
  return entries;
}

std::vector<Entry> build(int32_t a, int32_t b, int32_t first, int32_t count, int32_t step) {
  FilterTableCache table;
  EXPECT_TRUE(BuildFilterTable(a, b, first, count, step, table));
  std::vector<Entry> entries = readTable(table, count);
  return entries;
}

TEST(LanczosWeight, KnownValues) {
  EXPECT_DOUBLE_EQ(LanczosWeight(0.0), 1.0);
  EXPECT_EQ(LanczosWeight(3.0), 0.0);
  EXPECT_EQ(LanczosWeight(-3.5), 0.0);
  // sinc(1.5 pi) * sinc(0.5 pi) = -1 / (0.75 pi^2)
  EXPECT_NEAR(LanczosWeight(1.5), -1.0 / (0.75 * M_PI * M_PI), 1e-15);
  EXPECT_DOUBLE_EQ(LanczosWeight(-1.25), LanczosWeight(1.25));
  EXPECT_NEAR(LanczosWeight(2.0), 0.0, 1e-15);
}

TEST(FilterTable, EqualSizesCarryOneFullWeightAtOwnIndex) {
  const std::vector<Entry> t = build(10, 10, 0, 10, 4);
  for (int32_t i = 0; i < 10; ++i) {
    SCOPED_TRACE(i);
    // Sources i - 3 .. i + 2, cut at the picture's edges.
    const size_t expectedTaps = static_cast<size_t>(std::min(i + 2, 9) - std::max(i - 3, 0) + 1);
    EXPECT_EQ(t[i].weights.size(), expectedTaps);
    for (size_t k = 0; k < t[i].weights.size(); ++k) {
      const int32_t source = t[i].offset / 4 + static_cast<int32_t>(k);
      EXPECT_EQ(t[i].weights[k], source == i ? 16384 : 0);
    }
  }
  EXPECT_EQ(t[0].offset, 0);
}

TEST(FilterTable, HalvingUsesTwelveTapsAtEvenOffsets) {
  const int32_t step = -4 * 40;  // a vertical table steps backwards through rows
  const std::vector<Entry> t = build(40, 20, 0, 20, step);
  EXPECT_EQ(t[0].offset, 0);
  EXPECT_EQ(t[0].weights.size(), 7u);  // m = -5: taps 5..11 of the budget
  for (int32_t i = 3; i < 17; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t[i].weights.size(), 12u);
    EXPECT_EQ(t[i].offset, (2 * i - 5) * step);  // m = 2i - 5
    // Symmetric about the destination centre.
    for (size_t k = 0; k < 6; ++k) EXPECT_EQ(t[i].weights[k], t[i].weights[11 - k]);
  }
  EXPECT_EQ(t[19].weights.size(), 7u);
}

TEST(FilterTable, DoublingRenormalisesTheFirstIndex) {
  const std::vector<Entry> t = build(10, 20, 0, 20, 4);
  // m = -2.75: only source pixels 0, 1 and 2 lie inside the picture, at
  // distances 0.25, 1.25 and 2.25; weights divided by their own sum.
  EXPECT_EQ(t[0].offset, 0);
  ASSERT_EQ(t[0].weights.size(), 3u);
  EXPECT_EQ(t[0].weights[0], 18525);
  EXPECT_EQ(t[0].weights[1], -2764);
  EXPECT_EQ(t[0].weights[2], 625);
  for (const Entry& e : t) EXPECT_LE(e.weights.size(), 6u);
}

TEST(FilterTable, WeightsSumToOneAndStayInsideThePicture) {
  const int32_t sizes[][2] = {{7, 3}, {3, 7}, {100, 33}, {33, 100}, {1, 5}, {5, 1}, {1920, 188}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(testing::Message() << s[0] << " -> " << s[1]);
    const std::vector<Entry> t = build(s[0], s[1], 0, s[1], 4);
    for (const Entry& e : t) {
      int32_t sum = 0;
      for (int16_t w : e.weights) sum += w;
      // Each weight is rounded on its own.
      EXPECT_LE(std::abs(sum - 16384), static_cast<int32_t>(e.weights.size()));
      EXPECT_GE(e.offset, 0);
      EXPECT_LE(e.offset / 4 + static_cast<int32_t>(e.weights.size()), s[0]);
    }
  }
}

TEST(FilterTable, PartialRangeMatchesTheFullTable) {
  const std::vector<Entry> full = build(37, 91, 0, 91, 4);
  const std::vector<Entry> part = build(37, 91, 40, 11, 4);
  for (int32_t i = 0; i < 11; ++i) {
    EXPECT_EQ(part[i].offset, full[40 + i].offset);
    EXPECT_EQ(part[i].weights, full[40 + i].weights);
  }
}

// A host's thread may run the x87 unit at 64-bit precision (MinGW's runtime
// starts it so). Each entry's tap count must still match the weights written
// and keep the taps inside the picture, or the kernels read past both.
TEST(FilterTable, EntriesStayInsideThePictureAtAnyFpuPrecision) {
#if defined(__i386__)
  struct ExtendedPrecision {
    unsigned short saved = 0;
    ExtendedPrecision() {
      __asm__ __volatile__("fnstcw %0" : "=m"(saved));
      const unsigned short extended = static_cast<unsigned short>(saved | 0x0300u);
      __asm__ __volatile__("fldcw %0" : : "m"(extended));
    }
    ~ExtendedPrecision() { __asm__ __volatile__("fldcw %0" : : "m"(saved)); }
  } precision;
#endif
  for (int32_t a = 1; a <= 12; ++a) {
    for (int32_t b = 1; b <= 40; ++b) {
      FilterTableCache table;
      ASSERT_TRUE(BuildFilterTable(a, b, 0, b, 4, table));
      const uint8_t* p = static_cast<const uint8_t*>(table.block.data());
      const uint8_t* end = p + static_cast<size_t>(table.block.capacity()) * table.block.elementSize();
      bool inside = true;
      for (int32_t i = 0; i < b && inside; ++i) {
        int32_t offset, taps;
        std::memcpy(&offset, p, 4);
        std::memcpy(&taps, p + 4, 4);
        inside = offset >= 0 && offset % 4 == 0 && taps >= 0 && taps <= a && offset / 4 + taps <= a &&
                 end - p >= 8 + 8 * static_cast<ptrdiff_t>(taps);
        EXPECT_TRUE(inside) << a << " -> " << b << ", entry " << i << ": offset " << offset << ", " << taps << " taps";
        p += 8 + 8 * static_cast<ptrdiff_t>(taps);
      }
    }
  }
}

// The tap budget grows with the shrink factor; a block kept for its entry
// count alone would be too small for the larger entries.
TEST(FilterTable, BlockGrowsWithTheTapBudget) {
  FilterTableCache table;
  ASSERT_TRUE(BuildFilterTable(100, 100, 0, 100, 4, table));  // 6 taps
  ASSERT_TRUE(BuildFilterTable(400, 100, 0, 100, 4, table));  // 24 taps, same count
  const std::vector<Entry> t = readTable(table, 100);
  size_t used = 0;
  for (const Entry& e : t) used += 8 + 8 * e.weights.size();
  EXPECT_GE(static_cast<size_t>(table.block.capacity()) * table.block.elementSize(), used);
  EXPECT_EQ(t[50].weights.size(), 24u);
}

}  // namespace
}  // namespace om
