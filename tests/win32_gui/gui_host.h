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
#include "tools/win32/window_capture.h"

namespace om {
namespace guitest {

inline std::string windowsPath(const std::string& path) {
  std::string out = path;
  if (!out.empty() && out[0] == '/') out = "Z:" + out;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

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

inline std::string readFile(const std::string& path) {
  std::string out;
  const HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return out;
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(f, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
  CloseHandle(f);
  return out;
}

inline bool writeFile(const std::string& path, const void* data, size_t size) {
  const HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  const bool ok = WriteFile(f, data, static_cast<DWORD>(size), &n, nullptr) && n == size;
  CloseHandle(f);
  return ok;
}

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
  const int stride = (width * 3 + 3) & ~3;
  std::vector<uint8_t> file(54 + static_cast<size_t>(stride) * height);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&file[at], &v, 4); };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  file[26] = 1;
  file[28] = 24;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &file[54 + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3];
      const bool border = x < 3 || y < 3 || x >= width - 3 || y >= height - 3;
      p[0] = border ? 255 : 0;
      p[1] = border ? 255 : static_cast<uint8_t>(x * 255 / (width - 1));
      p[2] = 255;
    }
  }
  return writeFile(path, file.data(), file.size());
}

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

 private:
  static DWORD WINAPI uiThread(void* self);
  static LRESULT CALLBACK hostProc(HWND, UINT, WPARAM, LPARAM);

  HMODULE module_ = nullptr;
  PluginDescriptor* descriptor_ = nullptr;
  HANDLE thread_ = nullptr;
  HANDLE ready_ = nullptr;
  HWND hostWindow_ = nullptr;
  std::vector<uint8_t> frame_;
  ChannelInfo channel_{};
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
