// What the plug-in remembers per channel, the table of records, and the
// rules that read, write, select and clamp them.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
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
  int32_t CoverMode = 0;        // CoverModeChoice: stamp the picture, or hide what is under it
  int32_t CoverStrength = 8;    // blur radius or mosaic block, frame pixels
  int32_t DriftPixels = 0;      // 0: the logo stays; else its orbit's step against burn-in
  int32_t DriftMinutes = 2;     // between two steps of the orbit
};

// What a record does to its rectangle of the frame.
enum CoverModeChoice : int32_t {
  kCoverPicture = 0,  // the picture is stamped
  kCoverErase = 1,    // filled from the rectangle's border
  kCoverBlur = 2,
  kCoverMosaic = 3,
};

// How packed 4:2:2 frames take the logo's colours.
enum VideoColorsChoice : int32_t {
  kVideoColorsFullBt601 = 0,
  kVideoColorsAutomatic = 1,  // TV range; BT.709 from 1280 wide or above 576 high
  kVideoColorsTvBt601 = 2,
  kVideoColorsTvBt709 = 3,
  kVideoColorsFullBt709 = 4,
};

// A record draws up to this many layers: layer 1 is the record's own
// section, layers 2..8 sections of their own ("[5.2]", "[COMMON.3]").
constexpr int32_t kMaxLayers = 8;

struct LayerSettings : LogoSettings {
  int32_t number = 2;  // 2..kMaxLayers
};

struct ChannelRecord : LogoSettings {
  int64_t id = 0;
  std::vector<LayerSettings> layers;  // layers 2..8, by ascending number, gaps allowed
};

// Layer `number` of `record`: 1 is the record itself; null when it has none.
LogoSettings* findLayer(ChannelRecord& record, int32_t number);
const LogoSettings* findLayer(const ChannelRecord& record, int32_t number);
// Adds the lowest free layer number above 1 with every key at its default;
// 0 when all are taken.
int32_t addLayer(ChannelRecord& record);
// Layer 1 stays; false when there was no such layer.
bool removeLayer(ChannelRecord& record, int32_t number);
// Whether a section name (blanks around it trimmed) names a layer above 1:
// "<base>.<k>" with k one digit 2..8; `base` is what stands before the dot.
bool splitLayerName(std::string_view name, std::string_view& base, int32_t& number);

// Records in insertion order; index 0 is the common record. Never shrinks
// while the plug-in runs, so an index stays valid.
using ChannelTable = std::vector<ChannelRecord>;

// The dialog position of a dialog that was never placed.
constexpr int32_t kDialogNeverPlaced = -100;

// Whether a key is always written (the first ten) or only when it differs
// from its default (every key added since, so older files stay as they were).
enum class Written : uint8_t { Always, WhenNotDefault };

// One INI key of a record: its name, how it is written, its range, and one
// accessor to its field, made for the field's type by settingRow below. A
// new setting is its field in LogoSettings and one row in kSettingRows.
struct SettingRow {
  const char* key;
  Written written;
  // A key written only when not default is clamped into this range when
  // read; for every key, the range its dialog control offers.
  int32_t min, max;
  bool isText;
  // The value as the file writes it; the file's text into the field (the
  // rules of the field's type, and the clamp above); the value as a number
  // (0 for text) and back (text rows ignore it); the field's default;
  // whether two records hold the same value (without a copy: the frame path
  // compares records).
  std::string (*text)(const LogoSettings& record);
  void (*parse)(LogoSettings& record, std::string_view text, const SettingRow& row);
  int64_t (*value)(const LogoSettings& record);
  void (*setValue)(LogoSettings& record, int64_t value);
  void (*reset)(LogoSettings& record);
  bool (*same)(const LogoSettings& a, const LogoSettings& b);

  bool isDefault(const LogoSettings& record) const;
};

namespace setting_field {
// How each field type is written and read: text as it stands; unsigned
// keys wrap modulo 2^32, as the file has always held colours and flags;
// signed keys always written wrap likewise; signed keys written only when
// not default saturate, then clamp.
std::string textOf(const std::string& field);
std::string textOf(int32_t field);
std::string textOf(uint32_t field);
void parseInto(std::string& field, std::string_view text, const SettingRow& row);
void parseInto(int32_t& field, std::string_view text, const SettingRow& row);
void parseInto(uint32_t& field, std::string_view text, const SettingRow& row);
constexpr int64_t numberOf(const std::string&) { return 0; }
constexpr int64_t numberOf(int32_t field) { return field; }
constexpr int64_t numberOf(uint32_t field) { return field; }
inline void assign(std::string&, int64_t) {}
inline void assign(int32_t& field, int64_t value) { field = static_cast<int32_t>(value); }
inline void assign(uint32_t& field, int64_t value) { field = static_cast<uint32_t>(value); }

template <auto Field>
struct Access {
  static std::string text(const LogoSettings& r) { return textOf(r.*Field); }
  static void parse(LogoSettings& r, std::string_view t, const SettingRow& row) {
    parseInto(r.*Field, t, row);
  }
  static int64_t value(const LogoSettings& r) { return numberOf(r.*Field); }
  static void setValue(LogoSettings& r, int64_t v) { assign(r.*Field, v); }
  static void reset(LogoSettings& r) { r.*Field = LogoSettings().*Field; }
  static bool same(const LogoSettings& a, const LogoSettings& b) { return a.*Field == b.*Field; }
};
}  // namespace setting_field

