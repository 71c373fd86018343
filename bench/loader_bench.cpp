// Loading an animated logo, and the whole channel switch that loads it
// (select the record, load, clamp, rebuild the overlay), against giflib's
// bare slurp of the same file: the floor a GIF loader is compared with.
// Times are per file. And a stepping frame of an animation too large to keep
// decoded, which decodes one frame per step, against the blend alone: times
// per video frame.
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/animated_channel.h"
#include "bench/gif_writer.h"
#include "logo/logo_image.h"
#include "plugin/frame_pipeline.h"
#include "plugin/plugin_state.h"

namespace om {
namespace {

struct Gif {
  std::string name;
  std::string path;
};

// The sample the demo shows, and a broadcast-sized animation.
const Gif& gif(int which) {
  static const Gif gifs[2] = {
      {"sample_gif", std::string(OM_SAMPLES_DIR) + "/logo_animated.gif"},
      {"24x480x270", "/tmp/om_loader_bench_" + std::to_string(getpid()) + ".gif"}};
  static const bool written = bench::writeAnimation(gifs[1].path, 480, 270, 24, 4);
  (void)written;
  return gifs[which];
}

void loadCase(benchmark::State& state, const std::string& path, int which) {
  LogoImage image;
  const std::string& file = gif(which).path;
  if (!image.LoadFromFile(file.c_str())) {
    state.SkipWithError("load failed");
    return;
  }
  bench::record("load", gif(which).name, path,
                bench::timeLoop(state, 1, [&] { image.LoadFromFile(file.c_str()); }));
}

void switchCase(benchmark::State& state, const std::string& path, int which) {
  PluginState ps;
  ChannelRecord record;
  record.id = 1;
  record.LogoFileName = gif(which).path;
  record.LogoSizeX = 400;
  record.LogoSizeY = 400;
  ps.channelTable = {ChannelRecord(), record, record};
  ps.channelTable[2].id = 2;
  ps.privateSettings = 1;
  ps.setFormat(1920, 1080, kPackedYuv422);
  int64_t id = 1;
  bench::record("load", gif(which).name, path, bench::timeLoop(state, 1, [&] {
                  id = 3 - id;  // every time another channel, with the same picture
                  switchChannel(ps, id, "bench");
                }));
  if (!ps.show(1).logoLoaded) state.SkipWithError("the switch loaded nothing");
}

void slurpCase(benchmark::State& state, const std::string& path, int which) {
  const std::string& file = gif(which).path;
  bench::record("load", gif(which).name, path, bench::timeLoop(state, 1, [&] {
                  int error = 0;
                  GifFileType* g = DGifOpenFileName(file.c_str(), &error);
                  if (!g || DGifSlurp(g) != GIF_OK) state.SkipWithError("slurp failed");
                  if (g) DGifCloseFile(g, &error);
                }));
}

// A 783-frame 640x421 clip, every frame whole: far over the picture budget,
// so it plays streamed. Every video frame steps it; after a loop the
// prepared overlays hold the frames that fit in their budget, and later
// frames are resampled each time.
bench::AnimatedChannel& streamed() {
  static bench::AnimatedChannel s(640, 421, 783, 800);
  return s;
}

const char* const kStreamed = "1080p/streamed 783x640x421 400/1000";

// kind 0: a video frame that steps; 1: the blend alone; 2: the picture's
// step alone, which decodes one frame.
void streamedCase(benchmark::State& state, const std::string& path, int kind) {
  bench::AnimatedChannel& s = streamed();
  if (!s.loaded || !s.state.show(1).logo.streamed()) {
    state.SkipWithError("the animation did not play streamed");
    return;
  }
  const int32_t position[2] = {100, 100};
  s.useClock();
  bench::record("frame", kStreamed, path, bench::timeLoop(state, 1, [&] {
                  if (kind == 0) s.frame(40);
                  else if (kind == 1) s.state.show(1).canvas.BlendOverlay(s.pixels.data(), position, 60);
                  else s.state.show(1).logo.NextFrame();
                }));
}

const bool registered = [] {
  const char* streamedPaths[] = {"stepping_frame", "blend_alone", "decode_alone"};
  for (int kind = 0; kind < 3; ++kind)
    bench::registerPeer("frame", kStreamed, streamedPaths[kind],
                        [=](benchmark::State& s, const std::string& p) { streamedCase(s, p, kind); });
  for (int which = 0; which < 2; ++which) {
    const std::string name = gif(which).name;
    bench::registerPeer("load", name, "giflib_slurp",
                        [=](benchmark::State& s, const std::string& p) { slurpCase(s, p, which); });
    bench::registerPeer("load", name, "load",
                        [=](benchmark::State& s, const std::string& p) { loadCase(s, p, which); });
    bench::registerPeer("load", name, "channel_switch",
                        [=](benchmark::State& s, const std::string& p) { switchCase(s, p, which); });
    bench::target("load " + name + " over giflib's slurp", "load", name, "load", "load", name,
                  "giflib_slurp", 1.3);
  }
  return true;
}();

}  // namespace
}  // namespace om
