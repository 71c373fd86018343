// What the plug-in remembers per channel, the table of records, and the
// rules that load, save, select and clamp them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "settings/profile_store.h"

namespace om {

struct PluginState;

// Field names are the INI keys.
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

// The ten keys of a record, in the order they are read and written, bound
// to the fields of `io` (the state's ioRecord).
constexpr size_t kSettingsKeyCount = 10;
struct SettingsKeyTable {
  explicit SettingsKeyTable(LogoSettings& io);
  SettingsKey rows[kSettingsKeyCount];
};

// PluginInit: the whole file into defaultRecord, the dialog position,
// privateSettings and the channel table (common record first). A missing or
// unreadable file gives defaults.
void loadSettings(PluginState& state);
// PluginShutdown: the whole table back to the file, keeping the records the
// host still knows (ids 1 and 2 always). A failed save keeps the old file.
void saveSettings(PluginState& state);
// The same two without opening or closing: the store is already open for
// reading, or for writing.
void readSettingsFromStore(PluginState& state);
void writeSettingsToStore(PluginState& state);

// Sets currentIndex for currentChannelId, appending a record made from
// defaultRecord for a channel seen for the first time.
void selectChannelRecord(PluginState& state);

// Keeps position and size inside the frame (picture size in pixels).
void clampPositionAndSize(LogoSettings& record, int32_t pictureWidth, int32_t pictureHeight);
// Natural pixel height of a newly chosen picture, width by its 4:3 aspect rule.
void applyInitialSize(LogoSettings& record, int32_t pictureWidth, int32_t pictureHeight,
                      int32_t frameHeight);

}  // namespace om
