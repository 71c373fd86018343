// Covers that hide what is under a rectangle of the frame instead of
// stamping a picture there: erase (filled from the rectangle's border),
// blur and mosaic, mixed in with the record's opacity and, when the record
// has a picture, only where the picture is opaque.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/aligned_block.h"
#include "common/rect.h"
#include "compositing/frame_canvas.h"

namespace om {

enum class CoverMode : int32_t { Picture = 0, Erase = 1, Blur = 2, Mosaic = 3 };

// The frame's planes, top row first: packed 4:2:2 gives Y (its width rounded
// down to whole pairs: a row of odd width ends in half a pair, which the
// blend never draws either) and Cb, Cr at half that width; bottom-up BGR24
// gives B, G and R.
class FrameCover {
 public:
  // Made ready for covers of at most coverWidth x coverHeight frame pixels
  // on frames of this format: the only allocation, done at rebuilds. Not
  // ready (apply then leaves frames alone) for the picture mode, a format
  // without planes, a frame wider or taller than kMaxFrameSide, or when
  // memory could not be had.
  void prepare(int32_t code, int32_t frameWidth, int32_t frameHeight, int32_t coverWidth,
               int32_t coverHeight, CoverMode mode, int32_t strength);
  bool ready() const { return ready_; }
  CoverMode mode() const { return mode_; }

  // Covers `rect` (frame pixels, clipped here) of `frame`. mask: an overlay
  // whose content lies on the rectangle, its weights (byte 3) saying how
  // much of each pixel is covered; null covers every pixel. opacity: 0..256.
  void apply(uint8_t* frame, const Rect& rect, const OverlayImage* mask, int32_t opacity);

  static constexpr int32_t kMaxFrameSide = 16384;

 private:
  struct PlaneJob;
  void fillErase(const PlaneJob& job);
  void fillBlur(const PlaneJob& job);
  void mosaicAndMix(const PlaneJob& job, const Rect& rect, const OverlayImage* mask, int32_t opacity);
  // Mixes rows [top, bottom) of the covered samples toward their fill rows.
  void mixRows(const PlaneJob& job, int32_t top, int32_t bottom, const uint8_t* fill,
               ptrdiff_t fillStride, const Rect& rect, const OverlayImage* mask, int32_t opacity);

  bool ready_ = false;
  CoverMode mode_ = CoverMode::Picture;
  int32_t code_ = 0, width_ = 0, height_ = 0;
  int32_t strength_ = 0;
  int32_t capacityWidth_ = 0, capacityHeight_ = 0;  // of the covered part, frame pixels
  int32_t stride_ = 0, planeRows_ = 0;              // of each plane's scratch
  // Rows, top first, and columns as the rectangle plus its margin, per plane.
  ReusableBlock planes_;
  ReusableBlock fill_;     // the fill of one plane's covered samples
  ReusableBlock sums_;     // blur and mosaic column sums, with the blur's edge taps
  ReusableBlock columns_;  // erase: al, ar, p, t, b per column
};

}  // namespace om
