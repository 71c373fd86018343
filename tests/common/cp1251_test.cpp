// The one Windows-1251 table, checked against the C library's converter and
// against Windows' own mapping of the unassigned byte.
#include "common/cp1251.h"

#include <gtest/gtest.h>

#include <string>

#ifndef _WIN32
#include <iconv.h>
#endif

namespace om {
namespace {

TEST(Cp1251, DescriptorTextsReadAsRussian) {
  EXPECT_EQ(cp1251ToUtf8("\xCB\xEE\xE3\xEE\xF2\xE8\xEF"), "Логотип");
  EXPECT_EQ(cp1251ToUtf8("\xD3\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE0 \xF1\xEE\xE1\xF1\xF2\xE2\xE5\xED"
                         "\xED\xEE\xE3\xEE \xEB\xEE\xE3\xEE\xF2\xE8\xEF\xE0"),
            "Установка собственного логотипа");
  EXPECT_EQ(cp1251ToUtf8("\xA8\xB8 \xB9 \x88"), "Ёё № €");
  // Windows maps the one unassigned byte to the C1 control of the same number.
  EXPECT_EQ(cp1251ToUtf16("\x98"), std::u16string(1, u'\x98'));
}

#ifndef _WIN32
// The table is ours; the C library's converter is an independent witness.
TEST(Cp1251, EveryByteMatchesTheSystemConverter) {
  iconv_t cd = iconv_open("UTF-8", "CP1251");
  if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no CP1251 in iconv";
  for (int b = 1; b < 256; ++b) {
    if (b == 0x98) continue;  // unassigned; the system converter refuses it
    char in[1] = {static_cast<char>(b)};
    char out[8] = {};
    char* inp = in;
    char* outp = out;
    size_t inLeft = 1, outLeft = sizeof out;
    ASSERT_NE(iconv(cd, &inp, &inLeft, &outp, &outLeft), static_cast<size_t>(-1)) << b;
    EXPECT_EQ(cp1251ToUtf8(std::string(1, static_cast<char>(b))),
              std::string(out, sizeof out - outLeft))
        << "byte 0x" << std::hex << b;
  }
  iconv_close(cd);
}
#endif

TEST(Cp1251, RoundTripsEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(utf8ToCp1251(cp1251ToUtf8(all)), all);
  EXPECT_EQ(cp1251ToUtf16(all).size(), all.size());  // one UTF-16 unit per byte
}

TEST(Cp1251, UnmappableAndMalformedInputBecomesQuestionMarks) {
  EXPECT_EQ(utf8ToCp1251("Первый канал"), "\xCF\xE5\xF0\xE2\xFB\xE9 \xEA\xE0\xED\xE0\xEB");
  EXPECT_EQ(utf8ToCp1251("日本"), "??");
  EXPECT_EQ(utf8ToCp1251("a\xFF" "b"), "a?b");
  EXPECT_EQ(utf8ToCp1251("x\xD0"), "x?");        // cut inside a character
  EXPECT_EQ(utf8ToCp1251("\xD0" "A"), "?A");     // lead byte without continuation
  EXPECT_EQ(utf8ToCp1251("\xEF\xBF\xBD"), "?");  // U+FFFD has no byte
}

}  // namespace
}  // namespace om
