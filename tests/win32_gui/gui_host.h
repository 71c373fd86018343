// A host for the GUI tests: the plug-in loaded by file name, a host window
// on a UI thread of its own whose message loop runs the plug-in's dialog,
// and the test thread acting as the video thread and as the user (posted
// messages, SendInput, screen captures).
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "plugin/host_api.h"
#include "tests/support/bmp_file.h"
#include "tests/win32/win32_test_support.h"
#include "tools/win32/window_capture.h"

namespace om {
namespace guitest {

using wintest::readFileBytes;
using wintest::windowsPath;
using wintest::writeFileBytes;

inline std::string exeFolder() {
  char path[MAX_PATH * 4] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string p = path;
  return p.substr(0, p.rfind('\\') + 1);
}

// The DLL beside the program (the run script copies both into a host
// folder, so the settings file lands there), else the build's.
inline std::string pluginPath() {
  const std::string beside = exeFolder() + "Ostrane_Marquel.dll";
  if (GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
  return windowsPath(OM_PLUGIN_PATH);
}

inline std::string settingsPath() { return exeFolder() + "Plugins\\Ostrane_Marquel.ini"; }

// The value of `key` in `[section]` of the saved settings, or "" when absent.
inline std::string iniValue(const std::string& ini, const std::string& section, const std::string& key) {
  size_t at = ini.find("[" + section + "]\r\n");
  if (at == std::string::npos) return std::string();
  const size_t end = ini.find("\r\n[", at);
  at = ini.find("\r\n" + key + "=", at);
  if (at == std::string::npos || (end != std::string::npos && at > end)) return std::string();
  at += key.size() + 3;
  return ini.substr(at, ini.find("\r\n", at) - at);
}

// A 24-bit bitmap file: a red-to-yellow gradient with a white border.
inline bool writeTestBitmap(const std::string& path, int width, int height) {
  return test::writeBmp24(path, width, height, [&](int x, int y) -> uint32_t {
    const bool border = x < 3 || y < 3 || x >= width - 3 || y >= height - 3;
    const uint32_t green = border ? 255u : static_cast<uint32_t>(x * 255 / (width - 1));
    return 0xFF0000u | (green << 8) | (border ? 255u : 0u);
  });
}

// The floating-point control state a host leaves: the x87 control word
// (i686 only) and the SSE register.
struct FpuControl {
  unsigned x87 = 0;
  unsigned mxcsr = 0;
  // Control bits only: the status flags record what any code computed.
  bool operator==(const FpuControl& o) const {
    return x87 == o.x87 && (mxcsr & ~0x3Fu) == (o.mxcsr & ~0x3Fu);
  }
};
FpuControl readFpuControl();
void writeFpuControl(const FpuControl& state);
// A host as hostile as real ones get: on i686 the x87 unit at 24-bit
// precision, rounding toward zero, invalid and zero-divide unmasked (what
// Direct3D 9 and some runtimes leave); on both builds the SSE register
// flushing denormals to zero, rounding toward zero, the same two unmasked.
FpuControl hostileFpuControl();

class GuiHost {
 public:
  GuiHost();
  ~GuiHost();
  bool ok() const { return descriptor_ && hostWindow_; }
  PluginDescriptor& plugin() { return *descriptor_; }
  HWND hostWindow() const { return hostWindow_; }

  // Runs `f` on the UI thread and waits for it (the host's own calls:
  // PluginConfigure, PluginShutdown).
  void onUiThread(const std::function<void()>& f);
  void configure();
  void shutdown();

  // PluginInit and a 720x576 4:2:2 format, then one frame of channel 1.
  void start();
  void processFrame();
  const std::vector<uint8_t>& frame() const { return frame_; }

  // With OM_HOSTILE_FPU=1 both host threads run in hostileFpuControl()
  // before every call into the plug-in and in the UI thread's message loop;
  // every call must hand that state back unchanged.
  bool hostileFpu() const { return hostile_; }
  int fpuStateChanges() const { return fpuStateChanges_; }

 private:
  class Call;
  // Around each of the host's calls into the plug-in, on either thread.
  void enterHostState();
  void checkHostState();

  static DWORD WINAPI uiThread(void* self);
  static LRESULT CALLBACK hostProc(HWND, UINT, WPARAM, LPARAM);

  HMODULE module_ = nullptr;
  PluginDescriptor* descriptor_ = nullptr;
  HANDLE thread_ = nullptr;
  HANDLE ready_ = nullptr;
  HWND hostWindow_ = nullptr;
  std::vector<uint8_t> frame_;
  ChannelInfo channel_{};
  bool hostile_ = false;
  FpuControl hostState_;
  volatile LONG fpuStateChanges_ = 0;
};

// ---- the user's side --------------------------------------------------------

// Polls `condition` every 10 ms up to `timeoutMs`.
bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs = 5000);
std::wstring windowText(HWND hwnd);
std::wstring controlText(HWND dialog, int id);
// Top-level windows of this process with the given class and caption
// (empty caption: any), visible ones only.
std::vector<HWND> findWindows(const wchar_t* className, const std::wstring& caption);
HWND settingsDialog();
// A dialog-class window owned by `owner` (a message box, the file box).
HWND ownedDialog(HWND owner);
std::wstring fromCp1251(const char* text);

// Real mouse input through SendInput: press, hold for `holdMs`, release.
void pressAt(HWND control, DWORD holdMs);
// The window's screen rectangle as a 24-bit BMP file.
using om::captureWindow;

}  // namespace guitest
}  // namespace om
