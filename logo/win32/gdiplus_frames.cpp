#include "logo/win32/gdiplus_frames.h"

#include <cstring>

#include "logo/apng_source.h"
#include "logo/bmp_reader.h"
#include "logo/image_codec.h"
#include "logo/picture_end.h"

namespace om {
namespace gdiplus {

namespace {

// Delays are small; anything larger is a broken codec.
constexpr UINT kMaxPropertyBytes = 16u << 20;

// The GIF frame delays in hundredths of a second, as many as the property
// really holds (possibly none, possibly fewer than there are frames).
std::vector<uint32_t> readFrameDelays(const Api& gp, Image* image) {
  std::vector<uint32_t> delays;
  UINT size = 0;
  if (gp.GdipGetPropertyItemSize(image, kPropertyTagFrameDelay, &size) != kOk ||
      size < sizeof(PropertyItem) || size > kMaxPropertyBytes)
    return delays;
  std::vector<uint64_t> buffer((size + 7) / 8);  // 8-byte aligned for the item record
  auto* item = reinterpret_cast<PropertyItem*>(buffer.data());
  if (gp.GdipGetPropertyItem(image, kPropertyTagFrameDelay, size, item) != kOk) return delays;
  // Trust the value only where it lies inside the buffer we handed over.
  const auto* begin = reinterpret_cast<const unsigned char*>(buffer.data());
  const unsigned char* end = begin + size;
  const auto* value = static_cast<const unsigned char*>(item->value);
  if (!value || value < begin || value > end) return delays;
  size_t bytes = item->length;
  if (bytes > static_cast<size_t>(end - value)) bytes = static_cast<size_t>(end - value);
  delays.resize(bytes / 4);
  if (!delays.empty()) std::memcpy(delays.data(), value, delays.size() * 4);
  return delays;
}

// Hundredths to milliseconds; 0 (and a missing entry) shows for 100 ms.
int32_t delayMsFromHundredths(uint32_t hundredths) {
  const uint64_t ms = static_cast<uint64_t>(hundredths) * 10;
  if (ms == 0) return 100;
  return ms > INT32_MAX ? INT32_MAX : static_cast<int32_t>(ms);
}

class Animation final : public FrameSource {
 public:
  Animation(const Api& gp, std::unique_ptr<FileStream> stream)
      : gp_(gp), stream_(std::move(stream)), image_(gp, nullptr) {}

  bool open() {
    Image* raw = nullptr;
    if (gp_.GdipCreateBitmapFromStream(stream_->rewound(), &raw) != kOk) raw = nullptr;
    image_.reset(raw);
    next_ = 0;
    return raw != nullptr;
  }
  // The picture's size and frames, read once at the load.
  bool outline() {
    UINT width = 0, height = 0, count = 0;
    imageSize(gp_, image_.get(), width, height);
    if (gp_.GdipImageGetFrameCount(image_.get(), &kFrameDimensionTime, &count) != kOk) count = 0;
    if (width == 0 || height == 0 || width > static_cast<UINT>(kMaxPictureSide) ||
        height > static_cast<UINT>(kMaxPictureSide) || count == 0)
      return false;
    width_ = static_cast<int32_t>(width);
    height_ = static_cast<int32_t>(height);
    frameCount_ = count > static_cast<UINT>(kMaxAnimationFrames) ? kMaxAnimationFrames : static_cast<int>(count);
    delays_ = readFrameDelays(gp_, image_.get());
    return true;
  }

  FrameStep drawNext(uint32_t* canvas, int32_t& delayMs) override {
    if (!image_.get() || next_ >= frameCount_) return FrameStep::kEnd;
    gp_.GdipImageSelectActiveFrame(image_.get(), &kFrameDimensionTime, static_cast<UINT>(next_));
    UINT w = 0, h = 0;
    imageSize(gp_, image_.get(), w, h);
    // GDI+ gives every frame the picture's size; a frame of another would
    // have no pixels to show: the picture is refused.
    if (w != static_cast<UINT>(width_) || h != static_cast<UINT>(height_)) return FrameStep::kFailed;
    // A failed draw shows transparent, as a fresh frame's zeroed memory did.
    std::memset(canvas, 0, static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4);
    renderFrame(gp_, image_.get(), canvas, width_, height_);
    delayMs = delayMsFromHundredths(static_cast<size_t>(next_) < delays_.size() ? delays_[static_cast<size_t>(next_)] : 0);
    ++next_;
    return FrameStep::kDrawn;
  }
  // A fresh picture from the same bytes, as at the load: every loop's frames
  // are then the first loop's, whatever GDI+ keeps between frames.
  bool rewind() override { return open(); }
  bool keepsCanvas() const override { return false; }
  // The file's bytes, and the frame GDI+ composes inside the picture.
  uint64_t heldBytes() const override {
    return stream_->stamp().size + static_cast<uint64_t>(width_) * static_cast<uint64_t>(height_) * 4;
  }

