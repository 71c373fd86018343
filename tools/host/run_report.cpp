#include "tools/host/run_report.h"

#include <algorithm>
#include <cinttypes>
#include <filesystem>
#include <system_error>

#include "common/cpu.h"

namespace omhost {
namespace {

// Every summary line puts its label in this many columns.
constexpr int kLabelColumns = 13;

// Median, p99 and maximum of one kind of frame; counts right-aligned in
// `countColumns`, so the figures of every kind stand under each other.
void printTimes(const char* label, std::vector<double> times, int countColumns) {
  if (times.empty()) {
    std::fprintf(stderr, "  %-*s none\n", kLabelColumns, label);
    return;
  }
  std::sort(times.begin(), times.end());
  std::fprintf(stderr, "  %-*s %*zu frames: median %.1f us, p99 %.1f us, max %.1f us\n",
               kLabelColumns, label, countColumns, times.size(), percentile(times, 0.5),
               percentile(times, 0.99), times.back());
}

std::string settingsReport(const std::string& file) {
  if (file.empty()) return "none: the plug-in found no folder for its file";
  std::error_code ec;
  // Saved at shutdown, so a file missing now was never written.
  return std::filesystem::exists(file, ec) ? file : file + " (not written)";
}

}  // namespace

void FrameTimes::add(double us, FrameKind kind) {
  all.push_back(us);
  switch (kind) {
    case FrameKind::First: first.push_back(us); break;
    case FrameKind::Switching: switching.push_back(us); break;
    case FrameKind::Stepping: stepping.push_back(us); break;
    case FrameKind::Plain: plain.push_back(us); break;
  }
}

double percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0.0;
  size_t rank = static_cast<size_t>(p * static_cast<double>(sorted.size()) + 0.999999);
  if (rank < 1) rank = 1;
  if (rank > sorted.size()) rank = sorted.size();
  return sorted[rank - 1];
}

void printSummary(const RunSummary& s, const FrameTimes& times) {
  const StreamFormat& f = s.format;
  const int countColumns = static_cast<int>(std::to_string(times.all.size()).size());
  const bool passThrough = s.cpuClass == 1 || s.cpuClass == 2;
  std::fprintf(stderr, "summary\n");
  std::fprintf(stderr, "  %-*s %lld (%dx%d, plug-in layout %d, %d/%d fps%s)\n", kLabelColumns,
               "frames", static_cast<long long>(s.frames), f.width, f.height,
               static_cast<int>(f.code), f.fpsNum, f.fpsDen,
               f.range == ColorRange::Tv ? ", TV range" : "");
  std::fprintf(stderr, "  %-*s %lld by the plug-in; %lld channel switches\n", kLabelColumns,
               "skipped", static_cast<long long>(s.skipped), static_cast<long long>(s.switches));
  printTimes("process time", times.all, countColumns);
  printTimes("first", times.first, countColumns);
  printTimes("switching", times.switching, countColumns);
  printTimes("stepping", times.stepping, countColumns);
  printTimes("plain", times.plain, countColumns);
  if (s.rewrote) printTimes("rewritten", times.afterRewrite, countColumns);
  std::fprintf(stderr, "  %-*s %s%s\n", kLabelColumns, "simd",
               om::simdLevelName(om::activeSimdLevel()),
               passThrough ? " (cpu class without SSE: frames pass through)" : "");
  std::fprintf(stderr, "  %-*s %s\n", kLabelColumns, "clock",
               s.clock == AnimationClock::VideoTime ? "video time" : "wall clock");
  std::fprintf(stderr, "  %-*s %.2f us, included in each time above\n", kLabelColumns, "timer read",
               s.clockReadUs);
  std::string asked;
  for (int64_t id : s.channelsAsked) asked += " " + std::to_string(id);
  std::fprintf(stderr, "  %-*s asked about:%s\n", kLabelColumns, "channelExists",
               asked.empty() ? " none" : asked.c_str());
  if (s.pictureCacheBytes >= 0)
    std::fprintf(stderr, "  %-*s %.1f MiB decoded ahead, with their overlays\n", kLabelColumns,
                 "picture cache", static_cast<double>(s.pictureCacheBytes) / (1 << 20));
  std::fprintf(stderr, "  %-*s %s\n", kLabelColumns, "settings",
               settingsReport(s.settingsFile).c_str());
}

Progress::Progress(Line line, int64_t totalFrames) : line_(line), total_(totalFrames) {}

void Progress::update(int64_t done) {
  if (line_ == Line::Hidden) return;
  const auto now = std::chrono::steady_clock::now();
  if (done != total_ && shown_ && now - lastShown_ < std::chrono::milliseconds(250)) return;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
  if (total_ > 0)
    std::fprintf(stderr, "\rframe %lld/%lld (%3d%%)  %.1f frames/s   ",
                 static_cast<long long>(done), static_cast<long long>(total_),
                 static_cast<int>(done * 100 / total_), rate);
  else
    std::fprintf(stderr, "\rframe %lld  %.1f frames/s   ", static_cast<long long>(done), rate);
  std::fflush(stderr);
  shown_ = true;
  lastShown_ = now;
}

void Progress::finish() {
  if (shown_) std::fputc('\n', stderr);
  shown_ = false;
}

}  // namespace omhost
