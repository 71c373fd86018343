// The live host window: a video thread feeds the embedded test picture
// through PluginProcessFrame at its frame rate and hands each stamped frame
// to the window; the UI thread's message loop paints it and runs the
// plug-in's settings dialog (menu "Settings..." or F2). With --window-test
// the host also drives the dialog itself and reports whether the frames it
// showed carried the edits.
#include "tools/host/host_window_win32.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dialog/dialog_resources.h"
#include "plugin/host_api.h"
#include "tools/host/host_platform.h"
#include "tools/host/plugin_session.h"
#include "tools/host/pixel_convert.h"
#include "tools/host/test_pattern.h"
#include "tools/win32/window_capture.h"

namespace omhost {

namespace {

const int kWidth = 720;
const int kHeight = 576;
const UINT kMenuSettings = 1;
const UINT kMenuExit = 2;

struct Shared {
  CRITICAL_SECTION lock;
  std::vector<uint8_t> shown;  // B G R bottom-up, what WM_PAINT draws
  int64_t frames = 0;
  int64_t stamped = 0;  // frames the plug-in changed
  volatile LONG stop = 0;
  HWND window = nullptr;
  PluginDescriptor* plugin = nullptr;
};

Shared g;

DWORD WINAPI videoThread(void*) {
  TestPattern pattern(kWidth, kHeight, 25, 1);
  std::vector<uint8_t> buffer(pluginFrameBytes(0, kWidth, kHeight));
  std::vector<uint8_t> before(buffer.size());
  std::vector<uint8_t> bgr(static_cast<size_t>(kWidth) * kHeight * 3);
  ChannelInfo channel{};
  channel.id = 1;
  std::strcpy(channel.name, "\xCF\xE5\xF0\xE2\xFB\xE9");  // "Первый"
  FrameInfo info{};
  info.pixels = buffer.data();
  info.channel = &channel;
  const DWORD start = GetTickCount();
  for (int64_t index = 0; !g.stop; ++index) {
    rgbToPluginBuffer(0, pattern.render(index % 250), kWidth, kHeight, buffer.data(),
                      ColorRange::Full);
    before = buffer;
    g.plugin->processFrame(&info);
    const bool changed = buffer != before;
    packed422ToBgrBottomUp(buffer.data(), kWidth, kHeight, bgr.data(), ColorRange::Full);
    EnterCriticalSection(&g.lock);
    g.shown.swap(bgr);
    ++g.frames;
    if (changed) ++g.stamped;
    LeaveCriticalSection(&g.lock);
    InvalidateRect(g.window, nullptr, FALSE);
    // 25 frames a second on the wall clock, without drifting.
    const DWORD due = start + static_cast<DWORD>((index + 1) * 40);
    const LONG wait = static_cast<LONG>(due - GetTickCount());
    if (wait > 0) Sleep(static_cast<DWORD>(wait));
  }
  return 0;
}

void paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT client;
  GetClientRect(hwnd, &client);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = kHeight;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  EnterCriticalSection(&g.lock);
  if (!g.shown.empty())
    StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, kWidth, kHeight, g.shown.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
  LeaveCriticalSection(&g.lock);
  EndPaint(hwnd, &ps);
}

void openSettings(HWND hwnd) {
  ConfigureInfo info{hwnd};
  g.plugin->configure(&info);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      paint(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_KEYDOWN:
      if (wParam == VK_F2) openSettings(hwnd);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kMenuSettings) openSettings(hwnd);
      if (LOWORD(wParam) == kMenuExit) DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// ---- --window-test -----------------------------------------------------------

bool writeFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// A white 64x32 bitmap in `folder` and the settings that show it, where
// the plug-in will read them: the test's logo.
bool prepareTestLogo(const std::string& folder, const std::string& pluginPath) {
  std::string iniPath, error;
  if (!prepareSettingsFile("", pluginPath, iniPath, error) || iniPath.empty()) return false;
  CreateDirectoryA(iniPath.substr(0, iniPath.find_last_of('\\')).c_str(), nullptr);
  const int w = 64, h = 32, stride = w * 3;
  std::string bmp(54 + static_cast<size_t>(stride) * h, '\xFF');
  const uint32_t fields[] = {static_cast<uint32_t>(bmp.size()), 0, 54, 40, w, h};
  std::memset(&bmp[0], 0, 54);
  bmp[0] = 'B';
  bmp[1] = 'M';
  std::memcpy(&bmp[2], &fields[0], 4);
  std::memcpy(&bmp[10], &fields[2], 12);
  std::memcpy(&bmp[22], &fields[5], 4);
  bmp[26] = 1;
  bmp[28] = 24;
  const std::string logo = folder + "live_logo.bmp";
  const std::string ini = "[COMMON]\r\nLogoFileName=" + logo +
                          "\r\nLogoPosX=600\r\nLogoPosY=100\r\nLogoSizeX=200\r\nLogoSizeY=150\r\n"
                          "LogoOpacity=100\r\nShowLogo=1\r\n";
  return writeFile(logo, bmp) && writeFile(iniPath, ini);
}

struct Counts {
  int64_t frames, stamped;
};
Counts counts() {
  EnterCriticalSection(&g.lock);
  const Counts c{g.frames, g.stamped};
  LeaveCriticalSection(&g.lock);
  return c;
}

// Lets the UI thread run for `ms` while the video keeps going.
void pump(DWORD ms) {
  const DWORD start = GetTickCount();
  MSG msg;
  while (GetTickCount() - start < ms) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  }
}

HWND findSettingsDialog(HWND owner) {
  HWND found = nullptr;
  for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w; w = FindWindowExW(nullptr, w, L"#32770", nullptr))
    if (GetWindow(w, GW_OWNER) == owner && IsWindowVisible(w)) found = w;
  return found;
}

