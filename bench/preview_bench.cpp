// The preview scaler per SIMD level: a 400 x 300 logo letterboxed into the
// 150 x 80 pane (the dialog's case), and a small logo enlarged into it.
// Times are per drawn pixel.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "dialog/preview_pane.h"
#include "dialog/preview_scaler.h"

namespace om {
namespace {

void previewCase(benchmark::State& state, const std::string& path, int32_t sw, int32_t sh) {
  std::vector<uint32_t> src(static_cast<size_t>(sw) * sh);
  std::mt19937 rng(1);
  for (uint32_t& p : src) p = rng();
  std::vector<uint32_t> pane(150 * 80);
  PreviewScaler scaler;
  const Rect target = letterboxRect(sw, sh, 150, 80);
  const double ns = bench::timeLoop(state, static_cast<double>(target.width()) * target.height(), [&] {
    scaler.scale(src.data(), sw, sh, Rect{0, 0, sw, sh}, pane.data(), 150, 80, target);
  });
  bench::record("preview", std::to_string(sw) + "x" + std::to_string(sh) + "->150x80", path, ns);
}

const bool registered = [] {
  for (const auto& [w, h] : {std::pair<int32_t, int32_t>{400, 300}, {48, 32}}) {
    bench::registerLevels("preview", std::to_string(w) + "x" + std::to_string(h) + "->150x80",
                          [w = w, h = h](benchmark::State& s, const std::string& p) {
                            previewCase(s, p, w, h);
                          });
  }
  return true;
}();

}  // namespace
}  // namespace om
