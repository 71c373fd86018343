#include "compositing/blend_kernels.h"

namespace om {

namespace {

constexpr BlendKernels kScalar{blendRowYuv422_c, blendRowBgr24_c};
constexpr BlendKernels kSse2{blendRowYuv422_sse2, blendRowBgr24_sse2};
constexpr BlendKernels kAvx2{blendRowYuv422_avx2, blendRowBgr24_avx2};

}  // namespace

const BlendKernels& blendKernelsFor(SimdLevel level) noexcept {
  return kernelsForLevel(level, kScalar, kSse2, kAvx2);
}

}  // namespace om
