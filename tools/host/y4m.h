// YUV4MPEG2 headers and the planar <-> packed 4:2:2 conversions at the
// host's edge. 8-bit 4:2:0, 4:2:2, 4:4:4 and mono streams are read; streams
// are written as 4:2:2 planar ("C422").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/host/pixel_convert.h"

namespace omhost {

enum class Y4mChroma { C420, C422, C444, Mono };

// Larger pictures are refused before anything is allocated.
constexpr int kY4mMaxDimension = 8192;

struct Y4mHeader {
  int width = 0;
  int height = 0;
  int fpsNum = 25;
  int fpsDen = 1;
  char interlace = 'p';
  int aspectNum = 0;  // 0:0 means unknown
  int aspectDen = 0;
  Y4mChroma chroma = Y4mChroma::C420;  // the format's default when no C tag is given
  std::vector<std::string> extensions;  // X tags, carried over to the output
};

// `line` is the first line of the stream without its '\n'.
bool parseY4mHeader(std::string_view line, Y4mHeader& header, std::string& error);
// The range its XCOLORRANGE tag names (LIMITED: TV, FULL); false without one.
bool y4mColorRange(const Y4mHeader& header, ColorRange& range);
// The output header, always "C422", with the '\n'.
std::string formatY4mHeader422(const Y4mHeader& header);
// A frame's payload after its "FRAME" line.
size_t y4mFrameBytes(const Y4mHeader& header);
// Even widths only: packed 4:2:2 has no room for a lone last pixel.
void y4mToPacked422(const Y4mHeader& header, const uint8_t* planes, uint8_t* packed);

}  // namespace omhost
