// Every vector path against the scalar reference on random frames, overlays,
// placements and opacities, through the canvas's own placement and clipping.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <random>
#include <sstream>
#include <vector>

#include "blend_support.h"

namespace om::test {
namespace {

TEST(BlendSimd, EveryLevelMatchesTheReferenceByteForByte) {
  if (vectorLevels().empty()) GTEST_SKIP() << "no vector level on this processor";
  std::mt19937 rng = seededRng(0xB1E9D);
  auto uniform = [&rng](int32_t lo, int32_t hi) { return test::uniform(rng, lo, hi); };
  // Weights cluster where the logo is absent, solid or at the 127/128 step.
  auto weight = [&]() -> uint8_t {
    switch (uniform(0, 4)) {
      case 0: return 0;
      case 1: return 255;
      case 2: return static_cast<uint8_t>(uniform(126, 129));
      default: return static_cast<uint8_t>(uniform(0, 255));
    }
  };

  for (int32_t round = 0; round < 600; ++round) {
    const int32_t code = uniform(0, 1);
    const int32_t width = uniform(0, 3) == 0 ? uniform(1, 700) : uniform(1, 90);
    const int32_t height = uniform(1, 5);
    const int32_t logoWidth = uniform(1, width + 40);
    const int32_t logoHeight = uniform(1, height + 2);
    const int32_t position[2] = {uniform(-300, 1100), uniform(-400, 1100)};
    const int32_t opacities[] = {0, 100, uniform(-5, 105)};
    const int32_t opacity = opacities[uniform(0, 2)];
    std::ostringstream what;
    what << "round " << round << ": code " << code << ", frame " << width << "x" << height
         << ", logo " << logoWidth << "x" << logoHeight << " at " << position[0] << ","
         << position[1] << ", opacity " << opacity;
    SCOPED_TRACE(what.str());

    FrameCanvas canvas;
    canvas.SetFormat(width, height, code);
    setOverlay(canvas, logoWidth + uniform(0, 5), logoHeight + uniform(0, 3), logoWidth,
               logoHeight);
    const OverlayImage& overlay = canvas.overlay();
    const size_t overlayBytes =
        static_cast<size_t>(overlay.allocatedWidth) * overlay.allocatedHeight * 4;
    for (size_t i = 0; i < overlayBytes; ++i) {
      overlay.pixels[i] = (i & 3) == 3 ? weight() : static_cast<uint8_t>(rng());
    }
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * (code == 0 ? 2 : 3));
    for (auto& b : frame) b = static_cast<uint8_t>(rng());

    const std::vector<FencedBytes> out = blendAtEveryLevel(canvas, frame, position, 1000, opacity);
    ASSERT_TRUE(out[0].fencesIntact());
    for (size_t i = 1; i < out.size(); ++i)
      ASSERT_TRUE(sameBytes(out[i], out[0])) << simdLevelName(vectorLevels()[i - 1]);
    // Exactly sized, so the address sanitizer sees any access past the frame.
    for (SimdLevel level : vectorLevels()) {
      std::vector<uint8_t> exact(frame);
      const SimdLevelCap cap(level);
      canvas.BlendOverlay(exact.data(), position, 1000, 1000, opacity);
      ASSERT_TRUE(std::equal(exact.begin(), exact.end(), out[0].data())) << simdLevelName(level);
    }
  }
}

}  // namespace
}  // namespace om::test
