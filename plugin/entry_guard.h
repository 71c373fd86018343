// Held at every entry point: on Windows it makes the plug-in's own module the
// one resource look-ups search while the host's code is the caller, and puts
// the caller's back on every way out. Nothing to do elsewhere.
#pragma once

namespace om {

class EntryGuard {
 public:
  EntryGuard() noexcept;
  ~EntryGuard();
  EntryGuard(const EntryGuard&) = delete;
  EntryGuard& operator=(const EntryGuard&) = delete;

 private:
  void* saved_ = nullptr;
  unsigned fpState_ = 0;  // the caller's FP control state (Windows)
};

}  // namespace om
