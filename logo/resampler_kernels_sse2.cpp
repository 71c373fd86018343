// SSE2 pixel passes: the vertical pass four source columns (16 lanes) per
// step, the horizontal pass two taps per multiply.
#include "logo/resampler_kernels.h"

#include "logo/resampler_kernels_x86.h"

namespace om {

void resampleVertical_sse2(const uint8_t* first, ptrdiff_t rowStep, const uint8_t* weights, int32_t taps,
                  int32_t width, uint8_t* out, bool keyed, uint32_t keyPixel) {
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
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x),
                     _mm_packus_epi16(_mm_srai_epi16(s0, 5), _mm_srai_epi16(s1, 5)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * x + 16),
                     _mm_packus_epi16(_mm_srai_epi16(s2, 5), _mm_srai_epi16(s3, 5)));
  }
  for (; x < width; ++x) {
    const int32_t px = _mm_cvtsi128_si32(
        verticalOnePixel(first + 4 * x, rowStep, weights, taps, keyed, rgbMask, key));
    std::memcpy(out + 4 * x, &px, 4);
  }
}

namespace {

// One destination pixel: pairs of taps as one 8-lane multiply, then the odd
// tap, then the two halves folded (16-bit wrapping sums add in any order).
inline __m128i filterPixelSse2(const uint8_t* row, const uint8_t*& entry) {
  int32_t offset, taps;
  readEntry(entry, offset, taps);
  const uint8_t* p = row + offset;
  const uint8_t* w = entry + 8;
  const __m128i zero = _mm_setzero_si128();
  __m128i sum = zero;
  int32_t k = 0;
  for (; k + 2 <= taps; k += 2) {
    const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 4 * k));
    const __m128i wk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 8 * k));
    sum = _mm_add_epi16(sum, tapTerm(_mm_unpacklo_epi8(v, zero), wk));
  }
  if (k < taps) {
    const __m128i v = _mm_cvtsi32_si128(load32(p + 4 * k));
    const __m128i wk = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(w + 8 * k));
    sum = _mm_add_epi16(sum, tapTerm(_mm_unpacklo_epi8(v, zero), wk));
  }
  entry = w + 8 * taps;
  sum = _mm_add_epi16(sum, _mm_srli_si128(sum, 8));
  return _mm_srai_epi16(sum, 5);
}

}  // namespace

void resampleHorizontal_sse2(const uint8_t* row, const uint8_t* entries, int32_t count, uint8_t* out,
                    DestinationLayout layout) {
  auto filter = [](const uint8_t* r, const uint8_t*& e) { return filterPixelSse2(r, e); };
  if (layout == DestinationLayout::Bgra32BottomUp)
    horizontalRow<DestinationLayout::Bgra32BottomUp>(row, entries, count, out, filter);
  else
    horizontalRow<DestinationLayout::Ycc32TopDown>(row, entries, count, out, filter);
}

}  // namespace om
