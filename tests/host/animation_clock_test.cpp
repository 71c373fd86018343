// An animated logo steps in video time: which output frame shows which
// picture depends only on the frame rate, never on how fast the machine is.
#ifndef _WIN32
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/host/host_test_util.h"

#include <sys/wait.h>

namespace {

using hosttest::readFile;
using hosttest::ScratchDir;
using hosttest::writeFile;

// Two 8x8 frames, white then black, 100 ms each.
bool writeBlinkingGif(const std::string& path) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  if (!gif) return false;
  GifColorType colours[2] = {{255, 255, 255}, {0, 0, 0}};
  ColorMapObject* map = GifMakeMapObject(2, colours);
  bool ok = map && EGifPutScreenDesc(gif, 8, 8, 1, 0, map) == GIF_OK;
  for (int frame = 0; ok && frame < 2; ++frame) {
    const GifByteType control[4] = {0, 10, 0, 0};  // delay 10 cs, no transparency
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK &&
         EGifPutImageDesc(gif, 0, 0, 8, 8, false, nullptr) == GIF_OK;
    GifPixelType row[8];
    for (int x = 0; x < 8; ++x) row[x] = static_cast<GifPixelType>(frame);
    for (int y = 0; ok && y < 8; ++y) ok = EGifPutLine(gif, row, 8) == GIF_OK;
  }
  GifFreeMapObject(map);
  return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

TEST(HostAnimation, LogoStepsOnVideoTime) {
  ScratchDir dir;
  const std::string gif = dir / "blink.gif";
  ASSERT_TRUE(writeBlinkingGif(gif));
  const std::string cfg = dir / "cfg";
  hosttest::fs::create_directories(hosttest::fs::path(cfg) / "Tulvane" / "Plugins");
  writeFile(cfg + "/Tulvane/Plugins/Ostrane_Marquel.ini",
            "[COMMON]\nPrivateSettings=0\nLogoFileName=" + gif +
                "\nLogoPosX=0\nLogoPosY=0\nLogoSizeX=1000\nLogoSizeY=1000\nLogoOpacity=100\n");

  const std::string out = dir / "out.yuyv";
  const std::string cmd = "\"" OM_HOST_PATH "\" --size 64x48 --fps 25 --frames 8 --output \"" +
                          out + "\" --settings-dir \"" + cfg + "\" > \"" + (dir / "log") +
                          "\" 2>&1";
  const int status = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << readFile(dir / "log");
  const std::string frames = readFile(out);
  const size_t frameBytes = 64 * 48 * 2;
  ASSERT_EQ(frames.size(), 8 * frameBytes);

  // Frames every 40 ms, logo frames every 100 ms: the step happens on the
  // first video frame at or after the due time (120 ms, then 240 ms) and
  // shows from the next video frame on.
  const char* expected = "WWWWBBBW";
  std::string seen;
  for (size_t i = 0; i < 8; ++i) {
    const uint8_t luma = static_cast<uint8_t>(frames[i * frameBytes + 24 * 128 + 64]);
    seen += luma > 200 ? 'W' : (luma < 50 ? 'B' : '?');
  }
  EXPECT_EQ(seen, expected);
}

}  // namespace
#endif
