// The frame pipeline's channel-switch and animation rules, driven by a fake
// clock in video time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "plugin/channel_ops.h"
#include "plugin/frame_pipeline.h"
#include "plugin/plugin_state.h"
#include "plugin/show_timing.h"
#include "plugin/tick.h"

namespace om {
namespace {

uint32_t g_nowMs = 0;
uint32_t TULVANE_CDECL fakeTick() { return g_nowMs; }
uint32_t reads = 0;
uint32_t TULVANE_CDECL countingTick() {
  ++reads;
  return g_nowMs;
}

class PipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_nowMs = 0;
    setTickSource(&fakeTick);
    state_.channelTable.push_back(ChannelRecord());
    state_.setFormat(64, 32, kPackedYuv422);
    frame_.assign(64 * 32 * 2, 0x55);
  }
  void TearDown() override { setTickSource(nullptr); }

  // A logo of `count` frames, as if the channel switch had just loaded it.
  void giveAnimatedLogo(int64_t channel, int count, int delayMs) {
    state_.currentChannelId = channel;
    for (int i = 0; i < count; ++i) {
      ASSERT_TRUE(state_.show(1).logo.AddFrame());
      ASSERT_TRUE(state_.show(1).logo.SetFrameSize(4, 4));
      state_.show(1).logo.setCurrentDelay(delayMs);
    }
    state_.show(1).logo.SelectFrame(0);
    state_.show(1).logoLoaded = 1;
    state_.show(1).nextFrameDue = g_nowMs + static_cast<uint32_t>(delayMs);
  }

  int32_t feed(int64_t id, const char* name = "ch") {
    ChannelInfo channel{};
    channel.id = id;
    std::strncpy(channel.name, name, sizeof channel.name - 1);
    FrameInfo info{};
    info.pixels = frame_.data();
    info.channel = &channel;
    return runFramePipeline(state_, info);
  }

  PluginState state_;
  std::vector<uint8_t> frame_;
};

TEST_F(PipelineTest, SameChannelTwiceDoesNotReload) {
  giveAnimatedLogo(5, 2, 100);
  EXPECT_EQ(feed(5), 1);
  EXPECT_EQ(feed(5), 1);
  // A reload would have emptied the logo: the record names no file.
  EXPECT_EQ(state_.show(1).logo.FrameCount(), 2);
  EXPECT_EQ(state_.show(1).logoLoaded, 1);
}

TEST_F(PipelineTest, IdsDifferingOnlyInHighWordSwitchChannel) {
  const int64_t low = 7;
  const int64_t high = (int64_t{1} << 32) | 7;
  giveAnimatedLogo(low, 2, 100);
  feed(low, "low");
  EXPECT_EQ(state_.show(1).logo.FrameCount(), 2);
  feed(high, "high");
  EXPECT_EQ(state_.currentChannelId, high);
  EXPECT_EQ(state_.currentChannelName, "high");
  // The switch reloaded the (empty) file name: no logo any more.
  EXPECT_EQ(state_.show(1).logoLoaded, 0);
  EXPECT_EQ(state_.show(1).logo.FrameCount(), 0);
}

TEST_F(PipelineTest, AnimationStepsOnFirstVideoFrameAtOrAfterDueTime) {
  // 40 ms video frames, 100 ms logo frames: steps at 120, 240, 360 ms.
  giveAnimatedLogo(3, 4, 100);
  std::vector<int> stepsAt;
  int last = state_.show(1).logo.currentFrame();
  for (int n = 0; n < 10; ++n) {
    g_nowMs = static_cast<uint32_t>(n * 40);
    feed(3);
    if (state_.show(1).logo.currentFrame() != last) {
      stepsAt.push_back(n);
      last = state_.show(1).logo.currentFrame();
    }
  }
  EXPECT_EQ(stepsAt, (std::vector<int>{3, 6, 9}));
}

TEST_F(PipelineTest, LateFramesStepOnceAndDoNotCatchUp) {
  giveAnimatedLogo(3, 4, 100);
  g_nowMs = 1000;  // ten delays late
  feed(3);
  EXPECT_EQ(state_.show(1).logo.currentFrame(), 1);
  EXPECT_EQ(state_.show(1).nextFrameDue, 1100u);
  g_nowMs = 1040;
  feed(3);
  EXPECT_EQ(state_.show(1).logo.currentFrame(), 1);
}

TEST_F(PipelineTest, AnimationSurvivesTickWrapAround) {
  g_nowMs = 0xFFFFFFF0u;
  giveAnimatedLogo(3, 2, 100);  // due at 0x54 after the wrap
  g_nowMs = 0x10;
  feed(3);
  EXPECT_EQ(state_.show(1).logo.currentFrame(), 0) << "not yet due";
  g_nowMs = 0x54;
  feed(3);
  EXPECT_EQ(state_.show(1).logo.currentFrame(), 1);
}

TEST_F(PipelineTest, SingleFrameLogoNeverSteps) {
  giveAnimatedLogo(3, 1, 0);
  for (int n = 0; n < 5; ++n) {
    g_nowMs = static_cast<uint32_t>(n * 1000);
    feed(3);
  }
  EXPECT_EQ(state_.show(1).logo.currentFrame(), 0);
}

TEST_F(PipelineTest, NoLogoLeavesFrameUnchanged) {
  const std::vector<uint8_t> before = frame_;
  EXPECT_EQ(feed(9), 1);
  EXPECT_EQ(frame_, before);
}

