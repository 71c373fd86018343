// AVX2 pixel passes: the vertical pass sixteen source columns per step, the
// horizontal pass four taps per multiply. Same arithmetic as the reference.
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

inline __m256i broadcastWeight(const uint8_t* weights, int32_t tap) {
  int64_t w;
  std::memcpy(&w, weights + 8 * tap, 8);
  return _mm256_set1_epi64x(w);
}

// Vertical sums to row-buffer values: shift by 5 with sign, clamp to 0..255,
// times 128.
inline __m256i rowValues256(__m256i sum) {
  const __m256i clamped = _mm256_min_epi16(
      _mm256_max_epi16(_mm256_srai_epi16(sum, 5), _mm256_setzero_si256()), _mm256_set1_epi16(255));
  return _mm256_slli_epi16(clamped, 7);
}

// The in-lane unpacking put pixels 0,1 | 4,5 in `lo` and 2,3 | 6,7 in `hi`:
// four stores of 16 bytes put the eight pixels back in order.
inline void storeRow(int16_t* row, __m256i lo, __m256i hi) {
  const __m256i a = rowValues256(lo), b = rowValues256(hi);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(row), _mm256_permute2x128_si256(a, b, 0x20));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + 16), _mm256_permute2x128_si256(a, b, 0x31));
}

}  // namespace

void resampleVertical_avx2(const uint8_t* first, ptrdiff_t rowStep, const uint8_t* weights,
                           int32_t taps, int32_t width, int16_t* row, bool keyed,
                           uint32_t keyPixel) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i rgbMask = _mm256_set1_epi32(0x00FFFFFF);
  const __m256i key = _mm256_set1_epi32(static_cast<int32_t>(keyPixel));
  int32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    __m256i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
    const uint8_t* p = first + 4 * x;
    for (int32_t k = 0; k < taps; ++k, p += rowStep) {
      __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
      __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
      if (keyed) {
        v0 = applyKey256(v0, rgbMask, key);
        v1 = applyKey256(v1, rgbMask, key);
      }
      const __m256i w = broadcastWeight(weights, k);
      s0 = _mm256_add_epi16(s0, tapTerm256(_mm256_unpacklo_epi8(v0, zero), w));
      s1 = _mm256_add_epi16(s1, tapTerm256(_mm256_unpackhi_epi8(v0, zero), w));
      s2 = _mm256_add_epi16(s2, tapTerm256(_mm256_unpacklo_epi8(v1, zero), w));
      s3 = _mm256_add_epi16(s3, tapTerm256(_mm256_unpackhi_epi8(v1, zero), w));
    }
    storeRow(row + 4 * x, s0, s1);
    storeRow(row + 4 * x + 32, s2, s3);
  }
  for (; x + 8 <= width; x += 8) {
    __m256i s0 = zero, s1 = zero;
    const uint8_t* p = first + 4 * x;
    for (int32_t k = 0; k < taps; ++k, p += rowStep) {
      __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
      if (keyed) v = applyKey256(v, rgbMask, key);
      const __m256i w = broadcastWeight(weights, k);
      s0 = _mm256_add_epi16(s0, tapTerm256(_mm256_unpacklo_epi8(v, zero), w));
      s1 = _mm256_add_epi16(s1, tapTerm256(_mm256_unpackhi_epi8(v, zero), w));
    }
    storeRow(row + 4 * x, s0, s1);
  }
  const __m128i rgbMask128 = _mm_set1_epi32(0x00FFFFFF);
  const __m128i key128 = _mm_set1_epi32(static_cast<int32_t>(keyPixel));
  for (; x < width; ++x)
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row + 4 * x),
                     verticalOnePixel(first + 4 * x, rowStep, weights, taps, keyed, rgbMask128,
                                      key128));
}

void resampleHorizontal_avx2(const int16_t* row, const uint8_t* entries, int32_t count,
                             uint8_t* out, DestinationLayout layout) {
  auto filter = [](const int16_t* r, const uint8_t*& e) { return filterPixel(r, e); };
  if (layout == DestinationLayout::Bgra32BottomUp)
    horizontalRow<DestinationLayout::Bgra32BottomUp>(row, entries, count, out, filter);
  else
    horizontalRow<DestinationLayout::Ycc32TopDown>(row, entries, count, out, filter);
}

}  // namespace om
