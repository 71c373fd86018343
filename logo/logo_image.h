// The loaded logo picture: every frame rendered once at the picture's own
// size into 32-bit B,G,R,A (premultiplied), rows bottom-up, with its display
// time. Showing another frame only switches which frame is current. An
// animation whose frames exceed the picture budget is streamed instead: one
// frame, which its source redraws at every step.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/rect.h"
#include "logo/frame_source.h"
#include "platform/files.h"
#include "platform/thread.h"

namespace om {

// The 40-byte BITMAPINFOHEADER, followed in LogoFrame by one empty colour slot.
struct BitmapInfoHeader {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;  // positive: bottom-up
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 32;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");

struct LogoFrame {
  void* bitmap = nullptr;     // platform bitmap owning `pixels` (see image_codec.h)
  BitmapInfoHeader header;
  uint32_t colorSlot = 0;     // the one empty colour-table entry after the header
  uint32_t* pixels = nullptr; // width * height B,G,R,A pixels, bottom-up
  int32_t width = 0;
  int32_t height = 0;
  Rect validRect;             // always 0, 0, width, height
  int32_t delayMs = 0;        // 0 for a still picture
};

// What a load does with a file cut short (a short read, no end marker, a
// decoder's premature end): show what decoded, or fail. A file being
// written is cut short until its writer finishes.
enum class Truncated { kShowsWhatDecoded, kFails };

class LogoImage {
 public:
  LogoImage() = default;
  ~LogoImage();
  LogoImage(const LogoImage&) = delete;
  LogoImage& operator=(const LogoImage&) = delete;

  // `animationBudgetBytes`: an animation is decoded whole only within it,
  // and streamed beyond it (a picture being replaced still holds the rest).
  // `pictureBudgetBytes`: no frame is kept beyond it (the budget other
  // pictures leave this one).
  bool LoadFromFile(const char* path, Truncated truncated = Truncated::kShowsWhatDecoded,
                    uint64_t animationBudgetBytes = uint64_t{256} << 20,  // the picture budget
                    uint64_t pictureBudgetBytes = uint64_t{256} << 20);
  // The last load failed for want of the budget it was given, not of memory
  // or a readable picture: with the whole budget it might show.
  bool refusedByBudget() const { return refusedByBudget_; }
  int SelectFrame(int index);
  int NextFrame();
  // A streamed animation counts the frames its file announces until its play
  // finds the end earlier (damage, a short file): from then on the frames it
  // plays, which are the frames a full load keeps.
  int FrameCount() const { return stream_ ? streamFrames_ : static_cast<int>(frames_.size()); }
  int CurrentDelay() const { return current().delayMs; }
  // 0xAABBGGRR of the pixel at column x, row y from the top; no bounds check.
  uint32_t PixelAt(int x, int y) const;
  void clear();
  // Changes whenever any frame's pixels may have changed (a load, a clear, a
  // loader step), never when only the current frame moves: what overlays
  // prepared from the picture stay valid for. A streamed animation redraws
  // its one buffer at each step, but frame i always gets the same pixels
  // (the same bytes decoded from the same start), so it keeps its generation.
  uint64_t generation() const { return generation_; }
  // Pairs of display name and pattern list, each NUL-terminated, then one more NUL.
  static std::string BuildOpenFilter();

  // The current frame; an empty frame while no picture is loaded.
  const LogoFrame& current() const;
  int currentFrame() const { return currentFrame_; }
  // A streamed animation has one buffer, frame(i) for every i: it shows the
  // current frame (SelectFrame(i) first to read frame i).
  const LogoFrame& frame(int index) const { return frames_[stream_ ? 0 : static_cast<size_t>(index)]; }
  bool streamed() const { return stream_ != nullptr; }
  // Pixels of the largest frame held.
  int64_t largestFramePixels() const;
  // Bytes of the picture budget held: every frame's, and a streamed
  // animation's source and canvases.
  uint64_t budgetHeld() const { return budgetUsed_ + (stream_ ? stream_->heldBytes() : 0); }
  // What a streamed animation holds besides its frame: the file's bytes and
  // the canvases its source keeps. 0 for a picture decoded whole.
  uint64_t streamHeldBytes() const;

