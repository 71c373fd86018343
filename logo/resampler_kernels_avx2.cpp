// AVX2 pixel passes: conversion four pixels a step, the vertical pass
// sixteen columns per step; the horizontal pass is the SSE2 one
// compiled for AVX2 (one gathered run of taps per pixel gains nothing from
// wider registers). Same arithmetic as the reference.
#include "logo/resampler_kernels.h"

#include <immintrin.h>

#include "logo/resampler_kernels_x86.h"

namespace om {

namespace {

inline __m256i applyKey256(__m256i pixels, __m256i rgbMask, __m256i key) {
  const __m256i hit = _mm256_cmpeq_epi32(_mm256_and_si256(pixels, rgbMask), key);
  return _mm256_andnot_si256(hit, pixels);
}

inline __m256i tapTerm256(__m256i widened, __m256i weights) {
  return _mm256_mulhi_epi16(_mm256_slli_epi16(widened, 7), weights);
}

inline __m256i load256(const int16_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

inline __m256i rowValues256(__m256i sum) {
  const __m256i clamped = _mm256_min_epi16(
      _mm256_max_epi16(_mm256_srai_epi16(sum, 5), _mm256_setzero_si256()), _mm256_set1_epi16(255));
  return _mm256_slli_epi16(clamped, 7);
}

// The in-lane unpacking put pixels 0,1 | 4,5 in `lo` and 2,3 | 6,7 in `hi`:
// two stores of 32 bytes put the eight pixels back in order.
inline void storeRow(int16_t* row, __m256i lo, __m256i hi) {
  const __m256i a = rowValues256(lo), b = rowValues256(hi);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(row), _mm256_permute2x128_si256(a, b, 0x20));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + 16), _mm256_permute2x128_si256(a, b, 0x31));
}

}  // namespace

void resampleConvert_avx2(const uint8_t* source, int32_t width, int16_t* out, bool keyed,
                          uint32_t keyPixel) {
  const __m128i rgbMask = _mm_set1_epi32(0x00FFFFFF);
  const __m128i key = _mm_set1_epi32(static_cast<int32_t>(keyPixel));
  int32_t x = 0;
  for (; x + 4 <= width; x += 4) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * x));
    if (keyed) v = applyKey(v, rgbMask, key);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x),
                        _mm256_slli_epi16(_mm256_cvtepu8_epi16(v), 7));
  }
  for (; x < width; ++x)
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * x),
                     convertTwo(_mm_cvtsi32_si128(load32(source + 4 * x)), keyed, rgbMask, key));
}

void resampleVertical_avx2(const uint8_t* const* rows, const int16_t* weights, int32_t taps,
                           int32_t width, int16_t* out, bool keyed, uint32_t keyPixel) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i rgbMask = _mm256_set1_epi32(0x00FFFFFF);
  const __m256i key = _mm256_set1_epi32(static_cast<int32_t>(keyPixel));
  int32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    __m256i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
    for (int32_t k = 0; k < taps; ++k) {
      const uint8_t* p = rows[k] + 4 * x;
      __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
      __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
      if (keyed) {
        v0 = applyKey256(v0, rgbMask, key);
        v1 = applyKey256(v1, rgbMask, key);
      }
      int64_t w64;
      std::memcpy(&w64, weights + 4 * k, 8);
      const __m256i w = _mm256_set1_epi64x(w64);
      s0 = _mm256_add_epi16(s0, tapTerm256(_mm256_unpacklo_epi8(v0, zero), w));
      s1 = _mm256_add_epi16(s1, tapTerm256(_mm256_unpackhi_epi8(v0, zero), w));
      s2 = _mm256_add_epi16(s2, tapTerm256(_mm256_unpacklo_epi8(v1, zero), w));
      s3 = _mm256_add_epi16(s3, tapTerm256(_mm256_unpackhi_epi8(v1, zero), w));
    }
    storeRow(out + 4 * x, s0, s1);
    storeRow(out + 4 * x + 32, s2, s3);
  }
  verticalColumns(rows, weights, taps, x, width, out, keyed, keyPixel);
}

void resampleVerticalConverted_avx2(const int16_t* const* rows, const int16_t* weights,
                                    int32_t taps, int32_t width, int16_t* out) {
  int32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    __m256i s0 = _mm256_setzero_si256(), s1 = s0, s2 = s0, s3 = s0;
    for (int32_t k = 0; k < taps; ++k) {
      const int16_t* p = rows[k] + 4 * x;
      int64_t w64;
      std::memcpy(&w64, weights + 4 * k, 8);
      const __m256i w = _mm256_set1_epi64x(w64);
      s0 = _mm256_add_epi16(s0, _mm256_mulhi_epi16(load256(p), w));
      s1 = _mm256_add_epi16(s1, _mm256_mulhi_epi16(load256(p + 16), w));
      s2 = _mm256_add_epi16(s2, _mm256_mulhi_epi16(load256(p + 32), w));
      s3 = _mm256_add_epi16(s3, _mm256_mulhi_epi16(load256(p + 48), w));
    }
    __m256i* o = reinterpret_cast<__m256i*>(out + 4 * x);
    _mm256_storeu_si256(o, rowValues256(s0));
    _mm256_storeu_si256(o + 1, rowValues256(s1));
    _mm256_storeu_si256(o + 2, rowValues256(s2));
    _mm256_storeu_si256(o + 3, rowValues256(s3));
  }
  verticalConvertedColumns(rows, weights, taps, x, width, out);
}

void resampleHorizontal_avx2(const int16_t* row, const int32_t* offsets, const int16_t* weights,
                             int32_t taps, int32_t count, uint8_t* out, DestinationLayout layout,
                             const YccCoefficients& ycc) {
  horizontalAnyLayout(row, offsets, weights, taps, count, out, layout, ycc);
}

}  // namespace om
