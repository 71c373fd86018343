// PNG through libpng, with its transforms doing every conversion to 8-bit
// B,G,R,A. libpng reports errors by longjmp, so each stage that calls it
// lives in its own function holding only plain locals, and everything that
// must survive an error is reached through pointers to the caller's objects.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "logo/bmp_reader.h"
#include "logo/image_codec.h"
#include "logo/posix/png_decoder.h"

namespace om {
namespace {

struct PngSource {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

void readPngBytes(png_structp png, png_bytep out, size_t count) {
  PngSource* src = static_cast<PngSource*>(png_get_io_ptr(png));
  if (count > src->size - src->pos) png_error(png, "truncated");
  std::memcpy(out, src->data + src->pos, count);
  src->pos += count;
}

void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}  // nothing is logged

struct PngInfo {
  uint32_t width = 0;
  uint32_t height = 0;
  int passes = 1;
};

// Reads the header and sets up the conversion to B,G,R,A, 8 bits each.
bool readPngHeader(png_structp png, png_infop info, PngInfo* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  const int colorType = png_get_color_type(png, info);
  png_set_expand(png);  // palette, grey below 8 bits and tRNS become RGB(A)
  png_set_scale_16(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // no effect when alpha exists
  png_set_bgr(png);
  out->passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out->width = png_get_image_width(png, info);
  out->height = png_get_image_height(png, info);
  return png_get_rowbytes(png, info) == static_cast<size_t>(out->width) * 4;
}

// Reads every pass into `rows`; `*rowsRead` counts rows of the first pass
// that arrived, so a truncated file still shows its top part. True when
// every row of every pass arrived.
bool readPngRows(png_structp png, png_bytep* rows, uint32_t height, int passes, uint32_t* rowsRead) {
  if (setjmp(png_jmpbuf(png))) return false;
  for (int pass = 0; pass < passes; ++pass) {
    for (uint32_t y = 0; y < height; ++y) {
      png_read_row(png, rows[y], nullptr);
      if (pass == 0) *rowsRead = y + 1;
    }
  }
  return true;
}

// Reads every pass into rows `stride` pixels apart from `top`; true only
// when every row of every pass arrived.
bool readWholePng(png_structp png, uint32_t* top, uint32_t height, int passes, size_t stride) {
  if (setjmp(png_jmpbuf(png))) return false;
  for (int pass = 0; pass < passes; ++pass)
    for (uint32_t y = 0; y < height; ++y) png_read_row(png, reinterpret_cast<png_bytep>(top + y * stride), nullptr);
  return true;
}

struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~PngReader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }

  bool open(PngSource& src) {
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (!png) return false;
    info = png_create_info_struct(png);
    if (!info) return false;
    png_set_read_fn(png, &src, readPngBytes);
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    png_set_chunk_malloc_max(png, 8u << 20);  // text and profile chunks
    return true;
  }
};

}  // namespace

bool decodeWholePng(const uint8_t* png, size_t size, int32_t width, int32_t height, uint32_t* pixels) {
  PngSource src{png, size, 0};
  PngReader reader;
  PngInfo header;
  if (!reader.open(src) || !readPngHeader(reader.png, reader.info, &header) ||
      header.width != static_cast<uint32_t>(width) || header.height != static_cast<uint32_t>(height))
    return false;
  if (!readWholePng(reader.png, pixels, header.height, header.passes, header.width)) return false;
  premultiplyPixels(pixels, static_cast<size_t>(width) * static_cast<size_t>(height));
  return true;
}

bool decodePng(const uint8_t* data, size_t size, Truncated truncated, LogoImage& image) {
  PngSource src{data, size, 0};
  PngReader reader;
  if (!reader.open(src)) return false;

  PngInfo header;
  if (!readPngHeader(reader.png, reader.info, &header)) return false;
  if (!pictureFitsBudget(header.width, header.height, 1)) return false;
  const int32_t width = static_cast<int32_t>(header.width);
  const int32_t height = static_cast<int32_t>(header.height);
  if (!image.AddFrame() || !image.SetFrameSize(width, height)) return false;
  uint32_t* pixels = image.currentForWriting().pixels;

  // The picture's top row is the frame's last row in memory.
  std::vector<png_bytep> rows(header.height);
  for (uint32_t y = 0; y < header.height; ++y)
    rows[y] = reinterpret_cast<png_bytep>(pixels + static_cast<size_t>(height - 1 - static_cast<int32_t>(y)) * width);
  uint32_t rowsRead = 0;
  const bool whole = readPngRows(reader.png, rows.data(), header.height, header.passes, &rowsRead);
  if (rowsRead == 0 || (!whole && truncated == Truncated::kFails)) return false;
  premultiplyPixels(pixels, static_cast<size_t>(width) * height);
  return true;
}

}  // namespace om
