// JPEG through libjpeg-turbo, which writes B,G,R,A rows itself for grey,
// YCbCr and RGB pictures; CMYK and YCCK are converted here. Errors arrive
// by longjmp, so each stage that calls the library lives in its own
// function with only plain locals.
// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <vector>

#include "logo/image_codec.h"
#include "logo/posix/jpeg_decoder.h"

namespace om {
namespace {

struct JpegErrors {
  jpeg_error_mgr manager;
  jmp_buf jump;
  bool endedEarly = false;
};

void jpegErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegErrors*>(cinfo->err)->jump, 1); }
// Nothing is logged. A file that ends before its EOI is only a warning to
// libjpeg, which goes on with grey rows.
void jpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
    reinterpret_cast<JpegErrors*>(cinfo->err)->endedEarly = true;
}

// A progressive file can hold any number of scans, each re-reading the whole
// coefficient buffer; real pictures use a dozen.
constexpr int kMaxScans = 256;

void jpegProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) cinfo->err->error_exit(cinfo);
}

bool createJpeg(jpeg_decompress_struct* cinfo, JpegErrors* errors) {
  if (setjmp(errors->jump)) return false;
  jpeg_create_decompress(cinfo);
  return true;
}

struct JpegHeader {
  uint32_t width = 0;
  uint32_t height = 0;
  bool cmyk = false;
  bool adobeInverted = false;  // Adobe's writers store CMYK inverted
};

bool readJpegHeader(jpeg_decompress_struct* cinfo, JpegErrors* errors, const uint8_t* data, size_t size,
                    JpegHeader* out) {
  if (setjmp(errors->jump)) return false;
  jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return false;
  switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE: case JCS_YCbCr: case JCS_RGB:
      cinfo->out_color_space = JCS_EXT_BGRA;
      break;
    case JCS_CMYK: case JCS_YCCK:
      cinfo->out_color_space = JCS_CMYK;
      out->cmyk = true;
      out->adobeInverted = cinfo->saw_Adobe_marker != 0;
      break;
    default:
      return false;
  }
  jpeg_calc_output_dimensions(cinfo);
  out->width = cinfo->output_width;
  out->height = cinfo->output_height;
  return true;
}

// CMYK to B,G,R,A: each colour is (255 - C) * (255 - K) / 255 rounded, with
// C and K inverted first for Adobe files. Products stay below 2^16.
void convertCmykRow(const uint8_t* cmyk, uint8_t* bgra, uint32_t width, bool inverted) {
  for (uint32_t x = 0; x < width; ++x, cmyk += 4, bgra += 4) {
    const uint32_t k = inverted ? cmyk[3] : 255u - cmyk[3];
    for (int c = 0; c < 3; ++c) {
      const uint32_t ink = inverted ? cmyk[c] : 255u - cmyk[c];
      bgra[2 - c] = static_cast<uint8_t>((ink * k + 127) / 255);
    }
    bgra[3] = 255;
  }
}

// Decodes into `rows` (picture order); `*rowsRead` counts rows delivered.
void readJpegRows(jpeg_decompress_struct* cinfo, JpegErrors* errors, uint8_t** rows, const JpegHeader* header,
                  uint8_t* cmykRow, uint32_t* rowsRead) {
  if (setjmp(errors->jump)) return;
  if (!jpeg_start_decompress(cinfo)) return;
  if (cinfo->output_width != header->width || cinfo->output_height != header->height ||
      cinfo->output_components != 4)
    return;
  while (cinfo->output_scanline < cinfo->output_height) {
    const uint32_t y = cinfo->output_scanline;
    JSAMPROW target = header->cmyk ? cmykRow : rows[y];
    if (jpeg_read_scanlines(cinfo, &target, 1) != 1) return;
    if (header->cmyk) convertCmykRow(cmykRow, rows[y], header->width, header->adobeInverted);
    *rowsRead = y + 1;
  }
}

struct JpegReader {
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  jpeg_progress_mgr progress;
  bool created = false;
  ~JpegReader() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

}  // namespace

bool decodeJpeg(const uint8_t* data, size_t size, Truncated truncated, LogoImage& image) {
  JpegReader reader;
  reader.cinfo.err = jpeg_std_error(&reader.errors.manager);
  reader.errors.manager.error_exit = jpegErrorExit;
  reader.errors.manager.emit_message = jpegEmitMessage;
  if (!createJpeg(&reader.cinfo, &reader.errors)) return false;
  reader.created = true;
  // The library's own buffers (a progressive file keeps every coefficient)
  // get the picture budget too; beyond it the decode fails.
  reader.cinfo.mem->max_memory_to_use = static_cast<long>(kPictureMemoryBudget);
  reader.progress.progress_monitor = jpegProgress;
  reader.cinfo.progress = &reader.progress;

  JpegHeader header;
  if (!readJpegHeader(&reader.cinfo, &reader.errors, data, size, &header)) return false;
  if (!pictureFitsBudget(header.width, header.height, 1)) return false;
  const int32_t width = static_cast<int32_t>(header.width);
  const int32_t height = static_cast<int32_t>(header.height);
  if (!image.AddFrame() || !image.SetFrameSize(width, height)) return false;
  uint32_t* pixels = image.currentForWriting().pixels;

  // The picture's top row is the frame's last row in memory.
  std::vector<uint8_t*> rows(header.height);
  for (uint32_t y = 0; y < header.height; ++y)
    rows[y] = reinterpret_cast<uint8_t*>(pixels + static_cast<size_t>(height - 1 - static_cast<int32_t>(y)) * width);
  std::vector<uint8_t> cmykRow(header.cmyk ? static_cast<size_t>(width) * 4 : 0);
  uint32_t rowsRead = 0;
  readJpegRows(&reader.cinfo, &reader.errors, rows.data(), &header, cmykRow.data(), &rowsRead);
  if (truncated == Truncated::kFails && (rowsRead < header.height || reader.errors.endedEarly)) return false;
  return rowsRead > 0;
}

}  // namespace om
