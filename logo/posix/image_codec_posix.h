// The POSIX codec's own dispatch: pictures are recognised by content and
// handed to the decoder of their format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "logo/logo_image.h"

namespace om {

enum class PictureFormat { kUnknown, kBmp, kGif, kJpeg, kPng };

// Recognises a picture by its first bytes, never by its file name.
PictureFormat sniffPictureFormat(const uint8_t* data, size_t size);

// Dispatches on the content, and may take `bytes` (a streamed animation
// keeps reading them). A still picture asked for as an animation gets one
// frame of 100 ms, as a GIF frame without a delay would; an animated PNG
// animates whatever was asked. `truncated`: whether a PNG or JPEG whose
// decoder stops short of the last row fails.
bool decodePicture(std::vector<uint8_t>& bytes, bool animated, Truncated truncated, LogoImage& image);

}  // namespace om
