// The few things the host needs from the operating system: loading the
// plug-in by its exports, environment variables, and console streams.
// Everything else in the host is platform-free.
#pragma once

#include <cstdio>
#include <string>

namespace omhost {

class PluginLibrary {
 public:
  PluginLibrary() = default;
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool open(const std::string& path, std::string& error);
  // Null when the library has no such export.
  void* symbol(const char* name) const;
  void close();

 private:
  void* handle_ = nullptr;
};

// The suffix of loadable modules on this platform, ".so" or ".dll".
const char* moduleSuffix();
// The running executable's folder with a trailing separator, or empty.
std::string executableFolder();

bool setEnvironment(const char* name, const std::string& value);
bool isTerminal(FILE* stream);
// Raw bytes through stdin/stdout (no newline translation on Windows).
void setBinaryMode(FILE* stream);
// Waits this long (MinGW's win32 thread model has no std::this_thread).
void sleepMs(unsigned ms);
// A monotonic clock in microseconds, as fine as the system has: a frame's
// time is read from it. MinGW's steady_clock counts whole microseconds,
// too coarse for a frame without a logo.
double nowUs();

}  // namespace omhost
