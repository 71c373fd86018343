// The image codec behind the platform seam: GDI+ on Windows; giflib, libpng,
// libjpeg-turbo and our own BMP reader on POSIX. A CodecScope is opened for
// one load or one filter build and closed at its end.
#pragma once

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
  // SetFrameSize / SetCurrentDelay. `animated`: every frame with its delay
  // (the ".gif" ending rule); otherwise the default frame only. True when at
  // least one frame was rendered.
  bool loadPicture(const char* path, bool animated, LogoImage& image);

  // The open-file filter without its final extra NUL: "All image files"
  // with every pattern list joined by ';', then one pair per decoder in the
  // codec's order ("<description> files (<patterns>)", "<patterns>").
  std::string decoderFilter();

 private:
  bool available_ = false;
  uintptr_t token_ = 0;
};

// Windows bitmap files only (the window system's own loader); A = 255.
bool loadBitmapFallback(const char* path, LogoImage& image);

// Frame pixel memory: a DIB section on Windows, an aligned block elsewhere.
// Null when it cannot be had; `pixels` starts all zero.
void* createFrameBitmap(const BitmapInfoHeader& header, uint32_t** pixels) noexcept;
void destroyFrameBitmap(void* bitmap) noexcept;

// Tests: make the codec library count as missing, as if it failed to load.
void setCodecUnavailableForTesting(bool unavailable) noexcept;
bool codecUnavailableForTesting() noexcept;

// Budget for one picture's decoded frames, in bytes; a load that would
// exceed it fails. Chosen so a 32-bit host keeps room for the video.
constexpr uint64_t kPictureMemoryBudget = 256ull * 1024 * 1024;
// Largest accepted width or height in pixels.
constexpr int32_t kMaxPictureSide = 16384;

}  // namespace om
