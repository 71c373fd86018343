#include "settings/settings_model.h"

#include <algorithm>
#include <map>

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

namespace {

// One section as the load reads it: a record's layer, or foreign.
struct SectionRole {
  ChannelRecord* record = nullptr;  // null: not read, kept as it stands
  KeptText::Record* kept = nullptr;
  int32_t layer = 1;
  bool defaultsAfterCommon = false;  // what follows it waits for COMMON's block
  // A layer read before: this one is kept as it stands right after that
  // one's lines, so a save never puts it first.
  const SectionRole* repeats = nullptr;
  std::string* lines = nullptr;  // the kept lines of a section read
};

// Layer `number` (2..8) of `record` read from `section`, in number order;
// false when the record already has that layer.
bool readLayer(ProfileStore& store, size_t section, ChannelRecord& record, int32_t number) {
  if (findLayer(record, number)) return false;
  LayerSettings layer;
  layer.number = number;
  readRecord(store, section, layer);
  auto at = record.layers.begin();
  while (at != record.layers.end() && at->number < number) ++at;
  record.layers.insert(at, std::move(layer));
  return true;
}

// The sections of a file in three passes: the channel records, in file
// order; what each section is (a record's layer, or foreign); and the text
// the plug-in does not own, where it goes back.
struct SectionReader {
  ProfileStore& store;
  StoredSettings& settings;
  const std::vector<ProfileStore::SectionHeader> sections;
  const size_t common, defaults;
  std::vector<SectionRole> roles = std::vector<SectionRole>(sections.size());

  bool namesChannel(size_t i, int64_t& id) const {
    const std::string_view name = trimBlanks(sections[i].name);
    return sections[i].start != common && sections[i].start != defaults && name != kCommonSection &&
           name != kDefaultSection && parseWholeDecimal(name, id);
  }

  void readChannels() {
    settings.kept.records.resize(1);
    for (size_t i = 0; i < sections.size(); ++i) {
      ChannelRecord record;
      if (!namesChannel(i, record.id)) continue;
      readRecord(store, sections[i].start, record);
      settings.channelTable.push_back(std::move(record));
      settings.kept.records.emplace_back();
    }
  }

  // Pointers into the table from here on: it no longer grows.
  void assignRoles() {
    ChannelTable& table = settings.channelTable;
    KeptText& kept = settings.kept;
    std::map<std::pair<const ChannelRecord*, int32_t>, const SectionRole*> layersRead;
    std::map<int64_t, size_t> firstOfId;  // a layer joins the first record of its channel
    for (size_t r = table.size(); r-- > 1;) firstOfId[table[r].id] = r;
    for (size_t i = 0, channel = 1; i < sections.size(); ++i) {
      const size_t start = sections[i].start;
      SectionRole& role = roles[i];
      int64_t id = 0;
      std::string_view base;
      int32_t number = 0;
      if (start == common) {
        role.record = &table[0];
        role.kept = &kept.records[0];
      } else if (start == defaults) {
        role.record = &settings.defaultRecord;
        role.kept = &kept.defaults;
        role.defaultsAfterCommon = common != ProfileStore::kNoSection && start > common;
      } else if (namesChannel(i, id)) {
        role.record = &table[channel];
        role.kept = &kept.records[channel++];
      } else if (splitLayerName(trimBlanks(sections[i].name), base, number)) {
        // A layer joins its record wherever either stands; one whose record
        // has no section, or that repeats a layer, is kept as it stands.
        ChannelRecord* owner = nullptr;
        KeptText::Record* ownerKept = nullptr;
        if (base == kCommonSection) {
          owner = &table[0];
          ownerKept = &kept.records[0];
        } else if (base == kDefaultSection) {
          if (settings.hasDefaultSection) {
            owner = &settings.defaultRecord;
            ownerKept = &kept.defaults;
            role.defaultsAfterCommon = common != ProfileStore::kNoSection && start > common;
          }
        } else if (parseWholeDecimal(base, id) && id != 0) {
          if (const auto first = firstOfId.find(id); first != firstOfId.end()) {
            owner = &table[first->second];
            ownerKept = &kept.records[first->second];
          }
        }
        if (owner && readLayer(store, start, *owner, number)) {
          role.record = owner;
          role.kept = ownerKept;
          role.layer = number;
          layersRead[{owner, number}] = &role;
        } else if (owner) {
          role.repeats = layersRead[{owner, number}];
        }
      }
    }
  }

  void keepText() {
    KeptText& kept = settings.kept;
    std::string* after = &kept.leading;
    for (size_t i = 0; i < sections.size(); ++i) {
      SectionRole& role = roles[i];
      if (!role.record) {
        (role.repeats ? role.repeats->lines : after)->append(store.sectionText(sections[i].start));
        continue;
      }
      KeptText::Section& section = (*role.kept)[static_cast<size_t>(role.layer - 1)];
      const bool commonKeys = role.record == &settings.channelTable[0] && role.layer == 1;
      section.lines = store.keptLines(sections[i].start, commonKeys ? isCommonKey : isRecordKey);
      role.lines = &section.lines;
      after = role.defaultsAfterCommon ? &kept.defaultsAfterCommon : &section.sectionsAfter;
    }
  }
};

}  // namespace

