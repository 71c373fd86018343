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

void* ReusableBlock::reserve(int32_t count, size_t elementSize, int32_t growthPercent,
                             int32_t shrinkPercent) noexcept {
  if (count <= 0 || elementSize == 0) return nullptr;
  if (block_ && count <= capacity_ && elementSize <= elementSize_ &&
      count >= MulDiv(capacity_, 100 - shrinkPercent, 100 + growthPercent))
    return block_;
  release();
  const int32_t grown = MulDiv(count, 100 + growthPercent, 100);
  const int32_t elements = grown > count ? grown : count;
  // 64-bit size so a huge count cannot wrap on a 32-bit build.
  const uint64_t bytes = static_cast<uint64_t>(elements) * elementSize;
  if (bytes > SIZE_MAX / 2) return nullptr;
  block_ = alignedAlloc(static_cast<size_t>(bytes));
  if (!block_) return nullptr;
  capacity_ = elements;
  elementSize_ = elementSize;
  return block_;
}

void ReusableBlock::release() noexcept {
  alignedFree(block_);
  block_ = nullptr;
  capacity_ = 0;
  elementSize_ = 0;
}

}  // namespace om
