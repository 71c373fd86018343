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

#include "common/cpu.h"
#include "plugin/host_api.h"
#include "tools/host/contact_sheet.h"
#include "common/cp1251.h"
#include "tools/host/host_platform.h"
#include "tools/host/png_writer.h"

namespace omhost {
namespace {

namespace fs = std::filesystem;

// What the plug-in's callbacks read; the host drives one plug-in at a time.
struct CallbackState {
  bool everyChannelExists = true;
  std::vector<int64_t> existing;
  bool zeroIsScheduled = false;
  std::vector<int64_t> asked;
  uint32_t videoTimeMs = 0;
  uint32_t tickReads = 0;
};
CallbackState g_callbacks;

int32_t TULVANE_CDECL hostChannelExists(int64_t id) {
  try {
    g_callbacks.asked.push_back(id);
  } catch (...) {
    // Only the report loses an entry; the answer stays right.
  }
  // Id 0 is the plug-in's "no channel" mark, not a channel the host shows,
  // unless the schedule really uses it; saying yes would make the plug-in
  // keep its common record a second time, as a channel section "0".
  if (g_callbacks.everyChannelExists) return (id != 0 || g_callbacks.zeroIsScheduled) ? 1 : 0;
  return std::find(g_callbacks.existing.begin(), g_callbacks.existing.end(), id) !=
                 g_callbacks.existing.end()
             ? 1
             : 0;
}

// The plug-in reads the tick once per frame of an animated logo and once
// more when it steps the animation: counting the reads tells a stepping
// frame from a plain one, from outside.
uint32_t TULVANE_CDECL hostVideoTick() {
  ++g_callbacks.tickReads;
  return g_callbacks.videoTimeMs;
}
uint32_t TULVANE_CDECL hostWallTick() {
  ++g_callbacks.tickReads;
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}


// A plug-in's text, bounded so a missing NUL cannot run us off its memory.
std::string descriptorText(const char* text) {
  if (!text) return "(none)";
  size_t n = 0;
  while (n < 1024 && text[n]) ++n;
  return om::cp1251ToUtf8(std::string_view(text, n));
}

std::string defaultPluginPath() {
#ifdef OM_HOST_DEFAULT_PLUGIN
  // The module built with this host, while the build tree is where it was.
  std::error_code ec;
  if (fs::is_regular_file(OM_HOST_DEFAULT_PLUGIN, ec)) return OM_HOST_DEFAULT_PLUGIN;
#endif
  return executableFolder() + "Ostrane_Marquel" + moduleSuffix();
}

struct Plugin {
  PluginLibrary library;
  TulvanePluginVersionFn version = nullptr;
  TulvanePluginPRFn descriptorFn = nullptr;
  TulvanePluginSetTickSourceFn setTickSource = nullptr;
  PluginDescriptor* descriptor = nullptr;
};

bool loadPlugin(const std::string& path, Plugin& plugin, std::string& error) {
  if (!plugin.library.open(path, error)) return false;
  plugin.version =
      reinterpret_cast<TulvanePluginVersionFn>(plugin.library.symbol("Tulvane_Plugin_Version"));
  plugin.descriptorFn =
      reinterpret_cast<TulvanePluginPRFn>(plugin.library.symbol("Tulvane_Plugin_PR"));
  plugin.setTickSource = reinterpret_cast<TulvanePluginSetTickSourceFn>(
      plugin.library.symbol("Tulvane_Plugin_SetTickSource"));
  if (!plugin.version || !plugin.descriptorFn) {
    error = path + " lacks the exports Tulvane_Plugin_Version / Tulvane_Plugin_PR";
    return false;
  }
  const int32_t version = plugin.version();
  if (version != TULVANE_PLUGIN_INTERFACE_VERSION) {
    error = path + " speaks interface " + std::to_string(version) + ", this host " +
            std::to_string(TULVANE_PLUGIN_INTERFACE_VERSION);
    return false;
  }
  plugin.descriptor = plugin.descriptorFn();
  const PluginDescriptor* d = plugin.descriptor;
  if (!d || !d->init || !d->setFormat || !d->processFrame || !d->stop || !d->configure ||
      !d->shutdown) {
    error = path + " returned an incomplete descriptor";
    return false;
  }
  return true;
}

// Nearest-rank percentile of sorted samples.
double percentile(const std::vector<double>& sorted, double p) {
  if (sorted.empty()) return 0.0;
  size_t rank = static_cast<size_t>(p * static_cast<double>(sorted.size()) + 0.999999);
  if (rank < 1) rank = 1;
  if (rank > sorted.size()) rank = sorted.size();
  return sorted[rank - 1];
}

// Median, p99 and maximum of one kind of frame, in microseconds.
void printTimes(const char* label, std::vector<double> times) {
  if (times.empty()) {
    std::fprintf(stderr, "  %-13s none\n", label);
    return;
  }
  std::sort(times.begin(), times.end());
  std::fprintf(stderr, "  %-13s %zu frames: median %.1f us, p99 %.1f us, max %.1f us\n", label,
               times.size(), percentile(times, 0.5), percentile(times, 0.99), times.back());
}

bool prepareSettingsDir(const std::string& dir, std::string& iniPath, std::string& error) {
  std::error_code ec;
  const fs::path root = fs::absolute(fs::path(dir), ec);
  if (ec) {
    error = "cannot resolve --settings-dir " + dir;
    return false;
  }
  // The plug-in creates only the last folder level (Plugins) itself.
  fs::create_directories(root / "Tulvane", ec);
  if (ec) {
    error = "cannot create " + (root / "Tulvane").string();
    return false;
  }
  if (!setEnvironment("XDG_CONFIG_HOME", root.string()) ||
      !setEnvironment("TULVANE_STORE_IN_USERS_FOLDER", "1")) {
    error = "cannot set the settings environment";
    return false;
  }
  iniPath = (root / "Tulvane" / "Plugins" / "Ostrane_Marquel.ini").string();
  return true;
}

class Progress {
 public:
  explicit Progress(bool enabled, int64_t total) : enabled_(enabled), total_(total) {}
  void update(int64_t done, bool last) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!last && shown_ && now - lastShown_ < std::chrono::milliseconds(250)) return;
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
  void finish() {
    if (shown_) std::fputc('\n', stderr);
    shown_ = false;
  }

