// Full-frame overlay blend per SIMD level against a memory-bound pass over
// the same buffers and, when libavfilter is there, FFmpeg's overlay filter
// on the same pictures at 1080p. Times are per frame pixel.
#include <benchmark/benchmark.h>

#include <immintrin.h>

#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "common/aligned_block.h"
#include "common/cpu.h"
#include "compositing/frame_canvas.h"

#if defined(OM_HAVE_AVFILTER)
extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}
#endif

namespace om {
namespace {

struct Size {
  int32_t width;
  int32_t height;
};
constexpr Size kSizes[] = {{720, 576}, {1920, 1080}, {3840, 2160}};

std::string caseName(Size size, int32_t code) {
  return std::to_string(size.width) + "x" + std::to_string(size.height) +
         (code == kPackedYuv422 ? "/yuv422" : "/bgr24");
}

// A frame and a full-frame overlay of random bytes, 64-byte aligned.
struct Buffers {
  Buffers(Size size, int32_t code)
      : bytes(static_cast<size_t>(size.width) * size.height * (code == kPackedYuv422 ? 2 : 3)),
        frame(static_cast<uint8_t*>(alignedAlloc(bytes, 64))) {
    canvas.SetFormat(size.width, size.height, code);
    OverlayImage& overlay = canvas.overlay();
    const size_t overlayBytes = static_cast<size_t>(size.width) * size.height * 4;
    overlay.pixels = overlay.block = static_cast<uint8_t*>(alignedAlloc(overlayBytes, 64));
    overlay.allocatedWidth = size.width;
    overlay.allocatedHeight = size.height;
    overlay.content = Rect{0, 0, size.width, size.height};
    std::mt19937 rng(1);
    for (size_t i = 0; i < overlayBytes; ++i) overlay.pixels[i] = static_cast<uint8_t>(rng());
    for (size_t i = 0; i < bytes; ++i) frame[i] = static_cast<uint8_t>(rng());
  }
  ~Buffers() { alignedFree(frame); }
  Buffers(const Buffers&) = delete;
  Buffers& operator=(const Buffers&) = delete;

