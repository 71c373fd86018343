#include "tools/host/contact_sheet.h"

#include <cstdio>
#include <cstring>

#include "tools/host/bitmap_font.h"

namespace omhost {
namespace {

constexpr int kMargin = 12;
constexpr int kLabelScale = 2;
constexpr int kLabelHeight = kGlyphHeight * kLabelScale + 10;
constexpr int kThumbMaxWidth = 360;
constexpr uint8_t kBackground[3] = {18, 18, 22};
constexpr uint8_t kEmptySlot[3] = {60, 60, 64};

}  // namespace

void downscaleRgb(const uint8_t* src, int srcWidth, int srcHeight, uint8_t* dst, int dstWidth,
                  int dstHeight) {
  for (int y = 0; y < dstHeight; ++y) {
    const int y0 = static_cast<int>(static_cast<int64_t>(y) * srcHeight / dstHeight);
    int y1 = static_cast<int>(static_cast<int64_t>(y + 1) * srcHeight / dstHeight);
    if (y1 <= y0) y1 = y0 + 1;
    for (int x = 0; x < dstWidth; ++x) {
      const int x0 = static_cast<int>(static_cast<int64_t>(x) * srcWidth / dstWidth);
      int x1 = static_cast<int>(static_cast<int64_t>(x + 1) * srcWidth / dstWidth);
      if (x1 <= x0) x1 = x0 + 1;
      // Sums stay below 255 * srcWidth * srcHeight < 2^63.
      int64_t sum[3] = {0, 0, 0};
      for (int sy = y0; sy < y1; ++sy) {
        const uint8_t* s = src + (static_cast<size_t>(sy) * static_cast<size_t>(srcWidth) +
                                  static_cast<size_t>(x0)) * 3;
        for (int sx = x0; sx < x1; ++sx, s += 3) {
          sum[0] += s[0];
          sum[1] += s[1];
          sum[2] += s[2];
        }
      }
      const int64_t n = static_cast<int64_t>(x1 - x0) * (y1 - y0);
      uint8_t* d = dst + (static_cast<size_t>(y) * static_cast<size_t>(dstWidth) +
                          static_cast<size_t>(x)) * 3;
      for (int k = 0; k < 3; ++k) d[k] = static_cast<uint8_t>((sum[k] + n / 2) / n);
    }
  }
}

ContactSheet::ContactSheet(int frameWidth, int frameHeight, int slots)
    : frameWidth_(frameWidth), frameHeight_(frameHeight), slots_(slots < 1 ? 1 : slots) {
  columns_ = slots_ <= 3 ? slots_ : (slots_ == 4 ? 2 : (slots_ <= 9 ? 3 : 4));
  const int rows = (slots_ + columns_ - 1) / columns_;
  thumbWidth_ = frameWidth_ < kThumbMaxWidth ? frameWidth_ : kThumbMaxWidth;
  if (thumbWidth_ < 1) thumbWidth_ = 1;
  thumbHeight_ = static_cast<int>((static_cast<int64_t>(frameHeight_) * thumbWidth_ +
                                   frameWidth_ / 2) / (frameWidth_ > 0 ? frameWidth_ : 1));
  if (thumbHeight_ < 1) thumbHeight_ = 1;
  if (thumbHeight_ > frameHeight_ && frameHeight_ > 0) thumbHeight_ = frameHeight_;
  sheetWidth_ = kMargin + columns_ * (thumbWidth_ + kMargin);
  sheetHeight_ = kMargin + rows * (thumbHeight_ + kLabelHeight + kMargin);
  sheet_.resize(static_cast<size_t>(sheetWidth_) * static_cast<size_t>(sheetHeight_) * 3);
  for (size_t i = 0; i < sheet_.size(); i += 3) std::memcpy(&sheet_[i], kBackground, 3);
  for (int slot = 0; slot < slots_; ++slot) {
    const int left = kMargin + (slot % columns_) * (thumbWidth_ + kMargin);
    const int top = kMargin + (slot / columns_) * (thumbHeight_ + kLabelHeight + kMargin);
    for (int y = 0; y < thumbHeight_; ++y) {
      uint8_t* d = &sheet_[(static_cast<size_t>(top + y) * static_cast<size_t>(sheetWidth_) +
                            static_cast<size_t>(left)) * 3];
      for (int x = 0; x < thumbWidth_; ++x, d += 3) std::memcpy(d, kEmptySlot, 3);
    }
  }
}

void ContactSheet::place(int slot, int64_t frameIndex, const uint8_t* rgb) {
  if (slot < 0 || slot >= slots_) return;
  const int left = kMargin + (slot % columns_) * (thumbWidth_ + kMargin);
  const int top = kMargin + (slot / columns_) * (thumbHeight_ + kLabelHeight + kMargin);
  std::vector<uint8_t> thumb(static_cast<size_t>(thumbWidth_) * static_cast<size_t>(thumbHeight_) * 3);
  downscaleRgb(rgb, frameWidth_, frameHeight_, thumb.data(), thumbWidth_, thumbHeight_);
  for (int y = 0; y < thumbHeight_; ++y) {
    std::memcpy(&sheet_[(static_cast<size_t>(top + y) * static_cast<size_t>(sheetWidth_) +
                         static_cast<size_t>(left)) * 3],
                &thumb[static_cast<size_t>(y) * static_cast<size_t>(thumbWidth_) * 3],
                static_cast<size_t>(thumbWidth_) * 3);
  }
  char label[32];
  std::snprintf(label, sizeof label, "FRAME %lld", static_cast<long long>(frameIndex));
  const uint8_t ink[3] = {220, 220, 220};
  drawText(sheet_.data(), sheetWidth_, sheetHeight_, left, top + thumbHeight_ + 6, kLabelScale,
           label, ink);
}

}  // namespace omhost
