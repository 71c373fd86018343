// Animated PNG: frames against FFmpeg's APNG decoder (the test-time peer),
// delays, the default image, and invalid files shown as still pictures.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "picture_writers.h"
#include "tests/win32/frame_check/test_pictures.h"

namespace om::test {
namespace {

using testpic::ApngFrame;
using testpic::makeApng;

// FFmpeg's frames of an APNG as straight R, G, B, A, each canvas-sized.
std::vector<Bytes> ffmpegFrames(const std::string& path, int width, int height) {
  const std::string command = "ffmpeg -v error -nostdin -f apng -i '" + path +
                              "' -f rawvideo -pix_fmt rgba -fps_mode passthrough - 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {};
  Bytes all;
  uint8_t buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) all.insert(all.end(), buffer, buffer + n);
  if (pclose(pipe) != 0) return {};
  const size_t frameBytes = static_cast<size_t>(width) * height * 4;
  std::vector<Bytes> frames;
  for (size_t at = 0; at + frameBytes <= all.size(); at += frameBytes)
    frames.emplace_back(all.begin() + static_cast<long>(at), all.begin() + static_cast<long>(at + frameBytes));
  return frames;
}

bool haveFfmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

// Frame `i` of a 3-frame, 8 x 6 RGBA animation with a partly transparent
// gradient, as a PNG of `w` x `h`.
Bytes framePng(int w, int h, int i) {
  Bytes rgba;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      rgba.insert(rgba.end(), {static_cast<uint8_t>(x * 30 + i * 50), static_cast<uint8_t>(y * 40),
                               static_cast<uint8_t>(200 - i * 60), static_cast<uint8_t>(60 + x * 20 + y)});
  return writePngRgba(w, h, rgba);
}

struct PeerCase {
  std::string name;
  Bytes apng;
  int width, height;
  int tolerance;  // on colour channels; alpha always exact
};

std::vector<PeerCase> peerCases() {
  std::vector<PeerCase> cases;
  cases.push_back({"every_op", makeApng(23, 17, testpic::apngTestFrames(23, 17, false)), 23, 17, 0});
  cases.push_back({"first_disposes_previous", makeApng(16, 12, testpic::apngTestFrames(16, 12, false, 2)), 16, 12, 0});
  // One rounding of a partial pixel over a partial one: at most 2 apart
  // (all 2^32 channel and alpha pairs checked once, offline).
  cases.push_back({"over_partial", makeApng(23, 17, testpic::apngTestFrames(23, 17, true)), 23, 17, 2});

  // Palette with transparency, interlaced; the default image is no frame.
  PngInput palette;
  palette.width = 8;
  palette.height = 6;
  palette.colorType = PNG_COLOR_TYPE_PALETTE;
  palette.interlace = true;
  palette.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {250, 250, 250}};
  palette.transparency = {255, 128, 0, 40};
  std::vector<ApngFrame> frames;
  for (int i = 0; i < 3; ++i) {
    PngInput f = palette;
    f.width = i == 0 ? 8 : 5;
    f.height = i == 0 ? 6 : 4;
    for (int p = 0; p < f.width * f.height; ++p) f.samples.push_back(static_cast<uint8_t>((p + i) % 4));
    ApngFrame frame;
    frame.png = writePng(f);
    frame.x = i;
    frame.y = i == 2 ? 2 : 0;
    frame.blend = i == 2 ? 1 : 0;
    frame.dispose = i == 1 ? 1 : 0;
    frames.push_back(frame);
  }
  PngInput still = palette;
  still.samples.assign(48, 3);
  const Bytes defaultImage = writePng(still);
  cases.push_back({"palette_default_apart", makeApng(8, 6, frames, &defaultImage), 8, 6, 0});

  // Grey with alpha; the second frame is a partial pixel over a partial one.
  frames.clear();
  for (int i = 0; i < 2; ++i) {
    PngInput g;
    g.width = g.height = 5;
    g.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    for (int p = 0; p < 25; ++p) g.samples.insert(g.samples.end(), {static_cast<uint8_t>(p * 10 + i), static_cast<uint8_t>(p * 7 + 30)});
    ApngFrame frame;
    frame.png = writePng(g);
    frame.blend = i;
    frames.push_back(frame);
  }
  cases.push_back({"grey_alpha", makeApng(5, 5, frames), 5, 5, 2});
  return cases;
}

