// Where the settings file lives: among the host's plug-in settings, beside
// its executable or in the user's application-data folder, with a subtree per
// numbered host instance.
#pragma once

#include <string>

#include "platform/location.h"
#include "settings/profile_store.h"

namespace om {

// The five location strings, computed from the platform's inputs.
struct SettingsLocation {
  std::string instanceSuffix;
  std::string folder;  // ends in the separator; empty: no file at all
  std::string baseName;
  std::string fileName;
  std::string path;
};
SettingsLocation computeSettingsLocation(const platform::LocationInputs& inputs, char separator);
// Creates the last folder level of `location` and stores the strings.
void applySettingsLocation(ProfileStore& store, const SettingsLocation& location);

// Computes the five path strings from the platform's inputs (run by PluginInit).
void locateSettingsFile(ProfileStore& store);

}  // namespace om
