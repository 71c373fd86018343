#include "logo/resampler_kernels.h"

namespace om {

namespace {

constexpr ResamplerKernels kC{resampleConvert_c, resampleVertical_c, resampleVerticalConverted_c, resampleHorizontal_c};
constexpr ResamplerKernels kSse2{resampleConvert_sse2, resampleVertical_sse2, resampleVerticalConverted_sse2,
                                 resampleHorizontal_sse2};
constexpr ResamplerKernels kAvx2{resampleConvert_avx2, resampleVertical_avx2, resampleVerticalConverted_avx2,
                                 resampleHorizontal_avx2};

}  // namespace

const ResamplerKernels& resamplerKernelsFor(SimdLevel level) noexcept {
  return kernelsForLevel(level, kC, kSse2, kAvx2);
}

}  // namespace om
