// What a frame costs through the pipeline. A 24-frame 480x270 animation at
// 400/1000 of a 1920x1080 4:2:2 frame, 40 ms a frame at 25 fps, so every
// frame steps it: the steady step (after the first loop) against the blend
// of the same overlay alone. And a still 188x100 logo on 720x576 without a
// switch: the lock and bookkeeping around the blend. And a channel of 1 or 8
// layers of the sample PNG badge on 1080p 4:2:2: a plain frame, and the
// worst one, a channel switch that loads and scales every layer's picture.
// Times are per frame.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"
#if defined(OM_BENCH_GIF)
#include "bench/animated_channel.h"
#endif
#include "common/aligned_block.h"
#include "plugin/frame_pipeline.h"
#include "plugin/plugin_state.h"

namespace om {
namespace {

#if defined(OM_BENCH_GIF)
// A small animation that steps on every video frame: 24 frames of 480x270,
// 40 ms a frame at 25 fps.
bench::AnimatedChannel& animated() {
  static bench::AnimatedChannel a(480, 270, 24, 30);
  return a;
}

const char* const kAnimation = "1080p/animated 400/1000";

void animatedCase(benchmark::State& state, const std::string& path, int kind) {
  bench::AnimatedChannel& a = animated();
  if (!a.loaded || a.state.show(1).logo.FrameCount() != 24) {
    state.SkipWithError("the animation did not load");
    return;
  }
  a.useClock();
  const int32_t position[2] = {100, 100};
  bench::record("frame", kAnimation, path, bench::timeLoop(state, 1, [&] {
                  if (kind == 0) a.frame(40);  // steps the animation
                  else if (kind == 1) a.frame(0);
                  else a.state.show(1).canvas.BlendOverlay(a.pixels.data(), position, 60);
                }));
}
#endif

// A still logo "loaded" for channel 1: no switch happens while measuring.
struct Still {
  PluginState state;
  std::vector<uint8_t> frame;
  ChannelInfo channel{};
  FrameInfo info{};

  explicit Still(int layout) {
    ChannelRecord record;
    record.LogoPosX = 700;
    record.LogoPosY = 50;
    state.channelTable.push_back(record);
    state.setFormat(720, 576, layout);
    frame.assign(static_cast<size_t>(720 * 576 * (layout == kPackedYuv422 ? 2 : 3)), 0x60);
    OverlayImage& overlay = state.show(1).canvas.overlay();
    overlay.allocatedWidth = overlay.blockWidth = 207;
    overlay.allocatedHeight = overlay.blockHeight = 110;
    overlay.pixels = overlay.block = static_cast<uint8_t*>(alignedAlloc(207 * 110 * 4));
    for (int i = 0; i < 207 * 110 * 4; ++i) overlay.pixels[i] = static_cast<uint8_t>(i * 7);
    overlay.content = Rect{0, 0, 188, 100};
    state.show(1).logo.SetFrameSize(4, 4);
    state.show(1).logoLoaded = 1;
    state.currentChannelId = 1;
    channel.id = 1;
    info.pixels = frame.data();
    info.channel = &channel;
  }
};

void stillCase(benchmark::State& state, const std::string& path, int layout, bool pipeline) {
  Still f(layout);
  const int32_t position[2] = {700, 50};
  bench::record("frame", layout == kPackedYuv422 ? "576p/still 188x100 yuv422" : "576p/still 188x100 bgr24",
                path, bench::timeLoop(state, 1, [&] {
                  if (pipeline) runFramePipeline(f.state, f.info);
                  else f.state.show(1).canvas.BlendOverlay(f.frame.data(), position, 60);
                }));
}

// Channels 1 and 2, each of `layers` layers of the badge spread over the frame.
struct Layered {
  PluginState state;
  std::vector<uint8_t> frame = std::vector<uint8_t>(1920 * 1080 * 2, 0x60);
  ChannelInfo channel{};
  FrameInfo info{};

  explicit Layered(int layers) {
    state.privateSettings = 1;
    state.channelTable.push_back(ChannelRecord());
    for (const int64_t id : {1, 2}) {
      ChannelRecord record;
      record.id = id;
      for (int32_t number = 1; number <= layers; ++number) {
        LayerSettings layer;
        layer.number = number;
        layer.LogoFileName = OM_SAMPLES_DIR "/logo_alpha.png";
        layer.LogoPosX = 20 + (number - 1) % 4 * 240;
        layer.LogoPosY = 40 + (number - 1) / 4 * 480;
        layer.LogoSizeX = 200;
        layer.LogoSizeY = 150;
        if (number == 1) static_cast<LogoSettings&>(record) = layer;
        else record.layers.push_back(layer);
      }
      state.channelTable.push_back(record);
    }
    state.setFormat(1920, 1080, kPackedYuv422);
    state.initialized = true;
    info.pixels = frame.data();
    info.channel = &channel;
    channel.id = 1;
    runFramePipeline(state, info);
  }
};

const char* const kLayered = "1080p/badge layers";

void layeredCase(benchmark::State& state, const std::string& path, int layers, bool switching) {
  Layered f(layers);
  if (!f.state.show(layers).logoLoaded) {
    state.SkipWithError("the badge did not load");
    return;
  }
  bench::record("frame", kLayered, path, bench::timeLoop(state, 1, [&] {
                  if (switching) f.channel.id = 3 - f.channel.id;
                  runFramePipeline(f.state, f.info);
                }));
}

const bool registered = [] {
  for (const int layers : {1, 8})
    for (const bool switching : {false, true})
      bench::registerPeer("frame", kLayered, (switching ? "switch_" : "plain_") + std::to_string(layers),
                          [=](benchmark::State& s, const std::string& p) { layeredCase(s, p, layers, switching); });
#if defined(OM_BENCH_GIF)
  const char* names[] = {"stepping_frame", "plain_frame", "blend_alone"};
  for (int kind = 0; kind < 3; ++kind)
    bench::registerPeer("frame", kAnimation, names[kind],
                        [=](benchmark::State& s, const std::string& p) { animatedCase(s, p, kind); });
  bench::target("animation step over the blend alone", "frame", kAnimation, "stepping_frame", "frame",
                kAnimation, "blend_alone", 1.2);
#endif
  for (int layout : {kPackedYuv422, kBgr24BottomUp}) {
    const std::string name = layout == kPackedYuv422 ? "576p/still 188x100 yuv422" : "576p/still 188x100 bgr24";
    bench::registerPeer("frame", name, "pipeline", [=](benchmark::State& s, const std::string& p) {
      stillCase(s, p, layout, true);
    });
    bench::registerPeer("frame", name, "blend_alone", [=](benchmark::State& s, const std::string& p) {
      stillCase(s, p, layout, false);
    });
  }
  return true;
}();

}  // namespace
}  // namespace om
