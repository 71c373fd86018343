// PNG through libpng, alpha premultiplied. Takes the whole file in memory, fills an empty LogoImage through
// AddFrame / SetFrameSize and returns true when at least one frame holds
// decoded pixels. Trusts no size read from the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "logo/logo_image.h"

namespace om {

// `truncated`: whether a picture whose rows stop short (a libpng error, a
// short read) fails rather than shows the rows that arrived.
bool decodePng(const uint8_t* data, size_t size, Truncated truncated, LogoImage& image);

// decodePngFrame through libpng: every row of every pass, or false.
bool decodeWholePng(const uint8_t* png, size_t size, int32_t width, int32_t height, uint32_t* pixels);

}  // namespace om
