// A channel showing a generated animation through the real frame pipeline:
// 400/1000 of a 1080p 4:2:2 frame, video time on a clock of its own, every
// frame() one video frame.
#pragma once

#include <cstdint>
#include <vector>

#include "plugin/plugin_state.h"

namespace om::bench {

struct AnimatedChannel {
  // Writes a width x height GIF of `frames` frames, 40 ms each, shows it and
  // plays `warmUpFrames` video frames (a first loop prepares overlays).
  AnimatedChannel(int width, int height, int frames, int warmUpFrames);
  ~AnimatedChannel();
  AnimatedChannel(const AnimatedChannel&) = delete;
  AnimatedChannel& operator=(const AnimatedChannel&) = delete;

  // One video frame `advanceMs` after the last.
  void frame(uint32_t advanceMs);
  // This channel's clock drives the plug-in's animations again.
  void useClock();

  PluginState state;
  std::vector<uint8_t> pixels = std::vector<uint8_t>(1920 * 1080 * 2, 0x80);
  ChannelInfo channel{};
  FrameInfo info{};
  bool loaded = false;
  uint32_t nowMs = 0;
};

}  // namespace om::bench
