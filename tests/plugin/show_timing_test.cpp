// The show timing against the formulas, over random settings and ticks.
#include <gtest/gtest.h>

#include <cstdint>

#include "plugin/show_timing.h"
#include "tests/support/kernel_check.h"

namespace om {
namespace {

// The factor exactly as the rules read, in 64-bit integers.
int64_t referenceFactor(int64_t fade, int64_t everyMinutes, int64_t forSeconds, int64_t e) {
  if (everyMinutes == 0) return fade == 0 || e >= fade ? 256 : 256 * e / fade;
  const int64_t p = everyMinutes * 60000;
  const int64_t d = std::min(forSeconds * 1000, p);
  const int64_t u = e % p;
  const int64_t n = std::min(fade, d / 2);
  if (u < n) return 256 * u / n;
  if (u < d - n) return 256;
  if (u < d) return 256 * (d - u) / n;
  return 0;
}

TEST(ShowTiming, FactorFollowsTheFormulasAndSettlingKeepsIt) {
  std::mt19937 rng = test::seededRng(0x5A0F);
  for (int round = 0; round < 200000; ++round) {
    LogoSettings s;
    s.FadeMs = test::uniform(rng, 0, 4) ? test::uniform(rng, 0, 10000) : 0;
    s.ShowEveryMinutes = test::uniform(rng, 0, 2) ? test::uniform(rng, 0, 1440) : 0;
    if (test::uniform(rng, 0, 3) == 0) s.ShowEveryMinutes = test::uniform(rng, 1, 3);
    s.ShowForSeconds = test::uniform(rng, 1, 3600);
    // Ticks anywhere, the 32-bit wrap included; elapsed times mostly near
    // the cycle's and the fades' edges.
    const uint32_t start = static_cast<uint32_t>(rng());
    const uint32_t spans[] = {static_cast<uint32_t>(rng()), static_cast<uint32_t>(rng() % 400000),
                              static_cast<uint32_t>(rng() % 20000)};
    const uint32_t now = start + spans[rng() % 3];
    const uint32_t e = now - start;
    const int32_t f = showFactor(s, e);
    ASSERT_EQ(f, referenceFactor(s.FadeMs, s.ShowEveryMinutes, s.ShowForSeconds, e))
        << s.FadeMs << " " << s.ShowEveryMinutes << " " << s.ShowForSeconds << " " << e;
    const uint32_t settled = settledShowStart(s, start, now);
    ASSERT_EQ(showFactor(s, now - settled), f) << "settling changed the factor";
    ASSERT_LE(now - settled, static_cast<uint32_t>(std::max(10000, s.ShowEveryMinutes * 60000)));
  }
  EXPECT_EQ(showFactor(LogoSettings(), 0), kFullyShown) << "defaults: always fully shown";
}

}  // namespace
}  // namespace om
