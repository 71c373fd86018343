// The plug-in as a host sees it: loaded by file name, driven only through
// its exports, including the calls a careless host makes out of order.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "plugin/host_api.h"
#include "tests/support/bmp_file.h"

namespace {

class LoadedPlugin {
 public:
  LoadedPlugin() {
    handle_ = dlopen(OM_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!handle_) return;
    version = reinterpret_cast<TulvanePluginVersionFn>(dlsym(handle_, "Tulvane_Plugin_Version"));
    pr = reinterpret_cast<TulvanePluginPRFn>(dlsym(handle_, "Tulvane_Plugin_PR"));
    setTick = reinterpret_cast<TulvanePluginSetTickSourceFn>(
        dlsym(handle_, "Tulvane_Plugin_SetTickSource"));
  }
  ~LoadedPlugin() {
    if (handle_) dlclose(handle_);
  }
  bool ok() const { return handle_ && version && pr && setTick; }
  void* handle() const { return handle_; }

  TulvanePluginVersionFn version = nullptr;
  TulvanePluginPRFn pr = nullptr;
  TulvanePluginSetTickSourceFn setTick = nullptr;

 private:
  void* handle_ = nullptr;
};

TEST(Exports, VersionAndDescriptor) {
  LoadedPlugin plugin;
  ASSERT_TRUE(plugin.ok()) << dlerror();
  EXPECT_EQ(plugin.version(), 3);
  PluginDescriptor* d = plugin.pr();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d, plugin.pr()) << "the same descriptor on every call";
  EXPECT_STREQ(d->name, "\xCB\xEE\xE3\xEE\xF2\xE8\xEF");
  EXPECT_STREQ(d->description,
               "\xD3\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE0 \xF1\xEE\xE1\xF1\xF2\xE2\xE5\xED\xED\xEE"
               "\xE3\xEE \xEB\xEE\xE3\xEE\xF2\xE8\xEF\xE0");
  EXPECT_TRUE(d->init && d->setFormat && d->processFrame && d->stop && d->configure &&
              d->shutdown);
}

TEST(Exports, OnlyTheThreeEntryPointsAreVisible) {
  LoadedPlugin plugin;
  ASSERT_TRUE(plugin.ok());
  EXPECT_EQ(dlsym(plugin.handle(), "_ZN2om11pluginStateEv"), nullptr);
  EXPECT_EQ(dlsym(plugin.handle(), "PluginProcessFrame"), nullptr);
}

// The Windows DLL has the same checks in tests/win32/dll_host_test.cpp, loaded
// the Windows way: the set-up of a frame reads alike on purpose.
TEST(Exports, CallsBeforeInitAreHarmless) {
  LoadedPlugin plugin;
  ASSERT_TRUE(plugin.ok());
  PluginDescriptor* d = plugin.pr();
  std::vector<uint8_t> frame(16 * 16 * 2, 0x42);
  const std::vector<uint8_t> before = frame;
  ChannelInfo channel{};
  channel.id = 4;
  FrameInfo info{};
  info.pixels = frame.data();
  info.channel = &channel;
  VideoFormatInfo format{16, 16, 0, 0, 0};
  EXPECT_EQ(d->setFormat(&format), 1);
  EXPECT_EQ(d->processFrame(&info), 0) << "a frame before PluginInit is skipped";
  EXPECT_EQ(frame, before);
  ConfigureInfo configure{nullptr};
  d->configure(&configure);
  d->stop();
  d->shutdown();
}

TEST(Exports, SkipRules) {
  LoadedPlugin plugin;
  ASSERT_TRUE(plugin.ok());
  PluginDescriptor* d = plugin.pr();
  HostInitInfo init{0, nullptr};
  // Keep the test away from any real settings folder.
  setenv("XDG_CONFIG_HOME", "/nonexistent-om-test", 1);
  setenv("TULVANE_STORE_IN_USERS_FOLDER", "1", 1);
  d->init(&init);
  d->init(&init);  // a second PluginInit changes nothing
  VideoFormatInfo format{16, 16, 0, 0, 0};
  d->setFormat(&format);
  std::vector<uint8_t> frame(16 * 16 * 2, 0x42);
  ChannelInfo channel{};
  channel.id = 4;
  FrameInfo info{};
  info.channel = &channel;
  EXPECT_EQ(d->processFrame(&info), 0) << "null pixels";
  EXPECT_EQ(d->processFrame(nullptr), 0);
  info.pixels = frame.data();
  info.channel = nullptr;
  EXPECT_EQ(d->processFrame(&info), 0) << "null channel";
  info.channel = &channel;
  EXPECT_EQ(d->processFrame(&info), 1);
  format.cpuClass = 2;
  d->setFormat(&format);
  EXPECT_EQ(d->processFrame(&info), 0) << "no SSE: passed through";
  format.cpuClass = 3;
  format.pixelFormat = 7;
  d->setFormat(&format);
  const std::vector<uint8_t> before = frame;
  EXPECT_EQ(d->processFrame(&info), 1);
  EXPECT_EQ(frame, before) << "unknown layout: untouched";
  d->shutdown();
}

