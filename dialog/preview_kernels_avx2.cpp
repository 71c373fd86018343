#include <immintrin.h>

#include <cstring>

#include "dialog/preview_kernels.h"

namespace om {

// Same lane arithmetic as the SSE2 kernels: (b - a) << 4 in [-4080, 4080],
// weight in [0, 4095]; the high half of the signed product is the floor.
static inline __m256i lerpLanes(__m256i a, __m256i b, __m256i w) {
  const __m256i delta = _mm256_slli_epi16(_mm256_sub_epi16(b, a), 4);
  return _mm256_add_epi16(a, _mm256_mulhi_epi16(delta, w));
}

static inline int32_t loadPixel(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void lerpRow_avx2(uint8_t* out, const uint8_t* first, const uint8_t* second, int32_t count,
                  uint16_t weight) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i w = _mm256_set1_epi16(static_cast<int16_t>(weight));
  int32_t j = 0;
  for (; j + 8 <= count; j += 8) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(first + 4 * j));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(second + 4 * j));
    // Unpacking and packing both work within 128-bit lanes, so the order holds.
    const __m256i lo = lerpLanes(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero), w);
    const __m256i hi = lerpLanes(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero), w);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * j), _mm256_packus_epi16(lo, hi));
  }
  if (j < count) lerpRow_sse2(out + 4 * j, first + 4 * j, second + 4 * j, count - j, weight);
}

void lerpTaps_avx2(uint8_t* out, const uint8_t* row, const StepEntry* entries, int32_t count) {
  const uint8_t* cursor = row;
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    int32_t a[4], b[4];
    for (int k = 0; k < 4; ++k) {
      cursor += entries[i + k].advance;
      a[k] = loadPixel(cursor);
      cursor += entries[i + k].next;
      b[k] = loadPixel(cursor);
    }
    const __m256i va = _mm256_cvtepu8_epi16(_mm_setr_epi32(a[0], a[1], a[2], a[3]));
    const __m256i vb = _mm256_cvtepu8_epi16(_mm_setr_epi32(b[0], b[1], b[2], b[3]));
    // The weights sit in the high 8 bytes of each 16-byte entry: gather them
    // as entries 0, 2, 1, 3 and put them back in order.
    const __m256i e01 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(entries + i));
    const __m256i e23 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(entries + i + 2));
    const __m256i w = _mm256_permute4x64_epi64(_mm256_unpackhi_epi64(e01, e23),
                                               _MM_SHUFFLE(3, 1, 2, 0));
    const __m256i r = lerpLanes(va, vb, w);
    const __m128i packed =
        _mm_packus_epi16(_mm256_castsi256_si128(r), _mm256_extracti128_si256(r, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * i), packed);
  }
  if (i < count) {
    // The remaining entries start where this cursor stands.
    lerpTaps_sse2(out + 4 * i, cursor, entries + i, count - i);
  }
}

}  // namespace om
