// The covers on 1080p frames: a 400x200 rectangle near the top right
// corner, where a channel's logo sits, in each mode through FrameCover
// (prepared once, applied per frame), against the blend of a prepared
// 400x200 picture at the same place; both per SIMD level, times per
// rectangle pixel. And each row kernel per SIMD level on that rectangle's
// rows, times per element a call handles (pixels for split and join,
// samples otherwise).
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "common/aligned_block.h"
#include "compositing/cover_kernels.h"
#include "compositing/frame_canvas.h"
#include "compositing/frame_cover.h"

namespace om {
namespace {

constexpr int32_t kFrameWidth = 1920, kFrameHeight = 1080;
constexpr Rect kRect{1456, 64, 1856, 264};  // 400 x 200
constexpr int32_t kOpacity = 179;           // 70 %, as the blend's

std::string layoutName(int32_t code) { return code == kPackedYuv422 ? "yuv422" : "bgr24"; }

// A frame of random bytes and the canvas's 400x200 picture of random
// pixels, placed at the rectangle.
struct Scene {
  explicit Scene(int32_t code)
      : frame(static_cast<size_t>(kFrameWidth) * kFrameHeight * (code == kPackedYuv422 ? 2 : 3)) {
    canvas.SetFormat(kFrameWidth, kFrameHeight, code);
    OverlayImage& overlay = canvas.overlay();
    const size_t bytes = static_cast<size_t>(kRect.width()) * kRect.height() * 4;
    overlay.pixels = overlay.block = static_cast<uint8_t*>(alignedAlloc(bytes, 64));
    overlay.allocatedWidth = overlay.blockWidth = kRect.width();
    overlay.allocatedHeight = overlay.blockHeight = kRect.height();
    overlay.content = Rect{0, 0, kRect.width(), kRect.height()};
    std::mt19937 rng(3);
    for (size_t i = 0; i < bytes; ++i) overlay.pixels[i] = static_cast<uint8_t>(rng());
    for (uint8_t& b : frame) b = static_cast<uint8_t>(rng());
  }
  FrameCanvas canvas;
  std::vector<uint8_t> frame;
};

struct Mode {
  const char* name;
  CoverMode mode;
  int32_t strength;
  bool masked;
};
constexpr Mode kModes[] = {{"erase", CoverMode::Erase, 1, false},
                           {"blur 8", CoverMode::Blur, 8, false},
                           {"blur 16", CoverMode::Blur, 16, false},
                           {"mosaic 8", CoverMode::Mosaic, 8, false},
                           {"erase masked", CoverMode::Erase, 1, true}};

const double kRectPixels = static_cast<double>(kRect.width()) * kRect.height();

void blendCase(benchmark::State& state, const std::string& path, int32_t code) {
  Scene scene(code);
  const int32_t position[2] = {kRect.left, kRect.top};
  bench::record(
      "cover", layoutName(code) + "/blend", path, bench::timeLoop(state, kRectPixels, [&] {
        scene.canvas.BlendOverlay(scene.frame.data(), position, kFrameWidth, kFrameHeight, 70);
      }));
}

void coverCase(benchmark::State& state, const std::string& path, int32_t code, const Mode& mode) {
  Scene scene(code);
  FrameCover cover;
  cover.prepare(code, kFrameWidth, kFrameHeight, kRect.width(), kRect.height(), mode.mode,
                mode.strength);
  if (!cover.ready()) {
    state.SkipWithError("the cover could not be prepared");
    return;
  }
  const OverlayImage* mask = mode.masked ? &scene.canvas.overlay() : nullptr;
  bench::record("cover", layoutName(code) + "/" + mode.name, path,
                bench::timeLoop(state, kRectPixels,
                                [&] { cover.apply(scene.frame.data(), kRect, mask, kOpacity); }));
}

// The rectangle's rows as the kernels see them: three planes of 200 rows
// (the blur's margins aside), the erase's columns and border sums for a
// rectangle with all four sides, blur column sums, an overlay row of weights.
struct KernelScene {
  static constexpr int32_t kColumns = 400, kRows = 200, kStride = 448;
  KernelScene() : frame(static_cast<size_t>(kFrameWidth) * 3 * kRows), weights(4 * kColumns) {
    std::mt19937 rng(4);
    for (uint8_t& b : frame) b = static_cast<uint8_t>(rng());
    for (uint8_t& b : weights) b = static_cast<uint8_t>(rng());
    for (auto& plane : planes) {
      plane.resize(static_cast<size_t>(kStride) * kRows);
      for (uint8_t& b : plane) b = static_cast<uint8_t>(rng());
    }
    for (uint32_t& s : sums) s = rng() % (255 * 17 + 1);
    for (int32_t k = 0; k < kColumns; ++k) {
      const int32_t dl = k + 1, dr = kColumns - k;
      al[k] = dr, ar[k] = dl, p[k] = dl * dr;
      t[k] = static_cast<int32_t>(rng() % 766), b[k] = static_cast<int32_t>(rng() % 766);
    }
    for (int32_t y = 0; y < kRows; ++y) {
      const int32_t dt = y + 1, db = kRows - y;
      rows[y] = EraseRow{static_cast<int32_t>(rng() % 766), static_cast<int32_t>(rng() % 766),
                         dt * db, db, dt};
    }
  }
  uint8_t* row(int p, int32_t y) { return planes[p].data() + static_cast<ptrdiff_t>(y) * kStride; }

