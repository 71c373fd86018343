// Screenshots of a window as 24-bit bitmap files, for the host stand-in's
// window test and the GUI tests.
#pragma once

#include <windows.h>

#include <string>

namespace om {

// The window's screen rectangle as it shows now; false when it has no area
// or the file could not be written.
bool captureWindow(HWND hwnd, const std::string& path);

}  // namespace om
