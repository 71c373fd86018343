// Arbitrary bytes as a settings file: load, save, load the saved text again.
// The second load must give the same settings, and saving them the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "plugin/plugin_state.h"
#include "settings/settings_model.h"

namespace {

using om::ChannelRecord;
using om::PluginState;
using om::ProfileStore;

bool sameRecord(const ChannelRecord& a, const ChannelRecord& b) {
  return a.id == b.id && a.LogoFileName == b.LogoFileName && a.LogoPosX == b.LogoPosX &&
         a.LogoPosY == b.LogoPosY && a.LogoSizeX == b.LogoSizeX && a.LogoSizeY == b.LogoSizeY &&
         a.LogoOpacity == b.LogoOpacity && a.ShowLogo == b.ShowLogo &&
         a.ColorKeyEnable == b.ColorKeyEnable && a.LeftTopPixelColor == b.LeftTopPixelColor &&
         a.ColorKey == b.ColorKey;
}

std::vector<const ChannelRecord*> savedRecords(const PluginState& state) {
  std::vector<const ChannelRecord*> out;
  for (size_t i = 0; i < state.channelTable.size(); ++i)
    if (i == 0 || state.channelTable[i].id != 0) out.push_back(&state.channelTable[i]);
  return out;
}

// No host callback: every channel record is kept, so nothing may vanish.
std::string loadThenSave(PluginState& state, std::string text, const char* lineEnd) {
  state.store.openInMemory(ProfileStore::Mode::Reading, std::move(text));
  om::readSettingsFromStore(state);
  state.store.close();
  state.store.lineEnd = lineEnd;
  state.store.openInMemory(ProfileStore::Mode::Writing);
  om::writeSettingsToStore(state);
  state.store.close();
  return state.store.text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static PluginState first;
  static PluginState second;
  const char* lineEnd = size > 0 && (data[0] & 1) ? "\r\n" : "\n";
  const std::string saved =
      loadThenSave(first, std::string(reinterpret_cast<const char*>(data), size), lineEnd);
  const std::string again = loadThenSave(second, saved, lineEnd);
  if (again != saved) std::abort();
  if (first.privateSettings != second.privateSettings ||
      first.dialog.dialogPosX != second.dialog.dialogPosX ||
      first.dialog.dialogPosY != second.dialog.dialogPosY)
    std::abort();
  // Records with id 0 after the common record are never saved (none can be
  // selected); every other record must come back, in order.
  const std::vector<const ChannelRecord*> a = savedRecords(first);
  const std::vector<const ChannelRecord*> b = savedRecords(second);
  if (a.size() != b.size()) std::abort();
  for (size_t i = 0; i < a.size(); ++i)
    if (!sameRecord(*a[i], *b[i])) std::abort();
  return 0;
}
