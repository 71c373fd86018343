#include "logo/logo_image.h"

#include <algorithm>
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
  releaseAhead();
  stream_.reset();
  streamFrames_ = streamNext_ = 0;
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
std::atomic<uint64_t> g_fullLoadBudget{0};  // 0: kPictureMemoryBudget

// A streamed animation holds the frame shown and, in its source, at most a
// canvas saved for the "previous" disposal and one decoded frame.
constexpr uint64_t kStreamCanvases = 3;

bool drawn(FrameStep step) { return step == FrameStep::kDrawn || step == FrameStep::kLastDrawn; }

// Whether `frames` frames are decoded whole rather than streamed; products
// are taken only once pictureFitsBudget has bounded them.
bool loadsWhole(int64_t width, int64_t height, uint64_t frames) {
  const uint64_t testBudget = g_fullLoadBudget;
  return pictureFitsBudget(width, height, frames) &&
         (testBudget == 0 || frameBudgetBytes(width, height) * frames <= testBudget);
}
}  // namespace

bool animationFitsBudget(int64_t width, int64_t height, uint64_t frames) noexcept {
  return frames > 0 &&
         (loadsWhole(width, height, frames) || pictureFitsBudget(width, height, kStreamCanvases));
}

void setFullLoadBudgetForTesting(uint64_t bytes) noexcept { g_fullLoadBudget = bytes; }

void LogoImage::touch() { generation_ = g_generations.fetch_add(1, std::memory_order_relaxed) + 1; }

void LogoImage::swap(LogoImage& other) noexcept {
  settleAhead();
  other.settleAhead();
  std::swap(ahead_.canvas, other.ahead_.canvas);
  std::swap(ahead_.index, other.ahead_.index);
  std::swap(ahead_.endsAt, other.ahead_.endsAt);
  std::swap(ahead_.failed, other.ahead_.failed);
  const int state = ahead_.state.load(std::memory_order_relaxed);
  ahead_.state.store(other.ahead_.state.load(std::memory_order_relaxed), std::memory_order_relaxed);
  other.ahead_.state.store(state, std::memory_order_relaxed);
  frames_.swap(other.frames_);
  std::swap(currentFrame_, other.currentFrame_);
  stream_.swap(other.stream_);
  std::swap(streamFrames_, other.streamFrames_);
  std::swap(streamNext_, other.streamNext_);
  std::swap(budgetUsed_, other.budgetUsed_);
  std::swap(generation_, other.generation_);
  std::swap(sourceStamp_, other.sourceStamp_);
}

const LogoFrame& LogoImage::current() const {
  return frames_.empty() ? kNoFrame : frames_[slot()];
}

uint64_t LogoImage::streamHeldBytes() const {
  if (!stream_) return 0;
  const uint64_t canvases = kStreamCanvases + (ahead_.canvas.bitmap ? 1 : 0);
  return sourceStamp_.size +
         canvases * static_cast<uint64_t>(std::max<int64_t>(largestFramePixels(), 0)) * 4;
}

int64_t LogoImage::largestFramePixels() const {
  int64_t largest = 0;
  for (const LogoFrame& f : frames_) largest = std::max<int64_t>(largest, int64_t{f.width} * f.height);
  return largest;
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
  LogoFrame& frame = frames_[slot()];
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
      const bool alone = pictureFitsBudget(width, height, 1) &&
                         budgetUsed_ + frameBudgetBytes(width, height) <= kPictureMemoryBudget;
      const bool fits = alone && budgetUsed_ + frameBudgetBytes(width, height) <= pictureBudget_;
      if (alone && !fits) refusedByBudget_ = true;
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
  frames_[slot()].delayMs = delayMs;
}

bool LogoImage::adoptAnimation(std::unique_ptr<FrameSource> source,
                               std::unique_ptr<FrameSource>* unused) {
  const bool shown = source && playAnimation(source);
  if (unused) *unused = std::move(source);
  return shown;
}

// Moves `source` into the image when it streams; leaves it otherwise.
bool LogoImage::playAnimation(std::unique_ptr<FrameSource>& source) {
  if (!frames_.empty()) return false;
  const int32_t width = source->width();
  const int32_t height = source->height();
  const int count = source->frameCount();
  if (count <= 0) return false;
  // Products taken once pictureFitsBudget has bounded them.
  const uint64_t frameBytes = frameBudgetBytes(width, height);
  if (loadsWhole(width, height, static_cast<uint64_t>(count)) &&
      frameBytes * static_cast<uint64_t>(count) <= animationBudget_)
    return decodeEveryFrame(*source);

  if (!pictureFitsBudget(width, height, kStreamCanvases)) return false;
  if (frameBytes * kStreamCanvases > animationBudget_) {
    refusedByBudget_ = true;
    return false;
  }
  if (!AddFrame() || !SetFrameSize(width, height)) return false;
  LogoFrame& frame = frames_.front();
  int32_t delayMs = 0;
  const FrameStep step = source->drawNext(frame.pixels, delayMs);
  if (!drawn(step)) return false;
  frame.delayMs = delayMs;
  currentFrame_ = 0;
  // A damaged first frame is all there is: one frame, as a full load keeps.
  if (step == FrameStep::kLastDrawn || count == 1) return true;
  reserveAhead(*source);
  stream_ = std::move(source);
  streamFrames_ = count;
  streamNext_ = 1;
  return true;
}

