// AVX2 row kernels of the covers; byte-identical to cover_kernels_c.cpp.
//
// The same arithmetic as the SSE2 kernels (cover_kernels_sse2.cpp explains
// the fixed point of the mix, the blur's single-precision division and the
// erase's check of its quotients), eight or sixteen samples a step. Byte
// shuffles work within 128-bit lanes, so the tables repeat per lane and
// loads put the lanes where the shuffles want them. Helpers stay in an
// anonymous namespace so no inline function compiled with these instruction
// flags leaks to another file.
#include <immintrin.h>

#include <cstring>

#include "compositing/cover_kernels.h"

namespace om {

namespace {

inline __m128i load128(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline __m128i load64(const void* p) { return _mm_loadl_epi64(static_cast<const __m128i*>(p)); }
inline __m256i load256(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
// lo into the low 128-bit lane, hi into the high one.
inline __m256i loadLanes(const void* lo, const void* hi) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(load128(lo)), load128(hi), 1);
}
inline void store128(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
inline void store64(void* p, __m128i v) { _mm_storel_epi64(static_cast<__m128i*>(p), v); }
inline void store256(void* p, __m256i v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }

inline __m128i lowLane(__m256i v) { return _mm256_castsi256_si128(v); }
inline __m128i highLane(__m256i v) { return _mm256_extracti128_si256(v, 1); }

struct alignas(32) ByteShuffle {
  int8_t index[32];
};

// 16 B, G, R pixels are 48 bytes, three parts of 16. Gathering plane
// `channel` from part `part`: byte j takes pixel j's sample if it lies there.
constexpr ByteShuffle gatherChannel(int channel, int part) {
  ByteShuffle s{};
  for (int j = 0; j < 16; ++j) {
    const int at = 3 * j + channel - 16 * part;
    s.index[j] = s.index[j + 16] = static_cast<int8_t>(at >= 0 && at < 16 ? at : -128);
  }
  return s;
}
// Scattering back: byte k of part `part` takes its pixel's sample if it is
// of plane `channel`.
constexpr ByteShuffle scatterChannel(int channel, int part) {
  ByteShuffle s{};
  for (int k = 0; k < 16; ++k) {
    const int at = 16 * part + k;
    s.index[k] = s.index[k + 16] = static_cast<int8_t>(at % 3 == channel ? at / 3 : -128);
  }
  return s;
}
constexpr ByteShuffle kGather[3][3] = {
    {gatherChannel(0, 0), gatherChannel(0, 1), gatherChannel(0, 2)},
    {gatherChannel(1, 0), gatherChannel(1, 1), gatherChannel(1, 2)},
    {gatherChannel(2, 0), gatherChannel(2, 1), gatherChannel(2, 2)}};
constexpr ByteShuffle kScatter[3][3] = {
    {scatterChannel(0, 0), scatterChannel(0, 1), scatterChannel(0, 2)},
    {scatterChannel(1, 0), scatterChannel(1, 1), scatterChannel(1, 2)},
    {scatterChannel(2, 0), scatterChannel(2, 1), scatterChannel(2, 2)}};

inline __m256i shuffleBy(__m256i v, const ByteShuffle& s) {
  return _mm256_shuffle_epi8(v, _mm256_load_si256(reinterpret_cast<const __m256i*>(s.index)));
}

// 32 pixels: pixels 0..15 in the low lanes, 16..31 in the high ones.
void splitBgr32(const uint8_t* pixels, uint8_t* const planes[3]) {
  const __m256i v[3] = {loadLanes(pixels, pixels + 48), loadLanes(pixels + 16, pixels + 64),
                        loadLanes(pixels + 32, pixels + 80)};
  for (int c = 0; c < 3; ++c)
    store256(planes[c], _mm256_or_si256(_mm256_or_si256(shuffleBy(v[0], kGather[c][0]),
                                                        shuffleBy(v[1], kGather[c][1])),
                                        shuffleBy(v[2], kGather[c][2])));
}

void joinBgr32(uint8_t* pixels, const uint8_t* const planes[3]) {
  const __m256i v[3] = {load256(planes[0]), load256(planes[1]), load256(planes[2])};
  for (int part = 0; part < 3; ++part) {
    const __m256i bytes = _mm256_or_si256(
        _mm256_or_si256(shuffleBy(v[0], kScatter[0][part]), shuffleBy(v[1], kScatter[1][part])),
        shuffleBy(v[2], kScatter[2][part]));
    store128(pixels + 16 * part, lowLane(bytes));
    store128(pixels + 48 + 16 * part, highLane(bytes));
  }
}

// 16 pairs: pairs 0..3 and 8..11 in `a`, 4..7 and 12..15 in `b`, so the
// packs give luma in order.
void splitPairs16(const uint8_t* pairs, uint8_t* y, uint8_t* cb, uint8_t* cr) {
  const __m256i low = _mm256_set1_epi16(0xFF);
  const __m256i a = loadLanes(pairs, pairs + 32), b = loadLanes(pairs + 16, pairs + 48);
  store256(y, _mm256_packus_epi16(_mm256_and_si256(a, low), _mm256_and_si256(b, low)));
  // Cb Cr of pairs 0..7 | 8..15, then 8 Cb and 8 Cr per lane.
  const __m256i chroma = _mm256_packus_epi16(_mm256_srli_epi16(a, 8), _mm256_srli_epi16(b, 8));
  const __m256i both =
      _mm256_packus_epi16(_mm256_and_si256(chroma, low), _mm256_srli_epi16(chroma, 8));
  store128(cb, _mm_unpacklo_epi64(lowLane(both), highLane(both)));
  store128(cr, _mm_unpackhi_epi64(lowLane(both), highLane(both)));
}

void joinPairs16(uint8_t* pairs, const uint8_t* y, const uint8_t* cb, const uint8_t* cr) {
  const __m128i u = load128(cb), v = load128(cr);
  const __m256i chroma = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi8(u, v)),
                                                 _mm_unpackhi_epi8(u, v), 1);
  const __m256i luma = load256(y);
  const __m256i first = _mm256_unpacklo_epi8(luma, chroma);   // pairs 0..3 | 8..11
  const __m256i second = _mm256_unpackhi_epi8(luma, chroma);  // pairs 4..7 | 12..15
  store256(pairs, _mm256_permute2x128_si256(first, second, 0x20));
  store256(pairs + 32, _mm256_permute2x128_si256(first, second, 0x31));
}

// Sixteen samples of d mixed toward c; o16: o2 * 16 per sample, 0..4096.
inline void mix16(uint8_t* d, const uint8_t* c, __m256i o16) {
  const __m256i dv = _mm256_cvtepu8_epi16(load128(d)), cv = _mm256_cvtepu8_epi16(load128(c));
  const __m256i diff16 = _mm256_slli_epi16(_mm256_sub_epi16(cv, dv), 4);
  const __m256i r = _mm256_add_epi16(dv, _mm256_mulhi_epi16(o16, diff16));  // -255..510
  store128(d, _mm_packus_epi16(lowLane(r), highLane(r)));
}

// Eight samples with o16 in 16-bit lanes.
inline void mix8(uint8_t* d, const uint8_t* c, __m128i o16) {
  const __m128i dv = _mm_cvtepu8_epi16(load64(d));
  const __m128i diff = _mm_slli_epi16(_mm_sub_epi16(_mm_cvtepu8_epi16(load64(c)), dv), 4);
  const __m128i r = _mm_add_epi16(dv, _mm_mulhi_epi16(o16, diff));
  store64(d, _mm_packus_epi16(r, r));
}

template <bool kFullOpacity>
inline __m256i scaledOpacity(__m256i m, __m256i opacity) {
  const __m256i a = _mm256_add_epi16(m, _mm256_srli_epi16(m, 7));
  const __m256i o2 = kFullOpacity ? a : _mm256_srli_epi16(_mm256_mullo_epi16(a, opacity), 8);
  return _mm256_slli_epi16(o2, 4);
}

// 16-bit weights of the four pixels at lo0 and at lo1 (low lane), hi0 and
// hi1 (high lane).
inline __m256i weightsOf(const uint8_t* lo0, const uint8_t* hi0, const uint8_t* lo1,
                         const uint8_t* hi1) {
  return _mm256_packs_epi32(_mm256_srli_epi32(loadLanes(lo0, hi0), 24),
                            _mm256_srli_epi32(loadLanes(lo1, hi1), 24));
}
inline __m256i weights16Step4(const uint8_t* pixels) {
  return weightsOf(pixels, pixels + 32, pixels + 16, pixels + 48);
}
// Every other pixel: samples 0..3 | 8..11 and 4..7 | 12..15 at even words.
inline __m256i weights16Step8(const uint8_t* pixels) {
  const __m256i even = _mm256_set1_epi32(0xFFFF);
  const __m256i a =
      _mm256_and_si256(weightsOf(pixels, pixels + 64, pixels + 16, pixels + 80), even);
  const __m256i b =
      _mm256_and_si256(weightsOf(pixels + 32, pixels + 96, pixels + 48, pixels + 112), even);
  return _mm256_packs_epi32(a, b);
}

// Weights of eight samples, step 4 or 8 (the latter reading 4 bytes past
// the last weight), for a last half step.
inline __m128i weights8(const uint8_t* pixels, int32_t weightStep) {
  const __m128i w0 = _mm_srli_epi32(load128(pixels), 24),
                w1 = _mm_srli_epi32(load128(pixels + 16), 24);
  if (weightStep == 4) return _mm_packs_epi32(w0, w1);
  const __m128i w2 = _mm_srli_epi32(load128(pixels + 32), 24),
                w3 = _mm_srli_epi32(load128(pixels + 48), 24);
  const __m128i even = _mm_set1_epi32(0xFFFF);
  return _mm_packs_epi32(_mm_and_si128(_mm_packs_epi32(w0, w1), even),
                         _mm_and_si128(_mm_packs_epi32(w2, w3), even));
}

template <bool kFullOpacity>
int32_t mixWeighted(uint8_t* d, const uint8_t* c, const uint8_t* weights, int32_t weightStep,
                    int32_t count, int32_t opacity) {
  const __m256i o = _mm256_set1_epi16(static_cast<int16_t>(opacity));
  const uint8_t* pixels = weights - 3;
  int32_t i = 0;
  if (weightStep == 4) {
    for (; i + 16 <= count; i += 16, pixels += 64)
      mix16(d + i, c + i, scaledOpacity<kFullOpacity>(weights16Step4(pixels), o));
  } else {
    // The last load reaches 4 bytes past sample 15's weight.
    for (; i + 16 < count; i += 16, pixels += 128)
      mix16(d + i, c + i, scaledOpacity<kFullOpacity>(weights16Step8(pixels), o));
  }
  if (weightStep == 4 ? i + 8 <= count : i + 8 < count) {
    const __m128i m = weights8(pixels, weightStep), a = _mm_add_epi16(m, _mm_srli_epi16(m, 7));
    const __m128i o2 = kFullOpacity ? a : _mm_srli_epi16(_mm_mullo_epi16(a, lowLane(o)), 8);
    mix8(d + i, c + i, _mm_slli_epi16(o2, 4));
    i += 8;
  }
  return i;
}

// Inclusive prefix sums of eight 32-bit lanes (mod 2^32).
inline __m256i prefix8(__m256i x) {
  x = _mm256_add_epi32(x, _mm256_slli_si256(x, 4));
  x = _mm256_add_epi32(x, _mm256_slli_si256(x, 8));
  const __m256i laneTotals = _mm256_shuffle_epi32(x, _MM_SHUFFLE(3, 3, 3, 3));
  return _mm256_add_epi32(x, _mm256_permute2x128_si256(laneTotals, laneTotals, 0x08));
}

constexpr float kEraseMargin = 1.0f / 2048;

// Up to 64 steps of eight columns from column k; a set bit i asks the
// reference to redo step i, whose bytes are left alone.
uint64_t eraseSteps(uint8_t* out, const EraseColumns& columns, const EraseRow& row, int32_t k,
                    int32_t steps) {
  const __m256i sidePair = _mm256_set1_epi32((2 * row.l + 3) | (2 * row.r + 3) << 16);
  const __m256i bandPair = _mm256_set1_epi32((2 * row.bt) | (2 * row.bb) << 16);
  const __m256i band = _mm256_set1_epi32(3 * (row.bt + row.bb));
  const __m256 q = _mm256_set1_ps(static_cast<float>(row.q));
  const __m256 q6 = _mm256_set1_ps(static_cast<float>(int64_t{6} * row.q));
  const __m256 band6 = _mm256_set1_ps(static_cast<float>(6 * (row.bt + row.bb)));
  const __m256i sideLimit = _mm256_set1_epi32(~0x7FFF), sumLimit = _mm256_set1_epi32(~0x3FF);
  const __m256 eps = _mm256_set1_ps(kEraseMargin), upper = _mm256_set1_ps(1.0f - kEraseMargin);
  const __m256 one = _mm256_set1_ps(1.0f);
  // Local copies: stores to out must not make the loop reload them.
  const int32_t *alAt = columns.al + k, *arAt = columns.ar + k, *pAt = columns.p + k;
  const int32_t *tAt = columns.t + k, *bAt = columns.b + k;
  uint64_t redo = 0;
  for (int32_t i = 0; i < steps; ++i, k += 8) {
    const int32_t at = 8 * i;
    const __m256i al = load256(alAt + at), ar = load256(arAt + at), p = load256(pAt + at);
    const __m256i t = load256(tAt + at), b = load256(bAt + at);
    const __m256i outside =
        _mm256_or_si256(_mm256_or_si256(_mm256_and_si256(_mm256_or_si256(al, ar), sideLimit),
                                        _mm256_and_si256(_mm256_or_si256(t, b), sumLimit)),
                        _mm256_srai_epi32(p, 31));
    const __m256i side =
        _mm256_madd_epi16(_mm256_or_si256(al, _mm256_slli_epi32(ar, 16)), sidePair);
    const __m256i across = _mm256_add_epi32(
        _mm256_madd_epi16(_mm256_or_si256(t, _mm256_slli_epi32(b, 16)), bandPair), band);
    const __m256 pf = _mm256_cvtepi32_ps(p);
    const __m256 num = _mm256_add_ps(_mm256_mul_ps(q, _mm256_cvtepi32_ps(side)),
                                     _mm256_mul_ps(pf, _mm256_cvtepi32_ps(across)));
    const __m256 den = _mm256_add_ps(
        _mm256_mul_ps(q6, _mm256_cvtepi32_ps(_mm256_add_epi32(al, ar))), _mm256_mul_ps(pf, band6));
    const __m256 y = _mm256_div_ps(num, _mm256_max_ps(den, one));  // 0 where S = 0
    const __m256i floorY = _mm256_cvttps_epi32(y);
    const __m256 fraction = _mm256_sub_ps(y, _mm256_cvtepi32_ps(floorY));
    const __m256 unsure = _mm256_or_ps(_mm256_cmp_ps(fraction, eps, _CMP_LT_OQ),
                                       _mm256_cmp_ps(fraction, upper, _CMP_GT_OQ));
    if (_mm256_movemask_ps(unsure) != 0 || !_mm256_testz_si256(outside, outside)) {
      redo |= uint64_t{1} << i;
      continue;
    }
    // The low byte, as the reference's cast keeps it.
    const __m256i bytes = _mm256_and_si256(floorY, _mm256_set1_epi32(0xFF));
    const __m128i words = _mm_packs_epi32(lowLane(bytes), highLane(bytes));
    store64(out + k, _mm_packus_epi16(words, words));
  }
  return redo;
}

// Steps of `width` along a row of at least `width`, the last one moved back
// to end with the row (its first bytes written twice).
template <typename Step>
void overlappingSteps(int32_t count, int32_t width, Step step) {
  for (int32_t i = 0;; i += width) {
    if (i > count - width) i = count - width;
    step(i);
    if (i == count - width) break;
  }
}

}  // namespace

