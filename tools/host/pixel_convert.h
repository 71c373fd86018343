// Conversions at the host's edge: between the byte layouts that files and
// pipes carry and the two layouts the plug-in takes (code 0: packed 4:2:2
// Y0 Cb Y1 Cr top-down; code 1: B G R bottom-up), and BT.601 YCbCr <-> RGB,
// full or TV range, for viewing and for writing 4:2:2 from RGB frames.
#pragma once

#include <cstddef>
#include <cstdint>

namespace omhost {

enum class RawLayout { Yuyv, Bgr24BottomUp, Bgr24, Rgb24 };

// The levels YCbCr samples use: Full 0..255, or Tv (broadcast) luma 16..235
// and chroma 16..240. RGB is always 0..255.
enum class ColorRange { Full, Tv };

// The plug-in's PixelFormatCode for frames of this layout.
int32_t pluginCodeFor(RawLayout layout);
size_t rawFrameBytes(RawLayout layout, int width, int height);
size_t pluginFrameBytes(int32_t code, int width, int height);
const char* rawLayoutName(RawLayout layout);
bool parseRawLayout(const char* text, RawLayout& layout);

// Raw bytes of `layout` <-> the plug-in buffer for pluginCodeFor(layout).
void rawToPluginBuffer(RawLayout layout, const uint8_t* raw, int width, int height,
                       uint8_t* buffer);
void pluginBufferToRaw(RawLayout layout, const uint8_t* buffer, int width, int height,
                       uint8_t* raw);

// BT.601, 16-bit fixed point, rounded, saturated to 0..255.
void yuvToRgb(int y, int cb, int cr, uint8_t rgb[3], ColorRange range);
void rgbToYuv(int r, int g, int b, uint8_t yuv[3], ColorRange range);

// The YCbCr side of each conversion below is in `range`; B G R frames
// (code 1) pass between 24-bit layouts unchanged.
// Packed 4:2:2 (even width) -> B G R bottom-up.
void packed422ToBgrBottomUp(const uint8_t* packed, int width, int height, uint8_t* bgr,
                            ColorRange range);
// R G B top-down -> a plug-in buffer of either code (code 0 needs an even width).
void rgbToPluginBuffer(int32_t code, const uint8_t* rgb, int width, int height,
                       uint8_t* buffer, ColorRange range);
// A plug-in buffer of either code -> R G B top-down, for pictures.
void pluginBufferToRgb(int32_t code, const uint8_t* buffer, int width, int height,
                       uint8_t* rgb, ColorRange range);
// A plug-in buffer of either code -> planar 4:2:2: Y (w*h), Cb, Cr ((w+1)/2*h each).
void pluginBufferToPlanar422(int32_t code, const uint8_t* buffer, int width, int height,
                             uint8_t* planes, ColorRange range);

}  // namespace omhost
