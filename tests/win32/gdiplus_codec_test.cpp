// Picture loading through GDI+ and through the bitmap-only fallback, with
// pictures written byte by byte in the test.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/alloc_hook.h"
#include "frame_check/test_pictures.h"
#include "logo/image_codec.h"
#include "logo/logo_image.h"
#include "logo/win32/gdiplus_api.h"
#include "platform/win32/win32_module.h"
#include "win32_test_support.h"

namespace om {
namespace {

using testpic::Bytes;
using testpic::Rgba;
using wintest::TempFolder;

// Pixel (x, y from the top) of a frame as B, G, R, A bytes.
struct Bgra {
  uint8_t b, g, r, a;
  bool operator==(const Bgra& o) const { return b == o.b && g == o.g && r == o.r && a == o.a; }
};
std::ostream& operator<<(std::ostream& os, const Bgra& p) {
  return os << "BGRA(" << int(p.b) << "," << int(p.g) << "," << int(p.r) << "," << int(p.a) << ")";
}
Bgra pixel(const LogoFrame& f, int x, int y) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(f.pixels + static_cast<size_t>(f.height - 1 - y) * f.width + x);
  return Bgra{p[0], p[1], p[2], p[3]};
}

std::vector<Rgba> gradient(int width, int height, bool withAlpha) {
  std::vector<Rgba> px;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      px.push_back(Rgba{static_cast<uint8_t>(x * 255 / (width - 1)), static_cast<uint8_t>(y * 255 / (height - 1)),
                        static_cast<uint8_t>((x * 7 + y * 13) & 0xFF),
                        static_cast<uint8_t>(withAlpha ? (x * 41 + y * 17) % 256 : 255)});
  return px;
}

std::string writePicture(const TempFolder& folder, const std::string& name, const Bytes& bytes) {
  const std::string path = folder.file(name);
  EXPECT_TRUE(wintest::writeFileBytes(path, bytes.data(), bytes.size())) << path;
  return path;
}

bool gdiplusExpectedMissing() {
  const char* v = std::getenv("OM_EXPECT_NO_GDIPLUS");
  return v && *v == '1';
}

class GdiplusCodec : public ::testing::Test {
 protected:
  void SetUp() override {
    if (gdiplusExpectedMissing()) GTEST_SKIP() << "gdiplus.dll is disabled in this run";
    ASSERT_NE(gdiplus::api(), nullptr) << "gdiplus.dll should load under Wine";
  }
  TempFolder folder_;
  LogoImage image_;
};

TEST_F(GdiplusCodec, BmpLoadsExactlyAndOpaque) {
  const auto px = gradient(13, 7, false);
  const std::string path = writePicture(folder_, "logo.bmp", testpic::makeBmp(13, 7, px));
  ASSERT_TRUE(image_.LoadFromFile(path.c_str()));
  ASSERT_EQ(image_.FrameCount(), 1);
  const LogoFrame& f = image_.current();
  ASSERT_EQ(f.width, 13);
  ASSERT_EQ(f.height, 7);
  EXPECT_EQ(f.delayMs, 0);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 13; ++x) {
      const Rgba& s = px[static_cast<size_t>(y) * 13 + x];
      ASSERT_EQ(pixel(f, x, y), (Bgra{s.b, s.g, s.r, 255})) << x << "," << y;
    }
  const uint32_t topLeft = image_.PixelAt(0, 0);
  EXPECT_EQ(topLeft, 0xFF000000u | (uint32_t(px[0].b) << 16) | (uint32_t(px[0].g) << 8) | px[0].r);
}

// The frame is a DIB section the dialog can select into a device context,
// described by the frame's own header.
TEST_F(GdiplusCodec, FramesAreDibSections) {
  const std::string path = writePicture(folder_, "logo.bmp", testpic::makeBmp(5, 3, gradient(5, 3, false)));
  ASSERT_TRUE(image_.LoadFromFile(path.c_str()));
  const LogoFrame& f = image_.current();
  DIBSECTION dib;
  ASSERT_EQ(GetObjectA(static_cast<HBITMAP>(f.bitmap), sizeof dib, &dib), static_cast<int>(sizeof dib));
  EXPECT_EQ(dib.dsBm.bmBits, f.pixels);
  EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
  EXPECT_EQ(dib.dsBmih.biHeight, 3) << "bottom-up";
  EXPECT_EQ(f.header.biSize, 40u);
  EXPECT_EQ(f.header.biWidth, 5);
  EXPECT_EQ(f.header.biHeight, 3);
  EXPECT_EQ(f.header.biBitCount, 32);
  EXPECT_EQ(f.validRect.right, 5);
  EXPECT_EQ(f.validRect.bottom, 3);
}

