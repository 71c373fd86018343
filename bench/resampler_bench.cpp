// The resampler's pixel passes per SIMD level on the sizes an overlay meets,
// table building on its own, swscale's Lanczos as an outside yardstick, and
// one animation step of a full-frame logo against the 20 ms of a 50 fps frame.
// Ratios are counters measured within the same run, in processor time:
//   x_scalar   scalar time / this time (same size and layout)
//   x_swscale  swscale SWS_LANCZOS time on BGRA / this time
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "common/aligned_block.h"
#include "common/cpu.h"
#include "logo/overlay.h"
#include "logo/resampler.h"
#include "plugin/channel_ops.h"
#include "plugin/plugin_state.h"

#if defined(OM_HAVE_SWSCALE)
extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}
#endif

namespace om {
namespace {

struct Size {
  int32_t sw, sh, dw, dh;
  std::string name() const {
    return std::to_string(sw) + "x" + std::to_string(sh) + "->" + std::to_string(dw) + "x" +
           std::to_string(dh);
  }
};

const Size kSizes[] = {
    {960, 540, 1920, 1080}, {1920, 1080, 640, 360}, {400, 300, 188, 100}, {3840, 2160, 1920, 1080}};

std::vector<uint32_t> randomPicture(int32_t w, int32_t h) {
  std::mt19937 rng(12345);
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  for (uint32_t& p : px) p = static_cast<uint32_t>(rng()) | 0xFF000000u;
  return px;
}

// One size's source picture and destination, shared by every level.
struct Scene {
  Size size;
  std::vector<uint32_t> source;
  std::vector<uint8_t> destination;
  explicit Scene(const Size& s)
      : size(s),
        source(randomPicture(s.sw, s.sh)),
        destination(static_cast<size_t>(s.dw) * s.dh * 4) {}
  bool run(SimdLevel level, ResamplerCache& cache, DestinationLayout layout) {
    return resampleImageWith(level, cache, source.data(), size.sw, size.sh,
                             Rect{0, 0, size.sw, size.sh}, SourceMode::Plain, destination.data(),
                             size.dw, size.dh, Rect{0, 0, size.dw, size.dh}, layout, 0);
  }
};

Scene& scene(int index) {
  static std::map<int, Scene> scenes;
  auto it = scenes.find(index);
  if (it == scenes.end()) it = scenes.emplace(index, Scene(kSizes[index])).first;
  return it->second;
}

// Processor time, so the ratios hold up on a machine shared with other work.
double cpuMs() { return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

template <typename Fn>
double meanMs(Fn&& fn) {
  fn();  // warm: tables, caches
  int runs = 0;
  const double start = cpuMs();
  double elapsed = 0;
  do {
    fn();
    ++runs;
    elapsed = cpuMs() - start;
  } while (runs < 3 || elapsed < 300);
  return elapsed / runs;
}

// Reference times, measured once per run when first needed.
double scalarMs(int index, DestinationLayout layout) {
  static std::map<std::pair<int, int>, double> times;
  const auto key = std::make_pair(index, static_cast<int>(layout));
  auto it = times.find(key);
  if (it != times.end()) return it->second;
  ResamplerCache cache;
  const double ms = meanMs([&] { scene(index).run(SimdLevel::Scalar, cache, layout); });
  times[key] = ms;
  return ms;
}

#if defined(OM_HAVE_SWSCALE)
struct Swscale {
  SwsContext* context = nullptr;
  std::vector<uint8_t> out;
  explicit Swscale(const Size& s) : out(static_cast<size_t>(s.dw) * s.dh * 4) {
    context = sws_getContext(s.sw, s.sh, AV_PIX_FMT_BGRA, s.dw, s.dh, AV_PIX_FMT_BGRA, SWS_LANCZOS,
                             nullptr, nullptr, nullptr);
  }
  ~Swscale() { sws_freeContext(context); }
  void run(const Scene& sc) {
    const uint8_t* src[1] = {reinterpret_cast<const uint8_t*>(sc.source.data())};
    const int srcStride[1] = {sc.size.sw * 4};
    uint8_t* dst[1] = {out.data()};
    const int dstStride[1] = {sc.size.dw * 4};
    sws_scale(context, src, srcStride, 0, sc.size.sh, dst, dstStride);
  }
};

double swscaleMs(int index) {
  static std::map<int, double> times;
  auto it = times.find(index);
  if (it != times.end()) return it->second;
  Swscale sws(kSizes[index]);
  const double ms = meanMs([&] { sws.run(scene(index)); });
  times[index] = ms;
  return ms;
}

void BM_Swscale(benchmark::State& state, int index) {
  Swscale sws(kSizes[index]);
  if (!sws.context) {
    state.SkipWithError("sws_getContext failed");
    return;
  }
  sws.run(scene(index));
  for (auto _ : state) {
    sws.run(scene(index));
    benchmark::ClobberMemory();
  }
}
#endif

void BM_Resample(benchmark::State& state, int index, DestinationLayout layout, SimdLevel level) {
  Scene& sc = scene(index);
  ResamplerCache cache;
  sc.run(level, cache, layout);  // tables built outside the timing
  const double start = cpuMs();
  for (auto _ : state) {
    sc.run(level, cache, layout);
    benchmark::ClobberMemory();
  }
  const double ms = (cpuMs() - start) / static_cast<double>(state.iterations());
  state.counters["x_scalar"] = scalarMs(index, layout) / ms;
#if defined(OM_HAVE_SWSCALE)
  if (layout == DestinationLayout::Bgra32BottomUp)
    state.counters["x_swscale"] = swscaleMs(index) / ms;
#endif
}

// Both tables of a geometry, built from scratch as a size change would.
void BM_BuildTables(benchmark::State& state, int index) {
  const Size& s = kSizes[index];
  FilterTableCache vertical, horizontal;
  for (auto _ : state) {
    BuildFilterTable(s.sh, s.dh, 0, s.dh, -4 * s.sw, vertical);
    BuildFilterTable(s.sw, s.dw, 0, s.dw, 4, horizontal);
    benchmark::ClobberMemory();
  }
}

// An animated full-frame logo: step to the next frame and rebuild the overlay,
// as the frame pipeline does when a frame's time has run out.
void BM_AnimationStep(benchmark::State& state, int32_t layoutCode) {
  PluginState ps;
  ChannelRecord record;
  record.LogoSizeX = 1000;
  record.LogoSizeY = 1000;
  ps.channelTable.push_back(record);
  ps.canvas.SetFormat(1920, 1080, layoutCode);
  for (int f = 0; f < 4; ++f) {
    ps.logo.AddFrame();
    if (!ps.logo.SetFrameSize(1920, 1080)) {
      state.SkipWithError("no memory for the logo frames");
      return;
    }
    const std::vector<uint32_t> px = randomPicture(1920, 1080);
    std::copy(px.begin(), px.end(), ps.logo.currentForWriting().pixels);
  }
  ps.logoLoaded = 1;
  rebuildOverlay(ps);
  const double start = cpuMs();
  for (auto _ : state) {
    ps.logo.NextFrame();
    rebuildOverlay(ps);
    benchmark::ClobberMemory();
  }
  const double ms = (cpuMs() - start) / static_cast<double>(state.iterations());
  state.counters["of_20ms_frame"] = ms / 20.0;
}

const char* layoutName(DestinationLayout layout) {
  return layout == DestinationLayout::Bgra32BottomUp ? "bgra" : "ycc";
}

const bool registered = [] {
  const SimdLevel detected = detectedSimdLevel();
  for (int i = 0; i < 4; ++i) {
    const std::string size = kSizes[i].name();
#if defined(OM_HAVE_SWSCALE)
    benchmark::RegisterBenchmark(("Resample/" + size + "/bgra/swscale").c_str(), BM_Swscale, i)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime();
#endif
    for (DestinationLayout layout :
         {DestinationLayout::Bgra32BottomUp, DestinationLayout::Ycc32TopDown}) {
      for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2}) {
        if (level > detected) continue;
        const std::string name =
            "Resample/" + size + "/" + layoutName(layout) + "/" + simdLevelName(level);
        benchmark::RegisterBenchmark(name.c_str(), BM_Resample, i, layout, level)
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime();
      }
    }
    benchmark::RegisterBenchmark(("BuildTables/" + size).c_str(), BM_BuildTables, i)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime();
  }
  benchmark::RegisterBenchmark("AnimationStep/1920x1080 on 1920x1080/yuv422", BM_AnimationStep,
                               static_cast<int32_t>(kPackedYuv422))
      ->Unit(benchmark::kMillisecond)
      ->MeasureProcessCPUTime();
  benchmark::RegisterBenchmark("AnimationStep/1920x1080 on 1920x1080/bgr24", BM_AnimationStep,
                               static_cast<int32_t>(kBgr24BottomUp))
      ->Unit(benchmark::kMillisecond)
      ->MeasureProcessCPUTime();
  return true;
}();

}  // namespace
}  // namespace om
