#include "dialog/preview_kernels.h"

namespace om {

namespace {

constexpr PreviewKernels kC{lerpRow_c, lerpTaps_c};
constexpr PreviewKernels kSse2{lerpRow_sse2, lerpTaps_sse2};
// With one gathered pair of taps per pixel, a wider horizontal pass
// measured slower: the AVX2 set keeps the SSE2 one.
constexpr PreviewKernels kAvx2{lerpRow_avx2, lerpTaps_sse2};

}  // namespace

const PreviewKernels& previewKernelsFor(SimdLevel level) noexcept {
  return kernelsForLevel(level, kC, kSse2, kAvx2);
}

}  // namespace om