  std::vector<uint8_t> frame, weights;
  std::vector<uint8_t> planes[4];
  uint32_t sums[kStride + 32];
  int32_t al[kColumns], ar[kColumns], p[kColumns], t[kColumns], b[kColumns];
  EraseRow rows[kRows];
};

KernelScene& kernelScene() {
  static KernelScene scene;
  return scene;
}

const char* const kKernelCases[] = {"splitYuv422",    "joinYuv422",    "splitBgr24", "joinBgr24",
                                    "mixRow",         "mixRow masked", "slideSums",  "addRow",
                                    "boxRow 17 taps", "eraseRow"};

void kernelCase(benchmark::State& state, const std::string& path, int which) {
  using S = KernelScene;
  S& s = kernelScene();
  const CoverKernels& k = coverKernelsFor(activeSimdLevel());
  const EraseColumns columns{s.al, s.ar, s.p, s.t, s.b};
  uint8_t* frame = s.frame.data();
  const ptrdiff_t frameRow = ptrdiff_t{kFrameWidth} * 3;
  const int32_t n = S::kColumns;
  auto perRow = [&](auto call) {
    return bench::timeLoop(state, static_cast<double>(n) * S::kRows, [&] {
      for (int32_t y = 0; y < S::kRows; ++y) call(y);
    });
  };
  double ns = 0;
  switch (which) {
    case 0:
      ns = perRow([&](int32_t y) {
        k.splitYuv422(frame + y * frameRow, n / 2, s.row(0, y), s.row(1, y), s.row(2, y));
      });
      break;
    case 1:
      ns = perRow([&](int32_t y) {
        k.joinYuv422(frame + y * frameRow, n / 2, s.row(0, y), s.row(1, y), s.row(2, y));
      });
      break;
    case 2:
      ns = perRow([&](int32_t y) {
        k.splitBgr24(frame + y * frameRow, n, s.row(0, y), s.row(1, y), s.row(2, y));
      });
      break;
    case 3:
      ns = perRow([&](int32_t y) {
        k.joinBgr24(frame + y * frameRow, n, s.row(0, y), s.row(1, y), s.row(2, y));
      });
      break;
    case 4:
      ns = perRow([&](int32_t y) { k.mixRow(s.row(0, y), s.row(1, y), nullptr, 4, n, kOpacity); });
      break;
    case 5:
      ns = perRow([&](int32_t y) {
        k.mixRow(s.row(0, y), s.row(1, y), s.weights.data() + 3, 4, n, kOpacity);
      });
      break;
    case 6:
      ns = perRow([&](int32_t y) { k.slideSums(s.sums, s.row(0, y), s.row(1, y), n); });
      break;
    case 7:
      ns = perRow([&](int32_t y) { k.addRow(s.sums, s.row(0, y), n); });
      break;
    case 8:
      ns = perRow([&](int32_t y) { k.boxRow(s.row(3, y), s.sums, n, 17, 17 * 17); });
      break;
    default:
      ns = perRow([&](int32_t y) { k.eraseRow(s.row(3, y), s.row(0, y), columns, s.rows[y], n); });
      break;
  }
  bench::record("cover_kernels", kKernelCases[which], path, ns);
  // slideSums and addRow leave the sums grown; the box reads them within their bound.
  for (uint32_t& v : s.sums) v %= 255 * 17 + 1;
}

const bool registered = [] {
  for (int32_t code : {kPackedYuv422, kBgr24BottomUp}) {
    const std::string layout = layoutName(code);
    bench::registerLevels(
        "cover", layout + "/blend",
        [=](benchmark::State& s, const std::string& p) { blendCase(s, p, code); });
    for (const Mode& mode : kModes) {
      bench::registerLevels(
          "cover", layout + "/" + mode.name,
          [=, &mode](benchmark::State& s, const std::string& p) { coverCase(s, p, code, mode); });
      if (!mode.masked)
        bench::target("cover " + std::string(mode.name) + " " + layout + " <= 2x blend", "cover",
                      layout + "/" + mode.name, "best", "cover", layout + "/blend", "best", 2.0);
    }
  }
  for (int which = 0; which < 10; ++which)
    bench::registerLevels(
        "cover_kernels", kKernelCases[which],
        [which](benchmark::State& s, const std::string& p) { kernelCase(s, p, which); });
  return true;
}();

}  // namespace
}  // namespace om
