#include "logo/resampler.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "common/aligned_block.h"
#include "logo/resampler_kernels.h"

namespace om {

ResamplerCache::~ResamplerCache() {
  alignedFree(horizontal.block);
  alignedFree(vertical.block);
  alignedFree(rowBuffer);
}

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

// Rebuilds the table only when one of its five key values changed. A failed
// build clears the key so the next call tries again.
bool ensureTable(FilterTableCache& table, int32_t sourceSize, int32_t destinationSize,
                 int32_t first, int32_t count, int32_t step) {
  if (table.block && table.sourceSize == sourceSize && table.destinationSize == destinationSize &&
      table.first == first && table.count == count && table.step == step)
    return true;
  table.sourceSize = sourceSize;
  table.destinationSize = destinationSize;
  table.first = first;
  table.count = count;
  table.step = step;
  if (BuildFilterTable(sourceSize, destinationSize, first, count, step, table)) return true;
  forgetTableKey(table);
  return false;
}

Rect clipTo(const Rect& r, int32_t width, int32_t height) {
  Rect c;
  c.left = r.left > 0 ? r.left : 0;
  c.top = r.top > 0 ? r.top : 0;
  c.right = r.right < width ? r.right : width;
  c.bottom = r.bottom < height ? r.bottom : height;
  return c;
}

bool resampleWithKernels(const ResamplerKernels& kernels, ResamplerCache& cache,
                         const uint32_t* source, int32_t sourceWidth, int32_t sourceHeight,
                         const Rect& sourceRect, SourceMode mode, uint8_t* destination,
                         int32_t allocatedWidth, int32_t allocatedHeight,
                         const Rect& destinationRect, DestinationLayout layout, uint32_t keyColor) {
  if (!source || !destination || sourceWidth <= 0 || sourceHeight <= 0) return false;
  // Table offsets are 32-bit byte offsets into the picture.
  if (static_cast<uint64_t>(sourceWidth) * static_cast<uint64_t>(sourceHeight) * 4u > INT32_MAX)
    return false;
  const Rect src = clipTo(sourceRect, sourceWidth, sourceHeight);
  if (src.empty()) return false;
  const Rect clip = clipTo(destinationRect, allocatedWidth, allocatedHeight);
  if (clip.empty()) return false;
  // The destination rectangle may reach far outside the allocation; its
  // size still has to be a valid table size.
  const int64_t destinationWidth =
      static_cast<int64_t>(destinationRect.right) - destinationRect.left;
  const int64_t destinationHeight =
      static_cast<int64_t>(destinationRect.bottom) - destinationRect.top;
  if (destinationWidth > INT32_MAX || destinationHeight > INT32_MAX) return false;

  const int32_t sourceRowStep = -4 * sourceWidth;
  if (!ReserveBlock(cache.rowBuffer, cache.rowCapacity, src.width(), 4, 30, 100)) return false;
  if (!ensureTable(cache.vertical, src.height(), static_cast<int32_t>(destinationHeight),
                   clip.top - destinationRect.top, clip.height(), sourceRowStep))
    return false;
  if (!ensureTable(cache.horizontal, src.width(), static_cast<int32_t>(destinationWidth),
                   clip.left - destinationRect.left, clip.width(), 4))
    return false;

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
  uint8_t* row = static_cast<uint8_t*>(cache.rowBuffer);
  const uint8_t* horizontalEntries = static_cast<const uint8_t*>(cache.horizontal.block);
  const uint8_t* verticalEntry = static_cast<const uint8_t*>(cache.vertical.block);
  for (int32_t r = 0; r < clip.height(); ++r) {
    int32_t offset, taps;
    std::memcpy(&offset, verticalEntry, 4);
    std::memcpy(&taps, verticalEntry + 4, 4);
    kernels.vertical(sourceFirst + offset, sourceRowStep, verticalEntry + 8, taps, src.width(), row,
                     keyed, keyPixel);
    kernels.horizontal(row, horizontalEntries, clip.width(), destinationRow, layout);
    destinationRow += destinationStep;
    verticalEntry += 8 + 8 * static_cast<ptrdiff_t>(taps);
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
  if (table.block && entryBytes > table.entryBytes) {
    alignedFree(table.block);
    table.block = nullptr;
    table.capacity = 0;
  }
  if (!ReserveBlock(table.block, table.capacity, count, static_cast<size_t>(entryBytes), 30, 30)) {
    table.entryBytes = 0;
    return false;
  }
  // Recorded as the current budget even when the block was kept: it only
  // ever understates what the block holds.
  table.entryBytes = entryBytes;

  uint8_t* out = static_cast<uint8_t*>(table.block);
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
                   const Rect& destinationRect, DestinationLayout layout, uint32_t keyColor) {
  return resampleWithKernels(resamplerKernels(activeSimdLevel()), cache, source, sourceWidth,
                             sourceHeight, sourceRect, mode, destination, allocatedWidth,
                             allocatedHeight, destinationRect, layout, keyColor);
}

bool resampleImageWith(SimdLevel level, ResamplerCache& cache, const uint32_t* source,
                       int32_t sourceWidth, int32_t sourceHeight, const Rect& sourceRect,
                       SourceMode mode, uint8_t* destination, int32_t allocatedWidth,
                       int32_t allocatedHeight, const Rect& destinationRect,
                       DestinationLayout layout, uint32_t keyColor) {
  const SimdLevel detected = detectedSimdLevel();
  if (level > detected) level = detected;
  return resampleWithKernels(resamplerKernels(level), cache, source, sourceWidth, sourceHeight,
                             sourceRect, mode, destination, allocatedWidth, allocatedHeight,
                             destinationRect, layout, keyColor);
}

const ResamplerKernels& resamplerKernels(SimdLevel level) noexcept {
  if (level >= SimdLevel::Avx2) {
    if (const ResamplerKernels* k = resamplerKernelsAvx2()) return *k;
  }
  if (level >= SimdLevel::Sse2) {
    if (const ResamplerKernels* k = resamplerKernelsSse2()) return *k;
  }
  return kResamplerKernelsScalar;
}

}  // namespace om
