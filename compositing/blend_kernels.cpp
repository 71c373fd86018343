#include "compositing/blend_kernels.h"

namespace om {

namespace {

constexpr BlendKernels kScalar{blendRowYuv422_c, blendRowBgr24_c};
constexpr BlendKernels kSse2{blendRowYuv422_sse2, blendRowBgr24_sse2};
constexpr BlendKernels kAvx2{blendRowYuv422_avx2, blendRowBgr24_avx2};

}  // namespace

const BlendKernels& blendKernelsFor(SimdLevel level) noexcept {
  switch (level) {
    case SimdLevel::Avx2: return kAvx2;
    case SimdLevel::Sse2: return kSse2;
    default: return kScalar;
  }
}

}  // namespace om
