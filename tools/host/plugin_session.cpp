#include "tools/host/plugin_session.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "common/cp1251.h"
#include "platform/location.h"
#include "settings/settings_location.h"

namespace omhost {
namespace {

namespace fs = std::filesystem;

// What the plug-in's callbacks read.
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

std::string defaultPluginPath() {
#ifdef OM_HOST_DEFAULT_PLUGIN
  // The module built with this host, while the build tree is where it was.
  std::error_code ec;
  if (fs::is_regular_file(OM_HOST_DEFAULT_PLUGIN, ec)) return OM_HOST_DEFAULT_PLUGIN;
#endif
  return executableFolder() + "Ostrane_Marquel" + moduleSuffix();
}

// The plug-in names its file after its module: the file name without its
// folder and its last extension.
std::string moduleBaseName(const std::string& modulePath) {
  std::string name = fs::path(modulePath).filename().string();
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

#ifndef _WIN32
// The POSIX plug-in keeps its settings in the user's folder, under
// $XDG_CONFIG_HOME, when TULVANE_STORE_IN_USERS_FOLDER says so.
bool pointSettingsAt(const std::string& dir, std::string& error) {
  std::error_code ec;
  fs::path root = fs::absolute(fs::path(dir), ec).lexically_normal();
  if (ec) {
    error = "cannot resolve --settings-dir " + dir;
    return false;
  }
  // The plug-in adds its own separator.
  if (!root.has_filename() && root.has_relative_path()) root = root.parent_path();
  if (!setEnvironment("XDG_CONFIG_HOME", root.string()) ||
      !setEnvironment("TULVANE_STORE_IN_USERS_FOLDER", "1")) {
    error = "cannot set the settings environment";
    return false;
  }
  return true;
}
#endif

}  // namespace

std::string pluginPathFor(const HostOptions& options) {
  return options.pluginPath.empty() ? defaultPluginPath() : options.pluginPath;
}

bool loadPlugin(const std::string& path, Plugin& plugin, std::string& error) {
  if (!plugin.library.open(path, error)) return false;
  plugin.version =
      reinterpret_cast<TulvanePluginVersionFn>(plugin.library.symbol("Tulvane_Plugin_Version"));
  plugin.descriptorFn =
      reinterpret_cast<TulvanePluginPRFn>(plugin.library.symbol("Tulvane_Plugin_PR"));
  plugin.setTickSource = reinterpret_cast<TulvanePluginSetTickSourceFn>(
      plugin.library.symbol("Tulvane_Plugin_SetTickSource"));
  plugin.pictureCacheBytes = reinterpret_cast<TulvanePluginPictureCacheBytesFn>(
      plugin.library.symbol("Tulvane_Plugin_PictureCacheBytes"));
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

std::string descriptorText(const char* text) {
  if (!text) return "(none)";
  size_t n = 0;
  while (n < 1024 && text[n]) ++n;
  return om::cp1251ToUtf8(std::string_view(text, n));
}

bool prepareSettingsFile(const std::string& settingsDir, const std::string& pluginPath,
                         std::string& settingsFile, std::string& error) {
#ifndef _WIN32
  if (!settingsDir.empty() && !pointSettingsAt(settingsDir, error)) return false;
#endif
  // Where the plug-in's own code puts the file, from this process's inputs:
  // the same folder, command line and environment it will read.
  om::platform::LocationInputs inputs = om::platform::readLocationInputs();
  inputs.moduleBaseName = moduleBaseName(pluginPath);
  const om::SettingsLocation location =
      om::computeSettingsLocation(inputs, om::platform::pathSeparator());
  settingsFile = location.path;
#ifdef _WIN32
  if (!settingsDir.empty()) {
    error = "--settings-dir does not work on Windows: the plug-in there takes its folder from "
            "the host's own folder and the registry, so it would use " +
            (settingsFile.empty() ? std::string("no file") : settingsFile) +
            "; run a copy of om_host.exe from the folder whose Plugins\\ should hold the settings";
    return false;
  }
#endif
  if (location.folder.empty()) return true;
  // The plug-in makes only the last level (Plugins); a host makes the
  // folders above it, its user and instance folders.
  std::error_code ec;
  const fs::path above = fs::path(location.folder).parent_path().parent_path();
  fs::create_directories(above, ec);
  if (ec && !settingsDir.empty()) {
    error = "cannot create " + above.string();
    return false;
  }
  return true;
}

void resetCallbacks(const HostOptions& options, const std::vector<ChannelSlot>& schedule) {
  g_callbacks = CallbackState();
  g_callbacks.everyChannelExists = options.everyChannelExists;
  g_callbacks.existing = options.existingChannels;
  for (const ChannelSlot& c : schedule) g_callbacks.zeroIsScheduled |= c.id == 0;
}

ChannelExistsFn channelExistsCallback() { return &hostChannelExists; }

TickSourceFn tickSourceCallback(AnimationClock clock) {
  return clock == AnimationClock::VideoTime ? &hostVideoTick : &hostWallTick;
}

void setVideoTimeMs(uint32_t ms) { g_callbacks.videoTimeMs = ms; }

void startFrameTicks() { g_callbacks.tickReads = 0; }

uint32_t tickReadsThisFrame() { return g_callbacks.tickReads; }

const std::vector<int64_t>& channelsAsked() { return g_callbacks.asked; }

}  // namespace omhost
