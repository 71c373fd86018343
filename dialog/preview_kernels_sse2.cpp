#include <emmintrin.h>

#include <cstring>

#include "dialog/preview_kernels.h"

namespace om {

// Four bytes of every pixel in 16-bit lanes: (b - a) << 4 lies in [-4080, 4080]
// and the weight in [0, 4095], so the signed high half of their product is
// exactly floor((b - a) * w / 4096), and a plus it stays in 0..255.
static inline __m128i lerpLanes(__m128i a, __m128i b, __m128i w) {
  const __m128i delta = _mm_slli_epi16(_mm_sub_epi16(b, a), 4);
  return _mm_add_epi16(a, _mm_mulhi_epi16(delta, w));
}

static inline __m128i loadPixel(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}

void lerpRow_sse2(uint8_t* out, const uint8_t* first, const uint8_t* second, int32_t count,
                  uint16_t weight) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i w = _mm_set1_epi16(static_cast<int16_t>(weight));
  int32_t j = 0;
  for (; j + 4 <= count; j += 4) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 4 * j));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + 4 * j));
    const __m128i lo = lerpLanes(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), w);
    const __m128i hi = lerpLanes(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), w);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * j), _mm_packus_epi16(lo, hi));
  }
  for (; j < count; ++j) {
    const __m128i a = _mm_unpacklo_epi8(loadPixel(first + 4 * j), zero);
    const __m128i b = _mm_unpacklo_epi8(loadPixel(second + 4 * j), zero);
    const int32_t r = _mm_cvtsi128_si32(_mm_packus_epi16(lerpLanes(a, b, w), zero));
    std::memcpy(out + 4 * j, &r, 4);
  }
}

void lerpTaps_sse2(uint8_t* out, const uint8_t* row, const StepEntry* entries, int32_t count) {
  const __m128i zero = _mm_setzero_si128();
  const uint8_t* cursor = row;
  int32_t i = 0;
  for (; i + 2 <= count; i += 2) {
    const StepEntry& e0 = entries[i];
    const StepEntry& e1 = entries[i + 1];
    cursor += e0.advance;
    const __m128i a0 = loadPixel(cursor);
    cursor += e0.next;
    const __m128i b0 = loadPixel(cursor);
    cursor += e1.advance;
    const __m128i a1 = loadPixel(cursor);
    cursor += e1.next;
    const __m128i b1 = loadPixel(cursor);
    const __m128i a = _mm_unpacklo_epi8(_mm_unpacklo_epi32(a0, a1), zero);
    const __m128i b = _mm_unpacklo_epi8(_mm_unpacklo_epi32(b0, b1), zero);
    const __m128i w = _mm_unpacklo_epi64(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(e0.weight)),
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(e1.weight)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * i),
                     _mm_packus_epi16(lerpLanes(a, b, w), zero));
  }
  if (i < count) {
    const StepEntry& e = entries[i];
    cursor += e.advance;
    const __m128i a = _mm_unpacklo_epi8(loadPixel(cursor), zero);
    cursor += e.next;
    const __m128i b = _mm_unpacklo_epi8(loadPixel(cursor), zero);
    const __m128i w = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(e.weight));
    const int32_t r = _mm_cvtsi128_si32(_mm_packus_epi16(lerpLanes(a, b, w), zero));
    std::memcpy(out + 4 * i, &r, 4);
  }
}

}  // namespace om
