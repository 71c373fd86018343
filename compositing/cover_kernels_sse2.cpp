// SSE2 row kernels of the covers; byte-identical to cover_kernels_c.cpp.
//
// Mixing keeps opacities and sample differences times 16 in 16-bit lanes
// (|value| <= 4096), so the high half of their product is floor(o2*diff / 256),
// as in the blend. The blur's windows are prefix sums of column-sum
// differences, divided in single precision; the erase divides in single
// precision too and checks that the quotient cannot round across an integer
// (see eraseRow_sse2). Helpers stay in an anonymous namespace so no inline
// function compiled with these instruction flags can be picked by the
// linker for another file.
#include <emmintrin.h>

#include <cstring>

#include "compositing/cover_kernels.h"

namespace om {

namespace {

inline __m128i load128(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline __m128i load64(const void* p) { return _mm_loadl_epi64(static_cast<const __m128i*>(p)); }
inline void store128(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
inline void store64(void* p, __m128i v) { _mm_storel_epi64(static_cast<__m128i*>(p), v); }

inline __m128i evenBytes(__m128i a, __m128i b) {
  const __m128i low = _mm_set1_epi16(0xFF);
  return _mm_packus_epi16(_mm_and_si128(a, low), _mm_and_si128(b, low));
}
inline __m128i oddBytes(__m128i a, __m128i b) {
  return _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8));
}

// 96 bytes in six registers: byte i moves to 2i mod 95 (95 stays). Five
// rounds take 3p + c to 32 * (3p + c) = p + 32c (mod 95): 32 B, G, R
// pixels become their three planes.
inline void interleaveHalves(__m128i v[6]) {
  const __m128i r0 = _mm_unpacklo_epi8(v[0], v[3]), r1 = _mm_unpackhi_epi8(v[0], v[3]);
  const __m128i r2 = _mm_unpacklo_epi8(v[1], v[4]), r3 = _mm_unpackhi_epi8(v[1], v[4]);
  const __m128i r4 = _mm_unpacklo_epi8(v[2], v[5]), r5 = _mm_unpackhi_epi8(v[2], v[5]);
  v[0] = r0, v[1] = r1, v[2] = r2, v[3] = r3, v[4] = r4, v[5] = r5;
}
// The inverse round: even bytes, then odd ones.
inline void separateHalves(__m128i v[6]) {
  const __m128i e0 = evenBytes(v[0], v[1]), e1 = evenBytes(v[2], v[3]), e2 = evenBytes(v[4], v[5]);
  const __m128i o0 = oddBytes(v[0], v[1]), o1 = oddBytes(v[2], v[3]), o2 = oddBytes(v[4], v[5]);
  v[0] = e0, v[1] = e1, v[2] = e2, v[3] = o0, v[4] = o1, v[5] = o2;
}

void splitBgr32(const uint8_t* pixels, uint8_t* b, uint8_t* g, uint8_t* r) {
  __m128i v[6];
  for (int i = 0; i < 6; ++i) v[i] = load128(pixels + 16 * i);
  for (int round = 0; round < 5; ++round) interleaveHalves(v);
  store128(b, v[0]), store128(b + 16, v[1]);
  store128(g, v[2]), store128(g + 16, v[3]);
  store128(r, v[4]), store128(r + 16, v[5]);
}

void joinBgr32(uint8_t* pixels, const uint8_t* b, const uint8_t* g, const uint8_t* r) {
  __m128i v[6] = {load128(b),      load128(b + 16), load128(g),
                  load128(g + 16), load128(r),      load128(r + 16)};
  for (int round = 0; round < 5; ++round) separateHalves(v);
  for (int i = 0; i < 6; ++i) store128(pixels + 16 * i, v[i]);
}

// Sixteen samples of d mixed toward c; o16Lo, o16Hi: o2 * 16 of samples
// 0..7 and 8..15, 0..4096.
inline void mix16(uint8_t* d, const uint8_t* c, __m128i o16Lo, __m128i o16Hi) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i dv = load128(d), cv = load128(c);
  const __m128i dLo = _mm_unpacklo_epi8(dv, zero), dHi = _mm_unpackhi_epi8(dv, zero);
  const __m128i diffLo = _mm_slli_epi16(_mm_sub_epi16(_mm_unpacklo_epi8(cv, zero), dLo), 4);
  const __m128i diffHi = _mm_slli_epi16(_mm_sub_epi16(_mm_unpackhi_epi8(cv, zero), dHi), 4);
  const __m128i rLo = _mm_add_epi16(dLo, _mm_mulhi_epi16(o16Lo, diffLo));  // -255..510
  const __m128i rHi = _mm_add_epi16(dHi, _mm_mulhi_epi16(o16Hi, diffHi));
  store128(d, _mm_packus_epi16(rLo, rHi));
}

// Eight samples: the low half of mix16.
inline void mix8(uint8_t* d, const uint8_t* c, __m128i o16) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i dv = _mm_unpacklo_epi8(load64(d), zero);
  const __m128i diff = _mm_slli_epi16(_mm_sub_epi16(_mm_unpacklo_epi8(load64(c), zero), dv), 4);
  const __m128i r = _mm_add_epi16(dv, _mm_mulhi_epi16(o16, diff));
  store64(d, _mm_packus_epi16(r, r));
}

