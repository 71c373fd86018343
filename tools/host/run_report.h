// What a run tells while it runs and when it ends: a progress line, and the
// summary of frames, time inside the plug-in by kind of frame, and where
// the settings were.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/host/frame_io.h"
#include "tools/host/plugin_session.h"

namespace omhost {

// The first frame (its switch loads the pictures as the plug-in starts,
// before anything could be decoded ahead), a frame that switched channel,
// one that stepped the logo's animation, or neither.
enum class FrameKind : uint8_t { First, Switching, Stepping, Plain };

// Time inside the plug-in, microseconds per frame.
struct FrameTimes {
  std::vector<double> all, first, switching, stepping, plain;
  std::vector<double> afterRewrite;  // the frames of the 3 s after each rewrite
  void add(double us, FrameKind kind);
};

// Nearest-rank percentile of sorted samples; 0 for none.
double percentile(const std::vector<double>& sorted, double p);

struct RunSummary {
  StreamFormat format;
  int64_t frames = 0;
  int64_t skipped = 0;  // frames the plug-in left untouched
  int64_t switches = 0;
  bool rewrote = false;  // --rewrite: the frames after each save are shown apart
  int32_t cpuClass = 0;
  AnimationClock clock = AnimationClock::VideoTime;
  std::vector<int64_t> channelsAsked;
  std::string settingsFile;  // empty: the plug-in kept none
  int64_t pictureCacheBytes = -1;  // at the end of the run; -1: not told
  double clockReadUs = 0;  // what one time above spends in the clock itself
};

// The summary, on stderr.
void printSummary(const RunSummary& summary, const FrameTimes& times);

// A progress line on stderr, at most four times a second.
class Progress {
 public:
  enum class Line : uint8_t { Hidden, Shown };
  Progress(Line line, int64_t totalFrames);  // total 0: unknown
  void update(int64_t done);
  // Ends the line, so a message can follow.
  void finish();

 private:
  Line line_;
  int64_t total_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastShown_;
};

}  // namespace omhost
