// The frame pipeline's channel-switch and animation rules, driven by a fake
// clock in video time.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>
#include <vector>

#include "plugin/channel_ops.h"
#include "plugin/frame_pipeline.h"
#include "plugin/plugin_state.h"
#include "plugin/show_timing.h"
#include "plugin/tick.h"
#include "tests/support/bmp_file.h"

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


// Layers are drawn in number order, each exactly as a record of its own
// settings is drawn over what the layers before it left: pictures, keys,
// covers, drift, clipped at the frame's edges.
TEST(Layers, DrawnInNumberOrderAsRecordsOneAfterAnother) {
  const std::string dir = ::testing::TempDir();
  const std::string files[] = {dir + "layer_a.bmp", dir + "layer_b.bmp", ""};
  ASSERT_TRUE(test::writeBmp24(files[0], 40, 24,
                               [](int x, int y) { return static_cast<uint32_t>(x * 6 + y * 0x0A0300); }));
  ASSERT_TRUE(test::writeBmp24(files[1], 17, 33,
                               [](int x, int y) { return (x + y) % 3 ? 0x00FF00u : 0x2040C0u; }));
  const uint32_t seed = std::random_device{}();
  std::mt19937 rng(seed);
  const auto randomLayer = [&](LogoSettings& l) {
    l.LogoFileName = files[rng() % 3];
    l.LogoPosX = static_cast<int32_t>(rng() % 1000);
    l.LogoPosY = static_cast<int32_t>(rng() % 1000);
    l.LogoSizeX = static_cast<int32_t>(rng() % 700) + 20;
    l.LogoSizeY = static_cast<int32_t>(rng() % 700) + 20;
    l.LogoOpacity = static_cast<int32_t>(rng() % 101);
    l.ColorKeyEnable = rng() % 2;
    l.CoverMode = rng() % 3 == 0 ? static_cast<int32_t>(rng() % 4) : kCoverPicture;
    l.CoverStrength = static_cast<int32_t>(rng() % 6) + 1;
    l.DriftPixels = rng() % 2 ? static_cast<int32_t>(rng() % 33) : 0;
    l.DriftMinutes = 1;
  };
  setTickSource(&fakeTick);
  for (int round = 0; round < 60; ++round) {
    const int32_t width = static_cast<int32_t>(rng() % 48) * 2 + 16;
    const int32_t height = static_cast<int32_t>(rng() % 60) + 8;
    const int32_t code = static_cast<int32_t>(rng() % 2);
    ChannelRecord record;
    randomLayer(record);
    for (int32_t number = 2; number <= kMaxLayers; ++number)
      if (rng() % 3 == 0) {
        LayerSettings layer;
        layer.number = number;
        randomLayer(layer);
        record.layers.push_back(layer);
      }
    const auto fresh = [&](const ChannelRecord& r) {
      auto state = std::make_unique<PluginState>();
      state->channelTable.assign(1, r);
      state->setFormat(width, height, code);
      return state;
    };
    // Each layer as the one layer of a record of its own.
    std::vector<std::unique_ptr<PluginState>> alone;
    std::vector<const LogoSettings*> order{&record};
    for (const LayerSettings& layer : record.layers) order.push_back(&layer);
    for (const LogoSettings* layer : order) {
      alone.push_back(fresh(ChannelRecord()));
      static_cast<LogoSettings&>(alone.back()->channelTable[0]) = *layer;
    }
    const std::unique_ptr<PluginState> layered = fresh(record);

    // Two frames: the switch, then a while later on the drift's orbit.
    const uint32_t start = static_cast<uint32_t>(rng());
    const uint32_t later = start + static_cast<uint32_t>(rng() % (8 * 60000));
    for (const uint32_t now : {start, later}) {
      g_nowMs = now;
      std::vector<uint8_t> base(static_cast<size_t>(width) * height * (code == kPackedYuv422 ? 2 : 3));
      for (uint8_t& b : base) b = static_cast<uint8_t>(rng());
      std::vector<uint8_t> got = base, want = base;
      ChannelInfo channel{};
      channel.id = 7;
      FrameInfo info{};
      info.channel = &channel;
      info.pixels = got.data();
      runFramePipeline(*layered, info);
      info.pixels = want.data();
      for (const auto& state : alone) runFramePipeline(*state, info);
      ASSERT_EQ(got, want) << "seed " << seed << " round " << round << " layers " << alone.size();
    }
  }
  setTickSource(nullptr);
}


