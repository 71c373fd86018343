// PNG pictures of frames (snapshots, the contact sheet). The Windows build
// carries no PNG library: there the writer reports that it is not built in.
#pragma once

#include <cstdint>
#include <string>

namespace omhost {

bool pngSupported();
// R G B top-down, 8 bits a sample. On failure `error` says why.
bool writePngRgb(const std::string& path, const uint8_t* rgb, int width, int height,
                 std::string& error);

}  // namespace omhost
