#include "settings/settings_model.h"

#include <algorithm>

#include "common/muldiv.h"

namespace om {

namespace {

const std::string kCommonSection = "COMMON";
const std::string kDefaultSection = "DEFAULT";

}  // namespace

namespace setting_field {

std::string textOf(const std::string& field) { return field; }
std::string textOf(int32_t field) { return std::to_string(field); }
std::string textOf(uint32_t field) { return std::to_string(field); }

void parseInto(std::string& field, std::string_view text, const SettingRow&) { field.assign(text); }

void parseInto(int32_t& field, std::string_view text, const SettingRow& row) {
  if (row.written == Written::Always) {
    field = static_cast<int32_t>(static_cast<uint32_t>(parseDecimalWrapping(text)));
    return;
  }
  field = static_cast<int32_t>(std::clamp<int64_t>(parseDecimalSaturating(text), row.min, row.max));
}

void parseInto(uint32_t& field, std::string_view text, const SettingRow&) {
  field = static_cast<uint32_t>(parseDecimalWrapping(text));
}

}  // namespace setting_field

bool SettingRow::isDefault(const LogoSettings& record) const {
  static const LogoSettings defaults;
  return same(record, defaults);
}

bool sameSettings(const LogoSettings& a, const LogoSettings& b) {
  for (const SettingRow& row : kSettingRows)
    if (!row.same(a, b)) return false;
  return true;
}

// A missing key, or one with an empty value, takes its default; a value
// without digits reads as 0.
void readRecord(ProfileStore& store, size_t section, LogoSettings& record) {
  std::string text;
  for (const SettingRow& row : kSettingRows) {
    if (store.readValue(section, row.key, text))
      row.parse(record, text, row);
    else
      row.reset(record);
  }
}

void writeRecord(ProfileStore& store, const LogoSettings& record) {
  for (const SettingRow& row : kSettingRows)
    if (row.written == Written::Always || !row.isDefault(record)) store.writeValue(row.key, row.text(record));
}

namespace {

// The keys of COMMON before the common record's own: signed 32-bit values.
int32_t readCommonKey(ProfileStore& store, size_t section, const char* key, int32_t defaultValue) {
  std::string text;
  if (!store.readValue(section, key, text)) return defaultValue;
  return static_cast<int32_t>(static_cast<uint32_t>(parseDecimalWrapping(text)));
}

}  // namespace

namespace {

const char* const kCommonOnlyKeys[] = {"DlgWndPosX", "DlgWndPosY", "PrivateSettings"};

bool isRecordKey(std::string_view key) { return settingIndex(key) < kSettingsKeyCount; }
bool isCommonKey(std::string_view key) {
  for (const char* own : kCommonOnlyKeys)
    if (key == own) return true;
  return isRecordKey(key);
}

}  // namespace

void readSettingsFromStore(ProfileStore& store, StoredSettings& settings) {
  const size_t defaults = store.findSection(kDefaultSection);
  settings.hasDefaultSection = defaults != ProfileStore::kNoSection;
  readRecord(store, defaults, settings.defaultRecord);
  settings.defaultRecord.id = 0;

  const size_t common = store.findSection(kCommonSection);
  settings.dialogPosX = readCommonKey(store, common, kCommonOnlyKeys[0], kDialogNeverPlaced);
  settings.dialogPosY = readCommonKey(store, common, kCommonOnlyKeys[1], kDialogNeverPlaced);
  settings.privateSettings = readCommonKey(store, common, kCommonOnlyKeys[2], 0);
  ChannelTable& table = settings.channelTable;
  table.assign(1, ChannelRecord());
  readRecord(store, common, table[0]);

  // Every channel section wherever it stands, above COMMON or without one,
  // each with the keys under its own header: "[ 3 ]" is channel 3 with its
  // keys, saved back as "[3]". Only a whole number names a channel; any other
  // section, a second COMMON or DEFAULT included, is kept as it stands after
  // the section read before it.
  KeptText& kept = settings.kept;
  kept = KeptText();
  kept.leading = store.leadingText();
  kept.defaultsFollowCommon = settings.hasDefaultSection && common != ProfileStore::kNoSection &&
                              defaults > common;
  const std::vector<ProfileStore::SectionHeader> sections = store.sectionHeaders();
  kept.records.reserve(sections.size() + 1);  // the pointers below stay valid
  kept.records.resize(1);
  std::string* after = &kept.leading;
  for (const ProfileStore::SectionHeader& section : sections) {
    KeptText::Section* read = nullptr;
    ChannelRecord record;
    if (section.start == common) {
      read = &kept.records[0];
      read->lines = store.keptLines(section.start, isCommonKey);
    } else if (section.start == defaults) {
      read = &kept.defaults;
      read->lines = store.keptLines(section.start, isRecordKey);
    } else if (const std::string_view name = trimBlanks(section.name);
               name != kCommonSection && name != kDefaultSection &&
               parseWholeDecimal(name, record.id)) {
      readRecord(store, section.start, record);
      table.push_back(std::move(record));
      read = &kept.records.emplace_back();
      read->lines = store.keptLines(section.start, isRecordKey);
    }
    if (read) {
      after = &read->sectionsAfter;
    } else {
      after->append(store.sectionText(section.start));
    }
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
                          const ChannelKnownFn& knownFn) {
  const ChannelTable& table = settings.channelTable;
  const KeptText& kept = settings.kept;
  static const KeptText::Section kNothing;
  const auto keptOf = [&](size_t index) -> const KeptText::Section& {
    return index < kept.records.size() ? kept.records[index] : kNothing;
  };
  store.writeVerbatim(kept.leading);
  // The user's template goes back where the user can edit it again.
  if (settings.hasDefaultSection) {
    store.writeSection(kDefaultSection);
    writeRecord(store, settings.defaultRecord);
    store.writeVerbatim(kept.defaults.lines);
    if (!kept.defaultsFollowCommon) store.writeVerbatim(kept.defaults.sectionsAfter);
  }
  store.writeSection(kCommonSection);
  store.writeInt(kCommonOnlyKeys[0], settings.dialogPosX);
  store.writeInt(kCommonOnlyKeys[1], settings.dialogPosY);
  store.writeInt(kCommonOnlyKeys[2], settings.privateSettings);
  writeRecord(store, table.empty() ? ChannelRecord() : table[0]);
  store.writeVerbatim(keptOf(0).lines);
  store.writeVerbatim(keptOf(0).sectionsAfter);
  if (kept.defaultsFollowCommon) store.writeVerbatim(kept.defaults.sectionsAfter);

  for (size_t i = 0; i < table.size(); ++i) {
    const ChannelRecord& record = table[i];
    // Without the host's callback every record is kept. The host is asked
    // about every record, the common one too, as it always was.
    const bool known = !knownFn || knownFn(record.id);
    if (i == 0) continue;
    // Id 0 is never written as a channel section: record 0 is in COMMON, and
    // any other record with id 0 can never be selected (record 0 matches it
    // first). Writing them would add one more such record at every start.
    if ((known || record.id == 1 || record.id == 2) && record.id != 0) {
      store.writeSection(record.id);
      writeRecord(store, record);
      store.writeVerbatim(keptOf(i).lines);  // a dropped channel takes its lines along
    }
    store.writeVerbatim(keptOf(i).sectionsAfter);
  }
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

void clampBareRectangle(LogoSettings& record) {
  record.LogoSizeX = record.LogoSizeX < 0 ? 0 : (record.LogoSizeX > 1000 ? 1000 : record.LogoSizeX);
  record.LogoSizeY = record.LogoSizeY < 0 ? 0 : (record.LogoSizeY > 1000 ? 1000 : record.LogoSizeY);
  if (record.LogoPosX < 0) record.LogoPosX = 0;
  if (record.LogoPosY < 0) record.LogoPosY = 0;
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
