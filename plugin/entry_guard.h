// Held at every entry point: on Windows it makes the plug-in's own module the
// one resource look-ups search while the host's code is the caller, and puts
// the caller's back on every way out; it also keeps the floating-point
// control state ours while we run. Nothing to do elsewhere.
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
  void* saved_ = nullptr;
  unsigned fpState_ = 0;  // the caller's FP control state
#endif
};

}  // namespace om
