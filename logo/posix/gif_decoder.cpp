// GIF through giflib's record-level reader rather than DGifSlurp, so that
// the frame count and memory need are known before any pixel buffer is
// allocated, interlaced rows are placed by us, a truncated file still yields
// the frames decoded before the damage, and an animation too large to keep
// decoded can be read one frame at a time as it plays.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "logo/image_codec.h"
#include "logo/posix/gif_decoder.h"

namespace om {
namespace {

struct GifSource {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

int readGifBytes(GifFileType* gif, GifByteType* out, int count) {
  GifSource* src = static_cast<GifSource*>(gif->UserData);
  if (count <= 0) return 0;
  const size_t n = std::min(static_cast<size_t>(count), src->size - src->pos);
  std::memcpy(out, src->data + src->pos, n);
  src->pos += n;
  return static_cast<int>(n);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

GifHandle openGif(GifSource& src) {
  int error = 0;
  return GifHandle(DGifOpen(&src, readGifBytes, &error));
}

// Reads and drops an extension's remaining sub-blocks.
bool skipExtension(GifFileType* gif, GifByteType* block) {
  while (block) {
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
  }
  return true;
}

// Reads and drops an image's LZW data without decoding it.
bool skipImageData(GifFileType* gif) {
  int codeSize = 0;
  GifByteType* block = nullptr;
  if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR) return false;
  while (block) {
    if (DGifGetCodeNext(gif, &block) == GIF_ERROR) return false;
  }
  return true;
}

// giflib appends a record (and a copy of any local colour map) for every
// image descriptor it reads, even to record-level readers; forgetting them
// keeps a long animation's reads in constant memory.
void forgetSavedImages(GifFileType* gif) {
  for (int i = 0; i < gif->ImageCount; ++i) {
    GifFreeMapObject(gif->SavedImages[i].ImageDesc.ColorMap);
    gif->SavedImages[i].ImageDesc.ColorMap = nullptr;
  }
  gif->ImageCount = 0;
}

struct GifOutline {
  int64_t width = 0;   // the canvas every frame is composited on
  int64_t height = 0;
  uint64_t frames = 0;  // image descriptors read before the end or the damage
  int widestImage = 0;
  bool disposesPrevious = false;  // some control block asks for "previous"
};

// First pass: frame count and canvas size, without decompressing pixels.
bool outlineGif(const uint8_t* data, size_t size, uint64_t maxFrames, GifOutline& outline) {
  GifSource src{data, size, 0};
  GifHandle gif = openGif(src);
  if (!gif) return false;
  int64_t extentX = 0, extentY = 0;
  GifRecordType type = UNDEFINED_RECORD_TYPE;
  while (outline.frames < maxFrames) {
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE) break;
    if (type == IMAGE_DESC_RECORD_TYPE) {
      const bool read = DGifGetImageDesc(gif.get()) != GIF_ERROR;
      forgetSavedImages(gif.get());
      if (!read) break;
      const GifImageDesc& d = gif->Image;
      extentX = std::max<int64_t>(extentX, static_cast<int64_t>(d.Left) + d.Width);
      extentY = std::max<int64_t>(extentY, static_cast<int64_t>(d.Top) + d.Height);
      outline.widestImage = std::max(outline.widestImage, d.Width);
      ++outline.frames;
      if (!skipImageData(gif.get())) break;
    } else if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) break;
      GraphicsControlBlock gcb;
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == 4 &&
          DGifExtensionToGCB(4, block + 1, &gcb) == GIF_OK && gcb.DisposalMode == DISPOSE_PREVIOUS)
        outline.disposesPrevious = true;
      if (!skipExtension(gif.get(), block)) break;
    } else {
      break;
    }
  }
  // A zero logical screen is taken as "as large as the frames".
  if (gif->SWidth > 0 && gif->SHeight > 0) {
    outline.width = gif->SWidth;
    outline.height = gif->SHeight;
  } else {
    outline.width = extentX;
    outline.height = extentY;
  }
  return outline.frames > 0;
}

