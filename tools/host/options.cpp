#include "tools/host/options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

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

}  // namespace

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

bool parseOptions(int argc, const char* const* argv, HostOptions& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "-h" || arg == "--help") {
      o.help = true;
    } else if (arg == "--info") {
      o.info = true;
    } else if (arg == "--plugin") {
      if (!value(o.pluginPath)) return false;
    } else if (arg == "--input" || arg == "-i") {
      if (!value(o.input.path)) return false;
    } else if (arg == "--size") {
      if (!value(v)) return false;
      if (!parseSize(v, o.input.width, o.input.height)) {
        error = "--size wants WxH, e.g. 1280x720 (got '" + v + "')";
        return false;
      }
      o.input.haveSize = true;
    } else if (arg == "--layout") {
      if (!value(v)) return false;
      if (!parseRawLayout(v.c_str(), o.input.layout)) {
        error = "--layout wants yuyv, bgr24-bottom-up, bgr24 or rgb24 (got '" + v + "')";
        return false;
      }
    } else if (arg == "--fps") {
      if (!value(v)) return false;
      if (!parseRate(v, o.input.fpsNum, o.input.fpsDen)) {
        error = "--fps wants a rate such as 25, 29.97 or 30000/1001 (got '" + v + "')";
        return false;
      }
      o.input.fpsForced = true;
    } else if (arg == "--tv-range") {
      o.input.range = ColorRange::Tv;
    } else if (arg == "--frames" || arg == "-n") {
      if (!value(v)) return false;
      if (!parseInt64(v, o.frames) || o.frames < 0) {
        error = "--frames wants a count >= 0 (got '" + v + "')";
        return false;
      }
    } else if (arg == "--output" || arg == "-o") {
      if (!value(o.rawOutput)) return false;
    } else if (arg == "--y4m") {
      if (!value(o.y4mOutput)) return false;
    } else if (arg == "--snapshot") {
      if (!value(v)) return false;
      if (!parseInt64List(v, o.snapshots) ||
          std::any_of(o.snapshots.begin(), o.snapshots.end(), [](int64_t n) { return n < 0; })) {
        error = "--snapshot wants frame numbers like 10,40,70 (got '" + v + "')";
        return false;
      }
    } else if (arg == "--snapshot-dir") {
      if (!value(o.snapshotDir)) return false;
    } else if (arg == "--contact-sheet") {
      if (!value(o.contactSheet)) return false;
    } else if (arg == "--checksum") {
      o.checksum = true;
    } else if (arg == "--progress") {
      o.progress = true;
    } else if (arg == "--realtime") {
      o.realtime = true;
    } else if (arg == "--pace") {
      o.pace = true;
    } else if (arg == "--rewrite") {
      if (!value(v)) return false;
      const size_t at = v.rfind('@');
      o.rewriteFile = at == std::string::npos ? std::string() : v.substr(0, at);
      o.rewriteAt.clear();
      for (size_t start = at + 1; at != std::string::npos && start <= v.size();) {
        const size_t comma = std::min(v.find(',', start), v.size());
        char* end = nullptr;
        const std::string item = v.substr(start, comma - start);
        const double seconds = std::strtod(item.c_str(), &end);
        if (item.empty() || *end || !(seconds >= 0)) break;
        o.rewriteAt.push_back(seconds);
        start = comma + 1;
      }
      if (o.rewriteFile.empty() || o.rewriteAt.empty()) {
        error = "--rewrite wants FILE@SECONDS[,SECONDS...] (got '" + v + "')";
        return false;
      }
      std::sort(o.rewriteAt.begin(), o.rewriteAt.end());
    } else if (arg == "--simd") {
      if (!value(o.simd)) return false;
      if (o.simd != "scalar" && o.simd != "sse2" && o.simd != "avx2") {
        error = "--simd wants scalar, sse2 or avx2 (got '" + o.simd + "')";
        return false;
      }
    } else if (arg == "--cpu-class") {
      if (!value(v)) return false;
      int64_t c;
      if (!parseInt64(v, c) || c < INT32_MIN || c > INT32_MAX) {
        error = "--cpu-class wants an integer (got '" + v + "')";
        return false;
      }
      o.cpuClass = static_cast<int32_t>(c);
    } else if (arg == "--settings-dir") {
      if (!value(o.settingsDir)) return false;
    } else if (arg == "--channels") {
      if (!value(v)) return false;
      if (!parseChannelSchedule(v, o.channels, error)) return false;
    } else if (arg == "--existing-channels") {
      if (!value(v)) return false;
      o.everyChannelExists = false;
      if (v != "none" && !parseInt64List(v, o.existingChannels)) {
        error = "--existing-channels wants ids like 1,2,5 or 'none' (got '" + v + "')";
        return false;
      }
    } else if (arg == "--demo") {
      if (!value(o.demoDir)) return false;
    } else if (arg == "--samples") {
      if (!value(o.samplesDir)) return false;
    } else {
      error = "unknown option '" + arg + "' (see --help)";
      return false;
    }
  }
  std::sort(o.snapshots.begin(), o.snapshots.end());
  o.snapshots.erase(std::unique(o.snapshots.begin(), o.snapshots.end()), o.snapshots.end());
  return true;
}

