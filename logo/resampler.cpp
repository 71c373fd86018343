#include "logo/resampler.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "common/aligned_block.h"
#include "logo/resampler_kernels.h"

namespace om {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kPiThird = 1.0471975511965979;

double sinc(double v) { return v < 1e-9 ? 1.0 : std::sin(v) / v; }

// Weights are stored as the low 16 bits of the truncated value; saturating
// to int64 first keeps the conversion defined for any double.
int16_t lowSixteenBits(double value) {
  int64_t q;
  if (value >= 9.2e18)
    q = INT64_MAX;
  else if (value <= -9.2e18)
    q = INT64_MIN;
  else
    q = static_cast<int64_t>(value);  // truncation toward zero
  const uint16_t low = static_cast<uint16_t>(static_cast<uint64_t>(q) & 0xFFFFu);
  int16_t out;
  std::memcpy(&out, &low, sizeof out);
  return out;
}

void forgetTableKey(FilterTableCache& table) {
  table.sourceSize = table.destinationSize = table.first = table.count = table.step = 0;
}

int32_t load32(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

int16_t weightOf(const uint8_t* weights, int32_t tap) {
  int16_t q;
  std::memcpy(&q, weights + 8 * tap, 2);
  return q;
}

// Most taps of any entry of a table, and whether the table holds `count` well-formed entries.
int32_t maxTapsOf(const FilterTableCache& table) {
  const uint8_t* entry = static_cast<const uint8_t*>(table.block.data());
  int32_t most = 0;
  for (int32_t i = 0; i < table.count; ++i) {
    const int32_t taps = load32(entry + 4);
    if (taps > most) most = taps;
    entry += 8 + 8 * static_cast<ptrdiff_t>(taps);
  }
  return most;
}

// One run of one tap count: the most any entry keeps once its zero weights
// at either end are dropped. Lanczos entries differ only near the picture's
// edges, so the few shorter ones are padded with zero weights (which add
// nothing), their window moved left where it would pass the row's end.
bool buildHorizontalPlan(const FilterTableCache& table, HorizontalPlan& plan) {
  const int32_t count = table.count;
  const int32_t rowWidth = table.sourceSize;
  auto trimmed = [](const uint8_t* entry, int32_t& column, int32_t& kept, int32_t& lead) {
    column = load32(entry) / 4;
    const int32_t taps = load32(entry + 4);
    const uint8_t* w = entry + 8;
    lead = 0;
    int32_t trail = 0;
    while (lead < taps && weightOf(w, lead) == 0) ++lead;
    while (trail < taps - lead && weightOf(w, taps - 1 - trail) == 0) ++trail;
    kept = taps - lead - trail;
    return 8 + 8 * static_cast<ptrdiff_t>(taps);
  };
  int32_t most = 0;
  const uint8_t* entry = static_cast<const uint8_t*>(table.block.data());
  for (int32_t i = 0; i < count; ++i) {
    int32_t column, kept, lead;
    entry += trimmed(entry, column, kept, lead);
    if (kept > most) most = kept;
  }
  if (static_cast<int64_t>(count) * most * 4 + 8 > INT32_MAX) return false;
  int32_t* offsets = plan.offsets.reserveOf<int32_t>(count, 30, 30);
  int16_t* weights = plan.weights.reserveOf<int16_t>(count * most * 4 + 8, 30, 30);
  plan.taps = most;
  if (!offsets || !weights) return false;
  entry = static_cast<const uint8_t*>(table.block.data());
  for (int32_t i = 0; i < count; ++i) {
    int32_t column, kept, lead;
    const ptrdiff_t size = trimmed(entry, column, kept, lead);
    const int32_t first = column + lead;
    const int32_t start = std::min(first, rowWidth - most);  // >= 0: most <= rowWidth
    int16_t* w = weights + 4 * static_cast<ptrdiff_t>(most) * i;
    std::fill(w, w + 4 * most, int16_t{0});
    std::memcpy(w + 4 * (first - start), entry + 8 + 8 * lead, 8 * static_cast<size_t>(kept));
    offsets[i] = 4 * start;
    entry += size;
  }
  return true;
}

enum class TableState { Kept, Rebuilt, Failed };

// Rebuilds the table only when one of its five key values changed. A failed
// build clears the key so the next call tries again.
TableState ensureTable(FilterTableCache& table, int32_t sourceSize, int32_t destinationSize,
                       int32_t first, int32_t count, int32_t step) {
  if (table.block.data() && table.sourceSize == sourceSize && table.destinationSize == destinationSize &&
      table.first == first && table.count == count && table.step == step)
    return TableState::Kept;
  table.sourceSize = sourceSize;
  table.destinationSize = destinationSize;
  table.first = first;
  table.count = count;
  table.step = step;
  if (BuildFilterTable(sourceSize, destinationSize, first, count, step, table))
    return TableState::Rebuilt;
  forgetTableKey(table);
  return TableState::Failed;
}

// Taps of weight 0 add nothing and are left out of the vertical pass; one
// tap of 16384 is the identity (the sum floor(p * 128 * 16384 / 65536)
// shifted by 5 gives p back), a conversion. Returns the taps kept; their
// weights go to `weights`, their source rows (indices from the source
// rectangle's top) to `sourceRows`.
int32_t keptTaps(const uint8_t* entry, int32_t sourceRowStep, int16_t* weights,
                 int32_t* sourceRows) {
  const int32_t firstRow = load32(entry) / sourceRowStep;  // offsets are whole row steps
  const int32_t taps = load32(entry + 4);
  const uint8_t* w = entry + 8;
  int32_t kept = 0;
  for (int32_t k = 0; k < taps; ++k) {
    if (weightOf(w, k) == 0) continue;
    std::memcpy(weights + 4 * kept, w + 8 * k, 8);
    sourceRows[kept++] = firstRow + k;
  }
  return kept;
}

bool isIdentity(int32_t kept, const int16_t* weights) { return kept == 1 && weights[0] == 16384; }

// Converted source rows, each converted once per call: a destination row's
// taps are consecutive rows, at most `slots` of them, so they never share a
// slot.
class ConvertedRows {
 public:
  ConvertedRows(const ResamplerKernels& kernels, ResamplerCache& cache, int32_t slots,
                const uint8_t* sourceFirst, int32_t sourceRowStep, int32_t width, bool keyed,
                uint32_t keyPixel)
      : kernels_(kernels), slots_(slots), sourceFirst_(sourceFirst), sourceRowStep_(sourceRowStep),
        width_(width), keyed_(keyed), keyPixel_(keyPixel) {
    const int64_t values = static_cast<int64_t>(slots) * width * 4;
    if (slots > kMostSlots || values * 2 > kConvertedRowsBudgetBytes) return;
    rows_ = cache.convertedRows.reserveOf<int16_t>(static_cast<int32_t>(values), 30, 100);
    held_ = cache.convertedSlots.reserveOf<int32_t>(slots, 30, 100);
    if (!rows_ || !held_) {
      rows_ = nullptr;
      return;
    }
    std::fill(held_, held_ + slots, -1);
  }

  bool available() const { return rows_ != nullptr; }

  const int16_t* row(int32_t sourceRow) {
    const int32_t slot = sourceRow % slots_;
    int16_t* out = rows_ + static_cast<ptrdiff_t>(slot) * width_ * 4;
    if (held_[slot] != sourceRow) {
      kernels_.convert(sourceFirst_ + static_cast<ptrdiff_t>(sourceRow) * sourceRowStep_, width_,
                       out, keyed_, keyPixel_);
      held_[slot] = sourceRow;
    }
    return out;
  }

 private:
  // Rows converted once pay when each feeds several destination rows and the
  // filter is short (enlarging, or 1:1: 6 taps at most). A shrink's long
  // filter keeps the multiplier busy and its rows are read by fewer
  // destination rows, so there each tap widens the picture's bytes itself,
  // which measured faster than a conversion pass.
  static constexpr int32_t kMostSlots = 6;
  static constexpr int64_t kConvertedRowsBudgetBytes = int64_t{16} << 20;

  const ResamplerKernels& kernels_;
  int32_t slots_;
  const uint8_t* sourceFirst_;
  int32_t sourceRowStep_;
  int32_t width_;
  bool keyed_;
  uint32_t keyPixel_;
  int16_t* rows_ = nullptr;
  int32_t* held_ = nullptr;
};

// The filter tables and plan for this geometry (kept when it is the last
// one), and the per-row buffers at their sizes. False when a block could
// not be had.
bool prepareTables(ResamplerCache& cache, const Rect& src, const Rect& clip,
                   const Rect& destinationRect, int64_t destinationWidth,
                   int64_t destinationHeight, int32_t sourceRowStep) {
  switch (ensureTable(cache.vertical, src.height(), static_cast<int32_t>(destinationHeight),
                      clip.top - destinationRect.top, clip.height(), sourceRowStep)) {
    case TableState::Failed: return false;
    case TableState::Rebuilt: cache.verticalMaxTaps = maxTapsOf(cache.vertical); break;
    case TableState::Kept: break;
  }
  switch (ensureTable(cache.horizontal, src.width(), static_cast<int32_t>(destinationWidth),
                      clip.left - destinationRect.left, clip.width(), 4)) {
    case TableState::Failed: return false;
    case TableState::Rebuilt:
      if (!buildHorizontalPlan(cache.horizontal, cache.plan)) {
        // A table the pixel passes cannot read is no table.
        cache.horizontal.block.release();
        forgetTableKey(cache.horizontal);
        return false;
      }
      break;
    case TableState::Kept: break;
  }
  const int32_t maxTaps = cache.verticalMaxTaps > 0 ? cache.verticalMaxTaps : 1;
  const int32_t width = src.width();
  return cache.rowBuffer.reserve(width, 8, 30, 100) &&
         cache.tapRows.reserve(maxTaps, sizeof(const void*), 30, 100) &&
         cache.tapSourceRows.reserve(maxTaps, 4, 30, 100) &&
         cache.tapWeights.reserve(maxTaps, 8, 30, 100);
}

bool resampleWithKernels(const ResamplerKernels& kernels, ResamplerCache& cache,
                         const uint32_t* source, int32_t sourceWidth, int32_t sourceHeight,
                         const Rect& sourceRect, SourceMode mode, uint8_t* destination,
                         int32_t allocatedWidth, int32_t allocatedHeight,
                         const Rect& destinationRect, DestinationLayout layout, uint32_t keyColor,
                         const YccCoefficients& ycc) {
  if (!source || !destination || sourceWidth <= 0 || sourceHeight <= 0) return false;
  // Table offsets are 32-bit byte offsets into the picture.
  if (static_cast<uint64_t>(sourceWidth) * static_cast<uint64_t>(sourceHeight) * 4u > INT32_MAX)
    return false;
  const Rect src = clipRect(sourceRect, sourceWidth, sourceHeight);
  if (src.empty()) return false;
  const Rect clip = clipRect(destinationRect, allocatedWidth, allocatedHeight);
  if (clip.empty()) return false;
  // The destination rectangle may reach far outside the allocation; its
  // size still has to be a valid table size.
  const int64_t destinationWidth =
      static_cast<int64_t>(destinationRect.right) - destinationRect.left;
  const int64_t destinationHeight =
      static_cast<int64_t>(destinationRect.bottom) - destinationRect.top;
  if (destinationWidth > INT32_MAX || destinationHeight > INT32_MAX) return false;

  const int32_t sourceRowStep = -4 * sourceWidth;
  const int32_t width = src.width();
  if (!prepareTables(cache, src, clip, destinationRect, destinationWidth, destinationHeight,
                     sourceRowStep))
    return false;
  const int32_t maxTaps = cache.verticalMaxTaps > 0 ? cache.verticalMaxTaps : 1;

  const uint8_t* sourceBytes = reinterpret_cast<const uint8_t*>(source);
  const uint8_t* sourceFirst =
      sourceBytes + static_cast<ptrdiff_t>(sourceHeight - 1 - src.top) * 4 * sourceWidth +
      static_cast<ptrdiff_t>(src.left) * 4;
  const ptrdiff_t destinationRowBytes = static_cast<ptrdiff_t>(allocatedWidth) * 4;
  ptrdiff_t destinationStep;
  uint8_t* destinationRow;
  if (layout == DestinationLayout::Bgra32BottomUp) {
    destinationStep = -destinationRowBytes;
    destinationRow = destination + (allocatedHeight - 1 - clip.top) * destinationRowBytes;
  } else {
    destinationStep = destinationRowBytes;
    destinationRow = destination + clip.top * destinationRowBytes;
  }
  destinationRow += static_cast<ptrdiff_t>(clip.left) * 4;

  const bool keyed = mode == SourceMode::Keyed;
  // 0x00BBGGRR to the picture's in-memory order B, G, R.
  const uint32_t keyPixel =
      ((keyColor & 0xFFu) << 16) | (keyColor & 0xFF00u) | ((keyColor >> 16) & 0xFFu);
  int16_t* rowBuffer = static_cast<int16_t*>(cache.rowBuffer.data());
  auto* weightsKept = static_cast<int16_t*>(cache.tapWeights.data());
  auto* sourceRows = static_cast<int32_t*>(cache.tapSourceRows.data());
  const int32_t* offsets = static_cast<const int32_t*>(cache.plan.offsets.data());
  const int16_t* weights = static_cast<const int16_t*>(cache.plan.weights.data());
  const uint8_t* verticalEntry = static_cast<const uint8_t*>(cache.vertical.block.data());
  ConvertedRows converted(kernels, cache, maxTaps, sourceFirst, sourceRowStep, width, keyed,
                          keyPixel);
  for (int32_t r = 0; r < clip.height(); ++r) {
    const int32_t kept = keptTaps(verticalEntry, sourceRowStep, weightsKept, sourceRows);
    const int16_t* row = rowBuffer;
    if (converted.available()) {
      auto** rows = static_cast<const int16_t**>(cache.tapRows.data());
      for (int32_t k = 0; k < kept; ++k) rows[k] = converted.row(sourceRows[k]);
      if (isIdentity(kept, weightsKept))
        row = rows[0];
      else
        kernels.verticalConverted(rows, weightsKept, kept, width, rowBuffer);
    } else {
      auto** rows = static_cast<const uint8_t**>(cache.tapRows.data());
      for (int32_t k = 0; k < kept; ++k)
        rows[k] = sourceFirst + static_cast<ptrdiff_t>(sourceRows[k]) * sourceRowStep;
      if (isIdentity(kept, weightsKept))
        kernels.convert(rows[0], width, rowBuffer, keyed, keyPixel);
      else
        kernels.vertical(rows, weightsKept, kept, width, rowBuffer, keyed, keyPixel);
    }
    kernels.horizontal(row, offsets, weights, cache.plan.taps, clip.width(), destinationRow,
                       layout, ycc);
    destinationRow += destinationStep;
    verticalEntry += 8 + 8 * static_cast<ptrdiff_t>(load32(verticalEntry + 4));
  }
  return true;
}

}  // namespace

double LanczosWeight(double x) {
  const double t = std::fabs(x);
  if (t >= 3.0) return 0.0;
  return sinc(kPi * t) * sinc(kPiThird * t);
}

bool BuildFilterTable(int32_t sourceSize, int32_t destinationSize, int32_t first, int32_t count,
                      int32_t step, FilterTableCache& table) {
  ++table.builds;
  if (sourceSize <= 0 || destinationSize <= 0 || count <= 0 || first < 0) return false;
  const double a = sourceSize;
  const double b = destinationSize;
  const double scale = b / a < 1.0 ? b / a : 1.0;  // g
  const double support = 3.0 / scale;              // l
  const double budget = std::ceil(2.0 * support);  // T
  // One entry must stay addressable with 32-bit sizes.
  if (budget > (INT32_MAX - 8) / 8) return false;
  const int32_t tapBudget = static_cast<int32_t>(budget);
  const int32_t entryBytes = 8 * tapBudget + 8;
  uint8_t* out =
      static_cast<uint8_t*>(table.block.reserve(count, static_cast<size_t>(entryBytes), 30, 30));
  if (!out) return false;
  for (int64_t index = first; index < static_cast<int64_t>(first) + count; ++index) {
    const double i = static_cast<double>(index);
    // Left end of the filter's reach; source pixel k spans k .. k + 1.
    const double m = i * a / b + 0.5 * a / b - support;
    const double u = std::floor(m) - m - support + 0.5;
    const int64_t firstPixel = m >= 0 ? static_cast<int64_t>(m) : 0;
    const int64_t offset = firstPixel * step;
    if (offset > INT32_MAX || offset < INT32_MIN) return false;
    const int32_t offset32 = static_cast<int32_t>(offset);

    // Only taps inside the picture count; the kept ones are renormalised.
    // They are found once: on the x87 unit at 64-bit precision, m compared
    // twice can differ between a register and a spilled copy, and a tap
    // count that disagrees with the weights written misplaces every later
    // entry. For the same reason the taps are held inside the picture.
    int32_t firstTap = tapBudget, endTap = 0;
    for (int32_t j = 0; j < tapBudget; ++j) {
      if (m + j < 0 || m + j >= a) continue;
      if (firstTap == tapBudget) firstTap = j;
      endTap = j + 1;
    }
    if (endTap > firstTap && firstPixel + (endTap - firstTap) > sourceSize)
      endTap = firstTap + static_cast<int32_t>(sourceSize > firstPixel ? sourceSize - firstPixel : 0);
    const int32_t used = endTap > firstTap ? endTap - firstTap : 0;
    double sum = 0;
    for (int32_t j = firstTap; j < endTap; ++j) sum += LanczosWeight((j + u) * scale);
    if (used == 0 || sum == 0) sum = 1;

    std::memcpy(out, &offset32, 4);
    std::memcpy(out + 4, &used, 4);
    int16_t* weights = reinterpret_cast<int16_t*>(out + 8);
    for (int32_t j = firstTap; j < endTap; ++j) {
      const double w = LanczosWeight((j + u) * scale);
      const int16_t q = lowSixteenBits(w / sum * 16384 + 0.5);
      for (int lane = 0; lane < 4; ++lane) *weights++ = q;
    }
    out = reinterpret_cast<uint8_t*>(weights);
  }
  return true;
}

bool resampleImage(ResamplerCache& cache, const uint32_t* source, int32_t sourceWidth,
                   int32_t sourceHeight, const Rect& sourceRect, SourceMode mode,
                   uint8_t* destination, int32_t allocatedWidth, int32_t allocatedHeight,
                   const Rect& destinationRect, DestinationLayout layout, uint32_t keyColor,
                   const YccCoefficients& ycc) {
  return resampleWithKernels(resamplerKernelsFor(activeSimdLevel()), cache, source, sourceWidth,
                             sourceHeight, sourceRect, mode, destination, allocatedWidth,
                             allocatedHeight, destinationRect, layout, keyColor, ycc);
}

}  // namespace om