// Colour map as B,G,R,A pixels; indices past the map's end draw opaque black.
void buildPalette(const ColorMapObject* map, uint32_t (&palette)[256]) {
  for (uint32_t& p : palette) p = 0xFF000000u;
  if (!map || !map->Colors) return;
  const int count = std::min(map->ColorCount, 256);
  for (int i = 0; i < count; ++i) {
    const GifColorType& c = map->Colors[i];
    palette[i] = static_cast<uint32_t>(c.Blue) | (static_cast<uint32_t>(c.Green) << 8) |
                 (static_cast<uint32_t>(c.Red) << 16) | 0xFF000000u;
  }
}

struct FrameControl {
  int disposal = DISPOSAL_UNSPECIFIED;
  int transparent = NO_TRANSPARENT_COLOR;
  int delayHundredths = 0;
};

// The frames of a GIF as a viewer composes them, read record by record: the
// canvas starts fully transparent (a GIF's background colour is not
// painted), and each frame's disposal is applied before the next is drawn.
class GifFrameSource final : public FrameSource {
 public:
  // `animated`: delays, and every frame; otherwise the first frame only.
  // What frames need is taken here, never while they are drawn.
  GifFrameSource(std::vector<uint8_t>& bytes, const GifOutline& outline, bool animated)
      : animated_(animated) {
    line_.resize(static_cast<size_t>(outline.widestImage));
    if (outline.disposesPrevious) saved_.resize(static_cast<size_t>(outline.width * outline.height));
    bytes_.swap(bytes);
    width_ = static_cast<int32_t>(outline.width);
    height_ = static_cast<int32_t>(outline.height);
    frameCount_ = static_cast<int>(outline.frames);
  }
  bool open() {
    src_ = GifSource{bytes_.data(), bytes_.size(), 0};
    gif_ = openGif(src_);
    drawn_ = 0;
    ended_ = false;
    return gif_ != nullptr;
  }
  FrameStep drawNext(uint32_t* canvas, int32_t& delayMs) override;
  // giflib reads forward only: the first frame again means opening anew.
  bool rewind() override { return open(); }
  uint64_t heldBytes() const override {
    return bytes_.size() + line_.size() + saved_.size() * sizeof(uint32_t);
  }

 private:
  int32_t drawImage(const FrameControl& control, const CanvasRows& rows, const Rect& area);
  void startFrame(const CanvasRows& rows, const Rect& area, int disposal);

  std::vector<uint8_t> bytes_;
  bool animated_;
  GifSource src_{nullptr, 0, 0};
  GifHandle gif_;
  int drawn_ = 0;
  bool ended_ = false;  // damage seen: no frame follows until rewound
  std::vector<GifPixelType> line_;
  // The area under a "previous"-disposal frame, canvas-sized.
  std::vector<uint32_t> saved_;
  PendingDisposal pending_;
};

// A GIF's background disposal clears (its background colour is never
// painted). The outline read every frame's control block; one it did not
// see keeps the canvas rather than restoring from a buffer never taken.
void GifFrameSource::startFrame(const CanvasRows& rows, const Rect& area, int disposal) {
  const Disposal d = disposal == DISPOSE_BACKGROUND                    ? Disposal::kClear
                     : disposal == DISPOSE_PREVIOUS && !saved_.empty() ? Disposal::kRestore
                                                                      : Disposal::kKeep;
  pending_.startFrame(rows, drawn_ == 0, area, d, saved_.data());
}

