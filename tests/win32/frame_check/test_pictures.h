// Test pictures built byte by byte, with no codec library, so the Windows
// tests and the frame checksum program (native and Windows builds) decode
// exactly the same files. Pixels are given as R, G, B, A, top row first.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace om {
namespace testpic {

using Bytes = std::vector<uint8_t>;

struct Rgba {
  uint8_t r, g, b, a;
};

inline void put16le(Bytes& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32le(Bytes& out, uint32_t v) {
  put16le(out, v & 0xFFFF);
  put16le(out, v >> 16);
}
inline void put32be(Bytes& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// Bottom-up BMP, 24 bits (rows padded to 4 bytes) or 32 bits (A stored).
inline Bytes makeBmp(int width, int height, const std::vector<Rgba>& pixels, int bitCount = 24) {
  const uint32_t rowBytes = ((static_cast<uint32_t>(width) * bitCount / 8) + 3) & ~3u;
  const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(height);
  Bytes out;
  out.push_back('B');
  out.push_back('M');
  put32le(out, 14 + 40 + imageBytes);
  put32le(out, 0);
  put32le(out, 14 + 40);
  put32le(out, 40);
  put32le(out, static_cast<uint32_t>(width));
  put32le(out, static_cast<uint32_t>(height));
  put16le(out, 1);
  put16le(out, static_cast<uint32_t>(bitCount));
  put32le(out, 0);  // BI_RGB
  put32le(out, imageBytes);
  put32le(out, 2835);
  put32le(out, 2835);
  put32le(out, 0);
  put32le(out, 0);
  for (int y = height - 1; y >= 0; --y) {
    const size_t rowStart = out.size();
    for (int x = 0; x < width; ++x) {
      const Rgba& p = pixels[static_cast<size_t>(y) * width + x];
      out.push_back(p.b);
      out.push_back(p.g);
      out.push_back(p.r);
      if (bitCount == 32) out.push_back(p.a);
    }
    while (out.size() - rowStart < rowBytes) out.push_back(0);
  }
  return out;
}

inline uint32_t crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline void pngChunk(Bytes& out, const char type[4], const Bytes& body) {
  put32be(out, static_cast<uint32_t>(body.size()));
  Bytes typed(type, type + 4);
  typed.insert(typed.end(), body.begin(), body.end());
  out.insert(out.end(), typed.begin(), typed.end());
  put32be(out, crc32(typed.data(), typed.size()));
}

// 8-bit RGBA PNG; the zlib stream uses stored (uncompressed) blocks.
inline Bytes makePng(int width, int height, const std::vector<Rgba>& pixels) {
  Bytes raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < width; ++x) {
      const Rgba& p = pixels[static_cast<size_t>(y) * width + x];
      raw.insert(raw.end(), {p.r, p.g, p.b, p.a});
    }
  }
  Bytes zlib = {0x78, 0x01};
  size_t pos = 0;
  do {
    const size_t n = raw.size() - pos > 65535 ? 65535 : raw.size() - pos;
    zlib.push_back(pos + n == raw.size() ? 1 : 0);
    put16le(zlib, static_cast<uint32_t>(n));
    put16le(zlib, static_cast<uint32_t>(~n & 0xFFFF));
    zlib.insert(zlib.end(), raw.begin() + static_cast<long>(pos), raw.begin() + static_cast<long>(pos + n));
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  put32be(zlib, (b << 16) | a);

  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  put32be(header, static_cast<uint32_t>(width));
  put32be(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA
  pngChunk(out, "IHDR", header);
  pngChunk(out, "IDAT", zlib);
  pngChunk(out, "IEND", Bytes());
  return out;
}

struct GifFrame {
  int width = 0, height = 0;     // 0: the whole screen; placed at the top-left corner
  std::vector<uint8_t> indices;  // width * height palette indices < 128
  int delay = 0;                 // hundredths of a second
  bool control = true;           // false: no graphic control extension at all
  int transparent = -1;          // palette index shown as transparent
};

// Animated GIF89a with a 128-entry global palette. Image data are coded
// with 8-bit LZW codes and a clear code every 126 literals, so the code
// size never grows and every code is one byte.
inline Bytes makeGif(int width, int height, std::vector<Rgba> palette, const std::vector<GifFrame>& frames) {
  palette.resize(128, Rgba{0, 0, 0, 255});
  Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
  put16le(out, static_cast<uint32_t>(width));
  put16le(out, static_cast<uint32_t>(height));
  out.push_back(0xF6);  // global table of 2^(6+1) entries, 8-bit colour resolution
  out.push_back(0);
  out.push_back(0);
  for (const Rgba& c : palette) out.insert(out.end(), {c.r, c.g, c.b});
  // Loop forever (NETSCAPE2.0).
  out.insert(out.end(), {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0});
  for (const GifFrame& f : frames) {
    if (f.control) {
      out.insert(out.end(), {0x21, 0xF9, 0x04});
      out.push_back(static_cast<uint8_t>((1 << 2) | (f.transparent >= 0 ? 1 : 0)));  // keep previous frame
      put16le(out, static_cast<uint32_t>(f.delay));
      out.push_back(static_cast<uint8_t>(f.transparent >= 0 ? f.transparent : 0));
      out.push_back(0);
    }
    out.push_back(0x2C);
    put16le(out, 0);
    put16le(out, 0);
    put16le(out, static_cast<uint32_t>(f.width ? f.width : width));
    put16le(out, static_cast<uint32_t>(f.height ? f.height : height));
    out.push_back(0);
    out.push_back(7);  // LZW minimum code size: clear = 128, end = 129
    Bytes codes = {128};
    int run = 0;
    for (uint8_t index : f.indices) {
      if (run == 126) {
        codes.push_back(128);
        run = 0;
      }
      codes.push_back(index & 0x7F);
      ++run;
    }
    codes.push_back(129);
    for (size_t pos = 0; pos < codes.size(); pos += 255) {
      const size_t n = codes.size() - pos > 255 ? 255 : codes.size() - pos;
      out.push_back(static_cast<uint8_t>(n));
      out.insert(out.end(), codes.begin() + static_cast<long>(pos), codes.begin() + static_cast<long>(pos + n));
    }
    out.push_back(0);
  }
  out.push_back(0x3B);
  return out;
}

inline bool writeFile(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

// The pictures the frame checksum program stamps. Alpha is 0 or 255 only,
// so premultiplication cannot differ between codecs.
inline std::vector<Rgba> checkerLogo(int width, int height) {
  std::vector<Rgba> px(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool dark = ((x / 4) + (y / 4)) % 2 == 0;
      px[static_cast<size_t>(y) * width + x] =
          Rgba{static_cast<uint8_t>(dark ? 30 + x * 5 : 240), static_cast<uint8_t>(dark ? 60 : 200 - y * 3),
               static_cast<uint8_t>(dark ? 200 : 20 + x * y % 200), 255};
    }
  return px;
}

inline std::vector<Rgba> holedLogo(int width, int height) {
  std::vector<Rgba> px = checkerLogo(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if ((x - width / 2) * (x - width / 2) + (y - height / 2) * (y - height / 2) < (width * width) / 16)
        px[static_cast<size_t>(y) * width + x] = Rgba{0, 0, 0, 0};
  return px;
}

inline std::vector<Rgba> gifPalette() {
  std::vector<Rgba> palette;
  for (int i = 0; i < 128; ++i)
    palette.push_back(Rgba{static_cast<uint8_t>(i * 2), static_cast<uint8_t>(255 - i * 2),
                           static_cast<uint8_t>((i * 37) & 0xFF), 255});
  return palette;
}

// Three frames with delays 0, 7 and 1 (shown for 100, 70 and 10 ms).
// Palette index 0 is transparent in the first frame only: what shows through
// a later frame depends on the decoder's frame composition.
inline std::vector<GifFrame> gifFrames(int width, int height) {
  std::vector<GifFrame> frames(3);
  const int delays[3] = {0, 7, 1};
  for (int i = 0; i < 3; ++i) {
    frames[static_cast<size_t>(i)].delay = delays[i];
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        frames[static_cast<size_t>(i)].indices.push_back(static_cast<uint8_t>((x * 3 + y * 5 + i * 40) % 128));
  }
  frames[0].transparent = 0;
  for (int x = 0; x < width; ++x) frames[0].indices[static_cast<size_t>(x)] = 0;  // top row see-through
  for (int i = 1; i < 3; ++i)
    for (uint8_t& index : frames[static_cast<size_t>(i)].indices)
      if (index == 0) index = 1;
  return frames;
}

}  // namespace testpic
}  // namespace om
