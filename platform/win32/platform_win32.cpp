// The platform seam on Windows: critical section, tick, the settings file's
// location inputs, the atomic save, and the two ways we talk to windows.
#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <new>
#include <string>

#include "common/notify.h"
#include "common/plugin_identity.h"
#include "platform/clock.h"
#include "platform/dialog_messages.h"
#include "platform/location.h"
#include "platform/lock.h"
#include "platform/thread.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/win32_module.h"

namespace om {
namespace platform {

static_assert(sizeof(CRITICAL_SECTION) <= 64, "critical section fits the lock storage");

static CRITICAL_SECTION* section(unsigned char* storage) {
  return reinterpret_cast<CRITICAL_SECTION*>(storage);
}

uint64_t currentThreadId() noexcept { return GetCurrentThreadId(); }

Lock::Lock() noexcept { InitializeCriticalSection(section(storage_)); }
Lock::~Lock() { DeleteCriticalSection(section(storage_)); }
void Lock::enter() noexcept {
  EnterCriticalSection(section(storage_));
  owner_.store(currentThreadId(), std::memory_order_relaxed);
}
void Lock::leave() noexcept {
  owner_.store(0, std::memory_order_relaxed);
  LeaveCriticalSection(section(storage_));
}

namespace {
struct ThreadStart {
  void (*body)(void*);
  void* arg;
};
DWORD WINAPI threadMain(void* start) {
  const ThreadStart s = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  s.body(s.arg);
  return 0;
}
}  // namespace

Thread::~Thread() {
  if (started_) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool Thread::start(void (*body)(void*), void* arg) noexcept {
  if (started_) return false;
  ThreadStart* s = new (std::nothrow) ThreadStart{body, arg};
  if (!s) return false;
  const HANDLE thread = CreateThread(nullptr, 0, threadMain, s, 0, nullptr);
  if (!thread) {
    delete s;
    return false;
  }
  handle_ = reinterpret_cast<uintptr_t>(thread);
  started_ = true;
  return true;
}

void Thread::join() noexcept {
  if (!started_) return;
  WaitForSingleObject(reinterpret_cast<HANDLE>(handle_), INFINITE);
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  started_ = false;
}

static HANDLE& signalEvent(unsigned char* storage) { return *reinterpret_cast<HANDLE*>(storage); }

Signal::Signal() noexcept { signalEvent(storage_) = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
Signal::~Signal() {
  if (signalEvent(storage_)) CloseHandle(signalEvent(storage_));
}
void Signal::set() noexcept { SetEvent(signalEvent(storage_)); }
void Signal::clear() noexcept { ResetEvent(signalEvent(storage_)); }
bool Signal::wait(uint32_t ms) noexcept {
  const HANDLE event = signalEvent(storage_);
  if (!event) {  // no event could be had: wait out the time
    Sleep(ms);
    return false;
  }
  return WaitForSingleObject(event, ms) == WAIT_OBJECT_0;
}

void* holdThisModule() noexcept {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCWSTR>(&holdThisModule), &module))
    return nullptr;
  // The program itself is never unloaded: nothing to hold.
  if (module == GetModuleHandleW(nullptr)) return nullptr;
  return module;
}

void releaseModule(void* hold) noexcept {
  if (hold) FreeLibrary(static_cast<HMODULE>(hold));
}

uint32_t osTickMs() noexcept { return static_cast<uint32_t>(GetTickCount()); }

char pathSeparator() noexcept { return '\\'; }

void createDirectory(const std::string& path) noexcept { (void)CreateDirectoryA(path.c_str(), nullptr); }

// Extended record first; Windows versions before NT 4 SP6 only take the basic one.
static bool readVersion(OSVERSIONINFOA& basic) {
  OSVERSIONINFOEXA extended;
  std::memset(&extended, 0, sizeof extended);
  extended.dwOSVersionInfoSize = sizeof extended;
  if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) {
    basic.dwPlatformId = extended.dwPlatformId;
    return true;
  }
  std::memset(&basic, 0, sizeof basic);
  basic.dwOSVersionInfoSize = sizeof basic;
  return GetVersionExA(&basic) != FALSE;
}

// Missing key or value reads as 0. Whatever type the value has, its first
// four bytes are the number, as the host's own tools write it (REG_DWORD).
static uint32_t readStoreInUsersFolder() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tulvane", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return 0;
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  if (RegQueryValueExA(key, "StoreInUsersFolder", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS)
    value = 0;
  RegCloseKey(key);
  return value;
}

LocationInputs readLocationInputs() {
  LocationInputs in;
  OSVERSIONINFOA version;
  std::memset(&version, 0, sizeof version);
  if (!readVersion(version)) return in;
  in.versionKnown = true;
  in.ntFamily = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  in.storeInUsersFolder = readStoreInUsersFolder();

  wchar_t appData[MAX_PATH + 1] = {};
  if (SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE)) in.appDataFolder = ansiPath(appData);

  const std::string exe = moduleFileName(nullptr);
  const size_t slash = exe.rfind('\\');
  if (slash != std::string::npos) in.exeFolder = exe.substr(0, slash + 1);

  if (const char* line = GetCommandLineA()) in.commandLine = line;
  in.moduleBaseName = moduleBaseName();
  return in;
}

std::string moduleBaseName() {
  std::string name = moduleFileName(pluginModule());
  const size_t sep = name.find_last_of("\\/");
  if (sep != std::string::npos) name.erase(0, sep + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

// Posted, never sent, so the video thread never waits for the dialog.
void postDialogNotify(void* window, int code) noexcept {
  if (!window) return;
  PostMessageA(static_cast<HWND>(window), WM_PLUGIN_NOTIFY, static_cast<WPARAM>(code), 0);
}

// Windows-1251: "      Настройки плагина недоступны. \nПроцессор не
// поддерживает команды SSE."; the caption is the plug-in's name.
static const char kNoSseText[] =
    "      \xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8 \xEF\xEB\xE0\xE3\xE8\xED\xE0 "
    "\xED\xE5\xE4\xEE\xF1\xF2\xF3\xEF\xED\xFB. \n"
    "\xCF\xF0\xEE\xF6\xE5\xF1\xF1\xEE\xF0 \xED\xE5 "
    "\xEF\xEE\xE4\xE4\xE5\xF0\xE6\xE8\xE2\xE0\xE5\xF2 \xEA\xEE\xEC\xE0\xED\xE4\xFB SSE.";

// Converted from Windows-1251 whatever the system's code page is.
std::wstring noSseMessageText() { return widen(kNoSseText, 1251); }
std::wstring noSseMessageCaption() { return widen(kPluginName, 1251); }

void showNoSseMessage(void* parent) noexcept {
  try {
    const std::wstring text = noSseMessageText();
    const std::wstring caption = noSseMessageCaption();
    MessageBoxW(static_cast<HWND>(parent), text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
  } catch (...) {
  }
}

}  // namespace platform
}  // namespace om
