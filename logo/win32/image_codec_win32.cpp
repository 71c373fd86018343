// Picture decoding on Windows: GDI+ when it is there, the window system's
// bitmap loader when it is not. Frames are DIB sections, so GDI and the
// dialog can draw them directly.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/alloc_hook.h"
#include "logo/apng_source.h"
#include "logo/image_codec.h"
#include "logo/picture_end.h"
#include "logo/win32/gdiplus_api.h"
#include "logo/win32/gdiplus_frames.h"
#include "platform/files.h"
#include "platform/win32/win32_module.h"

namespace om {

namespace {

volatile LONG g_codecUnavailable = 0;

// Decoder lists are small; anything larger is a broken codec.
constexpr UINT kMaxPropertyBytes = 16u << 20;

bool loadStill(const gdiplus::Api& gp, gdiplus::Image* image, LogoImage& out) {
  UINT width = 0, height = 0;
  gdiplus::imageSize(gp, image, width, height);
  if (!pictureFitsBudget(width, height, 1)) return false;
  if (!out.SetFrameSize(static_cast<int32_t>(width), static_cast<int32_t>(height))) return false;
  LogoFrame& frame = out.currentForWriting();
  gdiplus::renderFrame(gp, image, frame.pixels, frame.width, frame.height);
  return true;
}

// The window system's loader shows a bitmap cut short without a word, so
// its bytes are looked at first.
bool fileReachesItsEnd(platform::RegularFile& file) {
  if (file.size() > kPictureMemoryBudget) return false;
  try {
    std::vector<uint8_t> bytes(static_cast<size_t>(file.size()));
    bytes.resize(file.read(bytes.data(), bytes.size()));
    return !file.failed() && pictureReachesItsEnd(bytes.data(), bytes.size());
  } catch (...) {
    return false;
  }
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

bool CodecScope::loadPicture(const char* path, bool animated, Truncated truncated, LogoImage& image) {
  const gdiplus::Api* gp = gdiplus::api();
  if (!available_ || !gp || !path || !*path) return false;
  try {
    // Outlives every picture decoded from it; a streamed animation keeps it.
    auto stream = std::make_unique<gdiplus::FileStream>();
    if (!stream->load(path)) return false;
    // GDI+ shows what it decoded of a file cut short, so a load that must
    // not looks at the bytes first.
    if (truncated == Truncated::kFails && !stream->reachesItsEnd()) return false;
    const platform::FileStamp stamp = stream->stamp();
    // An animated PNG animates by its content, whatever its name; GDI+
    // shows its default image, which is what an invalid one shows.
    std::vector<uint8_t> apng;
    bool loaded = stream->copyAnimatedPng(apng) && loadAnimatedPng(apng, image);
    if (!loaded && animated) {
      std::unique_ptr<FrameSource> source = gdiplus::openAnimation(*gp, std::move(stream));
      loaded = source && image.adoptAnimation(std::move(source));
    } else if (!loaded) {
      gdiplus::Image* raw = nullptr;
      if (gp->GdipCreateBitmapFromStream(stream->rewound(), &raw) != gdiplus::kOk) raw = nullptr;
      gdiplus::ImageHolder picture(*gp, raw);
      UINT width = 0, height = 0;
      if (raw) gdiplus::imageSize(*gp, raw, width, height);
      loaded = width != 0 && height != 0 && loadStill(*gp, raw, image);
    }
    if (!loaded) return false;
    // A streamed animation calls GDI+ at every step, long after this scope.
    if (image.streamed()) gdiplus::keepStarted();
    image.setSourceStamp(stamp);
    return true;
  } catch (...) {
    return false;
  }
}

bool decodePngFrame(const uint8_t* png, size_t size, int32_t width, int32_t height, uint32_t* pixels) {
  return gdiplus::decodePngStream(png, size, width, height, pixels);
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

bool loadBitmapFallback(const char* path, Truncated truncated, LogoImage& image) {
  if (!path || !*path) return false;
  platform::FileStamp stamp;
  {
    platform::RegularFile file;  // no devices, pipes or folders
    if (!file.open(path)) return false;
    stamp = file.stamp();
    if (truncated == Truncated::kFails && !fileReachesItsEnd(file)) return false;
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
