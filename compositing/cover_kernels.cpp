#include "compositing/cover_kernels.h"

namespace om {

namespace {

constexpr CoverKernels kScalar{splitYuv422_c, joinYuv422_c, splitBgr24_c, joinBgr24_c, mixRow_c,
                               slideSums_c,   addRow_c,     boxRow_c,     eraseRow_c};

}  // namespace

const CoverKernels& coverKernelsFor(SimdLevel level) noexcept {
  return kernelsForLevel(level, kScalar, kScalar, kScalar);
}

}  // namespace om
