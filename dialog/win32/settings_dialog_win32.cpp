// Until the Windows settings window exists, PluginConfigure opens nothing and
// the settings are edited in the INI file.
#include "dialog/settings_dialog.h"

namespace om {

SettingsDialog::~SettingsDialog() {}
void SettingsDialog::open(PluginState&, void*) {}
void SettingsDialog::destroyWindow() {}

}  // namespace om
