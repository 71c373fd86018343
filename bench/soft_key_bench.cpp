// The soft colour key per SIMD level on the picture size a 1080p overlay is
// scaled from: a noisy logo on a flat key-coloured background with a soft
// edge, so most pixels are at or far from the key and a few lie in the band.
// Times are per picture pixel.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "logo/soft_key_kernels.h"

namespace om {
namespace {

constexpr int32_t kWidth = 960;
constexpr int32_t kHeight = 540;
constexpr uint32_t kKeyColor = 0x0000FF00;  // 0x00BBGGRR: pure green
constexpr int32_t kTolerancePercent = 10;   // t = 44
constexpr int32_t kSoftnessPercent = 20;    // s = 88

// An ellipse of two striped colours with +-12 of noise per channel, its
// edge fading into the key over about 3 pixels, on the key itself.
std::vector<uint32_t> logoOnKey() {
  std::mt19937 rng(7);
  std::vector<uint32_t> px(static_cast<size_t>(kWidth) * kHeight);
  const int32_t key[3] = {0x00, 0xFF, 0x00};  // B, G, R
  const int32_t colours[2][3] = {{240, 240, 240}, {40, 30, 160}};
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const double u = (x - kWidth / 2) / 400.0, v = (y - kHeight / 2) / 200.0;
      // 0 outside, 1 inside, a ramp across the edge.
      const double cover =
          std::fmin(std::fmax((1.0 - std::sqrt(u * u + v * v)) * 400.0 / 3.0, 0.0), 1.0);
      const int32_t* colour = colours[(x / 24 + y / 24) % 2];
      uint32_t p = 0xFF000000u;
      for (int32_t c = 0; c < 3; ++c) {
        const int32_t noisy = colour[c] + static_cast<int32_t>(rng() % 25) - 12;
        const double mixed = key[c] + cover * (noisy - key[c]);
        p |= static_cast<uint32_t>(std::fmin(std::fmax(mixed + 0.5, 0.0), 255.0)) << (8 * c);
      }
      px[static_cast<size_t>(y) * kWidth + x] = p;
    }
  }
  return px;
}

void softKeyCase(benchmark::State& state, const std::string& path) {
  static const std::vector<uint32_t> picture = logoOnKey();
  std::vector<uint32_t> out(picture.size());
  const double ns = bench::timeLoop(state, static_cast<double>(picture.size()), [&] {
    applySoftKey(picture.data(), kWidth, kHeight, kKeyColor, kTolerancePercent, kSoftnessPercent,
                 out.data());
  });
  bench::record("soft_key", "960x540", path, ns);
}

const bool registered = [] {
  bench::registerLevels("soft_key", "960x540", softKeyCase);
  // Keying adds at most 15% to preparing a keyed 960x540 picture for 1080p:
  // per picture pixel at most 0.15 x 4 = 0.6 times the resample's time per
  // destination pixel (four destination pixels to each picture pixel).
  bench::target("soft key 960x540 over the 1080p resample after it (<= 0.6)", "soft_key",
                "960x540", "best", "resample", "960x540->1920x1080/bgra", "best", 0.6);
  return true;
}();

}  // namespace
}  // namespace om
