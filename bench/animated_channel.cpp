#include "bench/animated_channel.h"

#include <unistd.h>

#include <string>

#include "bench/gif_writer.h"
#include "plugin/frame_pipeline.h"
#include "plugin/tick.h"

namespace om::bench {

namespace {
// The clock of the channel that last asked for it.
const uint32_t* g_clock = nullptr;
uint32_t TULVANE_CDECL channelTick() { return g_clock ? *g_clock : 0; }
}  // namespace

AnimatedChannel::AnimatedChannel(int width, int height, int frames, int warmUpFrames) {
  const std::string path = "/tmp/om_bench_" + std::to_string(getpid()) + "_" +
                           std::to_string(width) + "x" + std::to_string(frames) + ".gif";
  if (!writeAnimation(path, width, height, frames, 4)) return;
  ChannelRecord record;
  record.LogoFileName = path;
  record.LogoPosX = 100;
  record.LogoPosY = 100;
  record.LogoSizeX = 400;
  record.LogoSizeY = 400;
  state.channelTable.push_back(record);
  state.setFormat(1920, 1080, kPackedYuv422);
  state.initialized = true;
  channel.id = 1;
  info.pixels = pixels.data();
  info.channel = &channel;
  useClock();
  for (int f = 0; f < warmUpFrames; ++f) frame(40);
  loaded = state.show(1).logoLoaded != 0;
  unlink(path.c_str());
}

AnimatedChannel::~AnimatedChannel() {
  if (g_clock == &nowMs) {
    setTickSource(nullptr);
    g_clock = nullptr;
  }
}

void AnimatedChannel::useClock() {
  g_clock = &nowMs;
  setTickSource(&channelTick);
}

void AnimatedChannel::frame(uint32_t advanceMs) {
  nowMs += advanceMs;
  runFramePipeline(state, info);
}

}  // namespace om::bench