// Each frame starts as a copy of the one before, the canvas the source
// left, so the kept frames are exactly what a streamed play shows.
bool LogoImage::decodeEveryFrame(FrameSource& source) {
  const int32_t width = source.width();
  const int32_t height = source.height();
  for (int i = 0; i < source.frameCount(); ++i) {
    if (!AddFrame() || !SetFrameSize(width, height)) return false;
    LogoFrame& frame = frames_.back();
    if (i > 0 && source.keepsCanvas())
      std::memcpy(frame.pixels, frames_[static_cast<size_t>(i) - 1].pixels,
                  static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    int32_t delayMs = 0;
    const FrameStep step = source.drawNext(frame.pixels, delayMs);
    if (step == FrameStep::kFailed) return false;
    if (step == FrameStep::kEnd) {
      SetFrameSize(0, 0);  // gives its bitmap and budget share back
      frames_.pop_back();
      currentFrame_ = static_cast<int>(frames_.size()) - 1;
      break;
    }
    frame.delayMs = delayMs;
    if (step == FrameStep::kLastDrawn) break;
  }
  return !frames_.empty();
}

// Brings the streamed canvas to frame `index`: forward from the frame shown,
// or from the first frame again. False when the source ends before it; the
// canvas then shows the last frame it reached, currentFrame_ says which, and
// the frames drawn up to the end are all the animation has from then on.
bool LogoImage::seekStream(int index) {
  // A frame drawn ahead is the one after the frame shown, where the source now is.
  settleAhead();
  if (aheadReady()) takeAhead();
  LogoFrame& frame = frames_.front();
  if (index < streamNext_) {
    if (!stream_->rewind()) return false;
    streamNext_ = 0;
  }
  while (streamNext_ <= index) {
    int32_t delayMs = 0;
    const FrameStep step = stream_->drawNext(frame.pixels, delayMs);
    if (!drawn(step)) {
      endStreamAt(streamNext_);
      return false;
    }
    frame.delayMs = delayMs;
    currentFrame_ = streamNext_++;
    if (step == FrameStep::kLastDrawn) {
      endStreamAt(streamNext_);
      if (currentFrame_ < index) return false;
    }
  }
  return true;
}

// A full load keeps exactly the frames before the end, so a stream that
// finds it plays and counts those. An end before the first frame is the
// source failing to start again, which says nothing of the file.
void LogoImage::endStreamAt(int frames) {
  if (frames > 0 && frames < streamFrames_) streamFrames_ = frames;
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
  // A streamed animation decodes its way there: from the frame shown, or
  // from the first one for an earlier frame.
  if (stream_) return index == currentFrame_ || seekStream(index) ? index : FrameCount();
  currentFrame_ = index;
  return index;
}

int LogoImage::NextFrame() {
  const int count = FrameCount();
  if (count == 0) return 0;
  int next = currentFrame_ + 1;
  if (next >= count) next = 0;
  if (!stream_) {
    SelectFrame(next);
    return next;
  }
  // One frame decoded per step; the end found early ends the loop there,
  // and it starts again from the first frame. One frame left stays drawn.
  if (next == currentFrame_) return next;
  if (aheadReady() && takeAhead()) return currentFrame_;
  if (!seekStream(next) && next != 0) seekStream(0);
  return currentFrame_;
}

// The canvas drawn ahead is held only when it fits the picture budget
// beside the frame shown and what the source keeps; without it a streamed
// animation steps as it always did, decoding on the step.
bool LogoImage::reserveAhead(const FrameSource& source) {
  const LogoFrame& shown = frames_.front();
  const uint64_t bytes = frameBudgetBytes(shown.width, shown.height);
  if (budgetUsed_ + bytes + source.heldBytes() > animationBudget_) return false;
  LogoFrame& canvas = ahead_.canvas;
  canvas = LogoFrame();
  canvas.header = shown.header;
  canvas.width = shown.width;
  canvas.height = shown.height;
  canvas.validRect = shown.validRect;
  canvas.bitmap = createFrameBitmap(canvas.header, &canvas.pixels);
  if (!canvas.bitmap) {
    canvas = LogoFrame();
    return false;
  }
  budgetUsed_ += bytes;
  return true;
}

void LogoImage::releaseAhead() {
  settleAhead();
  if (ahead_.canvas.bitmap) budgetUsed_ -= frameBudgetBytes(ahead_.canvas.width, ahead_.canvas.height);
  releaseFrame(ahead_.canvas);
  ahead_.canvas = LogoFrame();
  ahead_.state.store(kAheadIdle, std::memory_order_relaxed);
  ahead_.endsAt = 0;
  ahead_.failed = false;
}

// Waits for a loan to end: at most one frame's decode, and only when the
// picture changes under a frame being drawn ahead.
void LogoImage::settleAhead() {
  while (ahead_.state.load(std::memory_order_acquire) == kAheadLent) ahead_.returned.wait(50);
  if (ahead_.endsAt > 0) endStreamAt(ahead_.endsAt);
  ahead_.endsAt = 0;
}

// Shows the frame drawn ahead: its canvas and the shown one change places.
bool LogoImage::takeAhead() {
  settleAhead();
  if (ahead_.state.load(std::memory_order_relaxed) != kAheadReady) return false;
  std::swap(frames_.front(), ahead_.canvas);
  currentFrame_ = ahead_.index;
  ahead_.state.store(kAheadIdle, std::memory_order_relaxed);
  return true;
}

bool LogoImage::lendAhead() {
  if (!stream_ || !ahead_.canvas.pixels || ahead_.failed ||
      ahead_.state.load(std::memory_order_relaxed) != kAheadIdle)
    return false;
  settleAhead();  // an end found by the last loan is counted first
  const int next = currentFrame_ + 1 >= streamFrames_ ? 0 : currentFrame_ + 1;
  if (next == currentFrame_) return false;
  ahead_.index = next;
  ahead_.returned.clear();
  ahead_.state.store(kAheadLent, std::memory_order_release);
  return true;
}

// The same steps as seekStream and NextFrame, on the canvas drawn ahead: the
// source moves on from where the frame shown left it, or starts again.
void LogoImage::drawAhead(void (*onDrawn)(const LogoFrame& frame, int index, void* context),
                          void* context) {
  if (ahead_.state.load(std::memory_order_acquire) != kAheadLent) return;
  LogoFrame& canvas = ahead_.canvas;
  int endsAt = 0;
  const auto drawTo = [&](int index) {
    if (index < streamNext_) {
      if (!stream_->rewind()) return -1;
      streamNext_ = 0;
    } else if (stream_->keepsCanvas()) {
      std::memcpy(canvas.pixels, frames_.front().pixels,
                  static_cast<size_t>(canvas.width) * static_cast<size_t>(canvas.height) * 4);
    }
    int reached = -1;
    while (streamNext_ <= index) {
      int32_t delayMs = 0;
      const FrameStep step = stream_->drawNext(canvas.pixels, delayMs);
      if (!drawn(step)) {
        if (streamNext_ > 0 && (endsAt == 0 || streamNext_ < endsAt)) endsAt = streamNext_;
        return reached;
      }
      canvas.delayMs = delayMs;
      reached = streamNext_++;
      if (step == FrameStep::kLastDrawn) {
        if (endsAt == 0 || streamNext_ < endsAt) endsAt = streamNext_;
        return reached;
      }
    }
    return reached;
  };
  bool ready = false;
  // The loan ends whatever happens here: the video thread may be waiting.
  try {
    int reached = drawTo(ahead_.index);
    if (reached != ahead_.index && ahead_.index != 0) reached = drawTo(0);
    ready = reached >= 0;
    if (ready) {
      ahead_.index = reached;
      if (onDrawn) onDrawn(canvas, reached, context);
    }
  } catch (...) {
    ready = false;
  }
  ahead_.endsAt = endsAt;
  if (!ready) ahead_.failed = true;  // the source would not go on; steps decode again
  ahead_.state.store(ready ? kAheadReady : kAheadIdle, std::memory_order_release);
  ahead_.returned.set();
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

bool LogoImage::LoadFromFile(const char* path, Truncated truncated, uint64_t animationBudgetBytes,
                             uint64_t pictureBudgetBytes) {
  CodecScope codec;
  animationBudget_ = std::min(animationBudgetBytes, kPictureMemoryBudget);
  pictureBudget_ = std::min(pictureBudgetBytes, kPictureMemoryBudget);
  refusedByBudget_ = false;
  struct BudgetBack {
    LogoImage& image;
    ~BudgetBack() { image.pictureBudget_ = kPictureMemoryBudget; }
  } budgetBack{*this};
  touch();
  settleAhead();  // a frame drawn ahead reads the frame shown, which moves now
  spares_.swap(frames_);
  clear();
  struct SparesGone {
    LogoImage& image;
    ~SparesGone() { image.releaseSpares(); }
  } sparesGone{*this};
  if (!path || !*path) return false;
  bool ok;
  if (codec.available()) {
    ok = codec.loadPicture(path, endsWithGif(path), truncated, *this);
  } else {
    ok = loadBitmapFallback(path, truncated, *this);
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