template <auto Field>
constexpr SettingRow settingRow(const char* key, Written written = Written::Always,
                                int32_t min = INT32_MIN, int32_t max = INT32_MAX) {
  using Access = setting_field::Access<Field>;
  return {key,
          written,
          min,
          max,
          std::is_same_v<std::decay_t<decltype(LogoSettings().*Field)>, std::string>,
          &Access::text,
          &Access::parse,
          &Access::value,
          &Access::setValue,
          &Access::reset,
          &Access::same};
}

// Every key of a record, in the order they are read and written.
inline constexpr SettingRow kSettingRows[] = {
    settingRow<&LogoSettings::LogoFileName>("LogoFileName"),
    settingRow<&LogoSettings::LogoPosX>("LogoPosX"),
    settingRow<&LogoSettings::LogoPosY>("LogoPosY"),
    settingRow<&LogoSettings::LogoSizeX>("LogoSizeX"),
    settingRow<&LogoSettings::LogoSizeY>("LogoSizeY"),
    // Kept as written: the blend takes an opacity above 100 as full.
    settingRow<&LogoSettings::LogoOpacity>("LogoOpacity", Written::Always, 0, 100),
    settingRow<&LogoSettings::ShowLogo>("ShowLogo", Written::Always, 0, 1),
    settingRow<&LogoSettings::ColorKeyEnable>("ColorKeyEnable", Written::Always, 0, 1),
    settingRow<&LogoSettings::LeftTopPixelColor>("LeftTopPixelColor", Written::Always, 0, 1),
    settingRow<&LogoSettings::ColorKey>("ColorKey"),
    settingRow<&LogoSettings::KeyTolerance>("KeyTolerance", Written::WhenNotDefault, 0, 100),
    settingRow<&LogoSettings::KeySoftness>("KeySoftness", Written::WhenNotDefault, 0, 100),
    settingRow<&LogoSettings::VideoColors>("VideoColors", Written::WhenNotDefault, 0, 4),
    settingRow<&LogoSettings::FadeMs>("FadeMs", Written::WhenNotDefault, 0, 10000),
    settingRow<&LogoSettings::ShowEveryMinutes>("ShowEveryMinutes", Written::WhenNotDefault, 0, 1440),
    settingRow<&LogoSettings::ShowForSeconds>("ShowForSeconds", Written::WhenNotDefault, 1, 3600),
    settingRow<&LogoSettings::FollowFile>("FollowFile", Written::WhenNotDefault, 0, 1),
    settingRow<&LogoSettings::CoverMode>("CoverMode", Written::WhenNotDefault, 0, 3),
    settingRow<&LogoSettings::CoverStrength>("CoverStrength", Written::WhenNotDefault, 1, 64),
    settingRow<&LogoSettings::DriftPixels>("DriftPixels", Written::WhenNotDefault, 0, 32),
    settingRow<&LogoSettings::DriftMinutes>("DriftMinutes", Written::WhenNotDefault, 1, 60),
};
constexpr size_t kSettingsKeyCount = sizeof kSettingRows / sizeof kSettingRows[0];

// The index of `key`'s row; kSettingsKeyCount when no row has that name.
constexpr size_t settingIndex(std::string_view key) {
  for (size_t i = 0; i < kSettingsKeyCount; ++i)
    if (key == kSettingRows[i].key) return i;
  return kSettingsKeyCount;
}
// The row of `key`; null when no row has that name.
constexpr const SettingRow* findSettingRow(std::string_view key) {
  return settingIndex(key) < kSettingsKeyCount ? &kSettingRows[settingIndex(key)] : nullptr;
}

// Whether two records hold the same value in every key.
bool sameSettings(const LogoSettings& a, const LogoSettings& b);
// The value of one key as the settings file writes it.
inline std::string settingText(const LogoSettings& record, const SettingRow& row) {
  return row.text(record);
}
// A record's keys from `section` (ProfileStore::kNoSection: every default),
// and into the section being written.
void readRecord(ProfileStore& store, size_t section, LogoSettings& record);
void writeRecord(ProfileStore& store, const LogoSettings& record);

// What the file holds besides the plug-in's own keys, written back where it
// stood: nothing a user (or a newer plug-in) wrote is lost.
struct KeptText {
  struct Section {
    std::string lines;          // its lines that are not the plug-in's keys
    std::string sectionsAfter;  // sections the plug-in does not read that followed it
  };
  // A record's sections by layer number - 1.
  using Record = std::array<Section, kMaxLayers>;
  // The lines before the first section, then the sections the plug-in does
  // not read that come before any it reads.
  std::string leading;
  Record defaults;
  // What followed DEFAULT's sections that stood after COMMON: written after
  // COMMON's, so a second COMMON never comes before the one read.
  std::string defaultsAfterCommon;
  std::vector<Record> records;  // by channel table index: 0 is COMMON
};

// Everything the settings file holds.
struct StoredSettings {
  ChannelRecord defaultRecord;  // the DEFAULT section: the template of new channels
  bool hasDefaultSection = false;  // the file had one: it is written back
  int32_t dialogPosX = kDialogNeverPlaced;
  int32_t dialogPosY = kDialogNeverPlaced;
  int32_t privateSettings = 0;
  ChannelTable channelTable = ChannelTable(1);  // record 0 from COMMON
  KeptText kept;
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
// The same for a cover without a picture, a bare rectangle: each size into
// 0..1000, then the position rule.
void clampBareRectangle(LogoSettings& record);
// Natural pixel height of a newly chosen picture, width by its 4:3 aspect rule.
void applyInitialSize(LogoSettings& record, int32_t pictureWidth, int32_t pictureHeight,
                      int32_t frameHeight);

}  // namespace om