// o2 * 16 from mask weights m in 16-bit lanes: a = m + (m >> 7), then
// (opacity * a) >> 8, whose product fits 16 bits unless opacity is 256.
template <bool kFullOpacity>
inline __m128i scaledOpacity(__m128i m, __m128i opacity) {
  const __m128i a = _mm_add_epi16(m, _mm_srli_epi16(m, 7));
  const __m128i o2 = kFullOpacity ? a : _mm_srli_epi16(_mm_mullo_epi16(a, opacity), 8);
  return _mm_slli_epi16(o2, 4);
}

// Weights of eight samples from the overlay pixels at `pixels` (byte 3 each)
// with step 4: two loads of four pixels. With step 8 (every other pixel):
// four loads, the unused pixels' weights dropped by the second pack.
inline __m128i weights8Step4(const uint8_t* pixels) {
  return _mm_packs_epi32(_mm_srli_epi32(load128(pixels), 24),
                         _mm_srli_epi32(load128(pixels + 16), 24));
}
inline __m128i weights8Step8(const uint8_t* pixels) {
  const __m128i even = _mm_set1_epi32(0xFFFF);
  const __m128i a = _mm_and_si128(weights8Step4(pixels), even);
  const __m128i b = _mm_and_si128(weights8Step4(pixels + 32), even);
  return _mm_packs_epi32(a, b);
}

template <bool kFullOpacity>
int32_t mixWeighted(uint8_t* d, const uint8_t* c, const uint8_t* weights, int32_t weightStep,
                    int32_t count, int32_t opacity) {
  const __m128i o = _mm_set1_epi16(static_cast<int16_t>(opacity));
  const uint8_t* pixels = weights - 3;
  int32_t i = 0;
  if (weightStep == 4) {
    for (; i + 16 <= count; i += 16, pixels += 64)
      mix16(d + i, c + i, scaledOpacity<kFullOpacity>(weights8Step4(pixels), o),
            scaledOpacity<kFullOpacity>(weights8Step4(pixels + 32), o));
    if (i + 8 <= count) {
      mix8(d + i, c + i, scaledOpacity<kFullOpacity>(weights8Step4(pixels), o));
      i += 8;
    }
  } else {
    // The last load reaches 4 bytes past the last weight used: the next
    // sample's pixel must exist.
    for (; i + 16 < count; i += 16, pixels += 128)
      mix16(d + i, c + i, scaledOpacity<kFullOpacity>(weights8Step8(pixels), o),
            scaledOpacity<kFullOpacity>(weights8Step8(pixels + 64), o));
    if (i + 8 < count) {
      mix8(d + i, c + i, scaledOpacity<kFullOpacity>(weights8Step8(pixels), o));
      i += 8;
    }
  }
  return i;
}

// Inclusive prefix sums of four 32-bit lanes (mod 2^32).
inline __m128i prefix4(__m128i x) {
  x = _mm_add_epi32(x, _mm_slli_si128(x, 4));
  return _mm_add_epi32(x, _mm_slli_si128(x, 8));
}

// floor(v / n) of four windows plus n / 2, v < 2^23 and n < 2^24 exact in
// single precision. The quotient x = v / n is an integer or at least 1/n
// below the next one, and one rounding moves it less than x * 2^-23 < 1/n,
// in any rounding mode: truncation gives the floor.
inline __m128i divide4(__m128i v, __m128 n) {
  return _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(v), n));
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

