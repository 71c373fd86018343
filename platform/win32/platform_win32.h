// The parts of the Win32 platform layer that only Windows code sees.
#pragma once

#include <string>

namespace om {
namespace platform {

// The no-SSE message box's text and caption, as shown (UTF-16).
std::wstring noSseMessageText();
std::wstring noSseMessageCaption();

}  // namespace platform
}  // namespace om
