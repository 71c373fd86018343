#include "logo/overlay.h"

#include <cstddef>
#include <algorithm>
#include <cstdint>

#include "common/aligned_block.h"
#include "common/muldiv.h"
#include "logo/soft_key_kernels.h"

namespace om {

namespace {

// The overlay shows its own block again (after a prepared frame, or a new block).
void showOwnBlock(OverlayImage& overlay) {
  overlay.pixels = overlay.block;
  overlay.allocatedWidth = overlay.blockWidth;
  overlay.allocatedHeight = overlay.blockHeight;
}

void dropOverlayBlock(OverlayImage& overlay) {
  alignedFree(overlay.block);
  overlay.block = nullptr;
  overlay.blockWidth = 0;
  overlay.blockHeight = 0;
  showOwnBlock(overlay);
}

bool layoutOf(const FrameCanvas& canvas, DestinationLayout& layout) {
  if (canvas.layoutCode() == kPackedYuv422) {
    layout = DestinationLayout::Ycc32TopDown;
  } else if (canvas.layoutCode() == kBgr24BottomUp) {
    layout = DestinationLayout::Bgra32BottomUp;
  } else {
    return false;  // no layout to draw in; the blend ignores such frames as well
  }
  return true;
}

}  // namespace

bool ensureOverlaySize(FrameCanvas& canvas, const int32_t size[2], int32_t denominatorX,
                       int32_t denominatorY, int32_t growthPercent, int32_t shrinkPercent) {
  OverlayImage& overlay = canvas.overlay();
  showOwnBlock(overlay);
  const int32_t targetWidth = MulDiv(canvas.width(), size[0], denominatorX);
  const int32_t targetHeight = MulDiv(canvas.height(), size[1], denominatorY);
  overlay.content = Rect{0, 0, targetWidth, targetHeight};
  if (targetWidth <= 0 || targetHeight <= 0) return false;

  const int32_t band = 100 + growthPercent;
  const bool replace = !overlay.block || targetWidth > overlay.blockWidth ||
                       targetHeight > overlay.blockHeight ||
                       targetWidth < MulDiv(overlay.blockWidth, 100 - shrinkPercent, band) ||
                       targetHeight < MulDiv(overlay.blockHeight, 100 - shrinkPercent, band);
  if (!replace) return true;

  int32_t width = MulDiv(targetWidth, band, 100);
  int32_t height = MulDiv(targetHeight, band, 100);
  // The block must hold the content whatever percentages a caller passes.
  if (width < targetWidth) width = targetWidth;
  if (height < targetHeight) height = targetHeight;
  dropOverlayBlock(overlay);
  const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u;
  void* block = bytes <= SIZE_MAX / 2 ? alignedAlloc(static_cast<size_t>(bytes)) : nullptr;
  if (!block) {
    // Nothing to draw into: an empty content rectangle keeps the blend idle.
    overlay.content = Rect{};
    return false;
  }
  overlay.block = static_cast<uint8_t*>(block);
  overlay.blockWidth = width;
  overlay.blockHeight = height;
  showOwnBlock(overlay);
  return true;
}

void OverlayBuilder::prepareOverlay(FrameCanvas& canvas, const uint32_t* pixels,
                                    int32_t pictureWidth, int32_t pictureHeight,
                                    const Rect& pictureRect, OverlayKey key, const int32_t size[2],
                                    int32_t denominatorX, int32_t denominatorY,
                                    int32_t growthPercent, int32_t shrinkPercent) {
  if (!ensureOverlaySize(canvas, size, denominatorX, denominatorY, growthPercent, shrinkPercent))
    return;
  DestinationLayout layout;
  if (!layoutOf(canvas, layout)) return;
  OverlayImage& overlay = canvas.overlay();
  if (!pixels ||
      !resampleImage(resampler_, pixels, pictureWidth, pictureHeight, pictureRect,
                     key.resampleMode(), overlay.pixels,
                     overlay.allocatedWidth, overlay.allocatedHeight, overlay.content, layout,
                     key.color, *key.ycc)) {
    // The new or reused block holds stale bytes; never let the blend show them.
    overlay.content = Rect{};
  }
}

const YccCoefficients& videoColorsCoefficients(int32_t videoColors, int32_t frameWidth,
                                               int32_t frameHeight) {
  switch (videoColors) {
    case kVideoColorsAutomatic:
      return frameWidth >= 1280 || frameHeight > 576 ? kYccTvBt709 : kYccTvBt601;
    case kVideoColorsTvBt601: return kYccTvBt601;
    case kVideoColorsTvBt709: return kYccTvBt709;
    case kVideoColorsFullBt709: return kYccFullBt709;
    default: return kYccFullBt601;
  }
}

bool OverlayKey::operator==(const OverlayKey& o) const {
  return mode == o.mode && color == o.color && tolerance == o.tolerance &&
         softness == o.softness && ycc == o.ycc;
}

OverlayKey chooseOverlayKey(const LogoSettings& record, const LogoImage& logo,
                            const FrameCanvas& canvas) {
  return chooseOverlayKey(record, logo.current(), canvas);
}

OverlayKey chooseOverlayKey(const LogoSettings& record, const LogoFrame& frame,
                            const FrameCanvas& canvas) {
  OverlayKey key;
  key.ycc = &videoColorsCoefficients(record.VideoColors, canvas.width(), canvas.height());
  if (!record.ColorKeyEnable) return key;
  key.mode = SourceMode::Keyed;
  key.tolerance = record.KeyTolerance;
  key.softness = record.KeySoftness;
  if (!record.LeftTopPixelColor) {
    key.color = record.ColorKey;
  } else if (frame.pixels && frame.width > 0 && frame.height > 0) {
    // The top row is the last of a bottom-up frame; B, G, R, A as 0xAABBGGRR.
    const uint8_t* p = reinterpret_cast<const uint8_t*>(
        frame.pixels + static_cast<size_t>(frame.height - 1) * static_cast<size_t>(frame.width));
    const uint32_t corner = static_cast<uint32_t>(p[2]) | (static_cast<uint32_t>(p[1]) << 8) |
                            (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    // A transparent corner reads 0, 0, 0 once premultiplied; keying that
    // would erase every opaque black pixel too. The picture is already
    // transparent there, so nothing more is keyed.
    if ((corner >> 24) == 0) {
      key.mode = SourceMode::Plain;
      key.tolerance = key.softness = 0;
      return key;
    }
    key.color = corner & 0x00FFFFFFu;
  }
  return key;
}

// By the record, not by the current frame's key: with the top-left key a
// later frame may key softly where this one's transparent corner keys nothing.
void OverlayBuilder::reserveSoftKeyed(const LogoImage& logo, const LogoSettings& record) {
  if (!record.ColorKeyEnable || (record.KeyTolerance <= 0 && record.KeySoftness <= 0)) {
    softKeyed_.release();
    return;
  }
  const int64_t largest = logo.largestFramePixels();
  if (largest > softKeyed_.capacity()) softKeyed_.reserve(static_cast<int32_t>(largest), 4, 0, 100);
}

// The pixels the resampler reads: the frame's own, or its soft-keyed copy;
// null when that copy has no room (its block could not be had).
const uint32_t* OverlayBuilder::sourcePixels(const LogoFrame& frame, const OverlayKey& key) {
  if (!key.soft()) return frame.pixels;
  if (!frame.pixels || int64_t{frame.width} * frame.height > softKeyed_.capacity()) return nullptr;
  uint32_t* keyed = static_cast<uint32_t*>(softKeyed_.data());
  applySoftKey(frame.pixels, frame.width, frame.height, key.color, key.tolerance, key.softness,
               keyed);
  return keyed;
}

bool OverlayBuilder::PreparedKey::serves(const PreparedKey& o) const {
  return layoutCode == o.layoutCode && frameWidth == o.frameWidth &&
         frameHeight == o.frameHeight && width == o.width && height == o.height &&
         picture == o.picture && o.frameCount <= frameCount;
}

void OverlayBuilder::prepareFrameAside(FrameCanvas& canvas, const LogoFrame& frame,
                                       const LogoSettings& record) {
  const OverlayKey key = chooseOverlayKey(record, frame, canvas);
  if (key.soft()) softKeyed_.reserve(frame.width * frame.height, 4, 0, 100);
  const int32_t size[2] = {record.LogoSizeX, record.LogoSizeY};
  prepareOverlay(canvas, sourcePixels(frame, key), frame.width, frame.height, frame.validRect, key,
                 size, 1000, 1000, 10, 10);
}

void OverlayBuilder::rebuild(FrameCanvas& canvas, const LogoImage& logo, LogoSettings& record) {
  update(canvas, logo, record, Occasion::Rebuild);
}

void OverlayBuilder::step(FrameCanvas& canvas, const LogoImage& logo, LogoSettings& record) {
  update(canvas, logo, record, Occasion::AnimationStep);
}

void OverlayBuilder::update(FrameCanvas& canvas, const LogoImage& logo, LogoSettings& record,
                            Occasion occasion) {
  if (logo.FrameCount() == 0) return;
  const LogoFrame& frame = logo.current();
  clampPositionAndSize(record, frame.width, frame.height);
  const OverlayKey key = chooseOverlayKey(record, logo, canvas);
  const int32_t size[2] = {record.LogoSizeX, record.LogoSizeY};

  PreparedKey wanted;
  wanted.layoutCode = canvas.layoutCode();
  wanted.frameWidth = canvas.width();
  wanted.frameHeight = canvas.height();
  wanted.width = MulDiv(canvas.width(), size[0], 1000);
  wanted.height = MulDiv(canvas.height(), size[1], 1000);
  wanted.picture = logo.generation();
  wanted.frameCount = logo.FrameCount();
  // Whatever changed the overlay drops what was prepared and reserves anew; a
  // step keeps it while the geometry and the picture are the same, and
  // otherwise resamples without reserving (nothing is allocated on a step).
  if (occasion == Occasion::Rebuild) {
    // A streamed animation's file and canvases come out of the same 64 MiB,
    // so playing it never holds more than a picture decoded whole would.
    const uint64_t held = std::min(logo.streamHeldBytes(), preparedBudget_);
    reservePrepared(wanted, canvas, preparedBudget_ - held);
    reserveSoftKeyed(logo, record);
    // Frames beyond the prepared ones are resampled into the overlay's own
    // block at each step: it is taken here, not on a step.
    if (preparedReady_ && preparedValid_.size() < static_cast<size_t>(wanted.frameCount))
      ensureOverlaySize(canvas, size, 1000, 1000, 10, 10);
  } else if (!preparedKey_.serves(wanted)) {
    preparedReady_ = false;
  }
  if (!preparedReady_ || !showPrepared(canvas, logo, key, wanted)) {
    prepareOverlay(canvas, sourcePixels(frame, key), frame.width, frame.height, frame.validRect,
                   key, size, 1000, 1000, 10, 10);
  }
}

// One block for the overlays of as many frames as the budget holds, from the
// first, taken here and never on a step. Later frames, and every frame when
// the block cannot be had, are resampled at every step as a still logo is at
// every rebuild.
void OverlayBuilder::reservePrepared(const PreparedKey& wanted, const FrameCanvas& canvas,
                                     uint64_t budget) {
  preparedReady_ = false;
  preparedKey_ = wanted;
  for (OverlayKey& k : preparedKeys_) k = OverlayKey();
  std::fill(preparedValid_.begin(), preparedValid_.end(), false);
  DestinationLayout layout;
  const uint64_t frameBytes = static_cast<uint64_t>(wanted.width > 0 ? wanted.width : 0) *
                              static_cast<uint64_t>(wanted.height > 0 ? wanted.height : 0) * 4u;
  // The bookkeeping per frame stays small beside the overlays it stands for.
  const uint64_t slots = frameBytes == 0 ? 0
                         : std::min<uint64_t>({static_cast<uint64_t>(std::max(wanted.frameCount, 0)),
                                               budget / frameBytes, kMaxPreparedFrames});
  if (wanted.frameCount < 2 || slots == 0 || !layoutOf(canvas, layout)) {
    prepared_.release();
    return;
  }
  try {
    preparedValid_.assign(static_cast<size_t>(slots), false);
    preparedKeys_.assign(static_cast<size_t>(slots), OverlayKey());
  } catch (...) {
    return;
  }
  if (!prepared_.reserve(static_cast<int32_t>(slots), static_cast<size_t>(frameBytes), 10, 10)) return;
  preparedReady_ = true;
}

// Shows the current frame's prepared overlay, resampling it first when it
// is not prepared yet. False when it cannot be shown that way.
bool OverlayBuilder::showPrepared(FrameCanvas& canvas, const LogoImage& logo, OverlayKey key,
                                  const PreparedKey& geometry) {
  const int index = logo.currentFrame();
  if (index < 0 || static_cast<size_t>(index) >= preparedValid_.size()) return false;
  const size_t frameBytes = static_cast<size_t>(geometry.width) * geometry.height * 4;
  uint8_t* pixels = static_cast<uint8_t*>(prepared_.data()) + frameBytes * static_cast<size_t>(index);
  const Rect content{0, 0, geometry.width, geometry.height};
  OverlayKey& stored = preparedKeys_[static_cast<size_t>(index)];
  // With the top-left key, each frame's key is its own corner: compare it too.
  const bool same = preparedValid_[static_cast<size_t>(index)] && stored == key;
  if (!same) {
    DestinationLayout layout;
    if (!layoutOf(canvas, layout)) return false;
    const LogoFrame& frame = logo.current();
    preparedValid_[static_cast<size_t>(index)] = false;
    const uint32_t* source = sourcePixels(frame, key);
    if (!source ||
        !resampleImage(resampler_, source, frame.width, frame.height, frame.validRect,
                       key.resampleMode(), pixels, geometry.width,
                       geometry.height, content, layout, key.color, *key.ycc))
      return false;
    preparedValid_[static_cast<size_t>(index)] = true;
    stored = key;
  }
  OverlayImage& overlay = canvas.overlay();
  overlay.pixels = pixels;
  overlay.allocatedWidth = geometry.width;
  overlay.allocatedHeight = geometry.height;
  overlay.content = content;
  return true;
}

}  // namespace om
