// The preview control's picture: a 32-bit bottom-up pixel buffer (on Windows
// the bits of a DIB section the control displays), and the letterboxed
// drawing of the current logo frame into it.
#pragma once

#include <cstdint>

#include "common/rect.h"

namespace om {

class PreviewPane {
 public:
  // Draws into `externalPixels` (width * height pixels the platform owns) or,
  // when it is null, into a block of its own.
  PreviewPane(int32_t width, int32_t height, uint32_t* externalPixels = nullptr) noexcept;
  virtual ~PreviewPane();
  PreviewPane(const PreviewPane&) = delete;
  PreviewPane& operator=(const PreviewPane&) = delete;

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  uint32_t* pixels() const { return pixels_; }  // null when none could be had
  Rect clientRect() const { return Rect{0, 0, width_, height_}; }

  // Dark blue, red 0 green 0 blue 64: the pixel bytes 64, 0, 0, 0.
  void clear() noexcept;

 private:
  uint32_t* pixels_ = nullptr;
  bool ownsPixels_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

// Where a picture of the given size goes in the pane: as large as fits in
// its own proportions, centred, equal bars on both sides. Empty for an empty
// picture or pane.
Rect letterboxRect(int32_t pictureWidth, int32_t pictureHeight, int32_t paneWidth,
                   int32_t paneHeight);

}  // namespace om
