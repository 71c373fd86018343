// GIF through giflib's record-level reader rather than DGifSlurp, so that
// the frame count and memory need are known before any pixel buffer is
// allocated, interlaced rows are placed by us, and a truncated file still
// yields the frames decoded before the damage.
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

// giflib keeps a record per image descriptor it reads; after the budget is
// known to be exceeded there is no point in reading further.
constexpr uint64_t kMaxOutlinedFrames = kPictureMemoryBudget / kFrameOverheadBytes + 1;

struct GifOutline {
  int64_t width = 0;   // the canvas every frame is composited on
  int64_t height = 0;
  uint64_t frames = 0;  // image descriptors read before the end or the damage
};

// First pass: frame count and canvas size, without decompressing pixels.
bool outlineGif(const uint8_t* data, size_t size, uint64_t maxFrames, GifOutline& outline) {
  GifSource src{data, size, 0};
  GifHandle gif = openGif(src);
  if (!gif) return false;
  int64_t extentX = 0, extentY = 0;
  GifRecordType type = UNDEFINED_RECORD_TYPE;
  while (outline.frames < maxFrames && outline.frames < kMaxOutlinedFrames) {
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE) break;
    if (type == IMAGE_DESC_RECORD_TYPE) {
      if (DGifGetImageDesc(gif.get()) == GIF_ERROR) break;
      const GifImageDesc& d = gif->Image;
      extentX = std::max<int64_t>(extentX, static_cast<int64_t>(d.Left) + d.Width);
      extentY = std::max<int64_t>(extentY, static_cast<int64_t>(d.Top) + d.Height);
      ++outline.frames;
      if (!skipImageData(gif.get())) break;
    } else if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR || !skipExtension(gif.get(), block)) break;
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

// The canvas a GIF viewer keeps between frames: top-down B,G,R,A, starting
// fully transparent (a GIF's background colour is not painted).
class GifCanvas {
 public:
  GifCanvas(int32_t width, int32_t height)
      : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, 0u) {}

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  uint32_t* row(int32_t y) { return pixels_.data() + static_cast<size_t>(y) * width_; }

  // The part of an image rectangle that lies on the canvas. GIF positions
  // and sizes are 16-bit, so their sums fit.
  Rect area(const GifImageDesc& d) const {
    return clipRect(Rect{d.Left, d.Top, d.Left + d.Width, d.Top + d.Height}, width_, height_);
  }

  void save(const Rect& r, std::vector<uint32_t>& out) {
    if (r.empty()) return;
    out.resize(static_cast<size_t>(r.width()) * r.height());
    for (int32_t y = r.top; y < r.bottom; ++y)
      std::memcpy(out.data() + static_cast<size_t>(y - r.top) * r.width(), row(y) + r.left,
                  static_cast<size_t>(r.width()) * 4);
  }
  void restore(const Rect& r, const std::vector<uint32_t>& in) {
    if (r.empty()) return;
    for (int32_t y = r.top; y < r.bottom; ++y)
      std::memcpy(row(y) + r.left, in.data() + static_cast<size_t>(y - r.top) * r.width(),
                  static_cast<size_t>(r.width()) * 4);
  }
  void clear(const Rect& r) {
    for (int32_t y = r.top; y < r.bottom; ++y) std::fill(row(y) + r.left, row(y) + r.right, 0u);
  }

  // Copies the canvas into a frame stored bottom-up.
  void copyTo(uint32_t* frame) {
    for (int32_t y = 0; y < height_; ++y)
      std::memcpy(frame + static_cast<size_t>(height_ - 1 - y) * width_, row(y), static_cast<size_t>(width_) * 4);
  }

 private:
  int32_t width_, height_;
  std::vector<uint32_t> pixels_;
};

struct FrameControl {
  int disposal = DISPOSAL_UNSPECIFIED;
  int transparent = NO_TRANSPARENT_COLOR;
  int delayHundredths = 0;
};

// Decodes the current image's rows onto the canvas, de-interlacing as
// needed. Returns the number of rows read; rows after a read error keep
// what the canvas held.
int32_t drawImage(GifFileType* gif, const FrameControl& control, GifCanvas& canvas,
                  std::vector<GifPixelType>& line) {
  const GifImageDesc& d = gif->Image;
  uint32_t palette[256];
  buildPalette(d.ColorMap ? d.ColorMap : gif->SColorMap, palette);
  const Rect clip = canvas.area(d);
  line.resize(static_cast<size_t>(d.Width));

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
      if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR) return rowsRead;
      ++rowsRead;
      const int64_t y = static_cast<int64_t>(d.Top) + r;
      if (y < clip.top || y >= clip.bottom) continue;
      uint32_t* dst = canvas.row(static_cast<int32_t>(y)) + clip.left;
      const GifPixelType* src = line.data() + (clip.left - d.Left);
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

}  // namespace

bool decodeGif(const uint8_t* data, size_t size, bool animated, LogoImage& image) {
  GifOutline outline;
  if (!outlineGif(data, size, animated ? UINT64_MAX : 1, outline)) return false;
  if (!pictureFitsBudget(outline.width, outline.height, outline.frames)) return false;

  GifSource src{data, size, 0};
  GifHandle gif = openGif(src);
  if (!gif) return false;
  GifCanvas canvas(static_cast<int32_t>(outline.width), static_cast<int32_t>(outline.height));
  std::vector<uint32_t> saved;
  std::vector<GifPixelType> line;
  FrameControl control;
  int frames = 0;

  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) break;
      GraphicsControlBlock gcb;
      // The control block applies to the next image only.
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == 4 &&
          DGifExtensionToGCB(4, block + 1, &gcb) == GIF_OK) {
        control.disposal = gcb.DisposalMode;
        control.transparent = gcb.TransparentColor;
        control.delayHundredths = gcb.DelayTime;
      }
      if (!skipExtension(gif.get(), block)) break;
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif.get()) == GIF_ERROR) break;

    const GifImageDesc& d = gif->Image;
    const Rect area = canvas.area(d);
    if (control.disposal == DISPOSE_PREVIOUS) canvas.save(area, saved);
    bool damaged = false;
    if (static_cast<int64_t>(d.Width) * d.Height <= 0) {
      damaged = !skipImageData(gif.get());  // an empty image is still a frame
    } else {
      const int32_t rows = drawImage(gif.get(), control, canvas, line);
      if (rows == 0) break;  // nothing of this frame could be read
      damaged = rows < d.Height;
    }

    if (!image.AddFrame() || !image.SetFrameSize(canvas.width(), canvas.height())) return false;
    canvas.copyTo(image.currentForWriting().pixels);
    if (animated) image.setCurrentDelay(control.delayHundredths > 0 ? control.delayHundredths * 10 : 100);
    ++frames;
    if (!animated || damaged) break;

    if (control.disposal == DISPOSE_BACKGROUND) canvas.clear(area);
    else if (control.disposal == DISPOSE_PREVIOUS) canvas.restore(area, saved);
    control = FrameControl();
  }
  return frames > 0;
}

}  // namespace om
