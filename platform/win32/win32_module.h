// Windows-only helpers shared by the Win32 platform layer, the GDI+ codec and
// the dialog: which module holds our resources, and code-page conversion.
#pragma once

#include <windows.h>

#include <string>

namespace om {
namespace platform {

// The plug-in's own module: the DLL when loaded by a host (kept by DllMain),
// otherwise the module that contains this code (a test program).
HMODULE pluginModule() noexcept;
// Where resource look-ups go on this thread: the module set by the innermost
// EntryGuard, or pluginModule() outside any entry point.
HMODULE resourceModule() noexcept;
// Makes `module` this thread's resource module and returns the one it
// replaces (EntryGuard puts that back).
HMODULE swapResourceModule(HMODULE module) noexcept;
// Called from DllMain.
void setPluginModule(HMODULE module) noexcept;
void releaseThreadSlot() noexcept;

// Text in `codePage` (e.g. 1251, CP_ACP) to UTF-16 and back; empty on failure.
std::wstring widen(const char* text, UINT codePage);
std::string narrow(const wchar_t* text, UINT codePage);

// A path in the system code page, as the plug-in's char paths are: its short
// (8.3) form when the long one has a character the page lacks; empty when
// neither can be written in it.
std::string ansiPath(const wchar_t* path);
// The module's file name in the system code page (ansiPath), whatever its
// length.
std::string moduleFileName(HMODULE module);

}  // namespace platform
}  // namespace om
