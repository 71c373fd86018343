#include "compositing/cover_kernels.h"

namespace om {

namespace {

constexpr CoverKernels kScalar{splitYuv422_c, joinYuv422_c, splitBgr24_c, joinBgr24_c, mixRow_c,
                               slideSums_c,   addRow_c,     boxRow_c,     eraseRow_c};
constexpr CoverKernels kSse2{splitYuv422_sse2, joinYuv422_sse2, splitBgr24_sse2,
                             joinBgr24_sse2,   mixRow_sse2,     slideSums_sse2,
                             addRow_sse2,      boxRow_sse2,     eraseRow_sse2};
constexpr CoverKernels kAvx2{splitYuv422_avx2, joinYuv422_avx2, splitBgr24_avx2,
                             joinBgr24_avx2,   mixRow_avx2,     slideSums_avx2,
                             addRow_avx2,      boxRow_avx2,     eraseRow_avx2};

}  // namespace

const CoverKernels& coverKernelsFor(SimdLevel level) noexcept {
  return kernelsForLevel(level, kScalar, kSse2, kAvx2);
}

}  // namespace om
