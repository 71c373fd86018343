// The settings file through the real Windows file calls: CR LF lines, the
// atomic replace of an existing file, and a save that cannot happen.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "plugin/channel_ops.h"
#include "plugin/plugin_state.h"
#include "settings/settings_model.h"
#include "win32_test_support.h"

namespace om {
namespace {

using wintest::TempFolder;

// The host knows every channel; 0 is no channel of its own.
int32_t TULVANE_CDECL keepAll(int64_t id) { return id != 0; }

std::unique_ptr<PluginState> stateWithFile(const std::string& path) {
  auto state = std::make_unique<PluginState>();
  state->store.path = path;
  state->channelExists = keepAll;
  return state;
}

TEST(SettingsFile, RoundTripAndReplace) {
  TempFolder temp;
  const std::string path = temp.file("Ostrane_Marquel.ini");
  auto saving = stateWithFile(path);
  loadSettings(*saving);  // no file yet: defaults, and an empty file is created
  ASSERT_EQ(saving->channelTable.size(), 1u);
  saving->privateSettings = 1;
  saving->dialog.dialogPosX = 120;
  saving->dialog.dialogPosY = -7;
  ChannelRecord channel;
  channel.id = -5;
  channel.LogoFileName = "C:\\Pictures\\\xEB\xEE\xE3\xEE.png";  // Windows-1251 name
  channel.LogoPosX = 700;
  channel.LogoSizeY = 250;
  channel.ColorKey = 0x00FF8040;
  saving->channelTable.push_back(channel);
  saveSettings(*saving);

  const std::string text = wintest::readFileBytes(path);
  ASSERT_EQ(text.rfind("[COMMON]\r\nDlgWndPosX=120\r\nDlgWndPosY=-7\r\nPrivateSettings=1\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("\r\n[-5]\r\nLogoFileName=C:\\Pictures\\\xEB\xEE\xE3\xEE.png\r\n"), std::string::npos);
  EXPECT_EQ(text.find("\n\n"), std::string::npos) << "no bare line feeds, no blank lines";

  auto loading = stateWithFile(path);
  loadSettings(*loading);
  ASSERT_EQ(loading->channelTable.size(), 2u);
  EXPECT_EQ(loading->privateSettings, 1);
  EXPECT_EQ(loading->dialog.dialogPosX, 120);
  EXPECT_EQ(loading->dialog.dialogPosY, -7);
  const ChannelRecord& back = loading->channelTable[1];
  EXPECT_EQ(back.id, -5);
  EXPECT_EQ(back.LogoFileName, channel.LogoFileName);
  EXPECT_EQ(back.LogoPosX, 700);
  EXPECT_EQ(back.LogoSizeY, 250);
  EXPECT_EQ(back.ColorKey, 0x00FF8040u);

  // Saving again replaces the file in one step and leaves no temporary file.
  loading->channelTable[1].LogoPosX = 10;
  saveSettings(*loading);
  EXPECT_NE(wintest::readFileBytes(path).find("\r\nLogoPosX=10\r\n"), std::string::npos);
  EXPECT_EQ(wintest::listFolder(temp.path()), std::vector<std::string>{"Ostrane_Marquel.ini"});
}

TEST(SettingsFile, FailedSaveKeepsTheOldFile) {
  TempFolder temp;
  const std::string path = temp.file("Ostrane_Marquel.ini");
  const std::string old = "[COMMON]\r\nPrivateSettings=1\r\nLogoOpacity=33\r\n";
  ASSERT_TRUE(wintest::writeFileBytes(path, old.data(), old.size()));
  auto state = stateWithFile(path);
  loadSettings(*state);
  EXPECT_EQ(state->channelTable[0].LogoOpacity, 33);
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  state->channelTable[0].LogoOpacity = 90;
  saveSettings(*state);
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(wintest::readFileBytes(path), old);
  EXPECT_EQ(wintest::listFolder(temp.path()).size(), 1u);
}

// A path whose folder does not exist loads defaults and saves nothing.
TEST(SettingsFile, MissingFolderGivesDefaults) {
  TempFolder temp;
  const std::string path = temp.file("gone\\Ostrane_Marquel.ini");
  auto state = stateWithFile(path);
  loadSettings(*state);
  ASSERT_EQ(state->channelTable.size(), 1u);
  EXPECT_EQ(state->channelTable[0].LogoOpacity, 60);
  EXPECT_EQ(state->dialog.dialogPosX, -100);
  saveSettings(*state);
  EXPECT_FALSE(wintest::folderExists(temp.file("gone")));
}

}  // namespace
}  // namespace om
