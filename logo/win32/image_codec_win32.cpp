// Picture decoding on Windows: GDI+ when it is there, the window system's
// bitmap loader when it is not. Frames are DIB sections, so GDI and the
// dialog can draw them directly.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/alloc_hook.h"
#include "logo/image_codec.h"
#include "logo/win32/gdiplus_api.h"
#include "platform/files.h"
#include "platform/win32/win32_module.h"

namespace om {

namespace {

volatile LONG g_codecUnavailable = 0;

// Delays and decoder lists are small; anything larger is a broken codec.
constexpr UINT kMaxPropertyBytes = 16u << 20;

class ImageHolder {
 public:
  ImageHolder(const gdiplus::Api& api, gdiplus::Image* image) : api_(api), image_(image) {}
  ~ImageHolder() {
    if (image_) api_.GdipDisposeImage(image_);
  }
  ImageHolder(const ImageHolder&) = delete;
  ImageHolder& operator=(const ImageHolder&) = delete;
  gdiplus::Image* get() const { return image_; }

 private:
  const gdiplus::Api& api_;
  gdiplus::Image* image_;
};

// The file's bytes as a stream for GDI+: the file is open only while it is
// read, shared with whoever writes it, and never held open by a decoded
// picture. Refuses what is no regular file (a device, a pipe).
class FileStream {
 public:
  FileStream() = default;
  ~FileStream() {
    if (stream_) stream_->Release();
  }
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  bool load(const char* path) {
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
    if (ok && CreateStreamOnHGlobal(memory, TRUE, &stream_) == S_OK) return true;
    stream_ = nullptr;
    GlobalFree(memory);
    return false;
  }
  IStream* get() const { return stream_; }
  const platform::FileStamp& stamp() const { return stamp_; }

