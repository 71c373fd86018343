// What the dialog controller's files share: FrameLock for one stretch of
// an edit, the handlers' rule that nothing escapes them, and saturation.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/lock.h"

namespace om {

using FrameHold = platform::LockGuard;

inline int32_t saturate(int64_t v) {
  return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(v, INT32_MIN), INT32_MAX));
}

// Handlers are window-procedure callbacks: nothing may escape them.
template <typename F>
void absorb(F&& f) noexcept {
  try {
    f();
  } catch (...) {
  }
}

}  // namespace om
