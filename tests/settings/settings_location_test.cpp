// Where the settings file goes: base folder choice, the instance option,
// and the single folder level that is created.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "settings/settings_location.h"

namespace om {
namespace {

namespace fs = std::filesystem;

platform::LocationInputs hostIn(const std::string& exeFolder, const std::string& commandLine) {
  platform::LocationInputs in;
  in.versionKnown = true;
  in.ntFamily = true;
  in.exeFolder = exeFolder;
  in.appDataFolder = "/home/u/.config";
  in.commandLine = commandLine;
  in.moduleBaseName = "Ostrane_Marquel";
  return in;
}

std::string suffixOf(const std::string& commandLine) {
  return computeSettingsLocation(hostIn("/h/", commandLine), '/').instanceSuffix;
}

TEST(SettingsLocation, InstanceOption) {
  EXPECT_EQ(suffixOf("host -inst:a --other /inst:c"), "c") << "/inst: wins over -inst:";
  EXPECT_EQ(suffixOf("host -inst:a"), "a");
  EXPECT_EQ(suffixOf("HOST.EXE -INST:Q"), "q") << "matched and kept in lower case";
  EXPECT_EQ(suffixOf("host -inst:xyz -inst:b"), "x") << "one character, first occurrence";
  EXPECT_EQ(suffixOf("host -inst:"), "") << "option at the very end";
  EXPECT_EQ(suffixOf("host -inst:a /inst:"), "") << "a later /inst: at the end clears it";
  EXPECT_EQ(suffixOf("host inst:a"), "");
  EXPECT_EQ(suffixOf(std::string("host \0-inst:a", 13)), "") << "the line ends at a NUL";
}

TEST(SettingsLocation, PathsBesideTheHostOrInTheUserFolder) {
  SettingsLocation plain = computeSettingsLocation(hostIn("/opt/h/", "host"), '/');
  EXPECT_EQ(plain.folder, "/opt/h/Plugins/");
  EXPECT_EQ(plain.baseName, "Ostrane_Marquel");
  EXPECT_EQ(plain.fileName, "Ostrane_Marquel.ini");
  EXPECT_EQ(plain.path, "/opt/h/Plugins/Ostrane_Marquel.ini");

  EXPECT_EQ(computeSettingsLocation(hostIn("C:\\H\\", "h.exe /inst:B"), '\\').path,
            "C:\\H\\Instances\\b\\Plugins\\Ostrane_Marquel.ini");

  platform::LocationInputs user = hostIn("/opt/h/", "host -inst:2");
  user.storeInUsersFolder = 7;
  EXPECT_EQ(computeSettingsLocation(user, '/').path,
            "/home/u/.config/Tulvane/Instances/2/Plugins/Ostrane_Marquel.ini");
  user.ntFamily = false;
  EXPECT_EQ(computeSettingsLocation(user, '/').folder, "/opt/h/Instances/2/Plugins/")
      << "the switch only counts on the NT family";

  user.ntFamily = true;
  user.appDataFolder.clear();
  EXPECT_EQ(computeSettingsLocation(user, '/').path, "") << "unknown user folder: no file";
  platform::LocationInputs unknown = hostIn("/opt/h/", "host");
  unknown.versionKnown = false;
  const SettingsLocation none = computeSettingsLocation(unknown, '/');
  EXPECT_EQ(none.folder + none.path + none.fileName + none.baseName + none.instanceSuffix, "");
}

TEST(SettingsLocation, CreatesOnlyTheLastFolderLevel) {
  const fs::path root =
      fs::temp_directory_path() / ("om-location-" + std::to_string(std::random_device{}()));
  const std::string host = (root / "H").string() + "/";
  fs::create_directories(host);

  ProfileStore store;
  applySettingsLocation(store, computeSettingsLocation(hostIn(host, "host"), '/'));
  EXPECT_TRUE(fs::is_directory(root / "H" / "Plugins"));
  EXPECT_EQ(store.path, host + "Plugins/Ostrane_Marquel.ini");

  applySettingsLocation(store, computeSettingsLocation(hostIn(host, "host -inst:b"), '/'));
  EXPECT_FALSE(fs::exists(root / "H" / "Instances")) << "the host creates the instance subtree";
  fs::create_directories(root / "H" / "Instances" / "b");
  applySettingsLocation(store, computeSettingsLocation(hostIn(host, "host -inst:b"), '/'));
  EXPECT_TRUE(fs::is_directory(root / "H" / "Instances" / "b" / "Plugins"));
  EXPECT_EQ(store.instanceSuffix, "b");

  std::error_code ec;
  fs::remove_all(root, ec);
}

}  // namespace
}  // namespace om
