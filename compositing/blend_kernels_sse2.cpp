// SSE2 row kernels of the overlay blend; byte-identical to blend_kernels_c.cpp.
//
// Fixed point: weights a and opacity o (0..256) and sample differences are
// kept in 16-bit lanes multiplied by 16 (|value| <= 4096), so the high half
// of their 32-bit product, (x*16 * y*16) >> 16, is exactly floor(x*y / 256).
// Helpers stay in an anonymous namespace so no inline function compiled with
// these instruction flags can be picked by the linker for another file.
#include <emmintrin.h>

#include <cstring>

#include "compositing/blend_kernels.h"
#include "compositing/blend_prefetch.h"

namespace om {

namespace {

inline __m128i load128(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// a * 16 from weights W in 16- or 32-bit lanes: (W + (W >> 7)) * 16, 0..4096.
inline __m128i scaledWeight16(__m128i w) {
  return _mm_slli_epi16(_mm_add_epi16(w, _mm_srli_epi16(w, 7)), 4);
}

// Samples without bias, 16-bit lanes: d + floor(o*(s - floor(a*d/256))/256),
// -255..510 (saturated by the caller's pack).
inline __m128i blendNoBias(__m128i d, __m128i s, __m128i a16, __m128i o16) {
  const __m128i m = _mm_mulhi_epi16(a16, _mm_slli_epi16(d, 4));           // 0..255
  const __m128i diff16 = _mm_slli_epi16(_mm_sub_epi16(s, m), 4);          // +-255 * 16
  return _mm_add_epi16(d, _mm_mulhi_epi16(o16, diff16));
}

// Chroma centred on 128: m - 128 = floor(a*(d - 128)/256) lies in -128..127.
inline __m128i blendChroma(__m128i d, __m128i s, __m128i a16, __m128i o16) {
  const __m128i bias = _mm_set1_epi16(128);
  const __m128i mCentred = _mm_mulhi_epi16(a16, _mm_slli_epi16(_mm_sub_epi16(d, bias), 4));
  const __m128i diff16 =
      _mm_slli_epi16(_mm_sub_epi16(_mm_sub_epi16(s, bias), mCentred), 4);  // +-255 * 16
  return _mm_add_epi16(d, _mm_mulhi_epi16(o16, diff16));
}

// Four whole pairs: 16 frame bytes Y0 Cb Y1 Cr, 32 overlay bytes P Q P Q ...
inline void blendPairs4(uint8_t* frame, const uint8_t* overlay, __m128i o16) {
  const __m128i lowByte = _mm_set1_epi32(0xFF);
  const __m128i f = load128(frame);
  const __m128i v0 = _mm_shuffle_epi32(load128(overlay), _MM_SHUFFLE(3, 1, 2, 0));
  const __m128i v1 = _mm_shuffle_epi32(load128(overlay + 16), _MM_SHUFFLE(3, 1, 2, 0));
  const __m128i p = _mm_unpacklo_epi64(v0, v1);  // even pixels of pairs 0..3: Y Cb Cr W
  const __m128i q = _mm_unpackhi_epi64(v0, v1);  // odd pixels

  // 16-bit lanes in frame order: luma Y0, Y1 and chroma Cb, Cr of each pair.
  const __m128i dY = _mm_and_si128(f, _mm_set1_epi16(0xFF));
  const __m128i dC = _mm_srli_epi16(f, 8);
  const __m128i sY =
      _mm_or_si128(_mm_and_si128(p, lowByte), _mm_slli_epi32(_mm_and_si128(q, lowByte), 16));
  const __m128i wP = _mm_srli_epi32(p, 24);
  const __m128i wQ = _mm_srli_epi32(q, 24);
  const __m128i aY = scaledWeight16(_mm_or_si128(wP, _mm_slli_epi32(wQ, 16)));
  // Both chroma samples take the even pixel's weight.
  const __m128i aC = scaledWeight16(_mm_or_si128(wP, _mm_slli_epi32(wP, 16)));
  const __m128i avg = _mm_avg_epu8(p, q);  // (p + q + 1) >> 1 per byte
  const __m128i sC = _mm_or_si128(_mm_and_si128(_mm_srli_epi32(avg, 8), lowByte),
                                  _mm_and_si128(avg, _mm_set1_epi32(0x00FF0000)));

  const __m128i rY = blendNoBias(dY, sY, aY, o16);
  const __m128i rC = blendChroma(dC, sC, aC, o16);
  const __m128i packed = _mm_packus_epi16(rY, rC);  // 8 luma bytes, then 8 chroma bytes
  _mm_storeu_si128(reinterpret_cast<__m128i*>(frame),
                   _mm_unpacklo_epi8(packed, _mm_srli_si128(packed, 8)));
}

// Four pixels: 12 frame bytes B G R, 16 overlay bytes B G R W. Reads and
// writes exactly the 12 frame bytes.
inline void blendBgr4(uint8_t* frame, const uint8_t* overlay, __m128i o16) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i firstOfTwo = _mm_set1_epi64x(0x0000000000FFFFFFLL);
  const __m128i secondOfTwo = _mm_set1_epi64x(0x00FFFFFF00000000LL);
  const __m128i packedSecond = _mm_set1_epi64x(0x0000FFFFFF000000LL);

  // Two triplets per 64-bit half, then one pixel per 32-bit lane.
  const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(frame));
  const __m128i hi =
      _mm_srli_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(frame + 4)), 16);
  const __m128i halves = _mm_unpacklo_epi64(lo, hi);
  const __m128i d = _mm_or_si128(_mm_and_si128(halves, firstOfTwo),
                                 _mm_and_si128(_mm_slli_epi64(halves, 8), secondOfTwo));

  const __m128i v = load128(overlay);
  const __m128i w = _mm_srli_epi32(v, 24);
  const __m128i a16 = scaledWeight16(w);  // fits the low 16 bits of each lane
  const __m128i a16Twice = _mm_or_si128(a16, _mm_slli_epi32(a16, 16));
  const __m128i rLo = blendNoBias(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(v, zero),
                                  _mm_unpacklo_epi32(a16Twice, a16Twice), o16);
  const __m128i rHi = blendNoBias(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(v, zero),
                                  _mm_unpackhi_epi32(a16Twice, a16Twice), o16);
  const __m128i r = _mm_packus_epi16(rLo, rHi);  // B G R and a spare byte per lane

  // Six bytes per 64-bit half, then the 12 bytes contiguous.
  const __m128i six = _mm_or_si128(_mm_and_si128(r, firstOfTwo),
                                   _mm_and_si128(_mm_srli_epi64(r, 8), packedSecond));
  const __m128i out = _mm_or_si128(_mm_move_epi64(six), _mm_slli_si128(_mm_srli_si128(six, 8), 6));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(frame), out);
  const int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(out, 8));
  std::memcpy(frame + 8, &last, 4);
}

}  // namespace

