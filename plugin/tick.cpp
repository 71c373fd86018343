#include "plugin/tick.h"

#include <atomic>

#include "platform/clock.h"

namespace om {
namespace {
std::atomic<TickSourceFn> g_tickSource{nullptr};
}

uint32_t tickNowMs() noexcept {
  const TickSourceFn source = g_tickSource.load(std::memory_order_acquire);
  return source ? source() : platform::osTickMs();
}

void setTickSource(TickSourceFn source) noexcept {
  g_tickSource.store(source, std::memory_order_release);
}

}  // namespace om