// Decodes the current image's rows onto the canvas, de-interlacing as
// needed; the first row is read before the canvas is touched. Returns the
// number of rows read; rows after a read error keep what the canvas held.
int32_t GifFrameSource::drawImage(const FrameControl& control, const CanvasRows& rows,
                                  const Rect& clip) {
  GifFileType* gif = gif_.get();
  const GifImageDesc& d = gif->Image;
  uint32_t palette[256];
  buildPalette(d.ColorMap ? d.ColorMap : gif->SColorMap, palette);
  if (static_cast<size_t>(d.Width) > line_.size() || DGifGetLine(gif, line_.data(), d.Width) == GIF_ERROR) return 0;
  startFrame(rows, clip, control.disposal);

  // Interlaced images send rows in four passes: every 8th from 0, every 8th
  // from 4, every 4th from 2, every 2nd from 1.
  static const int kStart[4] = {0, 4, 2, 1};
  static const int kStep[4] = {8, 8, 4, 2};
  const int passes = d.Interlace ? 4 : 1;
  int32_t rowsRead = 0;
  for (int pass = 0; pass < passes; ++pass) {
    const int start = d.Interlace ? kStart[pass] : 0;
    const int step = d.Interlace ? kStep[pass] : 1;
    for (int r = start; r < d.Height; r += step) {
      if (rowsRead > 0 && DGifGetLine(gif, line_.data(), d.Width) == GIF_ERROR) return rowsRead;
      ++rowsRead;
      const int64_t y = static_cast<int64_t>(d.Top) + r;
      if (y < clip.top || y >= clip.bottom) continue;
      uint32_t* dst = rows.row(static_cast<int32_t>(y)) + clip.left;
      const GifPixelType* src = line_.data() + (clip.left - d.Left);
      const int32_t n = clip.right - clip.left;
      if (control.transparent == NO_TRANSPARENT_COLOR) {
        for (int32_t i = 0; i < n; ++i) dst[i] = palette[src[i]];
      } else {
        // A select rather than a branch: transparent runs are unpredictable.
        const int transparent = control.transparent;
        for (int32_t i = 0; i < n; ++i) dst[i] = src[i] == transparent ? dst[i] : palette[src[i]];
      }
    }
  }
  return rowsRead;
}

FrameStep GifFrameSource::drawNext(uint32_t* canvas, int32_t& delayMs) {
  if (!gif_ || ended_ || drawn_ >= frameCount_) return FrameStep::kEnd;
  GifFileType* gif = gif_.get();
  const CanvasRows rows(canvas, width_, height_);
  FrameControl control;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) break;
      GraphicsControlBlock gcb;
      // The control block applies to the next image only.
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == 4 &&
          DGifExtensionToGCB(4, block + 1, &gcb) == GIF_OK) {
        control.disposal = gcb.DisposalMode;
        control.transparent = gcb.TransparentColor;
        control.delayHundredths = gcb.DelayTime;
      }
      if (!skipExtension(gif, block)) break;
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) break;
    const bool read = DGifGetImageDesc(gif) != GIF_ERROR;
    forgetSavedImages(gif);
    if (!read) break;

    const GifImageDesc& d = gif->Image;
    // The part on the canvas; GIF positions and sizes are 16-bit, so their sums fit.
    const Rect area = clipRect(Rect{d.Left, d.Top, d.Left + d.Width, d.Top + d.Height}, width_, height_);
    bool damaged = false;
    if (static_cast<int64_t>(d.Width) * d.Height <= 0) {
      damaged = !skipImageData(gif);  // an empty image is still a frame
      startFrame(rows, area, control.disposal);
    } else {
      const int32_t rowsRead = drawImage(control, rows, area);
      if (rowsRead == 0) break;  // nothing of this frame could be read
      damaged = rowsRead < d.Height;
    }
    delayMs = !animated_ ? 0 : control.delayHundredths > 0 ? control.delayHundredths * 10 : 100;
    ++drawn_;
    ended_ = damaged;
    return damaged ? FrameStep::kLastDrawn : FrameStep::kDrawn;
  }
  ended_ = true;
  return FrameStep::kEnd;
}

}  // namespace

bool decodeGif(std::vector<uint8_t>& bytes, bool animated, LogoImage& image) {
  GifOutline outline;
  if (!outlineGif(bytes.data(), bytes.size(), animated ? kMaxAnimationFrames : 1, outline)) return false;
  // Refused before the source takes its canvases, as adoptAnimation would.
  if (!animationFitsBudget(outline.width, outline.height, outline.frames)) return false;
  std::unique_ptr<FrameSource> source;
  {
    auto gif = std::make_unique<GifFrameSource>(bytes, outline, animated);
    if (!gif->open()) return false;
    source = std::move(gif);
  }
  return image.adoptAnimation(std::move(source));
}

}  // namespace om
