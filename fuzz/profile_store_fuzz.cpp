// Arbitrary bytes as a settings file: load, save, load the saved text again.
// The second load must give the same settings, and saving them the same text;
// and nothing the user wrote may vanish: every section with a channel id is
// saved, in file order, DEFAULT first when the input had one, every section
// the plug-in does not read after the one it followed, and every line that
// is not one of the plug-in's keys, in order.
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
  return a.id == b.id && om::sameSettings(a, b);
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
};

Expected expectedFor(const std::string& input) {
  Slot top, defaults, common;
  common.header = "COMMON";
  std::deque<Slot> channels;  // the pointer below stays valid as it grows
  Slot* slot = &top;
  bool hasDefault = false, hasCommon = false, defaultFollowsCommon = false;
  bool inForeign = true, commonSection = false, keysEnded = false;
  for (const std::string& raw : splitLines(input)) {
    std::string name;
    if (headerName(raw, name)) {
      int64_t id = 0;
      inForeign = commonSection = keysEnded = false;
      if (name == "COMMON" && !hasCommon) {
        hasCommon = commonSection = true;
        slot = &common;
      } else if (name == "DEFAULT" && !hasDefault) {
        hasDefault = true;
        defaultFollowsCommon = hasCommon;
        defaults.header = "DEFAULT";
        slot = &defaults;
      } else if (name != "COMMON" && name != "DEFAULT" && om::parseWholeDecimal(name, id)) {
        slot = &channels.emplace_back();
        if (id != 0) slot->header = std::to_string(id);
      } else {
        inForeign = true;
        slot->afterHeaders.push_back(name);
        slot->afterLines.push_back(raw);
      }
      continue;
    }
    if (inForeign) {
      slot->afterLines.push_back(raw);
      continue;
    }
    const std::string t(om::trimBlanks(lineText(raw)));
    if (!t.empty() && t.front() == '[') keysEnded = true;
    const size_t eq = t.find('=');
    const std::string key = eq == std::string::npos ? "" : std::string(om::trimBlanks(t.substr(0, eq)));
    if (keysEnded || key.empty() || !isOwnKey(key, commonSection)) slot->lines.push_back(raw);
  }
  Expected e;
  const auto addOwn = [&e](const Slot& s) {
    // A channel that is not written (id 0) takes its lines along.
    if (s.header.empty()) return;
    e.headers.push_back(s.header);
    e.keptLines.insert(e.keptLines.end(), s.lines.begin(), s.lines.end());
  };
  const auto addAfter = [&e](const Slot& s) {
    e.headers.insert(e.headers.end(), s.afterHeaders.begin(), s.afterHeaders.end());
    e.keptLines.insert(e.keptLines.end(), s.afterLines.begin(), s.afterLines.end());
  };
  const auto add = [&](const Slot& s) { addOwn(s), addAfter(s); };
  add(top);
  // DEFAULT is written first; what followed it, when it stood after COMMON,
  // goes after COMMON's followers, so no second COMMON comes first.
  if (hasDefault) addOwn(defaults);
  if (hasDefault && !defaultFollowsCommon) addAfter(defaults);
  add(common);
  if (hasDefault && defaultFollowsCommon) addAfter(defaults);
  for (const Slot& s : channels) add(s);
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
