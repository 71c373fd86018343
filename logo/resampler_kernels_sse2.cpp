// SSE2 pixel passes: conversion four pixels a step, the vertical pass eight
// columns per step, the horizontal pass two taps per multiply.
#include "logo/resampler_kernels.h"

#include "logo/resampler_kernels_x86.h"

namespace om {

void resampleConvert_sse2(const uint8_t* source, int32_t width, int16_t* out, bool keyed,
                          uint32_t keyPixel) {
  const __m128i rgbMask = _mm_set1_epi32(0x00FFFFFF);
  const __m128i key = _mm_set1_epi32(static_cast<int32_t>(keyPixel));
  int32_t x = 0;
  for (; x + 4 <= width; x += 4) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 4 * x));
    if (keyed) v = applyKey(v, rgbMask, key);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x), convertTwo(v, false, rgbMask, key));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x + 8),
                     convertTwo(_mm_srli_si128(v, 8), false, rgbMask, key));
  }
  for (; x < width; ++x)
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * x),
                     convertTwo(_mm_cvtsi32_si128(load32(source + 4 * x)), keyed, rgbMask, key));
}

void resampleVertical_sse2(const uint8_t* const* rows, const int16_t* weights, int32_t taps,
                           int32_t width, int16_t* out, bool keyed, uint32_t keyPixel) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i rgbMask = _mm_set1_epi32(0x00FFFFFF);
  const __m128i key = _mm_set1_epi32(static_cast<int32_t>(keyPixel));
  int32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    __m128i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
    for (int32_t k = 0; k < taps; ++k) {
      const uint8_t* p = rows[k] + 4 * x;
      __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
      if (keyed) {
        v0 = applyKey(v0, rgbMask, key);
        v1 = applyKey(v1, rgbMask, key);
      }
      const __m128i w = _mm_unpacklo_epi64(load64(weights + 4 * k), load64(weights + 4 * k));
      s0 = _mm_add_epi16(s0, tapTerm(_mm_unpacklo_epi8(v0, zero), w));
      s1 = _mm_add_epi16(s1, tapTerm(_mm_unpackhi_epi8(v0, zero), w));
      s2 = _mm_add_epi16(s2, tapTerm(_mm_unpacklo_epi8(v1, zero), w));
      s3 = _mm_add_epi16(s3, tapTerm(_mm_unpackhi_epi8(v1, zero), w));
    }
    __m128i* o = reinterpret_cast<__m128i*>(out + 4 * x);
    _mm_storeu_si128(o, rowValues(s0));
    _mm_storeu_si128(o + 1, rowValues(s1));
    _mm_storeu_si128(o + 2, rowValues(s2));
    _mm_storeu_si128(o + 3, rowValues(s3));
  }
  verticalColumns(rows, weights, taps, x, width, out, keyed, keyPixel);
}

void resampleVerticalConverted_sse2(const int16_t* const* rows, const int16_t* weights,
                                    int32_t taps, int32_t width, int16_t* out) {
  int32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    __m128i s0 = _mm_setzero_si128(), s1 = s0, s2 = s0, s3 = s0;
    for (int32_t k = 0; k < taps; ++k) {
      const int16_t* p = rows[k] + 4 * x;
      const __m128i w = _mm_unpacklo_epi64(load64(weights + 4 * k), load64(weights + 4 * k));
      s0 = _mm_add_epi16(s0, _mm_mulhi_epi16(load128(p), w));
      s1 = _mm_add_epi16(s1, _mm_mulhi_epi16(load128(p + 8), w));
      s2 = _mm_add_epi16(s2, _mm_mulhi_epi16(load128(p + 16), w));
      s3 = _mm_add_epi16(s3, _mm_mulhi_epi16(load128(p + 24), w));
    }
    __m128i* o = reinterpret_cast<__m128i*>(out + 4 * x);
    _mm_storeu_si128(o, rowValues(s0));
    _mm_storeu_si128(o + 1, rowValues(s1));
    _mm_storeu_si128(o + 2, rowValues(s2));
    _mm_storeu_si128(o + 3, rowValues(s3));
  }
  verticalConvertedColumns(rows, weights, taps, x, width, out);
}

void resampleHorizontal_sse2(const int16_t* row, const int32_t* offsets, const int16_t* weights,
                             int32_t taps, int32_t count, uint8_t* out, DestinationLayout layout,
                             const YccCoefficients& ycc) {
  horizontalAnyLayout(row, offsets, weights, taps, count, out, layout, ycc);
}

}  // namespace om
