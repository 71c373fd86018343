#include "dialog/preview_pane.h"

#include <cstring>

#include "common/aligned_block.h"
#include "dialog/preview_scaler.h"

namespace om {

PreviewPane::PreviewPane(int32_t width, int32_t height, uint32_t* externalPixels) noexcept {
  if (width <= 0 || height <= 0 || width > kPreviewMaxSpan || height > kPreviewMaxSpan) return;
  if (externalPixels) {
    pixels_ = externalPixels;
  } else {
    pixels_ = static_cast<uint32_t*>(
        alignedAlloc(static_cast<size_t>(width) * static_cast<size_t>(height) * 4));
    ownsPixels_ = pixels_ != nullptr;
  }
  if (pixels_) {
    width_ = width;
    height_ = height;
  }
}

PreviewPane::~PreviewPane() {
  if (ownsPixels_) alignedFree(pixels_);
}

void PreviewPane::clear() noexcept {
  if (!pixels_) return;
  const uint8_t darkBlue[4] = {64, 0, 0, 0};
  uint8_t* p = reinterpret_cast<uint8_t*>(pixels_);
  const size_t count = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  for (size_t i = 0; i < count; ++i) std::memcpy(p + 4 * i, darkBlue, 4);
}

Rect letterboxRect(int32_t pictureWidth, int32_t pictureHeight, int32_t paneWidth,
                   int32_t paneHeight) {
  if (pictureWidth <= 0 || pictureHeight <= 0 || paneWidth <= 0 || paneHeight <= 0) return Rect{};
  const double pictureAspect = static_cast<double>(pictureWidth) / pictureHeight;
  const double paneAspect = static_cast<double>(paneWidth) / paneHeight;
  if (pictureAspect > paneAspect) {
    const int32_t h = static_cast<int32_t>(paneWidth / pictureAspect);
    const int32_t m = (paneHeight - h) / 2;
    return Rect{0, m, paneWidth, paneHeight - m};
  }
  const int32_t w = static_cast<int32_t>(paneHeight * pictureAspect);
  const int32_t m = (paneWidth - w) / 2;
  return Rect{m, 0, paneWidth - m, paneHeight};
}

}  // namespace om
