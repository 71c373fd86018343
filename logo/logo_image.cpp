#include "logo/logo_image.h"

#include <atomic>
#include <cstring>
#include <utility>

#include "logo/image_codec.h"

namespace om {

LogoImage::~LogoImage() {
  clear();
  releaseSpares();
}

void LogoImage::releaseFrame(LogoFrame& frame) {
  if (frame.bitmap) destroyFrameBitmap(frame.bitmap);
  frame.bitmap = nullptr;
  frame.pixels = nullptr;
}

void LogoImage::clear() {
  touch();
  for (LogoFrame& frame : frames_) releaseFrame(frame);
  frames_.clear();
  budgetUsed_ = 0;
  currentFrame_ = 0;
  sourceStamp_ = platform::FileStamp();
}

bool LogoImage::takeSpareBitmap(LogoFrame& frame) {
  for (size_t i = 0; i < spares_.size(); ++i) {
    LogoFrame& spare = spares_[i];
    if (spare.width != frame.width || spare.height != frame.height) continue;
    frame.bitmap = spare.bitmap;
    frame.pixels = spare.pixels;
    // Fresh frames start transparent black, reused ones too.
    std::memset(frame.pixels, 0, static_cast<size_t>(frame.width) * frame.height * 4);
    spares_[i] = spares_.back();
    spares_.pop_back();
    return true;
  }
  // Another size: the old picture's blocks will not fit the new one's.
  releaseSpares();
  return false;
}

void LogoImage::releaseSpares() {
  for (LogoFrame& frame : spares_) releaseFrame(frame);
  spares_.clear();
}

namespace {
const LogoFrame kNoFrame;
// Generations are unique across pictures, so two pictures never share one.
std::atomic<uint64_t> g_generations{0};
}  // namespace

void LogoImage::touch() { generation_ = g_generations.fetch_add(1, std::memory_order_relaxed) + 1; }

void LogoImage::swap(LogoImage& other) noexcept {
  frames_.swap(other.frames_);
  std::swap(currentFrame_, other.currentFrame_);
  std::swap(budgetUsed_, other.budgetUsed_);
  std::swap(generation_, other.generation_);
  std::swap(sourceStamp_, other.sourceStamp_);
}

const LogoFrame& LogoImage::current() const {
  return frames_.empty() ? kNoFrame : frames_[static_cast<size_t>(currentFrame_)];
}

bool LogoImage::AddFrame() {
  touch();
  try {
    frames_.emplace_back();
  } catch (...) {
    return false;
  }
  currentFrame_ = static_cast<int>(frames_.size()) - 1;
  return true;
}

bool LogoImage::SetFrameSize(int32_t width, int32_t height) {
  touch();
  if (frames_.empty() && !AddFrame()) return false;
  LogoFrame& frame = frames_[static_cast<size_t>(currentFrame_)];
  bool ok = true;
  if (width != frame.width || height != frame.height) {
    if (frame.bitmap) budgetUsed_ -= frameBudgetBytes(frame.width, frame.height);
    releaseFrame(frame);
    frame.width = width;
    frame.height = height;
    if (width > 0 && height > 0) {
      frame.header = BitmapInfoHeader();
      frame.header.biWidth = width;
      frame.header.biHeight = height;
      // All frames of one picture together stay within the memory budget,
      // whatever the decoder checked beforehand.
      const bool fits = pictureFitsBudget(width, height, 1) &&
                        budgetUsed_ + frameBudgetBytes(width, height) <= kPictureMemoryBudget;
      if (fits && !takeSpareBitmap(frame)) frame.bitmap = createFrameBitmap(frame.header, &frame.pixels);
      if (!frame.bitmap) {
        frame.pixels = nullptr;
        frame.width = frame.height = 0;
        ok = false;
      } else {
        budgetUsed_ += frameBudgetBytes(width, height);
      }
    }
  }
  frame.validRect = Rect{0, 0, frame.width, frame.height};
  return ok;
}

void LogoImage::setCurrentDelay(int32_t delayMs) {
  if (frames_.empty()) return;
  frames_[static_cast<size_t>(currentFrame_)].delayMs = delayMs;
}

void LogoImage::SetAlpha(uint8_t value) {
  touch();
  for (LogoFrame& frame : frames_) {
    if (!frame.pixels) continue;
    const Rect& r = frame.validRect;
    for (int32_t y = r.top; y < r.bottom; ++y) {
      uint8_t* row = reinterpret_cast<uint8_t*>(frame.pixels) + static_cast<size_t>(y) * frame.width * 4;
      for (int32_t x = r.left; x < r.right; ++x) row[x * 4 + 3] = value;
    }
  }
}

int LogoImage::SelectFrame(int index) {
  const int count = FrameCount();
  if (index < 0 || index >= count) return count;
  currentFrame_ = index;
  return index;
}

int LogoImage::NextFrame() {
  const int count = FrameCount();
  if (count == 0) return 0;
  int next = currentFrame_ + 1;
  if (next >= count) next = 0;
  SelectFrame(next);
  return next;
}

uint32_t LogoImage::PixelAt(int x, int y) const {
  const LogoFrame& frame = current();
  const size_t index = static_cast<size_t>(frame.height - 1 - y) * frame.width + x;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(frame.pixels + index);
  return static_cast<uint32_t>(p[2]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Only the last three characters decide animation, whatever the content.
static bool endsWithGif(const char* path) {
  const size_t n = std::strlen(path);
  if (n < 3) return false;
  const char* e = path + n - 3;
  auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  return lower(e[0]) == 'g' && lower(e[1]) == 'i' && lower(e[2]) == 'f';
}

bool LogoImage::LoadFromFile(const char* path) {
  CodecScope codec;
  touch();
  spares_.swap(frames_);
  clear();
  struct SparesGone {
    LogoImage& image;
    ~SparesGone() { image.releaseSpares(); }
  } sparesGone{*this};
  if (!path || !*path) return false;
  bool ok;
  if (codec.available()) {
    ok = codec.loadPicture(path, endsWithGif(path), *this);
  } else {
    ok = loadBitmapFallback(path, *this);
    if (ok) SetAlpha(255);
  }
  // A picture with nothing to show counts as no picture at all.
  if (ok && (frames_.empty() || !frames_.front().pixels)) ok = false;
  if (!ok) {
    clear();
    return false;
  }
  SelectFrame(0);
  return true;
}

std::string LogoImage::BuildOpenFilter() {
  CodecScope codec;
  std::string filter;
  if (!codec.available()) {
    static const char kBmpOnly[] = "BMP files (*.bmp)\0*.bmp\0";
    filter.assign(kBmpOnly, sizeof kBmpOnly - 1);
  } else {
    filter = codec.decoderFilter();
  }
  filter.push_back('\0');
  return filter;
}

}  // namespace om