// A fading, intermittent logo: the blend's opacity scaled by the factor,
// nothing drawn while hidden, the animation stepping on, one tick read a
// frame; and a dialog edit of the timing starts it again.
TEST_F(PipelineTest, ShowTimingScalesTheOpacityOnOneTickRead) {
  setTickSource(&countingTick);
  giveAnimatedLogo(3, 2, 100000);
  uint32_t* p = state_.show(1).logo.currentForWriting().pixels;
  std::fill(p, p + 16, 0xFFFFFFFFu);
  ChannelRecord& r = state_.recordInUse();
  r.LogoSizeX = r.LogoSizeY = 500;
  r.LogoOpacity = 100;
  r.FadeMs = 1000;
  r.ShowEveryMinutes = 1;
  r.ShowForSeconds = 10;
  rebuildOverlay(state_, 1);
  auto framesAt = [&](uint32_t tick, int32_t visibility) {
    std::vector<uint8_t> expected(frame_.size(), 0x55);
    const int32_t position[2] = {r.LogoPosX, r.LogoPosY};
    state_.show(1).canvas.BlendOverlay(expected.data(), position, 100, visibility);
    frame_.assign(frame_.size(), 0x55);
    g_nowMs = tick;
    reads = 0;
    feed(3);
    EXPECT_EQ(reads, 1u) << tick;
    return frame_ == expected;
  };
  state_.show(1).showStart = 0;
  EXPECT_TRUE(framesAt(0, 0));
  EXPECT_TRUE(framesAt(250, 64));
  EXPECT_TRUE(framesAt(5000, 256));
  EXPECT_TRUE(framesAt(9500, 128));
  EXPECT_TRUE(framesAt(30000, 0));
  EXPECT_EQ(frame_, std::vector<uint8_t>(frame_.size(), 0x55)) << "hidden: the frame untouched";
  EXPECT_TRUE(framesAt(60500, 128)) << "the next cycle";
  state_.show(1).restartShowTiming = true;  // as a dialog edit asks
  EXPECT_TRUE(framesAt(61000, 0));
  EXPECT_TRUE(framesAt(61500, 128));
  g_nowMs = 200000;
  feed(3);
  EXPECT_EQ(state_.show(1).logo.currentFrame(), 1) << "the animation steps while hidden";
}

// The drift against burn-in, frame after frame over random steps of the
// clock, through the 32-bit wrap: the logo is where the orbit's formula puts
// it (clipped at the frame's edges), on one tick read a frame; a cover stays.
TEST_F(PipelineTest, DriftFollowsTheOrbitThroughTheClocksWrap) {
  static const int32_t orbit[8][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}};
  setTickSource(&countingTick);
  std::mt19937 rng(testing::UnitTest::GetInstance()->random_seed());
  for (int round = 0; round < 20; ++round) {
    state_.show(1).logo.clear();
    state_.channelTable.assign(2, ChannelRecord());
    state_.setFormat(64, 32, round % 2 ? kBgr24BottomUp : kPackedYuv422);
    std::vector<uint8_t> base(64 * 32 * 3);
    for (uint8_t& b : base) b = static_cast<uint8_t>(rng());
    g_nowMs = 0xFFFFFFFFu - static_cast<uint32_t>(rng() % 4000000);  // wraps within the run
    const uint32_t start = g_nowMs;
    giveAnimatedLogo(3, 1, 0);
    std::fill_n(state_.show(1).logo.currentForWriting().pixels, 16, 0xFFFFFFFFu);
    ChannelRecord& r = state_.recordInUse();
    r.LogoPosX = static_cast<int32_t>(rng() % 1001);
    r.LogoPosY = static_cast<int32_t>(rng() % 1001);
    r.LogoSizeX = r.LogoSizeY = 200;
    r.LogoOpacity = 100;
    r.DriftPixels = static_cast<int32_t>(rng() % 33);
    r.DriftMinutes = static_cast<int32_t>(rng() % 3 + 1);
    r.CoverMode = round % 5 == 4 ? kCoverErase : kCoverPicture;
    rebuildOverlay(state_, 1);
    state_.show(1).showStart = state_.show(1).driftStart = start;
    uint64_t elapsed = 0;  // the true time since the switch, past 32 bits
    for (int frame = 0; frame < 40; ++frame) {
      elapsed += rng() % 400000;
      g_nowMs = start + static_cast<uint32_t>(elapsed);
      const int64_t k = static_cast<int64_t>(elapsed / (uint64_t(r.DriftMinutes) * 60000) % 8);
      const int32_t step = r.CoverMode == kCoverPicture ? r.DriftPixels : 0;
      std::vector<uint8_t> expected = base;
      const int32_t position[2] = {r.LogoPosX, r.LogoPosY};
      if (r.CoverMode == kCoverPicture)
        state_.show(1).canvas.BlendOverlay(expected.data(), position, 100, 256, PixelShift{orbit[k][0] * step, orbit[k][1] * step});
      else
        state_.show(1).cover.apply(expected.data(), coverRectangle(state_, 1), &state_.show(1).canvas.overlay(), 256);
      frame_ = base;
      reads = 0;
      feed(3);
      ASSERT_EQ(frame_, expected) << "round " << round << " elapsed " << elapsed << " k " << k;
      ASSERT_LE(reads, 1u);
    }
  }
}

TEST_F(PipelineTest, ShowLogoOffKeepsSteppingWithoutDrawing) {
  giveAnimatedLogo(3, 3, 100);
  state_.recordInUse().ShowLogo = 0;
  g_nowMs = 100;
  feed(3);
  EXPECT_EQ(state_.show(1).logo.currentFrame(), 1);
}

}  // namespace
}  // namespace om
