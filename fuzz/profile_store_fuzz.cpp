// Arbitrary bytes as a settings file: load, save, load the saved text again.
// The second load must give the same settings, and saving them the same text;
// and nothing the user wrote may vanish: every section with a channel id is
// saved, in file order, DEFAULT first when the input had one, each record's
// layers after it in number order, every section the plug-in does not read
// after the one it followed, and every line that is not one of the
// plug-in's keys, in order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "settings/profile_store.h"
#include "settings/settings_model.h"

namespace {

using om::ChannelRecord;
using om::ProfileStore;
using om::StoredSettings;

bool sameRecord(const ChannelRecord& a, const ChannelRecord& b) {
  if (a.id != b.id || !om::sameSettings(a, b) || a.layers.size() != b.layers.size()) return false;
  for (size_t i = 0; i < a.layers.size(); ++i)
    if (a.layers[i].number != b.layers[i].number || !om::sameSettings(a.layers[i], b.layers[i])) return false;
  return true;
}

std::vector<const ChannelRecord*> savedRecords(const StoredSettings& settings) {
  std::vector<const ChannelRecord*> out;
  for (size_t i = 0; i < settings.channelTable.size(); ++i)
    if (i == 0 || settings.channelTable[i].id != 0) out.push_back(&settings.channelTable[i]);
  return out;
}

// A line as the store reads it: cut at a NUL, CRs at its end dropped.
std::string lineText(std::string line) {
  line = line.substr(0, line.find('\0'));
  while (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> out;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

// The name inside a header line, as the store sees it: the line's text
// trimmed to "[...]"; false for other lines.
bool headerName(const std::string& line, std::string& name) {
  const std::string t(om::trimBlanks(lineText(line)));
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
  name = std::string(om::trimBlanks(std::string_view(t).substr(1, t.size() - 2)));
  return true;
}

std::vector<std::string> headerNames(const std::string& text) {
  std::vector<std::string> out;
  std::string name;
  for (const std::string& line : splitLines(text))
    if (headerName(line, name)) out.push_back(name);
  return out;
}

bool isOwnKey(const std::string& key, bool common) {
  if (common && (key == "DlgWndPosX" || key == "DlgWndPosY" || key == "PrivateSettings")) return true;
  return om::settingIndex(key) < om::kSettingsKeyCount;
}

// What a save must write for `input`, by a walk of our own: the headers
// (DEFAULT first when it had one, COMMON, every channel but id 0 in file
// order, each followed by the sections that name no channel, or a second
// COMMON or DEFAULT, that followed it; those before any read section at the
// top), and every line that is not one of the plug-in's keys, in order.
struct Expected {
  std::vector<std::string> headers;
  std::vector<std::string> keptLines;
};

// One section the save writes (or a channel it drops), with what follows it.
struct Slot {
  std::string header;  // empty: not written (the top, a channel with id 0)
  std::vector<std::string> lines, afterHeaders, afterLines;
  // Its layer repeated further on: kept right after its lines.
  std::vector<std::string> repeatHeaders;
  Slot* after = this;  // where the sections that follow it go
  Slot* layers[om::kMaxLayers + 1] = {};  // 2..8: its layers' sections
};

Expected expectedFor(const std::string& input) {
  std::deque<Slot> slots;  // pointers stay valid as it grows
  Slot& top = slots.emplace_back();
  Slot& defaults = slots.emplace_back();
  Slot& common = slots.emplace_back();
  Slot& afterCommon = slots.emplace_back();  // what followed DEFAULT's sections after COMMON
  common.header = "COMMON";
  std::vector<Slot*> channels;
  std::vector<int64_t> channelIds;
  // First look: whether DEFAULT is there (its layers join it wherever
  // they stand), and every channel's id (likewise).
  bool anyDefault = false;
  {
    bool seenCommon = false;
    for (const std::string& name : headerNames(input)) {
      int64_t id = 0;
      if (name == "COMMON" && !seenCommon) seenCommon = true;
      else if (name == "DEFAULT") anyDefault = true;
      else if (name != "COMMON" && om::parseWholeDecimal(name, id)) channelIds.push_back(id);
    }
  }
  size_t nextChannel = 0;
  for (int64_t id : channelIds) {
    channels.push_back(&slots.emplace_back());
    if (id != 0) channels.back()->header = std::to_string(id);
  }
  // The record a layer section joins: COMMON always, DEFAULT when the file
  // has one, else the first channel of that id but 0; null: it is foreign.
  const auto layerOwner = [&](std::string_view base) -> Slot* {
    int64_t id = 0;
    if (base == "COMMON") return &common;
    if (base == "DEFAULT") return anyDefault ? &defaults : nullptr;
    if (!om::parseWholeDecimal(base, id) || id == 0) return nullptr;
    for (size_t c = 0; c < channelIds.size(); ++c)
      if (channelIds[c] == id) return channels[c];
    return nullptr;
  };
  Slot* slot = &top;
  bool hasDefault = false, hasCommon = false;
  Slot* repeated = nullptr;  // a layer read before, repeated: its lines go there
  bool inForeign = true, commonSection = false, keysEnded = false;
  for (const std::string& raw : splitLines(input)) {
    std::string name;
    if (headerName(raw, name)) {
      int64_t id = 0;
      std::string_view base;
      int32_t number = 0;
      inForeign = commonSection = keysEnded = false;
      repeated = nullptr;
      Slot* owner = nullptr;
      if (name == "COMMON" && !hasCommon) {
        hasCommon = commonSection = true;
        slot = &common;
      } else if (name == "DEFAULT" && !hasDefault) {
        hasDefault = true;
        defaults.header = "DEFAULT";
        slot = &defaults;
        if (hasCommon) slot->after = &afterCommon;
      } else if (name != "COMMON" && name != "DEFAULT" && om::parseWholeDecimal(name, id)) {
        slot = channels[nextChannel++];
      } else if (om::splitLayerName(name, base, number) && (owner = layerOwner(base)) &&
                 owner->layers[number]) {
        // A layer read before: kept right after its lines.
        inForeign = true;
        repeated = owner->layers[number];
        repeated->repeatHeaders.push_back(name);
        repeated->lines.push_back(raw);
      } else if (owner) {
        slot = owner->layers[number] = &slots.emplace_back();
        slot->header = (owner == &common ? "COMMON" : owner == &defaults ? "DEFAULT" : owner->header) +
                       "." + std::to_string(number);
        if (owner == &defaults && hasCommon) slot->after = &afterCommon;
      } else {
        inForeign = true;
        slot->after->afterHeaders.push_back(name);
        slot->after->afterLines.push_back(raw);
      }
      continue;
    }
    if (inForeign) {
      (repeated ? repeated->lines : slot->after->afterLines).push_back(raw);
      continue;
    }
    const std::string t(om::trimBlanks(lineText(raw)));
    if (!t.empty() && t.front() == '[') keysEnded = true;
    const size_t eq = t.find('=');
    const std::string key = eq == std::string::npos ? "" : std::string(om::trimBlanks(t.substr(0, eq)));
    if (keysEnded || key.empty() || !isOwnKey(key, commonSection)) slot->lines.push_back(raw);
  }
  Expected e;
  const auto addAfter = [&e](const Slot& s) {
    e.headers.insert(e.headers.end(), s.afterHeaders.begin(), s.afterHeaders.end());
    e.keptLines.insert(e.keptLines.end(), s.afterLines.begin(), s.afterLines.end());
  };
  const auto addOwn = [&e](const Slot& s) {
    e.headers.push_back(s.header);
    e.headers.insert(e.headers.end(), s.repeatHeaders.begin(), s.repeatHeaders.end());
    e.keptLines.insert(e.keptLines.end(), s.lines.begin(), s.lines.end());
  };
  // A record, then each layer, each with what followed it; a channel that is
  // not written (id 0) takes its lines (and has no layers).
  const auto addRecord = [&](const Slot& s) {
    if (!s.header.empty()) addOwn(s);
    addAfter(s);
    for (int32_t k = 2; k <= om::kMaxLayers; ++k)
      if (const Slot* layer = s.layers[k]) addOwn(*layer), addAfter(*layer);
  };
  addAfter(top);
  if (hasDefault) addRecord(defaults);
  addRecord(common);
  addAfter(afterCommon);
  for (const Slot* c : channels) addRecord(*c);
  return e;
}

std::string withoutCr(std::string line) {
  while (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// Whether `lines` appear in `text` in this order, line ends aside.
bool keptInOrder(const std::vector<std::string>& lines, const std::string& text) {
  const std::vector<std::string> saved = splitLines(text);
  size_t at = 0;
  for (const std::string& line : lines) {
    const std::string want = withoutCr(line);
    while (at < saved.size() && withoutCr(saved[at]) != want) ++at;
    if (at == saved.size()) return false;
    ++at;
  }
  return true;
}

struct Loaded {
  ProfileStore store;
  StoredSettings settings;
};

// No host callback: every channel record is kept, so nothing may vanish.
std::string loadThenSave(Loaded& state, std::string text, const char* lineEnd) {
  state.store.openInMemory(ProfileStore::Mode::Reading, std::move(text));
  om::readSettingsFromStore(state.store, state.settings);
  state.store.close();
  state.store.lineEnd = lineEnd;
  state.store.openInMemory(ProfileStore::Mode::Writing);
  om::writeSettingsToStore(state.store, state.settings, om::ChannelKnownFn());
  state.store.close();
  return state.store.text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Loaded first;
  static Loaded second;
  const char* lineEnd = size > 0 && (data[0] & 1) ? "\r\n" : "\n";
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string saved = loadThenSave(first, input, lineEnd);
  const Expected expected = expectedFor(input);
  if (headerNames(saved) != expected.headers || !keptInOrder(expected.keptLines, saved)) std::abort();
  const std::string again = loadThenSave(second, saved, lineEnd);
  if (again != saved) std::abort();
  const StoredSettings& a1 = first.settings;
  const StoredSettings& b1 = second.settings;
  if (a1.privateSettings != b1.privateSettings || a1.dialogPosX != b1.dialogPosX ||
      a1.dialogPosY != b1.dialogPosY || a1.hasDefaultSection != b1.hasDefaultSection ||
      !sameRecord(a1.defaultRecord, b1.defaultRecord))
    std::abort();
  // Records with id 0 after the common record are never saved (none can be
  // selected); every other record must come back, in order.
  const std::vector<const ChannelRecord*> a = savedRecords(a1);
  const std::vector<const ChannelRecord*> b = savedRecords(b1);
  if (a.size() != b.size()) std::abort();
  for (size_t i = 0; i < a.size(); ++i)
    if (!sameRecord(*a[i], *b[i])) std::abort();
  return 0;
}
