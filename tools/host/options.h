// The command line of om_host: one table of options drives both the parser
// and --help.
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
  std::vector<int64_t> snapshots;  // sorted, each once
  std::string snapshotDir;
  std::string contactSheet;
  bool checksum = false;
  bool progress = false;
  bool realtime = false;
  bool pace = false;  // frames at the frame rate in wall time
  // A file another program saves during the run, and when (seconds of wall
  // time from the first frame, sorted).
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
  bool window = false;        // Windows: the live window instead of a run
  std::string windowTestDir;  // with `window`: drive the dialog, screenshots here
  bool info = false;
  bool help = false;
};

// What a row of the option table is: a group's title, an option, or a
// paragraph printed after a group's options.
enum class OptionRowKind : uint8_t { Heading, Option, Note };

// Sets the options from the option's value ("" for a switch). On a bad
// value it returns false and says in `wants` what the option takes.
using ApplyOptionFn = bool (*)(HostOptions& options, const std::string& value, std::string& wants);

struct OptionRow {
  OptionRowKind kind;
  const char* name;       // "--input"; null for a heading or a note
  const char* shortName;  // "-i", or null
  const char* argument;   // "FILE|-" as --help shows it; null: a switch
  const char* help;       // lines as --help prints them, joined by '\n'
  ApplyOptionFn apply;
};

// The rows in --help's order.
struct OptionRows {
  const OptionRow* first;
  const OptionRow* last;  // one past the end
  const OptionRow* begin() const { return first; }
  const OptionRow* end() const { return last; }
};
OptionRows optionRows();

// Parses argv; on failure `error` says which option was wrong.
bool parseOptions(int argc, const char* const* argv, HostOptions& options, std::string& error);
// "1:First@0,2:Second@75": id:name@startFrame, names in UTF-8.
bool parseChannelSchedule(const std::string& text, std::vector<ChannelSlot>& slots,
                          std::string& error);
// --help: the option table between a few lines about om_host and examples.
std::string usageText();

}  // namespace omhost
