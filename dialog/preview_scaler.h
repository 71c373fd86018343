// The bilinear scaler behind the dialog's logo preview: 16.16 fixed-point
// step tables cached by geometry, whole 32-bit pixels per step.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "common/rect.h"
#include "dialog/preview_kernels.h"

namespace om {

// An owned 16-byte aligned block of elements, replaced only when the asked
// count leaves the band the growth and shrink margins (percent) allow.
class ReusableBlock {
 public:
  ReusableBlock() = default;
  ~ReusableBlock();
  ReusableBlock(const ReusableBlock&) = delete;
  ReusableBlock& operator=(const ReusableBlock&) = delete;

  // Null when the block could not be had (capacity is then 0, so the next
  // call tries again).
  void* reserve(int32_t count, size_t elementSize, int32_t growthPercent,
                int32_t shrinkPercent) noexcept;
  void* data() const { return block_; }
  int32_t capacity() const { return capacity_; }

 private:
  void* block_ = nullptr;
  int32_t capacity_ = 0;
};

template <typename T>
class ReusableBuffer {
 public:
  T* reserve(int32_t count, int32_t growthPercent, int32_t shrinkPercent) noexcept {
    return static_cast<T*>(block_.reserve(count, sizeof(T), growthPercent, shrinkPercent));
  }
  T* data() const { return static_cast<T*>(block_.data()); }
  int32_t capacity() const { return block_.capacity(); }

 private:
  ReusableBlock block_;
};

// What a step table was built from.
struct StepTableKey {
  int32_t sourceSpan = 0;
  int32_t destinationSpan = 0;
  int32_t start = 0;   // first visible destination pixel, counted from the span's start
  int32_t count = 0;   // visible destination pixels
  int32_t byteStep = 0;
  bool operator==(const StepTableKey& o) const {
    return sourceSpan == o.sourceSpan && destinationSpan == o.destinationSpan &&
           start == o.start && count == o.count && byteStep == o.byteStep;
  }
  bool operator!=(const StepTableKey& o) const { return !(*this == o); }
};

// Fills key.count entries. Enlarging puts the span's end pixels on the
// source's end pixels; reducing and copying map pixel centres onto pixel
// centres. Spans must be positive and start + count <= destinationSpan.
void buildStepTable(StepEntry* entries, const StepTableKey& key);

// Largest width or height the scaler accepts, for source and destination
// spans alike; keeps every 16.16 position and byte offset inside 32 bits.
constexpr int32_t kPreviewMaxSpan = 16384;

class PreviewScaler {
 public:
  PreviewScaler() = default;
  virtual ~PreviewScaler();
  PreviewScaler(const PreviewScaler&) = delete;
  PreviewScaler& operator=(const PreviewScaler&) = delete;

  // Called by PluginSetFormat on the video thread while the UI thread may be
  // drawing, hence atomic; scale() reads each margin once per call.
  void setMargins(int32_t growthPercent, int32_t shrinkPercent) {
    growthPercent_.store(growthPercent, std::memory_order_relaxed);
    shrinkPercent_.store(shrinkPercent, std::memory_order_relaxed);
  }

  // Scales `sourceRect` of a bottom-up 32-bit picture onto `destinationRect`
  // of another. Writes only destination pixels inside destinationRect clipped
  // to the destination picture; destinationRect itself defines the mapping.
  // False when nothing was drawn (empty, oversize, or no memory for a buffer).
  bool scale(const uint32_t* source, int32_t sourceWidth, int32_t sourceHeight,
             const Rect& sourceRect, uint32_t* destination, int32_t destinationWidth,
             int32_t destinationHeight, const Rect& destinationRect);

  // Tests and benchmarks: force one kernel set; null returns to the active one.
  void setKernels(const PreviewKernels* kernels) { kernels_ = kernels; }
  // How many step tables have been built so far (the cache's hit test).
  uint32_t tablesBuilt() const { return tablesBuilt_; }

 private:
  struct CachedTable {
    ReusableBuffer<StepEntry> entries;
    StepTableKey key;
    bool built = false;
  };
  const StepEntry* table(CachedTable& cache, const StepTableKey& key, int32_t growthPercent,
                         int32_t shrinkPercent);

  std::atomic<int32_t> growthPercent_{0};
  std::atomic<int32_t> shrinkPercent_{0};
  CachedTable horizontal_;
  CachedTable vertical_;
  ReusableBuffer<uint32_t> rowBuffer_;
  const PreviewKernels* kernels_ = nullptr;
  uint32_t tablesBuilt_ = 0;
};

}  // namespace om
