// 16-byte aligned pixel and table blocks. Allocation never throws: a null
// block is how callers learn that memory ran out.
#pragma once
#include <cstddef>
#include <cstdint>

namespace om {

void* alignedAlloc(size_t bytes, size_t alignment = 16) noexcept;
void alignedFree(void* block) noexcept;

// Replaces `block` when `needed` leaves the band [MulDiv(capacity, 100 - shrink,
// 100 + growth), capacity]; the new capacity is MulDiv(needed, 100 + growth, 100).
// Returns false (block freed, capacity 0) when the allocation fails.
bool ReserveBlock(void*& block, int32_t& capacity, int32_t needed, size_t elementSize,
                  int32_t growthPercent, int32_t shrinkPercent) noexcept;

}  // namespace om
