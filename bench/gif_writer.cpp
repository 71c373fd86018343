#include "bench/gif_writer.h"

#include <gif_lib.h>

#include <vector>

namespace om::bench {

bool writeAnimation(const std::string& path, int width, int height, int frames,
                    int delayHundredths) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  if (!gif) return false;
  std::vector<GifColorType> colors(256);
  for (int i = 0; i < 256; ++i)
    colors[static_cast<size_t>(i)] = GifColorType{static_cast<GifByteType>(i),
                                                  static_cast<GifByteType>(255 - i),
                                                  static_cast<GifByteType>(i * 7)};
  ColorMapObject* map = GifMakeMapObject(256, colors.data());
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK;
  GifFreeMapObject(map);
  std::vector<GifPixelType> row(static_cast<size_t>(width));
  const int cx = width / 2, cy = height / 2;
  for (int f = 0; f < frames && ok; ++f) {
    const GraphicsControlBlock gcb{DISPOSE_BACKGROUND, false, delayHundredths, 0};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK &&
         EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    const int radius = height / 8 + f % (height / 6 + 1);
    for (int y = 0; y < height && ok; ++y) {
      for (int x = 0; x < width; ++x) {
        const int dx = x - cx, dy = y - cy;
        const bool hole = dx * dx + dy * dy < radius * radius;
        row[static_cast<size_t>(x)] =
            hole ? 0 : static_cast<GifPixelType>(1 + ((x + f) / 4 ^ (y + 2 * f) / 6) % 255);
      }
      ok = EGifPutLine(gif, row.data(), width) == GIF_OK;
    }
  }
  return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

}  // namespace om::bench
