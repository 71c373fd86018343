#include "plugin/plugin_state.h"

namespace om {

PluginState& pluginState() {
  static PluginState state;
  return state;
}

}  // namespace om
