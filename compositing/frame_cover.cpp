#include "compositing/frame_cover.h"

#include <algorithm>
#include <cstddef>

#include "common/cpu.h"
#include "compositing/cover_kernels.h"

namespace om {

namespace {

// Scratch beyond this is refused rather than risked on a 32-bit process.
constexpr uint64_t kMaxScratchBytes = uint64_t{128} << 20;

constexpr int32_t clampTo(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Horizontal and vertical reach of a mode around the covered samples, on a
// plane whose columns are `xScale` frame pixels apart.
int32_t horizontalMargin(CoverMode mode, int32_t strength, int32_t xScale) {
  switch (mode) {
    case CoverMode::Erase: return 1;
    case CoverMode::Blur: return xScale == 2 ? (strength + 1) >> 1 : strength;
    default: return 0;
  }
}
int32_t verticalMargin(CoverMode mode, int32_t strength) {
  return mode == CoverMode::Erase ? 1 : (mode == CoverMode::Blur ? strength : 0);
}

}  // namespace

// One plane's part of the work: its scratch rows and which of its columns
// are held and covered. Rows are the same for every plane.
struct FrameCover::PlaneJob {
  uint8_t* s;            // scratch: plane column `origin` at index 0, row `rowsTop` at row 0
  ptrdiff_t stride;
  int32_t origin;        // plane column of s[0]
  int32_t heldLeft, heldRight;  // columns held: the covered ones and their margin
  int32_t left, right;   // covered columns
  int32_t planeWidth;
  int32_t xScale;        // frame pixels per column: 2 on 4:2:2 chroma
  int32_t margin;        // horizontal reach of the mode on this plane
  int32_t rowsTop, rowsBottom;  // rows held
  int32_t top, bottom;          // rows covered
  int32_t planeHeight;

