// The LogoImage around the decoders: frame stepping, pixel addressing,
// emptying, the bitmap-only mode, the open-file filter and the reload.
#include <gtest/gtest.h>

#include <filesystem>

#include "logo/image_codec.h"
#include "plugin/channel_ops.h"
#include "plugin/plugin_state.h"
#include "picture_writers.h"

namespace om::test {
namespace {

class LogoImageTest : public ::testing::Test {
 protected:
  void TearDown() override { setCodecUnavailableForTesting(false); }

  // 2 x 2, top-left red, top-right green, bottom row blue, all opaque.
  std::string bmpFile(const char* name = "logo.bmp") {
    BmpInput pic;
    pic.width = 2;
    pic.height = 2;
    pic.values = {0xFF0000, 0x00FF00, 0x0000FF, 0x0000FF};
    return dir.write(name, writeBmp(pic));
  }
  std::string threeFrameGif() {
    GifFrameInput f;
    f.width = f.height = 1;
    f.delay = 3;
    std::vector<GifFrameInput> frames(3, f);
    for (uint8_t i = 0; i < 3; ++i) frames[i].indices = {i};
    return dir.write("three.gif", writeGif(1, 1, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, frames));
  }

  TempDir dir;
  LogoImage image;
};

TEST_F(LogoImageTest, NextFrameCyclesAndSelectFrameIgnoresOutOfRange) {
  ASSERT_TRUE(image.LoadFromFile(threeFrameGif().c_str()));
  EXPECT_EQ(image.currentFrame(), 0);
  EXPECT_EQ(image.NextFrame(), 1);
  EXPECT_EQ(image.NextFrame(), 2);
  EXPECT_EQ(image.NextFrame(), 0);
  EXPECT_EQ(image.NextFrame(), 1);
  EXPECT_EQ(image.PixelAt(0, 0), 0xFF00FF00u);  // green, as 0xAABBGGRR
  EXPECT_EQ(image.SelectFrame(3), 3);
  EXPECT_EQ(image.currentFrame(), 1);
  EXPECT_EQ(image.current().pixels, image.frame(1).pixels);
  EXPECT_EQ(image.CurrentDelay(), 30);

  ASSERT_TRUE(image.LoadFromFile(bmpFile().c_str()));
  EXPECT_EQ(image.NextFrame(), 0);
  EXPECT_EQ(image.NextFrame(), 0);
}

TEST_F(LogoImageTest, PixelAtCountsRowsFromTheTop) {
  ASSERT_TRUE(image.LoadFromFile(bmpFile().c_str()));
  const LogoFrame& f = image.current();
  EXPECT_EQ(f.validRect.right, 2);
  EXPECT_EQ(f.validRect.bottom, 2);
  EXPECT_EQ(f.header.biHeight, 2);  // positive: bottom-up
  EXPECT_EQ(image.PixelAt(0, 0), 0xFF0000FFu);
  EXPECT_EQ(image.PixelAt(1, 0), 0xFF00FF00u);
  EXPECT_EQ(image.PixelAt(0, 1), 0xFFFF0000u);
  // The top-left pixel is the first of the last row in memory.
  EXPECT_EQ(f.pixels[2], argb(255, 255, 0, 0));
}

TEST_F(LogoImageTest, EmptyPathOrFailedLoadLeavesTheImageEmpty) {
  ASSERT_TRUE(image.LoadFromFile(threeFrameGif().c_str()));
  EXPECT_FALSE(image.LoadFromFile(""));
  EXPECT_EQ(image.FrameCount(), 0);
  EXPECT_EQ(image.current().pixels, nullptr);
  ASSERT_TRUE(image.LoadFromFile(bmpFile().c_str()));
  EXPECT_FALSE(image.LoadFromFile((dir.path() + "/gone.bmp").c_str()));
  EXPECT_EQ(image.FrameCount(), 0);
  EXPECT_EQ(image.current().width, 0);
}

TEST_F(LogoImageTest, WithoutTheCodecOnlyOpaqueBitmapsLoad) {
  BmpInput alpha;  // carries an alpha mask, which the bitmap loader ignores
  alpha.infoSize = 124;
  alpha.width = 1;
  alpha.height = 1;
  alpha.bitCount = 32;
  alpha.compression = 3;
  alpha.masks[0] = 0xFF0000, alpha.masks[1] = 0xFF00, alpha.masks[2] = 0xFF, alpha.masks[3] = 0xFF000000;
  alpha.values = {0x40102030};
  const std::string alphaBmp = dir.write("alpha.bmp", writeBmp(alpha));
  const std::string png = dir.write("logo.png", writePngRgba(1, 1, {1, 2, 3, 4}));

  setCodecUnavailableForTesting(true);
  ASSERT_TRUE(image.LoadFromFile(bmpFile().c_str()));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(image.PixelAt(x, y) >> 24, 255u);
  ASSERT_TRUE(image.LoadFromFile(alphaBmp.c_str()));
  EXPECT_EQ(image.PixelAt(0, 0), 0xFF302010u);
  EXPECT_FALSE(image.LoadFromFile(png.c_str()));
  EXPECT_FALSE(image.LoadFromFile(threeFrameGif().c_str()));
  // A bitmap named .gif is still one frame.
  ASSERT_TRUE(image.LoadFromFile(bmpFile("bitmap.gif").c_str()));
  EXPECT_EQ(image.FrameCount(), 1);
}

TEST_F(LogoImageTest, OpenFilterListsPairsAndEndsWithTwoNuls) {
  setCodecUnavailableForTesting(true);
  const std::string bmpOnly = LogoImage::BuildOpenFilter();
  EXPECT_EQ(bmpOnly, std::string("BMP files (*.bmp)\0*.bmp\0\0", 25));

  setCodecUnavailableForTesting(false);
  const std::string filter = LogoImage::BuildOpenFilter();
  ASSERT_GE(filter.size(), 2u);
  EXPECT_EQ(filter.substr(filter.size() - 2), std::string("\0\0", 2));
  std::vector<std::string> texts;
  for (size_t at = 0; at < filter.size() - 1; at = filter.find('\0', at) + 1)
    texts.push_back(filter.substr(at, filter.find('\0', at) - at));
  ASSERT_EQ(texts.size(), 10u);
  EXPECT_EQ(texts[0], "All image files");
  EXPECT_EQ(texts[1], "*.BMP;*.DIB;*.JPG;*.JPEG;*.JPE;*.JFIF;*.GIF;*.PNG");
  EXPECT_EQ(texts[2], "BMP files (*.BMP;*.DIB)");
  EXPECT_EQ(texts[3], "*.BMP;*.DIB");
  EXPECT_EQ(texts[8], "PNG files (*.PNG)");
  EXPECT_EQ(texts[9], "*.PNG");
}

TEST_F(LogoImageTest, ReloadForgetsAnUnreadablePicture) {
  auto state = std::make_unique<PluginState>();
  ChannelRecord record;
  record.LogoFileName = bmpFile();
  state->channelTable.push_back(record);
  record.LogoFileName = dir.path() + "/vanished.png";
  state->channelTable.push_back(record);

  state->currentIndex = 0;
  reloadLogo(*state, 1);
  EXPECT_EQ(state->show(1).logoLoaded, 1);
  EXPECT_EQ(state->channelTable[0].LogoFileName, bmpFile());
  EXPECT_EQ(state->show(1).logo.FrameCount(), 1);

  state->currentIndex = 1;
  reloadLogo(*state, 1);
  EXPECT_EQ(state->show(1).logoLoaded, 0);
  EXPECT_EQ(state->channelTable[1].LogoFileName, "");
  EXPECT_EQ(state->show(1).logo.FrameCount(), 0);
  EXPECT_EQ(state->channelTable[0].LogoFileName, bmpFile());
}

TEST_F(LogoImageTest, FramesTogetherStayWithinTheBudget) {
  // Each 4096 x 4096 frame takes a quarter of the budget, plus its overhead.
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(image.AddFrame());
    ASSERT_TRUE(image.SetFrameSize(4096, 4096)) << i;
  }
  ASSERT_TRUE(image.AddFrame());
  EXPECT_FALSE(image.SetFrameSize(4096, 4096));
  EXPECT_EQ(image.current().pixels, nullptr);
  // Shrinking a frame gives its share back.
  image.SelectFrame(0);
  ASSERT_TRUE(image.SetFrameSize(16, 16));
  image.SelectFrame(3);
  EXPECT_TRUE(image.SetFrameSize(4096, 4096));
  image.clear();
  ASSERT_TRUE(image.AddFrame());
  EXPECT_TRUE(image.SetFrameSize(4096, 4096));
}

TEST_F(LogoImageTest, ShippedSamplesLoad) {
  const std::string samples = (std::filesystem::path(__FILE__).parent_path() / "../../samples/").string();
  ASSERT_TRUE(image.LoadFromFile((samples + "logo_animated.gif").c_str()));
  EXPECT_GE(image.FrameCount(), 8);
  EXPECT_EQ(image.CurrentDelay(), 100);
  EXPECT_EQ(image.PixelAt(0, 0), 0u);  // transparent background
  ASSERT_TRUE(image.LoadFromFile((samples + "logo_alpha.png").c_str()));
  EXPECT_EQ(image.FrameCount(), 1);
  int translucent = 0;
  for (int x = 0; x < image.current().width; ++x) {
    const uint32_t a = image.PixelAt(x, image.current().height / 2) >> 24;
    translucent += a > 0 && a < 255;
  }
  EXPECT_GT(translucent, 0);
}

}  // namespace
}  // namespace om::test