void splitYuv422_sse2(const uint8_t* pairs, int32_t pairCount, uint8_t* y, uint8_t* cb,
                      uint8_t* cr) noexcept {
  for (; pairCount >= 16; pairCount -= 16, pairs += 64, y += 32, cb += 16, cr += 16) {
    const __m128i a = load128(pairs), b = load128(pairs + 16);
    const __m128i c = load128(pairs + 32), d = load128(pairs + 48);
    store128(y, evenBytes(a, b));
    store128(y + 16, evenBytes(c, d));
    const __m128i chroma0 = oddBytes(a, b), chroma1 = oddBytes(c, d);  // Cb Cr Cb Cr ...
    store128(cb, evenBytes(chroma0, chroma1));
    store128(cr, oddBytes(chroma0, chroma1));
  }
  if (pairCount >= 8) {
    const __m128i a = load128(pairs), b = load128(pairs + 16);
    store128(y, evenBytes(a, b));
    const __m128i chroma = oddBytes(a, b);
    const __m128i both = evenBytes(chroma, _mm_srli_epi16(chroma, 8));  // 8 Cb, then 8 Cr
    store64(cb, both);
    store64(cr, _mm_srli_si128(both, 8));
    pairCount -= 8, pairs += 32, y += 16, cb += 8, cr += 8;
  }
  splitYuv422_c(pairs, pairCount, y, cb, cr);
}

void joinYuv422_sse2(uint8_t* pairs, int32_t pairCount, const uint8_t* y, const uint8_t* cb,
                     const uint8_t* cr) noexcept {
  for (; pairCount >= 16; pairCount -= 16, pairs += 64, y += 32, cb += 16, cr += 16) {
    const __m128i u = load128(cb), v = load128(cr);
    const __m128i chroma0 = _mm_unpacklo_epi8(u, v), chroma1 = _mm_unpackhi_epi8(u, v);
    const __m128i y0 = load128(y), y1 = load128(y + 16);
    store128(pairs, _mm_unpacklo_epi8(y0, chroma0));
    store128(pairs + 16, _mm_unpackhi_epi8(y0, chroma0));
    store128(pairs + 32, _mm_unpacklo_epi8(y1, chroma1));
    store128(pairs + 48, _mm_unpackhi_epi8(y1, chroma1));
  }
  if (pairCount >= 8) {
    const __m128i chroma = _mm_unpacklo_epi8(load64(cb), load64(cr));
    const __m128i y0 = load128(y);
    store128(pairs, _mm_unpacklo_epi8(y0, chroma));
    store128(pairs + 16, _mm_unpackhi_epi8(y0, chroma));
    pairCount -= 8, pairs += 32, y += 16, cb += 8, cr += 8;
  }
  joinYuv422_c(pairs, pairCount, y, cb, cr);
}

// A tail of 1..31 pixels is done again as the row's last 32 (the same bytes
// written twice), or by the reference on rows shorter than that.
void splitBgr24_sse2(const uint8_t* pixels, int32_t count, uint8_t* b, uint8_t* g,
                     uint8_t* r) noexcept {
  if (count < 32) return splitBgr24_c(pixels, count, b, g, r);
  overlappingSteps(count, 32, [&](int32_t i) {
    splitBgr32(pixels + 3 * i, b + i, g + i, r + i);
  });
}

void joinBgr24_sse2(uint8_t* pixels, int32_t count, const uint8_t* b, const uint8_t* g,
                    const uint8_t* r) noexcept {
  if (count < 32) return joinBgr24_c(pixels, count, b, g, r);
  overlappingSteps(count, 32, [&](int32_t i) {
    joinBgr32(pixels + 3 * i, b + i, g + i, r + i);
  });
}

void mixRow_sse2(uint8_t* d, const uint8_t* c, const uint8_t* weights, int32_t weightStep,
                 int32_t count, int32_t opacity) noexcept {
  int32_t i = 0;
  if (opacity >= 0 && opacity <= 256) {
    if (weights == nullptr) {
      const __m128i o16 = _mm_set1_epi16(static_cast<int16_t>(opacity * 16));
      for (; i + 16 <= count; i += 16) mix16(d + i, c + i, o16, o16);
      if (i + 8 <= count) mix8(d + i, c + i, o16), i += 8;
    } else if (weightStep == 4 || weightStep == 8) {
      i = opacity == 256 ? mixWeighted<true>(d, c, weights, weightStep, count, opacity)
                         : mixWeighted<false>(d, c, weights, weightStep, count, opacity);
    }
  }
  mixRow_c(d + i, c + i, weights ? weights + static_cast<intptr_t>(i) * weightStep : nullptr,
           weightStep, count - i, opacity);
}

// Sums take 32-bit differences: adding them wraps exactly as the
// reference's unsigned arithmetic does.
void slideSums_sse2(uint32_t* sums, const uint8_t* add, const uint8_t* sub,
                    int32_t count) noexcept {
  const __m128i zero = _mm_setzero_si128();
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i diff = _mm_sub_epi16(_mm_unpacklo_epi8(load64(add + i), zero),
                                       _mm_unpacklo_epi8(load64(sub + i), zero));
    const __m128i sign = _mm_srai_epi16(diff, 15);
    store128(sums + i, _mm_add_epi32(load128(sums + i), _mm_unpacklo_epi16(diff, sign)));
    store128(sums + i + 4, _mm_add_epi32(load128(sums + i + 4), _mm_unpackhi_epi16(diff, sign)));
  }
  slideSums_c(sums + i, add + i, sub + i, count - i);
}