// Transparency survives as premultiplied colour: A kept, colours scaled by A.
TEST_F(GdiplusCodec, PngAlphaIsPremultiplied) {
  const int w = 16, h = 16;
  auto px = gradient(w, h, true);
  px[0] = Rgba{255, 255, 255, 0};
  px[1] = Rgba{200, 100, 50, 255};
  px[2] = Rgba{255, 255, 255, 128};
  const std::string path = writePicture(folder_, "alpha.png", testpic::makePng(w, h, px));
  ASSERT_TRUE(image_.LoadFromFile(path.c_str()));
  ASSERT_EQ(image_.FrameCount(), 1);
  const LogoFrame& f = image_.current();
  EXPECT_EQ(pixel(f, 0, 0), (Bgra{0, 0, 0, 0})) << "fully transparent is all zero";
  EXPECT_EQ(pixel(f, 1, 0), (Bgra{50, 100, 200, 255})) << "opaque is unchanged";
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgba& s = px[static_cast<size_t>(y) * w + x];
      const Bgra p = pixel(f, x, y);
      ASSERT_EQ(p.a, s.a) << x << "," << y;
      // Rounding of the premultiplication is the codec's; one step either way.
      const int expect[3] = {s.b * s.a / 255, s.g * s.a / 255, s.r * s.a / 255};
      const int got[3] = {p.b, p.g, p.r};
      for (int c = 0; c < 3; ++c) ASSERT_NEAR(got[c], expect[c], 1) << x << "," << y << " channel " << c;
    }
}

TEST_F(GdiplusCodec, AnimatedGifKeepsEveryFrameAndDelay) {
  const int w = 9, h = 5;
  const auto palette = testpic::gifPalette();
  const auto frames = testpic::gifFrames(w, h);  // delays 0, 7, 1
  const std::string path = writePicture(folder_, "anim.gif", testpic::makeGif(w, h, palette, frames));
  ASSERT_TRUE(image_.LoadFromFile(path.c_str()));
  ASSERT_EQ(image_.FrameCount(), 3);
  EXPECT_EQ(image_.currentFrame(), 0);
  const int expectedDelay[3] = {100, 70, 10};
  for (int i = 0; i < 3; ++i) {
    const LogoFrame& f = image_.frame(i);
    EXPECT_EQ(f.delayMs, expectedDelay[i]) << "frame " << i;
    ASSERT_EQ(f.width, w);
    ASSERT_EQ(f.height, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t index = frames[static_cast<size_t>(i)].indices[static_cast<size_t>(y) * w + x];
        const Rgba& c = palette[index];
        const bool clear = i == 0 && index == 0;
        ASSERT_EQ(pixel(f, x, y), clear ? (Bgra{0, 0, 0, 0}) : (Bgra{c.b, c.g, c.r, 255}))
            << "frame " << i << " at " << x << "," << y;
      }
  }
  EXPECT_EQ(image_.current().pixels, image_.frame(0).pixels);
  EXPECT_EQ(image_.NextFrame(), 1);
  EXPECT_EQ(image_.CurrentDelay(), 70);
  EXPECT_EQ(image_.NextFrame(), 2);
  EXPECT_EQ(image_.NextFrame(), 0);
}

// Only the name decides: a GIF named .png is a still picture, one named
// .GIF in capitals is an animation.
TEST_F(GdiplusCodec, GifEndingDecidesAnimation) {
  const Bytes gif = testpic::makeGif(4, 4, testpic::gifPalette(), testpic::gifFrames(4, 4));
  const std::string asPng = writePicture(folder_, "anim.png", gif);
  ASSERT_TRUE(image_.LoadFromFile(asPng.c_str()));
  EXPECT_EQ(image_.FrameCount(), 1);
  EXPECT_EQ(image_.CurrentDelay(), 0);
  const std::string upper = writePicture(folder_, "ANIM.GIF", gif);
  ASSERT_TRUE(image_.LoadFromFile(upper.c_str()));
  EXPECT_EQ(image_.FrameCount(), 3);
}

