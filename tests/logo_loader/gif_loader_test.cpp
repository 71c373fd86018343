// GIF loading: delays, the viewer's compositing of frame rectangles,
// transparency and disposal, interlacing, the ".gif" rule and the budget
// (beyond which frames are streamed).
#include <gtest/gtest.h>

#include "logo/image_codec.h"
#include "picture_writers.h"

namespace om::test {
namespace {

const std::vector<Rgb> kColors = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
constexpr uint32_t kRed = argb(255, 255, 0, 0);
constexpr uint32_t kGreen = argb(255, 0, 255, 0);
constexpr uint32_t kBlue = argb(255, 0, 0, 255);

GifFrameInput solid(int w, int h, uint8_t index, int delay) {
  GifFrameInput f;
  f.width = w;
  f.height = h;
  f.indices.assign(static_cast<size_t>(w * h), index);
  f.delay = delay;
  return f;
}

// Every pixel of frame `index`, top row first.
std::vector<uint32_t> framePixels(const LogoImage& image, int index) {
  const LogoFrame& f = image.frame(index);
  std::vector<uint32_t> out;
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x) out.push_back(pixelOf(f, x, y));
  return out;
}

class GifLoader : public ::testing::Test {
 protected:
  TempDir dir;
  LogoImage image;
};

TEST_F(GifLoader, DelaysAreTenTimesHundredthsWithZeroOrMissingAsHundred) {
  std::vector<GifFrameInput> frames = {solid(2, 2, 0, 0), solid(2, 2, 1, 7), solid(2, 2, 2, 1), solid(2, 2, 3, 0)};
  frames[3].control = false;
  ASSERT_TRUE(image.LoadFromFile(dir.write("a.gif", writeGif(2, 2, kColors, frames)).c_str()));
  ASSERT_EQ(image.FrameCount(), 4);
  const int expected[4] = {100, 70, 10, 100};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(image.frame(i).delayMs, expected[i]) << "frame " << i;
  EXPECT_EQ(image.currentFrame(), 0);
  EXPECT_EQ(image.CurrentDelay(), 100);
}

TEST_F(GifLoader, FramesAreCompositedWithTransparencyAndDisposal) {
  GifFrameInput keep = solid(4, 4, 0, 10);
  keep.disposal = 1;
  GifFrameInput restore;  // green square with one transparent pixel, then put back
  restore.left = restore.top = 1;
  restore.width = restore.height = 2;
  restore.indices = {1, 3, 1, 1};
  restore.transparent = 3;
  restore.disposal = 3;
  GifFrameInput clear = solid(1, 1, 2, 10);  // blue corner, then cleared
  clear.disposal = 2;
  GifFrameInput last = solid(1, 1, 1, 10);
  last.left = last.top = 3;

  ASSERT_TRUE(image.LoadFromFile(dir.write("c.gif", writeGif(4, 4, kColors, {keep, restore, clear, last})).c_str()));
  ASSERT_EQ(image.FrameCount(), 4);
  const uint32_t R = kRed, G = kGreen, B = kBlue, T = 0;
  EXPECT_EQ(framePixels(image, 0), std::vector<uint32_t>(16, R));
  EXPECT_EQ(framePixels(image, 1), (std::vector<uint32_t>{R, R, R, R, R, G, R, R, R, G, G, R, R, R, R, R}));
  EXPECT_EQ(framePixels(image, 2), (std::vector<uint32_t>{B, R, R, R, R, R, R, R, R, R, R, R, R, R, R, R}));
  EXPECT_EQ(framePixels(image, 3), (std::vector<uint32_t>{T, R, R, R, R, R, R, R, R, R, R, R, R, R, R, G}));
}

TEST_F(GifLoader, UncoveredAndTransparentPixelsAreFullyTransparent) {
  GifFrameInput f = solid(2, 1, 1, 10);
  f.left = 1;
  f.indices = {1, 0};
  f.transparent = 0;
  ASSERT_TRUE(image.LoadFromFile(dir.write("t.gif", writeGif(3, 1, kColors, {f})).c_str()));
  EXPECT_EQ(framePixels(image, 0), (std::vector<uint32_t>{0, kGreen, 0}));
}

TEST_F(GifLoader, InterlacedRowsLandWhereTheyBelong) {
  // 11 rows reach every pass; each row gets its own colour pattern.
  GifFrameInput f;
  f.width = 3;
  f.height = 11;
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x) f.indices.push_back(static_cast<uint8_t>((y + x) % 4));
  GifFrameInput plain = f;
  f.interlace = true;
  LogoImage reference;
  ASSERT_TRUE(image.LoadFromFile(dir.write("i.gif", writeGif(3, 11, kColors, {f})).c_str()));
  ASSERT_TRUE(reference.LoadFromFile(dir.write("p.gif", writeGif(3, 11, kColors, {plain})).c_str()));
  const uint32_t colors[4] = {kRed, kGreen, kBlue, argb(255, 255, 255, 255)};
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 3; ++x) ASSERT_EQ(pixelOf(image.current(), x, y), colors[(y + x) % 4]) << x << "," << y;
  EXPECT_EQ(framePixels(image, 0), framePixels(reference, 0));
}

