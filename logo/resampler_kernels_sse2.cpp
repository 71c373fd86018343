// SSE2 pixel passes: the vertical pass four source columns (16 lanes) per
// step, the horizontal pass two taps per multiply.
#include "logo/resampler_kernels.h"

#include "logo/resampler_kernels_x86.h"

namespace om {

void resampleVertical_sse2(const uint8_t* first, ptrdiff_t rowStep, const uint8_t* weights,
                           int32_t taps, int32_t width, int16_t* row, bool keyed,
                           uint32_t keyPixel) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i rgbMask = _mm_set1_epi32(0x00FFFFFF);
  const __m128i key = _mm_set1_epi32(static_cast<int32_t>(keyPixel));
  int32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    __m128i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
    const uint8_t* p = first + 4 * x;
    for (int32_t k = 0; k < taps; ++k, p += rowStep) {
      __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
      if (keyed) {
        v0 = applyKey(v0, rgbMask, key);
        v1 = applyKey(v1, rgbMask, key);
      }
      const __m128i w = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(weights + 8 * k));
      const __m128i w2 = _mm_unpacklo_epi64(w, w);
      s0 = _mm_add_epi16(s0, tapTerm(_mm_unpacklo_epi8(v0, zero), w2));
      s1 = _mm_add_epi16(s1, tapTerm(_mm_unpackhi_epi8(v0, zero), w2));
      s2 = _mm_add_epi16(s2, tapTerm(_mm_unpacklo_epi8(v1, zero), w2));
      s3 = _mm_add_epi16(s3, tapTerm(_mm_unpackhi_epi8(v1, zero), w2));
    }
    __m128i* out = reinterpret_cast<__m128i*>(row + 4 * x);
    _mm_storeu_si128(out, rowValues(s0));
    _mm_storeu_si128(out + 1, rowValues(s1));
    _mm_storeu_si128(out + 2, rowValues(s2));
    _mm_storeu_si128(out + 3, rowValues(s3));
  }
  for (; x < width; ++x)
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row + 4 * x),
                     verticalOnePixel(first + 4 * x, rowStep, weights, taps, keyed, rgbMask, key));
}

void resampleHorizontal_sse2(const int16_t* row, const uint8_t* entries, int32_t count,
                             uint8_t* out, DestinationLayout layout) {
  auto filter = [](const int16_t* r, const uint8_t*& e) { return filterPixel(r, e); };
  if (layout == DestinationLayout::Bgra32BottomUp)
    horizontalRow<DestinationLayout::Bgra32BottomUp>(row, entries, count, out, filter);
  else
    horizontalRow<DestinationLayout::Ycc32TopDown>(row, entries, count, out, filter);
}

}  // namespace om