void readSettingsFromStore(ProfileStore& store, StoredSettings& settings) {
  const size_t defaults = store.findSection(kDefaultSection);
  settings.hasDefaultSection = defaults != ProfileStore::kNoSection;
  readRecord(store, defaults, settings.defaultRecord);
  settings.defaultRecord.id = 0;
  settings.defaultRecord.layers.clear();

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
  settings.kept = KeptText();
  settings.kept.leading = store.leadingText();
  SectionReader reader{store, settings, store.sectionHeaders(), common, defaults};
  reader.readChannels();
  reader.assignRoles();
  reader.keepText();
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

namespace {

// A record's sections, layer 1 first, each with its kept lines, each
// followed by the sections that followed it in the file; a record not
// written still writes those followers. `header` writes layer 1's header and
// the keys before the record's own.
template <typename Header>
void writeRecordSections(ProfileStore& store, const ChannelRecord& record, const std::string& name,
                         const KeptText::Record& kept, bool written, Header&& header) {
  if (written) {
    header();
    writeRecord(store, record);
    store.writeVerbatim(kept[0].lines);
  }
  store.writeVerbatim(kept[0].sectionsAfter);
  for (int32_t number = 2; number <= kMaxLayers; ++number) {
    const KeptText::Section& section = kept[static_cast<size_t>(number - 1)];
    const LogoSettings* layer = findLayer(record, number);
    if (written && layer) {
      store.writeSection(name + "." + std::to_string(number));
      writeRecord(store, *layer);
      store.writeVerbatim(section.lines);  // a layer deleted takes its lines along
    }
    store.writeVerbatim(section.sectionsAfter);
  }
}

}  // namespace

void writeSettingsToStore(ProfileStore& store, const StoredSettings& settings,
                          const ChannelKnownFn& knownFn) {
  const ChannelTable& table = settings.channelTable;
  const KeptText& kept = settings.kept;
  static const KeptText::Record kNothing;
  const auto keptOf = [&](size_t index) -> const KeptText::Record& {
    return index < kept.records.size() ? kept.records[index] : kNothing;
  };
  store.writeVerbatim(kept.leading);
  // The user's template goes back where the user can edit it again.
  if (settings.hasDefaultSection)
    writeRecordSections(store, settings.defaultRecord, kDefaultSection, kept.defaults, true,
                        [&] { store.writeSection(kDefaultSection); });
  static const ChannelRecord kDefaults;
  writeRecordSections(store, table.empty() ? kDefaults : table[0], kCommonSection, keptOf(0), true,
                      [&] {
                        store.writeSection(kCommonSection);
                        store.writeInt(kCommonOnlyKeys[0], settings.dialogPosX);
                        store.writeInt(kCommonOnlyKeys[1], settings.dialogPosY);
                        store.writeInt(kCommonOnlyKeys[2], settings.privateSettings);
                      });
  store.writeVerbatim(kept.defaultsAfterCommon);

  for (size_t i = 0; i < table.size(); ++i) {
    const ChannelRecord& record = table[i];
    // Without the host's callback every record is kept. The host is asked
    // about every record, the common one too, as it always was.
    const bool known = !knownFn || knownFn(record.id);
    if (i == 0) continue;
    // Id 0 is never written as a channel section: record 0 is in COMMON, and
    // any other record with id 0 can never be selected (record 0 matches it
    // first). Writing them would add one more such record at every start.
    // A dropped channel takes its lines and layers along.
    const bool written = (known || record.id == 1 || record.id == 2) && record.id != 0;
    const std::string name = std::to_string(record.id);
    writeRecordSections(store, record, name, keptOf(i), written,
                        [&] { store.writeSection(record.id); });
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

LogoSettings* findLayer(ChannelRecord& record, int32_t number) {
  return const_cast<LogoSettings*>(findLayer(static_cast<const ChannelRecord&>(record), number));
}

const LogoSettings* findLayer(const ChannelRecord& record, int32_t number) {
  if (number == 1) return &record;
  for (const LayerSettings& layer : record.layers)
    if (layer.number == number) return &layer;
  return nullptr;
}

int32_t addLayer(ChannelRecord& record) {
  int32_t number = 2;
  auto at = record.layers.begin();
  for (; at != record.layers.end() && at->number == number; ++at) ++number;
  if (number > kMaxLayers) return 0;
  LayerSettings layer;
  layer.number = number;
  record.layers.insert(at, layer);
  return number;
}

bool removeLayer(ChannelRecord& record, int32_t number) {
  for (auto at = record.layers.begin(); at != record.layers.end(); ++at)
    if (at->number == number) {
      record.layers.erase(at);
      return true;
    }
  return false;
}

bool splitLayerName(std::string_view name, std::string_view& base, int32_t& number) {
  const size_t dot = name.find('.');
  if (dot == std::string_view::npos || dot + 2 != name.size()) return false;
  const char digit = name[dot + 1];
  if (digit < '2' || digit > '0' + kMaxLayers) return false;
  base = name.substr(0, dot);
  number = digit - '0';
  return !base.empty();
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
