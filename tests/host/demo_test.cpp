#include "tools/host/demo.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "tests/host/host_test_util.h"

namespace {

using namespace omhost;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

TEST(DemoSettings, WritesCommonAndBothChannelsInKeyOrder) {
  const auto l = lines(demoSettingsText("/s/logo_animated.gif", "/s/logo_alpha.png"));
  ASSERT_EQ(l.size(), 4u + 10 + 2 * 11);
  EXPECT_EQ(l[0], "[COMMON]");
  EXPECT_EQ(l[1], "DlgWndPosX=-100");
  EXPECT_EQ(l[2], "DlgWndPosY=-100");
  EXPECT_EQ(l[3], "PrivateSettings=1");
  const char* keys[] = {"LogoFileName", "LogoPosX",    "LogoPosY",       "LogoSizeX",
                        "LogoSizeY",    "LogoOpacity", "ShowLogo",       "ColorKeyEnable",
                        "LeftTopPixelColor", "ColorKey"};
  for (size_t base : {4u, 15u, 26u})
    for (size_t k = 0; k < 10; ++k)
      EXPECT_EQ(l[base + k].rfind(std::string(keys[k]) + "=", 0), 0u) << "line " << base + k;
  EXPECT_EQ(l[14], "[1]");
  EXPECT_EQ(l[15], "LogoFileName=/s/logo_animated.gif");
  EXPECT_EQ(l[20], "LogoOpacity=70");
  EXPECT_EQ(l[25], "[2]");
  EXPECT_EQ(l[26], "LogoFileName=/s/logo_alpha.png");
  EXPECT_EQ(l[31], "LogoOpacity=100");
}

TEST(DemoSettings, PlacementsStayInsideTheFrame) {
  // Without readable pictures the sizes fall back to fixed thousandths.
  const auto l = lines(demoSettingsText("/missing.gif", "/missing.png"));
  auto value = [&](size_t line) { return std::stoi(l[line].substr(l[line].find('=') + 1)); };
  for (size_t base : {15u, 26u}) {
    const int posX = value(base + 1), posY = value(base + 2);
    const int sizeX = value(base + 3), sizeY = value(base + 4);
    EXPECT_GT(sizeX, 0);
    EXPECT_GT(sizeY, 0);
    EXPECT_GE(posX, 0);
    EXPECT_GE(posY, 0);
    EXPECT_LE(posX + sizeX, 1000);
    EXPECT_LE(posY + sizeY, 1000);
  }
  EXPECT_GT(value(16), 500);  // channel 1 on the right
  EXPECT_LT(value(17), 200);  // at the top
  EXPECT_LT(value(27), 200);  // channel 2 on the left
  EXPECT_GT(value(28), 500);  // at the bottom
}

TEST(DemoSettings, PictureSizeFromPngAndGifHeaders) {
  hosttest::ScratchDir dir;
  auto write = [&](const char* name, const std::string& bytes) {
    hosttest::writeFile(dir / name, bytes);
    return dir / name;
  };
  int w = 0, h = 0;
  const std::string png = write("a.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR"
                                                     "\0\0\x01\x2c\0\0\0\x64", 24));
  ASSERT_TRUE(readPictureSize(png, w, h));
  EXPECT_EQ(w, 300);
  EXPECT_EQ(h, 100);
  const std::string gif = write("a.gif", std::string("GIF89a\x40\x01\xC8\x00", 10));
  ASSERT_TRUE(readPictureSize(gif, w, h));
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 200);
  EXPECT_FALSE(readPictureSize(write("short.png", "\x89PNG"), w, h));
  EXPECT_FALSE(readPictureSize(write("zero.gif", std::string("GIF89a\0\0\x10\0", 10)), w, h));
  EXPECT_FALSE(readPictureSize(dir / "none", w, h));

  // A 3:1 picture 150 thousandths high on a 4:3 frame: 150 * 3 * 3/4 = 338 wide.
  const auto l = lines(demoSettingsText(png, gif));
  EXPECT_EQ(l[18], "LogoSizeX=338");
}

}  // namespace
