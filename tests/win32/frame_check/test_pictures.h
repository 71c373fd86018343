// Test pictures built byte by byte, with no codec library, so the Windows
// tests and the frame checksum program (native and Windows builds) decode
// exactly the same files. Pixels are given as R, G, B, A, top row first.
#pragma once

#include <cstdint>
#include <algorithm>
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

// --- Animated PNG, spliced from PNG files, one per frame ---

inline uint32_t get32be(const Bytes& b, size_t at) {
  return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 |
         static_cast<uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

struct PngChunk {
  size_t at;  // offset of the length field
  std::string type;
  Bytes body;
};

// The chunks of a well-formed PNG file, in order.
inline std::vector<PngChunk> pngChunks(const Bytes& png) {
  std::vector<PngChunk> chunks;
  for (size_t at = 8; at + 12 <= png.size();) {
    const uint32_t length = get32be(png, at);
    if (at + 12 + length > png.size()) break;
    chunks.push_back(PngChunk{at, std::string(png.begin() + static_cast<long>(at) + 4, png.begin() + static_cast<long>(at) + 8),
                              Bytes(png.begin() + static_cast<long>(at) + 8, png.begin() + static_cast<long>(at + 8 + length))});
    at += 12 + length;
  }
  return chunks;
}

// Recomputes the CRC of every chunk, e.g. after a test changed its body.
inline void fixPngCrcs(Bytes& png) {
  for (const PngChunk& c : pngChunks(png)) {
    const uint32_t crc = crc32(png.data() + c.at + 4, 4 + c.body.size());
    for (int i = 0; i < 4; ++i) png[c.at + 8 + c.body.size() + static_cast<size_t>(i)] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  }
}

struct ApngFrame {
  Bytes png;  // the frame's pixels as a PNG file of the frame's size
  int x = 0, y = 0;
  int delayNum = 1, delayDen = 10;
  int dispose = 0;  // 0 none, 1 background, 2 previous
  int blend = 0;    // 0 source, 1 over
};

// An animated PNG of width x height: the first frame's IHDR format and the
// chunks before its IDAT (PLTE, tRNS), acTL, then each frame's fcTL and
// data. Frame 0 is the default image (its data as IDAT) unless
// `separateDefault` is given: that PNG's IDAT is then the default image,
// which is no frame, and every frame's data is fdAT.
inline Bytes makeApng(int width, int height, const std::vector<ApngFrame>& frames,
                      const Bytes* separateDefault = nullptr, uint32_t numPlays = 0) {
  const std::vector<PngChunk> first = pngChunks(frames.at(0).png);
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr = first.at(0).body;
  Bytes size;
  put32be(size, static_cast<uint32_t>(width));
  put32be(size, static_cast<uint32_t>(height));
  std::copy(size.begin(), size.end(), ihdr.begin());
  pngChunk(out, "IHDR", ihdr);
  Bytes actl;
  put32be(actl, static_cast<uint32_t>(frames.size()));
  put32be(actl, numPlays);
  pngChunk(out, "acTL", actl);
  for (const PngChunk& c : first)
    if (c.type != "IHDR" && c.type != "IDAT" && c.type != "IEND") pngChunk(out, c.type.c_str(), c.body);
  uint32_t sequence = 0;
  const auto data = [](const Bytes& png) {
    std::vector<Bytes> bodies;
    for (const PngChunk& c : pngChunks(png))
      if (c.type == "IDAT") bodies.push_back(c.body);
    return bodies;
  };
  if (separateDefault)
    for (const Bytes& body : data(*separateDefault)) pngChunk(out, "IDAT", body);
  for (size_t i = 0; i < frames.size(); ++i) {
    const ApngFrame& f = frames[i];
    const std::vector<PngChunk> chunks = pngChunks(f.png);
    Bytes fctl;
    put32be(fctl, sequence++);
    fctl.insert(fctl.end(), chunks.at(0).body.begin(), chunks.at(0).body.begin() + 8);  // width, height
    put32be(fctl, static_cast<uint32_t>(f.x));
    put32be(fctl, static_cast<uint32_t>(f.y));
    fctl.insert(fctl.end(), {static_cast<uint8_t>(f.delayNum >> 8), static_cast<uint8_t>(f.delayNum),
                             static_cast<uint8_t>(f.delayDen >> 8), static_cast<uint8_t>(f.delayDen),
                             static_cast<uint8_t>(f.dispose), static_cast<uint8_t>(f.blend)});
    pngChunk(out, "fcTL", fctl);
    for (const Bytes& body : data(f.png)) {
      if (i == 0 && !separateDefault) {
        pngChunk(out, "IDAT", body);
      } else {
        Bytes fdat;
        put32be(fdat, sequence++);
        fdat.insert(fdat.end(), body.begin(), body.end());
        pngChunk(out, "fdAT", fdat);
      }
    }
  }
  pngChunk(out, "IEND", Bytes());
  return out;
}

// Frames of an animation over a width x height canvas (at least 8 x 8) using
// every dispose and blend op: partial alpha everywhere; `overPartial` puts
// partially transparent pixels over partially covered ones too, which
// premultiplied and straight arithmetic round differently. Frame 0 covers
// the canvas and is kept; its dispose op can be chosen.
inline std::vector<ApngFrame> apngTestFrames(int width, int height, bool overPartial, int firstDispose = 0) {
  struct Plan {
    int x, y, w, h, dispose, blend, delayNum, delayDen;
  };
  const Plan plans[6] = {
      {0, 0, width, height, firstDispose, 0, 1, 10},
      {2, 2, width / 2, height / 2, 2, 1, 7, 100},                  // over, then put back
      {width / 4, height / 4, width / 2, height / 2, 1, 0, 0, 0},   // replaced, then cleared
      {width / 3, 1, width / 2, height / 3, 0, 1, 3, 1000},         // over, kept
      {0, 0, width, height, 2, 1, 1, 3},                            // over the whole canvas, put back
      {1, height / 2, width - 2, height / 2, 0, 0, 2, 0},           // replaced, kept
  };
  std::vector<ApngFrame> frames;
  for (int i = 0; i < 6; ++i) {
    const Plan& p = plans[i];
    std::vector<Rgba> px;
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x) {
        const int v = x * 29 + y * 53 + i * 71;
        uint8_t a = static_cast<uint8_t>((x * 41 + y * 17 + i * 13) % 256);
        // Over frames draw whole or nothing, unless asked otherwise.
        if (p.blend == 1 && !overPartial) a = ((x + y + i) % 3 == 0) ? 0 : 255;
        px.push_back(Rgba{static_cast<uint8_t>(v), static_cast<uint8_t>(v * 3 + 40), static_cast<uint8_t>(255 - v), a});
      }
    ApngFrame f;
    f.png = makePng(p.w, p.h, px);
    f.x = p.x;
    f.y = p.y;
    f.dispose = p.dispose;
    f.blend = p.blend;
    f.delayNum = p.delayNum;
    f.delayDen = p.delayDen;
    frames.push_back(f);
  }
  return frames;
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
