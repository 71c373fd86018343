#include "settings/settings_location.h"

namespace om {

namespace {

// The host's instance letter: the character after the first "-inst:", then,
// if present, after the first "/inst:" instead. Option names are matched
// in any case and the letter is lower-cased; an option at the very end
// gives no letter.
std::string instanceFromCommandLine(const std::string& commandLine) {
  // A C string on every platform: nothing after a NUL belongs to it.
  std::string line(commandLine.c_str());
  for (char& c : line)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  std::string suffix;
  size_t at = line.find("-inst:");
  if (at != std::string::npos) suffix = line.substr(at + 6, 1);
  at = line.find("/inst:");
  if (at != std::string::npos) suffix = line.substr(at + 6, 1);
  return suffix;
}

}  // namespace

SettingsLocation computeSettingsLocation(const platform::LocationInputs& inputs, char separator) {
  SettingsLocation location;
  if (!inputs.versionKnown) return location;

  std::string base;
  if (inputs.ntFamily && inputs.storeInUsersFolder != 0) {
    // An unknown user folder gives no file rather than one at the root.
    if (inputs.appDataFolder.empty()) return location;
    base = inputs.appDataFolder + separator + "Tulvane" + separator;
  } else {
    if (inputs.exeFolder.empty()) return location;
    base = inputs.exeFolder;
    if (base.back() != separator) base += separator;
  }

  location.instanceSuffix = instanceFromCommandLine(inputs.commandLine);
  location.folder = base;
  if (!location.instanceSuffix.empty())
    location.folder += "Instances" + std::string(1, separator) + location.instanceSuffix + separator;
  location.folder += "Plugins";
  location.folder += separator;
  location.baseName = inputs.moduleBaseName;
  location.fileName = location.baseName + ".ini";
  location.path = location.folder + location.fileName;
  return location;
}

void applySettingsLocation(ProfileStore& store, const SettingsLocation& location) {
  // Only the last level: the host creates the instance and user subtrees.
  if (!location.folder.empty())
    platform::createDirectory(location.folder.substr(0, location.folder.size() - 1));
  store.instanceSuffix = location.instanceSuffix;
  store.folder = location.folder;
  store.baseName = location.baseName;
  store.fileName = location.fileName;
  store.path = location.path;
}

void locateSettingsFile(ProfileStore& store) {
  try {
    applySettingsLocation(store, computeSettingsLocation(platform::readLocationInputs(),
                                                         platform::pathSeparator()));
  } catch (...) {
    // No path: the settings load as defaults and nothing is saved.
    store.path.clear();
  }
}

}  // namespace om
