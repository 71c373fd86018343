// What the settings file's location is made of, read from the OS, and the
// folder it may need.
#pragma once

#include <cstdint>
#include <string>

namespace om {
namespace platform {

// The plug-in module's file name without folder and extension.
std::string moduleBaseName();

// Inputs of the settings-file location, read from the OS.
struct LocationInputs {
  bool versionKnown = false;        // false: no path at all
  bool ntFamily = false;
  uint32_t storeInUsersFolder = 0;  // machine-wide switch
  std::string appDataFolder;        // without trailing separator; empty if unknown
  std::string exeFolder;            // host executable's folder, with trailing separator
  std::string commandLine;          // the process command line as one text
  std::string moduleBaseName;       // plug-in file name without folder and extension
};
LocationInputs readLocationInputs();
char pathSeparator() noexcept;
// Creates one folder level; failures (existing, missing parent) are ignored.
void createDirectory(const std::string& path) noexcept;

}  // namespace platform
}  // namespace om