// Rows of at least one vector step end with a step that overlaps the one
// before it (the same bytes written twice); shorter ones are the reference's.
void splitYuv422_avx2(const uint8_t* pairs, int32_t pairCount, uint8_t* y, uint8_t* cb,
                      uint8_t* cr) noexcept {
  if (pairCount < 16) return splitYuv422_c(pairs, pairCount, y, cb, cr);
  overlappingSteps(pairCount, 16, [&](int32_t i) {
    splitPairs16(pairs + 4 * i, y + 2 * i, cb + i, cr + i);
  });
}

void joinYuv422_avx2(uint8_t* pairs, int32_t pairCount, const uint8_t* y, const uint8_t* cb,
                     const uint8_t* cr) noexcept {
  if (pairCount < 16) return joinYuv422_c(pairs, pairCount, y, cb, cr);
  overlappingSteps(pairCount, 16, [&](int32_t i) {
    joinPairs16(pairs + 4 * i, y + 2 * i, cb + i, cr + i);
  });
}

void splitBgr24_avx2(const uint8_t* pixels, int32_t count, uint8_t* b, uint8_t* g,
                     uint8_t* r) noexcept {
  if (count < 32) return splitBgr24_c(pixels, count, b, g, r);
  overlappingSteps(count, 32, [&](int32_t i) {
    uint8_t* const planes[3] = {b + i, g + i, r + i};
    splitBgr32(pixels + 3 * i, planes);
  });
}

