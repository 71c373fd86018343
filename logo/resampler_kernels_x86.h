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

inline void readEntry(const uint8_t* entry, int32_t& offset, int32_t& taps) {
  offset = load32(entry);
  taps = load32(entry + 4);
}

// Pixels equal to the key in B, G, R become zero (A included).
inline __m128i applyKey(__m128i pixels, __m128i rgbMask, __m128i key) {
  const __m128i hit = _mm_cmpeq_epi32(_mm_and_si128(pixels, rgbMask), key);
  return _mm_andnot_si128(hit, pixels);
}

// One tap on 16-bit lanes of bytes: floor((p << 7) * q / 65536) is exactly the
// high half of the signed 16x16 product, p << 7 <= 32640 being a valid int16.
inline __m128i tapTerm(__m128i widened, __m128i weights) {
  return _mm_mulhi_epi16(_mm_slli_epi16(widened, 7), weights);
}

// Vertical sums to row-buffer values: shift by 5 with sign, clamp to 0..255,
// times 128.
inline __m128i rowValues(__m128i sum) {
  const __m128i clamped =
      _mm_min_epi16(_mm_max_epi16(_mm_srai_epi16(sum, 5), _mm_setzero_si128()), _mm_set1_epi16(255));
  return _mm_slli_epi16(clamped, 7);
}

// One vertical output pixel (4 lanes, in the low 64 bits) for the column at `first`.
inline __m128i verticalOnePixel(const uint8_t* first, ptrdiff_t rowStep, const uint8_t* weights,
                                int32_t taps, bool keyed, __m128i rgbMask, __m128i key) {
  const __m128i zero = _mm_setzero_si128();
  __m128i sum = zero;
  for (int32_t k = 0; k < taps; ++k) {
    __m128i v = _mm_cvtsi32_si128(load32(first + k * rowStep));
    if (keyed) v = applyKey(v, rgbMask, key);
    const __m128i w = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(weights + 8 * k));
    sum = _mm_add_epi16(sum, tapTerm(_mm_unpacklo_epi8(v, zero), w));
  }
  return rowValues(sum);
}

