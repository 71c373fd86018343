// Scalar reference of the overlay blend: the formulas as written, one sample
// at a time. The vector kernels must match it byte for byte.
#include "compositing/blend_kernels.h"

namespace om {

namespace {

// Floor division by 256 (toward minus infinity: -0.5 becomes -1). Right
// shifts of negative values are arithmetic on every compiler we build with.
constexpr int32_t floorDiv256(int32_t v) { return v >> 8; }

constexpr uint8_t clampByte(int32_t v) {
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Rounds halves up, as the byte-average instructions do.
constexpr int32_t average(int32_t p, int32_t q) { return (p + q + 1) >> 1; }

constexpr int32_t kNoBias = 0;
constexpr int32_t kChromaBias = 128;

}  // namespace

uint8_t blendSample(int32_t d, int32_t s, int32_t weight, int32_t bias,
                    int32_t opacity) noexcept {
  const int32_t a = weight + (weight >> 7);                    // 0..256
  const int32_t m = bias + floorDiv256(a * (d - bias));        // 0..255
  return clampByte(d + floorDiv256(opacity * (s - m)));        // -255..510 before the clamp
}

void blendRowYuv422_c(uint8_t* frame, const uint8_t* overlay, int32_t pixels, PairStart start,
                      int32_t opacity) noexcept {
  uint8_t* pair = frame;  // Y0, Cb, Y1, Cr
  const uint8_t* p = overlay;
  int32_t left = pixels;
  if (start == PairStart::Odd && left > 0) {
    // The pair's even pixel owns its chroma and is not ours: only Y1 changes.
    pair[2] = blendSample(pair[2], p[0], p[3], kNoBias, opacity);
    pair += 4;
    p += 4;
    --left;
  }
  for (; left >= 2; left -= 2, pair += 4, p += 8) {
    const uint8_t* q = p + 4;
    const int32_t evenWeight = p[3];  // chroma follows the even pixel only
    pair[0] = blendSample(pair[0], p[0], p[3], kNoBias, opacity);
    pair[1] = blendSample(pair[1], average(p[1], q[1]), evenWeight, kChromaBias, opacity);
    pair[2] = blendSample(pair[2], q[0], q[3], kNoBias, opacity);
    pair[3] = blendSample(pair[3], average(p[2], q[2]), evenWeight, kChromaBias, opacity);
  }
  if (left == 1) {
    pair[0] = blendSample(pair[0], p[0], p[3], kNoBias, opacity);
    pair[1] = blendSample(pair[1], p[1], p[3], kChromaBias, opacity);
    pair[3] = blendSample(pair[3], p[2], p[3], kChromaBias, opacity);
  }
}

void blendRowBgr24_c(uint8_t* frame, const uint8_t* overlay, int32_t pixels,
                     int32_t opacity) noexcept {
  for (int32_t i = 0; i < pixels; ++i, frame += 3, overlay += 4) {
    const int32_t weight = overlay[3];
    frame[0] = blendSample(frame[0], overlay[0], weight, kNoBias, opacity);
    frame[1] = blendSample(frame[1], overlay[1], weight, kNoBias, opacity);
    frame[2] = blendSample(frame[2], overlay[2], weight, kNoBias, opacity);
  }
}

}  // namespace om
