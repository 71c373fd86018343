#include <immintrin.h>

#include "dialog/preview_kernels.h"

namespace om {

// Same lane arithmetic as the SSE2 kernels: (b - a) << 4 in [-4080, 4080],
// weight in [0, 4095]; the high half of the signed product is the floor.
static inline __m256i lerpLanes(__m256i a, __m256i b, __m256i w) {
  const __m256i delta = _mm256_slli_epi16(_mm256_sub_epi16(b, a), 4);
  return _mm256_add_epi16(a, _mm256_mulhi_epi16(delta, w));
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

}  // namespace om
