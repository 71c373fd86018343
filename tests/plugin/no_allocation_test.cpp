// Nothing is allocated per frame: counted, not eyeballed. Global operator
// new and the aligned blocks are counted while a steady-state animated logo
// is stamped, stepped and rebuilt, or covers (through its weights, or as a
// bare rectangle) in each mode.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/alloc_hook.h"
#include "logo/overlay.h"
#include "plugin/channel_ops.h"
#include "plugin/frame_pipeline.h"
#include "plugin/plugin_state.h"
#include "plugin/tick.h"
#include "tests/support/counting_new.h"

namespace om {
namespace {

uint32_t g_nowMs = 0;
uint32_t TULVANE_CDECL fakeTick() { return g_nowMs; }

void countSteadyState(int32_t coverMode, bool picture) {
  SCOPED_TRACE("cover mode " + std::to_string(coverMode) + (picture ? "" : ", bare"));
  setTickSource(&fakeTick);
  PluginState state;
  ChannelRecord record;
  record.CoverMode = coverMode;
  record.LogoPosX = 100;
  record.LogoPosY = 100;
  record.LogoSizeX = 261;
  record.LogoSizeY = 174;
  state.channelTable.push_back(record);
  state.setFormat(720, 576, kPackedYuv422);
  state.currentChannelId = 11;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(state.show(1).logo.AddFrame());
    ASSERT_TRUE(state.show(1).logo.SetFrameSize(188, 100));
    state.show(1).logo.setCurrentDelay(40);
    std::memset(state.show(1).logo.current().pixels, 0x80 + i, 188 * 100 * 4);
  }
  state.show(1).logo.SelectFrame(0);
  state.show(1).logoLoaded = picture ? 1 : 0;
  rebuildOverlay(state, 1);  // first blocks are taken here, not per frame
  state.show(1).nextFrameDue = 40;

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
  om::test::g_allocations = 0;
  const int64_t alignedBefore = alignedAllocationCount();
  om::test::g_counting = true;
  for (int n = 6; n < 60; ++n) {
    g_nowMs = static_cast<uint32_t>(n * 40);
    runFramePipeline(state, info);
  }
  om::test::g_counting = false;
  setTickSource(nullptr);
  EXPECT_EQ(om::test::g_allocations.load(), 0);
  EXPECT_EQ(alignedAllocationCount(), alignedBefore);
}

TEST(NoAllocationPerFrame, SteadyStateAnimatedLogoAndCovers) {
  for (int32_t mode = kCoverPicture; mode <= kCoverMosaic; ++mode) countSteadyState(mode, true);
  for (int32_t mode = kCoverErase; mode <= kCoverMosaic; ++mode) countSteadyState(mode, false);
}

}  // namespace
}  // namespace om