void addRow_sse2(uint32_t* sums, const uint8_t* row, int32_t count) noexcept {
  const __m128i zero = _mm_setzero_si128();
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i v = _mm_unpacklo_epi8(load64(row + i), zero);
    store128(sums + i, _mm_add_epi32(load128(sums + i), _mm_unpacklo_epi16(v, zero)));
    store128(sums + i + 4, _mm_add_epi32(load128(sums + i + 4), _mm_unpackhi_epi16(v, zero)));
  }
  addRow_c(sums + i, row + i, count - i);
}

// Window k is W[0] plus the differences e[j] = sums[j + taps] - sums[j] for
// j < k: the prefix sums of four differences at a time go onto the running
// window. Every window plus n / 2 must stay below 2^23 for the division;
// the header's bounds keep it there, and a row that breaks them is done
// again by the reference.
void boxRow_sse2(uint8_t* out, const uint32_t* sums, int32_t count, int32_t taps,
                 uint32_t n) noexcept {
  if (count <= 0 || taps < 1 || n == 0 || n >= (1u << 24))
    return boxRow_c(out, sums, count, taps, n);
  uint32_t first = 0;
  for (int32_t i = 0; i < taps; ++i) first += sums[i];
  __m128i window = _mm_set1_epi32(static_cast<int32_t>(first));  // W[k] in every lane
  const __m128i half = _mm_set1_epi32(static_cast<int32_t>(n / 2));
  const __m128 divisor = _mm_set1_ps(static_cast<float>(n));
  __m128i seen = _mm_setzero_si128();
  int32_t k = 0;
  // Eight windows a step; the differences read sums up to k + 7 + taps, so
  // the last step stops short of the final entry.
  for (; k + 8 < count; k += 8) {
    __m128i q[2];
    for (int h = 0; h < 2; ++h) {
      const uint32_t* at = sums + k + 4 * h;
      const __m128i e = _mm_sub_epi32(load128(at + taps), load128(at));
      const __m128i inclusive = prefix4(e);
      const __m128i v = _mm_add_epi32(_mm_add_epi32(window, _mm_slli_si128(inclusive, 4)), half);
      window = _mm_add_epi32(window, _mm_shuffle_epi32(inclusive, _MM_SHUFFLE(3, 3, 3, 3)));
      seen = _mm_or_si128(seen, v);
      q[h] = _mm_and_si128(divide4(v, divisor), _mm_set1_epi32(0xFF));  // the reference's byte
    }
    const __m128i words = _mm_packs_epi32(q[0], q[1]);
    store64(out + k, _mm_packus_epi16(words, words));
  }
  // The last 1..8 windows summed one by one, divided as vectors.
  uint32_t tail[8] = {};
  uint32_t w = static_cast<uint32_t>(_mm_cvtsi128_si32(window));
  for (int32_t j = 0; k + j < count; ++j) {
    tail[j] = w + n / 2;
    if (k + j + 1 < count) w += sums[k + j + taps] - sums[k + j];
  }
  const __m128i v0 = load128(tail), v1 = load128(tail + 4);
  seen = _mm_or_si128(seen, _mm_or_si128(v0, v1));
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_srli_epi32(seen, 23), _mm_setzero_si128())) != 0xFFFF)
    return boxRow_c(out, sums, count, taps, n);  // some v >= 2^23
  const __m128i low = _mm_set1_epi32(0xFF);
  const __m128i words = _mm_packs_epi32(_mm_and_si128(divide4(v0, divisor), low),
                                        _mm_and_si128(divide4(v1, divisor), low));
  uint8_t bytes[8];
  store64(bytes, _mm_packus_epi16(words, words));
  std::memcpy(out + k, bytes, static_cast<size_t>(count - k));
}

