// The POSIX picture decoders behind CodecScope. Each takes the whole file in
// memory, fills an empty LogoImage through AddFrame / SetFrameSize and
// returns true when at least one frame holds decoded pixels. None of them
// trusts a size read from the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "logo/logo_image.h"

namespace om {

enum class PictureFormat { kUnknown, kBmp, kGif, kJpeg, kPng };

// Recognises a picture by its first bytes, never by its file name.
PictureFormat sniffPictureFormat(const uint8_t* data, size_t size);

// `animated`: every frame composited as a viewer shows it, with its delay;
// otherwise the first frame only, delay 0.
bool decodeGif(const uint8_t* data, size_t size, bool animated, LogoImage& image);
bool decodePng(const uint8_t* data, size_t size, LogoImage& image);
bool decodeJpeg(const uint8_t* data, size_t size, LogoImage& image);

// Dispatches on the content. A still picture asked for as an animation gets
// one frame of 100 ms, as a GIF frame without a delay would.
bool decodePicture(const uint8_t* data, size_t size, bool animated, LogoImage& image);

}  // namespace om
