#include "tools/host/host_run.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>
#include <vector>

#include "plugin/host_api.h"
#include "tools/host/frame_outputs.h"
#include "tools/host/host_platform.h"
#include "tools/host/plugin_session.h"
#include "tools/host/run_report.h"

namespace omhost {
namespace {

namespace fs = std::filesystem;

// Saves a file again at given seconds of wall time into the run, as an
// editor does: a copy renamed over it.
class FileRewriter {
 public:
  // False when the file does not read.
  bool load(const std::string& path, const std::vector<double>& atSeconds) {
    path_ = path;
    at_ = atSeconds;
    std::ifstream in(path, std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !bytes_.empty();
  }
  // At most one save per frame.
  void update(double wallSeconds) {
    if (next_ >= at_.size() || wallSeconds < at_[next_]) return;
    const std::string copy = path_ + ".om_host";
    std::ofstream(copy, std::ios::binary | std::ios::trunc) << bytes_;
    std::error_code ec;
    fs::rename(copy, path_, ec);
    last_ = wallSeconds;
    ++next_;
  }
  // The file follower looks once a second and waits for two looks to agree.
  bool justRewritten(double wallSeconds) const { return wallSeconds - last_ < 3.0; }

 private:
  std::string path_;
  std::string bytes_;
  std::vector<double> at_;
  size_t next_ = 0;
  double last_ = -1e9;
};

// What a run holds from opening to the summary.
struct Run {
  std::unique_ptr<FrameSource> source;
  StreamFormat format;
  int64_t frameLimit = 0;  // INT64_MAX: to the end of the input
  FrameOutputs outputs;
  FileRewriter rewriter;
  std::string pluginPath;
  std::string settingsFile;
  Plugin plugin;
  AnimationClock clock = AnimationClock::VideoTime;
  std::vector<ChannelSlot> schedule;
  std::vector<ChannelInfo> channelRecords;  // one per slot; frames point at them
};

// What the frames came to.
struct Tally {
  int64_t frames = 0;
  int64_t skipped = 0;
  int64_t switches = 0;
  FrameTimes times;
  Fnv1a64 inSum, outSum;
  int exitCode = 0;
};

void complain(const std::string& message) {
  std::fprintf(stderr, "om_host: %s\n", message.c_str());
}

int fail(const std::string& message, int exitCode) {
  complain(message);
  return exitCode;
}

// Opens the video and the outputs first, then the settings and the plug-in:
// a wrong option should not cost a settings save. Returns 0 or the exit code.
int openRun(const HostOptions& options, Run& run) {
  std::string error;
  if (!picturesAvailable(options, error)) return fail(error, 2);
  if (!options.info) {
    run.source = openSource(options.input, error);
    if (!run.source) return fail(error, 2);
    run.format = run.source->format();
  }
  run.frameLimit = options.frames >= 0          ? options.frames
                   : options.input.path.empty() ? 150
                                                : INT64_MAX;
  if (!run.outputs.open(options, run.format, run.frameLimit, error)) return fail(error, 2);
  if (!options.info && !options.rewriteFile.empty() &&
      !run.rewriter.load(options.rewriteFile, options.rewriteAt))
    return fail("cannot read " + options.rewriteFile + " to rewrite it", 1);

  run.pluginPath = pluginPathFor(options);
  if (!prepareSettingsFile(options.settingsDir, run.pluginPath, run.settingsFile, error))
    return fail(error, 2);
  // The plug-in reads its SIMD cap once, on first use: set it before loading.
  if (!options.simd.empty()) setEnvironment("OSTRANE_MARQUEL_SIMD", options.simd);
  if (!loadPlugin(run.pluginPath, run.plugin, error)) return fail(error, 1);

  FILE* report = run.outputs.reportStream();
  const PluginDescriptor& d = *run.plugin.descriptor;
  std::fprintf(report, "plug-in   %s (interface %d)\n", run.pluginPath.c_str(),
               static_cast<int>(run.plugin.version()));
  std::fprintf(report, "name      %s\n", descriptorText(d.name).c_str());
  std::fprintf(report, "about     %s\n", descriptorText(d.description).c_str());
  return 0;
}

// The callbacks and the clock, PluginInit and the video format.
void startPlugin(const HostOptions& options, Run& run) {
  run.schedule = options.channels;
  if (run.schedule.empty()) run.schedule.push_back(ChannelSlot{1, "\xCF\xE5\xF0\xE2\xFB\xE9", 0});
  resetCallbacks(options, run.schedule);
  run.channelRecords.assign(run.schedule.size(), ChannelInfo{});
  for (size_t i = 0; i < run.schedule.size(); ++i) {
    ChannelInfo& c = run.channelRecords[i];
    c.id = run.schedule[i].id;
    std::snprintf(c.name, sizeof c.name, "%s", run.schedule[i].name1251.c_str());
  }

  Plugin& plugin = run.plugin;
  run.clock = !options.realtime && plugin.setTickSource ? AnimationClock::VideoTime
                                                        : AnimationClock::WallClock;
  if (!options.realtime && !plugin.setTickSource)
    std::fprintf(stderr, "om_host: the plug-in has no tick source export; animation follows "
                         "the wall clock\n");
  if (plugin.setTickSource) plugin.setTickSource(tickSourceCallback(run.clock));

  HostInitInfo init{};
  init.hostValue = 0;
  init.channelExists = channelExistsCallback();
  plugin.descriptor->init(&init);

  VideoFormatInfo videoFormat{};
  videoFormat.width = run.format.width;
  videoFormat.height = run.format.height;
  videoFormat.formatExtra = 0;
  videoFormat.pixelFormat = run.format.code;
  videoFormat.cpuClass = options.cpuClass;
  plugin.descriptor->setFormat(&videoFormat);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Median time between two back-to-back clock readings: each frame's time
// holds one, which under Wine, whose clock is a system call away, is not
// small beside a frame without a logo.
double clockReadUs() {
  std::vector<double> gaps(1001);
  for (double& gap : gaps) {
    const double t0 = nowUs();
    gap = nowUs() - t0;
  }
  std::nth_element(gaps.begin(), gaps.begin() + 500, gaps.end());
  return gaps[500];
}

// Feeds frames until the input or the frame limit ends, or an output fails.
void playFrames(const HostOptions& options, Run& run, Tally& tally) {
  const StreamFormat& format = run.format;
  const PluginDescriptor& d = *run.plugin.descriptor;
  std::vector<uint8_t> frame(pluginFrameBytes(format.code, format.width, format.height));
  const bool bounded = run.frameLimit != INT64_MAX;
  if (bounded) tally.times.all.reserve(static_cast<size_t>(run.frameLimit));
  Progress progress(options.progress || isTerminal(stderr) ? Progress::Line::Shown
                                                           : Progress::Line::Hidden,
                    bounded ? run.frameLimit : 0);
  const auto runStart = std::chrono::steady_clock::now();
  const ChannelInfo* previousChannel = nullptr;
  size_t slot = 0;
  FrameInfo info{};
  for (int64_t index = 0; index < run.frameLimit; ++index) {
    std::string message;
    if (!run.source->next(frame.data(), message)) {
      progress.finish();
      if (!message.empty()) complain(message);
      break;
    }
    while (slot + 1 < run.schedule.size() && run.schedule[slot + 1].startFrame <= index) {
      ++slot;
      ++tally.switches;
    }
    if (options.checksum) tally.inSum.add(frame.data(), frame.size());

    const double wall = secondsSince(runStart);
    if (options.pace) {
      const double due = static_cast<double>(index) * format.fpsDen / format.fpsNum;
      if (due > wall) sleepMs(static_cast<unsigned>((due - wall) * 1000));
    }
    run.rewriter.update(wall);
    // Video time of this frame: index * 1000 / fps, wrapping like the OS tick.
    setVideoTimeMs(static_cast<uint32_t>(index * 1000 * format.fpsDen / format.fpsNum));
    info.pixels = frame.data();
    info.channel = &run.channelRecords[slot];
    startFrameTicks();
    const double t0 = nowUs();
    const int32_t processed = d.processFrame(&info);
    const double us = nowUs() - t0;
    // The first frame after the format switches too.
    tally.times.add(us, index == 0                          ? FrameKind::First
                        : info.channel != previousChannel ? FrameKind::Switching
                        : tickReadsThisFrame() >= 2     ? FrameKind::Stepping
                                                        : FrameKind::Plain);
    if (run.rewriter.justRewritten(wall)) tally.times.afterRewrite.push_back(us);
    previousChannel = info.channel;
    if (!processed) ++tally.skipped;
    ++tally.frames;

    if (options.checksum) tally.outSum.add(frame.data(), frame.size());
    if (!run.outputs.write(frame.data())) {
      progress.finish();
      tally.exitCode = fail("writing the output failed at frame " + std::to_string(index), 1);
      break;
    }
    if (!run.outputs.takePicture(index, frame.data(), message)) {
      progress.finish();
      tally.exitCode = fail(message, 1);
    }
    progress.update(tally.frames);
  }
  progress.finish();
}

// PluginStop and PluginShutdown, the outputs closed, what was written and
// the summary. Returns the exit code.
int finishRun(const HostOptions& options, Run& run, const Tally& tally) {
  // Before the shutdown lets the pictures go.
  const int64_t cacheBytes =
      run.plugin.pictureCacheBytes ? static_cast<int64_t>(run.plugin.pictureCacheBytes()) : -1;
  run.plugin.descriptor->stop();
  run.plugin.descriptor->shutdown();
  if (run.plugin.setTickSource) run.plugin.setTickSource(nullptr);

  int exitCode = tally.exitCode;
  if (!run.outputs.finish()) exitCode = 1;
  for (int64_t n : options.snapshots)
    if (n >= tally.frames) complain("frame " + std::to_string(n) + " was never reached");

  FILE* report = run.outputs.reportStream();
  for (const std::string& path : run.outputs.written())
    std::fprintf(report, "wrote     %s\n", path.c_str());
  if (options.checksum)
    std::fprintf(report, "checksum  out %016" PRIx64 " in %016" PRIx64 "\n", tally.outSum.value(),
                 tally.inSum.value());

  RunSummary summary;
  summary.format = run.format;
  summary.frames = tally.frames;
  summary.skipped = tally.skipped;
  summary.switches = tally.switches;
  summary.rewrote = !options.rewriteFile.empty();
  summary.cpuClass = options.cpuClass;
  summary.clock = run.clock;
  summary.clockReadUs = clockReadUs();
  summary.channelsAsked = channelsAsked();
  summary.settingsFile = run.settingsFile;
  summary.pictureCacheBytes = cacheBytes;
  printSummary(summary, tally.times);
  return exitCode;
}

}  // namespace

int runHost(const HostOptions& options) {
  Run run;
  if (const int code = openRun(options, run)) return code;
  if (options.info) return 0;
  startPlugin(options, run);
  Tally tally;
  playFrames(options, run, tally);
  return finishRun(options, run, tally);
}

}  // namespace omhost
