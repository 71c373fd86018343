// Arbitrary bytes as a settings file: load, save, load the saved text again.
// The second load must give the same settings, and saving them the same text.
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
  return a.id == b.id && a.LogoFileName == b.LogoFileName && a.LogoPosX == b.LogoPosX &&
         a.LogoPosY == b.LogoPosY && a.LogoSizeX == b.LogoSizeX && a.LogoSizeY == b.LogoSizeY &&
         a.LogoOpacity == b.LogoOpacity && a.ShowLogo == b.ShowLogo &&
         a.ColorKeyEnable == b.ColorKeyEnable && a.LeftTopPixelColor == b.LeftTopPixelColor &&
         a.ColorKey == b.ColorKey;
}

std::vector<const ChannelRecord*> savedRecords(const StoredSettings& settings) {
  std::vector<const ChannelRecord*> out;
  for (size_t i = 0; i < settings.channelTable.size(); ++i)
    if (i == 0 || settings.channelTable[i].id != 0) out.push_back(&settings.channelTable[i]);
  return out;
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
  const std::string saved =
      loadThenSave(first, std::string(reinterpret_cast<const char*>(data), size), lineEnd);
  const std::string again = loadThenSave(second, saved, lineEnd);
  if (again != saved) std::abort();
  const StoredSettings& a1 = first.settings;
  const StoredSettings& b1 = second.settings;
  if (a1.privateSettings != b1.privateSettings || a1.dialogPosX != b1.dialogPosX ||
      a1.dialogPosY != b1.dialogPosY)
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