TEST_F(GifLoader, OnlyAGifEndingAnimatesWhateverTheContent) {
  const Bytes gif = writeGif(2, 2, kColors, {solid(2, 2, 0, 5), solid(2, 2, 1, 5), solid(2, 2, 2, 5)});
  for (const char* name : {"a.gif", "b.GIF", "c.GiF"}) {
    ASSERT_TRUE(image.LoadFromFile(dir.write(name, gif).c_str())) << name;
    EXPECT_EQ(image.FrameCount(), 3) << name;
  }
  // The same bytes under another name: a still picture, the first frame.
  for (const char* name : {"d.png", "e.gifx", "f.gi"}) {
    ASSERT_TRUE(image.LoadFromFile(dir.write(name, gif).c_str())) << name;
    EXPECT_EQ(image.FrameCount(), 1) << name;
    EXPECT_EQ(image.CurrentDelay(), 0) << name;
    EXPECT_EQ(pixelOf(image.current(), 1, 1), kRed) << name;
  }
}

TEST_F(GifLoader, ZeroLogicalScreenTakesTheFramesExtent) {
  GifFrameInput f = solid(3, 2, 2, 10);
  f.left = 2;
  f.top = 1;
  ASSERT_TRUE(image.LoadFromFile(dir.write("z.gif", writeGif(0, 0, kColors, {f})).c_str()));
  EXPECT_EQ(image.current().width, 5);
  EXPECT_EQ(image.current().height, 3);
  EXPECT_EQ(pixelOf(image.current(), 4, 2), kBlue);
  EXPECT_EQ(pixelOf(image.current(), 0, 0), 0u);
}

TEST_F(GifLoader, NothingDecodableFails) {
  EXPECT_FALSE(image.LoadFromFile(dir.write("empty.gif", writeGif(4, 4, kColors, {})).c_str()));
  Bytes broken = writeGif(4, 4, kColors, {solid(4, 4, 1, 10)});
  broken.resize(broken.size() - 8);  // cut inside the only frame's data
  EXPECT_FALSE(image.LoadFromFile(dir.write("cut.gif", broken).c_str()));
  EXPECT_EQ(image.FrameCount(), 0);
}

TEST_F(GifLoader, DamageKeepsTheFramesBeforeIt) {
  Bytes gif = writeGif(8, 8, kColors, {solid(8, 8, 0, 10), solid(8, 8, 1, 10), solid(8, 8, 2, 10)});
  const Bytes twoFrames = writeGif(8, 8, kColors, {solid(8, 8, 0, 10), solid(8, 8, 1, 10)});
  gif.resize(twoFrames.size() + 4);  // into the third frame's control block
  ASSERT_TRUE(image.LoadFromFile(dir.write("d.gif", gif).c_str()));
  EXPECT_EQ(image.FrameCount(), 2);
  EXPECT_EQ(pixelOf(image.frame(1), 7, 7), kGreen);
}

TEST_F(GifLoader, FramesBeyondTheBudgetAreStreamedAndScreensBeyondTheLimitRefused) {
  EXPECT_FALSE(image.LoadFromFile(dir.write("wide.gif", writeGif(kMaxPictureSide + 1, 1, kColors, {solid(1, 1, 0, 1)})).c_str()));
  // Still refused: a screen whose frame shown, saved and decoded exceed the budget.
  EXPECT_FALSE(image.LoadFromFile(dir.write("huge.gif", writeGif(6000, 6000, kColors, {solid(1, 1, 0, 1), solid(1, 1, 1, 1)})).c_str()));
  EXPECT_EQ(image.FrameCount(), 0);
  // A frame set too large in total, a flood of tiny frames: played as they decode.
  std::vector<GifFrameInput> sixteen(16, solid(1, 1, 0, 1));
  ASSERT_TRUE(image.LoadFromFile(dir.write("big.gif", writeGif(2048, 2048, kColors, sixteen)).c_str()));
  EXPECT_TRUE(image.streamed());
  EXPECT_EQ(image.FrameCount(), 16);
  std::vector<GifFrameInput> flood(kPictureMemoryBudget / kFrameOverheadBytes + 1, solid(1, 1, 0, 1));
  ASSERT_TRUE(image.LoadFromFile(dir.write("flood.gif", writeGif(1, 1, kColors, flood)).c_str()));
  EXPECT_TRUE(image.streamed());
  EXPECT_EQ(image.FrameCount(), static_cast<int>(flood.size()));
  // The same 2048 x 2048 screen as a still: one frame, loaded whole.
  ASSERT_TRUE(image.LoadFromFile(dir.write("big.png", writeGif(2048, 2048, kColors, sixteen)).c_str()));
  EXPECT_EQ(image.FrameCount(), 1);
  EXPECT_FALSE(image.streamed());
}

}  // namespace
}  // namespace om::test
