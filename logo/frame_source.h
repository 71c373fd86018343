// An animation decoded one frame at a time onto a canvas the caller keeps.
// A load that fits the picture budget runs a source through every frame and
// keeps each; a larger animation keeps the source and steps it as it plays,
// so both show the same frames.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/rect.h"

namespace om {

enum class FrameStep {
  kDrawn,      // the next frame is on the canvas
  kLastDrawn,  // drawn, but damaged: no frame follows it
  kEnd,        // no further frame; the canvas is untouched
  kFailed,     // the frame does not decode; the canvas is untouched
};

class FrameSource {
 public:
  virtual ~FrameSource() = default;

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  // Frames the file announces; damage found while decoding may end a loop
  // earlier, always at the same frame.
  int frameCount() const { return frameCount_; }

  // Draws the next frame onto `canvas`: width x height premultiplied
  // B,G,R,A, bottom-up, holding what this source left there one step before
  // (the first frame after opening or rewinding clears it first).
  virtual FrameStep drawNext(uint32_t* canvas, int32_t& delayMs) = 0;
  // Back to before the first frame; false when the source cannot go on.
  virtual bool rewind() = 0;
  // Whether drawNext needs the previous frame on the canvas; a source that
  // draws every pixel lets a full load skip copying it.
  virtual bool keepsCanvas() const { return true; }
  // Bytes the source holds besides the canvas it draws on: the file, the
  // buffers its frames need. Unless a source says better, two canvases.
  virtual uint64_t heldBytes() const {
    return 2 * static_cast<uint64_t>(width_) * static_cast<uint64_t>(height_) * 4;
  }

 protected:
  int32_t width_ = 0;
  int32_t height_ = 0;
  int frameCount_ = 0;
};

// Rows of a bottom-up canvas addressed from the top, as decoders write them.
class CanvasRows {
 public:
  CanvasRows(uint32_t* pixels, int32_t width, int32_t height)
      : pixels_(pixels), width_(width), height_(height) {}
  uint32_t* row(int32_t y) const {
    return pixels_ + static_cast<size_t>(height_ - 1 - y) * static_cast<size_t>(width_);
  }
  void clear(const Rect& r) const;
  void clearAll() const;
  // Copies rectangle `r` out to `saved` (r.width() * r.height() pixels) or back.
  void save(const Rect& r, uint32_t* saved) const;
  void restore(const Rect& r, const uint32_t* saved) const;

 private:
  uint32_t* pixels_;
  int32_t width_, height_;
};

// What a frame leaves for the next one, in GIF's and APNG's words alike:
// the canvas as drawn, its area cleared, or the canvas under it put back.
enum class Disposal : uint8_t { kKeep, kClear, kRestore };

// The disposal bookkeeping of a source: the frame before's area and what it
// leaves, applied as the next frame starts.
class PendingDisposal {
 public:
  // Before a frame is drawn over `area`: the first frame starts on a clear
  // canvas, any other on what the frame before left; then the canvas under
  // `area` is kept in `saved` (canvas-sized) when this frame will restore it.
  void startFrame(const CanvasRows& rows, bool first, const Rect& area, Disposal disposal,
                  uint32_t* saved);

 private:
  Rect area_;
  Disposal disposal_ = Disposal::kKeep;
};

// Largest number of frames an animation plays: beyond it the file's frames
// are not counted, so bookkeeping per frame stays bounded (at 10 ms a frame,
// almost three hours).
constexpr int kMaxAnimationFrames = 1 << 20;

}  // namespace om