const char* usageText() {
  return R"(om_host - drives the logo plug-in the way the TV viewer does, on real video.

It loads the plug-in only through its exports, announces a video format,
feeds it frames with a channel for each, and writes what comes back.

Usage: om_host [options]

Input (default: a moving test picture, 720x576 packed 4:2:2, 25 fps, 150 frames)
  --input FILE|-        raw frames or a Y4M stream (Y4M is recognised by its
                        header; 4:2:0, 4:2:2, 4:4:4 and mono are converted
                        to packed 4:2:2 on the way in); "-" reads stdin
  --size WxH            frame size of raw input (or of the test picture)
  --layout L            byte layout of raw frames in and out:
                          yuyv             packed 4:2:2 Y0 Cb Y1 Cr (plug-in code 0)
                          bgr24-bottom-up  B G R, bottom row first (plug-in code 1)
                          bgr24, rgb24     top row first; converted to code 1
                        With the test picture or Y4M input it picks the
                        plug-in's layout (default yuyv).
  --fps RATE            25, 29.97 or 30000/1001 (default: the input's, else 25)
  --tv-range            the video's YCbCr is TV range (luma 16-235, chroma
                        16-240): the test picture is drawn so, raw and
                        untagged Y4M input is read so; a Y4M input's
                        XCOLORRANGE tag says it for itself. Pictures and
                        24-bit layouts are converted by the range.
  --frames N            stop after N frames

Output
  --output FILE|-       raw frames in the --layout
  --y4m FILE|-          a Y4M stream, 4:2:2 planar (C422)
  --snapshot N[,N...]   save these frames as PNG (frame_NNNNNN.png)
  --snapshot-dir DIR    where the snapshots go (default: current folder)
  --contact-sheet FILE  one PNG with the snapshots side by side (without
                        --snapshot: six frames spread over the run)
  --checksum            print a 64-bit FNV-1a checksum of the frames as the
                        plug-in got them (in) and left them (out)
  --progress            a progress line on stderr (default: only on a terminal)
A summary (frames; median, p99 and maximum time inside the plug-in, for all
frames and apart for frames that switched channel, stepped the animation or
neither; SIMD level) goes to stderr; other reports go to stdout unless video
goes there.

Plug-in and host
  --plugin PATH         the plug-in module (default: the one built with om_host)
  --info                print the plug-in's name and description, then stop
  --simd L              cap the plug-in's kernels: scalar, sse2 or avx2
  --cpu-class N         processor code to announce (1 or 2: no SSE, the
                        plug-in passes frames through untouched; default 0)
  --settings-dir DIR    keep the plug-in's settings under DIR: the file is
                        DIR/Tulvane/Plugins/Ostrane_Marquel.ini
  --channels LIST       channel schedule, id:name@frame entries, e.g.
                        "1:First@0,2:Second@75" (default "1:Первый@0")
  --existing-channels L ids the host still knows when the plug-in saves its
                        settings, e.g. 1,5 or none (default: every channel;
                        id 0 only when the schedule uses it)
  --realtime            animate logos on the wall clock instead of video time
  --pace                play frames at the frame rate in wall time
  --rewrite FILE@S[,S]  at these seconds of wall time into the run, save FILE
                        again as a program would (a copy renamed over it):
                        the plug-in's file follower reloads it; the summary
                        then gives the frames of the 3 s after each apart

Demo
  --demo OUTDIR         write a three-channel settings file, run 150 frames of
                        the test picture in TV range switching channel at
                        frames 50 and 100, and write OUTDIR/demo.y4m,
                        snapshots and a contact sheet
  --samples DIR         where the demo finds its logo pictures

Examples
  om_host --info
  om_host --demo out/
  om_host --frames 250 --y4m out.y4m --checksum
  om_host --input clip.y4m --settings-dir cfg --snapshot 0,100 --snapshot-dir shots
  ffmpeg -i in.mp4 -f rawvideo -pix_fmt yuyv422 - |
    om_host --input - --size 1280x720 --settings-dir cfg --output - |
    ffmpeg -f rawvideo -pix_fmt yuyv422 -s 1280x720 -r 25 -i - out.mp4
)";
}

}  // namespace omhost
