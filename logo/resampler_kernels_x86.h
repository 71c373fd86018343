// SSE2 building blocks shared by the SSE2 and AVX2 pass files. Included only
// by *_sse2.cpp / *_avx2.cpp; everything is file-local so each includer gets
// code for its own instruction set.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "logo/resampler.h"

namespace om {
namespace {

inline int32_t load32(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Pixels equal to the key in B, G, R become zero (A included).
inline __m128i applyKey(__m128i pixels, __m128i rgbMask, __m128i key) {
  const __m128i hit = _mm_cmpeq_epi32(_mm_and_si128(pixels, rgbMask), key);
  return _mm_andnot_si128(hit, pixels);
}

// A coefficient set as pmaddwd operands, one pixel per 32-bit lane: pairs
// for (B, G) and for (R, a), a's coefficient being the offset for Y and 0
// for chroma.
struct YccVectors {
  __m128i yBG, yRA, cbBG, cbRA, crBG, crRA;
};

inline __m128i coefficientPair(int16_t low, int16_t high) {
  return _mm_set_epi16(high, low, high, low, high, low, high, low);
}

inline YccVectors yccVectors(const YccCoefficients& c) {
  return {coefficientPair(c.y[0], c.y[1]),  coefficientPair(c.y[2], c.offset),
          coefficientPair(c.cb[0], c.cb[1]), coefficientPair(c.cb[2], 0),
          coefficientPair(c.cr[0], c.cr[1]), coefficientPair(c.cr[2], 0)};
}

// Y Cb Cr of four clamped pixels given as 16-bit lanes B,G,R,A (two pixels
// per register), packed to Y,Cb,Cr,A bytes. With B, G, R in 0..255 and
// a = A + (A >> 7) in 0..256, every sum stays within 4 * 32768 * 256 for any
// int16 coefficients, so pmaddwd cannot wrap and the arithmetic shift by 15
// is the floor division.
inline __m128i yccFourPixels(__m128i p01, __m128i p23, const YccVectors& c) {
  const __m128 f01 = _mm_castsi128_ps(p01), f23 = _mm_castsi128_ps(p23);
  const __m128i bg = _mm_castps_si128(_mm_shuffle_ps(f01, f23, _MM_SHUFFLE(2, 0, 2, 0)));
  const __m128i ra = _mm_castps_si128(_mm_shuffle_ps(f01, f23, _MM_SHUFFLE(3, 1, 3, 1)));
  const __m128i alpha = _mm_srli_epi32(ra, 16);
  // A >> 7 is bit 23 of its lane: added at bit 16, A becomes a.
  const __m128i rw = _mm_add_epi32(ra, _mm_slli_epi32(_mm_srli_epi32(ra, 23), 16));
  auto floorSum = [&](__m128i cBG, __m128i cRA) {
    return _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(bg, cBG), _mm_madd_epi16(rw, cRA)), 15);
  };
  const __m128i bias = _mm_set1_epi32(128);
  const __m128i y = floorSum(c.yBG, c.yRA);
  const __m128i u = _mm_add_epi32(floorSum(c.cbBG, c.cbRA), bias);
  const __m128i v = _mm_add_epi32(floorSum(c.crBG, c.crRA), bias);
  const __m128i yu = _mm_packs_epi32(y, u);       // Y0..Y3 Cb0..Cb3
  const __m128i va = _mm_packs_epi32(v, alpha);   // Cr0..Cr3 A0..A3
  const __m128i t0 = _mm_unpacklo_epi16(yu, va);  // Y0 Cr0 Y1 Cr1 ...
  const __m128i t1 = _mm_unpackhi_epi16(yu, va);  // Cb0 A0 Cb1 A1 ...
  return _mm_packus_epi16(_mm_unpacklo_epi16(t0, t1), _mm_unpackhi_epi16(t0, t1));
}

// Four horizontal results (16-bit lanes after the shift by 5, two pixels per
// register) stored as 16 bytes in `layout`.
template <DestinationLayout L>
inline __m128i packFourPixels(__m128i p01, __m128i p23, const YccVectors& ycc) {
  if (L == DestinationLayout::Bgra32BottomUp) return _mm_packus_epi16(p01, p23);
  const __m128i zero = _mm_setzero_si128();
  const __m128i max = _mm_set1_epi16(255);
  p01 = _mm_min_epi16(_mm_max_epi16(p01, zero), max);
  p23 = _mm_min_epi16(_mm_max_epi16(p23, zero), max);
  return yccFourPixels(p01, p23, ycc);
}

inline __m128i load128(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i load64(const int16_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }

// Two source pixels (the low 8 bytes) to row values: times 128, keyed.
inline __m128i convertTwo(__m128i pixels, bool keyed, __m128i rgbMask, __m128i key) {
  if (keyed) pixels = applyKey(pixels, rgbMask, key);
  return _mm_slli_epi16(_mm_unpacklo_epi8(pixels, _mm_setzero_si128()), 7);
}

// Vertical sums to row values: shift by 5 with sign, clamp to 0..255, times 128.
inline __m128i rowValues(__m128i sum) {
  const __m128i clamped =
      _mm_min_epi16(_mm_max_epi16(_mm_srai_epi16(sum, 5), _mm_setzero_si128()), _mm_set1_epi16(255));
  return _mm_slli_epi16(clamped, 7);
}


// One tap on 16-bit lanes of bytes: floor((p << 7) * q / 65536) is exactly the
// high half of the signed 16x16 product, p << 7 <= 32640 being a valid int16.
inline __m128i tapTerm(__m128i widened, __m128i weights) {
  return _mm_mulhi_epi16(_mm_slli_epi16(widened, 7), weights);
}

// The vertical pass for columns from..width, one at a time.
inline void verticalColumns(const uint8_t* const* rows, const int16_t* weights, int32_t taps,
                            int32_t from, int32_t width, int16_t* out, bool keyed,
                            uint32_t keyPixel) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i rgbMask = _mm_set1_epi32(0x00FFFFFF);
  const __m128i key = _mm_set1_epi32(static_cast<int32_t>(keyPixel));
  for (int32_t x = from; x < width; ++x) {
    __m128i sum = zero;
    for (int32_t k = 0; k < taps; ++k) {
      __m128i v = _mm_cvtsi32_si128(load32(rows[k] + 4 * x));
      if (keyed) v = applyKey(v, rgbMask, key);
      sum = _mm_add_epi16(sum, tapTerm(_mm_unpacklo_epi8(v, zero), load64(weights + 4 * k)));
    }
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * x), rowValues(sum));
  }
}

