#include "logo/apng_source.h"

#include <cstring>
#include <memory>

#include "logo/frame_source.h"
#include "logo/image_codec.h"

namespace om {
namespace {

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}
uint32_t be16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 8 | p[1]; }
void putBe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

constexpr uint32_t tag(const char (&name)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(name[0])) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(name[1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(name[2])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(name[3]));
}
constexpr uint32_t kIhdr = tag("IHDR"), kIdat = tag("IDAT"), kIend = tag("IEND"),
                   kActl = tag("acTL"), kFctl = tag("fcTL"), kFdat = tag("fdAT");

// The chunk CRC of ISO 3309 / PNG, one table lookup per byte.
struct CrcTable {
  uint32_t entry[256] = {};
  constexpr CrcTable() {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entry[n] = c;
    }
  }
};
constexpr CrcTable kCrc;

uint32_t crcUpdate(uint32_t crc, const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) crc = kCrc.entry[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

struct Chunk {
  size_t at = 0;  // offset of the length field
  uint32_t length = 0;
  uint32_t type = 0;
  const uint8_t* data = nullptr;
  size_t next() const { return at + 12 + length; }
};

// The chunk at `at`; false when it runs past the end of the file.
bool readChunk(const uint8_t* bytes, size_t size, size_t at, Chunk& c) {
  if (at > size || size - at < 12) return false;
  c.length = be32(bytes + at);
  if (c.length > 0x7FFFFFFFu || size - at - 12 < c.length) return false;
  c.at = at;
  c.type = be32(bytes + at + 4);
  c.data = bytes + at + 8;
  return true;
}

bool crcMatches(const uint8_t* bytes, const Chunk& c) {
  return ~crcUpdate(0xFFFFFFFFu, bytes + c.at + 4, 4 + static_cast<size_t>(c.length)) ==
         be32(c.data + c.length);
}

bool isText(uint32_t type) { return type == tag("tEXt") || type == tag("zTXt") || type == tag("iTXt"); }

enum : uint8_t { kDisposeNone = 0, kDisposeBackground = 1, kDisposePrevious = 2 };
enum : uint8_t { kBlendSource = 0, kBlendOver = 1 };

struct FrameControl {
  Rect rect;
  int32_t delayMs = 0;
  uint8_t dispose = kDisposeNone;
  uint8_t blend = kBlendSource;
};

// fcTL after its sequence number; false for a frame outside the canvas or
// an unknown operation.
bool parseFrameControl(const Chunk& c, int32_t canvasWidth, int32_t canvasHeight, FrameControl& out) {
  if (c.length != 26) return false;
  const uint64_t width = be32(c.data + 4), height = be32(c.data + 8);
  const uint64_t x = be32(c.data + 12), y = be32(c.data + 16);
  if (width == 0 || height == 0 || x + width > static_cast<uint64_t>(canvasWidth) ||
      y + height > static_cast<uint64_t>(canvasHeight) || c.data[24] > kDisposePrevious ||
      c.data[25] > kBlendOver)
    return false;
  out.rect = Rect{static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(x + width),
                  static_cast<int32_t>(y + height)};
  // delay_num / delay_den seconds, a zero denominator meaning 100, rounded
  // to whole milliseconds; none shows for 100 ms, as a GIF frame without one.
  const uint32_t num = be16(c.data + 20), den = be16(c.data + 22) ? be16(c.data + 22) : 100;
  const uint32_t ms = (num * 1000 + den / 2) / den;  // at most 65535000
  out.delayMs = ms ? static_cast<int32_t>(ms) : 100;
  out.dispose = c.data[24];
  out.blend = c.data[25];
  return true;
}

// What the chunk walk learnt of a valid animation.
struct ApngOutline {
  int32_t width = 0, height = 0;
  uint8_t ihdr[13] = {};
  std::vector<Chunk> header;  // chunks before IDAT each frame's stream repeats
  size_t headerBytes = 0;
  size_t firstFrame = 0;       // offset of the first fcTL
  bool defaultIsFrame = false;  // an fcTL before IDAT: the default image is frame 0
  int frames = 0;
  bool disposesPrevious = false;
  size_t largestData = 0;      // the largest frame's data as IDAT chunks, headers included
  int64_t largestPixels = 0;
};

// Bytes of a frame's stream around its data: signature, IHDR, IEND.
constexpr size_t kStreamFrame = 8 + 25 + 12;

// Walks every chunk once, checking what the animation needs before any
// frame is decoded: CRCs, chunk bounds, sequence numbers, frame rectangles,
// the frame count, IEND at the end.
bool outlineApng(const uint8_t* b, size_t size, ApngOutline& o) {
  if (size < 8 || std::memcmp(b, kSignature, 8) != 0) return false;
  Chunk c;
  if (!readChunk(b, size, 8, c) || c.type != kIhdr || c.length != 13 || !crcMatches(b, c)) return false;
  const uint32_t width = be32(c.data), height = be32(c.data + 4);
  if (width == 0 || height == 0 || width > static_cast<uint32_t>(kMaxPictureSide) ||
      height > static_cast<uint32_t>(kMaxPictureSide))
    return false;
  o.width = static_cast<int32_t>(width);
  o.height = static_cast<int32_t>(height);
  std::memcpy(o.ihdr, c.data, 13);

  enum class Data { kNone, kIdat, kFdat } takes = Data::kNone;  // what the open frame's data is
  bool seenActl = false, seenIdat = false, idatEnded = false;
  uint32_t announced = 0, sequence = 0;
  size_t frameData = 0, frameChunks = 0;
  const auto closeFrame = [&] {
    if (o.frames > 0 && frameChunks == 0) return false;  // a frame without data
    if (frameData > o.largestData) o.largestData = frameData;
    frameData = frameChunks = 0;
    return true;
  };
  for (size_t at = c.next();; at = c.next()) {
    if (!readChunk(b, size, at, c) || !crcMatches(b, c)) return false;
    if (seenIdat && c.type != kIdat) idatEnded = true;
    if (c.type == kIend) break;
    if (c.type == kIhdr) return false;
    if (c.type == kActl) {
      if (seenActl || seenIdat || c.length != 8) return false;
      announced = be32(c.data);
      if (announced == 0 || announced > static_cast<uint32_t>(kMaxAnimationFrames)) return false;
      seenActl = true;
    } else if (c.type == kFctl) {
      FrameControl control;
      if (!seenActl || c.length != 26 || be32(c.data) != sequence++ || !closeFrame() ||
          !parseFrameControl(c, o.width, o.height, control) ||
          static_cast<uint32_t>(o.frames) >= announced)
        return false;
      if (!seenIdat) {
        // The default image as frame 0 covers the canvas.
        if (control.rect.left != 0 || control.rect.top != 0 || control.rect.right != o.width ||
            control.rect.bottom != o.height)
          return false;
        o.defaultIsFrame = true;
        takes = Data::kIdat;
      } else {
        takes = Data::kFdat;
      }
      if (o.frames == 0) o.firstFrame = c.at;
      ++o.frames;
      o.disposesPrevious |= control.dispose == kDisposePrevious;
      const int64_t pixels = int64_t{control.rect.width()} * control.rect.height();
      if (pixels > o.largestPixels) o.largestPixels = pixels;
    } else if (c.type == kIdat) {
      if (idatEnded) return false;  // IDAT chunks follow each other
      seenIdat = true;
      if (takes == Data::kIdat) frameData += 12 + c.length, ++frameChunks;
    } else if (c.type == kFdat) {
      if (takes != Data::kFdat || c.length < 4 || be32(c.data) != sequence++) return false;
      frameData += 12 + c.length - 4, ++frameChunks;
    } else if (!seenIdat && !isText(c.type)) {
      o.header.push_back(c);
      o.headerBytes += 12 + c.length;
    }
  }
  if (!closeFrame() || !seenIdat || static_cast<uint32_t>(o.frames) != announced) return false;
  o.largestData += o.headerBytes;
  return true;
}

class ApngSource final : public FrameSource {
 public:
  // Takes `bytes` only once every block it needs is allocated.
  ApngSource(std::vector<uint8_t>& bytes, ApngOutline&& outline) : outline_(std::move(outline)) {
    stream_.resize(kStreamFrame + outline_.largestData);
    frame_.resize(static_cast<size_t>(outline_.largestPixels));
    if (outline_.disposesPrevious)
      saved_.resize(static_cast<size_t>(outline_.width) * static_cast<size_t>(outline_.height));
    bytes_.swap(bytes);
    width_ = outline_.width;
    height_ = outline_.height;
    frameCount_ = outline_.frames;
    next_ = outline_.firstFrame;
  }
  void giveBytesBack(std::vector<uint8_t>& bytes) { bytes.swap(bytes_); }

  FrameStep drawNext(uint32_t* canvas, int32_t& delayMs) override;
  bool rewind() override {
    next_ = outline_.firstFrame;
    drawn_ = 0;
    return true;
  }
  uint64_t heldBytes() const override {
    return bytes_.size() + stream_.size() + (frame_.size() + saved_.size()) * sizeof(uint32_t);
  }

 private:
  bool buildStream(FrameControl& control, size_t& streamSize);
  void compose(const CanvasRows& rows, const FrameControl& control) const;

  std::vector<uint8_t> bytes_;
  ApngOutline outline_;
  size_t next_ = 0;  // where the next frame's fcTL is looked for
  int drawn_ = 0;    // frames drawn since the start
  std::vector<uint8_t> stream_;  // the frame as a PNG stream of its own
  std::vector<uint32_t> frame_;  // the decoded frame, top row first
  std::vector<uint32_t> saved_;  // its rectangle before drawing, for dispose PREVIOUS
  PendingDisposal pending_;
};

// Writes the frame at next_ as a PNG stream: signature, IHDR with the
// frame's size, the chunks from before IDAT, the frame's data as IDAT
// chunks (an fdAT without its sequence number), IEND; CRCs recomputed.
bool ApngSource::buildStream(FrameControl& control, size_t& streamSize) {
  const uint8_t* b = bytes_.data();
  Chunk c;
  size_t at = next_;
  // The default image, when it is no frame, comes before the first fcTL.
  while (readChunk(b, bytes_.size(), at, c) && c.type != kFctl) at = c.next();
  if (c.type != kFctl || !parseFrameControl(c, width_, height_, control)) return false;
  const uint32_t dataType = drawn_ == 0 && outline_.defaultIsFrame ? kIdat : kFdat;
  const size_t skip = dataType == kFdat ? 4 : 0;

  uint8_t* out = stream_.data();
  const size_t capacity = stream_.size();
  size_t n = 0;
  const auto putChunk = [&](uint32_t type, const uint8_t* data, size_t length) {
    if (capacity - n < 12 + length) return false;
    putBe32(out + n, static_cast<uint32_t>(length));
    putBe32(out + n + 4, type);
    if (length) std::memcpy(out + n + 8, data, length);
    putBe32(out + n + 8 + length, ~crcUpdate(0xFFFFFFFFu, out + n + 4, 4 + length));
    n += 12 + length;
    return true;
  };
  std::memcpy(out, kSignature, 8);
  n = 8;
  uint8_t ihdr[13];
  std::memcpy(ihdr, outline_.ihdr, 13);
  putBe32(ihdr, static_cast<uint32_t>(control.rect.width()));
  putBe32(ihdr + 4, static_cast<uint32_t>(control.rect.height()));
  if (!putChunk(kIhdr, ihdr, 13)) return false;
  for (const Chunk& h : outline_.header) {
    if (capacity - n < 12 + static_cast<size_t>(h.length)) return false;
    std::memcpy(out + n, b + h.at, 12 + static_cast<size_t>(h.length));
    n += 12 + h.length;
  }
  for (at = c.next(); readChunk(b, bytes_.size(), at, c) && c.type != kFctl && c.type != kIend;
       at = c.next()) {
    if (c.type != dataType) continue;
    if (c.length < skip || !putChunk(kIdat, c.data + skip, c.length - skip)) return false;
  }
  if (!putChunk(kIend, nullptr, 0)) return false;
  next_ = at;
  streamSize = n;
  return true;
}

FrameStep ApngSource::drawNext(uint32_t* canvas, int32_t& delayMs) {
  if (drawn_ >= frameCount_) return FrameStep::kEnd;
  FrameControl control;
  size_t streamSize = 0;
  if (!buildStream(control, streamSize) ||
      !decodePngFrame(stream_.data(), streamSize, control.rect.width(), control.rect.height(),
                      frame_.data()))
    return FrameStep::kFailed;

  const CanvasRows rows(canvas, width_, height_);
  // The first frame has nothing before it to go back to: it clears instead.
  const Disposal disposal = control.dispose == kDisposeBackground ? Disposal::kClear
                            : control.dispose != kDisposePrevious ? Disposal::kKeep
                            : drawn_ == 0                         ? Disposal::kClear
                                                                  : Disposal::kRestore;
  pending_.startFrame(rows, drawn_ == 0, control.rect, disposal, saved_.data());
  compose(rows, control);
  delayMs = control.delayMs;
  ++drawn_;
  return FrameStep::kDrawn;
}

// SOURCE replaces the rectangle; OVER puts the frame over the canvas, each
// premultiplied channel s + (d * (255 - s.a) + 127) / 255. Premultiplied
// channels never exceed their alpha, so the sum stays within 255.
void ApngSource::compose(const CanvasRows& rows, const FrameControl& control) const {
  const Rect& r = control.rect;
  const size_t width = static_cast<size_t>(r.width());
  for (int32_t y = r.top; y < r.bottom; ++y) {
    const uint32_t* source = frame_.data() + static_cast<size_t>(y - r.top) * width;
    uint32_t* target = rows.row(y) + r.left;
    if (control.blend == kBlendSource) {
      std::memcpy(target, source, width * 4);
      continue;
    }
    for (size_t x = 0; x < width; ++x) {
      const uint32_t s = source[x];
      const uint32_t inverse = 255 - (s >> 24);
      if (inverse == 0) {
        target[x] = s;
      } else if (inverse < 255) {
        const uint32_t d = target[x];
        uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8)
          out |= (((s >> shift) & 255) + (((d >> shift) & 255) * inverse + 127) / 255) << shift;
        target[x] = out;
      }
    }
  }
}

}  // namespace

bool isAnimatedPng(const uint8_t* data, size_t size) {
  if (size < 8 || std::memcmp(data, kSignature, 8) != 0) return false;
  Chunk c;
  for (size_t at = 8; readChunk(data, size, at, c); at = c.next()) {
    if (c.type == kActl) return true;
    if (c.type == kIdat || c.type == kIend) return false;
  }
  return false;
}

bool loadAnimatedPng(std::vector<uint8_t>& bytes, LogoImage& image) {
  ApngOutline outline;
  if (!outlineApng(bytes.data(), bytes.size(), outline)) return false;
  // The source's canvases are taken only for an animation adoptAnimation
  // accepts: a huge canvas announced in a few bytes costs nothing.
  if (!animationFitsBudget(outline.width, outline.height, static_cast<uint64_t>(outline.frames))) return false;
  std::unique_ptr<FrameSource> unused;
  if (image.adoptAnimation(std::make_unique<ApngSource>(bytes, std::move(outline)), &unused)) return true;
  // Handed back: the bytes it took return for the still picture.
  if (unused) static_cast<ApngSource&>(*unused).giveBytesBack(bytes);
  image.clear();
  return false;
}

}  // namespace om
