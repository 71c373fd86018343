// Overlay preparation: the current logo frame scaled to its target size in
// frame pixels, converted to the frame's layout, keyed when asked.
#pragma once

#include <cstdint>
#include <vector>

#include "common/rect.h"
#include "compositing/frame_canvas.h"
#include "logo/logo_image.h"
#include "logo/resampler.h"
#include "settings/settings_model.h"

namespace om {

// How one rebuild reads the picture and stores its colours: plain, or with
// one colour keyed out, exactly or softly; and for 4:2:2 frames the colour
// coefficients.
struct OverlayKey {
  SourceMode mode = SourceMode::Plain;
  uint32_t color = 0;  // 0x00BBGGRR; 0 in plain mode
  // Percent, keyed mode only: either above 0 weights every pixel by its
  // distance from the key before the picture is scaled.
  int32_t tolerance = 0;
  int32_t softness = 0;
  const YccCoefficients* ycc = &kYccFullBt601;

  bool soft() const { return mode == SourceMode::Keyed && (tolerance > 0 || softness > 0); }
  // How the resampler reads its source: a soft-keyed copy is read plain.
  SourceMode resampleMode() const { return soft() ? SourceMode::Plain : mode; }
  bool operator==(const OverlayKey& o) const;
};

// The key of the record's ColorKeyEnable, LeftTopPixelColor, ColorKey,
// KeyTolerance and KeySoftness against the picture's current frame, and the
// colours of its VideoColors for the canvas's frame size.
OverlayKey chooseOverlayKey(const LogoSettings& record, const LogoImage& logo,
                            const FrameCanvas& canvas);
// The same for one frame, the picture's current one or not.
OverlayKey chooseOverlayKey(const LogoSettings& record, const LogoFrame& frame,
                            const FrameCanvas& canvas);

// The coefficients a VideoColors value stands for on frames of this size:
// automatic takes TV range, and BT.709 from 1280 wide or above 576 high.
const YccCoefficients& videoColorsCoefficients(int32_t videoColors, int32_t frameWidth,
                                               int32_t frameHeight);

// Fills the canvas's overlay. Keeps the resampler's filter tables between
// rebuilds, so an animation step at an unchanged size only scales; and for
// an animation, the overlay of every frame once prepared (of as many as the
// budget holds), so after the first loop a step at an unchanged size and
// picture costs what a still logo costs. Prepared frames are kept by frame
// index: frame i of a picture (one generation) always has the same pixels,
// a streamed animation's too.
class OverlayBuilder {
 public:
  // The rebuild of a loaded picture: clamps the record's position and size
  // to the current frame, picks the key, and prepares the overlay from that
  // frame at the record's size. Drops the frames prepared before. Caller
  // holds FrameLock.
  void rebuild(FrameCanvas& canvas, const LogoImage& logo, LogoSettings& record);
  // The rebuild after an animation step: the same overlay, shown again
  // without resampling when this frame was prepared for the same geometry,
  // settings and picture.
  void step(FrameCanvas& canvas, const LogoImage& logo, LogoSettings& record);
  // The overlay of one frame of a picture, into the canvas's own block, for
  // a record already clamped to it: what a step shows for that frame, made
  // away from the picture (a streamed frame drawn ahead on another thread).
  void prepareFrameAside(FrameCanvas& canvas, const LogoFrame& frame, const LogoSettings& record);

  void prepareOverlay(FrameCanvas& canvas, const uint32_t* pixels, int32_t pictureWidth,
                      int32_t pictureHeight, const Rect& pictureRect, OverlayKey key,
                      const int32_t size[2], int32_t denominatorX, int32_t denominatorY,
                      int32_t growthPercent, int32_t shrinkPercent);

  ResamplerCache& resamplerCache() { return resampler_; }

  // At most this many bytes of prepared animation frames (64-bit sizes),
  // and at most this many frames.
  static constexpr uint64_t kPreparedBudgetBytes = uint64_t{64} << 20;
  static constexpr uint64_t kMaxPreparedFrames = uint64_t{1} << 16;
  void setPreparedBudget(uint64_t bytes) { preparedBudget_ = bytes; }
  // Bytes held by the frames prepared so far.
  uint64_t preparedBytes() const {
    return static_cast<uint64_t>(prepared_.capacity()) * prepared_.elementSize();
  }

 private:
  enum class Occasion { Rebuild, AnimationStep };
  // What prepared frames were made for, besides each frame's own key.
  struct PreparedKey {
    int32_t layoutCode = -1, frameWidth = 0, frameHeight = 0, width = 0, height = 0;
    uint64_t picture = 0;
    int frameCount = 0;
    // Whether frames prepared for this key serve `o`: the same geometry and
    // picture, and no more frames (a streamed animation that found its end
    // early plays fewer than it announced, and keeps their pixels).
    bool serves(const PreparedKey& o) const;
  };

  void update(FrameCanvas& canvas, const LogoImage& logo, LogoSettings& record,
              Occasion occasion);
  void reservePrepared(const PreparedKey& wanted, const FrameCanvas& canvas, uint64_t budget);
  bool showPrepared(FrameCanvas& canvas, const LogoImage& logo, OverlayKey key,
                    const PreparedKey& geometry);
  void reserveSoftKeyed(const LogoImage& logo, const LogoSettings& record);
  const uint32_t* sourcePixels(const LogoFrame& frame, const OverlayKey& key);

  ResamplerCache resampler_;
  // The soft-keyed copy of the frame being prepared: reserved at rebuilds
  // for the picture's largest frame, never on an animation step.
  ReusableBlock softKeyed_;
  ReusableBlock prepared_;  // frame i's overlay at i * width * height * 4 bytes
  PreparedKey preparedKey_;
  std::vector<bool> preparedValid_;
  std::vector<OverlayKey> preparedKeys_;
  bool preparedReady_ = false;
  uint64_t preparedBudget_ = kPreparedBudgetBytes;
};

// Sets the content rectangle; returns false when no block could be had (the
// content rectangle is then empty and nothing will be drawn).
bool ensureOverlaySize(FrameCanvas& canvas, const int32_t size[2], int32_t denominatorX,
                       int32_t denominatorY, int32_t growthPercent, int32_t shrinkPercent);

}  // namespace om
