// Threads of the plug-in's own, the flag they wait on, and the hold that
// keeps the module loaded while they run.
#pragma once

#include <cstdint>

namespace om {
namespace platform {

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

}  // namespace platform
}  // namespace om
