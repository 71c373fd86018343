// The resampler's pixel passes per SIMD level on the sizes an overlay meets,
// swscale's Lanczos as the outside yardstick, and table building on its own.
// Times are per destination pixel.
#include <benchmark/benchmark.h>
#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "common/cpu.h"
#include "logo/resampler.h"

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
  bool run(ResamplerCache& cache, DestinationLayout layout, const YccCoefficients& ycc) {
    return resampleImage(cache, source.data(), size.sw, size.sh, Rect{0, 0, size.sw, size.sh},
                         SourceMode::Plain, destination.data(), size.dw, size.dh,
                         Rect{0, 0, size.dw, size.dh}, layout, 0, ycc);
  }
};

Scene& scene(int index) {
  static std::map<int, Scene> scenes;
  auto it = scenes.find(index);
  if (it == scenes.end()) it = scenes.emplace(index, Scene(kSizes[index])).first;
  return it->second;
}

const char* layoutName(DestinationLayout layout) {
  return layout == DestinationLayout::Bgra32BottomUp ? "bgra" : "ycc";
}

std::string caseName(int index, DestinationLayout layout) {
  return kSizes[index].name() + "/" + layoutName(layout);
}

// Times are per destination pixel.
double pixels(int index) { return static_cast<double>(kSizes[index].dw) * kSizes[index].dh; }

void resampleCase(benchmark::State& state, const std::string& path, int index,
                  DestinationLayout layout, const YccCoefficients& ycc = kYccFullBt601,
                  const std::string& label = {}) {
  Scene& sc = scene(index);
  ResamplerCache cache;
  sc.run(cache, layout, ycc);  // tables built outside the timing
  const double ns = bench::timeLoop(state, pixels(index), [&] { sc.run(cache, layout, ycc); });
  bench::record("resample", label.empty() ? caseName(index, layout) : label, path, ns);
}

// The exact formula floors every tap's product on its own, so each tap of
// each channel is one 16-bit multiply whatever the code: the vertical pass's
// taps of weight != 0 over the whole source width, then the horizontal
// pass's per destination pixel. The count per destination pixel, for one
// geometry:
double lanesPerPixel(int index) {
  const Size& s = kSizes[index];
  auto nonZeroTaps = [](const FilterTableCache& table, int32_t entries) {
    const uint8_t* entry = static_cast<const uint8_t*>(table.block.data());
    int64_t taps = 0;
    for (int32_t i = 0; i < entries; ++i) {
      int32_t n;
      std::memcpy(&n, entry + 4, 4);
      for (int32_t k = 0; k < n; ++k) {
        int16_t q;
        std::memcpy(&q, entry + 8 + 8 * k, 2);
        taps += q != 0;
      }
      entry += 8 + 8 * static_cast<ptrdiff_t>(n);
    }
    return taps;
  };
  FilterTableCache vertical, horizontal;
  BuildFilterTable(s.sh, s.dh, 0, s.dh, -4 * s.sw, vertical);
  BuildFilterTable(s.sw, s.dw, 0, s.dw, 4, horizontal);
  const double lanes = 4.0 * (static_cast<double>(nonZeroTaps(vertical, s.dh)) * s.sw +
                              static_cast<double>(nonZeroTaps(horizontal, s.dw)) * s.dh);
  return lanes / pixels(index);
}

// Those multiplies and nothing else, eight lanes an instruction in eight
// independent chains: the floor no exact resampler on this processor gets
// under, however its loads, sums and stores are arranged.
void multiplyFloorCase(benchmark::State& state, const std::string& path, int index) {
  const int64_t instructions = static_cast<int64_t>(lanesPerPixel(index) * pixels(index) / 8);
  const double ns = bench::timeLoop(state, pixels(index), [&] {
    __m128i a = _mm_set1_epi16(1), b = _mm_set1_epi16(2), c = _mm_set1_epi16(3),
            d = _mm_set1_epi16(4), e = _mm_set1_epi16(5), f = _mm_set1_epi16(6),
            g = _mm_set1_epi16(7), h = _mm_set1_epi16(8);
    const __m128i w = _mm_set1_epi16(12345);
    for (int64_t i = 0; i < instructions; i += 8) {
      a = _mm_mulhi_epi16(a, w), b = _mm_mulhi_epi16(b, w), c = _mm_mulhi_epi16(c, w);
      d = _mm_mulhi_epi16(d, w), e = _mm_mulhi_epi16(e, w), f = _mm_mulhi_epi16(f, w);
      g = _mm_mulhi_epi16(g, w), h = _mm_mulhi_epi16(h, w);
      // Opaque to the compiler, so nothing is folded or dropped.
      asm volatile("" : "+x"(a), "+x"(b), "+x"(c), "+x"(d), "+x"(e), "+x"(f), "+x"(g), "+x"(h));
    }
    const __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_add_epi16(a, b), _mm_add_epi16(c, d)),
                                      _mm_add_epi16(_mm_add_epi16(e, f), _mm_add_epi16(g, h)));
    benchmark::DoNotOptimize(sum);
  });
  bench::record("resample", caseName(index, DestinationLayout::Bgra32BottomUp), path, ns);
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

void swscaleCase(benchmark::State& state, const std::string& path, int index) {
  Swscale sws(kSizes[index]);
  if (!sws.context) {
    state.SkipWithError("sws_getContext failed");
    return;
  }
  sws.run(scene(index));
  const double ns = bench::timeLoop(state, pixels(index), [&] { sws.run(scene(index)); });
  bench::record("resample", caseName(index, DestinationLayout::Bgra32BottomUp), path, ns);
}
#endif

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

const bool registered = [] {
  for (int i = 0; i < 4; ++i) {
    for (DestinationLayout layout :
         {DestinationLayout::Bgra32BottomUp, DestinationLayout::Ycc32TopDown}) {
      bench::registerLevels("resample", caseName(i, layout),
                            [=](benchmark::State& s, const std::string& p) {
                              resampleCase(s, p, i, layout);
                            });
    }
    if (i == 0) {
      // A TV-range set, whose offset term is the only extra work of the
      // store; enlarging, where the store is the largest share of the work.
      const std::string tv = caseName(i, DestinationLayout::Ycc32TopDown) + "_tv709";
      bench::registerLevels("resample", tv, [=](benchmark::State& s, const std::string& p) {
        resampleCase(s, p, i, DestinationLayout::Ycc32TopDown, kYccTvBt709, tv);
      });
    }
    const std::string bgra = caseName(i, DestinationLayout::Bgra32BottomUp);
    bench::registerPeer("resample", bgra, "multiply_floor",
                        [=](benchmark::State& s, const std::string& p) {
                          multiplyFloorCase(s, p, i);
                        });
#if defined(OM_HAVE_SWSCALE)
    bench::registerPeer("resample", bgra, "swscale",
                        [=](benchmark::State& s, const std::string& p) { swscaleCase(s, p, i); });
    bench::target("resample " + kSizes[i].name() + " over swscale Lanczos (>= 10x faster)",
                  "resample", bgra, "best", "resample", bgra, "swscale", 0.1);
#endif
    benchmark::RegisterBenchmark(("resample/" + kSizes[i].name() + "/build_tables").c_str(),
                                 BM_BuildTables, i)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime();
  }
  return true;
}();

}  // namespace
}  // namespace om