// The vertical pass over converted rows for columns from..width, two at a
// time, then one.
inline void verticalConvertedColumns(const int16_t* const* rows, const int16_t* weights,
                                     int32_t taps, int32_t from, int32_t width, int16_t* out) {
  int32_t x = from;
  for (; x + 2 <= width; x += 2) {
    __m128i sum = _mm_setzero_si128();
    for (int32_t k = 0; k < taps; ++k) {
      const __m128i w = load64(weights + 4 * k);
      sum = _mm_add_epi16(sum, _mm_mulhi_epi16(load128(rows[k] + 4 * x), _mm_unpacklo_epi64(w, w)));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x), rowValues(sum));
  }
  if (x < width) {
    __m128i sum = _mm_setzero_si128();
    for (int32_t k = 0; k < taps; ++k)
      sum = _mm_add_epi16(sum, _mm_mulhi_epi16(load64(rows[k] + 4 * x), load64(weights + 4 * k)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * x), rowValues(sum));
  }
}

// One destination pixel's taps, two per 8-lane multiply, then the odd one:
// partial sums in 8 lanes, to be folded (16-bit wrapping sums add in any order).
// Unrolled for every count: left rolled, the short loop's speed swung by up
// to a quarter with where the linker happened to place it.
template <int T>
inline __m128i filterTaps(const int16_t* p, const int16_t* w) {
  __m128i sum = _mm_setzero_si128();
#pragma GCC unroll 16
  for (int k = 0; k + 2 <= T; k += 2)
    sum = _mm_add_epi16(sum, _mm_mulhi_epi16(load128(p + 4 * k), load128(w + 4 * k)));
  if (T & 1) sum = _mm_add_epi16(sum, _mm_mulhi_epi16(load64(p + 4 * (T - 1)), load64(w + 4 * (T - 1))));
  return sum;
}

inline __m128i filterTapsAnyCount(const int16_t* p, const int16_t* w, int32_t taps) {
  __m128i sum = _mm_setzero_si128();
  int32_t k = 0;
  for (; k + 2 <= taps; k += 2)
    sum = _mm_add_epi16(sum, _mm_mulhi_epi16(load128(p + 4 * k), load128(w + 4 * k)));
  if (k < taps) sum = _mm_add_epi16(sum, _mm_mulhi_epi16(load64(p + 4 * k), load64(w + 4 * k)));
  return sum;
}

