// The one seam between the plug-in and the operating system. Everything the
// platform-free subsystems need from the OS goes through these calls; the
// implementations live in platform/posix/ and platform/win32/.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace om {
namespace platform {

// The calling thread, as a number no other running thread has; never 0.
uint64_t currentThreadId() noexcept;

// A non-recursive lock: a critical section on Windows, a mutex on POSIX.
// It knows which thread holds it, so code that must not run under it (a
// modal window, a second taking) can check.
class Lock {
 public:
  Lock() noexcept;
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  void enter() noexcept;
  void leave() noexcept;
  bool heldByCurrentThread() const noexcept {
    return owner_.load(std::memory_order_relaxed) == currentThreadId();
  }

 private:
  alignas(16) unsigned char storage_[64];
  std::atomic<uint64_t> owner_{0};
};

// The one way to take a Lock: held for the guard's scope.
class LockGuard {
 public:
  explicit LockGuard(Lock& lock) noexcept : lock_(lock) { lock_.enter(); }
  ~LockGuard() { lock_.leave(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  Lock& lock_;
};

// A thread of the plug-in's own (MinGW's win32 thread model has no
// std::thread): runs body(arg) until it returns.
class Thread {
 public:
  Thread() noexcept = default;
  // A thread still running is left alone: destructors may run in DllMain,
  // where waiting for a thread would hang on the loader lock.
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  bool start(void (*body)(void*), void* arg) noexcept;
  // Waits until the thread has ended; never from DllMain.
  void join() noexcept;
  bool started() const noexcept { return started_; }

 private:
  uintptr_t handle_ = 0;
  bool started_ = false;
};

// A flag threads wait on: set() wakes the waiters at once.
class Signal {
 public:
  Signal() noexcept;
  ~Signal();
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;
  void set() noexcept;
  void clear() noexcept;
  // Waits up to `ms` for the flag; true when it is set.
  bool wait(uint32_t ms) noexcept;

 private:
  alignas(16) unsigned char storage_[128];
};

// Keeps this module loaded while threads of its own may run, so a host that
// unloads it without PluginShutdown never unmaps running code. Null when no
// hold could be had (a module linked into a program needs none).
void* holdThisModule() noexcept;
void releaseModule(void* hold) noexcept;

// Milliseconds since system start, 32 bits, wrapping.
uint32_t osTickMs() noexcept;

// The plug-in module's file name without folder and extension.
std::string moduleBaseName();

// Inputs of the settings-file location, read from the OS.
struct LocationInputs {
  bool versionKnown = false;        // false: no path at all
  bool ntFamily = false;
  uint32_t storeInUsersFolder = 0;  // machine-wide switch
  std::string appDataFolder;        // without trailing separator; empty if unknown
  std::string exeFolder;            // host executable's folder, with trailing separator
  std::string commandLine;          // the process command line as one text
  std::string moduleBaseName;       // plug-in file name without folder and extension
};
LocationInputs readLocationInputs();
char pathSeparator() noexcept;
// Creates one folder level; failures (existing, missing parent) are ignored.
void createDirectory(const std::string& path) noexcept;

// Posts WM_PLUGIN_NOTIFY (common/notify.h) with `code` to the dialog window;
// never waits.
void postDialogNotify(void* window, int code) noexcept;

// The modal "no SSE" message, owned by `parent` (a window handle or null).
void showNoSseMessage(void* parent) noexcept;

}  // namespace platform
}  // namespace om
