#include "common/alloc_hook.h"

#include <atomic>

namespace om {
namespace {
std::atomic<int64_t> g_countdown{0};
std::atomic<int64_t> g_allocations{0};
}  // namespace

void armAllocFailure(int64_t afterCount) noexcept { g_countdown.store(afterCount > 0 ? afterCount : 0); }

int64_t alignedAllocationCount() noexcept { return g_allocations.load(); }

bool admitAlignedAllocation() noexcept {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  int64_t v = g_countdown.load(std::memory_order_relaxed);
  if (v <= 0) return true;
  if (v == 1) return false;  // stays failing until disarmed
  g_countdown.compare_exchange_strong(v, v - 1);
  return true;
}

}  // namespace om
