// The soft colour key per SIMD level on the picture size a 1080p overlay is
// scaled from: a noisy logo on a flat key-coloured background with a soft
// edge, so most pixels are at or far from the key and a few lie in the band.
// Times are per picture pixel; and the whole preparation of that picture for
// a 1080p frame with the soft key against the exact one, per rebuild.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "logo/overlay.h"
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

// The whole preparation of the keyed picture as a 1920x1080 4:2:2 overlay,
// as a rebuild runs it: the exact key against the soft one.
void prepareCase(benchmark::State& state, const std::string& path, bool soft) {
  static const std::vector<uint32_t> picture = logoOnKey();
  LogoImage logo;
  FrameCanvas canvas;
  OverlayBuilder builder;
  ChannelRecord record;
  if (!logo.SetFrameSize(kWidth, kHeight)) {
    state.SkipWithError("no memory for the picture");
    return;
  }
  // The picture is stored bottom-up; its rows' order does not matter here.
  std::copy(picture.begin(), picture.end(), logo.currentForWriting().pixels);
  logo.SelectFrame(0);
  canvas.SetFormat(1920, 1080, kPackedYuv422);
  record.LogoSizeX = record.LogoSizeY = 1000;
  record.ColorKeyEnable = 1;
  record.LeftTopPixelColor = 0;
  record.ColorKey = kKeyColor;
  record.KeyTolerance = soft ? kTolerancePercent : 0;
  record.KeySoftness = soft ? kSoftnessPercent : 0;
  builder.rebuild(canvas, logo, record);  // tables and blocks in place
  const double ns = bench::timeLoop(state, 1, [&] { builder.rebuild(canvas, logo, record); });
  bench::record("prepare", "960x540 keyed for 1080p", path, ns);
}

const bool registered = [] {
  bench::registerLevels("soft_key", "960x540", softKeyCase);
  bench::registerPeer("prepare", "960x540 keyed for 1080p", "exact_key",
                      [](benchmark::State& s, const std::string& p) { prepareCase(s, p, false); });
  bench::registerPeer("prepare", "960x540 keyed for 1080p", "soft_key",
                      [](benchmark::State& s, const std::string& p) { prepareCase(s, p, true); });
  bench::target("soft-keyed preparation over the exact key's", "prepare", "960x540 keyed for 1080p",
                "soft_key", "prepare", "960x540 keyed for 1080p", "exact_key", 1.15);
  return true;
}();

}  // namespace
}  // namespace om
