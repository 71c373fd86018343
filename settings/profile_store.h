// The plug-in's own INI reader and writer.
#pragma once

#include <cstdint>
#include <string>

namespace om {

class ProfileStore {
 public:
  ProfileStore() = default;
  virtual ~ProfileStore();

  // Set once by the file location.
  std::string instanceSuffix;
  std::string folder;
  std::string baseName;
  std::string fileName;
  std::string path;
};

// Computes the five path strings from the platform's inputs (run by PluginInit).
void locateSettingsFile(ProfileStore& store);

}  // namespace om