 private:
  bool enabled_;
  int64_t total_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastShown_;
};

}  // namespace

int runHost(const HostOptions& options) {
  const bool pictures = !options.snapshots.empty() || !options.contactSheet.empty();
  if (pictures && !pngSupported()) {
    std::string error;
    writePngRgb("", nullptr, 0, 0, error);
    std::fprintf(stderr, "om_host: %s\n", error.c_str());
    return 2;
  }

  // Open the video first: a wrong option should not cost a settings save.
  std::string error;
  std::unique_ptr<FrameSource> source;
  if (!options.info) {
    source = openSource(options.input, error);
    if (!source) {
      std::fprintf(stderr, "om_host: %s\n", error.c_str());
      return 2;
    }
  }
  const StreamFormat format = source ? source->format() : StreamFormat{};
  int64_t frameLimit = options.frames;
  if (frameLimit < 0) frameLimit = options.input.path.empty() ? 150 : INT64_MAX;

  std::vector<int64_t> sheetFrames = options.snapshots;
  if (!options.contactSheet.empty() && sheetFrames.empty()) {
    if (frameLimit == INT64_MAX) {
      std::fprintf(stderr, "om_host: --contact-sheet on a stream needs --snapshot or --frames\n");
      return 2;
    }
    for (int k = 0; k < 6 && frameLimit > 0; ++k) sheetFrames.push_back(k * (frameLimit - 1) / 5);
    sheetFrames.erase(std::unique(sheetFrames.begin(), sheetFrames.end()), sheetFrames.end());
  }

  std::vector<std::unique_ptr<FrameSink>> sinks;
  bool videoOnStdout = false;
  if (!options.rawOutput.empty()) {
    sinks.push_back(openRawSink(options.rawOutput, options.input.layout, format, error));
    if (!sinks.back()) {
      std::fprintf(stderr, "om_host: %s\n", error.c_str());
      return 2;
    }
    videoOnStdout = options.rawOutput == "-";
  }
  if (!options.y4mOutput.empty()) {
    if (videoOnStdout && options.y4mOutput == "-") {
      std::fprintf(stderr, "om_host: --output and --y4m cannot both go to stdout\n");
      return 2;
    }
    sinks.push_back(openY4mSink(options.y4mOutput, format, error));
    if (!sinks.back()) {
      std::fprintf(stderr, "om_host: %s\n", error.c_str());
      return 2;
    }
    videoOnStdout |= options.y4mOutput == "-";
  }
  FILE* report = videoOnStdout ? stderr : stdout;

  std::string iniPath;
  if (!options.settingsDir.empty() && !prepareSettingsDir(options.settingsDir, iniPath, error)) {
    std::fprintf(stderr, "om_host: %s\n", error.c_str());
    return 2;
  }
  // The plug-in reads its SIMD cap once, on first use: set it before loading.
  if (!options.simd.empty()) setEnvironment("OSTRANE_MARQUEL_SIMD", options.simd);

  const std::string pluginPath = options.pluginPath.empty() ? defaultPluginPath()
                                                            : options.pluginPath;
  Plugin plugin;
  if (!loadPlugin(pluginPath, plugin, error)) {
    std::fprintf(stderr, "om_host: %s\n", error.c_str());
    return 1;
  }
  std::fprintf(report, "plug-in   %s (interface %d)\n", pluginPath.c_str(),
               static_cast<int>(plugin.version()));
  std::fprintf(report, "name      %s\n", descriptorText(plugin.descriptor->name).c_str());
  std::fprintf(report, "about     %s\n", descriptorText(plugin.descriptor->description).c_str());
  if (options.info) return 0;

  const PluginDescriptor& d = *plugin.descriptor;
  g_callbacks = CallbackState();
  g_callbacks.everyChannelExists = options.everyChannelExists;
  g_callbacks.existing = options.existingChannels;

  std::vector<ChannelSlot> schedule = options.channels;
  if (schedule.empty()) schedule.push_back(ChannelSlot{1, "\xCF\xE5\xF0\xE2\xFB\xE9", 0});
  for (const ChannelSlot& c : schedule) g_callbacks.zeroIsScheduled |= c.id == 0;
  // One host record per scheduled channel, filled once; frames point at them.
  std::vector<ChannelInfo> channelRecords(schedule.size());
  for (size_t i = 0; i < schedule.size(); ++i) {
    ChannelInfo& c = channelRecords[i];
    c = ChannelInfo{};
    c.id = schedule[i].id;
    std::snprintf(c.name, sizeof c.name, "%s", schedule[i].name1251.c_str());
  }

  const bool videoClock = !options.realtime && plugin.setTickSource;
  if (!options.realtime && !plugin.setTickSource)
    std::fprintf(stderr, "om_host: the plug-in has no tick source export; animation follows "
                         "the wall clock\n");
  if (plugin.setTickSource) plugin.setTickSource(videoClock ? &hostVideoTick : &hostWallTick);

  HostInitInfo init{};
  init.hostValue = 0;
  init.channelExists = &hostChannelExists;
  d.init(&init);

  VideoFormatInfo videoFormat{};
  videoFormat.width = format.width;
  videoFormat.height = format.height;
  videoFormat.formatExtra = 0;
  videoFormat.pixelFormat = format.code;
  videoFormat.cpuClass = options.cpuClass;
  d.setFormat(&videoFormat);

  const size_t frameBytes = pluginFrameBytes(format.code, format.width, format.height);
  std::vector<uint8_t> frame(frameBytes);
  std::vector<uint8_t> rgb;
  if (!sheetFrames.empty()) rgb.resize(static_cast<size_t>(format.width) * format.height * 3);
  std::unique_ptr<ContactSheet> sheet;
  if (!options.contactSheet.empty())
    sheet.reset(new ContactSheet(format.width, format.height, static_cast<int>(sheetFrames.size())));
  std::string snapshotDir = options.snapshotDir.empty() ? "." : options.snapshotDir;
  if (!options.snapshots.empty()) {
    std::error_code ec;
    fs::create_directories(snapshotDir, ec);
  }

  std::vector<double> timesUs, switchUs, stepUs, plainUs, afterRewriteUs;
  // The file to save again, read once; where the rewrites stand.
  std::string rewriteBytes;
  size_t nextRewrite = 0;
  double lastRewrite = -1e9;
  if (!options.rewriteFile.empty()) {
    std::ifstream in(options.rewriteFile, std::ios::binary);
    rewriteBytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (rewriteBytes.empty()) {
      std::fprintf(stderr, "om_host: cannot read %s to rewrite it\n", options.rewriteFile.c_str());
      return 1;
    }
  }
  const auto runStart = std::chrono::steady_clock::now();
  if (frameLimit != INT64_MAX) timesUs.reserve(static_cast<size_t>(frameLimit));
  const ChannelInfo* previousChannel = nullptr;
  Fnv1a64 inSum, outSum;
  int64_t frames = 0, skipped = 0, switches = 0;
  size_t slot = 0;
  int exitCode = 0;
  std::vector<std::string> written;
  Progress progress(options.progress || isTerminal(stderr),
                    frameLimit == INT64_MAX ? 0 : frameLimit);

  FrameInfo info{};
  for (int64_t index = 0; index < frameLimit; ++index) {
    std::string warning;
    if (!source->next(frame.data(), warning)) {
      if (!warning.empty()) {
        progress.finish();
        std::fprintf(stderr, "om_host: %s\n", warning.c_str());
      }
      break;
    }
    while (slot + 1 < schedule.size() && schedule[slot + 1].startFrame <= index) {
      ++slot;
      ++switches;
    }
    if (options.checksum) inSum.add(frame.data(), frame.size());

    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - runStart).count();
    if (options.pace) {
      const double due = static_cast<double>(index) * format.fpsDen / format.fpsNum;
      if (due > wall) sleepMs(static_cast<unsigned>((due - wall) * 1000));
    }
    if (nextRewrite < options.rewriteAt.size() && wall >= options.rewriteAt[nextRewrite]) {
      // A copy renamed over the file: what an editor's save looks like.
      const std::string copy = options.rewriteFile + ".om_host";
      std::ofstream(copy, std::ios::binary | std::ios::trunc) << rewriteBytes;
      std::error_code ec;
      fs::rename(copy, options.rewriteFile, ec);
      lastRewrite = wall;
      ++nextRewrite;
    }
    // Video time of this frame: index * 1000 / fps, wrapping like the OS tick.
    g_callbacks.videoTimeMs = static_cast<uint32_t>(
        index * 1000 * format.fpsDen / format.fpsNum);
    info.pixels = frame.data();
    info.channel = &channelRecords[slot];
    g_callbacks.tickReads = 0;
    const auto t0 = std::chrono::steady_clock::now();
    const int32_t processed = d.processFrame(&info);
    const auto t1 = std::chrono::steady_clock::now();
    const double us = std::chrono::duration<double, std::micro>(t1 - t0).count();
    timesUs.push_back(us);
    // The first frame after the format switches too.
    if (info.channel != previousChannel) switchUs.push_back(us);
    else if (g_callbacks.tickReads >= 2) stepUs.push_back(us);
    else plainUs.push_back(us);
    if (wall - lastRewrite < 3.0) afterRewriteUs.push_back(us);
    previousChannel = info.channel;
    if (!processed) ++skipped;
    ++frames;

    if (options.checksum) outSum.add(frame.data(), frame.size());
    bool sinkFailed = false;
    for (auto& sink : sinks) sinkFailed |= !sink->write(frame.data());
    if (sinkFailed) {
      progress.finish();
      std::fprintf(stderr, "om_host: writing the output failed at frame %lld\n",
                   static_cast<long long>(index));
      exitCode = 1;
      break;
    }

    const auto wanted = std::lower_bound(sheetFrames.begin(), sheetFrames.end(), index);
    if (wanted != sheetFrames.end() && *wanted == index) {
      pluginBufferToRgb(format.code, frame.data(), format.width, format.height, rgb.data(),
                        format.range);
      if (sheet) sheet->place(static_cast<int>(wanted - sheetFrames.begin()), index, rgb.data());
      if (std::binary_search(options.snapshots.begin(), options.snapshots.end(), index)) {
        char name[64];
        std::snprintf(name, sizeof name, "frame_%06lld.png", static_cast<long long>(index));
        const std::string path = (fs::path(snapshotDir) / name).string();
        if (writePngRgb(path, rgb.data(), format.width, format.height, error)) {
          written.push_back(path);
        } else {
          progress.finish();
          std::fprintf(stderr, "om_host: %s\n", error.c_str());
          exitCode = 1;
        }
      }
    }
    progress.update(frames, index + 1 == frameLimit);
  }
  progress.finish();

  d.stop();
  d.shutdown();
  if (plugin.setTickSource) plugin.setTickSource(nullptr);

  for (auto& sink : sinks) {
    if (!sink->close()) {
      std::fprintf(stderr, "om_host: finishing the output failed\n");
      exitCode = 1;
    }
  }
  if (sheet) {
    if (writePngRgb(options.contactSheet, sheet->pixels(), sheet->width(), sheet->height(),
                    error)) {
      written.push_back(options.contactSheet);
    } else {
      std::fprintf(stderr, "om_host: %s\n", error.c_str());
      exitCode = 1;
    }
  }
  for (int64_t n : options.snapshots)
    if (n >= frames) std::fprintf(stderr, "om_host: frame %lld was never reached\n",
                                  static_cast<long long>(n));

  for (const std::string& path : written) std::fprintf(report, "wrote     %s\n", path.c_str());
  if (options.checksum)
    std::fprintf(report, "checksum  out %016" PRIx64 " in %016" PRIx64 "\n", outSum.value(),
                 inSum.value());

  std::vector<double> sorted = timesUs;
  std::sort(sorted.begin(), sorted.end());
  const bool passThrough = options.cpuClass == 1 || options.cpuClass == 2;
  std::fprintf(stderr, "summary\n");
  std::fprintf(stderr, "  frames        %lld (%dx%d, plug-in layout %d, %d/%d fps%s)\n",
               static_cast<long long>(frames), format.width, format.height,
               static_cast<int>(format.code), format.fpsNum, format.fpsDen,
               format.range == ColorRange::Tv ? ", TV range" : "");
  std::fprintf(stderr, "  skipped       %lld by the plug-in; %lld channel switches\n",
               static_cast<long long>(skipped), static_cast<long long>(switches));
  std::fprintf(stderr, "  process time  median %.1f us, p99 %.1f us, max %.1f us per frame\n",
               percentile(sorted, 0.5), percentile(sorted, 0.99), sorted.empty() ? 0.0 : sorted.back());
  printTimes("  switching", switchUs);
  printTimes("  stepping", stepUs);
  printTimes("  plain", plainUs);
  if (!options.rewriteFile.empty()) printTimes("  rewritten", afterRewriteUs);
  std::fprintf(stderr, "  simd          %s%s\n", om::simdLevelName(om::activeSimdLevel()),
               passThrough ? " (cpu class without SSE: frames pass through)" : "");
  std::fprintf(stderr, "  clock         %s\n", videoClock ? "video time" : "wall clock");
  std::string asked;
  for (int64_t id : g_callbacks.asked) asked += " " + std::to_string(id);
  std::fprintf(stderr, "  channelExists asked about:%s\n", asked.empty() ? " none" : asked.c_str());
  if (!iniPath.empty()) std::fprintf(stderr, "  settings      %s\n", iniPath.c_str());
  return exitCode;
}

}  // namespace omhost
