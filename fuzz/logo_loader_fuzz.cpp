// The logo loader over arbitrary files. The first input byte picks the file
// name's ending (only ".gif" animates, and animated PNGs whatever their
// name), whether the codec library counts as missing, and either a frame
// allocation that fails or whether a file cut short fails; the rest is the
// file. PNG chunk CRCs are repaired for inputs of even length, so changed
// bytes reach the frame decoder instead of stopping at a checksum. Every
// animation is loaded once more and streamed, and must play the frames of
// the first load, two loops over, and count what it plays.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/alloc_hook.h"
#include "logo/image_codec.h"
#include "logo/logo_image.h"
#include "tests/win32/frame_check/test_pictures.h"

namespace {

const char* const kEndings[8] = {".gif", ".png", ".jpg", ".bmp", ".GIF", ".dat", ".Gif", ""};

const std::string& scratchDir() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/om_loader_fuzz_XXXXXX";
    if (!mkdtemp(pattern)) abort();
    std::atexit([] { rmdir(scratchDir().c_str()); });
    return std::string(pattern);
  }();
  return dir;
}

bool writeFile(const std::string& path, const uint8_t* data, size_t size) {
  unlink(path.c_str());  // a fresh file: rewriting a truncated one makes ext4 flush
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// Checks every frame's record and reaches over all of its pixel memory:
// the corners through PixelAt, the rest in one range check the sanitizer
// sees whole (a per-pixel loop would make big pictures crawl).
// A streamed animation may find its end early: its count then drops to the
// frames it played, and the step that found the end wraps to the first.
uint32_t touchFrames(om::LogoImage& image) {
  uint32_t sum = 0;
  for (int i = 0; i < image.FrameCount(); ++i) {
    const int next = image.NextFrame();
    if (next != (i + 1) % image.FrameCount()) abort();
    const om::LogoFrame& f = image.current();
    if (!f.pixels || f.width <= 0 || f.height <= 0 || f.validRect.right != f.width ||
        f.validRect.bottom != f.height)
      abort();
    sum += image.PixelAt(0, 0) + image.PixelAt(f.width - 1, f.height - 1);
    const size_t bytes = static_cast<size_t>(f.width) * f.height * 4;
    sum += std::memchr(f.pixels, 0x5A, bytes) != nullptr;
  }
  return sum;
}

// The same file decoded one frame at a time shows the first load's frames:
// those it kept, or, when it was over the budget and streamed as well
// (frame(i) is then only the frame shown), those it shows stepped alongside.
// After a loop both count the frames they play.
void compareStreamed(const std::string& path, om::LogoImage& first) {
  static om::LogoImage streamed;
  om::setFullLoadBudgetForTesting(1);
  const bool loaded = streamed.LoadFromFile(path.c_str());
  om::setFullLoadBudgetForTesting(0);
  if (!loaded || !streamed.streamed() || first.currentFrame() != 0) abort();
  const int n = first.FrameCount();
  for (int step = 0; step < 2 * n; ++step) {
    const om::LogoFrame& a = streamed.current();
    const om::LogoFrame& b = first.streamed() ? first.current() : first.frame(step % n);
    if (streamed.currentFrame() != step % n || first.currentFrame() != (first.streamed() ? step % n : 0) ||
        a.delayMs != b.delayMs || a.width != b.width || a.height != b.height ||
        std::memcmp(a.pixels, b.pixels, static_cast<size_t>(a.width) * a.height * 4) != 0)
      abort();
    streamed.NextFrame();
    if (first.streamed()) first.NextFrame();
  }
  if (streamed.FrameCount() != n || first.FrameCount() != n) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t selector = data[0];
  const std::string path = scratchDir() + "/input" + kEndings[selector & 7];
  om::testpic::Bytes file(data + 1, data + size);
  if (size % 2 == 0 && file.size() >= 8 && file[0] == 0x89 && file[1] == 'P') om::testpic::fixPngCrcs(file);
  if (!writeFile(path, file.data(), file.size())) return 0;

  om::setCodecUnavailableForTesting((selector & 0x08) != 0);
  if (selector & 0x80) om::armAllocFailure(1 + ((selector >> 4) & 7));
  const om::Truncated truncated =
      (selector & 0x90) == 0x10 ? om::Truncated::kFails : om::Truncated::kShowsWhatDecoded;
  static om::LogoImage image;  // reused, as the plug-in's one image is
  const bool loaded = image.LoadFromFile(path.c_str(), truncated);
  om::armAllocFailure(0);
  om::setCodecUnavailableForTesting(false);

  if (loaded != (image.FrameCount() > 0)) abort();
  if (loaded && image.currentFrame() != 0) abort();
  volatile uint32_t sink = touchFrames(image);
  (void)sink;
  // Streamed, the picture also needs room for a saved and a decoded frame.
  if (image.FrameCount() > 1 && om::pictureFitsBudget(image.current().width, image.current().height, 3))
    compareStreamed(path, image);
  unlink(path.c_str());
  return 0;
}
