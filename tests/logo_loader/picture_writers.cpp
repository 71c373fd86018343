#include "picture_writers.h"

#include <gif_lib.h>
#include <png.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace om::test {
namespace {

int appendGifBytes(GifFileType* gif, const GifByteType* data, int count) {
  static_cast<Bytes*>(gif->UserData)->insert(static_cast<Bytes*>(gif->UserData)->end(), data, data + count);
  return count;
}

// giflib wants power-of-two maps; padding entries are black.
ColorMapObject* makeMap(const std::vector<Rgb>& colors) {
  if (colors.empty()) return nullptr;
  int size = 2;
  while (size < static_cast<int>(colors.size())) size *= 2;
  std::vector<GifColorType> entries(static_cast<size_t>(size), GifColorType{0, 0, 0});
  for (size_t i = 0; i < colors.size(); ++i) entries[i] = GifColorType{colors[i].r, colors[i].g, colors[i].b};
  return GifMakeMapObject(size, entries.data());
}

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(what);
}

}  // namespace

Bytes writeGif(int screenWidth, int screenHeight, const std::vector<Rgb>& globalColors,
               const std::vector<GifFrameInput>& frames, bool loop) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, appendGifBytes, &error);
  check(gif, "EGifOpen");
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = makeMap(globalColors);
  check(EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, 0, global) == GIF_OK, "screen");
  GifFreeMapObject(global);
  if (loop) {
    const GifByteType app[11] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    const GifByteType repeat[3] = {1, 0, 0};
    check(EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
              EGifPutExtensionBlock(gif, 11, app) == GIF_OK && EGifPutExtensionBlock(gif, 3, repeat) == GIF_OK &&
              EGifPutExtensionTrailer(gif) == GIF_OK,
          "loop");
  }
  for (const GifFrameInput& f : frames) {
    if (f.control) {
      GraphicsControlBlock gcb{f.disposal, false, f.delay, f.transparent};
      GifByteType ext[4];
      EGifGCBToExtension(&gcb, ext);
      check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK, "gce");
    }
    ColorMapObject* local = makeMap(f.localColors);
    // giflib's encoder forgets (and leaks) the previous local map when the
    // next image has none; release it here.
    if (!local && gif->Image.ColorMap) {
      GifFreeMapObject(gif->Image.ColorMap);
      gif->Image.ColorMap = nullptr;
    }
    check(EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlace, local) == GIF_OK, "image");
    GifFreeMapObject(local);
    // The encoder writes rows in the order given: interlaced files carry
    // rows 0, 8, 16, ..., then 4, 12, ..., then 2, 6, ..., then the odd rows.
    std::vector<int> order;
    if (f.interlace) {
      for (int y = 0; y < f.height; y += 8) order.push_back(y);
      for (int y = 4; y < f.height; y += 8) order.push_back(y);
      for (int y = 2; y < f.height; y += 4) order.push_back(y);
      for (int y = 1; y < f.height; y += 2) order.push_back(y);
    } else {
      for (int y = 0; y < f.height; ++y) order.push_back(y);
    }
    for (int y : order) {
      std::vector<GifPixelType> row(f.indices.begin() + y * f.width, f.indices.begin() + (y + 1) * f.width);
      check(EGifPutLine(gif, row.data(), f.width) == GIF_OK, "line");
    }
  }
  check(EGifCloseFile(gif, &error) == GIF_OK, "close");
  return out;
}

bool writeLongGif(const std::string& path, int width, int height, int frames) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  if (!gif) return false;
  std::vector<GifColorType> colors(256);
  for (int i = 0; i < 256; ++i)
    colors[static_cast<size_t>(i)] = GifColorType{static_cast<GifByteType>(i * 5), static_cast<GifByteType>(255 - i),
                                                  static_cast<GifByteType>(i * 11)};
  ColorMapObject* map = GifMakeMapObject(256, colors.data());
  EGifSetGifVersion(gif, true);
  bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK;
  GifFreeMapObject(map);
  std::vector<GifPixelType> row(static_cast<size_t>(width));
  uint32_t noise = 12345;
  for (int f = 0; f < frames && ok; ++f) {
    const bool whole = f % 4 == 0;
    const int w = whole ? width : width / 3, h = whole ? height : height / 3;
    const int left = whole ? 0 : (f * 37) % (width - w + 1), top = whole ? 0 : (f * 23) % (height - h + 1);
    const GraphicsControlBlock gcb{whole ? DISPOSE_DO_NOT : 1 + f % 3, false, 4, whole ? NO_TRANSPARENT_COLOR : 0};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK &&
         EGifPutImageDesc(gif, left, top, w, h, false, nullptr) == GIF_OK;
    for (int y = 0; y < h && ok; ++y) {
      for (int x = 0; x < w; ++x) {
        noise = noise * 1103515245u + 12345u;
        const int dx = x - w / 2, dy = y - h / 2;
        const bool hole = !whole && dx * dx + dy * dy < (h / 4) * (h / 4);
        row[static_cast<size_t>(x)] =
            hole ? 0 : static_cast<GifPixelType>(1 + ((x + f) / 8 + (y + 2 * f) / 8 + (noise >> 29)) % 255);
      }
      ok = EGifPutLine(gif, row.data(), w) == GIF_OK;
    }
  }
  return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

