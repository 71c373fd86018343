// GIF through giflib, every frame composited as a viewer shows it. Takes the whole file in memory, fills an empty LogoImage through
// AddFrame / SetFrameSize and returns true when at least one frame holds
// decoded pixels. Trusts no size read from the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "logo/logo_image.h"

namespace om {

// `animated`: every frame with its delay; otherwise the first frame only,
// delay 0.
bool decodeGif(const uint8_t* data, size_t size, bool animated, LogoImage& image);

}  // namespace om
