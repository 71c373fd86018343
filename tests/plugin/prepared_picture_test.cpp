// A picture put in place by the follower, decoded and prepared aside, shows
// exactly as a channel switch to it shows it, and the overlay the frames
// then read is the one prepared away from FrameLock.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <thread>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "plugin/channel_ops.h"
#include "plugin/frame_pipeline.h"
#include "plugin/plugin_state.h"
#include "plugin/prepared_picture.h"
#include "plugin/tick.h"
#include "tests/win32/frame_check/test_pictures.h"
#include "logo/image_codec.h"
#include "tests/support/bmp_file.h"

namespace om {
namespace {

struct Rig {
  PluginState state;
  std::vector<uint8_t> frame;
  Rig(int32_t width, int32_t height, int32_t code, const ChannelRecord& record) {
    state.initialized = true;
    state.channelTable.push_back(record);
    state.setFormat(width, height, code);
  }
  std::vector<uint8_t> blended() {
    frame.assign(static_cast<size_t>(state.show(1).canvas.width()) * state.show(1).canvas.height() *
                     static_cast<size_t>(state.show(1).canvas.bytesPerPixel()), 0x55);
    const ChannelRecord& r = state.recordInUse();
    const int32_t position[2] = {r.LogoPosX, r.LogoPosY};
    state.show(1).canvas.BlendOverlay(frame.data(), position, r.LogoOpacity);
    return frame;
  }
};

TEST(PreparedPicture, ShowsAsASwitchShowsIt) {
  const uint32_t seed = std::random_device{}();
  std::printf("seed %u\n", seed);
  std::mt19937 rng(seed);
  const std::string path =
      (std::filesystem::temp_directory_path() / ("om-prepared-" + std::to_string(seed) + ".bmp")).string();
  for (int round = 0; round < 40; ++round) {
    const int32_t pw = 1 + static_cast<int32_t>(rng() % 90), ph = 1 + static_cast<int32_t>(rng() % 70);
    ASSERT_TRUE(test::writeBmp24(path, pw, ph, [&](int x, int y) {
      return static_cast<uint32_t>(x * 2654435761u ^ y * 40503u) & 0xFFFFFF;
    }));
    ChannelRecord record;
    record.LogoFileName = path;
    record.LogoPosX = static_cast<int32_t>(rng() % 1200) - 100;
    record.LogoPosY = static_cast<int32_t>(rng() % 1200) - 100;
    record.LogoSizeX = static_cast<int32_t>(rng() % 1100);
    record.LogoSizeY = static_cast<int32_t>(rng() % 1100);
    record.LogoOpacity = static_cast<int32_t>(rng() % 101);
    record.ColorKeyEnable = rng() % 2;
    record.KeySoftness = static_cast<int32_t>(rng() % 3) * 10;
    record.VideoColors = static_cast<int32_t>(rng() % 5);
    const int32_t code = static_cast<int32_t>(rng() % 2);
    const int32_t width = 2 + static_cast<int32_t>(rng() % 200), height = 2 + static_cast<int32_t>(rng() % 150);

    // Settings edited while the overlay was prepared: rebuilt in place instead.
    const bool edited = rng() % 4 == 0;
    ChannelRecord edit = record;
    edit.LogoOpacity = 50;
    edit.LogoSizeX = 300;
    Rig switched(width, height, code, edited ? edit : record);
    reloadLogo(switched.state, 1);
    rebuildOverlay(switched.state, 1);

    Rig followed(width, height, code, record);
    PreparedPicture prepared;
    ASSERT_TRUE(prepared.picture().LoadFromFile(path.c_str()));
    prepared.beginPreparing(followed.state, 1);
    prepared.prepareOverlay();
    const uint8_t* aside = prepared.overlay().pixels;
    if (edited) followed.state.recordInUse() = edit;
    prepared.putInPlace(followed.state, 1);
    if (!edited && !followed.state.show(1).canvas.overlay().content.empty()) {
      EXPECT_EQ(followed.state.show(1).canvas.overlay().pixels, aside) << "the overlay prepared aside";
    }
    ASSERT_TRUE(sameSettings(followed.state.recordInUse(), switched.state.recordInUse()))
        << "seed " << seed << " round " << round;
    ASSERT_EQ(followed.blended(), switched.blended()) << "seed " << seed << " round " << round;
  }
  std::remove(path.c_str());
}

uint32_t g_nowMs = 0;
uint32_t TULVANE_CDECL fakeTick() { return g_nowMs; }

// With the plug-in's thread running, a streamed animation steps whether or
// not the budget leaves room to draw its frames ahead (a canvas-sized
// source, here an APNG restoring frames, may take that room).
TEST(AnimationAhead, StreamedAnimationStepsWithAndWithoutACanvasAhead) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("om-ahead-" + std::to_string(std::random_device{}()) + ".png")).string();
  ASSERT_TRUE(testpic::writeFile(path, testpic::makeApng(64, 64, testpic::apngTestFrames(64, 64, false, 2))));
  setTickSource(&fakeTick);
  setFullLoadBudgetForTesting(1);
  for (const bool roomAhead : {true, false}) {
    SCOPED_TRACE(roomAhead ? "drawn ahead" : "decoded on the step");
    Rig rig(96, 96, kPackedYuv422, ChannelRecord());
    const uint64_t budget = roomAhead ? kPictureMemoryBudget : 3 * frameBudgetBytes(64, 64);
    ASSERT_TRUE(rig.state.show(1).logo.LoadFromFile(path.c_str(), Truncated::kShowsWhatDecoded, budget));
    ASSERT_TRUE(rig.state.show(1).logo.streamed());
    EXPECT_EQ(rig.state.show(1).logo.drawsAhead(), roomAhead);
    rig.state.show(1).logoLoaded = 1;
    rig.state.recordInUse().LogoSizeX = rig.state.recordInUse().LogoSizeY = 500;
    rebuildOverlay(rig.state, 1);
    rig.state.follower.start();
    std::vector<uint8_t> pixels(96 * 96 * 2, 0x80);
    ChannelInfo channel{};
    FrameInfo info{};
    info.pixels = pixels.data();
    info.channel = &channel;
    rig.state.currentChannelId = channel.id;
    std::set<int> shown;
    for (int i = 0; i < 400 && shown.size() < 6; ++i) {
      g_nowMs += 20;
      runFramePipeline(rig.state, info);
      platform::LockGuard hold(rig.state.frameLock);
      shown.insert(rig.state.show(1).logo.currentFrame());
      if (i % 10 == 0) rig.state.follower.wake();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    rig.state.follower.stop();
    EXPECT_EQ(shown.size(), 6u) << "every frame of the animation shows";
  }
  setFullLoadBudgetForTesting(0);
  setTickSource(nullptr);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace om