class ApngLoader : public ::testing::Test {
 protected:
  TempDir dir;
  LogoImage image;
};

// Every frame equals FFmpeg's once premultiplied as the loader does.
TEST_F(ApngLoader, FramesEqualFfmpegs) {
  ASSERT_TRUE(haveFfmpeg()) << "the APNG peer is FFmpeg: run scripts/install-deps.sh";
  std::vector<PeerCase> cases = peerCases();
  // A real file: FFmpeg's own encoder, which picks dispose and blend ops and
  // frame rectangles itself, from a moving picture with partial alpha.
  const std::string real = dir.path() + "/real.png";
  ASSERT_EQ(std::system(("ffmpeg -v error -nostdin -f lavfi -i testsrc2=size=64x48:rate=10:duration=1.2 "
                         "-vf \"format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='if(lt(X,20+T*30),255,mod(X*7+Y*3+T*50,256))'\" "
                         "-f apng -plays 0 -y '" + real + "' >/dev/null 2>&1").c_str()),
            0);
  std::FILE* f = std::fopen(real.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  Bytes realBytes;
  for (int c; (c = std::fgetc(f)) != EOF;) realBytes.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  cases.push_back({"ffmpeg_encoded", realBytes, 64, 48, 0});

  for (const PeerCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.write(c.name + ".png", c.apng);
    ASSERT_TRUE(image.LoadFromFile(path.c_str()));
    const std::vector<Bytes> peer = ffmpegFrames(path, c.width, c.height);
    ASSERT_GT(image.FrameCount(), 1);
    ASSERT_EQ(static_cast<int>(peer.size()), image.FrameCount());
    int off = 0, worst = 0;
    for (int i = 0; i < image.FrameCount(); ++i) {
      const LogoFrame& frame = image.frame(i);
      ASSERT_EQ(frame.width, c.width);
      ASSERT_EQ(frame.height, c.height);
      for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
          const uint8_t* p = &peer[static_cast<size_t>(i)][(static_cast<size_t>(y) * c.width + x) * 4];
          const uint32_t got = pixelOf(frame, x, y);
          ASSERT_EQ(got >> 24, p[3]) << "frame " << i << " at " << x << "," << y;
          const uint32_t rgb[3] = {got >> 16 & 255, got >> 8 & 255, got & 255};
          for (int k = 0; k < 3; ++k) {
            const int want = (p[k] * p[3] + 127) / 255;
            const int d = std::abs(static_cast<int>(rgb[k]) - want);
            ASSERT_LE(d, c.tolerance) << "frame " << i << " at " << x << "," << y << " channel " << k;
            off += d > 0;
            worst = std::max(worst, d);
          }
        }
    }
    std::printf("%s: %d frames, %d channel values off FFmpeg's (at most %d)\n", c.name.c_str(),
                image.FrameCount(), off, worst);
  }
}

TEST_F(ApngLoader, DelaysDefaultImageAndTheAnimationRule) {
  std::vector<ApngFrame> frames(5);
  const int delays[5][2] = {{1, 10}, {0, 0}, {7, 0}, {1, 3}, {1, 3000}};  // 100, none, 70, 333, under 1 ms
  for (int i = 0; i < 5; ++i) {
    frames[static_cast<size_t>(i)].png = framePng(8, 6, i);
    frames[static_cast<size_t>(i)].delayNum = delays[i][0];
    frames[static_cast<size_t>(i)].delayDen = delays[i][1];
  }
  // Animated by content under any name; the loop count is not read.
  for (const char* name : {"a.png", "b.gif", "c"}) {
    ASSERT_TRUE(image.LoadFromFile(dir.write(name, makeApng(8, 6, frames, nullptr, 3)).c_str())) << name;
    ASSERT_EQ(image.FrameCount(), 5) << name;
    const int expected[5] = {100, 100, 70, 333, 100};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(image.frame(i).delayMs, expected[i]) << name << " frame " << i;
  }
  // A default image apart from the animation is skipped.
  const Bytes other = framePng(8, 6, 2);
  ASSERT_TRUE(image.LoadFromFile(dir.write("apart.png", makeApng(8, 6, frames, &other)).c_str()));
  EXPECT_EQ(image.FrameCount(), 5);
  LogoImage first;
  ASSERT_TRUE(first.LoadFromFile(dir.write("one.png", framePng(8, 6, 0)).c_str()));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(pixelOf(image.frame(0), x, y), pixelOf(first.current(), x, y));

  // acTL after IDAT is no animation: a still PNG, as before.
  Bytes late = framePng(8, 6, 0);
  Bytes actl = {0, 0, 0, 2, 0, 0, 0, 0};
  Bytes tail;
  testpic::pngChunk(tail, "acTL", actl);
  late.insert(late.end() - 12, tail.begin(), tail.end());
  ASSERT_TRUE(image.LoadFromFile(dir.write("late.png", late).c_str()));
  EXPECT_EQ(image.FrameCount(), 1);
  EXPECT_EQ(image.CurrentDelay(), 0);
}

