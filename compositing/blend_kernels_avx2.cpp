// AVX2 row kernels of the overlay blend; byte-identical to blend_kernels_c.cpp.
//
// Same fixed point as the SSE2 kernels: a, o and sample differences times 16
// in 16-bit lanes (|value| <= 4096), the high half of the product being
// floor(x*y / 256). Byte shuffles are per 128-bit lane, so every table below
// repeats per lane. Helpers stay in an anonymous namespace so no inline
// function compiled with these instruction flags leaks to another file.
#include <immintrin.h>

#include "compositing/blend_kernels.h"

namespace om {

namespace {

inline __m128i load128(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline __m256i load256(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// (W + (W >> 7)) * 16 in 16-bit lanes, 0..4096.
inline __m256i scaledWeight16(__m256i w) {
  return _mm256_slli_epi16(_mm256_add_epi16(w, _mm256_srli_epi16(w, 7)), 4);
}

// m = bias + floor(a*(d - bias)/256) in 0..255, then
// d + floor(o*(s - m)/256) in -255..510 (saturated by the caller's pack).
inline __m256i blendBiased(__m256i d, __m256i s, __m256i bias, __m256i a16, __m256i o16) {
  const __m256i m = _mm256_add_epi16(
      bias, _mm256_mulhi_epi16(a16, _mm256_slli_epi16(_mm256_sub_epi16(d, bias), 4)));
  const __m256i diff16 = _mm256_slli_epi16(_mm256_sub_epi16(s, m), 4);  // +-255 * 16
  return _mm256_add_epi16(d, _mm256_mulhi_epi16(o16, diff16));
}

// One 128-bit lane of overlay holds two pairs P0 Q0 P1 Q1; the results are
// 16-bit lanes in frame order Y0 Cb Y1 Cr.
inline __m256i blendTwoPairsPerLane(__m256i d, __m256i v, __m256i o16) {
  const __m256i luma = _mm256_setr_epi8(
      0, -1, -1, -1, 4, -1, -1, -1, 8, -1, -1, -1, 12, -1, -1, -1,
      0, -1, -1, -1, 4, -1, -1, -1, 8, -1, -1, -1, 12, -1, -1, -1);
  const __m256i chroma = _mm256_setr_epi8(
      -1, -1, 1, -1, -1, -1, 2, -1, -1, -1, 9, -1, -1, -1, 10, -1,
      -1, -1, 1, -1, -1, -1, 2, -1, -1, -1, 9, -1, -1, -1, 10, -1);
  // Chroma takes the even pixel's weight.
  const __m256i weight = _mm256_setr_epi8(
      3, -1, 3, -1, 7, -1, 3, -1, 11, -1, 11, -1, 15, -1, 11, -1,
      3, -1, 3, -1, 7, -1, 3, -1, 11, -1, 11, -1, 15, -1, 11, -1);
  const __m256i bias = _mm256_set1_epi32(128 << 16);  // 0 for Y, 128 for Cb and Cr

  const __m256i swapped = _mm256_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1));
  const __m256i avg = _mm256_avg_epu8(v, swapped);  // (p + q + 1) >> 1 per byte
  const __m256i s =
      _mm256_or_si256(_mm256_shuffle_epi8(v, luma), _mm256_shuffle_epi8(avg, chroma));
  const __m256i a16 = scaledWeight16(_mm256_shuffle_epi8(v, weight));
  return blendBiased(d, s, bias, a16, o16);
}

// Eight whole pairs: 32 frame bytes, 64 overlay bytes.
inline void blendPairs8(uint8_t* frame, const uint8_t* overlay, __m256i o16) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i f = load256(frame);  // pairs 0..3 | 4..7
  const __m256i v0 = load256(overlay);
  const __m256i v1 = load256(overlay + 32);
  // Match the lanes of the frame's byte-to-word unpacking: pairs 0,1 | 4,5 and 2,3 | 6,7.
  const __m256i vLo = _mm256_permute2x128_si256(v0, v1, 0x20);
  const __m256i vHi = _mm256_permute2x128_si256(v0, v1, 0x31);
  const __m256i rLo = blendTwoPairsPerLane(_mm256_unpacklo_epi8(f, zero), vLo, o16);
  const __m256i rHi = blendTwoPairsPerLane(_mm256_unpackhi_epi8(f, zero), vHi, o16);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(frame), _mm256_packus_epi16(rLo, rHi));
}

// Unbiased samples from d * 256 in 16-bit lanes (the byte shuffle places
// frame bytes there directly) and an unscaled a in 0..256: the unsigned high
// half of a * d * 256 is floor(a*d / 256), below 2^24 before the shift.
inline __m256i blendFromHighBytes(__m256i d256, __m256i s, __m256i a, __m256i o16) {
  const __m256i d = _mm256_srli_epi16(d256, 8);
  const __m256i m = _mm256_mulhi_epu16(a, d256);                        // 0..255
  const __m256i diff16 = _mm256_slli_epi16(_mm256_sub_epi16(s, m), 4);  // +-255 * 16
  return _mm256_add_epi16(d, _mm256_mulhi_epi16(o16, diff16));
}