 private:
  const Api& gp_;
  std::unique_ptr<FileStream> stream_;  // outlives the picture read from it
  ImageHolder image_;
  std::vector<uint32_t> delays_;
  int next_ = 0;
};

}  // namespace

FileStream::~FileStream() {
  if (stream_) stream_->Release();
}

bool FileStream::load(const char* path) {
  platform::RegularFile file;
  if (!file.open(path) || file.size() == 0 || file.size() > kPictureMemoryBudget) return false;
  stamp_ = file.stamp();
  const SIZE_T size = static_cast<SIZE_T>(file.size());
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) return false;
  bool ok = false;
  if (void* bytes = GlobalLock(memory)) {
    ok = file.read(bytes, size) == size;
    GlobalUnlock(memory);
  }
  // The stream owns the memory from here on.
  if (ok && CreateStreamOnHGlobal(memory, TRUE, &stream_) == S_OK) {
    memory_ = memory;
    return true;
  }
  stream_ = nullptr;
  GlobalFree(memory);
  return false;
}

IStream* FileStream::rewound() const {
  LARGE_INTEGER start;
  start.QuadPart = 0;
  if (stream_) stream_->Seek(start, STREAM_SEEK_SET, nullptr);
  return stream_;
}

bool FileStream::copyAnimatedPng(std::vector<uint8_t>& bytes) const {
  if (!memory_) return false;
  const void* data = GlobalLock(memory_);
  if (!data) return false;
  const auto* begin = static_cast<const uint8_t*>(data);
  const size_t size = GlobalSize(memory_);
  bool animated = false;
  try {
    animated = isAnimatedPng(begin, size);
    if (animated) bytes.assign(begin, begin + size);
  } catch (...) {
    animated = false;
  }
  GlobalUnlock(memory_);
  return animated;
}

bool FileStream::reachesItsEnd() const {
  if (!memory_) return false;
  const void* data = GlobalLock(memory_);
  if (!data) return false;
  const bool whole = pictureReachesItsEnd(static_cast<const uint8_t*>(data), GlobalSize(memory_));
  GlobalUnlock(memory_);
  return whole;
}

void imageSize(const Api& gp, Image* image, UINT& width, UINT& height) {
  width = height = 0;
  if (gp.GdipGetImageWidth(image, &width) != kOk) width = 0;
  if (gp.GdipGetImageHeight(image, &height) != kOk) height = 0;
}

// GDI+ writes through the Scan0 bitmap straight into the pixels,
// premultiplied; the negative stride walks our bottom-up rows from the top.
void renderFrame(const Api& gp, Image* image, uint32_t* pixels, int32_t width, int32_t height) {
  if (!pixels || width <= 0 || height <= 0) return;
  BYTE* top = reinterpret_cast<BYTE*>(pixels + static_cast<size_t>(height - 1) * width);
  Image* target = nullptr;
  if (gp.GdipCreateBitmapFromScan0(width, height, -width * 4, kPixelFormat32bppPARGB, top, &target) != kOk ||
      !target)
    return;
  Graphics* graphics = nullptr;
  if (gp.GdipGetImageGraphicsContext(target, &graphics) == kOk && graphics) {
    gp.GdipSetCompositingMode(graphics, kCompositingModeSourceCopy);
    gp.GdipSetCompositingQuality(graphics, kCompositingQualityAssumeLinear);
    gp.GdipSetInterpolationMode(graphics, kInterpolationModeNearestNeighbor);
    gp.GdipSetPixelOffsetMode(graphics, kPixelOffsetModeHalf);
    gp.GdipSetSmoothingMode(graphics, kSmoothingModeNone);
    gp.GdipDrawImageRectI(graphics, image, 0, 0, width, height);
    gp.GdipDeleteGraphics(graphics);
  }
  gp.GdipDisposeImage(target);
}

std::unique_ptr<FrameSource> openAnimation(const Api& gp, std::unique_ptr<FileStream> stream) {
  if (!stream) return nullptr;
  auto animation = std::make_unique<Animation>(gp, std::move(stream));
  if (!animation->open() || !animation->outline()) return nullptr;
  return animation;
}

// Read back as straight A,R,G,B, so that the premultiplication is ours, the
// same on every platform.
bool decodePngStream(const uint8_t* png, size_t size, int32_t width, int32_t height, uint32_t* pixels) {
  const Api* gp = api();
  if (!gp || !gp->GdipBitmapLockBits || !gp->GdipBitmapUnlockBits || width <= 0 || height <= 0) return false;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) return false;
  void* bytes = GlobalLock(memory);
  if (!bytes) {
    GlobalFree(memory);
    return false;
  }
  std::memcpy(bytes, png, size);
  GlobalUnlock(memory);
  IStream* stream = nullptr;
  if (CreateStreamOnHGlobal(memory, TRUE, &stream) != S_OK) {
    GlobalFree(memory);
    return false;
  }
  bool ok = false;
  {
    Image* raw = nullptr;
    if (gp->GdipCreateBitmapFromStream(stream, &raw) != kOk) raw = nullptr;
    ImageHolder image(*gp, raw);
    UINT w = 0, h = 0;
    if (raw) imageSize(*gp, raw, w, h);
    const LockRect rect{0, 0, width, height};
    BitmapData data{};
    if (raw && w == static_cast<UINT>(width) && h == static_cast<UINT>(height) &&
        gp->GdipBitmapLockBits(raw, &rect, kImageLockModeRead, kPixelFormat32bppARGB, &data) == kOk) {
      if (data.scan0 && data.width == w && data.height == h) {
        for (int32_t y = 0; y < height; ++y)
          std::memcpy(pixels + static_cast<size_t>(y) * width,
                      static_cast<const BYTE*>(data.scan0) + static_cast<ptrdiff_t>(y) * data.stride,
                      static_cast<size_t>(width) * 4);
        ok = true;
      }
      gp->GdipBitmapUnlockBits(raw, &data);
    }
  }
  stream->Release();
  if (ok) premultiplyPixels(pixels, static_cast<size_t>(width) * static_cast<size_t>(height));
  return ok;
}

}  // namespace gdiplus
}  // namespace om
