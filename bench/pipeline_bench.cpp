// The per-frame cost of the pipeline without a channel change: the lock, the
// bookkeeping and the blend of a 188x100 logo on 720x576, against the blend
// alone, so the difference is what the pipeline adds.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "common/aligned_block.h"
#include "plugin/frame_pipeline.h"
#include "plugin/plugin_state.h"

namespace om {
namespace {

struct Fixture {
  PluginState state;
  std::vector<uint8_t> frame = std::vector<uint8_t>(720 * 576 * 2, 0x60);
  ChannelInfo channel{};
  FrameInfo info{};

  explicit Fixture(int layout) {
    ChannelRecord record;
    record.LogoPosX = 700;
    record.LogoPosY = 50;
    state.channelTable.push_back(record);
    state.canvas.SetFormat(720, 576, layout);
    frame.assign(static_cast<size_t>(720 * 576 * (layout == kPackedYuv422 ? 2 : 3)), 0x60);
    OverlayImage& overlay = state.canvas.overlay();
    overlay.allocatedWidth = 207;
    overlay.allocatedHeight = 110;
    overlay.pixels = static_cast<uint8_t*>(alignedAlloc(207 * 110 * 4));
    for (int i = 0; i < 207 * 110 * 4; ++i) overlay.pixels[i] = static_cast<uint8_t>(i * 7);
    overlay.content = Rect{0, 0, 188, 100};
    // A still logo "loaded" for channel 1: no switch happens while measuring.
    state.logo.SetFrameSize(4, 4);
    state.logoLoaded = 1;
    state.currentChannelId = 1;
    channel.id = 1;
    info.pixels = frame.data();
    info.channel = &channel;
  }
};

void BM_ProcessFrameNoSwitch(benchmark::State& s) {
  Fixture f(static_cast<int>(s.range(0)));
  for (auto _ : s) benchmark::DoNotOptimize(runFramePipeline(f.state, f.info));
  s.SetLabel(s.range(0) == kPackedYuv422 ? "yuv422 720x576, logo 188x100" : "bgr24 720x576, logo 188x100");
}
BENCHMARK(BM_ProcessFrameNoSwitch)->Arg(kPackedYuv422)->Arg(kBgr24BottomUp);

void BM_BlendAlone(benchmark::State& s) {
  Fixture f(static_cast<int>(s.range(0)));
  const int32_t position[2] = {700, 50};
  for (auto _ : s) {
    f.state.canvas.BlendOverlay(f.frame.data(), position, 60);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BlendAlone)->Arg(kPackedYuv422)->Arg(kBgr24BottomUp);

}  // namespace
}  // namespace om

