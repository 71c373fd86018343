// Loading an animated logo, and the whole channel switch that loads it
// (select the record, load, clamp, rebuild the overlay), against giflib's
// bare slurp of the same file: the floor a GIF loader is compared with.
// Times are per file.
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <unistd.h>

#include <string>

#include "bench/bench_support.h"
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
  ps.canvas.SetFormat(1920, 1080, kPackedYuv422);
  int64_t id = 1;
  bench::record("load", gif(which).name, path, bench::timeLoop(state, 1, [&] {
                  id = 3 - id;  // every time another channel, with the same picture
                  switchChannel(ps, id, "bench");
                }));
  if (!ps.logoLoaded) state.SkipWithError("the switch loaded nothing");
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

const bool registered = [] {
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
