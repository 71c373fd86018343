// The lock that guards state shared between threads, and its guard.
#pragma once

#include <atomic>
#include <cstdint>

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

}  // namespace platform
}  // namespace om
