// What the plug-in remembers per channel, the table of records, and the
// rules that read, write, select and clamp them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "settings/profile_store.h"

namespace om {

// Field names are the INI keys; the initialisers are the defaults of every
// key a section lacks.
struct LogoSettings {
  std::string LogoFileName;     // empty: no logo
  int32_t LogoPosX = 0;         // thousandths of the frame width
  int32_t LogoPosY = 0;         // thousandths of the frame height
  int32_t LogoSizeX = 0;
  int32_t LogoSizeY = 0;
  int32_t LogoOpacity = 60;     // percent
  uint32_t ShowLogo = 1;
  uint32_t ColorKeyEnable = 0;
  uint32_t LeftTopPixelColor = 1;
  uint32_t ColorKey = 0;        // 0x00BBGGRR
  // Keys beyond the first ten are written only when they differ from these.
  int32_t KeyTolerance = 0;     // percent of the largest colour distance
  int32_t KeySoftness = 0;      // percent: the soft edge beyond the tolerance
  int32_t VideoColors = 0;      // VideoColorsChoice
  int32_t FadeMs = 0;           // the logo fades in and out over this long
  int32_t ShowEveryMinutes = 0; // 0: always shown; else it appears once a cycle this long
  int32_t ShowForSeconds = 15;  // each appearance lasts this long
  int32_t FollowFile = 1;       // the picture is reloaded when its file changes
};

// How packed 4:2:2 frames take the logo's colours.
enum VideoColorsChoice : int32_t {
  kVideoColorsFullBt601 = 0,
  kVideoColorsAutomatic = 1,  // TV range; BT.709 from 1280 wide or above 576 high
  kVideoColorsTvBt601 = 2,
  kVideoColorsTvBt709 = 3,
  kVideoColorsFullBt709 = 4,
};

struct ChannelRecord : LogoSettings {
  int64_t id = 0;
};

// Records in insertion order; index 0 is the common record. Never shrinks
// while the plug-in runs, so an index stays valid.
using ChannelTable = std::vector<ChannelRecord>;

// The dialog position of a dialog that was never placed.
constexpr int32_t kDialogNeverPlaced = -100;

// One INI key of a record: its name, its field and how it is written. Its
// default is the field's initialiser in LogoSettings. A new setting is one
// row here and its field there.
struct SettingRow {
  const char* key;
  SettingsValueType type;
  // The field, by type: text (kValueString), number (kValueInt32) or bits
  // (the unsigned codes).
  std::string LogoSettings::*text;
  int32_t LogoSettings::*number;
  uint32_t LogoSettings::*bits;
  // Keys beyond the first ten: clamped to min..max when read, and written
  // only when they differ from their default.
  bool optional;
  int32_t min, max;
};

constexpr SettingRow textSetting(const char* key, std::string LogoSettings::*field) {
  return {key, kValueString, field, nullptr, nullptr, false, 0, 0};
}
constexpr SettingRow numberSetting(const char* key, int32_t LogoSettings::*field) {
  return {key, kValueInt32, nullptr, field, nullptr, false, 0, 0};
}
constexpr SettingRow bitsSetting(const char* key, uint32_t LogoSettings::*field,
                                 SettingsValueType type = kValueUInt32) {
  return {key, type, nullptr, nullptr, field, false, 0, 0};
}
constexpr SettingRow optionalSetting(const char* key, int32_t LogoSettings::*field, int32_t min,
                                     int32_t max) {
  return {key, kValueInt32, nullptr, field, nullptr, true, min, max};
}

// Every key of a record, in the order they are read and written.
inline constexpr SettingRow kSettingRows[] = {
    textSetting("LogoFileName", &LogoSettings::LogoFileName),
    numberSetting("LogoPosX", &LogoSettings::LogoPosX),
    numberSetting("LogoPosY", &LogoSettings::LogoPosY),
    numberSetting("LogoSizeX", &LogoSettings::LogoSizeX),
    numberSetting("LogoSizeY", &LogoSettings::LogoSizeY),
    numberSetting("LogoOpacity", &LogoSettings::LogoOpacity),
    bitsSetting("ShowLogo", &LogoSettings::ShowLogo),
    bitsSetting("ColorKeyEnable", &LogoSettings::ColorKeyEnable),
    bitsSetting("LeftTopPixelColor", &LogoSettings::LeftTopPixelColor),
    bitsSetting("ColorKey", &LogoSettings::ColorKey, kValueColor),
    optionalSetting("KeyTolerance", &LogoSettings::KeyTolerance, 0, 100),
    optionalSetting("KeySoftness", &LogoSettings::KeySoftness, 0, 100),
    optionalSetting("VideoColors", &LogoSettings::VideoColors, 0, 4),
    optionalSetting("FadeMs", &LogoSettings::FadeMs, 0, 10000),
    optionalSetting("ShowEveryMinutes", &LogoSettings::ShowEveryMinutes, 0, 1440),
    optionalSetting("ShowForSeconds", &LogoSettings::ShowForSeconds, 1, 3600),
    optionalSetting("FollowFile", &LogoSettings::FollowFile, 0, 1),
};
constexpr size_t kSettingsKeyCount = sizeof kSettingRows / sizeof kSettingRows[0];

// The rows bound to the fields of `io`, as the store reads and writes them.
struct SettingsKeyTable {
  explicit SettingsKeyTable(LogoSettings& io);
  SettingsKey rows[kSettingsKeyCount];
};

// Whether two records hold the same value in every key.
bool sameSettings(const LogoSettings& a, const LogoSettings& b);
// The value of one key as the settings file writes it.
std::string settingText(const LogoSettings& record, const SettingRow& row);

// Everything the settings file holds.
struct StoredSettings {
  ChannelRecord defaultRecord;  // the DEFAULT section: the template of new channels
  bool hasDefaultSection = false;  // the file had one: it is written back
  int32_t dialogPosX = kDialogNeverPlaced;
  int32_t dialogPosY = kDialogNeverPlaced;
  int32_t privateSettings = 0;
  ChannelTable channelTable = ChannelTable(1);  // record 0 from COMMON
  // Sections that name no channel ("[1 old backup]", "[Channel 5]"): never
  // read as settings, written back as they stood, after the channels.
  std::vector<std::string> foreignSections;
};

// Asked once per channel record while saving: does the host still know the
// channel? Empty: every record is kept.
using ChannelKnownFn = std::function<bool(int64_t)>;

// The whole file into `settings`: COMMON as record 0, then every other
// section but DEFAULT, in file order, each named by its channel id. A
// missing or unreadable file gives defaults (and an unreadable one marks the
// store so it is not saved over).
void loadSettingsFile(ProfileStore& store, StoredSettings& settings);
// The whole table back to the file, DEFAULT first when the file had one,
// keeping the records the host still knows (ids 1 and 2 always). A failed
// save keeps the old file.
void saveSettingsFile(ProfileStore& store, const StoredSettings& settings,
                      const ChannelKnownFn& known);
// The same two without opening or closing: the store is already open for
// reading, or for writing.
void readSettingsFromStore(ProfileStore& store, StoredSettings& settings);
void writeSettingsToStore(ProfileStore& store, const StoredSettings& settings,
                          const ChannelKnownFn& known);

// The index of the record for `channelId`: 0 while per-channel settings are
// off; otherwise the first record with that id, or a new one made from
// `defaultRecord` and appended (`appended` then says so).
int32_t findChannelRecord(ChannelTable& table, const ChannelRecord& defaultRecord,
                          int64_t channelId, int32_t privateSettings, bool& appended);

// Keeps position and size inside the frame (picture size in pixels).
void clampPositionAndSize(LogoSettings& record, int32_t pictureWidth, int32_t pictureHeight);
// Natural pixel height of a newly chosen picture, width by its 4:3 aspect rule.
void applyInitialSize(LogoSettings& record, int32_t pictureWidth, int32_t pictureHeight,
                      int32_t frameHeight);

}  // namespace om