// The layers of the record in use share one picture budget, in number
// order: a picture that does not fit beside those before it shows nothing
// and keeps its name; a layer the record lacks lets its picture go.
TEST(Layers, ShareOnePictureBudgetInNumberOrder) {
  const std::string path = ::testing::TempDir() + "layer_budget.bmp";
  ASSERT_TRUE(test::writeBmp24(path, 40, 24, [](int x, int) { return static_cast<uint32_t>(x); }));
  PluginState state;
  state.setFormat(64, 32, kPackedYuv422);
  ChannelRecord record;
  record.LogoFileName = path;
  for (const int32_t number : {3, 6}) {
    LayerSettings layer;
    layer.number = number;
    layer.LogoFileName = path;
    record.layers.push_back(layer);
  }
  state.channelTable.assign(1, record);
  const uint64_t one = frameBudgetBytes(40, 24);
  for (const uint64_t fits : {1, 2, 3}) {
    state.pictureBudget = one * fits + one / 2;
    reloadLayers(state);
    for (const int32_t number : {1, 3, 6}) {
      const bool shown = (number == 1 ? 1 : number == 3 ? 2 : 3) <= static_cast<int32_t>(fits);
      EXPECT_EQ(state.show(number).logoLoaded, shown ? 1 : 0) << "layer " << number << ", " << fits << " fit";
      EXPECT_EQ(state.layerInUse(number)->LogoFileName, path) << "the name stays";
    }
  }
  ASSERT_TRUE(removeLayer(state.recordInUse(), 6));
  reloadLayers(state);
  EXPECT_EQ(state.show(6).logo.budgetHeld(), 0u);
  EXPECT_EQ(state.show(3).logoLoaded, 1);
}


// Zapping among channels whose pictures were decoded ahead, or kept from
// an earlier switch, shows exactly the frames of a plug-in that decodes at
// every switch; a file changed since is decoded anew, a file deleted is
// forgotten, and the cache stays within the picture budget.
TEST(PictureCache, SwitchesShowWhatADecodeShowsAndFollowTheFiles) {
  const std::string dir = ::testing::TempDir();
  const std::string files[] = {dir + "cache_a.bmp", dir + "cache_b.bmp", dir + "cache_c.bmp"};
  const auto write = [&](int i, uint32_t tint) {
    ASSERT_TRUE(test::writeBmp24(files[i], 30 + 7 * i, 20 + 3 * i, [=](int x, int y) {
      return static_cast<uint32_t>(x * 9 + y * 0x0500 + i * 0x400000) ^ tint;
    }));
  };
  for (int i = 0; i < 3; ++i) write(i, 0);
  const auto fresh = [&] {
    auto state = std::make_unique<PluginState>();
    state->privateSettings = 1;
    state->channelTable.assign(1, ChannelRecord());
    for (int i = 0; i < 3; ++i) {
      ChannelRecord record;
      record.id = i + 1;
      record.LogoFileName = files[i];
      record.LogoPosX = 100 * i;
      record.LogoSizeX = record.LogoSizeY = 300;
      record.ColorKeyEnable = i == 2;
      LayerSettings layer;
      layer.number = 4;
      layer.LogoFileName = files[(i + 1) % 3];
      layer.LogoPosY = 500;
      layer.LogoSizeX = layer.LogoSizeY = 200;
      record.layers.push_back(layer);
      state->channelTable.push_back(record);
    }
    state->setFormat(96, 64, kPackedYuv422);
    state->initialized = true;
    return state;
  };
  const std::unique_ptr<PluginState> cached = fresh(), decoding = fresh();
  const std::atomic<bool> stopping{false};
  EXPECT_EQ(cached->pictureCache.fill(*cached, stopping), 3) << "every file once";
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    if (round == 20) write(1, 0xFFFFFF);  // changed since it was decoded
    if (round == 30) std::remove(files[2].c_str());
    ChannelInfo channel{};
    channel.id = static_cast<int64_t>(rng() % 3) + 1;
    std::vector<uint8_t> got(96 * 64 * 2, 0x40), want = got;
    FrameInfo info{};
    info.channel = &channel;
    info.pixels = got.data();
    runFramePipeline(*cached, info);
    // The plug-in as it was: nothing kept between switches.
    decoding->pictureCache.clear();
    info.pixels = want.data();
    runFramePipeline(*decoding, info);
    ASSERT_EQ(got, want) << "round " << round << ", channel " << channel.id;
    EXPECT_EQ(cached->recordInUse().LogoFileName, decoding->recordInUse().LogoFileName);
    if (round % 5 == 4) cached->pictureCache.fill(*cached, stopping);
  }
  EXPECT_TRUE(cached->channelTable[3].LogoFileName.empty()) << "the deleted file is forgotten";

  // Within a budget for two pictures, the least recently used goes.
  cached->pictureBudget = 2 * frameBudgetBytes(44, 26) + 1000;
  cached->pictureCache.trim(*cached);
  uint64_t shown = 0;
  for (const LayerShow& show : cached->shows) shown += show.logo.budgetHeld();
  EXPECT_LE(shown + cached->pictureCache.pictureBytes(), cached->pictureBudget);
  for (const auto& file : files) std::remove(file.c_str());
}

}  // namespace
}  // namespace om