// Each damage shows the default image alone, exactly as a still PNG loads.
TEST_F(ApngLoader, InvalidFilesShowTheDefaultImageAsAStill) {
  std::vector<ApngFrame> frames(3);
  for (int i = 0; i < 3; ++i) {
    frames[static_cast<size_t>(i)].png = framePng(i ? 4 : 8, i ? 3 : 6, i);
    frames[static_cast<size_t>(i)].x = i;
    frames[static_cast<size_t>(i)].y = i;
  }
  const Bytes good = makeApng(8, 6, frames);
  LogoImage still;
  ASSERT_TRUE(still.LoadFromFile(dir.write("still.png", framePng(8, 6, 0)).c_str()));
  ASSERT_TRUE(image.LoadFromFile(dir.write("good.png", good).c_str()));
  ASSERT_EQ(image.FrameCount(), 3);

  // Field changes by chunk: (chunk type, its n-th occurrence, byte offset in the body, new value).
  struct Change {
    const char* what;
    std::function<void(Bytes&)> apply;
  };
  const auto body = [](Bytes& b, const char* type, int nth, size_t offset, uint8_t value) {
    for (const testpic::PngChunk& c : testpic::pngChunks(b))
      if (c.type == type && nth-- == 0) b[c.at + 8 + offset] = value;
    testpic::fixPngCrcs(b);
  };
  const std::vector<Change> changes = {
      {"sequence out of order", [&](Bytes& b) { body(b, "fcTL", 1, 3, 7); }},
      {"fdAT sequence out of order", [&](Bytes& b) { body(b, "fdAT", 0, 3, 9); }},
      {"frame right of the canvas", [&](Bytes& b) { body(b, "fcTL", 2, 15, 6); }},
      {"frame below the canvas", [&](Bytes& b) { body(b, "fcTL", 1, 11, 9); }},
      {"empty frame", [&](Bytes& b) { body(b, "fcTL", 1, 7, 0); }},
      {"default frame not the canvas", [&](Bytes& b) { body(b, "fcTL", 0, 7, 5); }},
      {"unknown dispose op", [&](Bytes& b) { body(b, "fcTL", 1, 24, 3); }},
      {"unknown blend op", [&](Bytes& b) { body(b, "fcTL", 1, 25, 2); }},
      {"acTL counts more", [&](Bytes& b) { body(b, "acTL", 0, 3, 4); }},
      {"acTL counts fewer", [&](Bytes& b) { body(b, "acTL", 0, 3, 2); }},
      {"acTL counts none", [&](Bytes& b) { body(b, "acTL", 0, 3, 0); }},
      {"damaged CRC", [&](Bytes& b) { b[testpic::pngChunks(b)[5].at + 9] ^= 1; }},
      {"frame data that does not inflate", [&](Bytes& b) { body(b, "fdAT", 1, 6, 0xFF); }},
  };
  for (const Change& c : changes) {
    Bytes bytes = good;
    c.apply(bytes);
    ASSERT_TRUE(image.LoadFromFile(dir.write("bad.png", bytes).c_str())) << c.what;
    ASSERT_EQ(image.FrameCount(), 1) << c.what;
    EXPECT_EQ(image.CurrentDelay(), 0) << c.what;
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) ASSERT_EQ(pixelOf(image.current(), x, y), pixelOf(still.current(), x, y)) << c.what;
  }
  // Cut anywhere after the default image: still the default image.
  const size_t firstFdat = testpic::pngChunks(good)[5].at;
  for (size_t length = firstFdat; length < good.size(); ++length) {
    const Bytes cut(good.begin(), good.begin() + static_cast<long>(length));
    ASSERT_TRUE(image.LoadFromFile(dir.write("cut.png", cut).c_str())) << length;
    ASSERT_EQ(image.FrameCount(), 1) << length;
  }
}

}  // namespace
}  // namespace om::test