void joinBgr24_avx2(uint8_t* pixels, int32_t count, const uint8_t* b, const uint8_t* g,
                    const uint8_t* r) noexcept {
  if (count < 32) return joinBgr24_c(pixels, count, b, g, r);
  overlappingSteps(count, 32, [&](int32_t i) {
    const uint8_t* const planes[3] = {b + i, g + i, r + i};
    joinBgr32(pixels + 3 * i, planes);
  });
}

void mixRow_avx2(uint8_t* d, const uint8_t* c, const uint8_t* weights, int32_t weightStep,
                 int32_t count, int32_t opacity) noexcept {
  int32_t i = 0;
  if (opacity >= 0 && opacity <= 256) {
    if (weights == nullptr) {
      const __m256i o16 = _mm256_set1_epi16(static_cast<int16_t>(opacity * 16));
      for (; i + 16 <= count; i += 16) mix16(d + i, c + i, o16);
      if (i + 8 <= count) mix8(d + i, c + i, lowLane(o16)), i += 8;
    } else if (weightStep == 4 || weightStep == 8) {
      i = opacity == 256 ? mixWeighted<true>(d, c, weights, weightStep, count, opacity)
                         : mixWeighted<false>(d, c, weights, weightStep, count, opacity);
    }
  }
  mixRow_c(d + i, c + i, weights ? weights + static_cast<intptr_t>(i) * weightStep : nullptr,
           weightStep, count - i, opacity);
}