void blendRowYuv422_sse2(uint8_t* frame, const uint8_t* overlay, int32_t pixels, PairStart start,
                         int32_t opacity) noexcept {
  if (pixels <= 0) return;
  if (start == PairStart::Odd) {
    blendRowYuv422_c(frame, overlay, 1, PairStart::Odd, opacity);
    frame += 4;
    overlay += 4;
    --pixels;
  }
  const __m128i o16 = _mm_set1_epi16(static_cast<int16_t>(opacity * 16));  // opacity 0..256
  for (; pixels >= 16; pixels -= 16, frame += 32, overlay += 64) {
    prefetchAhead(frame, overlay, 1);
    blendPairs4(frame, overlay, o16);
    blendPairs4(frame + 16, overlay + 32, o16);
  }
  if (pixels >= 8) {
    blendPairs4(frame, overlay, o16);
    pixels -= 8;
    frame += 16;
    overlay += 32;
  }
  if (pixels > 0) blendRowYuv422_c(frame, overlay, pixels, PairStart::Even, opacity);
}

void blendRowBgr24_sse2(uint8_t* frame, const uint8_t* overlay, int32_t pixels,
                        int32_t opacity) noexcept {
  const __m128i o16 = _mm_set1_epi16(static_cast<int16_t>(opacity * 16));  // opacity 0..256
  for (; pixels >= 8; pixels -= 8, frame += 24, overlay += 32) {
    if ((pixels & 8) == 0) prefetchAhead(frame, overlay, 1);  // one line per two steps
    blendBgr4(frame, overlay, o16);
    blendBgr4(frame + 12, overlay + 16, o16);
  }
  if (pixels >= 4) {
    blendBgr4(frame, overlay, o16);
    pixels -= 4;
    frame += 12;
    overlay += 16;
  }
  if (pixels > 0) blendRowBgr24_c(frame, overlay, pixels, opacity);
}

}  // namespace om
