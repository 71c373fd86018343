#include "common/aligned_block.h"

#include <cstdlib>

#include "common/alloc_hook.h"
#include "common/muldiv.h"

#if defined(_WIN32)
#include <malloc.h>
#endif

namespace om {

void* alignedAlloc(size_t bytes, size_t alignment) noexcept {
  if (bytes == 0) bytes = alignment;
  if (!admitAlignedAllocation()) return nullptr;
#if defined(_WIN32)
  return _aligned_malloc(bytes, alignment);
#else
  void* p = nullptr;
  if (posix_memalign(&p, alignment, bytes) != 0) return nullptr;
  return p;
#endif
}

void alignedFree(void* block) noexcept {
#if defined(_WIN32)
  _aligned_free(block);
#else
  free(block);
#endif
}

bool ReserveBlock(void*& block, int32_t& capacity, int32_t needed, size_t elementSize,
                  int32_t growthPercent, int32_t shrinkPercent) noexcept {
  if (block && needed <= capacity &&
      needed >= MulDiv(capacity, 100 - shrinkPercent, 100 + growthPercent))
    return true;
  const int32_t newCapacity = MulDiv(needed, 100 + growthPercent, 100);
  alignedFree(block);
  block = nullptr;
  capacity = 0;
  if (newCapacity <= 0) return false;
  // 64-bit size so a huge count cannot wrap on a 32-bit build.
  const uint64_t bytes = static_cast<uint64_t>(newCapacity) * elementSize;
  if (bytes > SIZE_MAX / 2) return false;
  block = alignedAlloc(static_cast<size_t>(bytes));
  if (!block) return false;
  capacity = newCapacity;
  return true;
}

}  // namespace om