void slideSums_avx2(uint32_t* sums, const uint8_t* add, const uint8_t* sub,
                    int32_t count) noexcept {
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i diff = _mm256_sub_epi32(_mm256_cvtepu8_epi32(load64(add + i)),
                                          _mm256_cvtepu8_epi32(load64(sub + i)));
    store256(sums + i, _mm256_add_epi32(load256(sums + i), diff));
  }
  slideSums_c(sums + i, add + i, sub + i, count - i);
}

void addRow_avx2(uint32_t* sums, const uint8_t* row, int32_t count) noexcept {
  int32_t i = 0;
  for (; i + 8 <= count; i += 8)
    store256(sums + i, _mm256_add_epi32(load256(sums + i), _mm256_cvtepu8_epi32(load64(row + i))));
  addRow_c(sums + i, row + i, count - i);
}

// As boxRow_sse2: eight windows a step, a row beyond the bounds redone by
// the reference.
void boxRow_avx2(uint8_t* out, const uint32_t* sums, int32_t count, int32_t taps,
                 uint32_t n) noexcept {
  if (count <= 0 || taps < 1 || n == 0 || n >= (1u << 24))
    return boxRow_c(out, sums, count, taps, n);
  uint32_t first = 0;
  for (int32_t i = 0; i < taps; ++i) first += sums[i];
  __m256i window = _mm256_set1_epi32(static_cast<int32_t>(first));
  const __m256i half = _mm256_set1_epi32(static_cast<int32_t>(n / 2));
  const __m256 divisor = _mm256_set1_ps(static_cast<float>(n));
  const __m256i last = _mm256_set1_epi32(7);
  __m256i seen = _mm256_setzero_si256();
  int32_t k = 0;
  for (; k + 8 < count; k += 8) {
    const __m256i e = _mm256_sub_epi32(load256(sums + k + taps), load256(sums + k));
    const __m256i inclusive = prefix8(e);
    const __m256i v =
        _mm256_add_epi32(_mm256_add_epi32(window, _mm256_sub_epi32(inclusive, e)), half);
    window = _mm256_add_epi32(window, _mm256_permutevar8x32_epi32(inclusive, last));
    seen = _mm256_or_si256(seen, v);
    const __m256i q =
        _mm256_and_si256(_mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(v), divisor)),
                         _mm256_set1_epi32(0xFF));
    const __m128i words = _mm_packs_epi32(lowLane(q), highLane(q));
    store64(out + k, _mm_packus_epi16(words, words));
  }
  // The last 1..8 windows summed one by one, divided as a vector.
  uint32_t tail[8] = {};
  uint32_t w = static_cast<uint32_t>(_mm_cvtsi128_si32(lowLane(window)));
  for (int32_t j = 0; k + j < count; ++j) {
    tail[j] = w + n / 2;
    if (k + j + 1 < count) w += sums[k + j + taps] - sums[k + j];
  }
  const __m256i v = load256(tail);
  if (!_mm256_testz_si256(_mm256_or_si256(seen, v), _mm256_set1_epi32(~0x7FFFFF)))  // v < 2^23
    return boxRow_c(out, sums, count, taps, n);
  const __m256i q = _mm256_and_si256(
      _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(v), divisor)), _mm256_set1_epi32(0xFF));
  const __m128i words = _mm_packs_epi32(lowLane(q), highLane(q));
  uint8_t bytes[8];
  store64(bytes, _mm_packus_epi16(words, words));
  std::memcpy(out + k, bytes, static_cast<size_t>(count - k));
}

