// Animations over the picture budget, decoded frame by frame as they play:
// the frames a full load keeps, over two loops; prepared overlays kept by
// frame index; a long GIF in bounded memory.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>

#include "common/alloc_hook.h"
#include "logo/image_codec.h"
#include "logo/overlay.h"
#include "picture_writers.h"
#include "tests/support/counting_new.h"
#include "tests/win32/frame_check/test_pictures.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define OM_SANITIZED 1
#else
#define OM_SANITIZED 0
#endif

namespace om::test {
namespace {

// The current frame's pixels, top row first.
std::vector<uint32_t> shown(const LogoFrame& f) {
  std::vector<uint32_t> out;
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x) out.push_back(pixelOf(f, x, y));
  return out;
}

struct BudgetLowered {
  BudgetLowered() { setFullLoadBudgetForTesting(1); }
  ~BudgetLowered() { setFullLoadBudgetForTesting(0); }
};

// Loads `path` whole and streamed; the streamed play shows the full load's
// frames in order, with their delays, for two loops and back and forth, and
// from its first loop on counts the frames it plays. So does a play whose
// frames are drawn ahead, as the plug-in's thread draws them.
void expectStreamedPlayEqualsFullLoad(const std::string& path) {
  LogoImage full, streamed, ahead;
  ASSERT_TRUE(full.LoadFromFile(path.c_str()));
  ASSERT_FALSE(full.streamed());
  {
    BudgetLowered lowered;
    ASSERT_TRUE(streamed.LoadFromFile(path.c_str()));
    ASSERT_TRUE(ahead.LoadFromFile(path.c_str()));
  }
  int drawnAhead = -1, loans = 0;
  const auto stepAhead = [&] {
    if (ahead.lendAhead()) {
      ++loans;
      ahead.drawAhead([](const LogoFrame&, int index, void* seen) { *static_cast<int*>(seen) = index; },
                      &drawnAhead);
      ASSERT_TRUE(ahead.aheadReady());
    }
    const int next = ahead.NextFrame();
    if (drawnAhead >= 0) {
      ASSERT_EQ(next, drawnAhead) << "the frame drawn ahead is the one shown next";
    }
    drawnAhead = -1;
    ASSERT_EQ(shown(ahead.current()), shown(streamed.current()));
    ASSERT_EQ(ahead.CurrentDelay(), streamed.CurrentDelay());
    ASSERT_EQ(ahead.FrameCount(), streamed.FrameCount());
  };
  const int n = full.FrameCount();
  ASSERT_EQ(streamed.streamed(), n > 1);
  const uint64_t generation = streamed.generation();
  for (int step = 0; step <= 2 * n; ++step) {
    const int i = step % n;
    ASSERT_EQ(streamed.currentFrame(), i) << "step " << step;
    ASSERT_EQ(streamed.CurrentDelay(), full.frame(i).delayMs) << "step " << step;
    ASSERT_EQ(shown(streamed.current()), shown(full.frame(i))) << "step " << step;
    streamed.NextFrame();
    stepAhead();
    if (step >= n - 1) {
      ASSERT_EQ(streamed.FrameCount(), n) << "step " << step;
    }
  }
  for (int i : {n - 1, 0, n / 2, n / 2, 1}) {
    ASSERT_EQ(streamed.SelectFrame(i), i);
    ASSERT_EQ(shown(streamed.current()), shown(full.frame(i))) << "selected " << i;
  }
  EXPECT_EQ(streamed.generation(), generation) << "steps leave prepared overlays valid";
  EXPECT_EQ(loans > 0, n > 1) << "frames were drawn ahead";
}

std::vector<std::pair<std::string, Bytes>> animations() {
  std::vector<std::pair<std::string, Bytes>> out;
  const std::vector<Rgb> colors = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
  std::vector<GifFrameInput> frames;
  for (int i = 0; i < 7; ++i) {
    GifFrameInput f;
    f.width = i == 0 ? 12 : 5 + i;
    f.height = i == 0 ? 9 : 3 + i % 4;
    f.left = i == 0 ? 0 : i;
    f.top = i == 0 ? 0 : i % 5;
    f.disposal = i % 4;
    f.transparent = i % 2 ? 3 : -1;
    f.interlace = i == 4;
    f.delay = i;
    if (i == 5) f.localColors = {{9, 9, 9}, {90, 90, 90}, {190, 190, 190}, {250, 250, 250}};
    for (int p = 0; p < f.width * f.height; ++p) f.indices.push_back(static_cast<uint8_t>((p * 7 + i) % 4));
    frames.push_back(f);
  }
  const Bytes gif = writeGif(12, 9, colors, frames, true);
  out.emplace_back("every_disposal.gif", gif);
  // Cut in frame 5's header or pixels: the loop ends at the damaged frame.
  const std::vector<GifFrameInput> five(frames.begin(), frames.begin() + 5);
  const size_t fiveBytes = writeGif(12, 9, colors, five, true).size() - 1;  // without the trailer
  for (size_t into : {30, 36, 41})
    out.emplace_back("damaged" + std::to_string(into) + ".gif", Bytes(gif.begin(), gif.begin() + static_cast<long>(fiveBytes + into)));
  // Frame 5's blocks whole but its codes not: counted by the file's outline,
  // yet not one row decodes, so the loop ends before it.
  Bytes badCodes = gif;
  std::fill_n(badCodes.begin() + static_cast<long>(fiveBytes + 32), 4, 0xFF);
  out.emplace_back("bad_codes.gif", badCodes);
  out.emplace_back("every_op.png", testpic::makeApng(23, 17, testpic::apngTestFrames(23, 17, true)));
  auto apart = testpic::apngTestFrames(16, 12, false, 2);
  const Bytes defaultImage = apart[5].png;
  apart[0].dispose = 2;
  out.emplace_back("apart.png", testpic::makeApng(16, 12, apart, &defaultImage));
  return out;
}

TEST(StreamedAnimation, PlaysTheFramesOfAFullLoad) {
  TempDir dir;
  for (const auto& [name, bytes] : animations()) {
    SCOPED_TRACE(name);
    expectStreamedPlayEqualsFullLoad(dir.write(name, bytes));
  }
}

// Prepared overlays are kept by frame index. A streamed frame's pixels are
// rewritten in one buffer at each step, but frame i always gets the same
// ones: what was prepared for i still shows i, through several loops, with
// every frame prepared, some, or none.
TEST(StreamedAnimation, PreparedOverlaysShowTheFrameOfTheirIndex) {
  TempDir dir;
  const std::string path = dir.write("a.png", testpic::makeApng(40, 30, testpic::apngTestFrames(40, 30, true)));
  struct Rig {
    LogoImage logo;
    FrameCanvas canvas;
    OverlayBuilder builder;
    ChannelRecord record;
  };
  Rig reference, all, some;
  reference.builder.setPreparedBudget(0);
  ASSERT_TRUE(reference.logo.LoadFromFile(path.c_str()));
  {
    BudgetLowered lowered;
    ASSERT_TRUE(all.logo.LoadFromFile(path.c_str()));
    ASSERT_TRUE(some.logo.LoadFromFile(path.c_str()));
  }
  ASSERT_TRUE(all.logo.streamed());
  for (Rig* rig : {&reference, &all, &some}) {
    rig->canvas.SetFormat(320, 240, kPackedYuv422);
    rig->record.LogoSizeX = 300;
    rig->record.LogoSizeY = 400;
  }
  // Room for two of the six frames' overlays.
  some.builder.setPreparedBudget(2 * 96 * 96 * 4);
  for (Rig* rig : {&reference, &all, &some}) rig->builder.rebuild(rig->canvas, rig->logo, rig->record);
  const auto content = [](const Rig& rig) {
    const OverlayImage& o = rig.canvas.overlay();
    std::vector<uint8_t> bytes;
    for (int32_t r = 0; r < o.content.bottom; ++r) {
      const uint8_t* p = o.pixels + static_cast<size_t>(r) * o.allocatedWidth * 4;
      bytes.insert(bytes.end(), p, p + o.content.right * 4);
    }
    return bytes;
  };
  for (int step = 0; step < 20; ++step) {
    SCOPED_TRACE(step);
    ASSERT_FALSE(reference.canvas.overlay().content.empty());
    ASSERT_EQ(content(all), content(reference));
    ASSERT_EQ(content(some), content(reference));
    for (Rig* rig : {&reference, &all, &some}) {
      if (step == 9) rig->record.ColorKeyEnable = 1;  // an edit, rebuilt as the dialog does
      if (step == 9) {
        rig->builder.rebuild(rig->canvas, rig->logo, rig->record);
      } else {
        rig->logo.NextFrame();
        rig->builder.step(rig->canvas, rig->logo, rig->record);
      }
    }
  }
  EXPECT_NE(all.canvas.overlay().pixels, all.canvas.overlay().block) << "shown from prepared frames";
}

// A picture being replaced still holds its share of the budget: an
// animation loaded beside it is decoded whole only within what is left,
// streamed beyond it, and refused when not even its stream fits.
TEST(StreamedAnimation, LoadsWithinTheBudgetLeft) {
  TempDir dir;
  const std::string path = dir.write("every_disposal.gif", animations().front().second);
  LogoImage image;
  ASSERT_TRUE(image.LoadFromFile(path.c_str()));
  const int n = image.FrameCount();
  const uint64_t whole = image.budgetHeld();
  ASSERT_FALSE(image.streamed());
  ASSERT_TRUE(image.LoadFromFile(path.c_str(), Truncated::kShowsWhatDecoded, whole));
  EXPECT_FALSE(image.streamed());
  ASSERT_TRUE(image.LoadFromFile(path.c_str(), Truncated::kShowsWhatDecoded, whole - 1));
  EXPECT_TRUE(image.streamed());
  EXPECT_EQ(image.FrameCount(), n);
  EXPECT_LE(image.budgetHeld(), whole - 1);
  EXPECT_FALSE(image.LoadFromFile(path.c_str(), Truncated::kShowsWhatDecoded, whole / n))
      << "not even the stream's canvases fit";
}

// giflib keeps a record (and a copy of a local colour map) for every image
// it reads: a streamed GIF must not hold more and more of them as it plays.
TEST(StreamedAnimation, HoldsNoMoreMemoryFrameAfterFrame) {
  if (OM_SANITIZED) GTEST_SKIP() << "sanitizer memory says nothing of ours";
  TempDir dir;
  GifFrameInput f;
  f.width = f.height = 2;
  f.indices = {0, 1, 2, 3};
  f.localColors = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
  const std::string path = dir.write("many.gif", writeGif(2, 2, {}, std::vector<GifFrameInput>(20000, f)));
  LogoImage image;
  {
    BudgetLowered lowered;
    ASSERT_TRUE(image.LoadFromFile(path.c_str()));
  }
  ASSERT_TRUE(image.streamed());
  for (int i = 0; i < 100; ++i) image.NextFrame();
  const size_t early = mallinfo2().uordblks;
  for (int i = 100; i < 19999; ++i) image.NextFrame();
  EXPECT_LT(mallinfo2().uordblks, early + 64 * 1024);
}

uint64_t statusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::strtoull(line.c_str() + std::strlen(field), nullptr, 10);
  return 0;
}
// Starts a new peak: VmHWM becomes the current RSS.
void resetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

