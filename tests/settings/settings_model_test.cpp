// The position and size clamp and the initial size of a new picture.
#include <gtest/gtest.h>

#include <cstdint>

#include "settings/settings_model.h"

namespace om {
namespace {

TEST(ClampPositionAndSize, WorkedExamples) {
  LogoSettings s;
  s.LogoSizeY = 1200;
  s.LogoSizeX = 100;
  clampPositionAndSize(s, 200, 100);
  EXPECT_EQ(s.LogoSizeX, 1000);  // first 1500 from the 2:1 picture, then cut
  EXPECT_EQ(s.LogoSizeY, 667);

  LogoSettings m;
  m.LogoPosX = 900;
  m.LogoSizeX = 300;
  m.LogoPosY = -5;
  m.LogoSizeY = 100;
  clampPositionAndSize(m, 10, 10);
  EXPECT_EQ(m.LogoPosX, 700);
  EXPECT_EQ(m.LogoPosY, 0);

  LogoSettings extreme;  // hand-edited extremes must not overflow
  extreme.LogoPosX = INT32_MAX;
  extreme.LogoSizeX = 1000;
  extreme.LogoPosY = INT32_MAX;
  extreme.LogoSizeY = INT32_MIN;
  clampPositionAndSize(extreme, 10, 10);
  EXPECT_EQ(extreme.LogoPosX, 0);
  EXPECT_EQ(extreme.LogoPosY, INT32_MAX) << "negative sizes are left alone";
}

TEST(ApplyInitialSize, NaturalHeightAndFourThirdsWidth) {
  LogoSettings s;
  s.LogoPosX = 123;
  applyInitialSize(s, 200, 100, 576);
  EXPECT_EQ(s.LogoSizeY, 174);  // 100 * 1000 / 576 = 173.6
  EXPECT_EQ(s.LogoSizeX, 261);  // 174 * 2 = 348, * 3 / 4
  EXPECT_EQ(s.LogoPosX, 123);
  applyInitialSize(s, 200, 100, 0);
  EXPECT_EQ(s.LogoSizeY, -1) << "no format yet: MulDiv's -1";
}

}  // namespace
}  // namespace om