// Two pixels' partial sums folded into one register [first, second],
// shifted by 5.
inline __m128i foldPair(__m128i a, __m128i b) {
  return _mm_srai_epi16(_mm_add_epi16(_mm_unpacklo_epi64(a, b), _mm_unpackhi_epi64(a, b)), 5);
}

// `count` pixels of one tap count, four at a time. `filter(p, w)` gives one
// pixel's partial sums.
template <DestinationLayout L, typename Filter>
inline void horizontalPixels(const int16_t* row, const int32_t* offsets, const int16_t* weights,
                             int32_t taps, int32_t count, uint8_t* out, const YccVectors& ycc,
                             Filter filter) {
  // A local copy stays in registers: the stores through `out` may alias `ycc`.
  const YccVectors c = ycc;
  const ptrdiff_t stride = 4 * static_cast<ptrdiff_t>(taps);
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const int16_t* w = weights + stride * i;
    const __m128i s0 = filter(row + offsets[i], w);
    const __m128i s1 = filter(row + offsets[i + 1], w + stride);
    const __m128i s2 = filter(row + offsets[i + 2], w + 2 * stride);
    const __m128i s3 = filter(row + offsets[i + 3], w + 3 * stride);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i),
                     packFourPixels<L>(foldPair(s0, s1), foldPair(s2, s3), c));
  }
  if (i < count) {
    __m128i s[4] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(),
                    _mm_setzero_si128()};
    for (int32_t j = 0; i + j < count; ++j) s[j] = filter(row + offsets[i + j], weights + stride * (i + j));
    alignas(16) uint8_t tail[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(tail),
                    packFourPixels<L>(foldPair(s[0], s[1]), foldPair(s[2], s[3]), c));
    std::memcpy(out + 4 * i, tail, static_cast<size_t>(count - i) * 4);
  }
}

// The tap counts of a table repeat, so each common count gets loops the
// compiler unrolls; one jump per run of pixels picks them.
template <DestinationLayout L>
inline void horizontalRun(const int16_t* row, const int32_t* offsets, const int16_t* weights,
                          int32_t taps, int32_t count, uint8_t* out, const YccVectors& ycc) {
  switch (taps) {
#define OM_TAP_COUNT(n)                                                                          \
  case n:                                                                                        \
    horizontalPixels<L>(row, offsets, weights, taps, count, out, ycc,                            \
                        [](const int16_t* p, const int16_t* w) { return filterTaps<n>(p, w); }); \
    return;
    OM_TAP_COUNT(1) OM_TAP_COUNT(2) OM_TAP_COUNT(3) OM_TAP_COUNT(4) OM_TAP_COUNT(5)
    OM_TAP_COUNT(6) OM_TAP_COUNT(7) OM_TAP_COUNT(8) OM_TAP_COUNT(9) OM_TAP_COUNT(10)
    OM_TAP_COUNT(11) OM_TAP_COUNT(12) OM_TAP_COUNT(13) OM_TAP_COUNT(14) OM_TAP_COUNT(15)
    OM_TAP_COUNT(16) OM_TAP_COUNT(17) OM_TAP_COUNT(18) OM_TAP_COUNT(19) OM_TAP_COUNT(20)
    OM_TAP_COUNT(21) OM_TAP_COUNT(22) OM_TAP_COUNT(23) OM_TAP_COUNT(24)
#undef OM_TAP_COUNT
    default:
      horizontalPixels<L>(row, offsets, weights, taps, count, out, ycc,
                          [taps](const int16_t* p, const int16_t* w) {
                            return filterTapsAnyCount(p, w, taps);
                          });
  }
}

// The coefficient vectors are built once per call (one destination row).
inline void horizontalAnyLayout(const int16_t* row, const int32_t* offsets, const int16_t* weights,
                                int32_t taps, int32_t count, uint8_t* out, DestinationLayout layout,
                                const YccCoefficients& ycc) {
  if (layout == DestinationLayout::Bgra32BottomUp)
    horizontalRun<DestinationLayout::Bgra32BottomUp>(row, offsets, weights, taps, count, out,
                                                     YccVectors{});
  else
    horizontalRun<DestinationLayout::Ycc32TopDown>(row, offsets, weights, taps, count, out,
                                                   yccVectors(ycc));
}

}  // namespace
}  // namespace om