// Frames without a graphic control extension have no delay entry at all:
// they show for 100 ms, like a zero delay, and nothing is read past the list.
TEST_F(GdiplusCodec, GifWithoutDelaysShowsFramesFor100Ms) {
  auto frames = testpic::gifFrames(6, 6);
  for (auto& f : frames) f.control = false;
  const std::string none = writePicture(folder_, "nodelay.gif", testpic::makeGif(6, 6, testpic::gifPalette(), frames));
  ASSERT_TRUE(image_.LoadFromFile(none.c_str()));
  ASSERT_EQ(image_.FrameCount(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(image_.frame(i).delayMs, 100) << i;

  // Only the first frame carries a delay.
  frames = testpic::gifFrames(6, 6);
  frames[0].delay = 25;
  frames[1].control = frames[2].control = false;
  const std::string some = writePicture(folder_, "somedelay.gif", testpic::makeGif(6, 6, testpic::gifPalette(), frames));
  ASSERT_TRUE(image_.LoadFromFile(some.c_str()));
  ASSERT_EQ(image_.FrameCount(), 3);
  EXPECT_EQ(image_.frame(0).delayMs, 250);
  EXPECT_EQ(image_.frame(1).delayMs, 100);
  EXPECT_EQ(image_.frame(2).delayMs, 100);
}

TEST_F(GdiplusCodec, JpegFromTheSystemEncoder) {
  const gdiplus::Api* gp = gdiplus::api();
  if (!gp->GdipGetImageEncodersSize || !gp->GdipGetImageEncoders || !gp->GdipSaveImageToFile)
    GTEST_SKIP() << "no GDI+ encoders";
  ULONG_PTR token = 0;
  gdiplus::StartupInput input;
  ASSERT_EQ(gp->GdiplusStartup(&token, &input, nullptr), gdiplus::kOk);
  UINT count = 0, size = 0;
  gp->GdipGetImageEncodersSize(&count, &size);
  std::vector<uint64_t> buffer((size + 7) / 8 + 1);
  auto* encoders = reinterpret_cast<gdiplus::CodecInfo*>(buffer.data());
  ASSERT_EQ(gp->GdipGetImageEncoders(count, size, encoders), gdiplus::kOk);
  const CLSID* jpeg = nullptr;
  for (UINT i = 0; i < count; ++i)
    if (encoders[i].mimeType && std::wstring(encoders[i].mimeType) == L"image/jpeg") jpeg = &encoders[i].clsid;
  ASSERT_NE(jpeg, nullptr);

  // A flat colour survives JPEG nearly unchanged.
  const int w = 32, h = 24;
  std::vector<uint32_t> argb(static_cast<size_t>(w) * h, 0xFF3C78B4u);  // R 0x3C, G 0x78, B 0xB4
  gdiplus::Image* bitmap = nullptr;
  ASSERT_EQ(gp->GdipCreateBitmapFromScan0(w, h, w * 4, gdiplus::kPixelFormat32bppARGB,
                                          reinterpret_cast<BYTE*>(argb.data()), &bitmap),
            gdiplus::kOk);
  const std::string path = folder_.file("photo.jpg");
  const std::wstring widePath = platform::widen(path.c_str(), CP_ACP);
  const gdiplus::Status saved = gp->GdipSaveImageToFile(bitmap, widePath.c_str(), jpeg, nullptr);
  gp->GdipDisposeImage(bitmap);
  gp->GdiplusShutdown(token);
  ASSERT_EQ(saved, gdiplus::kOk);

  ASSERT_TRUE(image_.LoadFromFile(path.c_str()));
  const LogoFrame& f = image_.current();
  ASSERT_EQ(f.width, w);
  ASSERT_EQ(f.height, h);
  for (int y = 0; y < h; y += 5)
    for (int x = 0; x < w; x += 5) {
      const Bgra p = pixel(f, x, y);
      EXPECT_EQ(p.a, 255);
      EXPECT_NEAR(p.r, 0x3C, 6);
      EXPECT_NEAR(p.g, 0x78, 6);
      EXPECT_NEAR(p.b, 0xB4, 6);
    }
}

TEST_F(GdiplusCodec, UnreadableFilesFailAndLeaveNothing) {
  const std::string good = writePicture(folder_, "good.bmp", testpic::makeBmp(3, 3, gradient(3, 3, false)));
  const Bytes junk = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'};
  const std::string bad = writePicture(folder_, "bad.png", junk);
  const std::string truncatedGif = writePicture(folder_, "cut.gif", Bytes{'G', 'I', 'F', '8', '9', 'a', 9, 0});
  for (const std::string& path : {bad, truncatedGif, folder_.file("missing.png"), std::string()}) {
    ASSERT_TRUE(image_.LoadFromFile(good.c_str()));
    EXPECT_FALSE(image_.LoadFromFile(path.c_str())) << path;
    EXPECT_EQ(image_.FrameCount(), 0) << "a failed load leaves no old picture behind";
    EXPECT_EQ(image_.current().pixels, nullptr);
  }
}

// A file its writer has not finished fails a load told so, through GDI+
// and through the bitmap loader, while the whole file loads.
TEST_F(GdiplusCodec, CutShortFailsWhenTruncatedFails) {
  const Bytes files[] = {testpic::makePng(9, 7, gradient(9, 7, true)), testpic::makeBmp(9, 7, gradient(9, 7, false)),
                         testpic::makeGif(9, 5, testpic::gifPalette(), testpic::gifFrames(9, 5)),
                         testpic::makeApng(16, 12, testpic::apngTestFrames(16, 12, true))};
  for (const bool fallback : {false, true}) {
    setCodecUnavailableForTesting(fallback);
    for (const Bytes& whole : files) {
      if (fallback && whole[0] != 'B') continue;
      EXPECT_TRUE(image_.LoadFromFile(writePicture(folder_, "whole.gif", whole).c_str(), Truncated::kFails));
      for (const size_t length : {whole.size() / 2, whole.size() - 1}) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_FALSE(image_.LoadFromFile(writePicture(folder_, "cut.gif", cut).c_str(), Truncated::kFails))
            << whole[1] << " cut at " << length << (fallback ? " without GDI+" : "");
      }
    }
  }
  setCodecUnavailableForTesting(false);
}

TEST_F(GdiplusCodec, SidesAboveTheLimitAreRefused) {
  std::vector<Rgba> row(static_cast<size_t>(kMaxPictureSide) + 1, Rgba{10, 20, 30, 255});
  const std::string tooWide = writePicture(folder_, "wide.bmp", testpic::makeBmp(kMaxPictureSide + 1, 1, row));
  EXPECT_FALSE(image_.LoadFromFile(tooWide.c_str()));
  EXPECT_EQ(image_.FrameCount(), 0);
  row.pop_back();
  const std::string widest = writePicture(folder_, "widest.bmp", testpic::makeBmp(kMaxPictureSide, 1, row));
  ASSERT_TRUE(image_.LoadFromFile(widest.c_str()));
  EXPECT_EQ(image_.current().width, kMaxPictureSide);
}

bool samePixels(const LogoFrame& a, const LogoFrame& b) {
  return a.width == b.width && a.height == b.height && a.pixels && b.pixels &&
         std::memcmp(a.pixels, b.pixels, static_cast<size_t>(a.width) * a.height * 4) == 0;
}

// An animated PNG animates by its content, with its own delays; an invalid
// one shows its default image as GDI+ shows that PNG on its own.
TEST_F(GdiplusCodec, AnimatedPngAnimatesByContent) {
  const auto frames = testpic::apngTestFrames(23, 17, true);
  const Bytes apng = testpic::makeApng(23, 17, frames);
  for (const char* name : {"anim.png", "anim.gif"}) {
    ASSERT_TRUE(image_.LoadFromFile(writePicture(folder_, name, apng).c_str())) << name;
    ASSERT_EQ(image_.FrameCount(), 6) << name;
    const int expected[6] = {100, 70, 100, 3, 333, 20};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(image_.frame(i).delayMs, expected[i]) << name << " frame " << i;
  }
  LogoImage still;
  ASSERT_TRUE(still.LoadFromFile(writePicture(folder_, "still.png", frames[0].png).c_str()));
  Bytes bad = apng;
  bad[testpic::pngChunks(bad)[4].at + 11] = 9;  // frame 1's sequence number
  testpic::fixPngCrcs(bad);
  ASSERT_TRUE(image_.LoadFromFile(writePicture(folder_, "bad.png", bad).c_str()));
  ASSERT_EQ(image_.FrameCount(), 1);
  EXPECT_EQ(image_.CurrentDelay(), 0);
  EXPECT_TRUE(samePixels(image_.current(), still.current()));
}

// Decoded frame by frame, as an animation over the budget is, a GIF through
// GDI+'s frame selection and an APNG through its frame streams show the
// frames of a full load, two loops over and back and forth.
TEST_F(GdiplusCodec, StreamedAnimationsShowTheFramesOfAFullLoad) {
  const std::string gif = writePicture(folder_, "anim.gif", testpic::makeGif(9, 5, testpic::gifPalette(), testpic::gifFrames(9, 5)));
  const std::string apng = writePicture(folder_, "anim.png", testpic::makeApng(16, 12, testpic::apngTestFrames(16, 12, true, 2)));
  for (const std::string& path : {gif, apng}) {
    SCOPED_TRACE(path);
    LogoImage full, streamed;
    ASSERT_TRUE(full.LoadFromFile(path.c_str()));
    setFullLoadBudgetForTesting(1);
    const bool loaded = streamed.LoadFromFile(path.c_str());
    setFullLoadBudgetForTesting(0);
    ASSERT_TRUE(loaded);
    ASSERT_TRUE(streamed.streamed());
    const int n = full.FrameCount();
    ASSERT_EQ(streamed.FrameCount(), n);
    for (int step = 0; step <= 2 * n; ++step) {
      ASSERT_EQ(streamed.currentFrame(), step % n);
      ASSERT_EQ(streamed.CurrentDelay(), full.frame(step % n).delayMs);
      ASSERT_TRUE(samePixels(streamed.current(), full.frame(step % n))) << "step " << step;
      streamed.NextFrame();
    }
    for (int i : {n - 1, 0, 1}) {
      ASSERT_EQ(streamed.SelectFrame(i), i);
      ASSERT_TRUE(samePixels(streamed.current(), full.frame(i))) << "selected " << i;
    }
  }
}

// Every frame costs the whole screen: one frame too many for the budget and
// the animation plays frame by frame, with the frames of the same GIF cut to
// what fits.
TEST_F(GdiplusCodec, AnimationOverTheBudgetPlaysFrameByFrame) {
  const int side = 512;
  const size_t count = static_cast<size_t>(kPictureMemoryBudget / frameBudgetBytes(side, side)) + 1;
  std::vector<testpic::GifFrame> frames(count);
  // Later frames are 1 x 1 patches, so the file stays small.
  for (size_t i = 0; i < count; ++i) {
    frames[i].width = frames[i].height = 1;
    frames[i].indices = {static_cast<uint8_t>(i % 100)};
  }
  frames[0].width = frames[0].height = 0;
  frames[0].indices.assign(static_cast<size_t>(side) * side, 7);
  const std::string path =
      writePicture(folder_, "flood.gif", testpic::makeGif(side, side, testpic::gifPalette(), frames));
  frames.resize(8);
  LogoImage cut;
  ASSERT_TRUE(cut.LoadFromFile(writePicture(folder_, "cut.gif", testpic::makeGif(side, side, testpic::gifPalette(), frames)).c_str()));
  ASSERT_FALSE(cut.streamed());
  ASSERT_TRUE(image_.LoadFromFile(path.c_str()));
  ASSERT_TRUE(image_.streamed());
  ASSERT_EQ(image_.FrameCount(), static_cast<int>(count));
  for (size_t step = 0; step < 2 * count; ++step) {
    ASSERT_EQ(image_.currentFrame(), static_cast<int>(step % count));
    if (step % count < 8) {
      ASSERT_TRUE(samePixels(image_.current(), cut.frame(static_cast<int>(step % count)))) << step;
    }
    image_.NextFrame();
  }
}

TEST_F(GdiplusCodec, FailedFrameAllocationFailsTheLoadCleanly) {
  const std::string path =
      writePicture(folder_, "anim.gif", testpic::makeGif(8, 8, testpic::gifPalette(), testpic::gifFrames(8, 8)));
  armAllocFailure(2);  // the second frame's bitmap
  const bool loaded = image_.LoadFromFile(path.c_str());
  armAllocFailure(0);
  EXPECT_FALSE(loaded);
  EXPECT_EQ(image_.FrameCount(), 0);
  EXPECT_TRUE(image_.LoadFromFile(path.c_str())) << "works again once memory is back";
}

TEST_F(GdiplusCodec, FilterListsEveryDecoder) {
  const std::string filter = LogoImage::BuildOpenFilter();
  ASSERT_GE(filter.size(), 2u);
  ASSERT_EQ(filter.substr(filter.size() - 2), std::string(2, '\0')) << "ends with an empty text";
  std::vector<std::string> texts;
  for (size_t pos = 0; pos < filter.size() - 1;) {
    const size_t end = filter.find('\0', pos);
    texts.push_back(filter.substr(pos, end - pos));
    pos = end + 1;
  }
  ASSERT_GE(texts.size(), 4u);
  ASSERT_EQ(texts.size() % 2, 0u) << "pairs of name and patterns";
  EXPECT_EQ(texts[0], "All image files");
  std::string joined;
  for (size_t i = 2; i < texts.size(); i += 2) {
    const std::string& patterns = texts[i + 1];
    EXPECT_FALSE(patterns.empty());
    EXPECT_EQ(texts[i].substr(texts[i].size() - patterns.size() - 1), patterns + ")");
    EXPECT_NE(texts[i].find(" files ("), std::string::npos) << texts[i];
    joined += (i > 2 ? ";" : "") + patterns;
  }
  EXPECT_EQ(texts[1], joined);
  EXPECT_NE(texts[1].find("*.BMP"), std::string::npos) << texts[1];
  EXPECT_NE(texts[1].find("*.GIF"), std::string::npos) << texts[1];
}

// The path is system code page text; a Cyrillic name works when that page
// is Windows-1251 (the run with LANG=ru_RU.UTF-8).
TEST_F(GdiplusCodec, CyrillicPathInCodePage1251) {
  const char* expected = std::getenv("OM_EXPECT_ACP");
  if (expected && std::atoi(expected) == 1251) {
    ASSERT_EQ(GetACP(), 1251u) << "the run was meant to have the Russian code page";
  } else if (GetACP() != 1251) {
    GTEST_SKIP() << "system code page is " << GetACP();
  }
  const Bytes bmp = testpic::makeBmp(4, 2, gradient(4, 2, false));
  const std::wstring wideName = platform::widen(folder_.path().c_str(), CP_ACP) + L"\\\x043B\x043E\x0433\x043E.bmp";
  const HANDLE f = CreateFileW(wideName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  WriteFile(f, bmp.data(), static_cast<DWORD>(bmp.size()), &n, nullptr);
  CloseHandle(f);
  const std::string narrowPath = folder_.path() + "\\\xEB\xEE\xE3\xEE.bmp";  // "лого" in Windows-1251
  ASSERT_TRUE(image_.LoadFromFile(narrowPath.c_str()));
  EXPECT_EQ(image_.current().width, 4);
}

// --- without GDI+ ---

class BitmapFallback : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!gdiplusExpectedMissing()) setCodecUnavailableForTesting(true);
  }
  void TearDown() override { setCodecUnavailableForTesting(false); }
  TempFolder folder_;
  LogoImage image_;
};

