#include "tools/host/options.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "common/cp1251.h"

namespace omhost {
namespace {

bool parseInt64(const std::string& text, int64_t& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || !end || *end != '\0') return false;
  value = v;
  return true;
}

bool parseInt64List(const std::string& text, std::vector<int64_t>& values) {
  values.clear();
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t comma = text.find(',', pos);
    if (comma == std::string::npos) comma = text.size();
    int64_t v;
    if (!parseInt64(text.substr(pos, comma - pos), v)) return false;
    values.push_back(v);
    pos = comma + 1;
  }
  return !values.empty();
}

bool parseSize(const std::string& text, int& width, int& height) {
  const size_t x = text.find_first_of("xX");
  int64_t w, h;
  if (x == std::string::npos || !parseInt64(text.substr(0, x), w) ||
      !parseInt64(text.substr(x + 1), h))
    return false;
  if (w <= 0 || h <= 0 || w > kY4mMaxDimension || h > kY4mMaxDimension) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

// "25", "30000/1001", "29.97" (decimals become a fraction over 1000).
bool parseRate(const std::string& text, int& num, int& den) {
  int64_t n, d = 1;
  const size_t slash = text.find('/');
  const size_t dot = text.find('.');
  if (slash != std::string::npos) {
    if (!parseInt64(text.substr(0, slash), n) || !parseInt64(text.substr(slash + 1), d))
      return false;
  } else if (dot != std::string::npos) {
    int64_t whole, frac;
    std::string f = text.substr(dot + 1);
    if (f.empty() || f.size() > 3 || !parseInt64(text.substr(0, dot), whole) ||
        !parseInt64(f, frac) || frac < 0)
      return false;
    while (f.size() < 3) f += '0', frac *= 10;
    n = whole * 1000 + frac;
    d = 1000;
  } else if (!parseInt64(text, n)) {
    return false;
  }
  if (n <= 0 || d <= 0 || n > 1000000 || d > 1000000 || n / d > 1000) return false;
  num = static_cast<int>(n);
  den = static_cast<int>(d);
  return true;
}


// "FILE@2,5.5": a file and the seconds of wall time to save it at, sorted.
bool parseRewrite(const std::string& text, std::string& file, std::vector<double>& seconds) {
  const size_t at = text.rfind('@');
  file = at == std::string::npos ? std::string() : text.substr(0, at);
  seconds.clear();
  for (size_t start = at + 1; at != std::string::npos && start <= text.size();) {
    const size_t comma = std::min(text.find(',', start), text.size());
    char* end = nullptr;
    const std::string item = text.substr(start, comma - start);
    const double s = std::strtod(item.c_str(), &end);
    if (item.empty() || *end || !(s >= 0)) break;
    seconds.push_back(s);
    start = comma + 1;
  }
  std::sort(seconds.begin(), seconds.end());
  return !file.empty() && !seconds.empty();
}

// Frame numbers, sorted, each once.
bool parseFrameList(const std::string& text, std::vector<int64_t>& frames) {
  if (!parseInt64List(text, frames) ||
      std::any_of(frames.begin(), frames.end(), [](int64_t n) { return n < 0; }))
    return false;
  std::sort(frames.begin(), frames.end());
  frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
  return true;
}

template <std::string HostOptions::*field>
bool setText(HostOptions& o, const std::string& value, std::string&) {
  o.*field = value;
  return true;
}

template <bool HostOptions::*field>
bool setSwitch(HostOptions& o, const std::string&, std::string&) {
  o.*field = true;
  return true;
}

constexpr OptionRow heading(const char* title) {
  return {OptionRowKind::Heading, nullptr, nullptr, nullptr, title, nullptr};
}
constexpr OptionRow note(const char* text) {
  return {OptionRowKind::Note, nullptr, nullptr, nullptr, text, nullptr};
}
constexpr OptionRowKind kOption = OptionRowKind::Option;

// The one description of every option: --help prints the rows in order, the
// parser looks names up in them and lets the row set the options.
const OptionRow kOptionRows[] = {
    heading("Input (default: a moving test picture, 720x576 packed 4:2:2, 25 fps, 150 frames)"),
    {kOption, "--input", "-i", "FILE|-",
     "raw frames or a Y4M stream (Y4M is recognised by its\n"
     "header; 4:2:0, 4:2:2, 4:4:4 and mono are converted\n"
     "to packed 4:2:2 on the way in); \"-\" reads stdin",
     [](HostOptions& o, const std::string& v, std::string&) {
       o.input.path = v;
       return true;
     }},
    {kOption, "--size", nullptr, "WxH", "frame size of raw input (or of the test picture)",
     [](HostOptions& o, const std::string& v, std::string& wants) {
       wants = "WxH, e.g. 1280x720";
       if (!parseSize(v, o.input.width, o.input.height)) return false;
       o.input.haveSize = true;
       return true;
     }},
    {kOption, "--layout", nullptr, "L",
     "byte layout of raw frames in and out:\n"
     "  yuyv             packed 4:2:2 Y0 Cb Y1 Cr (plug-in code 0)\n"
     "  bgr24-bottom-up  B G R, bottom row first (plug-in code 1)\n"
     "  bgr24, rgb24     top row first; converted to code 1\n"
     "With the test picture or Y4M input it picks the\n"
     "plug-in's layout (default yuyv).",
     [](HostOptions& o, const std::string& v, std::string& wants) {
       wants = "yuyv, bgr24-bottom-up, bgr24 or rgb24";
       return parseRawLayout(v.c_str(), o.input.layout);
     }},
    {kOption, "--fps", nullptr, "RATE", "25, 29.97 or 30000/1001 (default: the input's, else 25)",
     [](HostOptions& o, const std::string& v, std::string& wants) {
       wants = "a rate such as 25, 29.97 or 30000/1001";
       if (!parseRate(v, o.input.fpsNum, o.input.fpsDen)) return false;
       o.input.fpsForced = true;
       return true;
     }},
    {kOption, "--tv-range", nullptr, nullptr,
     "the video's YCbCr is TV range (luma 16-235, chroma\n"
     "16-240): the test picture is drawn so, raw and\n"
     "untagged Y4M input is read so; a Y4M input's\n"
     "XCOLORRANGE tag says it for itself. Pictures and\n"
     "24-bit layouts are converted by the range.",
     [](HostOptions& o, const std::string&, std::string&) {
       o.input.range = ColorRange::Tv;
       return true;
     }},
    {kOption, "--frames", "-n", "N", "stop after N frames",
     [](HostOptions& o, const std::string& v, std::string& wants) {
       wants = "a count >= 0";
       return parseInt64(v, o.frames) && o.frames >= 0;
     }},

    heading("Output"),
    {kOption, "--output", "-o", "FILE|-", "raw frames in the --layout",
     setText<&HostOptions::rawOutput>},
    {kOption, "--y4m", nullptr, "FILE|-", "a Y4M stream, 4:2:2 planar (C422)",
     setText<&HostOptions::y4mOutput>},
    {kOption, "--snapshot", nullptr, "N[,N...]", "save these frames as PNG (frame_NNNNNN.png)",
     [](HostOptions& o, const std::string& v, std::string& wants) {
       wants = "frame numbers like 10,40,70";
       return parseFrameList(v, o.snapshots);
     }},
    {kOption, "--snapshot-dir", nullptr, "DIR", "where the snapshots go (default: current folder)",
     setText<&HostOptions::snapshotDir>},
    {kOption, "--contact-sheet", nullptr, "FILE",
     "one PNG with the snapshots side by side (without\n"
     "--snapshot: six frames spread over the run)",
     setText<&HostOptions::contactSheet>},
    {kOption, "--checksum", nullptr, nullptr,
     "print a 64-bit FNV-1a checksum of the frames as the\n"
     "plug-in got them (in) and left them (out)",
     setSwitch<&HostOptions::checksum>},
    {kOption, "--progress", nullptr, nullptr,
     "a progress line on stderr (default: only on a terminal)", setSwitch<&HostOptions::progress>},
    note("A summary (frames; median, p99 and maximum time inside the plug-in, for all\n"
         "frames and apart for frames that switched channel, stepped the animation or\n"
         "neither; SIMD level; the settings file the plug-in used) goes to stderr;\n"
         "other reports go to stdout unless video goes there."),

    heading("Plug-in and host"),
    {kOption, "--plugin", nullptr, "PATH",
     "the plug-in module (default: the one built with om_host)",
     setText<&HostOptions::pluginPath>},
    {kOption, "--info", nullptr, nullptr, "print the plug-in's name and description, then stop",
     setSwitch<&HostOptions::info>},
    {kOption, "--help", "-h", nullptr, "print this text, then stop", setSwitch<&HostOptions::help>},
    {kOption, "--simd", nullptr, "L", "cap the plug-in's kernels: scalar, sse2 or avx2",
     [](HostOptions& o, const std::string& v, std::string& wants) {
       wants = "scalar, sse2 or avx2";
       o.simd = v;
       return v == "scalar" || v == "sse2" || v == "avx2";
     }},
    {kOption, "--cpu-class", nullptr, "N",
     "processor code to announce (1 or 2: no SSE, the\n"
     "plug-in passes frames through untouched; default 0)",
     [](HostOptions& o, const std::string& v, std::string& wants) {
       wants = "an integer";
       int64_t c = 0;
       if (!parseInt64(v, c) || c < INT32_MIN || c > INT32_MAX) return false;
       o.cpuClass = static_cast<int32_t>(c);
       return true;
     }},
    {kOption, "--settings-dir", nullptr, "DIR",
     "keep the plug-in's settings under DIR: the file is\n"
     "DIR/Tulvane/Plugins/Ostrane_Marquel.ini. Not on\n"
     "Windows, where the plug-in finds its folder itself\n"
     "(Plugins\\ beside om_host.exe); the summary names it",
     setText<&HostOptions::settingsDir>},
    {kOption, "--channels", nullptr, "LIST",
     "channel schedule, id:name@frame entries, e.g.\n"
     "\"1:First@0,2:Second@75\" (default \"1:Первый@0\")",
     [](HostOptions& o, const std::string& v, std::string& wants) {
       if (parseChannelSchedule(v, o.channels, wants)) return true;
       wants = "id:name@frame entries; " + wants;
       return false;
     }},
    {kOption, "--existing-channels", nullptr, "L",
     "ids the host still knows when the plug-in saves its\n"
     "settings, e.g. 1,5 or none (default: every channel;\n"
     "id 0 only when the schedule uses it)",
     [](HostOptions& o, const std::string& v, std::string& wants) {
       wants = "ids like 1,2,5 or 'none'";
       o.everyChannelExists = false;
       o.existingChannels.clear();
       return v == "none" || parseInt64List(v, o.existingChannels);
     }},
    {kOption, "--realtime", nullptr, nullptr,
     "animate logos on the wall clock instead of video time",
     setSwitch<&HostOptions::realtime>},
    {kOption, "--pace", nullptr, nullptr, "play frames at the frame rate in wall time",
     setSwitch<&HostOptions::pace>},
    {kOption, "--rewrite", nullptr, "FILE@S[,S]",
     "at these seconds of wall time into the run, save FILE\n"
     "again as a program would (a copy renamed over it):\n"
     "the plug-in's file follower reloads it; the summary\n"
     "then gives the frames of the 3 s after each apart",
     [](HostOptions& o, const std::string& v, std::string& wants) {
       wants = "FILE@SECONDS[,SECONDS...]";
       return parseRewrite(v, o.rewriteFile, o.rewriteAt);
     }},
#ifdef _WIN32
    {kOption, "--window", nullptr, nullptr,
     "a live window as the TV viewer has: the test picture\n"
     "at 25 fps through the plug-in, its settings dialog on\n"
     "F2 (of the other options only --plugin applies)",
     setSwitch<&HostOptions::window>},
    {kOption, "--window-test", nullptr, "DIR",
     "--window, then edit the logo from the dialog, check\n"
     "that the frames followed, and save a screenshot in DIR",
     [](HostOptions& o, const std::string& v, std::string&) {
       o.window = true;
       o.windowTestDir = v;
       return true;
     }},
#endif

    heading("Demo"),
    {kOption, "--demo", nullptr, "OUTDIR",
     "write a four-channel settings file (channel 4 in two\n"
     "layers), run 200 frames of the test picture in TV\n"
     "range switching channel at frames 50, 100 and 150,\n"
     "and write OUTDIR/demo.y4m, snapshots and a contact sheet",
     setText<&HostOptions::demoDir>},
    {kOption, "--samples", nullptr, "DIR", "where the demo finds its logo pictures",
     setText<&HostOptions::samplesDir>},
};

constexpr char kUsageIntro[] =
    R"(om_host - drives the logo plug-in the way the TV viewer does, on real video.

It loads the plug-in only through its exports, announces a video format,
feeds it frames with a channel for each, and writes what comes back.

Usage: om_host [options]
)";

