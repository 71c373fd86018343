// Every vector cover kernel against its scalar reference, byte for byte:
// random lengths (0, 1, tails of every size, several vector steps), inputs
// at every alignment and exactly sized (a read past the end is the address
// sanitizer's), outputs fenced, values crowding the ends of their ranges,
// and now and then values beyond them, which the vector kernels must hand to
// the reference. Set OM_TEST_SEED to replay a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <vector>

#include "compositing/cover_kernels.h"
#include "tests/support/kernel_check.h"

namespace om::test {
namespace {

// n values after an offset of 0..31 elements.
template <typename T>
struct Unaligned {
  std::vector<T> storage;
  size_t offset = 0;
  T* data() { return storage.data() + offset; }
};

template <typename T, typename Value>
Unaligned<T> unaligned(std::mt19937& rng, int32_t n, Value value) {
  Unaligned<T> u;
  u.offset = static_cast<size_t>(uniform(rng, 0, 31));
  u.storage.resize(u.offset + static_cast<size_t>(n));
  for (size_t i = u.offset; i < u.storage.size(); ++i) u.storage[i] = static_cast<T>(value());
  return u;
}

// A fenced output of `bytes` after an offset (a multiple of `grain`), its
// bytes from `value`: what an in-place kernel starts from.
struct Output {
  FencedBytes bytes;
  size_t offset;
  template <typename T>
  T* as() {
    return reinterpret_cast<T*>(bytes.data() + offset);
  }
};

template <typename Value>
Output output(std::mt19937& rng, size_t bytes, size_t grain, Value value) {
  const size_t offset =
      grain * static_cast<size_t>(uniform(rng, 0, static_cast<int32_t>(32 / grain) - 1));
  Output out{FencedBytes(offset + bytes), offset};
  for (size_t i = 0; i < bytes; ++i) out.bytes.data()[offset + i] = static_cast<uint8_t>(value());
  return out;
}

// Runs `body` with the reference's table and each vector level's, each on
// its own copy of `outputs`, and compares every byte, fences included.
template <typename Body>
::testing::AssertionResult sameAtEveryLevel(const std::vector<Output>& outputs, Body body) {
  std::vector<Output> expected = outputs;
  body(coverKernelsFor(SimdLevel::Scalar), expected);
  for (SimdLevel level : vectorLevels()) {
    std::vector<Output> got = outputs;
    body(coverKernelsFor(level), got);
    for (size_t i = 0; i < got.size(); ++i) {
      ::testing::AssertionResult same = sameBytes(got[i].bytes, expected[i].bytes);
      if (!same) return same << " (output " << i << ", " << simdLevelName(level) << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

// Three-sample sums of the erase's border, crowding 0 and 765.
int32_t sum3(std::mt19937& rng) {
  const int32_t picks[] = {0, 765, 3, 762, uniform(rng, 0, 765)};
  return picks[uniform(rng, 0, 4)];
}

// The columns and row frame_cover computes for `count` columns of a
// rectangle on a plane of up to 16384 x 16384, the border either random or
// two levels apart by 3 (l = t, r = b), which makes exact ties of the
// rounding where the weights balance.
struct EraseCase {
  Unaligned<int32_t> al, ar, p, t, b;
  EraseRow row{};
};

EraseCase eraseCase(std::mt19937& rng, int32_t count) {
  auto side = [&](int32_t& planeSize, int32_t& lo, int32_t& hi, int32_t least) {
    const int32_t sizes[] = {16384, 16383, uniform(rng, 1, 16384), uniform(rng, 1, 80)};
    planeSize = std::max(sizes[uniform(rng, 0, 3)], least + 2);
    const int32_t pick = uniform(rng, 0, 3);
    if (pick == 0)
      lo = 0, hi = planeSize;  // no border on this axis
    else if (pick == 1)
      lo = 1, hi = planeSize - 1;  // the widest with both borders
    else
      lo = uniform(rng, 0, planeSize - least), hi = uniform(rng, lo + least, planeSize);
  };
  int32_t width = 0, left = 0, right = 0, height = 0, top = 0, bottom = 0;
  side(width, left, right, std::max(count, 1));
  side(height, top, bottom, 1);
  const bool twoLevels = uniform(rng, 0, 2) == 0;
  const int32_t level = 3 * uniform(rng, 0, 254);
  const int32_t first = left + uniform(rng, 0, right - left - std::max(count, 1));
  const bool hasLeft = left >= 1, hasRight = right < width, hasTop = top >= 1,
             hasBottom = bottom < height;
  EraseCase e;
  std::vector<int32_t> al, ar, p, t, b;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t px = first + i, dl = px - left + 1, dr = right - px;
    al.push_back(hasLeft ? dr : 0);
    ar.push_back(hasRight ? dl : 0);
    p.push_back(dl * dr);
    t.push_back(hasTop ? (twoLevels ? level : sum3(rng)) : 0);
    b.push_back(hasBottom ? (twoLevels ? level + 3 : sum3(rng)) : 0);
  }
  auto from = [&](const std::vector<int32_t>& v) {
    size_t i = 0;
    return unaligned<int32_t>(rng, count, [&] { return v[i++]; });
  };
  e.al = from(al), e.ar = from(ar), e.p = from(p), e.t = from(t), e.b = from(b);
  const int32_t py = uniform(rng, top, bottom - 1), dt = py - top + 1, db = bottom - py;
  e.row = EraseRow{hasLeft ? (twoLevels ? level : sum3(rng)) : 0,
                   hasRight ? (twoLevels ? level + 3 : sum3(rng)) : 0, dt * db, hasTop ? db : 0,
                   hasBottom ? dt : 0};
  return e;
}

// Inputs beyond the header's bounds, negative ones too, whose 64-bit
// reference arithmetic stays defined.
EraseCase oddEraseCase(std::mt19937& rng, int32_t count) {
  auto any = [&] {
    return uniform(rng, 0, 3) == 0 ? uniform(rng, -3000, 40000) : uniform(rng, 0, 1100);
  };
  auto weight = [&] { return uniform(rng, -1000, 70000); };
  return EraseCase{
      unaligned<int32_t>(rng, count, any),    unaligned<int32_t>(rng, count, any),
      unaligned<int32_t>(rng, count, weight), unaligned<int32_t>(rng, count, any),
      unaligned<int32_t>(rng, count, any),    EraseRow{any(), any(), weight(), any(), any()}};
}

TEST(CoverSimd, EveryKernelMatchesTheReferenceByteForByte) {
  if (vectorLevels().empty()) GTEST_SKIP() << "no vector level on this processor";
  std::mt19937 rng = seededRng(0xC5D2);
  auto byte = [&] {
    const int32_t picks[] = {0, 255, 127, 128, uniform(rng, 0, 255)};
    return picks[uniform(rng, 0, 4)];
  };
  auto anyByte = [&] { return uniform(rng, 0, 255); };
  auto length = [&] {
    const int32_t picks[] = {0,  1, uniform(rng, 2, 40), uniform(rng, 0, 700), 16, 17, 32, 33, 63,
                             64, 65};
    return picks[uniform(rng, 0, 10)];
  };

  for (int32_t round = 0; round < 800; ++round) {
    const int32_t n = length();
    std::ostringstream what;
    what << "round " << round << ", " << n << " samples";
    SCOPED_TRACE(what.str());

    {  // split and join, both layouts
      auto packed = unaligned<uint8_t>(rng, 4 * n, anyByte);
      auto bgr = unaligned<uint8_t>(rng, 3 * n, anyByte);
      auto y = unaligned<uint8_t>(rng, 2 * n, anyByte);
      auto u = unaligned<uint8_t>(rng, n, anyByte), v = unaligned<uint8_t>(rng, n, anyByte);
      auto w = unaligned<uint8_t>(rng, n, anyByte);
      const std::vector<Output> outs = {
          output(rng, 2 * n, 1, anyByte), output(rng, n, 1, anyByte),    output(rng, n, 1, anyByte),
          output(rng, n, 1, anyByte),     output(rng, n, 1, anyByte),    output(rng, n, 1, anyByte),
          output(rng, 4 * n, 1, anyByte), output(rng, 3 * n, 1, anyByte)};
      ASSERT_TRUE(sameAtEveryLevel(outs, [&](const CoverKernels& k, std::vector<Output>& o) {
        k.splitYuv422(packed.data(), n, o[0].as<uint8_t>(), o[1].as<uint8_t>(), o[2].as<uint8_t>());
        k.splitBgr24(bgr.data(), n, o[3].as<uint8_t>(), o[4].as<uint8_t>(), o[5].as<uint8_t>());
        k.joinYuv422(o[6].as<uint8_t>(), n, y.data(), u.data(), v.data());
        k.joinBgr24(o[7].as<uint8_t>(), n, u.data(), v.data(), w.data());
      })) << "split, join";
    }
    {  // the mix: no weights, or an overlay row's at step 4 or 8
      const int32_t step = uniform(rng, 0, 2) == 0 ? 0 : 4 * uniform(rng, 1, 2);
      const int32_t opacities[] = {0, 1, 128, 255, 256, uniform(rng, 0, 256)};
      const int32_t opacity = opacities[uniform(rng, 0, 5)];
      auto overlay = unaligned<uint8_t>(rng, n > 0 ? (n - 1) * std::max(step, 4) + 4 : 4, byte);
      const uint8_t* weights = step ? overlay.data() + 3 : nullptr;
      auto fill = unaligned<uint8_t>(rng, n, byte);
      ASSERT_TRUE(sameAtEveryLevel({output(rng, n, 1, byte)},
                                   [&](const CoverKernels& k, std::vector<Output>& o) {
                                     k.mixRow(o[0].as<uint8_t>(), fill.data(), weights, step, n,
                                              opacity);
                                   }))
          << "mix, step " << step << ", opacity " << opacity;
    }
    {  // column sums, wrapping as unsigned arithmetic does
      auto add = unaligned<uint8_t>(rng, n, byte), sub = unaligned<uint8_t>(rng, n, byte);
      ASSERT_TRUE(sameAtEveryLevel({output(rng, 4 * static_cast<size_t>(n), 4, anyByte),
                                    output(rng, 4 * static_cast<size_t>(n), 4, anyByte)},
                                   [&](const CoverKernels& k, std::vector<Output>& o) {
                                     k.slideSums(o[0].as<uint32_t>(), add.data(), sub.data(), n);
                                     k.addRow(o[1].as<uint32_t>(), add.data(), n);
                                   }))
          << "sums";
    }
    {  // the blur's windows: taps and rows 1..129, sums within their bound or beyond
      const int32_t reach[] = {0, 64, uniform(rng, 0, 64), uniform(rng, 0, 4)};
      const int32_t taps = 2 * reach[uniform(rng, 0, 3)] + 1,
                    rows = 2 * reach[uniform(rng, 0, 3)] + 1;
      const bool beyond = uniform(rng, 0, 7) == 0;
      const uint32_t n32 = beyond && uniform(rng, 0, 1)
                               ? static_cast<uint32_t>(uniform(rng, 1, 1 << 25))
                               : static_cast<uint32_t>(taps * rows);
      auto sum = [&]() -> uint32_t {
        if (beyond) return uniform(rng, 0, 1) ? rng() : rng() % (1u << 16);
        const uint32_t picks[] = {0, 255u * rows,
                                  static_cast<uint32_t>(uniform(rng, 0, 255 * rows))};
        return picks[uniform(rng, 0, 2)];
      };
      auto sums = unaligned<uint32_t>(rng, n + taps - 1, sum);
      ASSERT_TRUE(sameAtEveryLevel({output(rng, n, 1, anyByte)},
                                   [&](const CoverKernels& k, std::vector<Output>& o) {
                                     k.boxRow(o[0].as<uint8_t>(), sums.data(), n, taps, n32);
                                   }))
          << "box, taps " << taps << ", n " << n32;
    }
    {  // the erase, as frame_cover's geometry gives it or beyond it
      EraseCase e = uniform(rng, 0, 7) == 0 ? oddEraseCase(rng, n) : eraseCase(rng, n);
      const EraseColumns columns{e.al.data(), e.ar.data(), e.p.data(), e.t.data(), e.b.data()};
      auto s = unaligned<uint8_t>(rng, n, anyByte);
      ASSERT_TRUE(sameAtEveryLevel({output(rng, n, 1, anyByte)},
                                   [&](const CoverKernels& k, std::vector<Output>& o) {
                                     k.eraseRow(o[0].as<uint8_t>(), s.data(), columns, e.row, n);
                                   }))
          << "erase, row l " << e.row.l << " r " << e.row.r << " q " << e.row.q << " bt "
          << e.row.bt << " bb " << e.row.bb;
    }
  }
}

}  // namespace
}  // namespace om::test
