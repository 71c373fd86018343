#include "logo/frame_source.h"

#include <algorithm>
#include <cstring>

namespace om {

void CanvasRows::clear(const Rect& r) const {
  for (int32_t y = r.top; y < r.bottom; ++y) std::fill(row(y) + r.left, row(y) + r.right, 0u);
}

void CanvasRows::clearAll() const {
  std::memset(pixels_, 0, static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4);
}

void CanvasRows::save(const Rect& r, uint32_t* saved) const {
  const size_t n = static_cast<size_t>(r.width());
  for (int32_t y = r.top; y < r.bottom; ++y)
    std::memcpy(saved + static_cast<size_t>(y - r.top) * n, row(y) + r.left, n * 4);
}

void CanvasRows::restore(const Rect& r, const uint32_t* saved) const {
  const size_t n = static_cast<size_t>(r.width());
  for (int32_t y = r.top; y < r.bottom; ++y)
    std::memcpy(row(y) + r.left, saved + static_cast<size_t>(y - r.top) * n, n * 4);
}

void PendingDisposal::startFrame(const CanvasRows& rows, bool first, const Rect& area,
                                 Disposal disposal, uint32_t* saved) {
  if (first) {
    rows.clearAll();
  } else if (disposal_ == Disposal::kClear) {
    rows.clear(area_);
  } else if (disposal_ == Disposal::kRestore) {
    rows.restore(area_, saved);
  }
  area_ = area;
  disposal_ = disposal;
  if (disposal == Disposal::kRestore) rows.save(area, saved);
}

}  // namespace om
