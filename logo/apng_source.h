// Animated PNG: frames found by their fcTL chunks, each handed to the
// platform's PNG decoder (decodePngFrame) as a PNG stream of its own, and
// composed here on a canvas of the IHDR size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "logo/logo_image.h"

namespace om {

// An acTL chunk before the first IDAT makes a PNG file an animation.
bool isAnimatedPng(const uint8_t* data, size_t size);

// Loads an animated PNG into an empty image, taking `bytes` when the
// animation is streamed. False for an invalid one (sequence numbers out of
// order, a frame outside the canvas, a frame count that disagrees with acTL,
// truncated or damaged chunks, a frame that does not decode): `bytes` are
// then as they were and the image is empty, for the default image to be
// decoded as a still picture.
bool loadAnimatedPng(std::vector<uint8_t>& bytes, LogoImage& image);

}  // namespace om
