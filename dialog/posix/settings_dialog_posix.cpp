// POSIX hosts get no settings window: PluginConfigure opens nothing and the
// settings are edited in the INI file.
#include "dialog/settings_dialog.h"

namespace om {

SettingsDialog::~SettingsDialog() {}
void SettingsDialog::open(DialogModel&, void*) {}
void SettingsDialog::destroyWindow() {}

}  // namespace om