// Eight columns a step, four a vector, in single precision. y = (2N + 3S) /
// (6S) has the reference's quotient as its floor. Every term is
// non-negative and every input converts exactly or with one rounding, so y
// comes out within 8 roundings of at most 2^-23 each (in any rounding
// mode), under 1e-6 relative: with l, r, t, b <= 1023, y < 342 and the
// error stays below 2^-11. A quotient farther than that from an integer
// floors right; the others, S = 0 and inputs beyond these bounds go to the
// reference (about one step in a hundred).
//   num = q * (al * (2l + 3) + ar * (2r + 3)) + p * (t * 2bt + b * 2bb + 3(bt + bb))
//   den = 6q * (al + ar) + p * 6(bt + bb)
// The integer parts are pairs of 16-bit products (madd), below 2^28.
void eraseRow_sse2(uint8_t* out, const uint8_t* s, const EraseColumns& columns, const EraseRow& row,
                   int32_t count) noexcept {
  const bool rowInRange = row.q >= 0 && row.l >= 0 && row.l <= 1023 && row.r >= 0 &&
                          row.r <= 1023 && row.bt >= 0 && row.bt <= 16383 && row.bb >= 0 &&
                          row.bb <= 16383;
  int32_t k = 0;
  if (rowInRange) {
    const __m128i sidePair = _mm_set1_epi32((2 * row.l + 3) | (2 * row.r + 3) << 16);
    const __m128i bandPair = _mm_set1_epi32((2 * row.bt) | (2 * row.bb) << 16);
    const __m128i band = _mm_set1_epi32(3 * (row.bt + row.bb));
    const __m128 q = _mm_set1_ps(static_cast<float>(row.q));
    const __m128 q6 = _mm_set1_ps(static_cast<float>(int64_t{6} * row.q));
    const __m128 band6 = _mm_set1_ps(static_cast<float>(6 * (row.bt + row.bb)));
    const __m128i sideLimit = _mm_set1_epi32(~0x7FFF), sumLimit = _mm_set1_epi32(~0x3FF);
    const __m128 eps = _mm_set1_ps(1.0f / 2048), one = _mm_set1_ps(1.0f);
    const __m128 upper = _mm_set1_ps(1.0f - 1.0f / 2048);
    for (; k + 8 <= count; k += 8) {
      __m128i quotient[2];
      int32_t doubtful = 0;
      for (int h = 0; h < 2; ++h) {
        const int32_t at = k + 4 * h;
        const __m128i al = load128(columns.al + at), ar = load128(columns.ar + at);
        const __m128i p = load128(columns.p + at);
        const __m128i t = load128(columns.t + at), b = load128(columns.b + at);
        const __m128i outside =
            _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_or_si128(al, ar), sideLimit),
                                      _mm_and_si128(_mm_or_si128(t, b), sumLimit)),
                         _mm_srai_epi32(p, 31));
        const __m128i side = _mm_madd_epi16(_mm_or_si128(al, _mm_slli_epi32(ar, 16)), sidePair);
        const __m128i across =
            _mm_add_epi32(_mm_madd_epi16(_mm_or_si128(t, _mm_slli_epi32(b, 16)), bandPair), band);
        const __m128 pf = _mm_cvtepi32_ps(p);
        const __m128 num = _mm_add_ps(_mm_mul_ps(q, _mm_cvtepi32_ps(side)),
                                      _mm_mul_ps(pf, _mm_cvtepi32_ps(across)));
        const __m128 den = _mm_add_ps(_mm_mul_ps(q6, _mm_cvtepi32_ps(_mm_add_epi32(al, ar))),
                                      _mm_mul_ps(pf, band6));
        // S = 0 makes num 0 too: y = 0, which the margin hands to the reference.
        const __m128 y = _mm_div_ps(num, _mm_max_ps(den, one));
        const __m128i floorY = _mm_cvttps_epi32(y);
        const __m128 fraction = _mm_sub_ps(y, _mm_cvtepi32_ps(floorY));
        const __m128 unsure = _mm_or_ps(_mm_cmplt_ps(fraction, eps), _mm_cmpgt_ps(fraction, upper));
        doubtful |= _mm_movemask_ps(unsure) |
                    (_mm_movemask_epi8(_mm_cmpeq_epi32(outside, _mm_setzero_si128())) ^ 0xFFFF);
        quotient[h] = _mm_and_si128(floorY, _mm_set1_epi32(0xFF));  // the reference's byte
      }
      if (doubtful) {
        const EraseColumns part{columns.al + k, columns.ar + k, columns.p + k, columns.t + k,
                                columns.b + k};
        eraseRow_c(out + k, s + k, part, row, 8);
        continue;
      }
      const __m128i words = _mm_packs_epi32(quotient[0], quotient[1]);
      store64(out + k, _mm_packus_epi16(words, words));
    }
  }
  const EraseColumns rest{columns.al + k, columns.ar + k, columns.p + k, columns.t + k,
                          columns.b + k};
  eraseRow_c(out + k, s + k, rest, row, count - k);
}

}  // namespace om