// As eraseRow_sse2, which explains the check of each quotient: blocks of
// eight-column steps, then the reference for the steps in doubt and the tail.
void eraseRow_avx2(uint8_t* out, const uint8_t* s, const EraseColumns& columns, const EraseRow& row,
                   int32_t count) noexcept {
  const bool rowInRange = row.q >= 0 && row.l >= 0 && row.l <= 1023 && row.r >= 0 &&
                          row.r <= 1023 && row.bt >= 0 && row.bt <= 16383 && row.bb >= 0 &&
                          row.bb <= 16383;
  int32_t k = 0;
  while (rowInRange && count - k >= 8) {
    const int32_t steps = (count - k) / 8 < 64 ? (count - k) / 8 : 64;
    for (uint64_t redo = eraseSteps(out, columns, row, k, steps); redo != 0; redo &= redo - 1) {
      int32_t step = 0;
      while (((redo >> step) & 1) == 0) ++step;
      const int32_t at = k + 8 * step;
      const EraseColumns part{columns.al + at, columns.ar + at, columns.p + at, columns.t + at,
                              columns.b + at};
      eraseRow_c(out + at, s + at, part, row, 8);
    }
    k += 8 * steps;
  }
  const EraseColumns rest{columns.al + k, columns.ar + k, columns.p + k, columns.t + k,
                          columns.b + k};
  eraseRow_c(out + k, s + k, rest, row, count - k);
}

}  // namespace om
