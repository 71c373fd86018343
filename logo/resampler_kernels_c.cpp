// Reference pixel passes: one channel, one tap at a time, exactly as the
// fixed-point formulas read. The SIMD sets must match these byte for byte.
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

// floor(((p * 128) * q) / 65536) for a channel p given as p * 128: that is
// at most 32640, so the product fits in 32 bits; the result lies in
// -16320..16319.
int32_t tapTerm(int32_t scaled, int32_t q) { return floorDiv(scaled * q, 65536); }

int16_t rowValue(int32_t sum) { return static_cast<int16_t>(clampByte(floorDiv(sum, 32)) * 128); }

void storePixel(const int32_t bgra[4], DestinationLayout layout, const YccCoefficients& ycc,
                uint8_t* out) {
  const int32_t b = bgra[0], g = bgra[1], r = bgra[2], alpha = bgra[3];
  if (layout == DestinationLayout::Bgra32BottomUp) {
    out[0] = clampByte(b);
    out[1] = clampByte(g);
    out[2] = clampByte(r);
  } else {
    // b, g, r, alpha are 0..255 and a 0..256: each sum stays within
    // 4 * 32768 * 256.
    const int32_t a = alpha + (alpha >> 7);
    out[0] =
        clampByte(floorDiv(ycc.y[0] * b + ycc.y[1] * g + ycc.y[2] * r + ycc.offset * a, 32768));
    out[1] = clampByte(floorDiv(ycc.cb[0] * b + ycc.cb[1] * g + ycc.cb[2] * r, 32768) + 128);
    out[2] = clampByte(floorDiv(ycc.cr[0] * b + ycc.cr[1] * g + ycc.cr[2] * r, 32768) + 128);
  }
  out[3] = clampByte(alpha);
}

}  // namespace

void resampleConvert_c(const uint8_t* source, int32_t width, int16_t* out, bool keyed,
                       uint32_t keyPixel) {
  const uint8_t keyB = static_cast<uint8_t>(keyPixel);
  const uint8_t keyG = static_cast<uint8_t>(keyPixel >> 8);
  const uint8_t keyR = static_cast<uint8_t>(keyPixel >> 16);
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t* p = source + 4 * x;
    const bool isKey = keyed && p[0] == keyB && p[1] == keyG && p[2] == keyR;
    for (int32_t c = 0; c < 4; ++c) out[4 * x + c] = static_cast<int16_t>(isKey ? 0 : p[c] * 128);
  }
}

void resampleVertical_c(const uint8_t* const* rows, const int16_t* weights, int32_t taps,
                        int32_t width, int16_t* out, bool keyed, uint32_t keyPixel) {
  const uint8_t keyB = static_cast<uint8_t>(keyPixel);
  const uint8_t keyG = static_cast<uint8_t>(keyPixel >> 8);
  const uint8_t keyR = static_cast<uint8_t>(keyPixel >> 16);
  for (int32_t x = 0; x < width; ++x) {
    int32_t sum[4] = {0, 0, 0, 0};
    for (int32_t k = 0; k < taps; ++k) {
      const uint8_t* p = rows[k] + 4 * x;
      const bool isKey = keyed && p[0] == keyB && p[1] == keyG && p[2] == keyR;
      for (int32_t c = 0; c < 4; ++c)
        sum[c] = wrap16(sum[c] + tapTerm(isKey ? 0 : p[c] * 128, weights[4 * k + c]));
    }
    for (int32_t c = 0; c < 4; ++c) out[4 * x + c] = rowValue(sum[c]);
  }
}

void resampleVerticalConverted_c(const int16_t* const* rows, const int16_t* weights, int32_t taps,
                                 int32_t width, int16_t* out) {
  for (int32_t i = 0; i < 4 * width; ++i) {
    int32_t sum = 0;
    for (int32_t k = 0; k < taps; ++k) sum = wrap16(sum + tapTerm(rows[k][i], weights[4 * k + i % 4]));
    out[i] = rowValue(sum);
  }
}

void resampleHorizontal_c(const int16_t* row, const int32_t* offsets, const int16_t* weights,
                          int32_t taps, int32_t count, uint8_t* out, DestinationLayout layout,
                          const YccCoefficients& ycc) {
  for (int32_t i = 0; i < count; ++i) {
    const int16_t* w = weights + 4 * static_cast<ptrdiff_t>(taps) * i;
    int32_t sum[4] = {0, 0, 0, 0};
    for (int32_t k = 0; k < taps; ++k) {
      const int16_t* p = row + offsets[i] + 4 * k;
      for (int32_t c = 0; c < 4; ++c) sum[c] = wrap16(sum[c] + tapTerm(p[c], w[4 * k + c]));
    }
    int32_t bgra[4];
    for (int32_t c = 0; c < 4; ++c) bgra[c] = clampByte(floorDiv(sum[c], 32));
    storePixel(bgra, layout, ycc, out + 4 * i);
  }
}

}  // namespace om
