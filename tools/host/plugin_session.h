// The plug-in as the host holds it: its module and exports, the callbacks
// it calls back through, and the settings file it keeps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/host_api.h"
#include "tools/host/host_platform.h"
#include "tools/host/options.h"

namespace omhost {

struct Plugin {
  PluginLibrary library;
  TulvanePluginVersionFn version = nullptr;
  TulvanePluginPRFn descriptorFn = nullptr;
  TulvanePluginSetTickSourceFn setTickSource = nullptr;  // null: an older plug-in
  TulvanePluginPictureCacheBytesFn pictureCacheBytes = nullptr;  // likewise
  PluginDescriptor* descriptor = nullptr;
};

// --plugin, else the module built with this host, else the one beside it.
std::string pluginPathFor(const HostOptions& options);
// Loads the module and checks its version and descriptor.
bool loadPlugin(const std::string& path, Plugin& plugin, std::string& error);
// A text of the plug-in's in UTF-8, bounded so a missing NUL cannot run us
// off its memory; "(none)" for null.
std::string descriptorText(const char* text);

// Makes --settings-dir take effect for the plug-in at `pluginPath` (empty:
// its own folder), creates the folders a host creates, and gives the
// settings file the plug-in will use in this process (empty: none). On
// Windows a folder of one's own is refused: the plug-in there reads no
// input a host could point at it.
bool prepareSettingsFile(const std::string& settingsDir, const std::string& pluginPath,
                         std::string& settingsFile, std::string& error);

// Which clock the plug-in's animation follows.
enum class AnimationClock : uint8_t { VideoTime, WallClock };

// The host's side of the callbacks, for one plug-in at a time.
// Answers channelExists as the options say, for this schedule.
void resetCallbacks(const HostOptions& options, const std::vector<ChannelSlot>& schedule);
ChannelExistsFn channelExistsCallback();
TickSourceFn tickSourceCallback(AnimationClock clock);
// The video time of the frame about to be processed.
void setVideoTimeMs(uint32_t ms);
// The plug-in reads the tick once per frame of an animated logo and once
// more when it steps the animation: the reads since startFrameTicks tell a
// stepping frame from a plain one, from outside.
void startFrameTicks();
uint32_t tickReadsThisFrame();
// The ids channelExists was asked about, in order.
const std::vector<int64_t>& channelsAsked();

}  // namespace omhost
