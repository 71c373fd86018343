// AVX2 row kernel of the soft colour key; byte-identical to
// soft_key_kernels_c.cpp. The arithmetic is the SSE2 kernel's, eight pixels
// a step (see soft_key_kernels_sse2.cpp for why single precision is exact
// here); unpacks and packs stay within 128-bit lanes, so pixel order holds
// without permutes. Helpers stay in an anonymous namespace so no inline
// function compiled with these instruction flags leaks to another file.
#include <immintrin.h>

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

struct KeyParameters {
  __m256i key;        // B, G, R of the key in every pixel lane
  __m256i zeroBelow;  // (t + 1)^2: below it d <= t
  __m256i softBelow;  // max((t + s)^2, (t + 1)^2): below it d < t + s, or keyed out
  __m256i tolerance;
  __m256 softness;    // only read in the band, where s >= 2
};

// D of eight pixels, one per 32-bit lane; B^2 + R^2 <= 130050 fits.
inline __m256i squaredDistance(__m256i px, __m256i key) {
  const __m256i diff =
      _mm256_and_si256(_mm256_or_si256(_mm256_subs_epu8(px, key), _mm256_subs_epu8(key, px)),
                       _mm256_set1_epi32(0x00FFFFFF));
  const __m256i br = _mm256_and_si256(diff, _mm256_set1_epi16(0xFF));
  const __m256i g = _mm256_srli_epi16(diff, 8);
  return _mm256_add_epi32(_mm256_madd_epi16(br, br), _mm256_madd_epi16(g, g));
}

// floor(255 * (d - t) / s) per 32-bit lane, right for lanes in the band.
inline __m256i bandWeight(__m256i distance2, const KeyParameters& p) {
  const __m256i d = _mm256_cvttps_epi32(_mm256_sqrt_ps(_mm256_cvtepi32_ps(distance2)));
  const __m256 n =
      _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_sub_epi32(d, p.tolerance)), _mm256_set1_ps(255.0f));
  return _mm256_cvttps_epi32(_mm256_div_ps(n, p.softness));
}

// Every byte b of eight pixels to floor(b * k / 255), k in 0..255 per
// 32-bit lane.
inline __m256i scalePixels(__m256i px, __m256i k) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i divide255 = _mm256_set1_epi16(static_cast<int16_t>(0x8081));
  const __m256i k16 = _mm256_or_si256(k, _mm256_slli_epi32(k, 16));
  const __m256i lo =
      _mm256_mullo_epi16(_mm256_unpacklo_epi8(px, zero), _mm256_unpacklo_epi32(k16, k16));
  const __m256i hi =
      _mm256_mullo_epi16(_mm256_unpackhi_epi8(px, zero), _mm256_unpackhi_epi32(k16, k16));
  return _mm256_packus_epi16(_mm256_srli_epi16(_mm256_mulhi_epu16(lo, divide255), 7),
                             _mm256_srli_epi16(_mm256_mulhi_epu16(hi, divide255), 7));
}

// Eight pixels from source to out (which may be source).
inline void keyPixels8(const uint8_t* source, uint8_t* out, const KeyParameters& p) {
  const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
  const __m256i distance2 = squaredDistance(px, p.key);
  const __m256i keyedOut = _mm256_cmpgt_epi32(p.zeroBelow, distance2);
  const __m256i notKept = _mm256_cmpgt_epi32(p.softBelow, distance2);  // keyedOut lanes too
  const __m256i band = _mm256_xor_si256(keyedOut, notKept);
  __m256i result;
  if (_mm256_testz_si256(band, band)) {
    result = _mm256_andnot_si256(keyedOut, px);
  } else {
    const __m256i k = _mm256_or_si256(_mm256_and_si256(band, bandWeight(distance2, p)),
                                      _mm256_andnot_si256(notKept, _mm256_set1_epi32(255)));
    result = scalePixels(px, k);
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), result);
}

}  // namespace

void softKeyRow_avx2(const uint8_t* source, uint8_t* out, int32_t pixels, uint32_t keyPixel,
                     int32_t tolerance, int32_t softness) {
  tolerance = clampDistance(tolerance);
  softness = clampDistance(softness);
  const int32_t zeroBelow = (tolerance + 1) * (tolerance + 1);
  const int32_t reach = tolerance + softness;  // 882 at most
  KeyParameters p;
  p.key = _mm256_set1_epi32(static_cast<int32_t>(keyPixel & 0x00FFFFFFu));
  p.zeroBelow = _mm256_set1_epi32(zeroBelow);
  p.softBelow = _mm256_set1_epi32(reach * reach > zeroBelow ? reach * reach : zeroBelow);
  p.tolerance = _mm256_set1_epi32(tolerance);
  p.softness = _mm256_set1_ps(static_cast<float>(softness));
  for (; pixels >= 16; pixels -= 16, source += 64, out += 64) {
    keyPixels8(source, out, p);
    keyPixels8(source + 32, out + 32, p);
  }
  if (pixels >= 8) {
    keyPixels8(source, out, p);
    pixels -= 8;
    source += 32;
    out += 32;
  }
  if (pixels > 0) softKeyRow_sse2(source, out, pixels, keyPixel, tolerance, softness);
}

}  // namespace om
