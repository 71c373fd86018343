// The DLL as a host uses it: loaded by LoadLibrary, driven through its
// exports. Runs that depend on the host's folder, command line or registry
// start a copy of this program as the "host", in a folder of its own.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "frame_check/test_pictures.h"
#include "plugin/host_api.h"
#include "win32_test_support.h"

namespace om {
namespace {

using wintest::LoadedPlugin;
using wintest::TempFolder;

TEST(DllExports, VersionDescriptorAndNothingElse) {
  LoadedPlugin plugin;
  ASSERT_TRUE(plugin.ok()) << wintest::pluginDllPath() << " error " << GetLastError();
  EXPECT_EQ(plugin.version(), 3);
  PluginDescriptor* d = plugin.pr();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d, plugin.pr());
  EXPECT_STREQ(d->name, "\xCB\xEE\xE3\xEE\xF2\xE8\xEF");
  EXPECT_STREQ(d->description,
               "\xD3\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE0 \xF1\xEE\xE1\xF1\xF2\xE2\xE5\xED\xED\xEE"
               "\xE3\xEE \xEB\xEE\xE3\xEE\xF2\xE8\xEF\xE0");
  EXPECT_TRUE(d->init && d->setFormat && d->processFrame && d->stop && d->configure && d->shutdown);
  for (const char* hidden : {"PluginProcessFrame", "PluginInit", "DllMain", "_ZN2om11pluginStateEv"})
    EXPECT_EQ(GetProcAddress(plugin.module(), hidden), nullptr) << hidden;
}

// Dialogs and icons are looked up in the plug-in's module, so they must be
// in the DLL, with the Russian texts converted from Windows-1251.
TEST(DllExports, ResourcesAreInThePlugInModule) {
  LoadedPlugin plugin;
  ASSERT_TRUE(plugin.ok());
  const struct {
    int id;
    LPCSTR type;
  } expected[] = {{5000, RT_DIALOG}, {5002, RT_DIALOG}, {5015, RT_GROUP_ICON},
                  {5016, RT_GROUP_ICON}, {5004, RT_BITMAP}, {5011, RT_BITMAP}, {5012, RT_BITMAP}};
  for (const auto& r : expected)
    EXPECT_NE(FindResourceA(plugin.module(), MAKEINTRESOURCEA(r.id), r.type), nullptr) << r.id;
  const HRSRC dialog = FindResourceA(plugin.module(), MAKEINTRESOURCEA(5000), RT_DIALOG);
  ASSERT_NE(dialog, nullptr);
  const auto* bytes = static_cast<const char*>(LockResource(LoadResource(plugin.module(), dialog)));
  const std::wstring caption = L"Ostrane_Marquel \x043F\x043B\x0430\x0433\x0438\x043D";  // "плагин"
  const std::string needle(reinterpret_cast<const char*>(caption.c_str()), caption.size() * sizeof(wchar_t));
  EXPECT_NE(std::string(bytes, SizeofResource(plugin.module(), dialog)).find(needle), std::string::npos);
}

TEST(DllExports, SkippedFramesAreUntouched) {
  LoadedPlugin plugin;
  ASSERT_TRUE(plugin.ok());
  PluginDescriptor* d = plugin.pr();
  std::vector<uint8_t> frame(32 * 16 * 3, 0x5A);
  const std::vector<uint8_t> before = frame;
  ChannelInfo channel{};
  channel.id = 9;
  FrameInfo info{};
  info.channel = &channel;
  VideoFormatInfo format{32, 16, 0, 1, 2};  // cpuClass 2: no SSE
  EXPECT_EQ(d->setFormat(&format), 1);
  info.pixels = nullptr;
  EXPECT_EQ(d->processFrame(&info), 0);
  info.pixels = frame.data();
  EXPECT_EQ(d->processFrame(&info), 0);
  d->stop();
  EXPECT_EQ(frame, before);
}

// ---- the host child ----

// What the child writes for its parent, one line per channel.
struct ChildReport {
  std::vector<std::string> lines;
  bool has(const std::string& line) const {
    for (const std::string& l : lines)
      if (l == line) return true;
    return false;
  }
};

uint32_t g_fakeNow = 1000;
uint32_t TULVANE_CDECL fakeTick() { return g_fakeNow; }
int32_t TULVANE_CDECL everyChannelExists(int64_t) { return 1; }

// Not a test of its own: the body of the child process. Skipped in a normal run.
TEST(HostChild, Run) {
  const char* report = std::getenv("OM_HOST_CHILD");
  if (!report || !*report) GTEST_SKIP() << "runs only as a child host";
  const std::string exe = wintest::thisExecutable();
  LoadedPlugin plugin(exe.substr(0, exe.rfind('\\') + 1) + "Ostrane_Marquel.dll");
  ASSERT_TRUE(plugin.ok());
  plugin.setTick(fakeTick);
  PluginDescriptor* d = plugin.pr();
  HostInitInfo init{7, everyChannelExists};
  d->init(&init);
  const int width = 64, height = 48;
  VideoFormatInfo format{width, height, 0, 1, 0};
  d->setFormat(&format);

  FILE* out = std::fopen(report, "wb");
  ASSERT_NE(out, nullptr);
  if (const char* follow = std::getenv("OM_HOST_FOLLOW")) {
    // The logo in the frame's middle: red, then the file is rewritten green
    // at another size while frames go on, as another program saving it.
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 3);
    ChannelInfo channel{};
    channel.id = 1;
    FrameInfo info{};
    info.pixels = frame.data();
    info.channel = &channel;
    auto middle = [&] {
      std::fill(frame.begin(), frame.end(), 0);
      d->processFrame(&info);
      const uint8_t* p = &frame[(static_cast<size_t>(height / 2) * width + width / 2) * 3];
      return (p[2] >= 128 ? 0xFF0000u : 0u) | (p[1] >= 128 ? 0x00FF00u : 0u) | (p[0] >= 128 ? 0xFFu : 0u);
    };
    const uint32_t first = middle();
    ASSERT_TRUE(testpic::writeFile(follow, testpic::makeBmp(30, 20, std::vector<testpic::Rgba>(30 * 20, testpic::Rgba{0, 255, 0, 255}))));
    const DWORD written = GetTickCount();
    int neither = 0;
    uint32_t now = first;
    while (now != 0x00FF00 && GetTickCount() - written < 6000) {
      Sleep(20);
      now = middle();
      if (now != first && now != 0x00FF00) ++neither;
    }
    std::fprintf(out, "first=%06x followed=%d ms=%lu neither=%d\n", first, now == 0x00FF00,
                 static_cast<unsigned long>(GetTickCount() - written), neither);
    std::fclose(out);
    d->shutdown();
    return;
  }
  const char* list = std::getenv("OM_HOST_CHANNELS");
  std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 3);
  for (const char* p = list ? list : ""; *p;) {
    const long id = std::strtol(p, const_cast<char**>(&p), 10);
    if (*p == ',') ++p;
    ChannelInfo channel{};
    channel.id = id;
    std::strcpy(channel.name, "\xCF\xE5\xF0\xE2\xFB\xE9");  // "Первый"
    FrameInfo info{};
    info.pixels = frame.data();
    info.channel = &channel;
    int changed = 0;
    for (int n = 0; n < 6; ++n) {
      for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7 + n);
      const std::vector<uint8_t> before = frame;
      EXPECT_EQ(d->processFrame(&info), 1);
      if (frame != before) ++changed;
      g_fakeNow += 40;
    }
    std::fprintf(out, "channel=%ld changed=%d\n", id, changed);
  }
  std::fclose(out);
  d->shutdown();
}