  uint8_t* row(int32_t y) const { return s + (y - rowsTop) * stride; }
  // The sample at (y, x), both clamped to the plane: what is held covers
  // every clamped index the modes read.
  uint8_t at(int32_t y, int32_t x) const {
    return row(clampTo(y, 0, planeHeight - 1))[clampTo(x, 0, planeWidth - 1) - origin];
  }
};

void FrameCover::prepare(int32_t code, int32_t frameWidth, int32_t frameHeight,
                         int32_t coverWidth, int32_t coverHeight, CoverMode mode,
                         int32_t strength) {
  ready_ = false;
  mode_ = mode;
  code_ = code;
  width_ = frameWidth;
  height_ = frameHeight;
  strength_ = clampTo(strength, 1, 64);
  if (mode != CoverMode::Erase && mode != CoverMode::Blur && mode != CoverMode::Mosaic) return;
  if (code != kPackedYuv422 && code != kBgr24BottomUp) return;
  if (frameWidth <= 0 || frameHeight <= 0 || frameWidth > kMaxFrameSide ||
      frameHeight > kMaxFrameSide || coverWidth <= 0 || coverHeight <= 0)
    return;
  const int32_t lumaWidth = code == kPackedYuv422 ? (frameWidth & ~1) : frameWidth;
  if (lumaWidth <= 0) return;
  capacityWidth_ = std::min(coverWidth, lumaWidth);
  capacityHeight_ = std::min(coverHeight, frameHeight);
  const int32_t marginX = horizontalMargin(mode, strength_, 1);
  const int32_t marginY = verticalMargin(mode, strength_);
  // Held columns: covered plus margins, plus a column each side to whole pairs.
  const int32_t held = std::min(capacityWidth_ + 2 * marginX + 2, lumaWidth + 2);
  stride_ = (held + 2 + 63) & ~63;
  planeRows_ = std::min(capacityHeight_ + 2 * marginY, frameHeight);
  const uint64_t planeBytes = uint64_t{3} * static_cast<uint64_t>(stride_) * planeRows_;
  const uint64_t fillBytes = static_cast<uint64_t>(stride_) * capacityHeight_;
  const uint64_t sumsCount = static_cast<uint64_t>(stride_) + 2 * marginX + 8;
  const uint64_t columnsCount = uint64_t{5} * static_cast<uint64_t>(stride_);
  if (planeBytes + fillBytes + 4 * (sumsCount + columnsCount) > kMaxScratchBytes) return;
  if (!planes_.reserveOf<uint8_t>(static_cast<int32_t>(planeBytes), 0, 50) ||
      !fill_.reserveOf<uint8_t>(static_cast<int32_t>(fillBytes), 0, 50) ||
      !sums_.reserveOf<uint32_t>(static_cast<int32_t>(sumsCount), 0, 50) ||
      !columns_.reserveOf<int32_t>(static_cast<int32_t>(columnsCount), 0, 50))
    return;
  ready_ = true;
}

void FrameCover::apply(uint8_t* frame, const Rect& rect, const OverlayImage* mask,
                       int32_t opacity) {
  if (!ready_ || frame == nullptr || opacity <= 0) return;
  const bool yuv = code_ == kPackedYuv422;
  const int32_t lumaWidth = yuv ? (width_ & ~1) : width_;
  const Rect covered = clipRect(rect, lumaWidth, height_);
  if (covered.empty()) return;
  // Never past the scratch: a rectangle larger than prepared is not drawn.
  if (covered.width() > capacityWidth_ || covered.height() > capacityHeight_) return;
  if (mask && (mask->pixels == nullptr || mask->content.width() < rect.width() ||
               mask->content.height() < rect.height()))
    return;
  const int32_t opacityClamped = std::min(opacity, 256);
  const CoverKernels& k = coverKernelsFor(activeSimdLevel());

  const int32_t marginY = verticalMargin(mode_, strength_);
  const int32_t rowsTop = std::max(covered.top - marginY, 0);
  const int32_t rowsBottom = std::min(covered.bottom + marginY, height_);
  const int32_t rows = rowsBottom - rowsTop;
  uint8_t* base = static_cast<uint8_t*>(planes_.data());
  const ptrdiff_t planeSize = static_cast<ptrdiff_t>(stride_) * planeRows_;
  PlaneJob jobs[3];
  for (int p = 0; p < 3; ++p) {
    PlaneJob& j = jobs[p];
    j.s = base + p * planeSize;
    j.stride = stride_;
    j.rowsTop = rowsTop;
    j.rowsBottom = rowsBottom;
    j.top = covered.top;
    j.bottom = covered.bottom;
    j.planeHeight = height_;
    const bool chroma = yuv && p > 0;
    j.xScale = chroma ? 2 : 1;
    j.planeWidth = chroma ? lumaWidth / 2 : lumaWidth;
    j.margin = horizontalMargin(mode_, strength_, j.xScale);
    // Chroma samples whose even pixel is covered.
    j.left = chroma ? (covered.left + 1) >> 1 : covered.left;
    j.right = chroma ? (covered.right + 1) >> 1 : covered.right;
    j.heldLeft = std::max(j.left - j.margin, 0);
    j.heldRight = std::min(j.right + j.margin, j.planeWidth);
  }

  const ptrdiff_t frameRow = static_cast<ptrdiff_t>(width_) * (yuv ? 2 : 3);
  int32_t firstPair = 0, lastPair = 0;
  if (yuv) {
    // Whole pairs holding every plane's held columns.
    firstPair = std::min(jobs[0].heldLeft >> 1, jobs[1].heldLeft);
    lastPair = std::max((jobs[0].heldRight + 1) >> 1, jobs[1].heldRight);
    jobs[0].origin = 2 * firstPair;
    jobs[1].origin = jobs[2].origin = firstPair;
    for (int32_t y = 0; y < rows; ++y) {
      const ptrdiff_t o = static_cast<ptrdiff_t>(y) * stride_;
      k.splitYuv422(frame + (rowsTop + y) * frameRow + 4 * firstPair, lastPair - firstPair,
                    jobs[0].s + o, jobs[1].s + o, jobs[2].s + o);
    }
  } else {
    const int32_t left = jobs[0].heldLeft, count = jobs[0].heldRight - left;
    for (PlaneJob& j : jobs) j.origin = left;
    for (int32_t y = 0; y < rows; ++y) {
      const ptrdiff_t o = static_cast<ptrdiff_t>(y) * stride_;
      k.splitBgr24(frame + (height_ - 1 - (rowsTop + y)) * frameRow + 3 * left, count,
                   jobs[0].s + o, jobs[1].s + o, jobs[2].s + o);
    }
  }

  const uint8_t* fill = static_cast<const uint8_t*>(fill_.data());
  for (const PlaneJob& j : jobs) {
    if (j.right <= j.left) continue;  // a single odd column covers no chroma
    switch (mode_) {
      case CoverMode::Erase:
        fillErase(j);
        mixRows(j, j.top, j.bottom, fill, stride_, rect, mask, opacityClamped);
        break;
      case CoverMode::Blur:
        fillBlur(j);
        mixRows(j, j.top, j.bottom, fill, stride_, rect, mask, opacityClamped);
        break;
      case CoverMode::Mosaic: mosaicAndMix(j, rect, mask, opacityClamped); break;
      default: break;
    }
  }

  // Back into the frame: the covered rows, as whole pairs or pixels.
  for (int32_t y = covered.top; y < covered.bottom; ++y) {
    const ptrdiff_t o = static_cast<ptrdiff_t>(y - rowsTop) * stride_;
    if (yuv) {
      const int32_t pair = covered.left >> 1, pairs = ((covered.right + 1) >> 1) - pair;
      const int32_t offset = pair - firstPair;
      k.joinYuv422(frame + y * frameRow + 4 * pair, pairs, jobs[0].s + o + 2 * offset,
                   jobs[1].s + o + offset, jobs[2].s + o + offset);
    } else {
      const int32_t offset = covered.left - jobs[0].origin;
      k.joinBgr24(frame + (height_ - 1 - y) * frameRow + 3 * covered.left, covered.width(),
                  jobs[0].s + o + offset, jobs[1].s + o + offset, jobs[2].s + o + offset);
    }
  }
}

void FrameCover::fillErase(const PlaneJob& j) {
  const CoverKernels& k = coverKernelsFor(activeSimdLevel());
  const int32_t count = j.right - j.left;
  // The ring around the covered samples; a side is there when its line is
  // inside the plane.
  const int32_t xl = j.left - 1, xr = j.right, yt = j.top - 1, yb = j.bottom;
  const bool hasLeft = xl >= 0, hasRight = xr < j.planeWidth;
  const bool hasTop = yt >= 0, hasBottom = yb < j.planeHeight;
  int32_t* table = static_cast<int32_t*>(columns_.data());
  const EraseColumns columns{table, table + stride_, table + 2 * stride_, table + 3 * stride_,
                             table + 4 * stride_};
  int32_t* al = table;
  int32_t* ar = table + stride_;
  int32_t* p = table + 2 * stride_;
  int32_t* t = table + 3 * stride_;
  int32_t* b = table + 4 * stride_;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t px = j.left + i, dl = px - xl, dr = xr - px;
    al[i] = hasLeft ? dr : 0;
    ar[i] = hasRight ? dl : 0;
    p[i] = dl * dr;
    t[i] = hasTop ? j.at(yt, px - 1) + j.at(yt, px) + j.at(yt, px + 1) : 0;
    b[i] = hasBottom ? j.at(yb, px - 1) + j.at(yb, px) + j.at(yb, px + 1) : 0;
  }
  uint8_t* fill = static_cast<uint8_t*>(fill_.data());
  for (int32_t py = j.top; py < j.bottom; ++py) {
    const int32_t dt = py - yt, db = yb - py;
    EraseRow row;
    row.q = dt * db;
    row.bt = hasTop ? db : 0;
    row.bb = hasBottom ? dt : 0;
    row.l = hasLeft ? j.at(py - 1, xl) + j.at(py, xl) + j.at(py + 1, xl) : 0;
    row.r = hasRight ? j.at(py - 1, xr) + j.at(py, xr) + j.at(py + 1, xr) : 0;
    k.eraseRow(fill + static_cast<ptrdiff_t>(py - j.top) * stride_, j.row(py) + (j.left - j.origin),
               columns, row, count);
  }
}

void FrameCover::fillBlur(const PlaneJob& j) {
  const CoverKernels& k = coverKernelsFor(activeSimdLevel());
  const int32_t rh = j.margin, rv = strength_;
  const int32_t taps = 2 * rh + 1;
  const uint32_t n = static_cast<uint32_t>(taps) * static_cast<uint32_t>(2 * rv + 1);
  const int32_t held = j.heldRight - j.heldLeft, count = j.right - j.left;
  // Column sums of the held columns, with the taps that fall past the
  // plane's edges before and after them repeating its edge columns.
  uint32_t* window = static_cast<uint32_t*>(sums_.data());
  const int32_t padLeft = rh - (j.left - j.heldLeft);
  const int32_t padRight = rh - (j.heldRight - j.right);
  uint32_t* sums = window + padLeft;
  std::fill(sums, sums + held, 0u);
  auto heldRow = [&](int32_t y) {
    return j.row(clampTo(y, 0, j.planeHeight - 1)) + (j.heldLeft - j.origin);
  };
  for (int32_t dy = -rv; dy <= rv; ++dy) k.addRow(sums, heldRow(j.top + dy), held);
  uint8_t* fill = static_cast<uint8_t*>(fill_.data());
  for (int32_t py = j.top; py < j.bottom; ++py) {
    std::fill(window, sums, sums[0]);
    std::fill(sums + held, sums + held + padRight, sums[held - 1]);
    k.boxRow(fill + static_cast<ptrdiff_t>(py - j.top) * stride_, window, count, taps, n);
    if (py + 1 < j.bottom) k.slideSums(sums, heldRow(py + rv + 1), heldRow(py - rv), held);
  }
}

void FrameCover::mixRows(const PlaneJob& j, int32_t top, int32_t bottom, const uint8_t* fill,
                         ptrdiff_t fillStride, const Rect& rect, const OverlayImage* mask,
                         int32_t opacity) {
  const CoverKernels& k = coverKernelsFor(activeSimdLevel());
  for (int32_t py = top; py < bottom; ++py, fill += fillStride) {
    const uint8_t* weights = nullptr;
    if (mask) {
      // The mask pixel under the sample's (even) pixel; bottom-up rows on BGR24.
      const int32_t pictureRow = py - rect.top;
      const int32_t memoryRow =
          code_ == kPackedYuv422 ? pictureRow : mask->allocatedHeight - 1 - pictureRow;
      weights = mask->pixels + static_cast<ptrdiff_t>(memoryRow) * mask->allocatedWidth * 4 +
                static_cast<ptrdiff_t>(j.xScale * j.left - rect.left) * 4 + 3;
    }
    k.mixRow(j.row(py) + (j.left - j.origin), fill, weights, 4 * j.xScale, j.right - j.left,
             opacity);
  }
}

void FrameCover::mosaicAndMix(const PlaneJob& j, const Rect& rect, const OverlayImage* mask,
                              int32_t opacity) {
  const CoverKernels& k = coverKernelsFor(activeSimdLevel());
  const int32_t size = strength_;
  const int32_t count = j.right - j.left;
  uint32_t* sums = static_cast<uint32_t*>(sums_.data());
  uint8_t* fill = static_cast<uint8_t*>(fill_.data());
  // Blocks start at the rectangle's corner; a chroma sample belongs to the
  // block of its even pixel, so chroma blocks line up with luma blocks.
  for (int32_t bandTop = j.top; bandTop < j.bottom;) {
    const int32_t bandBottom = std::min(rect.top + ((bandTop - rect.top) / size + 1) * size, j.bottom);
    std::fill(sums, sums + count, 0u);
    for (int32_t y = bandTop; y < bandBottom; ++y) k.addRow(sums, j.row(y) + (j.left - j.origin), count);
    const uint32_t rows = static_cast<uint32_t>(bandBottom - bandTop);
    // Blocks one after another along the row: the first found by one
    // division, each next one `size` frame pixels on (xScale is 1 or 2).
    const int32_t shift = j.xScale - 1;
    int32_t blockEnd = rect.left + ((j.xScale * j.left - rect.left) / size + 1) * size;
    for (int32_t i = 0; i < count; blockEnd += size) {
      // The first column whose pixel lies in the next block.
      const int32_t end = std::min(((blockEnd + shift) >> shift) - j.left, count);
      if (end <= i) continue;  // a block of odd pixels only holds no chroma sample
      uint32_t total = 0;
      for (int32_t c = i; c < end; ++c) total += sums[c];
      const uint32_t samples = rows * static_cast<uint32_t>(end - i);
      const uint8_t mean = static_cast<uint8_t>((total + samples / 2) / samples);
      for (int32_t c = i; c < end; ++c) fill[c] = mean;
      i = end;
    }
    // Every row of a band has the same fill.
    mixRows(j, bandTop, bandBottom, fill, 0, rect, mask, opacity);
    bandTop = bandBottom;
  }
}

}  // namespace om
