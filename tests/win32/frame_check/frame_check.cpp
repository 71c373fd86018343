// Runs a fixed sequence of frames through the plug-in, loaded by file name as
// a host loads it, and prints one checksum line per frame. The native and
// the Windows builds must print the same lines: same pictures, settings,
// clock and frames, so any difference is a difference in the plug-in.
//
//   om_frame_check [plug-in path]
//
// The pictures and the settings file are written beside the program, where
// the plug-in looks for its settings (the host folder's Plugins folder).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "plugin/host_api.h"
#include "test_pictures.h"

namespace {

#ifdef _WIN32
const char kSep = '\\';
std::string programFolder() {
  char path[MAX_PATH * 4] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string p = path;
  return p.substr(0, p.rfind('\\') + 1);
}
void makeFolder(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }
// The build passes a Unix path; under Wine the Z: drive maps the Unix root.
std::string defaultPluginPath() {
  std::string p = OM_PLUGIN_PATH;
  if (!p.empty() && p[0] == '/') p = "Z:" + p;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}
struct Library {
  HMODULE module = nullptr;
  bool open(const std::string& path) { return (module = LoadLibraryA(path.c_str())) != nullptr; }
  void* symbol(const char* name) { return reinterpret_cast<void*>(GetProcAddress(module, name)); }
  ~Library() {
    if (module) FreeLibrary(module);
  }
};
#else
const char kSep = '/';
std::string programFolder() {
  char path[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string p(path, n > 0 ? static_cast<size_t>(n) : 0);
  return p.substr(0, p.rfind('/') + 1);
}
void makeFolder(const std::string& path) { mkdir(path.c_str(), 0777); }
std::string defaultPluginPath() { return OM_PLUGIN_PATH; }
struct Library {
  void* handle = nullptr;
  bool open(const std::string& path) { return (handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) != nullptr; }
  void* symbol(const char* name) { return dlsym(handle, name); }
  ~Library() {
    if (handle) dlclose(handle);
  }
};
#endif

uint32_t g_now = 5000;
constexpr int kChannels = 5;
uint32_t TULVANE_CDECL clockNow() { return g_now; }
int32_t TULVANE_CDECL keepChannel(int64_t id) { return id != 0; }

std::string hex64(uint64_t v) {
  static const char digits[] = "0123456789abcdef";
  std::string s(16, '0');
  for (int i = 15; i >= 0; --i, v >>= 4) s[static_cast<size_t>(i)] = digits[v & 15];
  return s;
}

uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
  return h;
}

bool writeSetup(const std::string& folder) {
  using namespace om::testpic;
  const std::string pictures = folder + "pictures" + kSep;
  makeFolder(folder + "pictures");
  makeFolder(folder + "Plugins");
  if (!writeFile(pictures + "logo.bmp", makeBmp(40, 30, checkerLogo(40, 30))) ||
      !writeFile(pictures + "logo.png", makePng(40, 30, holedLogo(40, 30))) ||
      !writeFile(pictures + "logo.gif", makeGif(24, 18, gifPalette(), gifFrames(24, 18))))
    return false;
  // Every dispose and blend op with partial alpha, a frame per video frame.
  std::vector<ApngFrame> frames = apngTestFrames(40, 30, true);
  for (ApngFrame& f : frames) f.delayNum = 1, f.delayDen = 25;
  if (!writeFile(pictures + "anim.png", makeApng(40, 30, frames))) return false;
  struct Channel {
    const char* picture;
    const char* keys;
  };
  // Full opacity, partial opacity with a colour key, an animation, a logo
  // pushed against the frame's edge with a chosen key colour, and an
  // animated PNG.
  const Channel channels[kChannels] = {
      {"logo.bmp", "LogoPosX=100\r\nLogoPosY=80\r\nLogoSizeX=300\r\nLogoSizeY=250\r\nLogoOpacity=100\r\n"},
      {"logo.png",
       "LogoPosX=500\r\nLogoPosY=400\r\nLogoSizeX=333\r\nLogoSizeY=417\r\nLogoOpacity=70\r\n"
       "ColorKeyEnable=1\r\nLeftTopPixelColor=1\r\n"},
      {"logo.gif", "LogoPosX=20\r\nLogoPosY=30\r\nLogoSizeX=250\r\nLogoSizeY=280\r\nLogoOpacity=85\r\n"},
      {"logo.bmp",
       "LogoPosX=900\r\nLogoPosY=-50\r\nLogoSizeX=300\r\nLogoSizeY=200\r\nLogoOpacity=45\r\n"
       "ColorKeyEnable=1\r\nLeftTopPixelColor=0\r\nColorKey=14155840\r\n"},
      {"anim.png", "LogoPosX=300\r\nLogoPosY=100\r\nLogoSizeX=400\r\nLogoSizeY=450\r\nLogoOpacity=90\r\n"},
  };
  std::string ini = "[COMMON]\r\nPrivateSettings=1\r\n";
  for (int i = 0; i < kChannels; ++i)
    ini += "[" + std::to_string(i + 1) + "]\r\nLogoFileName=" + pictures + channels[i].picture + "\r\n" +
           channels[i].keys;
  return writeFile(folder + "Plugins" + kSep + "Ostrane_Marquel.ini", Bytes(ini.begin(), ini.end()));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string pluginPath = argc > 1 ? argv[1] : defaultPluginPath();
  const std::string folder = programFolder();
  if (!writeSetup(folder)) {
    std::fprintf(stderr, "cannot write pictures and settings in %s\n", folder.c_str());
    return 2;
  }
  Library library;
  if (!library.open(pluginPath)) {
    std::fprintf(stderr, "cannot load %s\n", pluginPath.c_str());
    return 2;
  }
  auto pr = reinterpret_cast<TulvanePluginPRFn>(library.symbol("Tulvane_Plugin_PR"));
  auto setTick = reinterpret_cast<TulvanePluginSetTickSourceFn>(library.symbol("Tulvane_Plugin_SetTickSource"));
  if (!pr || !setTick) {
    std::fprintf(stderr, "exports missing in %s\n", pluginPath.c_str());
    return 2;
  }
  setTick(clockNow);
  PluginDescriptor* d = pr();
  HostInitInfo init{0, keepChannel};
  d->init(&init);

  struct Format {
    int32_t code, width, height;
  };
  const Format formats[4] = {{0, 320, 240}, {1, 320, 240}, {0, 178, 100}, {1, 177, 101}};
  int frames = 0, stamped = 0;
  for (const Format& f : formats) {
    VideoFormatInfo format{f.width, f.height, 0, f.code, 0};
    d->setFormat(&format);
    const size_t bytes = static_cast<size_t>(f.width) * f.height * (f.code == 0 ? 2 : 3);
    std::vector<uint8_t> frame(bytes);
    for (int channelId = 1; channelId <= kChannels; ++channelId) {
      ChannelInfo channel{};
      channel.id = channelId;
      std::snprintf(channel.name, sizeof channel.name, "channel %d", channelId);
      FrameInfo info{};
      info.pixels = frame.data();
      info.channel = &channel;
      for (int n = 0; n < 8; ++n) {
        for (size_t i = 0; i < bytes; ++i)
          frame[i] = static_cast<uint8_t>(i * 31 + (i / 97) * 5 + static_cast<size_t>(n) * 11);
        const uint64_t before = fnv1a(frame);
        const int32_t result = d->processFrame(&info);
        const uint64_t after = fnv1a(frame);
        ++frames;
        if (after != before) ++stamped;
        std::printf("layout=%d size=%dx%d channel=%d frame=%d result=%d hash=%s\n", f.code, f.width, f.height,
                    channelId, n, result, hex64(after).c_str());
        g_now += 40;
      }
    }
  }
  d->shutdown();
  std::printf("frames=%d stamped=%d\n", frames, stamped);
  return 0;
}
