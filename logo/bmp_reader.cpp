#include "logo/bmp_reader.h"

#include <cstring>

namespace om {
namespace {

constexpr uint64_t kFileHeaderSize = 14;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint32_t bgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
  return b | (g << 8) | (r << 16) | (a << 24);
}

// One colour component under `mask`, scaled to 0..255 with rounding. The
// field value is at most 2^32 - 1, so value * 255 stays below 2^40.
struct MaskField {
  uint32_t mask = 0;
  uint32_t shift = 0;
  uint64_t max = 0;  // the field's largest value; 0 for an empty mask

  explicit MaskField(uint32_t m) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1u)) ++shift;
    max = m >> shift;
  }
  uint32_t operator()(uint32_t v) const {
    if (!max) return 0;
    const uint64_t field = (v & mask) >> shift;
    return static_cast<uint32_t>((field * 255 + max / 2) / max);
  }
};

}  // namespace

bool parseBmpHeader(const uint8_t* data, size_t size, BmpLayout& layout) {
  layout = BmpLayout();
  if (!data || size < kFileHeaderSize + 12 || data[0] != 'B' || data[1] != 'M') return false;
  const uint32_t offBits = le32(data + 10);
  const uint8_t* info = data + kFileHeaderSize;
  const uint32_t infoSize = le32(info);
  if (kFileHeaderSize + infoSize > size) return false;

  uint32_t clrUsed = 0;
  uint64_t paletteEntrySize = 4;
  uint64_t maskBytesAfterHeader = 0;
  int64_t height = 0;
  if (infoSize == 12) {  // core header: 16-bit unsigned sizes, always bottom-up
    layout.width = le16(info + 4);
    height = le16(info + 6);
    layout.bitCount = le16(info + 10);
    layout.compression = kBiRgb;
    paletteEntrySize = 3;
    if (layout.bitCount == 16 || layout.bitCount == 32) return false;
  } else if (infoSize == 40 || infoSize == 52 || infoSize == 56 || infoSize == 64 ||
             infoSize == 108 || infoSize == 124) {
    layout.width = static_cast<int32_t>(le32(info + 4));
    height = static_cast<int32_t>(le32(info + 8));
    layout.bitCount = le16(info + 14);
    layout.compression = le32(info + 16);
    clrUsed = le32(info + 32);
    if (layout.compression != kBiRgb) {
      // Size 64 is the OS/2 2.x header, where code 3 means Huffman coding.
      if (infoSize == 64) return false;
      if (layout.compression != kBiBitfields && layout.compression != kBiAlphaBitfields) return false;
      if (layout.bitCount != 16 && layout.bitCount != 32) return false;
      if (infoSize == 40) maskBytesAfterHeader = layout.compression == kBiAlphaBitfields ? 16 : 12;
    }
  } else {
    return false;
  }
  if (layout.width <= 0 || height == 0 || height == INT32_MIN) return false;
  layout.topDown = height < 0;
  layout.height = static_cast<int32_t>(height < 0 ? -height : height);

  switch (layout.bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }

  const uint64_t masksAt = kFileHeaderSize + infoSize;
  if (layout.compression == kBiRgb) {
    if (layout.bitCount == 16) {
      layout.masks[0] = 0x7C00; layout.masks[1] = 0x03E0; layout.masks[2] = 0x001F;
    } else if (layout.bitCount == 32) {
      // The top byte of an uncompressed 32-bit pixel is unused, not alpha.
      layout.masks[0] = 0xFF0000; layout.masks[1] = 0xFF00; layout.masks[2] = 0xFF;
    }
  } else if (maskBytesAfterHeader) {
    if (masksAt + maskBytesAfterHeader > size) return false;
    for (uint64_t i = 0; i < maskBytesAfterHeader / 4; ++i) layout.masks[i] = le32(data + masksAt + 4 * i);
  } else {
    for (int i = 0; i < 3; ++i) layout.masks[i] = le32(info + 40 + 4 * i);
    if (infoSize >= 56) layout.masks[3] = le32(info + 52);
  }

  const uint64_t paletteAt = masksAt + maskBytesAfterHeader;
  uint64_t paletteCount = 0;
  if (layout.bitCount <= 8) {
    const uint64_t full = 1ull << layout.bitCount;
    paletteCount = (clrUsed == 0 || clrUsed > full) ? full : clrUsed;
    for (uint32_t i = 0; i < 256; ++i) layout.palette[i] = bgra(0, 0, 0, 255);
    for (uint64_t i = 0; i < paletteCount; ++i) {
      const uint64_t at = paletteAt + i * paletteEntrySize;
      if (at + paletteEntrySize > size) break;  // entries past the end stay black
      layout.palette[i] = bgra(data[at], data[at + 1], data[at + 2], 255);
    }
  }

  layout.pixelOffset = offBits ? offBits : paletteAt + paletteCount * paletteEntrySize;
  if (layout.pixelOffset < kFileHeaderSize + infoSize || layout.pixelOffset >= size) return false;
  layout.stride = (static_cast<uint64_t>(layout.width) * layout.bitCount + 31) / 32 * 4;
  return true;
}

