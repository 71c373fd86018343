// Nothing is allocated per frame: counted, not eyeballed. Global operator
// new and the aligned blocks are counted while a steady-state animated logo
// is stamped, stepped and rebuilt.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "common/alloc_hook.h"
#include "logo/overlay.h"
#include "plugin/channel_ops.h"
#include "plugin/frame_pipeline.h"
#include "plugin/plugin_state.h"
#include "plugin/tick.h"

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
}  // namespace

// Replacements of the global allocation pair; malloc/free underneath.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// The nothrow forms too (std::stable_sort takes its buffer that way), so
// every delete below frees what a replacement took.
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1);
  return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace om {
namespace {

uint32_t g_nowMs = 0;
uint32_t TULVANE_CDECL fakeTick() { return g_nowMs; }

TEST(NoAllocationPerFrame, SteadyStateAnimatedLogo) {
  setTickSource(&fakeTick);
  PluginState state;
  ChannelRecord record;
  record.LogoPosX = 100;
  record.LogoPosY = 100;
  record.LogoSizeX = 261;
  record.LogoSizeY = 174;
  state.channelTable.push_back(record);
  state.canvas.SetFormat(720, 576, kPackedYuv422);
  state.currentChannelId = 11;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(state.logo.AddFrame());
    ASSERT_TRUE(state.logo.SetFrameSize(188, 100));
    state.logo.setCurrentDelay(40);
    std::memset(state.logo.current().pixels, 0x80 + i, 188 * 100 * 4);
  }
  state.logo.SelectFrame(0);
  state.logoLoaded = 1;
  rebuildOverlay(state);  // first blocks are taken here, not per frame
  state.nextFrameDue = 40;

  std::vector<uint8_t> frame(720 * 576 * 2, 0x10);
  ChannelInfo channel{};
  channel.id = 11;
  FrameInfo info{};
  info.pixels = frame.data();
  info.channel = &channel;
  // Warm up one full animation cycle so every cached table exists.
  for (int n = 0; n < 6; ++n) {
    g_nowMs = static_cast<uint32_t>(n * 40);
    runFramePipeline(state, info);
  }
  g_allocations = 0;
  const int64_t alignedBefore = alignedAllocationCount();
  g_counting = true;
  for (int n = 6; n < 60; ++n) {
    g_nowMs = static_cast<uint32_t>(n * 40);
    runFramePipeline(state, info);
  }
  g_counting = false;
  setTickSource(nullptr);
  EXPECT_EQ(g_allocations.load(), 0);
  EXPECT_EQ(alignedAllocationCount(), alignedBefore);
}

}  // namespace
}  // namespace om
