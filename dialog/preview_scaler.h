// The bilinear scaler behind the dialog's logo preview: 16.16 fixed-point
// step tables cached by geometry, whole 32-bit pixels per step.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/aligned_block.h"
#include "common/rect.h"
#include "dialog/preview_kernels.h"

namespace om {

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
  PreviewScaler(const PreviewScaler&) = delete;
  PreviewScaler& operator=(const PreviewScaler&) = delete;

  // The growth and shrink margins of the scaler's blocks, in percent. Set by
  // PluginSetFormat on the video thread and read by scale() on the UI
  // thread, both under FrameLock.
  void setMargins(int32_t growthPercent, int32_t shrinkPercent) {
    growthPercent_ = growthPercent;
    shrinkPercent_ = shrinkPercent;
  }

  // Scales `sourceRect` of a bottom-up 32-bit picture onto `destinationRect`
  // of another. Writes only destination pixels inside destinationRect clipped
  // to the destination picture; destinationRect itself defines the mapping.
  // False when nothing was drawn (empty, oversize, or no memory for a buffer).
  bool scale(const uint32_t* source, int32_t sourceWidth, int32_t sourceHeight,
             const Rect& sourceRect, uint32_t* destination, int32_t destinationWidth,
             int32_t destinationHeight, const Rect& destinationRect);

  // How many step tables have been built so far (the cache's hit test).
  uint32_t tablesBuilt() const { return tablesBuilt_; }

 private:
  struct CachedTable {
    ReusableBlock entries;  // StepEntry
    StepTableKey key;
    bool built = false;
  };
  const StepEntry* table(CachedTable& cache, const StepTableKey& key, int32_t growthPercent,
                         int32_t shrinkPercent);

  int32_t growthPercent_ = 0;
  int32_t shrinkPercent_ = 0;
  CachedTable horizontal_;
  CachedTable vertical_;
  ReusableBlock rowBuffer_;  // 32-bit pixels
  uint32_t tablesBuilt_ = 0;
};

}  // namespace om
