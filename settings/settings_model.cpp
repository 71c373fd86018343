// Placeholder until the settings store lands: defaults only, nothing saved.
#include "settings/settings_model.h"

#include "common/muldiv.h"
#include "plugin/plugin_state.h"

namespace om {

void loadSettings(PluginState& state) {
  state.defaultRecord = ChannelRecord();
  state.channelTable.clear();
  state.channelTable.push_back(ChannelRecord());
  state.privateSettings = 0;
}

void saveSettings(PluginState&) {}

void selectChannelRecord(PluginState& state) { state.currentIndex = 0; }

void clampPositionAndSize(LogoSettings&, int32_t, int32_t) {}
void applyInitialSize(LogoSettings&, int32_t, int32_t, int32_t) {}

}  // namespace om
