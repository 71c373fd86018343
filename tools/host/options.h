// The command line of om_host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/host/frame_io.h"

namespace omhost {

// One entry of the channel schedule: from frame `startFrame` on, frames
// carry this channel.
struct ChannelSlot {
  int64_t id = 0;
  std::string name1251;  // as the host hands it over, Windows-1251
  int64_t startFrame = 0;
};

struct HostOptions {
  std::string pluginPath;  // empty: the plug-in built beside om_host
  InputRequest input;
  std::string rawOutput;
  std::string y4mOutput;
  std::vector<int64_t> snapshots;
  std::string snapshotDir;
  std::string contactSheet;
  bool checksum = false;
  bool progress = false;
  bool realtime = false;
  bool pace = false;  // frames at the frame rate in wall time
  // A file another program saves during the run, and when (seconds of wall
  // time from the first frame).
  std::string rewriteFile;
  std::vector<double> rewriteAt;
  std::string simd;  // empty: whatever the processor has
  int32_t cpuClass = 0;
  std::string settingsDir;
  std::vector<ChannelSlot> channels;
  bool everyChannelExists = true;
  std::vector<int64_t> existingChannels;
  int64_t frames = -1;  // -1: all of a file, 150 of the test picture
  std::string demoDir;
  std::string samplesDir;
  bool info = false;
  bool help = false;
};

// Parses argv; on failure `error` says which option was wrong.
bool parseOptions(int argc, const char* const* argv, HostOptions& options, std::string& error);
// "1:First@0,2:Second@75": id:name@startFrame, names in UTF-8.
bool parseChannelSchedule(const std::string& text, std::vector<ChannelSlot>& slots,
                          std::string& error);
const char* usageText();

}  // namespace omhost
