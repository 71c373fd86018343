// Held at every way into the plug-in's code from outside: the entry points,
// and on Windows also the window procedures and callbacks the system calls.
// On Windows it makes the plug-in's own module the one resource look-ups
// search while the host's code is the caller, and keeps the floating-point
// control state ours while we run; both are put back on every way out.
// Nothing to do elsewhere.
#pragma once

namespace om {

class EntryGuard {
 public:
  EntryGuard() noexcept;
  ~EntryGuard();
  EntryGuard(const EntryGuard&) = delete;
  EntryGuard& operator=(const EntryGuard&) = delete;

 private:
#if defined(_WIN32)
  void* savedModule_ = nullptr;
  // The caller's floating-point control: x87 control word, SSE register.
  unsigned x87State_ = 0;
  unsigned mxcsrState_ = 0;
#endif
};

}  // namespace om