uint64_t fnv1a(const LogoFrame& f) {
  uint64_t h = 0xcbf29ce484222325ull;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(f.pixels);
  for (size_t i = 0; i < static_cast<size_t>(f.width) * f.height * 4; ++i) h = (h ^ p[i]) * 0x100000001b3ull;
  return h;
}

// A GIF like a 783-frame 640 x 421 clip: far over the budget, so it plays
// streamed, through two loops, with the frames of the same GIF cut to 200
// frames (which fit and load whole), its overlays prepared for a 1080p
// frame, never more than 64 MiB above a still logo of its size shown alike;
// after the first loop our code allocates nothing.
TEST(StreamedAnimation, LongGifPlaysInBoundedMemory) {
  if (OM_SANITIZED) GTEST_SKIP() << "sanitizer memory says nothing of ours";
  constexpr int kWidth = 640, kHeight = 421, kFrames = 783, kCut = 200;
  ASSERT_FALSE(pictureFitsBudget(kWidth, kHeight, kFrames));
  ASSERT_TRUE(pictureFitsBudget(kWidth, kHeight, kCut));
  TempDir dir;
  const std::string longGif = dir.path() + "/long.gif", cutGif = dir.path() + "/cut.gif";
  ASSERT_TRUE(writeLongGif(longGif, kWidth, kHeight, kFrames));
  ASSERT_TRUE(writeLongGif(cutGif, kWidth, kHeight, kCut));
  const std::string stillPng = dir.write("still.png", writePngRgba(kWidth, kHeight, Bytes(kWidth * kHeight * 4, 200)));

  // As the plug-in plays it: overlays for a 1080p frame, prepared frames
  // kept within their budget.
  ChannelRecord record;
  record.LogoSizeX = record.LogoSizeY = 400;
  resetPeakRss();
  uint64_t stillPeak = 0;
  {
    LogoImage still;
    FrameCanvas canvas;
    OverlayBuilder builder;
    canvas.SetFormat(1920, 1080, kPackedYuv422);
    ASSERT_TRUE(still.LoadFromFile(stillPng.c_str()));
    builder.rebuild(canvas, still, record);
    stillPeak = statusKiB("VmHWM:");
  }
  resetPeakRss();
  LogoImage image;
  FrameCanvas canvas;
  OverlayBuilder builder;
  canvas.SetFormat(1920, 1080, kPackedYuv422);
  ASSERT_TRUE(image.LoadFromFile(longGif.c_str()));
  ASSERT_TRUE(image.streamed());
  ASSERT_EQ(image.FrameCount(), kFrames);
  builder.rebuild(canvas, image, record);
  std::vector<uint64_t> hashes;
  hashes.reserve(2 * kCut);
  int64_t alignedBefore = 0;
  for (int loop = 0; loop < 2; ++loop) {
    if (loop == 1) {
      om::test::g_allocations = 0;
      alignedBefore = alignedAllocationCount();
      om::test::g_counting = true;
    }
    for (int i = 0; i < kFrames; ++i) {
      ASSERT_EQ(image.currentFrame(), i);
      if (i < kCut) hashes.push_back(fnv1a(image.current()));
      image.NextFrame();
      builder.step(canvas, image, record);
    }
  }
  om::test::g_counting = false;
  const uint64_t playPeak = statusKiB("VmHWM:");
  std::printf("peak RSS: still logo %llu KiB; streamed %d-frame GIF (%lld KiB file), two loops: %llu KiB (+%llu KiB)\n",
              static_cast<unsigned long long>(stillPeak), kFrames,
              static_cast<long long>(std::filesystem::file_size(longGif) / 1024),
              static_cast<unsigned long long>(playPeak), static_cast<unsigned long long>(playPeak - stillPeak));
  EXPECT_LT(playPeak, stillPeak + 64 * 1024);
  EXPECT_EQ(om::test::g_allocations.load(), 0);
  EXPECT_EQ(alignedAllocationCount(), alignedBefore);

  LogoImage cut;
  ASSERT_TRUE(cut.LoadFromFile(cutGif.c_str()));
  ASSERT_FALSE(cut.streamed());
  ASSERT_EQ(cut.FrameCount(), kCut);
  for (size_t h = 0; h < hashes.size(); ++h)
    ASSERT_EQ(hashes[h], fnv1a(cut.frame(static_cast<int>(h % kCut)))) << "loop " << h / kCut << " frame " << h % kCut;
}

}  // namespace
}  // namespace om::test