// A folder with a copy of this program and of the DLL: the host's folder.
class HostRun : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string exe = wintest::thisExecutable();
    hostExe_ = host_.file("tvhost.exe");
    ASSERT_TRUE(CopyFileA(exe.c_str(), hostExe_.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(wintest::pluginDllPath().c_str(), host_.file("Ostrane_Marquel.dll").c_str(), FALSE));
  }

  ChildReport run(const std::string& arguments, const std::string& channels = "1",
                  const std::string& follow = "") {
    const std::string reportPath = host_.file("report.txt");
    DeleteFileA(reportPath.c_str());
    const std::string logPath = host_.file("child.log");
    std::vector<std::string> environment = {"OM_HOST_CHILD=" + reportPath, "OM_HOST_CHANNELS=" + channels};
    if (!follow.empty()) environment.push_back("OM_HOST_FOLLOW=" + follow);
    const int code = wintest::runProcess("\"" + hostExe_ + "\" --gtest_filter=HostChild.Run " + arguments,
                                         environment, logPath);
    EXPECT_EQ(code, 0) << "child host failed:\n" << wintest::readFileBytes(logPath);
    ChildReport report;
    const std::string text = wintest::readFileBytes(reportPath);
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = text.find('\n', pos);
      if (end == std::string::npos) end = text.size();
      report.lines.push_back(text.substr(pos, end - pos));
      pos = end + 1;
    }
    return report;
  }

  std::string settingsIn(const std::string& folder) const {
    return folder + "\\Plugins\\Ostrane_Marquel.ini";
  }

  TempFolder host_;
  std::string hostExe_;
};

TEST_F(HostRun, SettingsAreSavedBesideTheHost) {
  run("");
  const std::string ini = wintest::readFileBytes(settingsIn(host_.path()));
  ASSERT_FALSE(ini.empty()) << "PluginShutdown saves into <host>\\Plugins";
  EXPECT_EQ(ini.rfind("[COMMON]\r\n", 0), 0u) << ini;
  EXPECT_NE(ini.find("\r\nDlgWndPosX=-100\r\n"), std::string::npos);
  EXPECT_NE(ini.find("\r\nLogoOpacity=60\r\n"), std::string::npos);
}

