#include "dialog/preview_scaler.h"

#include <algorithm>

#include "common/aligned_block.h"
#include "common/muldiv.h"

namespace om {

void buildStepTable(StepEntry* entries, const StepTableKey& key) {
  int64_t a = key.sourceSpan;
  int64_t b = key.destinationSpan;
  uint32_t bias = 0;
  if (a < b) {
    // Enlarging: the first and last destination pixels land exactly on the
    // first and last source pixels.
    a -= 1;
    b -= 1;
  } else {
    // a * 65536 < 2^31 for spans up to kPreviewMaxSpan; a >= b keeps the
    // quotient at least 65536, so the bias is never negative.
    const uint32_t step = static_cast<uint32_t>(a) * 65536u / static_cast<uint32_t>(b);
    bias = step / 2u - 32768u;
  }
  int64_t cursor = 0;
  for (int32_t i = 0; i < key.count; ++i) {
    // 16.16 source position; (start + i) < destination span keeps it within
    // (source span - 1) << 16.
    const int64_t p = static_cast<int64_t>(key.start + i) * a * 65536 / b + bias;
    const int64_t k = p >> 16;
    const uint16_t f = static_cast<uint16_t>((p & 0xFFFF) >> 4);
    StepEntry& e = entries[i];
    e.advance = static_cast<int32_t>((k - cursor) * key.byteStep);
    if (f != 0) {
      e.next = key.byteStep;
      cursor = k + 1;
    } else {
      e.next = 0;
      cursor = k;
    }
    for (uint16_t& w : e.weight) w = f;
  }
}

const StepEntry* PreviewScaler::table(CachedTable& cache, const StepTableKey& key,
                                      int32_t growthPercent, int32_t shrinkPercent) {
  StepEntry* entries = cache.entries.reserveOf<StepEntry>(key.count, growthPercent, shrinkPercent);
  if (!entries) {
    cache.built = false;
    return nullptr;
  }
  if (!cache.built || cache.key != key) {
    buildStepTable(entries, key);
    cache.key = key;
    cache.built = true;
    ++tablesBuilt_;
  }
  return entries;
}

static bool spanAccepted(int32_t low, int32_t high) {
  const int64_t span = static_cast<int64_t>(high) - low;
  return span > 0 && span <= kPreviewMaxSpan;
}

bool PreviewScaler::scale(const uint32_t* source, int32_t sourceWidth, int32_t sourceHeight,
                          const Rect& sourceRect, uint32_t* destination,
                          int32_t destinationWidth, int32_t destinationHeight,
                          const Rect& destinationRect) {
  if (!source || !destination) return false;
  if (sourceWidth <= 0 || sourceHeight <= 0 || destinationWidth <= 0 || destinationHeight <= 0)
    return false;
  if (sourceWidth > kPreviewMaxSpan || sourceHeight > kPreviewMaxSpan ||
      destinationWidth > kPreviewMaxSpan || destinationHeight > kPreviewMaxSpan)
    return false;
  const Rect& d = destinationRect;
  if (!spanAccepted(d.left, d.right) || !spanAccepted(d.top, d.bottom)) return false;
  const Rect s = clipRect(sourceRect, sourceWidth, sourceHeight);
  if (s.empty()) return false;
  const Rect v = clipRect(d, destinationWidth, destinationHeight);
  if (v.empty()) return false;

  const ptrdiff_t sourceStride = -4 * static_cast<ptrdiff_t>(sourceWidth);
  const ptrdiff_t destinationStride = -4 * static_cast<ptrdiff_t>(destinationWidth);

  // Two spare pixels past the row end: slack for vector loads.
  const int32_t growth = growthPercent_;
  const int32_t shrink = shrinkPercent_;
  uint32_t* row = rowBuffer_.reserveOf<uint32_t>(s.width() + 2, growth, shrink);
  StepTableKey vkey;
  vkey.sourceSpan = s.height();
  vkey.destinationSpan = d.height();
  vkey.start = v.top - d.top;
  vkey.count = v.height();
  vkey.byteStep = static_cast<int32_t>(sourceStride);
  StepTableKey hkey;
  hkey.sourceSpan = s.width();
  hkey.destinationSpan = d.width();
  hkey.start = v.left - d.left;
  hkey.count = v.width();
  hkey.byteStep = 4;
  const StepEntry* vt = row ? table(vertical_, vkey, growth, shrink) : nullptr;
  const StepEntry* ht = vt ? table(horizontal_, hkey, growth, shrink) : nullptr;
  if (!ht) return false;  // no memory: the caller's background stays

  const PreviewKernels& k = previewKernelsFor(activeSimdLevel());
  const uint8_t* sourceRow0 = reinterpret_cast<const uint8_t*>(source) +
                              static_cast<ptrdiff_t>(sourceHeight - 1) * 4 * sourceWidth;
  const uint8_t* cursor = sourceRow0 + s.top * sourceStride + 4 * static_cast<ptrdiff_t>(s.left);
  uint8_t* out = reinterpret_cast<uint8_t*>(destination) +
                 static_cast<ptrdiff_t>(destinationHeight - 1) * 4 * destinationWidth +
                 v.top * destinationStride + 4 * static_cast<ptrdiff_t>(v.left);
  uint8_t* rowBytes = reinterpret_cast<uint8_t*>(row);
  for (int32_t y = 0; y < v.height(); ++y) {
    const StepEntry& e = vt[y];
    cursor += e.advance;
    k.lerpRow(rowBytes, cursor, cursor + e.next, s.width(), e.weight[0]);
    cursor += e.next;
    k.lerpTaps(out, rowBytes, ht, v.width());
    out += destinationStride;
  }
  return true;
}

}  // namespace om
