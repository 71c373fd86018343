#include "common/alloc_hook.h"

#include <atomic>

namespace om {
namespace {
std::atomic<int64_t> g_countdown{0};
}

void armAllocFailure(int64_t afterCount) noexcept { g_countdown.store(afterCount > 0 ? afterCount : 0); }

bool allocFailureInjected() noexcept {
  int64_t v = g_countdown.load(std::memory_order_relaxed);
  if (v <= 0) return false;
  if (v == 1) return true;  // stays failing until disarmed
  g_countdown.compare_exchange_strong(v, v - 1);
  return false;
}

}  // namespace om
