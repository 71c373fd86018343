#include "tools/host/png_writer.h"

#include <cstdio>
#include <vector>

#ifndef _WIN32
#include <png.h>
#endif

namespace omhost {

#ifdef _WIN32

bool pngSupported() { return false; }

bool writePngRgb(const std::string&, const uint8_t*, int, int, std::string& error) {
  error = "PNG output is not built into the Windows host (no PNG library there)";
  return false;
}

#else

bool pngSupported() { return true; }

bool writePngRgb(const std::string& path, const uint8_t* rgb, int width, int height,
                 std::string& error) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    error = "cannot create " + path;
    return false;
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  const int ok = png_image_write_to_stdio(&image, file, 0, rgb, width * 3, nullptr);
  if (!ok) error = std::string("PNG encoding failed: ") + image.message;
  png_image_free(&image);
  // A failed close means the data never fully reached the disk.
  if (std::fclose(file) != 0 && ok) {
    error = "writing " + path + " failed";
    std::remove(path.c_str());
    return false;
  }
  if (!ok) std::remove(path.c_str());
  return ok != 0;
}

#endif

}  // namespace omhost
