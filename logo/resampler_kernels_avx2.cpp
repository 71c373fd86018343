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

// In-lane unpack and pack undo each other, so the eight pixels of a
// 32-byte load come back out in order.
inline __m256i packShifted(__m256i lo, __m256i hi) {
  return _mm256_packus_epi16(_mm256_srai_epi16(lo, 5), _mm256_srai_epi16(hi, 5));
}

}  // namespace

void resampleVertical_avx2(const uint8_t* first, ptrdiff_t rowStep, const uint8_t* weights, int32_t taps,
                  int32_t width, uint8_t* out, bool keyed, uint32_t keyPixel) {
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
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x), packShifted(s0, s1));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x + 32), packShifted(s2, s3));
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
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * x), packShifted(s0, s1));
  }
  const __m128i rgbMask128 = _mm_set1_epi32(0x00FFFFFF);
  const __m128i key128 = _mm_set1_epi32(static_cast<int32_t>(keyPixel));
  for (; x < width; ++x) {
    const int32_t px = _mm_cvtsi128_si32(
        verticalOnePixel(first + 4 * x, rowStep, weights, taps, keyed, rgbMask128, key128));
    std::memcpy(out + 4 * x, &px, 4);
  }
}

namespace {

// One destination pixel: four taps per 16-lane multiply, then pairs and the
// odd tap in 8 lanes, then all partial sums folded into four lanes.
inline __m128i filterPixelAvx2(const uint8_t* row, const uint8_t*& entry) {
  int32_t offset, taps;
  readEntry(entry, offset, taps);
  const uint8_t* p = row + offset;
  const uint8_t* w = entry + 8;
  __m256i wide = _mm256_setzero_si256();
  int32_t k = 0;
  for (; k + 4 <= taps; k += 4) {
    const __m256i v =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * k)));
    const __m256i wk = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + 8 * k));
    wide = _mm256_add_epi16(wide, tapTerm256(v, wk));
  }
  const __m128i zero = _mm_setzero_si128();
  __m128i sum = _mm_add_epi16(_mm256_castsi256_si128(wide), _mm256_extracti128_si256(wide, 1));
  if (k + 2 <= taps) {
    const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 4 * k));
    const __m128i wk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 8 * k));
    sum = _mm_add_epi16(sum, tapTerm(_mm_unpacklo_epi8(v, zero), wk));
    k += 2;
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

void resampleHorizontal_avx2(const uint8_t* row, const uint8_t* entries, int32_t count, uint8_t* out,
                    DestinationLayout layout) {
  auto filter = [](const uint8_t* r, const uint8_t*& e) { return filterPixelAvx2(r, e); };
  if (layout == DestinationLayout::Bgra32BottomUp)
    horizontalRow<DestinationLayout::Bgra32BottomUp>(row, entries, count, out, filter);
  else
    horizontalRow<DestinationLayout::Ycc32TopDown>(row, entries, count, out, filter);
}

}  // namespace om
