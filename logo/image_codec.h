// The image codec behind the platform seam: GDI+ on Windows; giflib, libpng,
// libjpeg-turbo and our own BMP reader on POSIX. A CodecScope is opened for
// one load or one filter build and closed at its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "logo/logo_image.h"

namespace om {

class CodecScope {
 public:
  CodecScope() noexcept;
  ~CodecScope();
  CodecScope(const CodecScope&) = delete;
  CodecScope& operator=(const CodecScope&) = delete;

  bool available() const { return available_; }

  // Decodes `path` into `image` (empty on entry) through AddFrame /
  // SetFrameSize / SetCurrentDelay, or adoptAnimation. `animated`: every
  // frame with its delay (the ".gif" ending rule); otherwise the default
  // frame only. An animated PNG animates by its content, whatever its name.
  // `truncated`: whether a file cut short fails. True when at least one
  // frame was rendered.
  bool loadPicture(const char* path, bool animated, Truncated truncated, LogoImage& image);

  // The open-file filter without its final extra NUL: "All image files"
  // with every pattern list joined by ';', then one pair per decoder in the
  // codec's order ("<description> files (<patterns>)", "<patterns>").
  std::string decoderFilter();

 private:
  bool available_ = false;
  uintptr_t token_ = 0;
};

// Windows bitmap files only (the window system's own loader); A = 255.
bool loadBitmapFallback(const char* path, Truncated truncated, LogoImage& image);

// Frame pixel memory: a DIB section on Windows, an aligned block elsewhere.
// Null when it cannot be had; `pixels` starts all zero.
void* createFrameBitmap(const BitmapInfoHeader& header, uint32_t** pixels) noexcept;
void destroyFrameBitmap(void* bitmap) noexcept;

// Tests: make the codec library count as missing, as if it failed to load.
void setCodecUnavailableForTesting(bool unavailable) noexcept;
bool codecUnavailableForTesting() noexcept;
// Tests: animations whose frames need more than `bytes` are streamed, as
// those over kPictureMemoryBudget are; 0 puts the budget back.
void setFullLoadBudgetForTesting(uint64_t bytes) noexcept;

// One frame of an animated PNG, wrapped as a PNG stream of its own, through
// the platform's PNG decoder into width x height premultiplied B,G,R,A, top
// row first. False unless the stream has exactly that size and every row
// decodes.
bool decodePngFrame(const uint8_t* png, size_t size, int32_t width, int32_t height,
                    uint32_t* pixels);

// Budget for one picture's decoded frames, in bytes; a load that would
// exceed it fails. Chosen so a 32-bit host keeps room for the video.
constexpr uint64_t kPictureMemoryBudget = 256ull * 1024 * 1024;
// Largest accepted width or height in pixels.
constexpr int32_t kMaxPictureSide = 16384;
// Each frame also costs its record and the decoder's bookkeeping, so a flood
// of tiny animation frames is bounded by the budget as well.
constexpr uint64_t kFrameOverheadBytes = 4096;

// Budget cost of one frame; sides up to kMaxPictureSide keep it below 2^31.
constexpr uint64_t frameBudgetBytes(int64_t width, int64_t height) {
  return static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4 + kFrameOverheadBytes;
}

// Whether `frames` frames of width x height may be decoded: both sides in
// 1..kMaxPictureSide and the total within kPictureMemoryBudget (no overflow:
// the product is compared by division).
constexpr bool pictureFitsBudget(int64_t width, int64_t height, uint64_t frames) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         frames <= kPictureMemoryBudget / frameBudgetBytes(width, height);
}

// Whether an animation of `frames` frames of width x height is shown, its
// frames decoded whole or streamed with the canvases its source keeps:
// exactly what LogoImage::adoptAnimation accepts. A decoder asks before its
// source allocates anything, so a picture refused costs no memory.
bool animationFitsBudget(int64_t width, int64_t height, uint64_t frames) noexcept;

}  // namespace om