// Eight pixels: 24 frame bytes B G R, 32 overlay bytes B G R W. Reads and
// writes exactly the 24 frame bytes.
inline void blendBgr8(uint8_t* frame, const uint8_t* overlay, __m256i o16) {
  const __m256i zero = _mm256_setzero_si256();
  // Lane 0 holds frame bytes 0..15 (pixels 0..3 from byte 0), lane 1 bytes
  // 8..23 (pixels 4..7 from byte 4). Each pixel becomes four 16-bit lanes
  // B, G, R, spare holding the byte times 256, in the order the overlay's
  // byte-to-word unpacking gives: pixels 0,1 | 4,5 and 2,3 | 6,7.
  const __m256i spreadLo = _mm256_setr_epi8(
      -1, 0, -1, 1, -1, 2, -1, -1, -1, 3, -1, 4, -1, 5, -1, -1,
      -1, 4, -1, 5, -1, 6, -1, -1, -1, 7, -1, 8, -1, 9, -1, -1);
  const __m256i spreadHi = _mm256_setr_epi8(
      -1, 6, -1, 7, -1, 8, -1, -1, -1, 9, -1, 10, -1, 11, -1, -1,
      -1, 10, -1, 11, -1, 12, -1, -1, -1, 13, -1, 14, -1, 15, -1, -1);
  // Each pixel's a (low 16 bits of its 32-bit lane) into its four lanes.
  const __m256i weightLo = _mm256_setr_epi8(
      0, 1, 0, 1, 0, 1, 0, 1, 4, 5, 4, 5, 4, 5, 4, 5,
      0, 1, 0, 1, 0, 1, 0, 1, 4, 5, 4, 5, 4, 5, 4, 5);
  const __m256i weightHi = _mm256_setr_epi8(
      8, 9, 8, 9, 8, 9, 8, 9, 12, 13, 12, 13, 12, 13, 12, 13,
      8, 9, 8, 9, 8, 9, 8, 9, 12, 13, 12, 13, 12, 13, 12, 13);
  // Back to triplets: lane 0 gives output bytes 0..11; lane 1 gives bytes
  // 16..23 in its low half and bytes 12..15 in its top dword.
  const __m256i gather = _mm256_setr_epi8(
      0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
      5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4);
  const __m256i halves =
      _mm256_inserti128_si256(_mm256_castsi128_si256(load128(frame)), load128(frame + 8), 1);
  const __m256i v = load256(overlay);

  const __m256i w = _mm256_srli_epi32(v, 24);
  const __m256i a = _mm256_add_epi32(w, _mm256_srli_epi32(w, 7));  // 0..256
  const __m256i rLo = blendFromHighBytes(_mm256_shuffle_epi8(halves, spreadLo),
                                         _mm256_unpacklo_epi8(v, zero),
                                         _mm256_shuffle_epi8(a, weightLo), o16);
  const __m256i rHi = blendFromHighBytes(_mm256_shuffle_epi8(halves, spreadHi),
                                         _mm256_unpackhi_epi8(v, zero),
                                         _mm256_shuffle_epi8(a, weightHi), o16);
  const __m256i t = _mm256_shuffle_epi8(_mm256_packus_epi16(rLo, rHi), gather);
  const __m128i t0 = _mm256_castsi256_si128(t);
  const __m128i t1 = _mm256_extracti128_si256(t, 1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(frame), _mm_blend_epi32(t0, t1, 0x8));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(frame + 16), t1);
}

}  // namespace

void blendRowYuv422_avx2(uint8_t* frame, const uint8_t* overlay, int32_t pixels, PairStart start,
                         int32_t opacity) noexcept {
  if (pixels <= 0) return;
  if (start == PairStart::Odd) {
    blendRowYuv422_c(frame, overlay, 1, PairStart::Odd, opacity);
    frame += 4;
    overlay += 4;
    --pixels;
  }
  const __m256i o16 = _mm256_set1_epi16(static_cast<int16_t>(opacity * 16));  // opacity 0..256
  for (; pixels >= 32; pixels -= 32, frame += 64, overlay += 128) {
    blendPairs8(frame, overlay, o16);
    blendPairs8(frame + 32, overlay + 64, o16);
  }
  if (pixels >= 16) {
    blendPairs8(frame, overlay, o16);
    pixels -= 16;
    frame += 32;
    overlay += 64;
  }
  if (pixels > 0) blendRowYuv422_sse2(frame, overlay, pixels, PairStart::Even, opacity);
}

void blendRowBgr24_avx2(uint8_t* frame, const uint8_t* overlay, int32_t pixels,
                        int32_t opacity) noexcept {
  const __m256i o16 = _mm256_set1_epi16(static_cast<int16_t>(opacity * 16));  // opacity 0..256
  for (; pixels >= 16; pixels -= 16, frame += 48, overlay += 64) {
    blendBgr8(frame, overlay, o16);
    blendBgr8(frame + 24, overlay + 32, o16);
  }
  if (pixels >= 8) {
    blendBgr8(frame, overlay, o16);
    pixels -= 8;
    frame += 24;
    overlay += 32;
  }
  if (pixels > 0) blendRowBgr24_sse2(frame, overlay, pixels, opacity);
}

}  // namespace om
