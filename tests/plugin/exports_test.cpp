// The plug-in as a host sees it: loaded by file name, driven only through
// its exports, including the calls a careless host makes out of order.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "plugin/host_api.h"

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

}  // namespace
