// The DLL's own entry: remember which module we are, so dialogs and icons
// are looked up in the plug-in rather than in the host.
#include <windows.h>

#include "platform/win32/win32_module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    om::platform::setPluginModule(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    om::platform::releaseThreadSlot();
  }
  return TRUE;
}
