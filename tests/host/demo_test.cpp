#include "tools/host/demo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "settings/profile_store.h"
#include "settings/settings_model.h"
#include "tests/host/host_test_util.h"

namespace {

using namespace omhost;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// The file as the plug-in reads it at start-up.
om::StoredSettings readBack(const std::string& text) {
  om::ProfileStore store;
  store.openInMemory(om::ProfileStore::Mode::Reading, text);
  om::StoredSettings settings;
  om::readSettingsFromStore(store, settings);
  return settings;
}

const DemoLogos kLogos{"/s/logo_animated.gif", "/s/logo_alpha.png", "/s/logo_noisy.jpg"};

TEST(DemoSettings, EveryChannelReadsBackAsMeantWithItsKeysInTableOrder) {
  const std::string text = demoSettingsText(kLogos);
  const auto l = lines(text);
  ASSERT_GE(l.size(), 4u);
  EXPECT_EQ(l[0], "[COMMON]");
  EXPECT_EQ(l[1], "DlgWndPosX=-100");
  EXPECT_EQ(l[2], "DlgWndPosY=-100");
  EXPECT_EQ(l[3], "PrivateSettings=1");

  const om::StoredSettings s = readBack(text);
  EXPECT_EQ(s.privateSettings, 1);
  ASSERT_EQ(s.channelTable.size(), 5u);
  // Channel 4 erases the video's own logo, with no picture, and shows its
  // own in a second layer, drifting.
  EXPECT_EQ(s.channelTable[4].LogoFileName, "");
  EXPECT_EQ(s.channelTable[4].CoverMode, om::kCoverErase);
  ASSERT_EQ(s.channelTable[4].layers.size(), 1u);
  const om::LayerSettings& own = s.channelTable[4].layers[0];
  EXPECT_EQ(own.number, 2);
  EXPECT_EQ(own.LogoFileName, kLogos.badge);
  EXPECT_EQ(own.CoverMode, om::kCoverPicture);
  EXPECT_GT(own.DriftPixels, 0);
  const om::ChannelRecord defaults;
  // What each record holds beyond the defaults: placements aside, channel 1
  // keeps every default; 2 and 3 take the video's colours; 3 is keyed.
  for (size_t i = 0; i < 4; ++i) {
    const om::ChannelRecord& r = s.channelTable[i];
    SCOPED_TRACE("record " + std::to_string(i));
    EXPECT_EQ(r.id, static_cast<int64_t>(i));
    EXPECT_EQ(r.LogoFileName, i == 0 ? "" : i == 1 ? kLogos.animated
                                          : i == 2 ? kLogos.badge : kLogos.noisy);
    EXPECT_EQ(r.VideoColors, i >= 2 ? om::kVideoColorsAutomatic : om::kVideoColorsFullBt601);
    EXPECT_EQ(r.ColorKeyEnable, i == 3 ? 1u : 0u);
    EXPECT_EQ(r.LeftTopPixelColor, 1u);
    EXPECT_EQ(r.KeyTolerance > 0 && r.KeySoftness > 0, i == 3);
    EXPECT_EQ(r.LogoOpacity, i == 0 ? 60 : i == 1 ? 70 : 100);
  }

  // Each section holds every key of the table in its order, those added
  // after the first ten only where they differ from their default: the
  // common record and channel 1 are written as before these keys existed.
  // A layer's section follows its record's.
  size_t line = 4;
  const auto keys = [&](const om::LogoSettings& r) {
    for (const om::SettingRow& row : om::kSettingRows) {
      if (row.written == om::Written::WhenNotDefault && row.isDefault(r)) continue;
      ASSERT_LT(line, l.size());
      EXPECT_EQ(l[line++], std::string(row.key) + "=" + om::settingText(r, row));
    }
  };
  for (size_t i = 0; i < 5; ++i) {
    const om::ChannelRecord& r = s.channelTable[i];
    if (i > 0) {
      ASSERT_LT(line, l.size());
      EXPECT_EQ(l[line++], "[" + std::to_string(i) + "]");
    }
    keys(r);
    for (const om::LayerSettings& layer : r.layers) {
      ASSERT_LT(line, l.size());
      EXPECT_EQ(l[line++], "[" + std::to_string(i) + "." + std::to_string(layer.number) + "]");
      keys(layer);
    }
  }
  EXPECT_EQ(line, l.size());
  EXPECT_EQ(std::count(l.begin(), l.end(), "VideoColors=1"), 3);
}

TEST(DemoSettings, PlacementsStayInsideTheFrame) {
  // Without readable pictures the sizes fall back to fixed thousandths.
  const om::StoredSettings s = readBack(demoSettingsText({"/missing.gif", "/missing.png", "/missing.jpg"}));
  ASSERT_EQ(s.channelTable.size(), 5u);
  for (size_t i = 1; i < 5; ++i) {
    const om::ChannelRecord& r = s.channelTable[i];
    EXPECT_GT(r.LogoSizeX, 0) << i;
    EXPECT_GT(r.LogoSizeY, 0) << i;
    EXPECT_GE(r.LogoPosX, 0) << i;
    EXPECT_GE(r.LogoPosY, 0) << i;
    EXPECT_LE(r.LogoPosX + r.LogoSizeX, 1000) << i;
    EXPECT_LE(r.LogoPosY + r.LogoSizeY, 1000) << i;
  }
  EXPECT_GT(s.channelTable[1].LogoPosX, 500);  // channel 1 top right
  EXPECT_LT(s.channelTable[1].LogoPosY, 200);
  EXPECT_LT(s.channelTable[2].LogoPosX, 200);  // channel 2 bottom left
  EXPECT_GT(s.channelTable[2].LogoPosY, 500);
  EXPECT_LT(s.channelTable[3].LogoPosX, 200);  // channel 3 top left
  EXPECT_LT(s.channelTable[3].LogoPosY, 200);
}

TEST(DemoSettings, PictureSizeFromPngGifAndJpegHeaders) {
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
  // The frame header after an APP0 segment and a fill byte: 256 x 128.
  const std::string jpg = write("a.jpg", std::string("\xFF\xD8\xFF\xE0\0\x04\0\0\xFF\xFF\xC0\0\x11\x08"
                                                     "\0\x80\x01\0\x03", 19));
  ASSERT_TRUE(readPictureSize(jpg, w, h));
  EXPECT_EQ(w, 256);
  EXPECT_EQ(h, 128);
  EXPECT_FALSE(readPictureSize(write("short.png", "\x89PNG"), w, h));
  EXPECT_FALSE(readPictureSize(write("zero.gif", std::string("GIF89a\0\0\x10\0", 10)), w, h));
  // Tables only, or a segment length that would stand still.
  EXPECT_FALSE(readPictureSize(write("noframe.jpg", std::string("\xFF\xD8\xFF\xDB\0\x04\0\0\xFF\xD9", 10)), w, h));
  EXPECT_FALSE(readPictureSize(write("stuck.jpg", std::string("\xFF\xD8\xFF\xE0\0\0\0\0\0\0\0", 11)), w, h));
  EXPECT_FALSE(readPictureSize(dir / "none", w, h));

  // A 3:1 picture 150 thousandths high on a 4:3 frame: 150 * 3 * 3/4 = 338 wide.
  const om::StoredSettings s = readBack(demoSettingsText({png, gif, jpg}));
  EXPECT_EQ(s.channelTable[1].LogoSizeX, 338);
}

}  // namespace
