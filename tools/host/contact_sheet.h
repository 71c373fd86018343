// A grid of downscaled snapshots with their frame numbers, for a quick look
// at a whole run in one picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace omhost {

class ContactSheet {
 public:
  // `slots` thumbnails of frames of frameWidth x frameHeight.
  ContactSheet(int frameWidth, int frameHeight, int slots);
  // `rgb` is the frame as R G B top-down; slots never filled stay grey.
  void place(int slot, int64_t frameIndex, const uint8_t* rgb);
  int width() const { return sheetWidth_; }
  int height() const { return sheetHeight_; }
  const uint8_t* pixels() const { return sheet_.data(); }

 private:
  int frameWidth_, frameHeight_, slots_;
  int columns_ = 1, thumbWidth_ = 1, thumbHeight_ = 1;
  int sheetWidth_ = 1, sheetHeight_ = 1;
  std::vector<uint8_t> sheet_;
};

// Box-filter downscale of an R G B picture (each output pixel the rounded
// mean of its source rectangle); the output is never larger than the input.
void downscaleRgb(const uint8_t* src, int srcWidth, int srcHeight, uint8_t* dst, int dstWidth,
                  int dstHeight);

}  // namespace omhost
