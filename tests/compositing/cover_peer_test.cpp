// Erase against FFmpeg's delogo filter, the common tool for the job: on a
// luma plane, a rectangle with all four sides inside the frame is filled
// from its border exactly as delogo fills the same rectangle.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "compositing/frame_cover.h"
#include "tests/support/kernel_check.h"

namespace om::test {
namespace {

bool haveFfmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

// FFmpeg's delogo of a gray picture; empty when it failed.
std::vector<uint8_t> delogo(const std::vector<uint8_t>& gray, int32_t width, int32_t height,
                            const Rect& logo) {
  const std::string in = ::testing::TempDir() + "cover_peer_" + std::to_string(width) + "x" +
                         std::to_string(height) + ".gray";
  FILE* f = std::fopen(in.c_str(), "wb");
  if (!f) return {};
  std::fwrite(gray.data(), 1, gray.size(), f);
  std::fclose(f);
  const std::string command =
      "ffmpeg -v error -nostdin -f rawvideo -pix_fmt gray -s " + std::to_string(width) + "x" +
      std::to_string(height) + " -i '" + in + "' -vf delogo=x=" + std::to_string(logo.left) +
      ":y=" + std::to_string(logo.top) + ":w=" + std::to_string(logo.width()) +
      ":h=" + std::to_string(logo.height()) + " -f rawvideo -pix_fmt gray - 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {};
  std::vector<uint8_t> out(gray.size());
  const size_t got = std::fread(out.data(), 1, out.size(), pipe);
  const bool ok = pclose(pipe) == 0 && got == out.size();
  std::remove(in.c_str());
  return ok ? out : std::vector<uint8_t>{};
}

TEST(CoverPeer, EraseIsFfmpegDelogoOnLuma) {
  ASSERT_TRUE(haveFfmpeg()) << "the erase peer is FFmpeg: run scripts/install-deps.sh";
  std::mt19937 rng = seededRng(0xDE1060);
  auto uniform = [&rng](int32_t lo, int32_t hi) { return test::uniform(rng, lo, hi); };
  for (int32_t round = 0; round < 12; ++round) {
    const int32_t width = 2 * uniform(8, 200), height = uniform(8, 120);
    Rect rect;
    rect.left = uniform(1, width - 3);
    rect.top = uniform(1, height - 3);
    rect.right = uniform(rect.left + 1, width - 1);
    rect.bottom = uniform(rect.top + 1, height - 1);
    SCOPED_TRACE("frame " + std::to_string(width) + "x" + std::to_string(height) + ", rect " +
                 std::to_string(rect.left) + "," + std::to_string(rect.top) + " " +
                 std::to_string(rect.width()) + "x" + std::to_string(rect.height()));
    // Smooth areas and noise, so both the weights and the rounding matter.
    std::vector<uint8_t> gray(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x)
        gray[static_cast<size_t>(y) * width + x] =
            static_cast<uint8_t>(round % 2 ? rng() : (x * 3 + y * 5 + uniform(0, 9)));
    const std::vector<uint8_t> peer = delogo(gray, width, height, rect);
    ASSERT_FALSE(peer.empty());

    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 2);
    for (size_t i = 0; i < gray.size(); ++i) {
      frame[2 * i] = gray[i];
      frame[2 * i + 1] = static_cast<uint8_t>(rng());
    }
    FrameCover cover;
    cover.prepare(kPackedYuv422, width, height, rect.width(), rect.height(), CoverMode::Erase, 8);
    cover.apply(frame.data(), rect, nullptr, 256);
    int32_t differing = 0;
    for (size_t i = 0; i < gray.size(); ++i) differing += frame[2 * i] != peer[i];
    EXPECT_EQ(differing, 0);
  }
}

}  // namespace
}  // namespace om::test
