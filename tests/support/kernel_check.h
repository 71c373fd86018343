// The one way the kernel families are checked against their references:
// seeded random inputs whose seed is printed and replayable (OM_TEST_SEED),
// every vector level the processor has, and outputs fenced by marker bytes
// so a write past either end shows as a difference.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "common/cpu.h"

namespace om::test {

// This run's seed: OM_TEST_SEED when set, otherwise a fresh one. Printed
// once per test binary, so a failing run can be replayed.
inline uint32_t testSeed() {
  static const uint32_t seed = [] {
    const char* fixed = std::getenv("OM_TEST_SEED");
    const uint32_t s = fixed ? static_cast<uint32_t>(std::strtoul(fixed, nullptr, 10))
                             : std::random_device{}();
    std::printf("[   SEED   ] OM_TEST_SEED=%u\n", s);
    return s;
  }();
  return seed;
}

// A generator for one test: the run's seed mixed with the test's own salt,
// so tests draw independent inputs yet all replay from one number.
inline std::mt19937 seededRng(uint32_t salt) { return std::mt19937(testSeed() ^ salt); }

inline int32_t uniform(std::mt19937& rng, int32_t lo, int32_t hi) {
  return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
}

// The vector levels this processor runs, in increasing order.
inline std::vector<SimdLevel> vectorLevels() {
  std::vector<SimdLevel> levels;
  if (detectedSimdLevel() >= SimdLevel::Sse2) levels.push_back(SimdLevel::Sse2);
  if (detectedSimdLevel() >= SimdLevel::Avx2) levels.push_back(SimdLevel::Avx2);
  return levels;
}

constexpr uint8_t kMarker = 0xA5;
constexpr size_t kFenceBytes = 64;

// An output buffer of exactly size() bytes between two fences of markers.
// Compare whole() against the reference's whole() to check the fences too.
class FencedBytes {
 public:
  explicit FencedBytes(size_t bytes, uint8_t fill = kMarker)
      : storage_(bytes + 2 * kFenceBytes, fill) {
    for (size_t i = 0; i < kFenceBytes; ++i) storage_[i] = storage_[storage_.size() - 1 - i] = kMarker;
  }
  uint8_t* data() { return storage_.data() + kFenceBytes; }
  const uint8_t* data() const { return storage_.data() + kFenceBytes; }
  size_t size() const { return storage_.size() - 2 * kFenceBytes; }
  const std::vector<uint8_t>& whole() const { return storage_; }
  bool fencesIntact() const {
    for (size_t i = 0; i < kFenceBytes; ++i)
      if (storage_[i] != kMarker || storage_[storage_.size() - 1 - i] != kMarker) return false;
    return true;
  }

 private:
  std::vector<uint8_t> storage_;
};

// The first differing offset of two fenced buffers, counted from the start
// of their data (negative inside the front fence), or none.
inline ::testing::AssertionResult sameBytes(const FencedBytes& got, const FencedBytes& expected) {
  if (got.whole().size() != expected.whole().size())
    return ::testing::AssertionFailure() << "sizes differ";
  for (size_t i = 0; i < got.whole().size(); ++i)
    if (got.whole()[i] != expected.whole()[i])
      return ::testing::AssertionFailure()
             << "byte " << static_cast<long long>(i) - static_cast<long long>(kFenceBytes) << " of "
             << got.size() << ": " << int{got.whole()[i]} << " instead of "
             << int{expected.whole()[i]};
  return ::testing::AssertionSuccess();
}

}  // namespace om::test