int32_t decodeBmpPixels(const uint8_t* data, size_t size, const BmpLayout& layout, BmpAlpha alpha,
                        uint32_t* pixels) {
  if (!data || !pixels || layout.width <= 0 || layout.height <= 0 || layout.stride == 0 ||
      layout.pixelOffset >= size)
    return 0;
  const uint64_t available = (size - layout.pixelOffset) / layout.stride;
  const int32_t rows = available < static_cast<uint64_t>(layout.height) ? static_cast<int32_t>(available)
                                                                         : layout.height;
  const bool keepAlpha = alpha == BmpAlpha::kFromMask && layout.masks[3] != 0;
  const MaskField red(layout.masks[0]), green(layout.masks[1]), blue(layout.masks[2]), alphaField(layout.masks[3]);
  const size_t width = static_cast<size_t>(layout.width);
  bool anyAlpha = false;

  for (int32_t i = 0; i < rows; ++i) {
    const uint8_t* src = data + layout.pixelOffset + static_cast<uint64_t>(i) * layout.stride;
    // File rows run bottom-up unless the height was negative; memory rows always do.
    const int32_t memoryRow = layout.topDown ? layout.height - 1 - i : i;
    uint32_t* dst = pixels + static_cast<size_t>(memoryRow) * width;
    switch (layout.bitCount) {
      case 1: case 4: case 8: {
        const unsigned bits = layout.bitCount;
        const unsigned perByte = 8 / bits;
        const unsigned valueMask = (1u << bits) - 1;
        for (size_t x = 0; x < width; ++x) {
          const unsigned shift = 8 - bits * (1 + static_cast<unsigned>(x % perByte));
          dst[x] = layout.palette[(src[x / perByte] >> shift) & valueMask];
        }
        break;
      }
      case 24:
        for (size_t x = 0; x < width; ++x) dst[x] = bgra(src[3 * x], src[3 * x + 1], src[3 * x + 2], 255);
        break;
      case 16: case 32: {
        const unsigned bytes = layout.bitCount / 8;
        for (size_t x = 0; x < width; ++x) {
          const uint32_t v = bytes == 2 ? le16(src + 2 * x) : le32(src + 4 * x);
          uint32_t a = 255;
          if (keepAlpha) {
            a = alphaField(v);
            anyAlpha = anyAlpha || a != 0;
          }
          dst[x] = bgra(blue(v), green(v), red(v), a);
        }
        break;
      }
    }
  }

  if (keepAlpha && rows > 0) {
    uint32_t* first = pixels + (layout.topDown ? static_cast<size_t>(layout.height - rows) * width : 0);
    const size_t count = static_cast<size_t>(rows) * width;
    if (anyAlpha) {
      premultiplyPixels(first, count);
    } else {
      // Writers that declare an alpha mask but leave it all zero mean an
      // opaque picture, not an invisible one.
      for (size_t i = 0; i < count; ++i) first[i] |= 0xFF000000u;
    }
  }
  return rows;
}

void premultiplyPixels(uint32_t* pixels, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint32_t p = pixels[i];
    const uint32_t a = p >> 24;
    if (a == 255) continue;
    const uint32_t b = ((p & 0xFF) * a + 127) / 255;
    const uint32_t g = (((p >> 8) & 0xFF) * a + 127) / 255;
    const uint32_t r = (((p >> 16) & 0xFF) * a + 127) / 255;
    pixels[i] = bgra(b, g, r, a);
  }
}

}  // namespace om
