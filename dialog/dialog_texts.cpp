#include "dialog/dialog_texts.h"

#include "dialog/dialog_ids.h"

namespace om {
namespace texts {

const char kNoLogo[] =
    "\xCB \xEE \xE3 \xEE \xF2 \xE8 \xEF   \xED \xE5   \xE2 \xFB \xE1 \xF0 \xE0 \xED";
const char kOpacityWarning[] =
    "\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5 \xEF\xF0\xEE\xE7\xF0\xE0\xF7\xED\xEE\xF1\xF2\xE8 "
    "\xE4\xEE\xEB\xE6\xED\xEE \xE1\xFB\xF2\xFC \xF6\xE8\xF4\xF0\xEE\xE9 \xEE\xF2 0 \xE4\xEE 100";

const char kTipPreview[] = "\xCB\xEE\xE3\xEE\xF2\xE8\xEF";
const char kTipColorKeyEnable[] =
    "\xD3\xF7\xE8\xF2\xFB\xE2\xE0\xF2\xFC \xEF\xF0\xEE\xE7\xF0\xE0\xF7\xED\xFB\xE9 "
    "\xF6\xE2\xE5\xF2 \xEF\xF0\xE8 \xE2\xFB\xE2\xEE\xE4\xE5 \xEB\xEE\xE3\xEE\xF2\xE8\xEF\xE0";
const char kTipLeftTopPixel[] =
    "\xD6\xE2\xE5\xF2 \xEB\xE5\xE2\xEE\xE3\xEE \xE2\xE5\xF0\xF5\xED\xE5\xE3\xEE "
    "\xEF\xE8\xEA\xF1\xE5\xEB\xE0 \xEB\xEE\xE3\xEE\xF2\xE8\xEF\xE0";
const char kTipColorSwatch[] =
    "\xC2\xFB\xE1\xF0\xE0\xF2\xFC \xEF\xF0\xEE\xE7\xF0\xE0\xF7\xED\xFB\xE9 \xF6\xE2\xE5\xF2";
const char kTipChooseLogo[] = "\xC2\xFB\xE1\xF0\xE0\xF2\xFC \xEB\xEE\xE3\xEE\xF2\xE8\xEF";
const char kTipRemoveLogo[] = "\xCE\xF2\xEA\xEB\xFE\xF7\xE8\xF2\xFC \xEB\xEE\xE3\xEE\xF2\xE8\xEF";

const char kDialogCaption[] = "Ostrane_Marquel \xEF\xEB\xE0\xE3\xE8\xED";
const char kGroupChannel[] = "\xCA\xE0\xED\xE0\xEB";
const char kGroupLogoFile[] = "\xD4\xE0\xE9\xEB \xEB\xEE\xE3\xEE\xF2\xE8\xEF\xE0";
const char kColorKeyEnable[] = "\xCF\xF0\xEE\xE7\xF0\xE0\xF7\xED\xFB\xE9 \xF6\xE2\xE5\xF2";
const char kLeftTopPixel[] = "\xCB\xE5\xE2\xFB\xE9 \xE2\xE5\xF0\xF5\xED\xE8\xE9 \xEF\xE8\xEA\xF1\xE5\xEB";
const char kPrivateSettings[] =
    "\xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE0 \xEF\xEE \xEA\xE0\xED\xE0\xEB\xE0\xEC:";
const char kShowLogo[] = "\xCF\xEE\xEA\xE0\xE7\xE0\xF2\xFC \xEB\xEE\xE3\xEE\xF2\xE8\xEF:";
const char kOpacityLabel[] = "\xCF\xF0\xEE\xE7\xF0\xE0\xF7\xED\xEE\xF1\xF2\xFC:";
const char kAboutButton[] = "\xCE \xEF\xEB\xE0\xE3\xE8\xED\xE5";
const char kOkButton[] = "\xCE\xCA";
const char kCancelButton[] = "\xCE\xF2\xEC\xE5\xED\xE0";
const char kAboutVersion[] = "Ver.1.03";
const char kAboutOk[] = "OK";

const char* tooltipFor(int32_t controlId) {
  switch (controlId) {
    case kIdPreview: return kTipPreview;
    case kIdColorKeyEnable: return kTipColorKeyEnable;
    case kIdLeftTopPixel: return kTipLeftTopPixel;
    case kIdColorSwatch: return kTipColorSwatch;
    case kIdChooseLogo: return kTipChooseLogo;
    case kIdRemoveLogo: return kTipRemoveLogo;
    default: return nullptr;
  }
}

}  // namespace texts

// Code points of the bytes 0x80..0xFF; 0xC0..0xFF are U+0410..U+044F.
static const char16_t kHighHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

static char16_t codePoint(unsigned char byte) {
  if (byte < 0x80) return byte;
  if (byte >= 0xC0) return static_cast<char16_t>(0x0410 + (byte - 0xC0));
  return kHighHalf[byte - 0x80];
}

std::u16string cp1251ToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char c : text) out.push_back(codePoint(static_cast<unsigned char>(c)));
  return out;
}

std::string cp1251ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (const char c : text) {
    // Every code point of the page lies below U+10000: at most three bytes.
    const char16_t u = codePoint(static_cast<unsigned char>(c));
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (u >> 6)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (u >> 12)));
      out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return out;
}

}  // namespace om
