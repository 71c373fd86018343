// Scalar references of the cover kernels: the formulas as written, one
// sample at a time. The vector kernels must match them byte for byte.
#include "compositing/cover_kernels.h"

namespace om {

uint8_t mixSample(int32_t d, int32_t c, int32_t weight, int32_t opacity) noexcept {
  const int32_t a = weight + (weight >> 7);     // 0..256
  const int32_t o2 = (opacity * a) >> 8;        // 0..256
  const int32_t v = d + ((o2 * (c - d)) >> 8);  // floor, also for a negative product
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

void splitYuv422_c(const uint8_t* pairs, int32_t pairCount, uint8_t* y, uint8_t* cb,
                   uint8_t* cr) noexcept {
  for (int32_t i = 0; i < pairCount; ++i, pairs += 4) {
    y[2 * i] = pairs[0];
    cb[i] = pairs[1];
    y[2 * i + 1] = pairs[2];
    cr[i] = pairs[3];
  }
}

void joinYuv422_c(uint8_t* pairs, int32_t pairCount, const uint8_t* y, const uint8_t* cb,
                  const uint8_t* cr) noexcept {
  for (int32_t i = 0; i < pairCount; ++i, pairs += 4) {
    pairs[0] = y[2 * i];
    pairs[1] = cb[i];
    pairs[2] = y[2 * i + 1];
    pairs[3] = cr[i];
  }
}

void splitBgr24_c(const uint8_t* pixels, int32_t count, uint8_t* b, uint8_t* g,
                  uint8_t* r) noexcept {
  for (int32_t i = 0; i < count; ++i, pixels += 3) {
    b[i] = pixels[0];
    g[i] = pixels[1];
    r[i] = pixels[2];
  }
}

void joinBgr24_c(uint8_t* pixels, int32_t count, const uint8_t* b, const uint8_t* g,
                 const uint8_t* r) noexcept {
  for (int32_t i = 0; i < count; ++i, pixels += 3) {
    pixels[0] = b[i];
    pixels[1] = g[i];
    pixels[2] = r[i];
  }
}

void mixRow_c(uint8_t* d, const uint8_t* c, const uint8_t* weights, int32_t weightStep,
              int32_t count, int32_t opacity) noexcept {
  for (int32_t i = 0; i < count; ++i) {
    const int32_t m = weights ? weights[static_cast<intptr_t>(i) * weightStep] : 255;
    d[i] = mixSample(d[i], c[i], m, opacity);
  }
}

void slideSums_c(uint32_t* sums, const uint8_t* add, const uint8_t* sub, int32_t count) noexcept {
  for (int32_t i = 0; i < count; ++i) sums[i] += static_cast<uint32_t>(add[i]) - sub[i];
}

void addRow_c(uint32_t* sums, const uint8_t* row, int32_t count) noexcept {
  for (int32_t i = 0; i < count; ++i) sums[i] += row[i];
}

void boxRow_c(uint8_t* out, const uint32_t* sums, int32_t count, int32_t taps,
              uint32_t n) noexcept {
  if (count <= 0) return;  // sums then holds fewer than taps entries
  uint32_t window = 0;
  for (int32_t i = 0; i < taps; ++i) window += sums[i];
  for (int32_t k = 0; k < count; ++k) {
    out[k] = static_cast<uint8_t>((window + n / 2) / n);
    if (k + 1 < count) window += sums[k + taps] - sums[k];
  }
}

void eraseRow_c(uint8_t* out, const uint8_t* s, const EraseColumns& columns, const EraseRow& row,
                int32_t count) noexcept {
  for (int32_t k = 0; k < count; ++k) {
    const int64_t wl = int64_t{row.q} * columns.al[k];
    const int64_t wr = int64_t{row.q} * columns.ar[k];
    const int64_t wt = int64_t{columns.p[k]} * row.bt;
    const int64_t wb = int64_t{columns.p[k]} * row.bb;
    const int64_t sum = wl + wr + wt + wb;
    if (sum == 0) {
      out[k] = s[k];
      continue;
    }
    const int64_t n = row.l * wl + row.r * wr + columns.t[k] * wt + columns.b[k] * wb;
    out[k] = static_cast<uint8_t>((n + 3 * sum / 2) / (3 * sum));
  }
}

}  // namespace om
