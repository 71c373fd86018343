// The INI reader and writer: value parsing, finding sections, the list of
// sections, and the typed key tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "settings/profile_store.h"
#include "settings/settings_model.h"

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
  LogoSettings r;
  r.LogoPosX = -1;
  r.ShowLogo = 0;
  readRecord(store, store.findSection(" COMMON "), r);
  EXPECT_EQ(r.LogoPosX, 12);
  EXPECT_EQ(r.ShowLogo, 1u) << "empty value gives the default; the lower-case key is another key";
  EXPECT_EQ(r.ColorKeyEnable, 0u) << "a value without digits reads as 0, not the default";
  EXPECT_EQ(r.LeftTopPixelColor, 3u) << "keys in the file are trimmed";
  EXPECT_EQ(r.ColorKey, 1u) << "the first line of a key decides";
  EXPECT_EQ(r.LogoOpacity, 60) << "a missing key gives the default";
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
  const char* const expected[] = {"1", "2", "<missing>", "<missing>", "3"};
  std::string k;
  for (size_t i = 0; i < headers.size(); ++i) {
    if (!store.readValue(headers[i].start, "k", k)) k = "<missing>";
    EXPECT_EQ(k, expected[i]) << names[i];
  }
  EXPECT_FALSE(store.readValue(1, "k", k)) << "no header starts there";
}

// A record's keys through the text and back: every bit of unsigned and
// signed keys, text with its blanks, and the defaults of keys not there.
TEST(ProfileStoreRecord, EveryKindOfKeyRoundTripsItsBits) {
  LogoSettings d;
  d.LogoOpacity = 5;
  ProfileStore empty = reading("[S]\n");
  readRecord(empty, empty.findSection("S"), d);
  EXPECT_TRUE(sameSettings(d, LogoSettings())) << "nothing in the file: the defaults";

  LogoSettings in;
  in.ColorKey = 4294967295u;
  in.LogoPosX = INT32_MIN;
  in.LogoFileName = "  two blanks, trailing blank ";
  in.FadeMs = 10000;
  ProfileStore writer;
  writer.lineEnd = "\n";
  ASSERT_TRUE(writer.openInMemory(ProfileStore::Mode::Writing));
  writer.writeSection("  S\t");
  writeRecord(writer, in);
  const std::string text = writer.text();
  EXPECT_EQ(text.find("[S]\nLogoFileName=  two blanks, trailing blank \nLogoPosX=-2147483648\n"), 0u)
      << text;
  EXPECT_NE(text.find("\nColorKey=4294967295\n"), std::string::npos);
  EXPECT_NE(text.find("\nFadeMs=10000\n"), std::string::npos);
  EXPECT_EQ(text.find("KeySoftness"), std::string::npos) << "a later key at its default";

  LogoSettings out;
  ProfileStore reader = reading(text);
  readRecord(reader, reader.findSection("S"), out);
  EXPECT_TRUE(sameSettings(out, in));
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
  std::string v;
  EXPECT_FALSE(store.readValue(store.findSection("COMMON"), "x", v));
  EXPECT_TRUE(store.sectionHeaders().empty());
  EXPECT_FALSE(store.open(ProfileStore::Mode::Writing));
}

}  // namespace
}  // namespace om
