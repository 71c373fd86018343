// The INI reader and writer: value parsing, finding sections, the list of
// sections, and the typed key tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "settings/profile_store.h"

namespace om {
namespace {

ProfileStore reading(const std::string& text) {
  ProfileStore store;
  store.openInMemory(ProfileStore::Mode::Reading, text);
  return store;
}

std::string valueOf(ProfileStore& store, const std::string& section, const std::string& key) {
  std::string text;
  return store.readValue(store.findSection(section), key, text) ? text : "<missing>";
}

TEST(DecimalParse, SkipsBlanksTakesOneSignStopsAtFirstNonDigitAndWraps) {
  EXPECT_EQ(parseDecimalWrapping(" \t 42abc"), 42u);
  EXPECT_EQ(static_cast<int64_t>(parseDecimalWrapping("-5")), -5);
  EXPECT_EQ(parseDecimalWrapping("+7"), 7u);
  EXPECT_EQ(parseDecimalWrapping("--7"), 0u);
  EXPECT_EQ(parseDecimalWrapping("abc"), 0u);
  EXPECT_EQ(parseDecimalWrapping(""), 0u);
  EXPECT_EQ(static_cast<uint32_t>(parseDecimalWrapping("-1")), 4294967295u);
  EXPECT_EQ(static_cast<int32_t>(static_cast<uint32_t>(parseDecimalWrapping("4294967295"))), -1);
  EXPECT_EQ(parseDecimalWrapping("18446744073709551617"), 1u) << "wraps modulo 2^64";
  EXPECT_EQ(static_cast<int64_t>(parseDecimalWrapping("-9223372036854775808")), INT64_MIN);
}

TEST(ProfileStoreRead, ValuesBlanksDefaultsAndCase) {
  ProfileStore store = reading(
      "[COMMON]\n"
      "LogoFileName= C:\\a b.bmp \n"
      "LogoPosX=  12  \n"
      "ShowLogo=\n"
      "ColorKeyEnable=abc\n"
      "showlogo=5\n"
      "  LeftTopPixelColor \t= 3\n"
      "no equals sign here\n"
      "\n"
      "ColorKey=1\n"
      "ColorKey=2\n");
  EXPECT_EQ(valueOf(store, "COMMON", "LogoFileName"), " C:\\a b.bmp ") << "text kept unchanged";
  int32_t posX = -1;
  uint32_t show = 0, keyEnable = 7, leftTop = 0, key = 0;
  const SettingsKey rows[] = {{kValueInt32, "LogoPosX", &posX, 99, nullptr},
                              {kValueUInt32, "ShowLogo", &show, 1, nullptr},
                              {kValueUInt32, "ColorKeyEnable", &keyEnable, 7, nullptr},
                              {kValueUInt32, " LeftTopPixelColor ", &leftTop, 0, nullptr},
                              {kValueColor, "ColorKey", &key, 0, nullptr}};
  store.readKeyTable(store.findSection(" COMMON "), rows, 5);
  EXPECT_EQ(posX, 12);
  EXPECT_EQ(show, 1u) << "empty value gives the default; the lower-case key is another key";
  EXPECT_EQ(keyEnable, 0u) << "a value without digits reads as 0, not the default";
  EXPECT_EQ(leftTop, 3u) << "names are trimmed, file keys too";
  EXPECT_EQ(key, 1u) << "the first line of a key decides";
  EXPECT_EQ(valueOf(store, "common", "LogoPosX"), "<missing>") << "section names keep their case";
}

TEST(ProfileStoreRead, LineEndsCrLfNulAndMissingFinalLineEnd) {
  ProfileStore crlf = reading("[A]\r\nname= x \r\nn=7\r\n[B]\r\nlast=tail");
  EXPECT_EQ(valueOf(crlf, "A", "name"), " x ");
  EXPECT_EQ(valueOf(crlf, "A", "n"), "7");
  EXPECT_EQ(valueOf(crlf, "B", "last"), "tail") << "last line read in full";

  const char withNul[] = "[A]\nname=ab\0cd\nn=1\n";
  ProfileStore nul = reading(std::string(withNul, sizeof withNul - 1));
  EXPECT_EQ(valueOf(nul, "A", "name"), "ab") << "a NUL ends the line's text";
  EXPECT_EQ(valueOf(nul, "A", "n"), "1");
}

TEST(ProfileStoreSearch, FirstSectionOfTheNameBlanksAroundItIgnored) {
  const std::string text = "[A]\n[ B ]\nb=1\n[B]\nb=2\n[C]\n";
  ProfileStore store = reading(text);
  EXPECT_EQ(store.findSection("B"), text.find("[ B ]"));
  EXPECT_EQ(store.findSection("\tC "), text.find("[C]"));
  EXPECT_EQ(store.findSection("b"), ProfileStore::kNoSection) << "case-sensitive";
  EXPECT_EQ(store.findSection("D"), ProfileStore::kNoSection);
  EXPECT_EQ(valueOf(store, "B", "b"), "1");
}

// Every header in file order, blanks kept, each with the keys under its own
// line, even where a search by its name would find another header.
TEST(ProfileStoreSections, EveryHeaderInFileOrderReadsItsOwnKeys) {
  const std::string text = "k=0\n[ 5 ]\nk=1\n[5]\nk=2\n\t[x] \n[]\n[COMMON]\nk=3\n";
  ProfileStore store = reading(text);
  const std::vector<ProfileStore::SectionHeader> headers = store.sectionHeaders();
  std::vector<std::string> names;
  for (const auto& h : headers) names.push_back(h.name);
  EXPECT_EQ(names, (std::vector<std::string>{" 5 ", "5", "x", "", "COMMON"}));
  ASSERT_EQ(headers.size(), 5u);
  EXPECT_EQ(headers[0].start, text.find("[ 5 ]"));
  uint32_t k = 9;
  const SettingsKey row{kValueUInt32, "k", &k, 44, nullptr};
  const uint32_t expected[] = {1, 2, 44, 44, 3};
  for (size_t i = 0; i < headers.size(); ++i) {
    store.readKeyTable(headers[i].start, &row, 1);
    EXPECT_EQ(k, expected[i]) << names[i];
  }
  store.readKeyTable(1, &row, 1);
  EXPECT_EQ(k, 44u) << "no header starts there: defaults";
}

TEST(ProfileStoreKeyTable, EveryTypeCodeRoundTripsItsBits) {
  struct Fields {
    uint32_t u32 = 0, color = 0;
    int32_t i32 = 0;
    std::string text;
    uint32_t untouched = 0;
  };
  auto rowsFor = [](Fields& f) {
    return std::vector<SettingsKey>{
        {kValueUInt32, "u32", &f.u32, -1, nullptr},
        {kValueColor, "color", &f.color, 0x1000000FF, nullptr},
        {kValueInt32, "i32", &f.i32, -2, nullptr},
        {kValueString, "text", &f.text, 0, " def"},
        {13, "untouched", &f.untouched, 9, nullptr},
    };
  };

  // Nothing in the file: the defaults, cut to each field's width.
  Fields d;
  d.untouched = 77;
  ProfileStore empty = reading("[S]\n");
  const auto dRows = rowsFor(d);
  empty.readKeyTable(empty.findSection("S"), dRows.data(), dRows.size());
  EXPECT_EQ(d.u32, 4294967295u);
  EXPECT_EQ(d.color, 0xFFu);
  EXPECT_EQ(d.i32, -2);
  EXPECT_EQ(d.text, " def");
  EXPECT_EQ(d.untouched, 77u) << "other codes are skipped";

  Fields in;
  in.u32 = 4294967295u;
  in.color = 0x00123456;
  in.i32 = INT32_MIN;
  in.text = "  two blanks, trailing blank ";
  in.untouched = 5;
  ProfileStore writer;
  writer.lineEnd = "\n";
  ASSERT_TRUE(writer.openInMemory(ProfileStore::Mode::Writing));
  writer.writeSection("  S\t");
  const auto inRows = rowsFor(in);
  writer.writeKeyTable(inRows.data(), inRows.size());
  const std::string text = writer.text();
  EXPECT_EQ(text.find("[S]\nu32=4294967295\n"), 0u) << text;
  EXPECT_NE(text.find("\ni32=-2147483648\n"), std::string::npos);
  EXPECT_EQ(text.find("untouched"), std::string::npos);

  Fields out;
  ProfileStore reader = reading(text);
  const auto outRows = rowsFor(out);
  reader.readKeyTable(reader.findSection("S"), outRows.data(), outRows.size());
  EXPECT_EQ(out.u32, in.u32);
  EXPECT_EQ(out.color, in.color);
  EXPECT_EQ(out.i32, in.i32);
  EXPECT_EQ(out.text, in.text);
}

TEST(ProfileStoreWrite, ValueCannotForgeLinesAndLineEndIsASetting) {
  ProfileStore writer;
  writer.lineEnd = "\r\n";
  ASSERT_TRUE(writer.openInMemory(ProfileStore::Mode::Writing));
  writer.writeSection(-5);
  writer.writeValue(" k ", "a\n[COMMON]\nPrivateSettings=1");
  writer.writeValue("n", std::string("x\0y", 3));
  EXPECT_EQ(writer.text(), "[-5]\r\nk=a\r\nn=x\r\n");
}

TEST(ProfileStoreOpen, ClosedStoreGivesDefaultsAndNoSections) {
  ProfileStore store;  // no path
  EXPECT_FALSE(store.open(ProfileStore::Mode::Reading));
  int32_t v = 0;
  const SettingsKey row{kValueInt32, "x", &v, -100, nullptr};
  store.readKeyTable(store.findSection("COMMON"), &row, 1);
  EXPECT_EQ(v, -100);
  EXPECT_TRUE(store.sectionHeaders().empty());
  EXPECT_FALSE(store.open(ProfileStore::Mode::Writing));
}

}  // namespace
}  // namespace om
