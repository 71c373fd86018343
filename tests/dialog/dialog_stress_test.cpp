// The video thread stamps frames as fast as it can while the UI thread runs
// every dialog handler on the layers of the record and the file follower
// reloads the pictures of every layer another thread keeps rewriting, one of them a streamed animation whose frames the
// plug-in's thread draws ahead. Run under ThreadSanitizer (build with
// -DOM_SANITIZE=thread) to check for races; OM_DIALOG_STRESS_SECONDS sets how
// long it runs (default 2.5 s).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/notify.h"
#include "common/muldiv.h"
#include "dialog/dialog_controller.h"
#include "fake_dialog_view.h"
#include "logo/logo_image.h"
#include "plugin/frame_pipeline.h"
#include "plugin/plugin_state.h"
#include "logo/image_codec.h"
#include "tests/win32/frame_check/test_pictures.h"

namespace om {
namespace {

using Clock = std::chrono::steady_clock;
using testing_support::FakeDialogView;

double stressSeconds() {
  const char* v = std::getenv("OM_DIALOG_STRESS_SECONDS");
  const double s = v ? std::atof(v) : 0.0;
  return s > 0.0 ? s : 2.5;
}

struct PictureFile {
  std::string path;
  int32_t width, height;
  bool animated = false;
};

bool writePicture(const PictureFile& f, const std::string& target, uint32_t n) {
  if (f.animated) {
    std::vector<testpic::GifFrame> frames = testpic::gifFrames(f.width, f.height);
    for (testpic::GifFrame& frame : frames)
      for (uint8_t& index : frame.indices) index = static_cast<uint8_t>((index + n) % 127 + 1);
    return testpic::writeFile(target, testpic::makeGif(f.width, f.height, testpic::gifPalette(), frames));
  }
  return testing_support::writeBmp24(target, f.width, f.height,
                                     [n](int x, int y) { return static_cast<uint32_t>((x + y + n) * 0x030201); });
}

// What any state the video thread can observe must satisfy: each handler
// makes its edit, reload and rebuild inside one FrameLock hold, so a half-made
// edit (a name without its picture, a size without its overlay) never shows.
void checkState(PluginState& s, const std::map<std::string, PictureFile>& files,
                std::vector<std::string>& failures) {
  auto fail = [&](const std::string& what) {
    if (failures.size() < 20) failures.push_back(what);
  };
  if (s.currentIndex < 0 || static_cast<size_t>(s.currentIndex) >= s.channelTable.size()) {
    fail("index in use outside the table");
    return;
  }
  if (s.dialog.hasWindow() && s.channelTableBackup.size() != s.channelTable.size())
    fail("backup and table lengths differ while the dialog is open");
  for (int32_t number = 1; number <= kMaxLayers; ++number) {
    const LogoSettings* layer = s.layerInUse(number);
    const LayerShow& show = s.show(number);
    if (!layer) {
      if (show.logoLoaded) fail("a layer the record lacks shows a picture");
      continue;
    }
    const LogoSettings& r = *layer;
    if ((show.logoLoaded != 0) != !r.LogoFileName.empty()) fail("file name and loaded picture disagree");
    if (!show.logoLoaded) continue;
    auto it = files.find(r.LogoFileName);
    const LogoFrame& f = show.logo.current();
    if (it == files.end() || it->second.width != f.width || it->second.height != f.height)
      fail("loaded picture is not the layer's file");
    if (r.LogoPosX < 0 || r.LogoPosY < 0 || r.LogoPosX + r.LogoSizeX > 1000 ||
        r.LogoPosY + r.LogoSizeY > 1000)
      fail("position and size outside the frame");
    const Rect& content = show.canvas.overlay().content;
    const int32_t w = MulDiv(show.canvas.width(), r.LogoSizeX, 1000);
    const int32_t h = MulDiv(show.canvas.height(), r.LogoSizeY, 1000);
    if (!content.empty() && (content.right != w || content.bottom != h))
      fail("overlay size does not match the layer");
  }
}

// `uiReloads`: the dialog picks, removes and restores pictures and the video
// switches channels; without it the pictures change only by the follower.
void runStress(bool uiReloads) {
  // Files of their own: ctest may run the other stress test at the same
  // time, and its writer must not rewrite this run's pictures.
  const std::string dir = ::testing::TempDir() + "dialog_stress_" +
                          std::to_string(std::random_device{}()) + "_";
  std::map<std::string, PictureFile> files;
  const int32_t sizes[][2] = {{40, 30}, {64, 16}, {17, 23}};
  for (int i = 0; i < 3; ++i) {
    PictureFile f{dir + std::to_string(i) + ".bmp", sizes[i][0], sizes[i][1]};
    ASSERT_TRUE(testing_support::writeBmp24(f.path, f.width, f.height, [i](int x, int y) {
      return static_cast<uint32_t>((x * 13 + y * 7 + i * 50) * 0x010203);
    }));
    files[f.path] = f;
  }
  // First in the map, so the record starts with it: streamed, as an animation
  // over the picture budget would be.
  const PictureFile animation{dir + ".gif", 48, 20, true};
  ASSERT_TRUE(writePicture(animation, animation.path, 0));
  files[animation.path] = animation;
  setFullLoadBudgetForTesting(1);
  const std::string broken = dir + "broken.bmp";
  {
    FILE* f = std::fopen(broken.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("BM not really a bitmap", f);
    std::fclose(f);
  }
  {
    LogoImage probe;
    if (!probe.LoadFromFile(files.begin()->first.c_str()))
      std::printf("note: Windows bitmaps do not load in this build; pictures stay empty\n");
  }

  auto state = std::make_unique<PluginState>();
  PluginState& s = *state;
  s.channelTable.push_back(ChannelRecord());
  s.channelTable[0].LogoFileName = files.begin()->first;
  // Two more layers, each following a file of its own.
  for (const int32_t number : {2, 5}) {
    LayerSettings layer;
    layer.number = number;
    layer.LogoFileName = std::next(files.begin(), number == 2 ? 1 : 2)->first;
    layer.LogoPosX = layer.LogoSizeX = layer.LogoSizeY = 300;
    s.channelTable[0].layers.push_back(layer);
  }
  s.initialized = true;
  const int32_t width = 320, height = 240;
  s.setFormat(width, height, 1);
  // The file follower looks often, and its files keep changing.
  s.follower.setPollPeriod(1);
  s.follower.start();

  const uint32_t seed = std::random_device{}();
  std::printf("dialog stress seed %u, %.1f s\n", seed, stressSeconds());
  const auto deadline =
      Clock::now() + std::chrono::milliseconds(static_cast<int64_t>(stressSeconds() * 1000));

  std::atomic<bool> stop{false};
  std::atomic<uint64_t> frames{0}, actions{0};
  uint64_t framesWithPicture = 0;  // video thread only until joined
  std::vector<std::string> failures;

  std::thread video([&] {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 3, 0x80);
    ChannelInfo channel{};
    FrameInfo frame{};
    frame.pixels = pixels.data();
    frame.channel = &channel;
    uint64_t n = 0;
    while (!stop.load(std::memory_order_relaxed)) {
      // A new channel every 40 frames, among three, so records get appended
      // while the dialog is open; one channel when the follower is to reload.
      channel.id = 5 + (uiReloads ? static_cast<int64_t>((n / 40) % 3) : 0);
      std::snprintf(channel.name, sizeof channel.name, "K%d", static_cast<int>(channel.id));
      runFramePipeline(s, frame);
      if (n % 97 == 0) {  // as PluginSetFormat does, under the same lock
        platform::LockGuard hold(s.frameLock);
        s.previewScaler.setMargins(0, 0);
      }
      {
        platform::LockGuard hold(s.frameLock);
        checkState(s, files, failures);
        if (s.show(1).logoLoaded) ++framesWithPicture;
      }
      ++n;
      frames.store(n, std::memory_order_relaxed);
      // The lock is not fair: let the UI thread in between frames, as the
      // host's frame pacing would.
      std::this_thread::yield();
    }
  });

  // Another program saving the pictures: the same sizes, new pixels, now in
  // place, now as a new file renamed over the old one.
  std::thread writer([&] {
    // After the first channel switch has loaded a picture: a half-written
    // file then would drop the name, and there would be nothing to follow.
    while (frames.load() == 0 && !stop.load()) std::this_thread::yield();
    uint32_t n = 0;
    while (!stop.load(std::memory_order_relaxed)) {
      for (const auto& entry : files) {
        const PictureFile& f = entry.second;
        const std::string target = ++n % 2 ? f.path : f.path + ".new";
        writePicture(f, target, n);
        if (target != f.path) std::rename(target.c_str(), f.path.c_str());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
  });

  // A stall of both threads for this long means a deadlock.
  std::thread watchdog([&] {
    uint64_t lastFrames = 0, lastActions = 0;
    auto lastProgress = Clock::now();
    while (!stop.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const uint64_t f = frames.load(), a = actions.load();
      if (f != lastFrames || a != lastActions) {
        lastFrames = f;
        lastActions = a;
        lastProgress = Clock::now();
      } else if (Clock::now() - lastProgress > std::chrono::seconds(30)) {
        std::fprintf(stderr, "dialog stress: no progress for 30 s, deadlock\n");
        std::abort();
      }
    }
  });

  // The UI thread is this one.
  DialogController& c = s.dialog.controller();
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  std::vector<std::string> choices;
  for (const auto& f : files) choices.push_back(f.first);
  choices.push_back(broken);
  const int32_t repeatButtons[] = {kIdMoveLeft, kIdMoveRight, kIdMoveUp,
                                   kIdMoveDown, kIdSmaller,   kIdLarger};
  const int32_t corners[] = {kIdTopLeft, kIdTopRight, kIdBottomLeft, kIdBottomRight};
  const char* opacityTexts[] = {"", "5", "150", "77", "1x", "100"};
  int lockViolations = 0;
  uint64_t opened = 0, cancelled = 0;

  while (Clock::now() < deadline) {
    FakeDialogView view(c);
    c.onInitDialog(s.dialogModel, view);
    ++opened;
    view.pump();
    for (int step = 0; step < 200 && !view.destroyed && Clock::now() < deadline; ++step) {
      int action = pick(15);
      // Without UI reloads those actions refresh instead, and the dialog
      // closes with OK only.
      if (!uiReloads && (action <= 2 || action == 12)) action = 10;
      switch (action) {
        case 0:
          if (pick(5) == 0)
            view.fileAnswers.push_back(std::nullopt);
          else
            view.fileAnswers.push_back(choices[static_cast<size_t>(pick(static_cast<int>(choices.size())))]);
          view.click(kIdChooseLogo);
          break;
        case 1: view.click(kIdRemoveLogo); break;
        case 2: view.click(kIdPrivateSettings); break;
        case 3: view.click(kIdShowLogo); break;
        case 4: view.click(kIdColorKeyEnable); break;
        case 5: view.click(kIdLeftTopPixel); break;
        case 6:
          if (pick(2)) view.colorAnswers.push_back(static_cast<uint32_t>(rng()) & 0xFFFFFF);
          view.click(kIdColorSwatch);
          break;
        case 7: view.editOpacity(opacityTexts[pick(6)]); break;
        case 8: view.click(corners[pick(4)]); break;
        case 9: {
          const int32_t id = repeatButtons[pick(6)];
          c.onRepeatButtonDown(id);
          for (int t = pick(15); t > 0; --t) view.tick(kHoldRepeatTimer);
          c.onRepeatButtonUp(id);
          break;
        }
        case 10:
          c.onNotify(kNotifyPreview);
          c.onNotify(kNotifyEverything);
          break;
        case 11:
          c.startFlash(2);
          for (int t = 0; t < 3; ++t) view.tick(kFlashTimer);
          break;
        case 12:
          if (pick(8) == 0) {
            if (pick(2)) {
              view.click(kIdCancel);
              ++cancelled;
            } else {
              view.click(kIdOk);
            }
          }
          break;
        case 13: {
          // A layer picked, added or removed.
          const int what = uiReloads ? pick(3) : 0;
          if (what == 0)
            view.select(kIdLayerList, pick(static_cast<int>(view.controls[kIdLayerList].items.size()) + 1));
          else
            view.click(what == 1 ? kIdAddLayer : kIdRemoveLayer);
          break;
        }
        default: view.click(kIdAbout); break;
      }
      view.pump();
      actions.fetch_add(1, std::memory_order_relaxed);
      std::this_thread::yield();
    }
    if (!view.destroyed) {
      view.click(uiReloads ? kIdCancel : kIdOk);
      cancelled += uiReloads;
      view.pump();
    }
    lockViolations += view.lockViolations;
    EXPECT_FALSE(s.dialog.hasWindow());
  }

  stop.store(true);
  video.join();
  watchdog.join();
  writer.join();
  s.follower.stop();
  setFullLoadBudgetForTesting(0);

  std::printf("%u pictures reloaded by the follower\n", s.follower.reloads());
  std::printf("%llu frames (%llu with a picture), %llu UI actions, %llu openings, %llu cancels\n",
              static_cast<unsigned long long>(frames.load()),
              static_cast<unsigned long long>(framesWithPicture),
              static_cast<unsigned long long>(actions.load()),
              static_cast<unsigned long long>(opened), static_cast<unsigned long long>(cancelled));
  EXPECT_GT(frames.load(), 0u);
  EXPECT_GT(actions.load(), 0u);
  EXPECT_EQ(lockViolations, 0);
  for (const std::string& f : failures) ADD_FAILURE() << f << " (seed " << seed << ")";
  if (!uiReloads && files.begin()->second.width > 0) {
    LogoImage probe;
    if (probe.LoadFromFile(files.begin()->first.c_str())) {
      EXPECT_GT(s.follower.reloads(), 0u) << "the follower never put a picture in place";
    }
  }
  for (const auto& f : files) std::remove(f.first.c_str());
  std::remove(broken.c_str());
}

TEST(DialogStress, VideoAndUiThreadsShareTheStateSafely) { runStress(true); }

TEST(DialogStress, FollowerPutsPicturesInPlaceWhileVideoAndUiRun) { runStress(false); }

}  // namespace
}  // namespace om