 private:
  IStream* stream_ = nullptr;
  platform::FileStamp stamp_;
};

void imageSize(const gdiplus::Api& gp, gdiplus::Image* image, UINT& width, UINT& height) {
  width = height = 0;
  if (gp.GdipGetImageWidth(image, &width) != gdiplus::kOk) width = 0;
  if (gp.GdipGetImageHeight(image, &height) != gdiplus::kOk) height = 0;
}

// Draws the selected frame 1:1 into the frame's own pixels. GDI+ writes
// through the Scan0 bitmap straight into the DIB section, premultiplied; the
// negative stride walks our bottom-up rows from the top one. A failed call
// leaves the frame zeroed, which shows as fully transparent.
void renderFrame(const gdiplus::Api& gp, gdiplus::Image* image, const LogoFrame& frame) {
  if (!frame.pixels || frame.width <= 0 || frame.height <= 0) return;
  BYTE* top = reinterpret_cast<BYTE*>(frame.pixels + static_cast<size_t>(frame.height - 1) * frame.width);
  gdiplus::Image* target = nullptr;
  if (gp.GdipCreateBitmapFromScan0(frame.width, frame.height, -frame.width * 4,
                                   gdiplus::kPixelFormat32bppPARGB, top, &target) != gdiplus::kOk ||
      !target)
    return;
  gdiplus::Graphics* graphics = nullptr;
  if (gp.GdipGetImageGraphicsContext(target, &graphics) == gdiplus::kOk && graphics) {
    gp.GdipSetCompositingMode(graphics, gdiplus::kCompositingModeSourceCopy);
    gp.GdipSetCompositingQuality(graphics, gdiplus::kCompositingQualityAssumeLinear);
    gp.GdipSetInterpolationMode(graphics, gdiplus::kInterpolationModeNearestNeighbor);
    gp.GdipSetPixelOffsetMode(graphics, gdiplus::kPixelOffsetModeHalf);
    gp.GdipSetSmoothingMode(graphics, gdiplus::kSmoothingModeNone);
    gp.GdipDrawImageRectI(graphics, image, 0, 0, frame.width, frame.height);
    gp.GdipDeleteGraphics(graphics);
  }
  gp.GdipDisposeImage(target);
}

// The GIF frame delays in hundredths of a second, as many as the property
// really holds (possibly none, possibly fewer than there are frames).
std::vector<uint32_t> readFrameDelays(const gdiplus::Api& gp, gdiplus::Image* image) {
  std::vector<uint32_t> delays;
  UINT size = 0;
  if (gp.GdipGetPropertyItemSize(image, gdiplus::kPropertyTagFrameDelay, &size) != gdiplus::kOk ||
      size < sizeof(gdiplus::PropertyItem) || size > kMaxPropertyBytes)
    return delays;
  std::vector<uint64_t> buffer((size + 7) / 8);  // 8-byte aligned for the item record
  auto* item = reinterpret_cast<gdiplus::PropertyItem*>(buffer.data());
  if (gp.GdipGetPropertyItem(image, gdiplus::kPropertyTagFrameDelay, size, item) != gdiplus::kOk)
    return delays;
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

bool loadStill(const gdiplus::Api& gp, gdiplus::Image* image, LogoImage& out) {
  UINT width = 0, height = 0;
  imageSize(gp, image, width, height);
  if (!pictureFitsBudget(width, height, 1)) return false;
  if (!out.SetFrameSize(static_cast<int32_t>(width), static_cast<int32_t>(height))) return false;
  renderFrame(gp, image, out.currentForWriting());
  return true;
}

bool loadAnimation(const gdiplus::Api& gp, gdiplus::Image* image, UINT width, UINT height, LogoImage& out) {
  UINT count = 0;
  if (gp.GdipImageGetFrameCount(image, &gdiplus::kFrameDimensionTime, &count) != gdiplus::kOk) count = 0;
  // No frames would leave a "loaded" picture with nothing to show.
  if (count == 0) return false;
  // GDI+ gives every frame the picture's size: refuse an oversize animation
  // before decoding any of it.
  if (!pictureFitsBudget(width, height, count)) return false;
  const std::vector<uint32_t> delays = readFrameDelays(gp, image);
  for (UINT i = 0; i < count; ++i) {
    if (!out.AddFrame()) return false;
    out.setCurrentDelay(delayMsFromHundredths(i < delays.size() ? delays[i] : 0));
    gp.GdipImageSelectActiveFrame(image, &gdiplus::kFrameDimensionTime, i);
    UINT w = 0, h = 0;
    imageSize(gp, image, w, h);
    // A frame without pixels would be read by the overlay; refuse the picture.
    if (!pictureFitsBudget(w, h, 1)) return false;
    if (!out.SetFrameSize(static_cast<int32_t>(w), static_cast<int32_t>(h))) return false;
    renderFrame(gp, image, out.currentForWriting());
  }
  return true;
}

}  // namespace

void setCodecUnavailableForTesting(bool unavailable) noexcept {
  InterlockedExchange(&g_codecUnavailable, unavailable ? 1 : 0);
}
bool codecUnavailableForTesting() noexcept { return g_codecUnavailable != 0; }

CodecScope::CodecScope() noexcept {
  const gdiplus::Api* gp = codecUnavailableForTesting() ? nullptr : gdiplus::api();
  if (!gp) return;
  // A present library whose start-up fails still counts as available: the
  // calls that follow fail and the load reports an unreadable picture.
  available_ = true;
  gdiplus::StartupInput input;
  ULONG_PTR token = 0;
  if (gp->GdiplusStartup(&token, &input, nullptr) == gdiplus::kOk) token_ = token;
}

CodecScope::~CodecScope() {
  // Only a start-up that succeeded has something to shut down.
  if (available_ && token_ != 0) gdiplus::api()->GdiplusShutdown(token_);
}

bool CodecScope::loadPicture(const char* path, bool animated, LogoImage& image) {
  const gdiplus::Api* gp = gdiplus::api();
  if (!available_ || !gp || !path || !*path) return false;
  try {
    FileStream stream;  // outlives the picture decoded from it
    if (!stream.load(path)) return false;
    gdiplus::Image* raw = nullptr;
    if (gp->GdipCreateBitmapFromStream(stream.get(), &raw) != gdiplus::kOk) raw = nullptr;
    ImageHolder picture(*gp, raw);
    if (!picture.get()) return false;
    UINT width = 0, height = 0;
    imageSize(*gp, picture.get(), width, height);
    if (width == 0 || height == 0) return false;
    if (!(animated ? loadAnimation(*gp, picture.get(), width, height, image)
                   : loadStill(*gp, picture.get(), image)))
      return false;
    image.setSourceStamp(stream.stamp());
    return true;
  } catch (...) {
    return false;
  }
}

std::string CodecScope::decoderFilter() {
  static const char kBmpOnly[] = "BMP files (*.bmp)\0*.bmp\0";
  const std::string bmpOnly(kBmpOnly, sizeof kBmpOnly - 1);
  const gdiplus::Api* gp = gdiplus::api();
  if (!available_ || !gp) return bmpOnly;
  UINT count = 0, size = 0;
  if (gp->GdipGetImageDecodersSize(&count, &size) != gdiplus::kOk || count == 0 ||
      size < count * sizeof(gdiplus::CodecInfo) || size > kMaxPropertyBytes)
    return bmpOnly;
  std::vector<uint64_t> buffer((size + 7) / 8);
  auto* decoders = reinterpret_cast<gdiplus::CodecInfo*>(buffer.data());
  if (gp->GdipGetImageDecoders(count, size, decoders) != gdiplus::kOk) return bmpOnly;

  std::string all;
  std::string pairs;
  for (UINT i = 0; i < count; ++i) {
    const std::string patterns = platform::narrow(decoders[i].filenameExtension, CP_ACP);
    const std::string description = platform::narrow(decoders[i].formatDescription, CP_ACP);
    if (i > 0) all += ';';
    all += patterns;
    pairs += description + " files (" + patterns + ")";
    pairs.push_back('\0');
    pairs += patterns;
    pairs.push_back('\0');
  }
  std::string filter = "All image files";
  filter.push_back('\0');
  filter += all;
  filter.push_back('\0');
  return filter + pairs;
}

bool loadBitmapFallback(const char* path, LogoImage& image) {
  if (!path || !*path) return false;
  platform::FileStamp stamp;
  {
    platform::RegularFile file;  // no devices, pipes or folders
    if (!file.open(path)) return false;
    stamp = file.stamp();
  }
  // A DIB section keeps the file's colours exact whatever the display depth.
  const HBITMAP loaded = static_cast<HBITMAP>(
      LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (!loaded) return false;
  bool ok = false;
  BITMAP info;
  if (GetObjectA(loaded, sizeof info, &info) == sizeof info) {
    const int32_t width = info.bmWidth;
    const int32_t height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    if (pictureFitsBudget(width, height, 1) && image.SetFrameSize(width, height)) {
      const LogoFrame& frame = image.currentForWriting();
      HDC source = CreateCompatibleDC(nullptr);
      HDC target = CreateCompatibleDC(nullptr);
      if (source && target) {
        HGDIOBJ oldSource = SelectObject(source, loaded);
        HGDIOBJ oldTarget = SelectObject(target, static_cast<HBITMAP>(frame.bitmap));
        ok = BitBlt(target, 0, 0, width, height, source, 0, 0, SRCCOPY) != FALSE;
        SelectObject(source, oldSource);
        SelectObject(target, oldTarget);
      }
      if (source) DeleteDC(source);
      if (target) DeleteDC(target);
    }
  }
  DeleteObject(loaded);
  if (ok) image.setSourceStamp(stamp);
  return ok;
}

void* createFrameBitmap(const BitmapInfoHeader& header, uint32_t** pixels) noexcept {
  *pixels = nullptr;
  if (!pictureFitsBudget(header.biWidth, header.biHeight, 1)) return nullptr;
  // Frames are counted with the aligned blocks, so tests can make them fail.
  if (!admitAlignedAllocation()) return nullptr;
  BITMAPINFO info;
  std::memset(&info, 0, sizeof info);
  static_assert(sizeof(BITMAPINFOHEADER) == sizeof(BitmapInfoHeader), "same header layout");
  std::memcpy(&info.bmiHeader, &header, sizeof header);
  void* bits = nullptr;
  // Fresh DIB section memory comes zeroed from the system.
  const HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  if (!bits) {
    DeleteObject(bitmap);
    return nullptr;
  }
  *pixels = static_cast<uint32_t*>(bits);
  return bitmap;
}

void destroyFrameBitmap(void* bitmap) noexcept {
  if (bitmap) DeleteObject(static_cast<HBITMAP>(bitmap));
}

}  // namespace om
