// GIF through giflib, every frame composited as a viewer shows it. Takes the
// whole file in memory, fills an empty LogoImage through adoptAnimation and
// returns true when at least one frame holds decoded pixels. Trusts no size
// read from the file.
#pragma once

#include <cstdint>
#include <vector>

#include "logo/logo_image.h"

namespace om {

// `animated`: every frame with its delay; otherwise the first frame only,
// delay 0. Takes `bytes`: a streamed animation keeps reading them.
bool decodeGif(std::vector<uint8_t>& bytes, bool animated, LogoImage& image);

}  // namespace om
