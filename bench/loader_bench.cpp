// Loading a long animation: 200 frames of 320 x 240, each a moving pattern
// with a transparent hole, so decoding and compositing both do real work.
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "logo/logo_image.h"

namespace {

constexpr int kWidth = 320, kHeight = 240, kFrames = 200;

bool writeAnimation(const std::string& path) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  if (!gif) return false;
  std::vector<GifColorType> colors(256);
  for (int i = 0; i < 256; ++i)
    colors[static_cast<size_t>(i)] = GifColorType{static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i),
                                                  static_cast<GifByteType>(i * 7)};
  ColorMapObject* map = GifMakeMapObject(256, colors.data());
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map) == GIF_OK;
  GifFreeMapObject(map);
  std::vector<GifPixelType> row(kWidth);
  for (int f = 0; f < kFrames && ok; ++f) {
    const GraphicsControlBlock gcb{DISPOSE_BACKGROUND, false, 4, 0};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK &&
         EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr) == GIF_OK;
    for (int y = 0; y < kHeight && ok; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const int dx = x - 160, dy = y - 120;
        const bool hole = dx * dx + dy * dy < (30 + f % 40) * (30 + f % 40);
        row[static_cast<size_t>(x)] = hole ? 0 : static_cast<GifPixelType>(1 + ((x + f) / 4 ^ (y + 2 * f) / 6) % 255);
      }
      ok = EGifPutLine(gif, row.data(), kWidth) == GIF_OK;
    }
  }
  return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

void BM_LoadAnimatedGif(benchmark::State& state) {
  const std::string path = "/tmp/om_loader_bench_" + std::to_string(getpid()) + ".gif";
  if (!writeAnimation(path)) {
    state.SkipWithError("cannot write the animation");
    return;
  }
  om::LogoImage image;
  for (auto _ : state) {
    if (!image.LoadFromFile(path.c_str()) || image.FrameCount() != kFrames) {
      state.SkipWithError("load failed");
      break;
    }
  }
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(kFrames) * state.iterations(),
                                                  benchmark::Counter::kIsRate);
  unlink(path.c_str());
}
BENCHMARK(BM_LoadAnimatedGif)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// giflib's own whole-file decode of the same animation, without compositing
// or frame bitmaps: the floor the loader is compared against.
void BM_GiflibSlurpOnly(benchmark::State& state) {
  const std::string path = "/tmp/om_loader_bench_slurp_" + std::to_string(getpid()) + ".gif";
  if (!writeAnimation(path)) {
    state.SkipWithError("cannot write the animation");
    return;
  }
  for (auto _ : state) {
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif || DGifSlurp(gif) != GIF_OK || gif->ImageCount != kFrames) state.SkipWithError("slurp failed");
    if (gif) DGifCloseFile(gif, &error);
  }
  unlink(path.c_str());
}
BENCHMARK(BM_GiflibSlurpOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