  FrameCanvas canvas;
  size_t bytes;
  uint8_t* frame;
};

// What any blend must at least do: read each overlay pixel's 4 bytes and
// read and write the frame pixel's bytes, with one cheap operation between,
// in the blend's own order (bottom-up frames walked upwards, like the blend).
__attribute__((target("avx2"))) void memoryPass(uint8_t* frame, size_t frameBytes,
                                                const uint8_t* overlay, int32_t code) {
  const __m256i mask = _mm256_set1_epi8(0x01);
  if (code == kPackedYuv422) {  // 2 frame bytes per 4 overlay bytes
    for (size_t i = 0; i + 32 <= frameBytes; i += 32, overlay += 64) {
      const __m256i o = _mm256_and_si256(
          _mm256_avg_epu8(_mm256_load_si256(reinterpret_cast<const __m256i*>(overlay)),
                          _mm256_load_si256(reinterpret_cast<const __m256i*>(overlay + 32))),
          mask);
      __m256i* p = reinterpret_cast<__m256i*>(frame + i);
      _mm256_store_si256(p, _mm256_add_epi8(_mm256_load_si256(p), o));
    }
  } else {  // 3 frame bytes per 4 overlay bytes: 96 per 128
    for (size_t i = 0; i + 96 <= frameBytes; i += 96, overlay += 128) {
      const __m256i* o = reinterpret_cast<const __m256i*>(overlay);
      const __m256i t = _mm256_and_si256(
          _mm256_avg_epu8(_mm256_avg_epu8(_mm256_load_si256(o), _mm256_load_si256(o + 1)),
                          _mm256_avg_epu8(_mm256_load_si256(o + 2), _mm256_load_si256(o + 3))),
          mask);
      __m256i* p = reinterpret_cast<__m256i*>(frame + i);
      _mm256_store_si256(p, _mm256_add_epi8(_mm256_load_si256(p), t));
      _mm256_store_si256(p + 1, _mm256_add_epi8(_mm256_load_si256(p + 1), t));
      _mm256_store_si256(p + 2, _mm256_add_epi8(_mm256_load_si256(p + 2), t));
    }
  }
}

void blendCase(benchmark::State& state, const std::string& path, Size size, int32_t code) {
  Buffers buffers(size, code);
  const int32_t position[2] = {0, 0};
  const double pixels = static_cast<double>(size.width) * size.height;
  const double ns = bench::timeLoop(state, pixels, [&] {
    buffers.canvas.BlendOverlay(buffers.frame, position, 1000, 1000, 70);
  });
  bench::record("blend", caseName(size, code), path, ns);
}

void memoryCase(benchmark::State& state, const std::string& path, Size size, int32_t code) {
  if (detectedSimdLevel() < SimdLevel::Avx2) {
    state.SkipWithError("the memory pass is written for AVX2");
    return;
  }
  Buffers buffers(size, code);
  const double pixels = static_cast<double>(size.width) * size.height;
  const double ns = bench::timeLoop(state, pixels, [&] {
    memoryPass(buffers.frame, buffers.bytes, buffers.canvas.overlay().pixels, code);
  });
  bench::record("blend", caseName(size, code), path, ns);
}

#if defined(OM_HAVE_AVFILTER)
// FFmpeg's overlay filter on a full-frame logo, the main frame passed in and
// taken back each frame so it stays writable (no copy inside the filter).
class FfmpegOverlay {
 public:
  FfmpegOverlay(Size size, AVPixelFormat mainFormat, AVPixelFormat logoFormat, const char* chain)
      : graph_(avfilter_graph_alloc()) {
    char args[256];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/25:pixel_aspect=1/1",
                  size.width, size.height, mainFormat);
    bool ok = avfilter_graph_create_filter(&main_, avfilter_get_by_name("buffer"), "main", args,
                                           nullptr, graph_) >= 0;
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/25:pixel_aspect=1/1",
                  size.width, size.height, logoFormat);
    ok = ok && avfilter_graph_create_filter(&logo_, avfilter_get_by_name("buffer"), "logo", args,
                                            nullptr, graph_) >= 0;
    ok = ok && avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out",
                                            nullptr, nullptr, graph_) >= 0;
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* second = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    if (ok && outputs && second && inputs) {
      outputs->name = av_strdup("main");
      outputs->filter_ctx = main_;
      outputs->next = second;
      second->name = av_strdup("logo");
      second->filter_ctx = logo_;
      inputs->name = av_strdup("out");
      inputs->filter_ctx = sink_;
      ok = avfilter_graph_parse_ptr(graph_, chain, &inputs, &outputs, nullptr) >= 0 &&
           avfilter_graph_config(graph_, nullptr) >= 0;
    } else {
      ok = false;
      avfilter_inout_free(&second);
    }
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    mainFrame_ = makeFrame(size, mainFormat);
    logoFrame_ = makeFrame(size, logoFormat);
    ok_ = ok && mainFrame_ && logoFrame_;
  }
  ~FfmpegOverlay() {
    av_frame_free(&mainFrame_);
    av_frame_free(&logoFrame_);
    avfilter_graph_free(&graph_);
  }
  bool ok() const { return ok_; }

  bool run() {
    mainFrame_->pts = logoFrame_->pts = pts_++;
    if (av_buffersrc_add_frame_flags(main_, mainFrame_, 0) < 0) return false;
    if (av_buffersrc_add_frame_flags(logo_, logoFrame_, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) return false;
    return av_buffersink_get_frame(sink_, mainFrame_) >= 0;
  }

 private:
  static AVFrame* makeFrame(Size size, AVPixelFormat format) {
    AVFrame* f = av_frame_alloc();
    if (!f) return nullptr;
    f->format = format;
    f->width = size.width;
    f->height = size.height;
    if (av_frame_get_buffer(f, 64) < 0) {
      av_frame_free(&f);
      return nullptr;
    }
    std::mt19937 rng(2);
    // Every plane of these formats has a row per picture row (4:2:2 halves
    // only the chroma width).
    for (int p = 0; p < 4 && f->data[p]; ++p)
      for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < f->linesize[p]; ++x)
          f->data[p][y * f->linesize[p] + x] = static_cast<uint8_t>(rng());
    return f;
  }

  AVFilterGraph* graph_;
  AVFilterContext* main_ = nullptr;
  AVFilterContext* logo_ = nullptr;
  AVFilterContext* sink_ = nullptr;
  AVFrame* mainFrame_ = nullptr;
  AVFrame* logoFrame_ = nullptr;
  int64_t pts_ = 0;
  bool ok_ = false;
};

