// Arbitrary bytes as a settings file: load, save, load the saved text again.
// The second load must give the same settings, and saving them the same text;
// and nothing the user wrote may vanish: every section with a channel id is
// saved, in file order, DEFAULT first when the input had one, and every
// section that names no channel after them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
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

// The name inside a header line, as the store sees it: the line cut at a
// NUL, CRs at its end dropped, trimmed to "[...]"; false for other lines.
bool headerName(std::string line, std::string& name) {
  line = line.substr(0, line.find('\0'));
  while (!line.empty() && line.back() == '\r') line.pop_back();
  const std::string t(om::trimBlanks(line));
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
  name = std::string(om::trimBlanks(std::string_view(t).substr(1, t.size() - 2)));
  return true;
}

std::vector<std::string> headerNames(const std::string& text) {
  std::vector<std::string> out;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string name;
    if (headerName(text.substr(start, end - start), name)) out.push_back(name);
    start = end + 1;
  }
  return out;
}

// The sections a save must write for `input`, by a walk of our own: DEFAULT
// first when it had one, COMMON, every channel but id 0 in file order, then
// every section that names no channel, as it stood.
std::vector<std::string> expectedHeaders(const std::string& input) {
  std::vector<std::string> channels{"COMMON"}, foreign;
  bool hasDefault = false;
  for (const std::string& name : headerNames(input)) {
    if (name == "DEFAULT") hasDefault = true;
    if (name == "COMMON" || name == "DEFAULT") continue;
    int64_t id = 0;
    if (!om::parseWholeDecimal(name, id))
      foreign.push_back(name);
    else if (id != 0)
      channels.push_back(std::to_string(id));
  }
  if (hasDefault) channels.insert(channels.begin(), "DEFAULT");
  channels.insert(channels.end(), foreign.begin(), foreign.end());
  return channels;
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
  if (headerNames(saved) != expectedHeaders(input)) std::abort();
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