namespace {
void appendPngBytes(png_structp png, png_bytep data, size_t count) {
  Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + count);
}
void flushPng(png_structp) {}
}  // namespace

Bytes writePng(const PngInput& pic) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("png write");
  }
  png_set_write_fn(png, &out, appendPngBytes, flushPng);
  png_set_IHDR(png, info, pic.width, pic.height, pic.bitDepth, pic.colorType,
               pic.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (const Rgb& c : pic.palette) palette.push_back(png_color{c.r, c.g, c.b});
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  png_color_16 trnsColor{};
  if (pic.trnsGray >= 0) trnsColor.gray = static_cast<png_uint_16>(pic.trnsGray);
  if (!pic.transparency.empty() || pic.trnsGray >= 0)
    png_set_tRNS(png, info, pic.transparency.empty() ? nullptr : pic.transparency.data(),
                 static_cast<int>(pic.transparency.size()), pic.trnsGray >= 0 ? &trnsColor : nullptr);
  png_write_info(png, info);
  const size_t stride = pic.samples.size() / static_cast<size_t>(pic.height);
  std::vector<png_bytep> rows;
  for (int y = 0; y < pic.height; ++y) rows.push_back(const_cast<png_bytep>(pic.samples.data()) + y * stride);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes writePngRgba(int width, int height, const Bytes& rgba) {
  PngInput pic;
  pic.width = width;
  pic.height = height;
  pic.colorType = PNG_COLOR_TYPE_RGBA;
  pic.samples = rgba;
  return writePng(pic);
}

Bytes writeJpeg(int width, int height, int components, const Bytes& samples, int quality, bool progressive) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data()) + cinfo.next_scanline * width * components;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  free(buffer);
  return out;
}

namespace {
void put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
}  // namespace

Bytes writeBmp(const BmpInput& pic) {
  const int height = pic.height < 0 ? -pic.height : pic.height;
  const bool core = pic.infoSize == 12;
  const size_t maskBytes = (pic.infoSize == 40 && pic.compression == 3) ? 12
                           : (pic.infoSize == 40 && pic.compression == 6) ? 16 : 0;
  const size_t entry = core ? 3 : 4;
  const size_t pixelOffset = 14 + pic.infoSize + maskBytes + pic.palette.size() * entry;
  const size_t stride = (static_cast<size_t>(pic.width) * pic.bitCount + 31) / 32 * 4;
  Bytes b(pixelOffset + stride * height, 0);
  b[0] = 'B';
  b[1] = 'M';
  put32(b, 2, static_cast<uint32_t>(b.size()));
  put32(b, 10, static_cast<uint32_t>(pixelOffset));
  put32(b, 14, pic.infoSize);
  if (core) {
    put16(b, 18, pic.width);
    put16(b, 20, height);
    put16(b, 22, 1);
    put16(b, 24, pic.bitCount);
  } else {
    put32(b, 18, static_cast<uint32_t>(pic.width));
    put32(b, 22, static_cast<uint32_t>(pic.height));
    put16(b, 26, 1);
    put16(b, 28, pic.bitCount);
    put32(b, 30, pic.compression);
    put32(b, 46, static_cast<uint32_t>(pic.palette.size()));
    const size_t masksAt = maskBytes ? 14 + pic.infoSize : 54;
    if (maskBytes || pic.infoSize >= 56)
      for (size_t i = 0; i < (maskBytes ? maskBytes / 4 : 4); ++i) put32(b, masksAt + 4 * i, pic.masks[i]);
  }
  size_t at = 14 + pic.infoSize + maskBytes;
  for (const Rgb& c : pic.palette) {
    b[at] = c.b;
    b[at + 1] = c.g;
    b[at + 2] = c.r;
    at += entry;
  }
  for (int fileRow = 0; fileRow < height; ++fileRow) {
    const int y = pic.height < 0 ? fileRow : height - 1 - fileRow;  // picture row
    uint8_t* row = b.data() + pixelOffset + fileRow * stride;
    for (int x = 0; x < pic.width; ++x) {
      const uint32_t v = pic.values[static_cast<size_t>(y * pic.width + x)];
      switch (pic.bitCount) {
        case 1: case 4: case 8: {
          const int bits = pic.bitCount;
          const int bitPos = x * bits;
          row[bitPos / 8] |= static_cast<uint8_t>(v << (8 - bits - bitPos % 8));
          break;
        }
        case 16: put16(b, row - b.data() + 2 * x, v); break;
        case 24:
          row[3 * x] = static_cast<uint8_t>(v);
          row[3 * x + 1] = static_cast<uint8_t>(v >> 8);
          row[3 * x + 2] = static_cast<uint8_t>(v >> 16);
          break;
        case 32: put32(b, row - b.data() + 4 * x, v); break;
      }
    }
  }
  return b;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "om_logo_XXXXXX").string();
  check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const Bytes& bytes) const {
  const std::string file = path_ + "/" + name;
  // A new file rather than a truncated one: ext4 flushes truncated files on close.
  std::remove(file.c_str());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  check(out.good(), "write");
  return file;
}

uint32_t pixelOf(const LogoFrame& frame, int x, int y) {
  return frame.pixels[static_cast<size_t>(frame.height - 1 - y) * frame.width + x];
}

}  // namespace om::test