// Opens the dialog, switches the logo off and on again from it, and checks
// that the frames shown in between followed. The dialog runs on this (the
// UI) thread, so its clicks are sent, not posted.
int windowTest(HWND hwnd, const std::string& shots) {
  pump(1000);
  const Counts first = counts();
  openSettings(hwnd);
  pump(500);
  HWND dialog = findSettingsDialog(hwnd);
  if (!dialog) {
    std::printf("window-test: FAILED, no settings dialog\n");
    return 1;
  }
  if (!shots.empty()) om::captureWindow(hwnd, shots + "\\host-window.bmp");
  HWND showLogo = GetDlgItem(dialog, om::kIdShowLogo);
  SendMessageW(showLogo, BM_CLICK, 0, 0);
  pump(300);  // frames already in flight
  const Counts off = counts();
  pump(1000);
  const Counts offEnd = counts();
  SendMessageW(showLogo, BM_CLICK, 0, 0);
  pump(300);
  const Counts on = counts();
  pump(1000);
  const Counts onEnd = counts();

  const int64_t stampedAtStart = first.stamped;
  const int64_t stampedWhileOff = offEnd.stamped - off.stamped;
  const int64_t framesWhileOff = offEnd.frames - off.frames;
  const int64_t stampedWhileOn = onEnd.stamped - on.stamped;
  const int64_t framesWhileOn = onEnd.frames - on.frames;
  const bool ok = stampedAtStart > 0 && framesWhileOff > 5 && stampedWhileOff == 0 && framesWhileOn > 5 &&
                  stampedWhileOn == framesWhileOn;
  std::printf("window-test: %s frames=%lld stamped-before=%lld off=%lld/%lld on=%lld/%lld\n",
              ok ? "ok" : "FAILED", static_cast<long long>(onEnd.frames),
              static_cast<long long>(stampedAtStart), static_cast<long long>(stampedWhileOff),
              static_cast<long long>(framesWhileOff), static_cast<long long>(stampedWhileOn),
              static_cast<long long>(framesWhileOn));
  return ok ? 0 : 1;
}

}  // namespace

int runHostWindow(const HostOptions& options) {
  const bool test = !options.windowTestDir.empty();
  const std::string folder = executableFolder();
  // --plugin, else the DLL beside this program, else the one built with it.
  std::string path = options.pluginPath;
  if (path.empty()) path = folder + "Ostrane_Marquel.dll";
  if (options.pluginPath.empty() && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
    path = OM_HOST_DEFAULT_PLUGIN;
  if (test && !prepareTestLogo(folder, path)) {
    std::fprintf(stderr, "om_host: cannot write the test logo in %s\n", folder.c_str());
    return 1;
  }
  PluginLibrary library;
  std::string error;
  if (!library.open(path, error)) {
    std::fprintf(stderr, "om_host: %s\n", error.c_str());
    return 1;
  }
  auto pr = reinterpret_cast<TulvanePluginPRFn>(library.symbol("Tulvane_Plugin_PR"));
  g.plugin = pr ? pr() : nullptr;
  if (!g.plugin) {
    std::fprintf(stderr, "om_host: %s has no descriptor\n", path.c_str());
    return 1;
  }
  InitializeCriticalSection(&g.lock);
  HostInitInfo init{0, [](int64_t) -> int32_t { return 1; }};
  g.plugin->init(&init);
  VideoFormatInfo format{kWidth, kHeight, 0, 0, 0};
  g.plugin->setFormat(&format);

  WNDCLASSW wc = {};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = L"OmHostWindow";
  RegisterClassW(&wc);
  HMENU menu = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, kMenuSettings, L"&Settings...\tF2");
  AppendMenuW(file, MF_STRING, kMenuExit, L"E&xit");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&Plug-in");
  RECT frame = {0, 0, kWidth, kHeight};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, TRUE);
  g.window = CreateWindowExW(0, wc.lpszClassName, L"om_host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20,
                             frame.right - frame.left, frame.bottom - frame.top, nullptr, menu, wc.hInstance,
                             nullptr);
  if (!g.window) {
    std::fprintf(stderr, "om_host: no window\n");
    return 1;
  }
  // Same size as the video thread's buffer: the two are swapped each frame.
  g.shown.assign(static_cast<size_t>(kWidth) * kHeight * 3, 0);
  HANDLE video = CreateThread(nullptr, 0, videoThread, nullptr, 0, nullptr);
  int status = 0;
  if (test) {
    status = windowTest(g.window, options.windowTestDir);
    DestroyWindow(g.window);
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // The video thread first, then the plug-in's last call on this thread.
  InterlockedExchange(&g.stop, 1);
  if (video) {
    WaitForSingleObject(video, INFINITE);
    CloseHandle(video);
  }
  g.plugin->shutdown();
  return status;
}

}  // namespace omhost
