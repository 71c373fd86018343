// The preview scaler per kernel set: a 400 x 300 logo letterboxed into the
// 150 x 80 pane (the dialog's case), and a small logo enlarged into it.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "common/cpu.h"
#include "dialog/preview_pane.h"
#include "dialog/preview_scaler.h"

namespace {

void scalePreview(benchmark::State& st, om::SimdLevel level, int32_t sw, int32_t sh) {
  if (level > om::detectedSimdLevel()) {
    st.SkipWithError("CPU lacks this level");
    return;
  }
  std::vector<uint32_t> src(static_cast<size_t>(sw) * sh);
  std::mt19937 rng(1);
  for (uint32_t& p : src) p = rng();
  std::vector<uint32_t> pane(150 * 80);
  om::PreviewScaler scaler;
  scaler.setKernels(&om::previewKernels(level));
  const om::Rect target = om::letterboxRect(sw, sh, 150, 80);
  for (auto _ : st) {
    scaler.scale(src.data(), sw, sh, om::Rect{0, 0, sw, sh}, pane.data(), 150, 80, target);
    benchmark::DoNotOptimize(pane.data());
  }
  st.SetItemsProcessed(st.iterations() * target.width() * target.height());
}

void BM_PreviewReduce(benchmark::State& st) {
  scalePreview(st, static_cast<om::SimdLevel>(st.range(0)), 400, 300);
}
void BM_PreviewEnlarge(benchmark::State& st) {
  scalePreview(st, static_cast<om::SimdLevel>(st.range(0)), 48, 32);
}
BENCHMARK(BM_PreviewReduce)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_PreviewEnlarge)->Arg(0)->Arg(1)->Arg(2);

}  // namespace
