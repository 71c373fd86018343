// 16-byte aligned pixel and table blocks. Allocation never throws: a null
// block is how callers learn that memory ran out.
#pragma once
#include <cstddef>
#include <cstdint>

namespace om {

void* alignedAlloc(size_t bytes, size_t alignment = 16) noexcept;
void alignedFree(void* block) noexcept;

// An owned aligned block of elements that is replaced only when a request
// leaves the band around what it holds. A request for `count` elements of
// `elementSize` bytes reuses the block when
//   MulDiv(capacity, 100 - shrink, 100 + growth) <= count <= capacity
// and elementSize is at most the size the block was reserved for; otherwise
// the block is replaced by one of MulDiv(count, 100 + growth, 100) elements
// (never fewer than count). Contents are not kept across a replacement.
class ReusableBlock {
 public:
  ReusableBlock() = default;
  ~ReusableBlock() { alignedFree(block_); }
  ReusableBlock(const ReusableBlock&) = delete;
  ReusableBlock& operator=(const ReusableBlock&) = delete;

  // Null when the block could not be had; the capacity is then 0, so the
  // next request tries again.
  void* reserve(int32_t count, size_t elementSize, int32_t growthPercent,
                int32_t shrinkPercent) noexcept;
  template <typename T>
  T* reserveOf(int32_t count, int32_t growthPercent, int32_t shrinkPercent) noexcept {
    return static_cast<T*>(reserve(count, sizeof(T), growthPercent, shrinkPercent));
  }
  void release() noexcept;

  void* data() const { return block_; }
  int32_t capacity() const { return capacity_; }
  size_t elementSize() const { return elementSize_; }

 private:
  void* block_ = nullptr;
  int32_t capacity_ = 0;
  size_t elementSize_ = 0;
};

}  // namespace om
