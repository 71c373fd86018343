#include "tools/host/y4m.h"

#include <cstdlib>
#include <cstring>

namespace omhost {
namespace {

bool parseInt(std::string_view text, int& value) {
  if (text.empty() || text.size() > 9) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  value = v;
  return true;
}

bool parseRatio(std::string_view text, int& num, int& den) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  return parseInt(text.substr(0, colon), num) && parseInt(text.substr(colon + 1), den);
}

bool parseChroma(std::string_view tag, Y4mChroma& chroma) {
  if (tag == "420" || tag == "420jpeg" || tag == "420mpeg2" || tag == "420paldv") {
    chroma = Y4mChroma::C420;
  } else if (tag == "422") {
    chroma = Y4mChroma::C422;
  } else if (tag == "444") {
    chroma = Y4mChroma::C444;
  } else if (tag == "mono") {
    chroma = Y4mChroma::Mono;
  } else {
    return false;
  }
  return true;
}

inline size_t chromaWidth(const Y4mHeader& h) {
  const size_t w = static_cast<size_t>(h.width);
  return h.chroma == Y4mChroma::C444 ? w : (w + 1) / 2;
}

inline size_t chromaHeight(const Y4mHeader& h) {
  const size_t ht = static_cast<size_t>(h.height);
  return h.chroma == Y4mChroma::C420 ? (ht + 1) / 2 : ht;
}

}  // namespace

bool parseY4mHeader(std::string_view line, Y4mHeader& header, std::string& error) {
  Y4mHeader h;
  bool first = true;
  bool haveW = false, haveH = false;
  size_t pos = 0;
  while (pos <= line.size()) {
    size_t end = line.find(' ', pos);
    if (end == std::string_view::npos) end = line.size();
    const std::string_view token = line.substr(pos, end - pos);
    pos = end + 1;
    if (token.empty()) continue;
    if (first) {
      if (token != "YUV4MPEG2") {
        error = "not a YUV4MPEG2 stream";
        return false;
      }
      first = false;
      continue;
    }
    const std::string_view value = token.substr(1);
    bool ok = true;
    switch (token[0]) {
      case 'W': ok = haveW = parseInt(value, h.width); break;
      case 'H': ok = haveH = parseInt(value, h.height); break;
      case 'F': ok = parseRatio(value, h.fpsNum, h.fpsDen) && h.fpsNum > 0 && h.fpsDen > 0; break;
      case 'I': ok = value.size() == 1; if (ok) h.interlace = value[0]; break;
      case 'A': ok = parseRatio(value, h.aspectNum, h.aspectDen); break;
      case 'C':
        if (!parseChroma(value, h.chroma)) {
          error = "Y4M colour space C" + std::string(value) +
                  " is not supported (8-bit 420, 422, 444 or mono only)";
          return false;
        }
        break;
      case 'X': h.extensions.emplace_back(token); break;
      default: break;  // unknown tags carry nothing we need
    }
    if (!ok) {
      error = "bad Y4M header field '" + std::string(token) + "'";
      return false;
    }
  }
  if (first) {
    error = "not a YUV4MPEG2 stream";
    return false;
  }
  if (!haveW || !haveH || h.width <= 0 || h.height <= 0 || h.width > kY4mMaxDimension ||
      h.height > kY4mMaxDimension) {
    error = "Y4M header needs a size between 1x1 and " + std::to_string(kY4mMaxDimension) +
            "x" + std::to_string(kY4mMaxDimension);
    return false;
  }
  header = h;
  return true;
}

bool y4mColorRange(const Y4mHeader& header, ColorRange& range) {
  for (const std::string& x : header.extensions) {
    if (x == "XCOLORRANGE=LIMITED") range = ColorRange::Tv;
    else if (x == "XCOLORRANGE=FULL") range = ColorRange::Full;
    else continue;
    return true;
  }
  return false;
}

std::string formatY4mHeader422(const Y4mHeader& h) {
  std::string out = "YUV4MPEG2 W" + std::to_string(h.width) + " H" + std::to_string(h.height) +
                    " F" + std::to_string(h.fpsNum) + ":" + std::to_string(h.fpsDen) + " I" +
                    h.interlace + " A" + std::to_string(h.aspectNum) + ":" +
                    std::to_string(h.aspectDen) + " C422";
  for (const std::string& x : h.extensions) out += " " + x;
  out += '\n';
  return out;
}

size_t y4mFrameBytes(const Y4mHeader& h) {
  const size_t luma = static_cast<size_t>(h.width) * static_cast<size_t>(h.height);
  if (h.chroma == Y4mChroma::Mono) return luma;
  return luma + 2 * chromaWidth(h) * chromaHeight(h);
}

void y4mToPacked422(const Y4mHeader& h, const uint8_t* planes, uint8_t* packed) {
  const size_t w = static_cast<size_t>(h.width);
  const size_t cw = chromaWidth(h);
  const size_t ch = chromaHeight(h);
  const uint8_t* yPlane = planes;
  const uint8_t* cbPlane = planes + w * static_cast<size_t>(h.height);
  const uint8_t* crPlane = cbPlane + cw * ch;
  for (int r = 0; r < h.height; ++r) {
    const uint8_t* y = yPlane + static_cast<size_t>(r) * w;
    uint8_t* d = packed + static_cast<size_t>(r) * w * 2;
    for (size_t p = 0; p < w / 2; ++p, d += 4) {
      d[0] = y[2 * p];
      d[2] = y[2 * p + 1];
      switch (h.chroma) {
        case Y4mChroma::Mono:
          d[1] = d[3] = 128;
          break;
        case Y4mChroma::C444: {
          const uint8_t* cb = cbPlane + static_cast<size_t>(r) * cw + 2 * p;
          const uint8_t* cr = crPlane + static_cast<size_t>(r) * cw + 2 * p;
          d[1] = static_cast<uint8_t>((cb[0] + cb[1] + 1) >> 1);
          d[3] = static_cast<uint8_t>((cr[0] + cr[1] + 1) >> 1);
          break;
        }
        case Y4mChroma::C422:
          d[1] = cbPlane[static_cast<size_t>(r) * cw + p];
          d[3] = crPlane[static_cast<size_t>(r) * cw + p];
          break;
        case Y4mChroma::C420: {
          // Chroma sits between luma rows 2k and 2k+1: weight 3/4 on the
          // nearer chroma row, 1/4 on the next one out (edge rows repeat).
          const size_t k = static_cast<size_t>(r) / 2;
          size_t other = (r & 1) ? k + 1 : (k == 0 ? 0 : k - 1);
          if (other >= ch) other = ch - 1;
          const size_t a = k * cw + p, b = other * cw + p;
          d[1] = static_cast<uint8_t>((3 * cbPlane[a] + cbPlane[b] + 2) >> 2);
          d[3] = static_cast<uint8_t>((3 * crPlane[a] + crPlane[b] + 2) >> 2);
          break;
        }
      }
    }
  }
}

}  // namespace omhost
