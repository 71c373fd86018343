// The image codec on POSIX: Debian's format libraries plus our own BMP
// reader. Nothing to start up, so a CodecScope is available unless a test
// says otherwise; without it only BMP files load, opaque, as on a system
// without the codec library.
#include <atomic>
#include <cstring>
#include <vector>

#include "common/aligned_block.h"
#include "logo/apng_source.h"
#include "logo/bmp_reader.h"
#include "logo/image_codec.h"
#include "logo/picture_end.h"
#include "logo/posix/gif_decoder.h"
#include "logo/posix/image_codec_posix.h"
#include "logo/posix/jpeg_decoder.h"
#include "logo/posix/png_decoder.h"
#include "platform/files.h"

namespace om {
namespace {

std::atomic<bool> g_codecUnavailable{false};

// The largest file read: a bigger one could not decode within the budget
// in any of our formats.
constexpr uint64_t kMaxFileBytes = kPictureMemoryBudget;

// Reads the whole file into one buffer sized from the file's length. A file
// that is no known picture stops at its first bytes, so naming a huge file
// by mistake costs little.
bool readPictureFile(const char* path, std::vector<uint8_t>& bytes, platform::FileStamp& stamp) {
  platform::RegularFile file;
  if (!file.open(path)) return false;
  stamp = file.stamp();
  uint8_t head[16];
  const size_t headSize = file.read(head, sizeof head);
  const uint64_t size = file.size();
  if (sniffPictureFormat(head, headSize) == PictureFormat::kUnknown || size > kMaxFileBytes ||
      size < headSize)
    return false;
  bytes.resize(static_cast<size_t>(size));
  std::memcpy(bytes.data(), head, headSize);
  // It may have shrunk meanwhile.
  bytes.resize(headSize + file.read(bytes.data() + headSize, bytes.size() - headSize));
  return !file.failed() && !bytes.empty();
}

bool decodeBmp(const uint8_t* data, size_t size, BmpAlpha alpha, LogoImage& image) {
  BmpLayout layout;
  if (!parseBmpHeader(data, size, layout)) return false;
  if (!pictureFitsBudget(layout.width, layout.height, 1)) return false;
  if (!image.AddFrame() || !image.SetFrameSize(layout.width, layout.height)) return false;
  return decodeBmpPixels(data, size, layout, alpha, image.currentForWriting().pixels) > 0;
}

struct DecoderEntry {
  const char* description;
  const char* patterns;
};

// Fixed order, as a codec library lists its decoders.
const DecoderEntry kDecoders[] = {
    {"BMP", "*.BMP;*.DIB"},
    {"JPEG", "*.JPG;*.JPEG;*.JPE;*.JFIF"},
    {"GIF", "*.GIF"},
    {"PNG", "*.PNG"},
};

}  // namespace

void setCodecUnavailableForTesting(bool unavailable) noexcept { g_codecUnavailable = unavailable; }
bool codecUnavailableForTesting() noexcept { return g_codecUnavailable; }

CodecScope::CodecScope() noexcept : available_(!g_codecUnavailable) {}
CodecScope::~CodecScope() { (void)token_; }  // nothing was started, so no token to hand back

PictureFormat sniffPictureFormat(const uint8_t* data, size_t size) {
  static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
    return PictureFormat::kGif;
  if (size >= 8 && std::memcmp(data, kPng, 8) == 0) return PictureFormat::kPng;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return PictureFormat::kJpeg;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return PictureFormat::kBmp;
  return PictureFormat::kUnknown;
}

bool decodePicture(std::vector<uint8_t>& bytes, bool animated, Truncated truncated, LogoImage& image) {
  bool ok = false;
  switch (sniffPictureFormat(bytes.data(), bytes.size())) {
    case PictureFormat::kGif: return decodeGif(bytes, animated, image);
    case PictureFormat::kPng:
      // An invalid animation shows its default image, as a still PNG.
      if (isAnimatedPng(bytes.data(), bytes.size()) && loadAnimatedPng(bytes, image)) return true;
      ok = decodePng(bytes.data(), bytes.size(), truncated, image);
      break;
    case PictureFormat::kJpeg: ok = decodeJpeg(bytes.data(), bytes.size(), truncated, image); break;
    case PictureFormat::kBmp: ok = decodeBmp(bytes.data(), bytes.size(), BmpAlpha::kFromMask, image); break;
    case PictureFormat::kUnknown: return false;
  }
  // A still picture has one time frame and no delay of its own.
  if (ok && animated) image.setCurrentDelay(100);
  return ok;
}

bool decodePngFrame(const uint8_t* png, size_t size, int32_t width, int32_t height, uint32_t* pixels) {
  return decodeWholePng(png, size, width, height, pixels);
}

bool CodecScope::loadPicture(const char* path, bool animated, Truncated truncated, LogoImage& image) {
  if (!available_ || !path) return false;
  try {
    std::vector<uint8_t> bytes;
    platform::FileStamp stamp;
    if (!readPictureFile(path, bytes, stamp)) return false;
    // A file still being written has not reached its end yet.
    if (truncated == Truncated::kFails && !pictureReachesItsEnd(bytes.data(), bytes.size())) return false;
    if (!decodePicture(bytes, animated, truncated, image)) return false;
    image.setSourceStamp(stamp);
    return true;
  } catch (...) {  // out of memory in a working buffer: no picture
    return false;
  }
}

std::string CodecScope::decoderFilter() {
  std::string filter;
  try {
    std::string all;
    for (const DecoderEntry& d : kDecoders) {
      if (!all.empty()) all += ';';
      all += d.patterns;
    }
    filter.append("All image files").push_back('\0');
    filter.append(all).push_back('\0');
    for (const DecoderEntry& d : kDecoders) {
      filter.append(d.description).append(" files (").append(d.patterns).append(")").push_back('\0');
      filter.append(d.patterns).push_back('\0');
    }
  } catch (...) {
    filter.clear();
  }
  return filter;
}

bool loadBitmapFallback(const char* path, Truncated truncated, LogoImage& image) {
  if (!path) return false;
  try {
    std::vector<uint8_t> bytes;
    platform::FileStamp stamp;
    if (!readPictureFile(path, bytes, stamp)) return false;
    if (sniffPictureFormat(bytes.data(), bytes.size()) != PictureFormat::kBmp) return false;
    if (truncated == Truncated::kFails && !pictureReachesItsEnd(bytes.data(), bytes.size())) return false;
    if (!decodeBmp(bytes.data(), bytes.size(), BmpAlpha::kOpaque, image)) return false;
    image.setSourceStamp(stamp);
    return true;
  } catch (...) {
    return false;
  }
}

void* createFrameBitmap(const BitmapInfoHeader& header, uint32_t** pixels) noexcept {
  if (!pictureFitsBudget(header.biWidth, header.biHeight, 1)) return nullptr;
  const size_t bytes = static_cast<size_t>(header.biWidth) * static_cast<size_t>(header.biHeight) * 4;
  void* block = alignedAlloc(bytes);
  if (!block) return nullptr;
  std::memset(block, 0, bytes);
  *pixels = static_cast<uint32_t*>(block);
  return block;
}

void destroyFrameBitmap(void* bitmap) noexcept { alignedFree(bitmap); }

}  // namespace om
