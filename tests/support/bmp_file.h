// Test pictures as 24-bit Windows bitmap files, for the tests of every
// platform that need a picture on disk.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace om::test {

// A 24-bit bottom-up Windows bitmap whose pixel (x, y from the top) is
// colour(x, y) as 0x00RRGGBB.
template <typename ColourFn>
bool writeBmp24(const std::string& path, int32_t width, int32_t height, ColourFn colour) {
  const int32_t rowBytes = (width * 3 + 3) & ~3;
  const uint32_t imageBytes = static_cast<uint32_t>(rowBytes) * static_cast<uint32_t>(height);
  std::vector<uint8_t> file(54 + imageBytes, 0);
  auto put16 = [&](size_t at, uint32_t v) {
    file[at] = static_cast<uint8_t>(v);
    file[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  auto put32 = [&](size_t at, uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  put16(26, 1);
  put16(28, 24);
  put32(34, imageBytes);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = &file[54 + static_cast<size_t>(height - 1 - y) * rowBytes];
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t c = colour(x, y);
      row[3 * x] = static_cast<uint8_t>(c);
      row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(c >> 16);
    }
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace om::test