  // Loader steps, used by the image codecs.
  bool AddFrame();
  bool SetFrameSize(int32_t width, int32_t height);  // false: no memory for the bitmap
  void SetAlpha(uint8_t value);
  LogoFrame& currentForWriting() {
    touch();
    return frames_[static_cast<size_t>(currentFrame_)];
  }
  void setCurrentDelay(int32_t delayMs);
  // An animation, into an empty image: every frame decoded now when they fit
  // the picture budget, otherwise stepped one frame per NextFrame. The image
  // keeps the source only for the latter; otherwise it is handed back
  // through `unused` when given (for what the caller lent it), or freed.
  // False when there is nothing to show or a frame failed to decode during
  // a full load.
  bool adoptAnimation(std::unique_ptr<FrameSource> source,
                      std::unique_ptr<FrameSource>* unused = nullptr);

  // Exchanges the pictures, so one can be decoded aside and put in place.
  void swap(LogoImage& other) noexcept;

  // A streamed animation's next frame drawn ahead by another thread, onto a
  // canvas of its own held when the budget has room for it. lendAhead, under
  // the lock that guards the image, says whether that frame wants drawing
  // and lends the source and that canvas; drawAhead, by the same thread
  // without the lock, draws it, calls `drawn` with it, and returns the loan.
  // Meanwhile the image only reads its frame shown; whatever would change it
  // or the source waits for the loan to end. NextFrame then shows the frame
  // drawn ahead, exactly the frame it would have drawn itself.
  bool lendAhead();
  void drawAhead(void (*drawn)(const LogoFrame& frame, int index, void* context), void* context);
  bool aheadReady() const { return ahead_.state.load(std::memory_order_acquire) == kAheadReady; }
  // Whether frames can be drawn ahead at all: a streamed animation with that
  // canvas, whose source has not failed. Otherwise NextFrame decodes.
  bool drawsAhead() const { return stream_ && ahead_.canvas.pixels && !ahead_.failed; }

  // The file the picture was decoded from, as it was then: what a later
  // look at the file compares with to see it rewritten.
  const platform::FileStamp& sourceStamp() const { return sourceStamp_; }
  void setSourceStamp(const platform::FileStamp& stamp) { sourceStamp_ = stamp; }

 private:
  void releaseFrame(LogoFrame& frame);
  void touch();
  // Reloading keeps the old frames' blocks while the new picture's frames
  // have their size: reloading the same logo (a channel switch with common
  // settings) then takes no memory from the system and frees none to it.
  bool takeSpareBitmap(LogoFrame& frame);
  void releaseSpares();
  size_t slot() const { return stream_ ? 0 : static_cast<size_t>(currentFrame_); }
  bool playAnimation(std::unique_ptr<FrameSource>& source);
  bool decodeEveryFrame(FrameSource& source);
  bool seekStream(int index);
  void endStreamAt(int frames);

  int currentFrame_ = 0;
  std::vector<LogoFrame> frames_;
  // A streamed animation: its source, the frames it plays (those announced
  // until the end is found), and the frame it draws next (its canvas,
  // frames_[0], shows the one before).
  std::unique_ptr<FrameSource> stream_;
  int streamFrames_ = 0;
  int streamNext_ = 0;
  std::vector<LogoFrame> spares_;  // only during LoadFromFile
  uint64_t budgetUsed_ = 0;  // frameBudgetBytes of every frame holding a bitmap
  uint64_t animationBudget_ = uint64_t{256} << 20;  // during LoadFromFile
  uint64_t pictureBudget_ = uint64_t{256} << 20;    // likewise
  bool refusedByBudget_ = false;
  uint64_t generation_ = 0;
  platform::FileStamp sourceStamp_;

  enum : int { kAheadIdle, kAheadLent, kAheadReady };
  struct Ahead {
    std::atomic<int> state{kAheadIdle};
    LogoFrame canvas;       // the frame drawn ahead, bottom-up like the others
    int index = 0;          // which frame it is
    int endsAt = 0;         // above 0: the play found its end at this count
    bool failed = false;    // the source would not go on: no more loans
    platform::Signal returned;
  };
  bool reserveAhead(const FrameSource& source);
  void releaseAhead();
  void settleAhead();
  bool takeAhead();
  Ahead ahead_;
};

}  // namespace om
