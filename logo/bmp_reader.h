// A bounds-checked reader for Windows bitmap files held in memory:
// uncompressed 1, 4, 8, 16, 24 and 32 bits per pixel, bottom-up or top-down,
// BI_BITFIELDS and BI_ALPHABITFIELDS masks, core (OS/2 1.x) and info headers
// up to version 5. Every size in the file is checked against the data length
// in 64-bit arithmetic before it is used.
#pragma once

#include <cstddef>
#include <cstdint>

namespace om {

struct BmpLayout {
  int32_t width = 0;
  int32_t height = 0;          // always positive; see topDown
  bool topDown = false;
  uint16_t bitCount = 0;
  uint32_t compression = 0;    // 0 RGB, 3 BITFIELDS, 6 ALPHABITFIELDS
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha (16 and 32 bits)
  uint32_t palette[256] = {};  // B,G,R,255 as 0xAARRGGBB; missing entries black
  uint64_t pixelOffset = 0;
  uint64_t stride = 0;         // bytes per file row, padded to 4
};

// Reads the headers, masks and palette. False for anything that is not an
// uncompressed bitmap this reader can decode.
bool parseBmpHeader(const uint8_t* data, size_t size, BmpLayout& layout);

enum class BmpAlpha {
  kOpaque,    // A = 255 everywhere, as the window system's loader gives
  kFromMask,  // a declared alpha mask is kept, colours premultiplied by it
};

// Decodes into width * height B,G,R,A pixels stored bottom-up. Rows the
// file is too short for are left untouched. Returns the number of rows
// decoded; 0 means nothing usable.
int32_t decodeBmpPixels(const uint8_t* data, size_t size, const BmpLayout& layout, BmpAlpha alpha,
                        uint32_t* pixels);

// Straight B,G,R,A to premultiplied, c' = (c * a + 127) / 255; also used by
// the other decoders. c * a + 127 <= 65152, so 32-bit is ample.
void premultiplyPixels(uint32_t* pixels, size_t count);

}  // namespace om
