// The plug-in's operations over its state: loading and saving the channel
// table through a real file, the channel selection rule, and the rebuild
// that waits for a picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#endif

#include "dialog/preview_pane.h"
#include "plugin/channel_ops.h"
#include "plugin/plugin_state.h"
#include "settings/settings_model.h"
#include "tests/support/bmp_file.h"

namespace om {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void spit(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

std::vector<int64_t> g_asked;
int32_t TULVANE_CDECL onlyThirteen(int64_t id) {
  g_asked.push_back(id);
  return id == 13;
}
int32_t TULVANE_CDECL everyChannel(int64_t) { return 1; }
int32_t TULVANE_CDECL allButZero(int64_t id) { return id != 0; }
int32_t TULVANE_CDECL noChannel(int64_t) { return 0; }

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("om-settings-" + std::to_string(std::random_device{}()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    file_ = dir_ / "Ostrane_Marquel.ini";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // A fresh state, as at library load, pointed at the test's file.
  std::unique_ptr<PluginState> freshState(ChannelExistsFn exists = &everyChannel) {
    auto state = std::make_unique<PluginState>();
    state->store.path = file_.string();
    state->store.lineEnd = "\n";  // the expected texts below, on every platform
    state->channelExists = exists;
    return state;
  }

  fs::path dir_, file_;
};

ChannelRecord record(int64_t id, const std::string& name, int32_t posX, uint32_t colorKey) {
  ChannelRecord r;
  r.id = id;
  r.LogoFileName = name;
  r.LogoPosX = posX;
  r.LogoPosY = -(posX / 2);
  r.LogoSizeX = 250;
  r.LogoSizeY = 1000;
  r.LogoOpacity = 0;
  r.ShowLogo = 4294967295u;
  r.ColorKeyEnable = 1;
  r.LeftTopPixelColor = 0;
  r.ColorKey = colorKey;
  return r;
}

void expectSameRecord(const ChannelRecord& a, const ChannelRecord& b) {
  EXPECT_EQ(a.id, b.id);
  for (const SettingRow& row : kSettingRows)
    EXPECT_EQ(settingText(a, row), settingText(b, row)) << row.key;
}

std::vector<int64_t> ids(const ChannelTable& table) {
  std::vector<int64_t> out;
  for (const ChannelRecord& r : table) out.push_back(r.id);
  return out;
}

TEST_F(SettingsFile, NoFileLoadsDefaultsAndSavesTheCommonSection) {
  auto state = freshState(&noChannel);
  loadSettings(*state);
  EXPECT_TRUE(fs::exists(file_)) << "a missing file is created empty";
  ASSERT_EQ(state->channelTable.size(), 1u);
  expectSameRecord(state->channelTable[0], ChannelRecord());
  EXPECT_EQ(state->dialog.dialogPosX, -100);
  saveSettings(*state);
  EXPECT_EQ(slurp(file_),
            "[COMMON]\nDlgWndPosX=-100\nDlgWndPosY=-100\nPrivateSettings=0\n"
            "LogoFileName=\nLogoPosX=0\nLogoPosY=0\nLogoSizeX=0\nLogoSizeY=0\n"
            "LogoOpacity=60\nShowLogo=1\nColorKeyEnable=0\nLeftTopPixelColor=1\nColorKey=0\n");
}

TEST_F(SettingsFile, SaveThenLoadGivesTheSameTable) {
  auto state = freshState(&allButZero);
  loadSettings(*state);
  state->privateSettings = 1;
  state->dialog.dialogPosX = 10;
  state->dialog.dialogPosY = -20;
  state->channelTable[0] = record(0, "  two leading blanks.bmp", 5, 0x00FF8000);
  state->channelTable.push_back(record(-5, "C:\\\xEB\xEE\xE3\xEE.png", -7, 4294967295u));
  state->channelTable.push_back(record((int64_t{1} << 40) | 3, "", 1000, 0));
  state->channelTable.push_back(record(INT64_MIN, "x", INT32_MIN, 1));
  state->channelTable.push_back(record(INT64_MAX, "y", INT32_MAX, 2));
  saveSettings(*state);
  const std::string first = slurp(file_);
  EXPECT_NE(first.find("\n[-5]\n"), std::string::npos);
  EXPECT_NE(first.find("\n[-9223372036854775808]\n"), std::string::npos);
  EXPECT_NE(first.find("\nColorKey=4294967295\n"), std::string::npos);

  auto again = freshState(&allButZero);
  loadSettings(*again);
  EXPECT_EQ(again->privateSettings, 1);
  EXPECT_EQ(again->dialog.dialogPosX, 10);
  EXPECT_EQ(again->dialog.dialogPosY, -20);
  ASSERT_EQ(ids(again->channelTable), ids(state->channelTable));
  for (size_t i = 0; i < state->channelTable.size(); ++i)
    expectSameRecord(again->channelTable[i], state->channelTable[i]);
  saveSettings(*again);
  EXPECT_EQ(slurp(file_), first) << "a second cycle changes nothing";
}

TEST_F(SettingsFile, HostDecidesWhichChannelsAreSavedExceptOneAndTwo) {
  auto state = freshState(&onlyThirteen);
  loadSettings(*state);
  for (int64_t id : {1, 2, 12, 13}) state->channelTable.push_back(record(id, "", 0, 0));
  g_asked.clear();
  saveSettings(*state);
  EXPECT_EQ(g_asked, (std::vector<int64_t>{0, 1, 2, 12, 13})) << "asked once per record";
  auto loaded = freshState();
  loadSettings(*loaded);
  EXPECT_EQ(ids(loaded->channelTable), (std::vector<int64_t>{0, 1, 2, 13}));
}

TEST_F(SettingsFile, WithoutHostCallbackEveryChannelRecordIsKept) {
  auto state = freshState(nullptr);
  loadSettings(*state);
  for (int64_t id : {12, 0, 13}) state->channelTable.push_back(record(id, "", 0, 0));
  saveSettings(*state);
  auto loaded = freshState(nullptr);
  loadSettings(*loaded);
  EXPECT_EQ(ids(loaded->channelTable), (std::vector<int64_t>{0, 12, 13}));
}

TEST_F(SettingsFile, HostKnowingChannelZeroDoesNotGrowTheFile) {
  // A host that says yes to every id, 0 included: each session must write
  // the same file, not one more "[0]" copy of the common record.
  std::string first;
  for (int session = 0; session < 3; ++session) {
    auto state = freshState(&everyChannel);
    loadSettings(*state);
    if (session == 0) state->channelTable.push_back(record(12, "", 0, 0));
    saveSettings(*state);
    if (session == 0) first = slurp(file_);
    EXPECT_EQ(slurp(file_), first) << "session " << session;
  }
  EXPECT_EQ(first.find("[0]"), std::string::npos);
}

TEST_F(SettingsFile, DefaultSectionIsTheTemplateAndIsWrittenBackFirst) {
  spit(file_,
       "; a comment\n[COMMON]\nPrivateSettings=1\nLogoOpacity=\nFuture=1\n"
       "[DEFAULT]\nLogoOpacity=30\nLogoFileName=d.png\n[5]\nLogoPosX=7\n[Channel 5]\nx=1\n");
  auto state = freshState();
  loadSettings(*state);
  EXPECT_EQ(state->defaultRecord.LogoOpacity, 30);
  EXPECT_EQ(state->defaultRecord.LogoFileName, "d.png");
  EXPECT_EQ(state->defaultRecord.id, 0);
  EXPECT_EQ(state->channelTable[0].LogoOpacity, 60) << "empty value: the default";
  EXPECT_EQ(ids(state->channelTable), (std::vector<int64_t>{0, 5})) << "DEFAULT is no channel";

  state->currentChannelId = 12;
  selectChannelRecord(*state);
  ASSERT_EQ(state->currentIndex, 2);
  EXPECT_EQ(state->recordInUse().id, 12);
  EXPECT_EQ(state->recordInUse().LogoOpacity, 30);
  EXPECT_EQ(state->recordInUse().LogoFileName, "d.png");
  state->currentChannelId = 5;
  selectChannelRecord(*state);
  EXPECT_EQ(state->currentIndex, 1);
  state->currentChannelId = 0;
  selectChannelRecord(*state);
  EXPECT_EQ(state->currentIndex, 0) << "the common record matches id 0 first";

  saveSettings(*state);
  const std::string saved = slurp(file_);
  // What the plug-in does not read stays where it stood: the first lines,
  // an unknown key after its section's keys, a section after the one before it.
  EXPECT_EQ(saved.find("; a comment\n[DEFAULT]\nLogoFileName=d.png\nLogoPosX=0\n"), 0u) << saved;
  EXPECT_NE(saved.find("\nColorKey=0\nFuture=1\n[5]\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("\n[Channel 5]\nx=1\n[12]\nLogoFileName=d.png\n"), std::string::npos) << saved;
}

// Root ignores file permissions, so the failure is a file-size limit: the
// temporary file cannot be written in full and the rename never happens.
#ifndef _WIN32
TEST_F(SettingsFile, FailedSaveLeavesTheOldFileByteForByte) {
  const std::string old = "[COMMON]\r\nPrivateSettings=1\r\nLogoFileName=keep.bmp\r\n";
  spit(file_, old);
  auto state = freshState();
  loadSettings(*state);
  for (int i = 0; i < 50; ++i) state->channelTable.push_back(record(100 + i, "", 0, 0));

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  saveSettings(*state);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previous);

  EXPECT_EQ(slurp(file_), old);
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir_)) files += entry.is_regular_file();
  EXPECT_EQ(files, 1u) << "no temporary file left behind";

  saveSettings(*state);  // and with room, the save goes through
  EXPECT_NE(slurp(file_).find("[149]"), std::string::npos);
}
#endif

TEST_F(SettingsFile, UnreadableFileIsNotReplacedByDefaults) {
  // Larger than the store reads: loads as defaults, and must survive.
  {
    std::ofstream(file_, std::ios::binary) << "[COMMON]\nPrivateSettings=1\n";
  }
  fs::resize_file(file_, ProfileStore::kMaxFileBytes + 1);
  auto state = freshState();
  loadSettings(*state);
  EXPECT_EQ(state->privateSettings, 0);
  EXPECT_TRUE(state->store.loadIncomplete);
  saveSettings(*state);
  EXPECT_EQ(fs::file_size(file_), ProfileStore::kMaxFileBytes + 1);

  fs::remove(file_);
  loadSettings(*state);
  EXPECT_FALSE(state->store.loadIncomplete);
}

TEST_F(SettingsFile, MalformedFilesLoadAndEnumerationEnds) {
  std::mt19937 rng(1234);
  std::string binary(1 << 20, '\0');
  for (char& c : binary) c = static_cast<char>(rng());
  std::string oneLongLine(4 << 20, 'x');
  oneLongLine.insert(0, "[COMMON]\nLogoFileName=");
  // Twenty thousand headers whose trimmed names all point back at one long
  // section: a per-key pass over the file would make this quadratic.
  std::string backRefs = "[COMMON]\n[7]\n";
  for (int i = 0; i < 200000; ++i) backRefs += "junk line\n";
  for (int i = 0; i < 20000; ++i) backRefs += "[ 7]\n";
  std::string manySections;
  for (int i = 0; i < 50000; ++i) manySections += "[" + std::to_string(i) + "]\nLogoPosX=1\n";

  for (const std::string* text : {&binary, &oneLongLine, &backRefs, &manySections}) {
    spit(file_, *text);
    auto state = freshState();
    loadSettings(*state);
    ASSERT_FALSE(state->channelTable.empty());
    EXPECT_LE(state->channelTable.size(), 50001u);
  }
}

// A picture whose folder cannot be reached (a drive or share not ready)
// keeps its name and comes back with its folder; one gone from a folder
// that is there, or one that does not decode, is forgotten as before.
TEST_F(SettingsFile, PictureNameSurvivesOnlyAnUnreachableFolder) {
  auto state = freshState();
  state->channelTable.push_back(ChannelRecord());
  auto reloadWith = [&](const fs::path& path) {
    state->channelTable[0].LogoFileName = path.string();
    reloadLogo(*state, 1);
    return state->channelTable[0].LogoFileName;
  };
  const fs::path onShare = dir_ / "share" / "logo.bmp";
  EXPECT_EQ(reloadWith(onShare), onShare.string());
  EXPECT_EQ(state->show(1).logoLoaded, 0);
  EXPECT_EQ(reloadWith(dir_ / "gone.bmp"), "");
  spit(dir_ / "broken.bmp", "BM, but no bitmap");
  EXPECT_EQ(reloadWith(dir_ / "broken.bmp"), "");
  EXPECT_EQ(reloadWith(dir_), "") << "a folder is no picture";

  fs::create_directories(onShare.parent_path());
  ASSERT_TRUE(test::writeBmp24(onShare.string(), 4, 3, [](int, int) { return 0x102030u; }));
  EXPECT_EQ(reloadWith(onShare), onShare.string());
  EXPECT_EQ(state->show(1).logoLoaded, 1);
}

#ifndef _WIN32
// Runs `step`; a step blocked in open() on a FIFO is let go by a writer, and
// the test fails.
template <typename Step>
void expectNoBlock(const fs::path& fifo, Step step) {
  auto done = std::async(std::launch::async, step);
  if (done.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
    const int fd = open(fifo.c_str(), O_WRONLY);
    if (fd >= 0) close(fd);
    done.wait();
    FAIL() << "blocked opening " << fifo;
  }
}

// A FIFO named as the picture, or as the settings file, would hold the
// video thread (with FrameLock) or PluginInit in open() for ever.
TEST_F(SettingsFile, FifoIsAnUnreadablePictureAndAnUnreadableSettingsFile) {
  const fs::path picture = dir_ / "f.png";
  ASSERT_EQ(mkfifo(picture.c_str(), 0600), 0);
  auto state = freshState();
  state->channelTable.push_back(ChannelRecord());
  state->channelTable[0].LogoFileName = picture.string();
  expectNoBlock(picture, [&] { reloadLogo(*state, 1); });
  EXPECT_EQ(state->show(1).logoLoaded, 0);
  EXPECT_EQ(state->channelTable[0].LogoFileName, "");

  ASSERT_EQ(mkfifo(file_.c_str(), 0600), 0);
  auto settings = freshState();
  expectNoBlock(file_, [&] { loadSettings(*settings); });
  EXPECT_TRUE(settings->store.loadIncomplete);
  saveSettings(*settings);
  EXPECT_TRUE(fs::is_fifo(file_)) << "not replaced";
}

// The save replaces the file a symbolic link points at, keeps its
// permissions, and never writes a file without write permission, even as
// root.
TEST_F(SettingsFile, SaveKeepsPermissionsFollowsLinksAndSparesReadOnlyFiles) {
  const fs::path real = dir_ / "real.ini";
  spit(real, "[COMMON]\nLogoOpacity=10\n");
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  fs::create_symlink("real.ini", file_);
  auto state = freshState();
  loadSettings(*state);
  EXPECT_EQ(state->channelTable[0].LogoOpacity, 10);
  state->channelTable[0].LogoOpacity = 20;
  saveSettings(*state);
  EXPECT_TRUE(fs::is_symlink(file_));
  EXPECT_NE(slurp(real).find("LogoOpacity=20"), std::string::npos);
  struct stat st;
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  ASSERT_EQ(chmod(real.c_str(), 0444), 0);
  const std::string frozen = slurp(real);
  state->channelTable[0].LogoOpacity = 30;
  saveSettings(*state);
  EXPECT_EQ(slurp(real), frozen);
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
}
#endif

// The dialog's window cannot exist on this platform; reach the handle
// through the class's own protected member to stand one in.
struct DialogWindowAccess : SettingsDialog {
  static void set(SettingsDialog& dialog, void* window) {
    dialog.*(&DialogWindowAccess::window_) = window;
  }
};

TEST(SelectChannelRecord, CommonUntilPrivateThenFirstMatchOrNewFromDefault) {
  auto state = std::make_unique<PluginState>();
  state->channelTable = {record(0, "common", 0, 0), record(7, "a", 0, 0), record(7, "b", 0, 0)};
  state->defaultRecord = record(0, "template", 0, 0);
  state->currentChannelId = 7;
  selectChannelRecord(*state);
  EXPECT_EQ(state->currentIndex, 0) << "per-channel settings off";
  state->privateSettings = 1;
  selectChannelRecord(*state);
  EXPECT_EQ(state->currentIndex, 1) << "first record with the id";

  state->channelTableBackup = state->channelTable;
  state->currentChannelId = 9;
  selectChannelRecord(*state);
  EXPECT_EQ(state->currentIndex, 3);
  EXPECT_EQ(state->recordInUse().id, 9);
  EXPECT_EQ(state->recordInUse().LogoFileName, "template");
  EXPECT_EQ(state->channelTableBackup.size(), 3u) << "no dialog: backup untouched";

  // Opening the dialog takes the backup; records appended while it is open
  // land at the same index in both.
  state->channelTableBackup = state->channelTable;
  DialogWindowAccess::set(state->dialog, state.get());
  state->currentChannelId = -4;
  selectChannelRecord(*state);
  DialogWindowAccess::set(state->dialog, nullptr);
  ASSERT_EQ(state->currentIndex, 4);
  ASSERT_EQ(state->channelTableBackup.size(), 5u);
  EXPECT_EQ(state->channelTableBackup[4].id, -4);
  EXPECT_EQ(state->channelTableBackup[4].LogoFileName, "template");
}

class RebuildOverlay : public ::testing::Test {
 protected:
  void SetUp() override {
    state_.channelTable.push_back(ChannelRecord());
    state_.setFormat(720, 576, kPackedYuv422);
  }
  void addFrame(int32_t w, int32_t h, uint32_t fill) {
    ASSERT_TRUE(state_.show(1).logo.AddFrame() && state_.show(1).logo.SetFrameSize(w, h));
    uint32_t* pixels = state_.show(1).logo.currentForWriting().pixels;
    std::fill(pixels, pixels + static_cast<size_t>(w) * h, fill);
    state_.show(1).logoLoaded = 1;
  }
  static uint32_t bgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
    return b | (g << 8) | (r << 16) | (a << 24);
  }
  PluginState state_;
};

TEST_F(RebuildOverlay, NoPictureChangesNothing) {
  addFrame(30, 20, bgra(10, 20, 30, 255));
  ChannelRecord& r = state_.recordInUse();
  r.LogoSizeX = 100;
  r.LogoSizeY = 100;
  rebuildOverlay(state_, 1);
  const OverlayImage before = state_.show(1).canvas.overlay();
  std::vector<uint8_t> bytes(before.pixels,
                             before.pixels + before.allocatedWidth * before.allocatedHeight * 4);

  state_.show(1).logoLoaded = 0;
  r.LogoSizeX = 1500;
  rebuildOverlay(state_, 1);
  const OverlayImage& after = state_.show(1).canvas.overlay();
  EXPECT_EQ(after.pixels, before.pixels);
  EXPECT_EQ(after.allocatedWidth, before.allocatedWidth);
  EXPECT_EQ(after.content.right, before.content.right);
  EXPECT_EQ(std::memcmp(after.pixels, bytes.data(), bytes.size()), 0);
  EXPECT_EQ(r.LogoSizeX, 1500);  // not even clamped

  state_.show(1).logoLoaded = 1;
  state_.show(1).logo.clear();  // loaded flag without frames: still nothing
  rebuildOverlay(state_, 1);
  EXPECT_EQ(after.content.right, before.content.right);
}

uint32_t pack(uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  return b | (g << 8) | (r << 16) | (static_cast<uint32_t>(a) << 24);
}

TEST(PreviewPaneDraw, DarkBlueWithoutAPictureLetterboxedWithOne) {
  auto state = std::make_unique<PluginState>();
  state->channelTable.push_back(ChannelRecord());
  PreviewPane pane(150, 80);
  ASSERT_NE(pane.pixels(), nullptr);
  const uint32_t darkBlue = pack(64, 0, 0, 0);
  std::fill(pane.pixels(), pane.pixels() + 150 * 80, 0xFFFFFFFFu);
  platform::LockGuard hold(state->frameLock);  // as the dialog draws
  drawPreview(*state, pane, 1);
  for (int i = 0; i < 150 * 80; ++i) ASSERT_EQ(pane.pixels()[i], darkBlue);

  // A 200 x 50 picture of one colour fills rows 21 to 58, bars elsewhere.
  ASSERT_TRUE(state->show(1).logo.SetFrameSize(200, 50));
  uint32_t* p = state->show(1).logo.currentForWriting().pixels;
  std::fill(p, p + 200 * 50, pack(1, 2, 3, 255));
  state->show(1).logo.SelectFrame(0);
  state->show(1).logoLoaded = 1;
  drawPreview(*state, pane, 1);
  for (int y = 0; y < 80; ++y) {
    const uint32_t expected = (y >= 21 && y < 59) ? pack(1, 2, 3, 255) : darkBlue;
    for (int x = 0; x < 150; ++x)
      ASSERT_EQ(pane.pixels()[static_cast<size_t>(79 - y) * 150 + x], expected) << x << "," << y;
  }
  const uint32_t built = state->previewScaler.tablesBuilt();
  drawPreview(*state, pane, 1);
  EXPECT_EQ(state->previewScaler.tablesBuilt(), built);
}

}  // namespace
}  // namespace om
