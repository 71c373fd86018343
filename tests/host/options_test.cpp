#include "tools/host/options.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

using namespace omhost;

bool parse(std::vector<const char*> args, HostOptions& o, std::string& error) {
  args.insert(args.begin(), "om_host");
  return parseOptions(static_cast<int>(args.size()), args.data(), o, error);
}

TEST(ChannelSchedule, ParsesIdsNamesAndStartFrames) {
  std::vector<ChannelSlot> slots;
  std::string error;
  ASSERT_TRUE(parseChannelSchedule("1:Первый@0,-5:Name:with:colons@75,2@80", slots, error))
      << error;
  ASSERT_EQ(slots.size(), 3u);
  EXPECT_EQ(slots[0].id, 1);
  EXPECT_EQ(slots[0].name1251, "\xCF\xE5\xF0\xE2\xFB\xE9");  // handed over as Windows-1251
  EXPECT_EQ(slots[1].id, -5);
  EXPECT_EQ(slots[1].name1251, "Name:with:colons");
  EXPECT_EQ(slots[1].startFrame, 75);
  EXPECT_EQ(slots[2].name1251, "");
  EXPECT_EQ(slots[2].startFrame, 80);

  ASSERT_TRUE(parseChannelSchedule("4294967297:Upper", slots, error));  // ids are 64-bit
  EXPECT_EQ(slots[0].id, 4294967297LL);

  ASSERT_TRUE(parseChannelSchedule("3:" + std::string(400, 'x'), slots, error));
  EXPECT_EQ(slots[0].name1251.size(), 255u);  // the record's inline name keeps its NUL
}

TEST(ChannelSchedule, RefusesAmbiguousSchedules) {
  std::vector<ChannelSlot> slots;
  std::string error;
  for (const char* bad : {"", "x:Name@0", "1:A@5", "1:A@0,2:B", "1:A@0,2:B@0", "1:A@0,2:B@-3",
                          "1:A@0,,2:B@4", "1:A@zero"}) {
    error.clear();
    EXPECT_FALSE(parseChannelSchedule(bad, slots, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(CommandLine, ReadsOptionsAndRejectsBadValues) {
  HostOptions o;
  std::string error;
  ASSERT_TRUE(parse({"--input", "-", "--size", "1280x720", "--layout", "rgb24", "--fps",
                     "30000/1001", "--frames", "10", "--snapshot", "9,3,3", "--simd", "sse2",
                     "--cpu-class", "1", "--existing-channels", "none", "--checksum", "--tv-range"},
                    o, error))
      << error;
  EXPECT_EQ(o.input.width, 1280);
  EXPECT_EQ(o.input.layout, RawLayout::Rgb24);
  EXPECT_EQ(o.input.fpsNum, 30000);
  EXPECT_EQ(o.input.fpsDen, 1001);
  EXPECT_EQ(o.snapshots, (std::vector<int64_t>{3, 9}));
  EXPECT_EQ(o.input.range, ColorRange::Tv);
  EXPECT_FALSE(o.everyChannelExists);
  EXPECT_TRUE(o.existingChannels.empty());

  HostOptions decimal;
  ASSERT_TRUE(parse({"--fps", "29.97"}, decimal, error));
  EXPECT_EQ(decimal.input.range, ColorRange::Full);
  EXPECT_EQ(decimal.input.fpsNum, 29970);
  EXPECT_EQ(decimal.input.fpsDen, 1000);

  HostOptions shortNames;
  ASSERT_TRUE(parse({"-i", "in.y4m", "-n", "7", "-o", "-", "--rewrite", "logo.png@5,0.5"},
                    shortNames, error))
      << error;
  EXPECT_EQ(shortNames.input.path, "in.y4m");
  EXPECT_EQ(shortNames.frames, 7);
  EXPECT_EQ(shortNames.rawOutput, "-");
  EXPECT_EQ(shortNames.rewriteFile, "logo.png");
  EXPECT_EQ(shortNames.rewriteAt, (std::vector<double>{0.5, 5}));

  const std::vector<std::vector<const char*>> bad = {
      {"--bogus"},          {"--size"},           {"--size", "0x10"},  {"--size", "12"},
      {"--layout", "nv12"}, {"--fps", "0"},       {"--fps", "1/0"},    {"--frames", "-1"},
      {"--simd", "neon"},   {"--snapshot", "a"},  {"--cpu-class", "9999999999"},
      {"--channels", "1:A@5"}, {"--rewrite", "logo.png"}, {"--existing-channels", "1,x"}};
  for (const auto& args : bad) {
    HostOptions x;
    error.clear();
    EXPECT_FALSE(parse(args, x, error)) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
}

// The table is the only description: every option in it parses, and --help
// gives each one line of its own.
TEST(CommandLine, EveryOptionOfTheTableParsesAndHelpListsItOnce) {
  const std::string usage = "\n" + usageText();
  std::set<std::string> names;
  size_t options = 0;
  for (const OptionRow& row : optionRows()) {
    if (row.kind != OptionRowKind::Option) continue;
    ++options;
    std::string line = std::string("\n  ") + row.name;
    if (row.shortName) line = line + ", " + row.shortName;
    if (row.argument) line = line + " " + row.argument;
    size_t count = 0;
    for (size_t at = usage.find(line + " "); at != std::string::npos;
         at = usage.find(line + " ", at + 1))
      ++count;
    EXPECT_EQ(count, 1u) << row.name;
    for (const char* name : {row.name, row.shortName}) {
      if (!name) continue;
      EXPECT_TRUE(names.insert(name).second) << name << " is in the table twice";
      HostOptions o;
      std::string error;
      std::vector<const char*> args = {name};
      if (row.argument) args.push_back("1");
      parse(args, o, error);
      EXPECT_EQ(error.find("unknown option"), std::string::npos) << name;
      EXPECT_EQ(error.find("needs a value"), std::string::npos) << name;
    }
  }
  EXPECT_GE(options, 26u);
  HostOptions help;
  std::string error;
  ASSERT_TRUE(parse({"-h"}, help, error));
  EXPECT_TRUE(help.help);
}

}  // namespace
