// om_host --window: a live host window on Windows, as a TV viewer has one.
#pragma once

namespace omhost {

// om_host --window [--window-test FOLDER]. Returns the process exit status.
int runHostWindow(int argc, char** argv);

}  // namespace omhost