constexpr char kUsageExamples[] = R"(
Examples
  om_host --info
  om_host --demo out/
  om_host --frames 250 --y4m out.y4m --checksum
  om_host --input clip.y4m --settings-dir cfg --snapshot 0,100 --snapshot-dir shots
  ffmpeg -i in.mp4 -f rawvideo -pix_fmt yuyv422 - |
    om_host --input - --size 1280x720 --settings-dir cfg --output - |
    ffmpeg -f rawvideo -pix_fmt yuyv422 -s 1280x720 -r 25 -i - out.mp4
)";

// Option names and arguments take this many columns; the help text follows.
constexpr size_t kNameColumns = 21;

void appendOptionHelp(std::string& text, const OptionRow& row) {
  std::string left = row.name;
  if (row.shortName) left = left + ", " + row.shortName;
  if (row.argument) left = left + " " + row.argument;
  const std::string indent(kNameColumns + 3, ' ');
  text += "  " + left;
  // A name too wide for its column puts its text on the next line.
  text += left.size() <= kNameColumns ? std::string(kNameColumns + 1 - left.size(), ' ')
                                      : "\n" + indent;
  for (const char* c = row.help; *c; ++c) {
    text += *c;
    if (*c == '\n') text += indent;
  }
  text += '\n';
}

