// om_host --window: a live host window on Windows, as a TV viewer has one.
#pragma once

#include "tools/host/options.h"

namespace omhost {

// om_host --window, or --window-test DIR. Returns the process exit status.
int runHostWindow(const HostOptions& options);

}  // namespace omhost