// Full-range BT.601 of four clamped pixels given as 16-bit lanes B,G,R,A
// (two pixels per register), packed to Y,Cb,Cr,A bytes. pmaddwd sums stay
// within +-32768 * 255 and the arithmetic shift by 15 is the floor division.
inline __m128i yccFourPixels(__m128i p01, __m128i p23) {
  const __m128i cy = _mm_set_epi16(0, 9798, 19235, 3735, 0, 9798, 19235, 3735);
  const __m128i cb = _mm_set_epi16(0, -5529, -10855, 16384, 0, -5529, -10855, 16384);
  const __m128i cr = _mm_set_epi16(0, 16384, -13720, -2664, 0, 16384, -13720, -2664);
  const __m128i bias = _mm_set1_epi32(128);
  // Each pmaddwd leaves two partial sums per pixel; add the even and odd ones.
  auto combine = [](__m128i a, __m128i b) {
    const __m128 fa = _mm_castsi128_ps(a), fb = _mm_castsi128_ps(b);
    const __m128i even = _mm_castps_si128(_mm_shuffle_ps(fa, fb, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i odd = _mm_castps_si128(_mm_shuffle_ps(fa, fb, _MM_SHUFFLE(3, 1, 3, 1)));
    return _mm_add_epi32(even, odd);
  };
  const __m128i y = _mm_srai_epi32(combine(_mm_madd_epi16(p01, cy), _mm_madd_epi16(p23, cy)), 15);
  const __m128i u = _mm_add_epi32(
      _mm_srai_epi32(combine(_mm_madd_epi16(p01, cb), _mm_madd_epi16(p23, cb)), 15), bias);
  const __m128i v = _mm_add_epi32(
      _mm_srai_epi32(combine(_mm_madd_epi16(p01, cr), _mm_madd_epi16(p23, cr)), 15), bias);
  // A sits in the top lane of each pixel: move it to the bottom of its qword.
  const __m128 a01 = _mm_castsi128_ps(_mm_srli_epi64(p01, 48));
  const __m128 a23 = _mm_castsi128_ps(_mm_srli_epi64(p23, 48));
  const __m128i a = _mm_castps_si128(_mm_shuffle_ps(a01, a23, _MM_SHUFFLE(2, 0, 2, 0)));
  const __m128i yu = _mm_packs_epi32(y, u);       // Y0..Y3 Cb0..Cb3
  const __m128i va = _mm_packs_epi32(v, a);       // Cr0..Cr3 A0..A3
  const __m128i t0 = _mm_unpacklo_epi16(yu, va);  // Y0 Cr0 Y1 Cr1 ...
  const __m128i t1 = _mm_unpackhi_epi16(yu, va);  // Cb0 A0 Cb1 A1 ...
  return _mm_packus_epi16(_mm_unpacklo_epi16(t0, t1), _mm_unpackhi_epi16(t0, t1));
}

// Four horizontal results (16-bit lanes after the shift by 5, two pixels per
// register) stored as 16 bytes in `layout`.
template <DestinationLayout L>
inline __m128i packFourPixels(__m128i p01, __m128i p23) {
  if (L == DestinationLayout::Bgra32BottomUp) return _mm_packus_epi16(p01, p23);
  const __m128i zero = _mm_setzero_si128();
  const __m128i max = _mm_set1_epi16(255);
  p01 = _mm_min_epi16(_mm_max_epi16(p01, zero), max);
  p23 = _mm_min_epi16(_mm_max_epi16(p23, zero), max);
  return yccFourPixels(p01, p23);
}

// One destination pixel from the next entry: its taps from row values
// (already times 128), two per 8-lane multiply, then the odd one, the halves
// folded (16-bit wrapping sums add in any order) and shifted, in the low
// 64 bits.
inline __m128i filterPixel(const int16_t* row, const uint8_t*& entry) {
  int32_t offset, taps;
  readEntry(entry, offset, taps);
  const int16_t* p = row + offset;
  const uint8_t* w = entry + 8;
  __m128i sum = _mm_setzero_si128();
  int32_t k = 0;
  for (; k + 2 <= taps; k += 2)
    sum = _mm_add_epi16(sum, _mm_mulhi_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * k)),
                                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 8 * k))));
  if (k < taps)
    sum = _mm_add_epi16(sum, _mm_mulhi_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 4 * k)),
                                             _mm_loadl_epi64(reinterpret_cast<const __m128i*>(w + 8 * k))));
  entry = w + 8 * taps;
  sum = _mm_add_epi16(sum, _mm_srli_si128(sum, 8));
  return _mm_srai_epi16(sum, 5);
}

// Drives a per-pixel horizontal filter four pixels at a time. `filter`
// returns one pixel's four shifted lanes in the low 64 bits and advances the
// entry pointer.
template <DestinationLayout L, typename Filter>
inline void horizontalRow(const int16_t* row, const uint8_t* entries, int32_t count, uint8_t* out,
                          Filter filter) {
  const uint8_t* entry = entries;
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128i r0 = filter(row, entry);
    const __m128i r1 = filter(row, entry);
    const __m128i r2 = filter(row, entry);
    const __m128i r3 = filter(row, entry);
    const __m128i packed =
        packFourPixels<L>(_mm_unpacklo_epi64(r0, r1), _mm_unpacklo_epi64(r2, r3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i), packed);
  }
  if (i < count) {
    __m128i r[4] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(),
                    _mm_setzero_si128()};
    const int32_t rest = count - i;
    for (int32_t j = 0; j < rest; ++j) r[j] = filter(row, entry);
    alignas(16) uint8_t tail[16];
    _mm_store_si128(
        reinterpret_cast<__m128i*>(tail),
        packFourPixels<L>(_mm_unpacklo_epi64(r[0], r[1]), _mm_unpacklo_epi64(r[2], r[3])));
    std::memcpy(out + 4 * i, tail, static_cast<size_t>(rest) * 4);
  }
}

}  // namespace
}  // namespace om
