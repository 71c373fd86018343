#include "logo/picture_end.h"

#include <cstring>

#include "logo/bmp_reader.h"

namespace om {
namespace {

uint32_t be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}
uint32_t le16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }

// A read position that never passes the end: lengths from the file are
// compared with what is left, never added to the position first.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size, size_t at) : data_(data), size_(size), at_(at < size ? at : size) {}
  bool has(size_t n) const { return size_ - at_ >= n; }
  bool skip(uint64_t n) {
    if (size_ - at_ < n) return false;
    at_ += static_cast<size_t>(n);
    return true;
  }
  // The next byte, or -1 past the end.
  int take() { return has(1) ? data_[at_++] : -1; }
  const uint8_t* here() const { return data_ + at_; }
  size_t left() const { return size_ - at_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_;
};

bool pngReachesEnd(const uint8_t* data, size_t size) {
  Cursor c(data, size, 8);
  while (c.has(12)) {
    const uint32_t length = be32(c.here());
    if (std::memcmp(c.here() + 4, "IEND", 4) == 0) return c.skip(uint64_t{12} + length);
    if (!c.skip(uint64_t{12} + length)) return false;
  }
  return false;
}

// Sub-blocks up to the empty one that ends them.
bool skipSubBlocks(Cursor& c) {
  for (;;) {
    const int n = c.take();
    if (n <= 0) return n == 0;
    if (!c.skip(static_cast<uint64_t>(n))) return false;
  }
}

bool gifReachesEnd(const uint8_t* data, size_t size) {
  Cursor c(data, size, 6);
  if (!c.has(7)) return false;
  const uint8_t screenFlags = c.here()[4];
  c.skip(7);
  if ((screenFlags & 0x80) && !c.skip(3u << ((screenFlags & 7) + 1))) return false;
  for (;;) {
    switch (c.take()) {
      case 0x3B: return true;
      case 0x21:
        if (c.take() < 0 || !skipSubBlocks(c)) return false;
        break;
      case 0x2C: {
        if (!c.has(9)) return false;
        const uint8_t imageFlags = c.here()[8];
        c.skip(9);
        if ((imageFlags & 0x80) && !c.skip(3u << ((imageFlags & 7) + 1))) return false;
        // The LZW code size, then the data.
        if (c.take() < 0 || !skipSubBlocks(c)) return false;
        break;
      }
      default: return false;  // past the end, or no block starts here
    }
  }
}

// Segments carry their length; a scan's data runs to the next marker that
// is neither a stuffed 0xFF 0x00 nor a restart.
bool jpegReachesEnd(const uint8_t* data, size_t size) {
  Cursor c(data, size, 2);
  for (;;) {
    if (c.take() != 0xFF) return false;
    int code = c.take();
    while (code == 0xFF) code = c.take();  // fill bytes
    if (code < 0 || code == 0x00) return false;
    if (code == 0xD9) return true;
    if ((code >= 0xD0 && code <= 0xD8) || code == 0x01) continue;  // no length
    if (!c.has(2)) return false;
    const uint32_t length = static_cast<uint32_t>(c.here()[0]) << 8 | c.here()[1];
    if (length < 2 || !c.skip(length)) return false;
    if (code != 0xDA) continue;
    for (;;) {
      const void* ff = std::memchr(c.here(), 0xFF, c.left());
      if (!ff) return false;
      c.skip(static_cast<size_t>(static_cast<const uint8_t*>(ff) - c.here()));
      if (!c.has(2)) return false;
      const uint8_t next = c.here()[1];
      if (next != 0x00 && !(next >= 0xD0 && next <= 0xD7)) break;  // a marker
      c.skip(2);
    }
  }
}

bool bmpReachesEnd(const uint8_t* data, size_t size) {
  BmpLayout layout;
  if (parseBmpHeader(data, size, layout))
    return (size - layout.pixelOffset) / layout.stride >= static_cast<uint64_t>(layout.height);
  // What our reader refuses: a file cut before its pixels, or a kind only
  // the Windows codec reads (compressed ones declare their data's size).
  if (size < 14 + 40) return false;
  const uint32_t infoSize = le32(data + 14), offBits = le32(data + 10);
  if (infoSize < 40 || offBits == 0 || offBits > size) return false;
  const int64_t width = static_cast<int32_t>(le32(data + 18));
  const int64_t height = static_cast<int32_t>(le32(data + 22));
  const uint32_t bitCount = le16(data + 28), compression = le32(data + 30);
  const uint64_t left = size - offBits;
  if (compression != 0 && compression != 3 && compression != 6) return left >= le32(data + 34);
  const uint64_t stride = (static_cast<uint64_t>(width > 0 ? width : 0) * bitCount + 31) / 32 * 4;
  return stride > 0 && left / stride >= static_cast<uint64_t>(height < 0 ? -height : height);
}

}  // namespace

bool pictureReachesItsEnd(const uint8_t* data, size_t size) {
  static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (!data) return true;
  if (size >= 8 && std::memcmp(data, kPng, 8) == 0) return pngReachesEnd(data, size);
  if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
    return gifReachesEnd(data, size);
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return jpegReachesEnd(data, size);
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return bmpReachesEnd(data, size);
  return true;
}

}  // namespace om
