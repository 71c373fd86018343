// om_host: a stand-in for the TV viewer that loads the plug-in through its
// exports and drives it with real video. See --help.
#include <cstdio>
#include <exception>
#include <string>

#include "tools/host/demo.h"
#include "tools/host/host_run.h"
#include "tools/host/options.h"
#ifdef _WIN32
#include "tools/host/host_window_win32.h"
#endif

int main(int argc, char** argv) {
  omhost::HostOptions options;
  std::string error;
  if (!omhost::parseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "om_host: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(omhost::usageText().c_str(), stdout);
    return 0;
  }
  try {
#ifdef _WIN32
    // The live window: video in a window of its own, the settings dialog on F2.
    if (options.window) return omhost::runHostWindow(options);
#endif
    return options.demoDir.empty() ? omhost::runHost(options) : omhost::runDemo(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "om_host: %s\n", e.what());
    return 1;
  }
}
