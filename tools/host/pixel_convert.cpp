#include "tools/host/pixel_convert.h"

#include <cstring>

namespace omhost {
namespace {

// Floor division by 2^bits, without relying on how >> treats negatives.
inline int floorShift(int value, int bits) {
  return value >= 0 ? value >> bits : -((-value + (1 << bits) - 1) >> bits);
}

inline uint8_t clamp255(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// BT.601 in 16-bit fixed point, both ways. TV range scales luma by 219/255
// and chroma by 224/255 and lifts luma by 16; each row of chroma weights
// sums to 0, so grey keeps chroma 128.
struct YuvCoefficients {
  int lumaOffset;
  int toY[3], toCb[3], toCr[3];  // from R G B
  int fromY;                     // per level of Y - lumaOffset
  int crToR, cbToG, crToG, cbToB;
};
constexpr YuvCoefficients kFullRange{
    0, {19595, 38470, 7471}, {-11059, -21709, 32768}, {32768, -27439, -5329},
    65536, 91881, 22554, 46802, 116130};
constexpr YuvCoefficients kTvRange{
    16, {16829, 33039, 6416}, {-9714, -19070, 28784}, {28784, -24103, -4681},
    76309, 104597, 25675, 53279, 132201};

inline const YuvCoefficients& coefficientsFor(ColorRange range) {
  return range == ColorRange::Tv ? kTvRange : kFullRange;
}

// Chroma of one or two RGB pixels given as sums (n pixels, n = 1 or 2).
// Sums reach 510 per component; |coefficient * sum| < 2^25, fits int.
inline void chromaOfSum(const YuvCoefficients& k, int r, int g, int b, int n, uint8_t& cb,
                        uint8_t& cr) {
  const int bits = n == 2 ? 17 : 16;
  const int half = 1 << (bits - 1);
  cb = clamp255(128 + floorShift(k.toCb[0] * r + k.toCb[1] * g + k.toCb[2] * b + half, bits));
  cr = clamp255(128 + floorShift(k.toCr[0] * r + k.toCr[1] * g + k.toCr[2] * b + half, bits));
}

inline uint8_t lumaOf(const YuvCoefficients& k, int r, int g, int b) {
  // At most 255 * 65536 + 32768 < 2^24.
  return clamp255(k.lumaOffset + ((k.toY[0] * r + k.toY[1] * g + k.toY[2] * b + 32768) >> 16));
}

// How a 24-bit buffer holds its picture.
enum class RowOrder : uint8_t { TopDown, BottomUp };
enum class ChannelOrder : uint8_t { Bgr, Rgb };
struct Layout24 {
  RowOrder rows;
  ChannelOrder channels;
};
constexpr Layout24 kPluginBgr{RowOrder::BottomUp, ChannelOrder::Bgr};  // code 1
constexpr Layout24 kBgrTopDown{RowOrder::TopDown, ChannelOrder::Bgr};
constexpr Layout24 kRgbTopDown{RowOrder::TopDown, ChannelOrder::Rgb};

// Row r of the picture (top-down) inside a 24-bit buffer.
inline size_t row24Offset(int width, int height, int r, RowOrder rows) {
  const int stored = rows == RowOrder::BottomUp ? height - 1 - r : r;
  return static_cast<size_t>(stored) * static_cast<size_t>(width) * 3;
}
inline const uint8_t* row24(const uint8_t* base, int width, int height, int r, RowOrder rows) {
  return base + row24Offset(width, height, r, rows);
}
inline uint8_t* row24(uint8_t* base, int width, int height, int r, RowOrder rows) {
  return base + row24Offset(width, height, r, rows);
}

// Between two 24-bit layouts: rows reordered, R and B swapped if need be.
void convert24(const uint8_t* src, Layout24 from, uint8_t* dst, Layout24 to, int width,
               int height) {
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  for (int r = 0; r < height; ++r) {
    const uint8_t* s = row24(src, width, height, r, from.rows);
    uint8_t* d = row24(dst, width, height, r, to.rows);
    if (from.channels == to.channels) {
      std::memcpy(d, s, rowBytes);
    } else {
      for (int x = 0; x < width; ++x, s += 3, d += 3) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
      }
    }
  }
}

}  // namespace

int32_t pluginCodeFor(RawLayout layout) { return layout == RawLayout::Yuyv ? 0 : 1; }

size_t pluginFrameBytes(int32_t code, int width, int height) {
  return static_cast<size_t>(width) * static_cast<size_t>(height) * (code == 0 ? 2u : 3u);
}

size_t rawFrameBytes(RawLayout layout, int width, int height) {
  return pluginFrameBytes(pluginCodeFor(layout), width, height);
}

const char* rawLayoutName(RawLayout layout) {
  switch (layout) {
    case RawLayout::Yuyv: return "yuyv";
    case RawLayout::Bgr24BottomUp: return "bgr24-bottom-up";
    case RawLayout::Bgr24: return "bgr24";
    case RawLayout::Rgb24: return "rgb24";
  }
  return "?";
}

bool parseRawLayout(const char* text, RawLayout& layout) {
  static const RawLayout all[] = {RawLayout::Yuyv, RawLayout::Bgr24BottomUp, RawLayout::Bgr24,
                                  RawLayout::Rgb24};
  for (RawLayout candidate : all) {
    if (std::strcmp(text, rawLayoutName(candidate)) == 0) {
      layout = candidate;
      return true;
    }
  }
  if (std::strcmp(text, "yuyv422") == 0) {
    layout = RawLayout::Yuyv;
    return true;
  }
  return false;
}

void rawToPluginBuffer(RawLayout layout, const uint8_t* raw, int width, int height,
                       uint8_t* buffer) {
  switch (layout) {
    case RawLayout::Yuyv:
    case RawLayout::Bgr24BottomUp:
      std::memcpy(buffer, raw, rawFrameBytes(layout, width, height));
      break;
    case RawLayout::Bgr24: convert24(raw, kBgrTopDown, buffer, kPluginBgr, width, height); break;
    case RawLayout::Rgb24: convert24(raw, kRgbTopDown, buffer, kPluginBgr, width, height); break;
  }
}

void pluginBufferToRaw(RawLayout layout, const uint8_t* buffer, int width, int height,
                       uint8_t* raw) {
  switch (layout) {
    case RawLayout::Yuyv:
    case RawLayout::Bgr24BottomUp:
      std::memcpy(raw, buffer, rawFrameBytes(layout, width, height));
      break;
    case RawLayout::Bgr24: convert24(buffer, kPluginBgr, raw, kBgrTopDown, width, height); break;
    case RawLayout::Rgb24: convert24(buffer, kPluginBgr, raw, kRgbTopDown, width, height); break;
  }
}

void yuvToRgb(int y, int cb, int cr, uint8_t rgb[3], ColorRange range) {
  const YuvCoefficients& k = coefficientsFor(range);
  const int l = k.fromY * (y - k.lumaOffset);  // |l| < 2^25
  const int u = cb - 128;                      // -128..127
  const int v = cr - 128;
  // Every sum stays below 2^26; the +32768 rounds to nearest.
  rgb[0] = clamp255(floorShift(l + k.crToR * v + 32768, 16));
  rgb[1] = clamp255(floorShift(l - k.cbToG * u - k.crToG * v + 32768, 16));
  rgb[2] = clamp255(floorShift(l + k.cbToB * u + 32768, 16));
}

void rgbToYuv(int r, int g, int b, uint8_t yuv[3], ColorRange range) {
  const YuvCoefficients& k = coefficientsFor(range);
  yuv[0] = lumaOf(k, r, g, b);
  chromaOfSum(k, r, g, b, 1, yuv[1], yuv[2]);
}

void packed422ToBgrBottomUp(const uint8_t* packed, int width, int height, uint8_t* bgr,
                            ColorRange range) {
  uint8_t rgb[3];
  for (int r = 0; r < height; ++r) {
    const uint8_t* s = packed + static_cast<size_t>(r) * static_cast<size_t>(width) * 2;
    uint8_t* d = row24(bgr, width, height, r, RowOrder::BottomUp);
    for (int x = 0; x + 1 < width; x += 2, s += 4) {
      for (int k = 0; k < 2; ++k, d += 3) {
        yuvToRgb(s[2 * k], s[1], s[3], rgb, range);
        d[0] = rgb[2];
        d[1] = rgb[1];
        d[2] = rgb[0];
      }
    }
  }
}

void rgbToPluginBuffer(int32_t code, const uint8_t* rgb, int width, int height,
                       uint8_t* buffer, ColorRange range) {
  if (code != 0) {
    convert24(rgb, kRgbTopDown, buffer, kPluginBgr, width, height);
    return;
  }
  const YuvCoefficients& k = coefficientsFor(range);
  for (int r = 0; r < height; ++r) {
    const uint8_t* s = rgb + static_cast<size_t>(r) * static_cast<size_t>(width) * 3;
    uint8_t* d = buffer + static_cast<size_t>(r) * static_cast<size_t>(width) * 2;
    for (int x = 0; x + 1 < width; x += 2, s += 6, d += 4) {
      d[0] = lumaOf(k, s[0], s[1], s[2]);
      d[2] = lumaOf(k, s[3], s[4], s[5]);
      chromaOfSum(k, s[0] + s[3], s[1] + s[4], s[2] + s[5], 2, d[1], d[3]);
    }
  }
}

void pluginBufferToRgb(int32_t code, const uint8_t* buffer, int width, int height,
                       uint8_t* rgb, ColorRange range) {
  if (code != 0) {
    convert24(buffer, kPluginBgr, rgb, kRgbTopDown, width, height);
    return;
  }
  for (int r = 0; r < height; ++r) {
    const uint8_t* s = buffer + static_cast<size_t>(r) * static_cast<size_t>(width) * 2;
    uint8_t* d = rgb + static_cast<size_t>(r) * static_cast<size_t>(width) * 3;
    for (int x = 0; x + 1 < width; x += 2, s += 4, d += 6) {
      yuvToRgb(s[0], s[1], s[3], d, range);
      yuvToRgb(s[2], s[1], s[3], d + 3, range);
    }
  }
}

void pluginBufferToPlanar422(int32_t code, const uint8_t* buffer, int width, int height,
                             uint8_t* planes, ColorRange range) {
  const YuvCoefficients& k = coefficientsFor(range);
  const size_t w = static_cast<size_t>(width);
  const size_t cw = (w + 1) / 2;
  uint8_t* yPlane = planes;
  uint8_t* cbPlane = planes + w * static_cast<size_t>(height);
  uint8_t* crPlane = cbPlane + cw * static_cast<size_t>(height);
  for (int r = 0; r < height; ++r) {
    uint8_t* y = yPlane + static_cast<size_t>(r) * w;
    uint8_t* cb = cbPlane + static_cast<size_t>(r) * cw;
    uint8_t* cr = crPlane + static_cast<size_t>(r) * cw;
    if (code == 0) {
      const uint8_t* s = buffer + static_cast<size_t>(r) * w * 2;
      for (size_t p = 0; p < w / 2; ++p, s += 4) {
        y[2 * p] = s[0];
        cb[p] = s[1];
        y[2 * p + 1] = s[2];
        cr[p] = s[3];
      }
      continue;
    }
    const uint8_t* s = row24(buffer, width, height, r, RowOrder::BottomUp);
    for (size_t x = 0; x < w; x += 2) {
      const int n = x + 1 < w ? 2 : 1;  // an odd width leaves a lone last pixel
      int sr = 0, sg = 0, sb = 0;
      for (int i = 0; i < n; ++i) {
        const uint8_t* px = s + (x + static_cast<size_t>(i)) * 3;
        y[x + static_cast<size_t>(i)] = lumaOf(k, px[2], px[1], px[0]);
        sr += px[2];
        sg += px[1];
        sb += px[0];
      }
      chromaOfSum(k, sr, sg, sb, n, cb[x / 2], cr[x / 2]);
    }
  }
}

}  // namespace omhost
