// SSE2 row kernel of the soft colour key; byte-identical to
// soft_key_kernels_c.cpp.
//
// Squared distances settle most pixels without a root: d <= t is
// D < (t + 1)^2 and d >= t + s is D >= (t + s)^2. Only a step holding a
// pixel of the soft band takes the root and the division, in single
// precision, which is exact here in any rounding mode. D and 255 * (d - t)
// are integers below 2^24 and convert exactly. sqrt(D), D <= 195075, is an
// integer or lies at least 1/884 from one, and n / s at least 1/441; one
// rounding of a value below 512 moves it at most 2^-15, so truncation gives
// the floor of both (every reachable D and every s are checked in the tests).
// Helpers stay in an anonymous namespace so no inline function compiled
// with these instruction flags can be picked by the linker for another file.
#include <emmintrin.h>

#include "logo/soft_key_kernels.h"

namespace om {

namespace {

// floor(x / 255) = (x * 0x8081) >> 23 for every x in 0..65535; the products
// b * k stay within 255 * 255.
constexpr bool divideBy255Holds() {
  for (uint32_t x = 0; x <= 0xFFFF; ++x)
    if ((x * 0x8081u) >> 23 != x / 255) return false;
  return true;
}
static_assert(divideBy255Holds(), "floor(x / 255) as a multiply and shift");

int32_t clampDistance(int32_t v) {
  return v < 0 ? 0 : (v > kLargestKeyDistance ? kLargestKeyDistance : v);
}

// What a row needs, in vectors: the key, the two squared thresholds, and
// t and s for the band.
struct KeyParameters {
  __m128i key;        // B, G, R of the key in every pixel lane
  __m128i zeroBelow;  // (t + 1)^2: below it d <= t
  __m128i softBelow;  // max((t + s)^2, (t + 1)^2): below it d < t + s, or keyed out
  __m128i tolerance;
  __m128 softness;    // only read in the band, where s >= 2
};

// D of four pixels, one per 32-bit lane: absolute byte differences split
// into (B, R) and (G, A) 16-bit pairs, A's difference masked to 0 first.
// B^2 + R^2 <= 130050 fits the lane.
inline __m128i squaredDistance(__m128i px, __m128i key) {
  const __m128i diff = _mm_and_si128(_mm_or_si128(_mm_subs_epu8(px, key), _mm_subs_epu8(key, px)),
                                     _mm_set1_epi32(0x00FFFFFF));
  const __m128i br = _mm_and_si128(diff, _mm_set1_epi16(0xFF));
  const __m128i g = _mm_srli_epi16(diff, 8);
  return _mm_add_epi32(_mm_madd_epi16(br, br), _mm_madd_epi16(g, g));
}

// floor(255 * (d - t) / s) per 32-bit lane; right for lanes in the band,
// whatever the others get is dropped by the caller.
inline __m128i bandWeight(__m128i distance2, const KeyParameters& p) {
  const __m128i d = _mm_cvttps_epi32(_mm_sqrt_ps(_mm_cvtepi32_ps(distance2)));
  const __m128 n = _mm_mul_ps(_mm_cvtepi32_ps(_mm_sub_epi32(d, p.tolerance)), _mm_set1_ps(255.0f));
  return _mm_cvttps_epi32(_mm_div_ps(n, p.softness));
}

// Every byte b of four pixels to floor(b * k / 255), k in 0..255 per 32-bit
// lane.
inline __m128i scalePixels(__m128i px, __m128i k) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i divide255 = _mm_set1_epi16(static_cast<int16_t>(0x8081));
  const __m128i k16 = _mm_or_si128(k, _mm_slli_epi32(k, 16));
  const __m128i lo = _mm_mullo_epi16(_mm_unpacklo_epi8(px, zero), _mm_unpacklo_epi32(k16, k16));
  const __m128i hi = _mm_mullo_epi16(_mm_unpackhi_epi8(px, zero), _mm_unpackhi_epi32(k16, k16));
  return _mm_packus_epi16(_mm_srli_epi16(_mm_mulhi_epu16(lo, divide255), 7),
                          _mm_srli_epi16(_mm_mulhi_epu16(hi, divide255), 7));
}

// Four pixels from source to out (which may be source).
inline void keyPixels4(const uint8_t* source, uint8_t* out, const KeyParameters& p) {
  const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
  const __m128i distance2 = squaredDistance(px, p.key);
  const __m128i keyedOut = _mm_cmpgt_epi32(p.zeroBelow, distance2);
  const __m128i notKept = _mm_cmpgt_epi32(p.softBelow, distance2);  // keyedOut lanes too
  const __m128i band = _mm_xor_si128(keyedOut, notKept);
  __m128i result;
  if (_mm_movemask_epi8(band) == 0) {
    result = _mm_andnot_si128(keyedOut, px);
  } else {
    const __m128i k = _mm_or_si128(_mm_and_si128(band, bandWeight(distance2, p)),
                                   _mm_andnot_si128(notKept, _mm_set1_epi32(255)));
    result = scalePixels(px, k);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), result);
}

}  // namespace

void softKeyRow_sse2(const uint8_t* source, uint8_t* out, int32_t pixels, uint32_t keyPixel,
                     int32_t tolerance, int32_t softness) {
  tolerance = clampDistance(tolerance);
  softness = clampDistance(softness);
  const int32_t zeroBelow = (tolerance + 1) * (tolerance + 1);
  const int32_t reach = tolerance + softness;  // 882 at most
  KeyParameters p;
  p.key = _mm_set1_epi32(static_cast<int32_t>(keyPixel & 0x00FFFFFFu));
  p.zeroBelow = _mm_set1_epi32(zeroBelow);
  p.softBelow = _mm_set1_epi32(reach * reach > zeroBelow ? reach * reach : zeroBelow);
  p.tolerance = _mm_set1_epi32(tolerance);
  p.softness = _mm_set1_ps(static_cast<float>(softness));
  for (; pixels >= 8; pixels -= 8, source += 32, out += 32) {
    keyPixels4(source, out, p);
    keyPixels4(source + 16, out + 16, p);
  }
  if (pixels >= 4) {
    keyPixels4(source, out, p);
    pixels -= 4;
    source += 16;
    out += 16;
  }
  if (pixels > 0) softKeyRow_c(source, out, pixels, keyPixel, tolerance, softness);
}

}  // namespace om
