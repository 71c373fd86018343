

// AVX2 row kernels of the overlay blend; byte-identical to blend_kernels_c.cpp.
//
// Fixed point in 16-bit lanes: o and sample differences times 16 (|value| <=
// 4096), so the high half of their product is floor(o*diff / 256); a times
// a frame byte placed in the high byte gives floor(a*d / 256) the same way.
// No lane-crossing permutes: they are slow on some AVX2 processors, and
// 128-bit loads into each half do the job. Byte shuffles are per 128-bit
// lane, so every table below repeats per lane. Helpers stay in an anonymous namespace so no inline
// function compiled with these instruction flags leaks to another file.
#include <immintrin.h>

#include "compositing/blend_kernels.h"
#include "compositing/blend_prefetch.h"

namespace om {

namespace {

inline __m128i load128(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline __m256i load256(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Sixteen pixels: 32 frame bytes (pairs 0..7), 64 overlay bytes. Luma and
// chroma go through separate vectors, each 16-bit lane k holding pixel k's
// sample (chroma: Cb for even k, Cr for odd k), lanes 0..7 | 8..15 like the
// frame's own 128-bit halves, so the frame needs no unpacking.
inline void blendPixels16(uint8_t* frame, const uint8_t* overlay, __m256i o16) {
  // Y of four pixels into 16-bit lanes 0..3, their W into lanes 4..7.
  const __m256i lumaWeight = _mm256_setr_epi8(
      0, -1, 4, -1, 8, -1, 12, -1, 3, -1, 7, -1, 11, -1, 15, -1,
      0, -1, 4, -1, 8, -1, 12, -1, 3, -1, 7, -1, 11, -1, 15, -1);
  // Cb, Cr of the two even pixels into lanes 0..3, of the odd ones into 4..7.
  const __m256i chroma = _mm256_setr_epi8(
      1, -1, 2, -1, 9, -1, 10, -1, 5, -1, 6, -1, 13, -1, 14, -1,
      1, -1, 2, -1, 9, -1, 10, -1, 5, -1, 6, -1, 13, -1, 14, -1);
  // Chroma lanes 2j and 2j + 1 take the weight of the pair's even pixel 2j.
  const __m256i evenWeight = _mm256_setr_epi8(
      0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13,
      0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13);
  // Eight luma bytes then eight chroma bytes per lane, back to Y C Y C.
  const __m256i interleave = _mm256_setr_epi8(
      0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15,
      0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15);
  const __m256i lowByte = _mm256_set1_epi16(0x00FF);
  const __m256i highByte = _mm256_set1_epi16(static_cast<int16_t>(0xFF00));
  const __m256i signBit = _mm256_set1_epi16(static_cast<int16_t>(0x8000));
  const __m256i bias = _mm256_set1_epi16(128);

  // Pixels 0..3 | 8..11 and 4..7 | 12..15: lane for lane with the frame.
  const __m256i a = _mm256_inserti128_si256(_mm256_castsi128_si256(load128(overlay)),
                                            load128(overlay + 32), 1);
  const __m256i b = _mm256_inserti128_si256(_mm256_castsi128_si256(load128(overlay + 16)),
                                            load128(overlay + 48), 1);
  const __m256i f = load256(frame);

  const __m256i yA = _mm256_shuffle_epi8(a, lumaWeight);
  const __m256i yB = _mm256_shuffle_epi8(b, lumaWeight);
  const __m256i sY = _mm256_unpacklo_epi64(yA, yB);
  const __m256i w = _mm256_unpackhi_epi64(yA, yB);
  const __m256i cA = _mm256_shuffle_epi8(a, chroma);
  const __m256i cB = _mm256_shuffle_epi8(b, chroma);
  const __m256i sC =  // (p + q + 1) >> 1
      _mm256_avg_epu16(_mm256_unpacklo_epi64(cA, cB), _mm256_unpackhi_epi64(cA, cB));
  const __m256i aY = _mm256_add_epi16(w, _mm256_srli_epi16(w, 7));  // 0..256
  const __m256i aC = _mm256_shuffle_epi8(aY, evenWeight);

  // Luma: the unsigned high half of a * (d * 256) is floor(a*d / 256).
  const __m256i mY = _mm256_mulhi_epu16(aY, _mm256_slli_epi16(f, 8));
  const __m256i diffY16 = _mm256_slli_epi16(_mm256_sub_epi16(sY, mY), 4);  // +-255 * 16
  const __m256i rY = _mm256_add_epi16(_mm256_and_si256(f, lowByte),
                                      _mm256_mulhi_epi16(o16, diffY16));
  // Chroma: (d - 128) * 256 is the high byte with its top bit flipped, so
  // the signed high half gives m - 128 = floor(a*(d - 128) / 256).
  const __m256i mCentred =
      _mm256_mulhi_epi16(aC, _mm256_xor_si256(_mm256_and_si256(f, highByte), signBit));
  const __m256i diffC16 =
      _mm256_slli_epi16(_mm256_sub_epi16(_mm256_sub_epi16(sC, bias), mCentred), 4);
  const __m256i rC = _mm256_add_epi16(_mm256_srli_epi16(f, 8), _mm256_mulhi_epi16(o16, diffC16));

  const __m256i packed = _mm256_packus_epi16(rY, rC);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(frame), _mm256_shuffle_epi8(packed, interleave));
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
// writes exactly the 24 frame bytes. Each overlay pixel's 32-bit lane splits
// into two vectors of 16-bit lanes, (B, R) and (G, W), by a mask and a
// shift; the frame bytes are spread to match and one weight vector serves
// both.
inline void blendBgr8(uint8_t* frame, const uint8_t* overlay, __m256i o16) {
  // Lane 0 holds frame bytes 0..15 (pixels 0..3 from byte 0), lane 1 bytes
  // 8..23 (pixels 4..7 from byte 4); each frame byte goes to the high byte
  // of its 16-bit lane.
  const __m256i spreadBR = _mm256_setr_epi8(
      -1, 0, -1, 2, -1, 3, -1, 5, -1, 6, -1, 8, -1, 9, -1, 11,
      -1, 4, -1, 6, -1, 7, -1, 9, -1, 10, -1, 12, -1, 13, -1, 15);
  const __m256i spreadG = _mm256_setr_epi8(
      -1, 1, -1, -1, -1, 4, -1, -1, -1, 7, -1, -1, -1, 10, -1, -1,
      -1, 5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1, 14, -1, -1);
  // Each pixel's W into the high byte of both its 16-bit lanes.
  const __m256i weight = _mm256_setr_epi8(
      -1, 3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15,
      -1, 3, -1, 3, -1, 7, -1, 7, -1, 11, -1, 11, -1, 15, -1, 15);
  // The packed bytes are B R B R B R B R G . G . G . G . per lane. Lane 0
  // gives output bytes 0..11; lane 1 gives bytes 16..23 in its low half and
  // bytes 12..15 in its top dword.
  const __m256i gather = _mm256_setr_epi8(
      0, 8, 1, 2, 10, 3, 4, 12, 5, 6, 14, 7, -1, -1, -1, -1,
      10, 3, 4, 12, 5, 6, 14, 7, -1, -1, -1, -1, 0, 8, 1, 2);
  // The high half of W * 256 * 258 is floor(258 W / 256) = W + (W >> 7).
  const __m256i k258 = _mm256_set1_epi16(258);
  const __m256i lowBytes = _mm256_set1_epi16(0x00FF);

  const __m256i halves =
      _mm256_inserti128_si256(_mm256_castsi128_si256(load128(frame)), load128(frame + 8), 1);
  const __m256i v = load256(overlay);
  const __m256i a = _mm256_mulhi_epu16(_mm256_shuffle_epi8(v, weight), k258);  // 0..256
  const __m256i rBR = blendFromHighBytes(_mm256_shuffle_epi8(halves, spreadBR),
                                         _mm256_and_si256(v, lowBytes), a, o16);
  const __m256i rG = blendFromHighBytes(_mm256_shuffle_epi8(halves, spreadG),
                                        _mm256_srli_epi16(v, 8), a, o16);
  const __m256i t = _mm256_shuffle_epi8(_mm256_packus_epi16(rBR, rG), gather);
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
    prefetchAhead(frame, overlay, 2);
    blendPixels16(frame, overlay, o16);
    blendPixels16(frame + 32, overlay + 64, o16);
  }
  if (pixels >= 16) {
    blendPixels16(frame, overlay, o16);
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
    prefetchAhead(frame, overlay, 1);
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