void ffmpegCase(benchmark::State& state, const std::string& path, Size size, int32_t code,
                AVPixelFormat mainFormat, AVPixelFormat logoFormat, const char* chain) {
  av_log_set_level(AV_LOG_ERROR);
  FfmpegOverlay overlay(size, mainFormat, logoFormat, chain);
  if (!overlay.ok() || !overlay.run()) {
    state.SkipWithError("libavfilter refused the graph");
    return;
  }
  const double pixels = static_cast<double>(size.width) * size.height;
  const double ns = bench::timeLoop(state, pixels, [&] { overlay.run(); });
  bench::record("blend", caseName(size, code), path, ns);
}
#endif

const bool registered = [] {
  for (Size size : kSizes) {
    for (int32_t code : {kPackedYuv422, kBgr24BottomUp}) {
      const std::string name = caseName(size, code);
      bench::registerPeer("blend", name, "memory_pass", [=](benchmark::State& s, const std::string& p) {
        memoryCase(s, p, size, code);
      });
      bench::registerLevels("blend", name, [=](benchmark::State& s, const std::string& p) {
        blendCase(s, p, size, code);
      });
    }
  }
  const Size hd{1920, 1080};
#if defined(OM_HAVE_AVFILTER)
  struct Peer {
    int32_t code;
    const char* name;
    AVPixelFormat main, logo;
    const char* chain;
  };
  const Peer peers[] = {
      {kPackedYuv422, "ffmpeg_yuv422p", AV_PIX_FMT_YUV422P, AV_PIX_FMT_YUVA422P,
       "[main][logo]overlay=format=yuv422[out]"},
      {kPackedYuv422, "ffmpeg_yuyv422", AV_PIX_FMT_YUYV422, AV_PIX_FMT_YUVA422P,
       "[main]format=yuv422p[m];[m][logo]overlay=format=yuv422,format=yuyv422[out]"},
      {kBgr24BottomUp, "ffmpeg_bgr24", AV_PIX_FMT_BGR24, AV_PIX_FMT_BGRA,
       "[main][logo]overlay=format=rgb[out]"},
  };
  for (const Peer& peer : peers) {
    bench::registerPeer("blend", caseName(hd, peer.code), peer.name,
                        [=](benchmark::State& s, const std::string& p) {
                          ffmpegCase(s, p, hd, peer.code, peer.main, peer.logo, peer.chain);
                        });
    bench::target(std::string("blend 1080p over FFmpeg ") + (peer.name + 7), "blend",
                  caseName(hd, peer.code), "best", "blend", caseName(hd, peer.code), peer.name, 1.0);
  }
#endif
  bench::target("blend 1080p yuv422 over the memory pass", "blend", caseName(hd, kPackedYuv422),
                "best", "blend", caseName(hd, kPackedYuv422), "memory_pass", 2.5);
  bench::target("blend 2160p yuv422 over the memory pass", "blend",
                caseName({3840, 2160}, kPackedYuv422), "best", "blend",
                caseName({3840, 2160}, kPackedYuv422), "memory_pass", 1.5);
  bench::target("blend 1080p bgr24 over the memory pass", "blend", caseName(hd, kBgr24BottomUp),
                "best", "blend", caseName(hd, kBgr24BottomUp), "memory_pass", 1.5);
  return true;
}();

}  // namespace
}  // namespace om
