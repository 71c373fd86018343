// Reference pixel passes: one channel, one tap at a time, exactly as the
// fixed-point formulas read. The SIMD sets must match these byte for byte.
#include <cstring>

#include "logo/resampler_kernels.h"

namespace om {
namespace {

int32_t floorDiv(int32_t value, int32_t divisor) {
  const int32_t q = value / divisor;
  return (value % divisor != 0 && value < 0) ? q - 1 : q;
}

uint8_t clampByte(int32_t value) {
  return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

// Two's-complement wrap to 16 bits, as a 16-bit register adds. Table weights
// keep sum |q| below 2.4 * 16384 (a renormalised edge entry is the worst), so
// |sum| < 19500 and never wraps; other weights wrap alike in every path.
int32_t wrap16(int32_t value) {
  const int32_t low = value & 0xFFFF;
  return low >= 0x8000 ? low - 0x10000 : low;
}

int16_t weightAt(const uint8_t* weights, int32_t tap, int32_t lane) {
  int16_t w;
  std::memcpy(&w, weights + 8 * tap + 2 * lane, sizeof w);
  return w;
}

// floor(((p * 128) * q) / 65536) for a channel p already times 128 (the
// row buffer's values, and source bytes once scaled): p * 128 <= 32640, so
// the product fits in 32 bits; the result lies in -16320..16319.
int32_t tapTerm(int32_t scaled, int32_t q) { return floorDiv(scaled * q, 65536); }

}  // namespace

void resampleVertical_c(const uint8_t* first, ptrdiff_t rowStep, const uint8_t* weights,
                        int32_t taps, int32_t width, int16_t* row, bool keyed, uint32_t keyPixel) {
  const uint8_t keyB = static_cast<uint8_t>(keyPixel);
  const uint8_t keyG = static_cast<uint8_t>(keyPixel >> 8);
  const uint8_t keyR = static_cast<uint8_t>(keyPixel >> 16);
  for (int32_t x = 0; x < width; ++x) {
    int32_t sum[4] = {0, 0, 0, 0};
    for (int32_t k = 0; k < taps; ++k) {
      const uint8_t* p = first + k * rowStep + 4 * x;
      const bool isKey = keyed && p[0] == keyB && p[1] == keyG && p[2] == keyR;
      for (int32_t c = 0; c < 4; ++c) {
        const int32_t sample = isKey ? 0 : p[c];
        sum[c] = wrap16(sum[c] + tapTerm(sample * 128, weightAt(weights, k, c)));
      }
    }
    for (int32_t c = 0; c < 4; ++c)
      row[4 * x + c] = static_cast<int16_t>(clampByte(floorDiv(sum[c], 32)) * 128);
  }
}

namespace {

void storePixel(const int32_t bgra[4], DestinationLayout layout, uint8_t* out) {
  const int32_t b = bgra[0], g = bgra[1], r = bgra[2];
  if (layout == DestinationLayout::Bgra32BottomUp) {
    out[0] = clampByte(b);
    out[1] = clampByte(g);
    out[2] = clampByte(r);
  } else {
    // Full-range BT.601 with coefficients scaled by 32768; sums stay within
    // +-32768 * 255.
    out[0] = clampByte(floorDiv(3735 * b + 19235 * g + 9798 * r, 32768));
    out[1] = clampByte(floorDiv(16384 * b - 10855 * g - 5529 * r, 32768) + 128);
    out[2] = clampByte(floorDiv(-2664 * b - 13720 * g + 16384 * r, 32768) + 128);
  }
  out[3] = clampByte(bgra[3]);
}

}  // namespace

void resampleHorizontal_c(const int16_t* row, const uint8_t* entries, int32_t count,
                          uint8_t* out, DestinationLayout layout) {
  const uint8_t* entry = entries;
  for (int32_t i = 0; i < count; ++i) {
    int32_t offset, taps;
    std::memcpy(&offset, entry, 4);
    std::memcpy(&taps, entry + 4, 4);
    const uint8_t* weights = entry + 8;
    int32_t sum[4] = {0, 0, 0, 0};
    for (int32_t k = 0; k < taps; ++k) {
      const int16_t* p = row + offset + 4 * k;
      for (int32_t c = 0; c < 4; ++c)
        sum[c] = wrap16(sum[c] + tapTerm(p[c], weightAt(weights, k, c)));
    }
    int32_t bgra[4];
    for (int32_t c = 0; c < 4; ++c) bgra[c] = clampByte(floorDiv(sum[c], 32));
    storePixel(bgra, layout, out + 4 * i);
    entry = weights + 8 * taps;
  }
}

}  // namespace om
