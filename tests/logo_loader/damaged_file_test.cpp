// Damaged files of every format, animated PNGs too: each cut and a run of
// seeded random byte changes must either fail or load whole frames; the
// sanitizer build turns any stray read or write into a failure here.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "logo/image_codec.h"

#include "picture_writers.h"
#include "tests/win32/frame_check/test_pictures.h"

namespace om::test {
namespace {

struct Sample {
  const char* name;
  Bytes bytes;
};

std::vector<Sample> samples() {
  std::vector<Sample> out;
  BmpInput bmp;
  bmp.width = 5;
  bmp.height = -3;
  bmp.bitCount = 4;
  bmp.palette = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  bmp.values.assign(15, 2);
  out.push_back({"four.bmp", writeBmp(bmp)});
  bmp.bitCount = 32;
  bmp.infoSize = 56;
  bmp.compression = 3;
  bmp.masks[0] = 0xFF0000, bmp.masks[1] = 0xFF00, bmp.masks[2] = 0xFF, bmp.masks[3] = 0xFF000000;
  bmp.values.assign(15, 0x80402010);
  out.push_back({"alpha.bmp", writeBmp(bmp)});

  GifFrameInput a;
  a.width = 6;
  a.height = 5;
  a.interlace = true;
  a.transparent = 1;
  a.disposal = 3;
  for (int i = 0; i < 30; ++i) a.indices.push_back(static_cast<uint8_t>(i % 3));
  GifFrameInput b = a;
  b.interlace = false;
  b.left = 2;
  b.width = 4;
  b.height = 2;
  b.indices.resize(8);
  b.localColors = {{9, 9, 9}, {8, 8, 8}};
  out.push_back({"anim.gif", writeGif(6, 5, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, {a, b, a})});

  Bytes rgba;
  for (int i = 0; i < 7 * 6 * 4; ++i) rgba.push_back(static_cast<uint8_t>(i * 13));
  out.push_back({"rgba.png", writePngRgba(7, 6, rgba)});
  PngInput palette;
  palette.width = 9;
  palette.height = 9;
  palette.colorType = PNG_COLOR_TYPE_PALETTE;
  palette.bitDepth = 4;
  palette.interlace = true;
  palette.palette = {{1, 1, 1}, {2, 2, 2}};
  palette.transparency = {7};
  palette.samples.assign(9 * 5, 0x10);
  out.push_back({"adam7.png", writePng(palette)});

  out.push_back({"every_op.apng", testpic::makeApng(12, 9, testpic::apngTestFrames(12, 9, true))});
  std::vector<testpic::ApngFrame> frames(2);
  frames[0].png = writePng(palette);
  palette.width = palette.height = 5;
  frames[1].png = writePng(palette);
  frames[1].x = frames[1].y = 2;
  frames[1].blend = 1;
  frames[1].dispose = 2;
  out.push_back({"palette.apng", testpic::makeApng(9, 9, frames)});

  Bytes rgb;
  for (int i = 0; i < 24 * 16 * 3; ++i) rgb.push_back(static_cast<uint8_t>(i * 7));
  out.push_back({"photo.jpg", writeJpeg(24, 16, 3, rgb)});
  Bytes cmyk(16 * 8 * 4, 100);
  out.push_back({"print.jpg", writeJpeg(16, 8, 4, cmyk)});
  const Bytes grey(rgb.begin(), rgb.begin() + 24 * 16);
  out.push_back({"progressive.jpg", writeJpeg(24, 16, 1, grey, 90, true)});
  return out;
}

// Reads every pixel of every frame so a bad pointer or size shows up.
uint64_t touchAll(const LogoImage& image) {
  uint64_t sum = 0;
  for (int i = 0; i < image.FrameCount(); ++i) {
    const LogoFrame& f = image.frame(i);
    EXPECT_NE(f.pixels, nullptr);
    EXPECT_GT(f.width, 0);
    if (!f.pixels) continue;
    for (size_t p = 0; p < static_cast<size_t>(f.width) * f.height; ++p) sum += f.pixels[p];
  }
  return sum;
}

// An animation decoded frame by frame, as one over the budget is, plays the
// frames of the full load, damaged as the file may be, and counts them once
// it has played them.
void expectStreamedPlaysTheSame(const std::string& path, const LogoImage& full) {
  if (full.FrameCount() < 2) return;
  LogoImage streamed;
  setFullLoadBudgetForTesting(1);
  const bool loaded = streamed.LoadFromFile(path.c_str());
  setFullLoadBudgetForTesting(0);
  ASSERT_TRUE(loaded);
  const int n = full.FrameCount();
  for (int step = 0; step < 2 * n; ++step) {
    const LogoFrame& a = streamed.current();
    const LogoFrame& b = full.frame(step % n);
    ASSERT_EQ(streamed.currentFrame(), step % n);
    ASSERT_EQ(a.delayMs, b.delayMs);
    ASSERT_EQ(std::memcmp(a.pixels, b.pixels, static_cast<size_t>(a.width) * a.height * 4), 0) << step;
    streamed.NextFrame();
  }
  ASSERT_EQ(streamed.FrameCount(), n);
}

TEST(DamagedFiles, EveryCutFailsOrLoadsWholeFrames) {
  TempDir dir;
  LogoImage image;
  for (const Sample& s : samples()) {
    ASSERT_TRUE(image.LoadFromFile(dir.write(s.name, s.bytes).c_str())) << s.name;
    for (size_t length = 0; length < s.bytes.size(); ++length) {
      const Bytes cut(s.bytes.begin(), s.bytes.begin() + static_cast<std::ptrdiff_t>(length));
      const std::string path = dir.write(s.name, cut);
      const bool ok = image.LoadFromFile(path.c_str());
      EXPECT_EQ(ok, image.FrameCount() > 0) << s.name << " cut at " << length;
      touchAll(image);
      expectStreamedPlaysTheSame(path, image);
    }
  }
}

// A file its writer has not finished is cut short: a load told to fail on
// that (as a reload of a followed file is) fails at every cut, yet loads the
// whole file, bytes after its end too, as a load that shows what decoded.
TEST(DamagedFiles, EveryCutFailsWhenTruncatedFails) {
  TempDir dir;
  LogoImage image, shown;
  for (const Sample& s : samples()) {
    Bytes padded = s.bytes;
    padded.resize(padded.size() + 16);
    for (const Bytes& whole : {s.bytes, padded}) {
      const std::string path = dir.write(s.name, whole);
      ASSERT_TRUE(image.LoadFromFile(path.c_str(), Truncated::kFails)) << s.name;
      ASSERT_TRUE(shown.LoadFromFile(path.c_str())) << s.name;
      ASSERT_EQ(image.FrameCount(), shown.FrameCount()) << s.name;
      for (int i = 0; i < image.FrameCount(); ++i) {
        const LogoFrame& a = image.frame(i);
        ASSERT_EQ(std::memcmp(a.pixels, shown.frame(i).pixels, static_cast<size_t>(a.width) * a.height * 4), 0)
            << s.name << " frame " << i;
      }
    }
    for (size_t length = 0; length < s.bytes.size(); ++length) {
      const Bytes cut(s.bytes.begin(), s.bytes.begin() + static_cast<std::ptrdiff_t>(length));
      EXPECT_FALSE(image.LoadFromFile(dir.write(s.name, cut).c_str(), Truncated::kFails))
          << s.name << " cut at " << length;
      EXPECT_EQ(image.FrameCount(), 0);
    }
  }
}

TEST(DamagedFiles, RandomByteChangesNeverCrash) {
  const unsigned seed = std::random_device{}();
  std::printf("damaged-file seed %u\n", seed);
  SCOPED_TRACE(seed);
  std::mt19937 random(seed);
  TempDir dir;
  LogoImage image;
  for (const Sample& s : samples()) {
    for (int round = 0; round < 150; ++round) {
      Bytes bytes = s.bytes;
      const int changes = 1 + static_cast<int>(random() % 6);
      for (int c = 0; c < changes; ++c) bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
      // Past the checksums, into the frames' own data.
      if (round % 2 && bytes[0] == 0x89) testpic::fixPngCrcs(bytes);
      const std::string path = dir.write(s.name, bytes);
      image.LoadFromFile(path.c_str());
      touchAll(image);
      expectStreamedPlaysTheSame(path, image);
    }
  }
}

}  // namespace
}  // namespace om::test
