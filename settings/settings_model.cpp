#include "settings/settings_model.h"

#include "common/muldiv.h"

namespace om {

namespace {

const std::string kCommonSection = "COMMON";
const std::string kDefaultSection = "DEFAULT";

}  // namespace

SettingsKeyTable::SettingsKeyTable(LogoSettings& io) : rows{} {
  static const LogoSettings d;
  for (size_t i = 0; i < kSettingsKeyCount; ++i) {
    const SettingRow& row = kSettingRows[i];
    SettingsKey& key = rows[i];
    key.type = row.type;
    key.name = row.key;
    key.optional = row.optional;
    key.minValue = row.min;
    key.maxValue = row.max;
    if (row.text) {
      key.target = &(io.*row.text);
      key.defaultText = (d.*row.text).c_str();
    } else if (row.number) {
      key.target = &(io.*row.number);
      key.defaultValue = d.*row.number;
    } else {
      key.target = &(io.*row.bits);
      key.defaultValue = d.*row.bits;
    }
  }
}

bool sameSettings(const LogoSettings& a, const LogoSettings& b) {
  for (const SettingRow& row : kSettingRows) {
    if (row.text ? a.*row.text != b.*row.text
                 : row.number ? a.*row.number != b.*row.number : a.*row.bits != b.*row.bits)
      return false;
  }
  return true;
}

std::string settingText(const LogoSettings& record, const SettingRow& row) {
  if (row.text) return record.*row.text;
  return row.number ? std::to_string(record.*row.number) : std::to_string(record.*row.bits);
}

namespace {

// The keys of COMMON before the common record's own.
struct CommonKeyTable {
  explicit CommonKeyTable(StoredSettings& io)
      : rows{{kValueInt32, "DlgWndPosX", &io.dialogPosX, kDialogNeverPlaced, nullptr},
             {kValueInt32, "DlgWndPosY", &io.dialogPosY, kDialogNeverPlaced, nullptr},
             {kValueInt32, "PrivateSettings", &io.privateSettings, 0, nullptr}} {}
  SettingsKey rows[3];
};

}  // namespace

void readSettingsFromStore(ProfileStore& store, StoredSettings& settings) {
  ChannelRecord io;
  const SettingsKeyTable keys(io);

  const size_t defaults = store.findSection(kDefaultSection);
  settings.hasDefaultSection = defaults != ProfileStore::kNoSection;
  store.readKeyTable(defaults, keys.rows, kSettingsKeyCount);
  settings.defaultRecord = io;
  settings.defaultRecord.id = 0;

  const size_t common = store.findSection(kCommonSection);
  const CommonKeyTable commonKeys(settings);
  store.readKeyTable(common, commonKeys.rows, 3);
  ChannelTable& table = settings.channelTable;
  table.clear();
  store.readKeyTable(common, keys.rows, kSettingsKeyCount);
  io.id = 0;
  table.push_back(io);

  // Every channel section wherever it stands, above COMMON or without one,
  // each with the keys under its own header: "[ 3 ]" is channel 3 with its
  // keys, saved back as "[3]". Only a whole number names a channel.
  settings.foreignSections.clear();
  for (const ProfileStore::SectionHeader& section : store.sectionHeaders()) {
    const std::string_view name = trimBlanks(section.name);
    if (name == kCommonSection || name == kDefaultSection) continue;
    if (!parseWholeDecimal(name, io.id)) {
      settings.foreignSections.emplace_back(store.sectionText(section.start));
      continue;
    }
    store.readKeyTable(section.start, keys.rows, kSettingsKeyCount);
    table.push_back(io);
  }
}

void loadSettingsFile(ProfileStore& store, StoredSettings& settings) {
  settings = StoredSettings();
  try {
    // A failed open leaves the store closed: every read below yields its
    // default and the enumeration ends at once.
    store.open(ProfileStore::Mode::Reading);
    readSettingsFromStore(store, settings);
    store.close();
  } catch (...) {
    // Out of memory on an absurd file: run on defaults and leave the file
    // alone at shutdown.
    store.discard();
    store.loadIncomplete = true;
    settings = StoredSettings();
  }
}

void writeSettingsToStore(ProfileStore& store, const StoredSettings& settings,
                          const ChannelKnownFn& known) {
  ChannelRecord io;
  const SettingsKeyTable keys(io);
  const ChannelTable& table = settings.channelTable;

  // The user's template goes back where the user can edit it again.
  if (settings.hasDefaultSection) {
    store.writeSection(kDefaultSection);
    io = settings.defaultRecord;
    store.writeKeyTable(keys.rows, kSettingsKeyCount);
  }
  store.writeSection(kCommonSection);
  // Writing only reads the fields the rows point at.
  const CommonKeyTable commonKeys(const_cast<StoredSettings&>(settings));
  store.writeKeyTable(commonKeys.rows, 3);
  io = table.empty() ? ChannelRecord() : table[0];
  store.writeKeyTable(keys.rows, kSettingsKeyCount);

  for (const ChannelRecord& record : table) {
    // Without the host's callback every record is kept.
    const bool keep = !known || known(record.id);
    if (!keep && record.id != 1 && record.id != 2) continue;
    // Id 0 is never written as a channel section: record 0 is in COMMON, and
    // any other record with id 0 can never be selected (record 0 matches it
    // first). Writing them would add one more such record at every start.
    if (record.id == 0) continue;
    store.writeSection(record.id);
    io = record;
    store.writeKeyTable(keys.rows, kSettingsKeyCount);
  }
  for (const std::string& section : settings.foreignSections) store.writeVerbatim(section);
}

void saveSettingsFile(ProfileStore& store, const StoredSettings& settings,
                      const ChannelKnownFn& known) {
  // A file that could not be read at start-up still holds settings nobody
  // has seen; replacing it with this run's defaults would lose them.
  if (store.loadIncomplete) return;
  try {
    if (!store.open(ProfileStore::Mode::Writing)) return;
    writeSettingsToStore(store, settings, known);
    // Replaces the file in one step; a failure leaves the old one intact and
    // is not reported.
    store.close();
  } catch (...) {
    store.discard();
  }
}

int32_t findChannelRecord(ChannelTable& table, const ChannelRecord& defaultRecord,
                          int64_t channelId, int32_t privateSettings, bool& appended) {
  appended = false;
  if (privateSettings == 0) return 0;
  for (size_t i = 0; i < table.size(); ++i)
    if (table[i].id == channelId) return static_cast<int32_t>(i);
  ChannelRecord record = defaultRecord;
  record.id = channelId;
  table.push_back(record);
  appended = true;
  return static_cast<int32_t>(table.size() - 1);
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