const OptionRow* findOption(const std::string& arg) {
  for (const OptionRow& row : optionRows()) {
    if (row.kind == OptionRowKind::Option &&
        (arg == row.name || (row.shortName && arg == row.shortName)))
      return &row;
  }
  return nullptr;
}

}  // namespace

OptionRows optionRows() { return {std::begin(kOptionRows), std::end(kOptionRows)}; }

bool parseOptions(int argc, const char* const* argv, HostOptions& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const OptionRow* row = findOption(arg);
    if (!row) {
      error = "unknown option '" + arg + "' (see --help)";
      return false;
    }
    std::string value;
    if (row->argument) {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    std::string wants;
    if (!row->apply(o, value, wants)) {
      error = std::string(row->name) + " wants " + wants + " (got '" + value + "')";
      return false;
    }
  }
  return true;
}

std::string usageText() {
  std::string text = kUsageIntro;
  for (const OptionRow& row : optionRows()) {
    switch (row.kind) {
      case OptionRowKind::Heading: text = text + "\n" + row.help + "\n"; break;
      case OptionRowKind::Note: text = text + row.help + "\n"; break;
      case OptionRowKind::Option: appendOptionHelp(text, row); break;
    }
  }
  return text + kUsageExamples;
}

bool parseChannelSchedule(const std::string& text, std::vector<ChannelSlot>& slots,
                          std::string& error) {
  slots.clear();
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t comma = text.find(',', pos);
    if (comma == std::string::npos) comma = text.size();
    const std::string entry = text.substr(pos, comma - pos);
    pos = comma + 1;
    ChannelSlot slot;
    const size_t colon = entry.find(':');
    const size_t at = entry.rfind('@');
    const std::string idText = entry.substr(0, std::min(colon, at));
    if (!parseInt64(idText, slot.id)) {
      error = "channel entry '" + entry + "' does not start with a numeric id";
      return false;
    }
    std::string name;
    if (colon != std::string::npos && (at == std::string::npos || colon < at))
      name = entry.substr(colon + 1, (at == std::string::npos ? entry.size() : at) - colon - 1);
    if (at != std::string::npos) {
      if (!parseInt64(entry.substr(at + 1), slot.startFrame) || slot.startFrame < 0) {
        error = "channel entry '" + entry + "' has a bad start frame after '@'";
        return false;
      }
    } else if (!slots.empty()) {
      error = "channel entry '" + entry + "' needs '@frame' (only the first may omit it)";
      return false;
    }
    slot.name1251 = om::utf8ToCp1251(name);
    // The record holds the name inline with its NUL.
    if (slot.name1251.size() >= 256) slot.name1251.resize(255);
    if (!slots.empty() && slot.startFrame <= slots.back().startFrame) {
      error = "channel start frames must increase ('" + entry + "')";
      return false;
    }
    slots.push_back(slot);
  }
  if (slots.empty() || slots.front().startFrame != 0) {
    error = "the first channel must start at frame 0";
    return false;
  }
  return true;
}
}  // namespace omhost