// "-inst:a" first, then "/inst:" in capitals with C: the latter wins, lower-cased.
TEST_F(HostRun, InstanceOptionChoosesTheInstanceFolder) {
  ASSERT_TRUE(CreateDirectoryA(host_.file("Instances").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(host_.file("Instances\\c").c_str(), nullptr));
  run("-inst:a /INST:C");
  EXPECT_TRUE(wintest::fileExists(settingsIn(host_.file("Instances\\c"))));
  EXPECT_FALSE(wintest::folderExists(host_.file("Plugins")));
  EXPECT_FALSE(wintest::folderExists(host_.file("Instances\\a")));
}

TEST_F(HostRun, RegistrySwitchMovesSettingsToTheUsersFolder) {
  char appData[MAX_PATH + 1] = {};
  ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, FALSE));
  const std::string tulvane = std::string(appData) + "\\Tulvane";
  CreateDirectoryA(tulvane.c_str(), nullptr);  // the host's installer makes this level
  ASSERT_EQ(wintest::runProcess("reg.exe add HKLM\\SOFTWARE\\Tulvane /v StoreInUsersFolder /t REG_DWORD /d 1 /f"), 0);
  run("");
  wintest::runProcess("reg.exe delete HKLM\\SOFTWARE\\Tulvane /f");
  const std::string ini = settingsIn(tulvane);
  EXPECT_TRUE(wintest::fileExists(ini)) << ini;
  EXPECT_FALSE(wintest::folderExists(host_.file("Plugins")));
  wintest::removeTree(tulvane);
}

// Pictures of each kind stamped on live frames; a new channel without a
// picture leaves its frames alone.
TEST_F(HostRun, StampsBmpPngAndGifLogos) {
  using namespace testpic;
  ASSERT_TRUE(writeFile(host_.file("logo.bmp"), makeBmp(24, 16, checkerLogo(24, 16))));
  ASSERT_TRUE(writeFile(host_.file("logo.png"), makePng(24, 16, holedLogo(24, 16))));
  ASSERT_TRUE(writeFile(host_.file("logo.gif"), makeGif(24, 16, gifPalette(), gifFrames(24, 16))));
  CreateDirectoryA(host_.file("Plugins").c_str(), nullptr);
  std::string ini = "[COMMON]\r\nPrivateSettings=1\r\n";
  const char* names[3] = {"logo.bmp", "logo.png", "logo.gif"};
  for (int i = 0; i < 3; ++i)
    ini += "[" + std::to_string(i + 1) + "]\r\nLogoFileName=" + host_.file(names[i]) +
           "\r\nLogoPosX=100\r\nLogoPosY=100\r\nLogoSizeX=400\r\nLogoSizeY=400\r\nLogoOpacity=100\r\n";
  ASSERT_TRUE(wintest::writeFileBytes(settingsIn(host_.path()), ini.data(), ini.size()));

  const ChildReport report = run("", "1,2,3,4");
  for (const std::string& line : report.lines) std::printf("  child: %s\n", line.c_str());
  EXPECT_TRUE(report.has("channel=1 changed=6"));
  EXPECT_TRUE(report.has("channel=2 changed=6"));
  EXPECT_TRUE(report.has("channel=3 changed=6"));
  EXPECT_TRUE(report.has("channel=4 changed=0"));
  const std::string saved = wintest::readFileBytes(settingsIn(host_.path()));
  EXPECT_NE(saved.find("LogoFileName=" + host_.file("logo.gif")), std::string::npos)
      << "a picture that loaded keeps its name:\n" << saved;
}

// The DLL follows a rewritten picture file: the new picture shows within
// 3 s, and no frame in between shows neither picture.
TEST_F(HostRun, PictureFollowsItsFile) {
  using namespace testpic;
  const std::string logo = host_.file("logo.bmp");
  ASSERT_TRUE(writeFile(logo, makeBmp(24, 16, std::vector<Rgba>(24 * 16, Rgba{255, 0, 0, 255}))));
  CreateDirectoryA(host_.file("Plugins").c_str(), nullptr);
  const std::string ini = "[COMMON]\r\nLogoFileName=" + logo +
                          "\r\nLogoPosX=250\r\nLogoPosY=250\r\nLogoSizeX=500\r\nLogoSizeY=500\r\nLogoOpacity=100\r\n";
  ASSERT_TRUE(wintest::writeFileBytes(settingsIn(host_.path()), ini.data(), ini.size()));
  const ChildReport report = run("", "1", logo);
  ASSERT_EQ(report.lines.size(), 1u);
  std::printf("  child: %s\n", report.lines[0].c_str());
  unsigned first = 0, ms = 0;
  int followed = 0, neither = -1;
  ASSERT_EQ(std::sscanf(report.lines[0].c_str(), "first=%x followed=%d ms=%u neither=%d", &first, &followed,
                        &ms, &neither),
            4);
  EXPECT_EQ(first, 0xFF0000u);
  EXPECT_EQ(followed, 1);
  EXPECT_LT(ms, 3000u);
  EXPECT_EQ(neither, 0);
}

}  // namespace
}  // namespace om
