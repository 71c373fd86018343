// JPEG through libjpeg-turbo, CMYK included. Takes the whole file in memory, fills an empty LogoImage through
// AddFrame / SetFrameSize and returns true when at least one frame holds
// decoded pixels. Trusts no size read from the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "logo/logo_image.h"

namespace om {

// `truncated`: whether a picture that ends early (libjpeg's premature end,
// rows short of the last) fails rather than shows what decoded.
bool decodeJpeg(const uint8_t* data, size_t size, Truncated truncated, LogoImage& image);

}  // namespace om
