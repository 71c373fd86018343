#include "settings/settings_model.h"

#include "common/muldiv.h"
#include "plugin/plugin_state.h"

namespace om {

namespace {

const std::string kCommonSection = "COMMON";
const std::string kDefaultSection = "DEFAULT";
constexpr int32_t kDialogNeverPlaced = -100;

void resetToDefaults(PluginState& state) {
  state.defaultRecord = ChannelRecord();
  state.channelTable.assign(1, ChannelRecord());
  state.currentIndex = 0;
  state.privateSettings = 0;
  state.dialog.dialogPosX = kDialogNeverPlaced;
  state.dialog.dialogPosY = kDialogNeverPlaced;
}

}  // namespace

SettingsKeyTable::SettingsKeyTable(LogoSettings& io)
    : rows{
          {kValueString, "LogoFileName", &io.LogoFileName, 0, ""},
          {kValueInt32, "LogoPosX", &io.LogoPosX, 0, nullptr},
          {kValueInt32, "LogoPosY", &io.LogoPosY, 0, nullptr},
          {kValueInt32, "LogoSizeX", &io.LogoSizeX, 0, nullptr},
          {kValueInt32, "LogoSizeY", &io.LogoSizeY, 0, nullptr},
          {kValueInt32, "LogoOpacity", &io.LogoOpacity, 60, nullptr},
          {kValueUInt32, "ShowLogo", &io.ShowLogo, 1, nullptr},
          {kValueUInt32, "ColorKeyEnable", &io.ColorKeyEnable, 0, nullptr},
          {kValueUInt32, "LeftTopPixelColor", &io.LeftTopPixelColor, 1, nullptr},
          {kValueColor, "ColorKey", &io.ColorKey, 0, nullptr},
      } {}

void readSettingsFromStore(PluginState& state) {
  ProfileStore& store = state.store;
  const SettingsKeyTable keys(state.ioRecord);

  store.readKeyTable(kDefaultSection, keys.rows, kSettingsKeyCount);
  state.defaultRecord = state.ioRecord;
  state.defaultRecord.id = 0;

  store.readInt(kCommonSection, "DlgWndPosX", state.dialog.dialogPosX, kDialogNeverPlaced);
  store.readInt(kCommonSection, "DlgWndPosY", state.dialog.dialogPosY, kDialogNeverPlaced);
  store.readInt(kCommonSection, "PrivateSettings", state.privateSettings, 0);

  state.channelTable.clear();
  state.currentIndex = 0;
  store.readKeyTable(kCommonSection, keys.rows, kSettingsKeyCount);
  state.ioRecord.id = 0;
  state.channelTable.push_back(state.ioRecord);

  // Every section after COMMON, in file order: the enumeration resumes after
  // the header that the last search found.
  std::string name;
  while (store.nextSection(name)) {
    store.readKeyTable(name, keys.rows, kSettingsKeyCount);
    state.ioRecord.id = static_cast<int64_t>(parseDecimalWrapping(name));
    state.channelTable.push_back(state.ioRecord);
  }
}

void loadSettings(PluginState& state) {
  resetToDefaults(state);
  try {
    // A failed open leaves the store closed: every read below yields its
    // default and the enumeration ends at once.
    state.store.open(ProfileStore::Mode::Reading);
    readSettingsFromStore(state);
    state.store.close();
  } catch (...) {
    // Out of memory on an absurd file: run on defaults and leave the file
    // alone at shutdown.
    state.store.discard();
    state.store.loadIncomplete = true;
    resetToDefaults(state);
  }
}

void writeSettingsToStore(PluginState& state) {
  ProfileStore& store = state.store;
  const SettingsKeyTable keys(state.ioRecord);

  store.writeSection(kCommonSection);
  store.writeInt("DlgWndPosX", state.dialog.dialogPosX);
  store.writeInt("DlgWndPosY", state.dialog.dialogPosY);
  store.writeInt("PrivateSettings", state.privateSettings);
  state.ioRecord = state.channelTable.empty() ? ChannelRecord() : state.channelTable[0];
  store.writeKeyTable(keys.rows, kSettingsKeyCount);

  for (size_t i = 0; i < state.channelTable.size(); ++i) {
    const ChannelRecord& record = state.channelTable[i];
    // Without the host's callback every record is kept.
    const int32_t known = state.channelExists ? state.channelExists(record.id) : 1;
    if (known == 0 && record.id != 1 && record.id != 2) continue;
    // Id 0 is never written as a channel section: record 0 is in COMMON, and
    // any other record with id 0 can never be selected (record 0 matches it
    // first). Writing them would add one more such record at every start.
    if (record.id == 0) continue;
    store.writeSection(record.id);
    state.ioRecord = record;
    store.writeKeyTable(keys.rows, kSettingsKeyCount);
  }
}

void saveSettings(PluginState& state) {
  // A file that could not be read at start-up still holds settings nobody
  // has seen; replacing it with this run's defaults would lose them.
  if (state.store.loadIncomplete) return;
  try {
    if (!state.store.open(ProfileStore::Mode::Writing)) return;
    writeSettingsToStore(state);
    // Replaces the file in one step; a failure leaves the old one intact and
    // is not reported.
    state.store.close();
  } catch (...) {
    state.store.discard();
  }
}

void selectChannelRecord(PluginState& state) {
  state.currentIndex = 0;
  if (state.privateSettings == 0) return;
  ChannelTable& table = state.channelTable;
  for (size_t i = 0; i < table.size(); ++i) {
    if (table[i].id == state.currentChannelId) {
      state.currentIndex = static_cast<int32_t>(i);
      return;
    }
  }
  ChannelRecord record = state.defaultRecord;
  record.id = state.currentChannelId;
  table.push_back(record);
  state.currentIndex = static_cast<int32_t>(table.size() - 1);
  // The backup taken when the dialog opened gets the record at the same
  // index, so a cancelled dialog keeps channels first seen while it was open.
  if (state.dialog.hasWindow()) state.channelTableBackup.push_back(record);
}

void clampPositionAndSize(LogoSettings& record, int32_t pictureWidth, int32_t pictureHeight) {
  // The factors 3 and 4 turn the picture's aspect into thousandths of a 4:3
  // frame: a square picture of full height is 750 wide.
  if (record.LogoSizeY > 1000) {
    record.LogoSizeY = 1000;
    record.LogoSizeX = MulDiv(MulDiv(1000, pictureWidth, pictureHeight), 3, 4);
  }
  if (record.LogoSizeX > 1000) {
    record.LogoSizeX = 1000;
    record.LogoSizeY = MulDiv(MulDiv(1000, pictureHeight, pictureWidth), 4, 3);
  }
  if (record.LogoPosX < 0) record.LogoPosX = 0;
  if (record.LogoPosY < 0) record.LogoPosY = 0;
  // Sums in 64 bits: a hand-edited position near 2^31 must not overflow.
  // When a step applies, 1000 - size lies in [0, position): it fits.
  if (int64_t{record.LogoPosX} + record.LogoSizeX > 1000) record.LogoPosX = 1000 - record.LogoSizeX;
  if (int64_t{record.LogoPosY} + record.LogoSizeY > 1000) record.LogoPosY = 1000 - record.LogoSizeY;
}

void applyInitialSize(LogoSettings& record, int32_t pictureWidth, int32_t pictureHeight,
                      int32_t frameHeight) {
  // The picture's own pixel height in thousandths of the frame height.
  record.LogoSizeY = MulDiv(pictureHeight, 1000, frameHeight);
  record.LogoSizeX = MulDiv(MulDiv(record.LogoSizeY, pictureWidth, pictureHeight), 3, 4);
}

}  // namespace om