TEST_F(BitmapFallback, CodecCountsAsMissing) {
  CodecScope scope;
  EXPECT_FALSE(scope.available());
  if (gdiplusExpectedMissing()) {
    EXPECT_EQ(gdiplus::api(), nullptr);
  }
}

TEST_F(BitmapFallback, BitmapsLoadOpaqueWithExactColours) {
  const auto px = gradient(11, 6, true);
  for (int bits : {24, 32}) {
    const std::string path = writePicture(folder_, "fallback" + std::to_string(bits) + ".bmp",
                                          testpic::makeBmp(11, 6, px, bits));
    ASSERT_TRUE(image_.LoadFromFile(path.c_str())) << bits;
    ASSERT_EQ(image_.FrameCount(), 1);
    const LogoFrame& f = image_.current();
    ASSERT_EQ(f.width, 11);
    ASSERT_EQ(f.height, 6);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 11; ++x) {
        const Rgba& s = px[static_cast<size_t>(y) * 11 + x];
        ASSERT_EQ(pixel(f, x, y), (Bgra{s.b, s.g, s.r, 255})) << bits << " bits at " << x << "," << y;
      }
  }
}

TEST_F(BitmapFallback, OtherFormatsFail) {
  const std::string png = writePicture(folder_, "x.png", testpic::makePng(3, 3, gradient(3, 3, true)));
  EXPECT_FALSE(image_.LoadFromFile(png.c_str()));
  const std::string gif =
      writePicture(folder_, "x.gif", testpic::makeGif(3, 3, testpic::gifPalette(), testpic::gifFrames(3, 3)));
  EXPECT_FALSE(image_.LoadFromFile(gif.c_str()));
  EXPECT_EQ(image_.FrameCount(), 0);
}

TEST_F(BitmapFallback, FilterOffersBitmapsOnly) {
  const std::string filter = LogoImage::BuildOpenFilter();
  static const char kExpected[] = "BMP files (*.bmp)\0*.bmp\0";
  EXPECT_EQ(filter, std::string(kExpected, sizeof kExpected));  // with the final NUL
}

}  // namespace
}  // namespace om