// A host with its settings in a folder of its own, showing one channel
// whose logo fills the middle of a small BGR24 frame.
class FollowingHost {
 public:
  explicit FollowingHost(const std::string& picture, const std::string& moreKeys = "") {
    dir_ = std::filesystem::temp_directory_path() / ("om-follow-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_ / "Tulvane" / "Plugins");
    std::ofstream(dir_ / "Tulvane" / "Plugins" / "Ostrane_Marquel.ini")
        << "[COMMON]\nLogoFileName=" << picture
        << "\nLogoPosX=250\nLogoPosY=250\nLogoSizeX=500\nLogoSizeY=500\nLogoOpacity=100\n"
        << moreKeys;
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    setenv("TULVANE_STORE_IN_USERS_FOLDER", "1", 1);
  }
  ~FollowingHost() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string settings() const {
    std::ifstream in(dir_ / "Tulvane" / "Plugins" / "Ostrane_Marquel.ini");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::filesystem::path dir_;
};

// PluginInit and a 40x40 bottom-up BGR format.
PluginDescriptor* startOn40x40Bgr(LoadedPlugin& plugin) {
  PluginDescriptor* d = plugin.pr();
  HostInitInfo init{0, nullptr};
  d->init(&init);
  VideoFormatInfo format{40, 40, 0, 1, 0};
  d->setFormat(&format);
  return d;
}

// The colour a frame shows in the logo's middle, 0x00RRGGBB, each channel
// taken as on (0xFF) or off: the scaler's rounding leaves solid colours a
// little short of full.
uint32_t middleOf(PluginDescriptor* d, ChannelInfo& channel) {
  std::vector<uint8_t> frame(40 * 40 * 3, 0);
  FrameInfo info{};
  info.pixels = frame.data();
  info.channel = &channel;
  d->processFrame(&info);
  const uint8_t* p = &frame[(20 * 40 + 20) * 3];
  auto on = [](uint8_t v) { return v >= 128 ? 0xFFu : 0u; };
  return (on(p[2]) << 16) | (on(p[1]) << 8) | on(p[0]);
}

// The picture follows its file: rewritten in place at its size, at another
// size, deleted and replaced, cut short, then unreadable and made readable
// again. Every frame shows the old picture or the new one, never none; a new
// one shows within 3 s of the write; the cut file keeps the picture and its
// name.
TEST(Exports, PictureFollowsItsFile) {
  const std::string picture =
      (std::filesystem::temp_directory_path() / ("om-follow-" + std::to_string(getpid()) + ".bmp")).string();
  auto write = [&](int w, int h, uint32_t colour) {
    ASSERT_TRUE(om::test::writeBmp24(picture, w, h, [=](int, int) { return colour; }));
  };
  write(40, 30, 0xFF0000);
  FollowingHost host(picture);
  LoadedPlugin plugin;
  ASSERT_TRUE(plugin.ok());
  PluginDescriptor* d = startOn40x40Bgr(plugin);
  ChannelInfo channel{};
  channel.id = 1;
  ASSERT_EQ(middleOf(d, channel), 0xFF0000u);

  using Clock = std::chrono::steady_clock;
  uint32_t shown = 0xFF0000;
  // Frames every 20 ms until `colour` shows (or 5 s pass), each the old or the new.
  auto waitFor = [&](uint32_t colour) {
    const auto written = Clock::now();
    while (Clock::now() - written < std::chrono::seconds(5)) {
      const uint32_t now = middleOf(d, channel);
      if (now == colour) return std::chrono::duration<double>(Clock::now() - written).count();
      EXPECT_EQ(now, shown) << "a frame showed neither the old picture nor the new one";
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 99.0;
  };
  write(40, 30, 0x00FF00);
  EXPECT_LT(waitFor(0x00FF00), 3.0) << "rewritten at the same size";
  shown = 0x00FF00;
  write(64, 20, 0x0000FF);
  EXPECT_LT(waitFor(0x0000FF), 3.0) << "rewritten at another size";
  shown = 0x0000FF;
  std::remove(picture.c_str());
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // gone for a while
  write(40, 30, 0xFFFF00);
  EXPECT_LT(waitFor(0xFFFF00), 3.0) << "deleted and replaced";
  shown = 0xFFFF00;
  std::ofstream(picture, std::ios::binary | std::ios::trunc) << "BM\x36\x10";  // cut short
  EXPECT_EQ(waitFor(0xFFFFFE), 99.0) << "the cut file never replaces the picture";
  // A file that could not be read, then made readable with its size and last
  // write as they were (a permission change; the test may run as root, so an
  // unreadable file is stood for by one whose first bytes fail to decode).
  write(40, 30, 0x00FFFF);
  struct stat written {};
  ASSERT_EQ(stat(picture.c_str(), &written), 0);
  const struct timespec times[2] = {written.st_atim, written.st_mtim};
  auto putMagic = [&](const char* magic) {
    std::fstream(picture, std::ios::binary | std::ios::in | std::ios::out).write(magic, 2);
    ASSERT_EQ(utimensat(AT_FDCWD, picture.c_str(), times, 0), 0);
  };
  putMagic("XX");
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // tried, and failed
  putMagic("BM");
  EXPECT_LT(waitFor(0x00FFFF), 3.0) << "made readable again";
  d->shutdown();
  EXPECT_NE(host.settings().find("LogoFileName=" + picture + "\n"), std::string::npos)
      << "the name survives";
  std::remove(picture.c_str());
}

// A second layer over the first: drawn over it, following its own file,
// saved back after its record with the line the user wrote in it.
TEST(Exports, LayerDrawsOverTheFirstAndFollowsItsOwnFile) {
  const auto tmp = std::filesystem::temp_directory_path();
  const std::string first = (tmp / ("om-layer1-" + std::to_string(getpid()) + ".bmp")).string();
  const std::string third = (tmp / ("om-layer3-" + std::to_string(getpid()) + ".bmp")).string();
  auto write = [](const std::string& path, uint32_t colour) {
    ASSERT_TRUE(om::test::writeBmp24(path, 40, 30, [=](int, int) { return colour; }));
  };
  write(first, 0xFF0000);
  write(third, 0x00FF00);
  FollowingHost host(first, "[COMMON.3]\nLogoFileName=" + third +
                                "\nLogoPosX=250\nLogoPosY=250\nLogoSizeX=500\nLogoSizeY=500\n"
                                "LogoOpacity=100\n; mine\n");
  LoadedPlugin plugin;
  ASSERT_TRUE(plugin.ok());
  PluginDescriptor* d = startOn40x40Bgr(plugin);
  ChannelInfo channel{};
  channel.id = 1;
  EXPECT_EQ(middleOf(d, channel), 0x00FF00u) << "layer 3 over layer 1";
  write(third, 0x0000FF);
  const auto written = std::chrono::steady_clock::now();
  while (middleOf(d, channel) != 0x0000FFu &&
         std::chrono::steady_clock::now() - written < std::chrono::seconds(5))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(middleOf(d, channel), 0x0000FFu) << "layer 3 follows its file";
  d->shutdown();
  const std::string saved = host.settings();
  const size_t layer = saved.find("[COMMON.3]\nLogoFileName=" + third + "\n");
  EXPECT_NE(layer, std::string::npos);
  EXPECT_NE(saved.find("ColorKey=0\n; mine\n", layer), std::string::npos);
  std::remove(first.c_str());
  std::remove(third.c_str());
}

// A channel's own logo, a bright square on a flat frame, under a cover of
// the frame's middle: erased to the frame around it exactly, blurred or
// made blocks, nothing outside the rectangle touched; with a picture whose
// left half is keyed out, only its right half covers. Both layouts.
TEST(Exports, CoversHideWhatIsUnderThem) {
  const std::string picture =
      (std::filesystem::temp_directory_path() / ("om-cover-" + std::to_string(getpid()) + ".bmp")).string();
  ASSERT_TRUE(om::test::writeBmp24(picture, 20, 20, [](int x, int) { return x < 10 ? 0u : 0xFFFFFFu; }));
  for (const int32_t code : {0, 1})
    for (const int mode : {1, 2, 3})
      for (const bool masked : {false, true}) {
        SCOPED_TRACE("layout " + std::to_string(code) + ", mode " + std::to_string(mode) +
                     (masked ? ", masked" : ""));
        FollowingHost host(masked ? picture : "",
                           "ColorKeyEnable=1\nCoverMode=" + std::to_string(mode) + "\nCoverStrength=4\n");
        LoadedPlugin plugin;
        ASSERT_TRUE(plugin.ok());
        PluginDescriptor* d = plugin.pr();
        HostInitInfo init{0, nullptr};
        d->init(&init);
        VideoFormatInfo format{40, 40, 0, code, 3};
        d->setFormat(&format);
        const int bytes = code == 0 ? 2 : 3;
        std::vector<uint8_t> frame(40 * 40 * bytes, 100);
        auto sample = [&](int x, int y, int i) -> uint8_t& {
          return frame[static_cast<size_t>((code == 0 ? y : 39 - y) * 40 + x) * bytes + i];
        };
        for (int y = 16; y < 24; ++y)
          for (int x = 16; x < 24; ++x)
            for (int i = 0; i < bytes; ++i) sample(x, y, i) = 250;
        const std::vector<uint8_t> before = frame;
        ChannelInfo channel{};
        channel.id = 1;
        FrameInfo info{};
        info.pixels = frame.data();
        info.channel = &channel;
        ASSERT_EQ(d->processFrame(&info), 1);
        d->shutdown();
        EXPECT_NE(host.settings().find("CoverMode=" + std::to_string(mode) + "\nCoverStrength=4\n"),
                  std::string::npos);

        for (int y = 0; y < 40; ++y)
          for (int x = 0; x < 40; ++x) {
            const bool inside = x >= 10 && x < 30 && y >= 10 && y < 30;
            const bool covered = inside && (!masked || x >= 20);
            for (int i = 0; i < bytes; ++i) {
              const uint8_t was = before[static_cast<size_t>(&sample(x, y, i) - frame.data())];
              if (!covered) {
                // The picture's keyed half is its mask's edge: the scaler may soften one column.
                if (!(masked && inside && x == 19)) {
                  EXPECT_EQ(sample(x, y, i), was) << x << "," << y;
                }
              } else if (mode == 1) {
                EXPECT_EQ(sample(x, y, i), 100) << x << "," << y;
              }
            }
          }
        if (!masked && mode == 2) {  // the square's middle no longer stands out
          const uint8_t middle = sample(20, 20, 0);
          EXPECT_TRUE(middle > 100 && middle < 250) << int{middle};
        }
      }
  std::remove(picture.c_str());
}

// Zapping through four channels at every frame, 100 frames a second, while
// the plug-in's thread decodes their pictures ahead: every frame shows its
// own channel's picture. And PluginShutdown right after PluginInit, while
// that thread is still decoding, again and again (the sanitizer builds
// watch for races and leaks).
TEST(Exports, ZappingWhileThePicturesAreDecodedAhead) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("om-zap-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
  std::string sections = "PrivateSettings=1\n";
  for (int i = 0; i < 4; ++i) {
    const std::string picture = (dir / (std::to_string(i) + ".bmp")).string();
    ASSERT_TRUE(om::test::writeBmp24(picture, 1200, 900, [&](int, int) { return colours[i]; }));
    sections += "[" + std::to_string(i + 1) + "]\nLogoFileName=" + picture +
                "\nLogoPosX=250\nLogoPosY=250\nLogoSizeX=500\nLogoSizeY=500\nLogoOpacity=100\n";
  }
  FollowingHost host("", sections);
  LoadedPlugin plugin;
  ASSERT_TRUE(plugin.ok());
  for (int round = 0; round < 5; ++round) {
    PluginDescriptor* d = startOn40x40Bgr(plugin);
    ChannelInfo channel{};
    channel.id = 1;
    EXPECT_EQ(middleOf(d, channel), colours[0]);
    d->shutdown();  // the thread has just begun decoding the others
  }
  PluginDescriptor* d = startOn40x40Bgr(plugin);
  for (int frame = 0; frame < 150; ++frame) {
    ChannelInfo channel{};
    channel.id = frame % 4 + 1;
    ASSERT_EQ(middleOf(d, channel), colours[frame % 4]) << "frame " << frame;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  d->shutdown();
  std::filesystem::remove_all(dir);
}

// A host that unloads the plug-in without PluginShutdown: the follower's
// thread keeps the module loaded, so no running code is unmapped.
TEST(Exports, UnloadWithoutShutdownKeepsTheModule) {
  FollowingHost host("");
  {
    LoadedPlugin plugin;
    ASSERT_TRUE(plugin.ok());
    HostInitInfo init{0, nullptr};
    plugin.pr()->init(&init);
  }
  void* still = dlopen(OM_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
  EXPECT_NE(still, nullptr) << "unloaded while its thread runs";
  if (still) dlclose(still);
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // a poll or so, no crash
}

}  // namespace
