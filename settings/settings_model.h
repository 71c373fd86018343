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
};

struct ChannelRecord : LogoSettings {
  int64_t id = 0;
};

// Records in insertion order; index 0 is the common record. Never shrinks
// while the plug-in runs, so an index stays valid.
using ChannelTable = std::vector<ChannelRecord>;

// The dialog position of a dialog that was never placed.
constexpr int32_t kDialogNeverPlaced = -100;

// The ten keys of a record, in the order they are read and written, bound
// to the fields of `io`; their defaults are LogoSettings' own.
constexpr size_t kSettingsKeyCount = 10;
struct SettingsKeyTable {
  explicit SettingsKeyTable(LogoSettings& io);
  SettingsKey rows[kSettingsKeyCount];
};

// Everything the settings file holds.
struct StoredSettings {
  ChannelRecord defaultRecord;  // the DEFAULT section: the template of new channels
  bool hasDefaultSection = false;  // the file had one: it is written back
  int32_t dialogPosX = kDialogNeverPlaced;
  int32_t dialogPosY = kDialogNeverPlaced;
  int32_t privateSettings = 0;
  ChannelTable channelTable = ChannelTable(1);  // record 0 from COMMON
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
