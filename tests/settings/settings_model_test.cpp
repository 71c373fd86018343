// Loading and saving the whole file, the position and size clamp, and the
// initial size of a new picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "settings/settings_model.h"

namespace om {
namespace {

// A section as a hand-edited file may hold it, and what saving it must
// write back: every key in table order, its own value or the default, the
// optional keys clamped and only when they differ from their default.
struct ModelSection {
  std::string header;  // as it stands in the file
  std::vector<std::string> lines;
  std::vector<bool> own;  // per line: one of the plug-in's keys
  LogoSettings values;
  bool foreign = false;  // names no channel: saved as it stood
  std::string kept;      // its other lines as the file has them, line ends included

  std::string saved(const std::string& name) const {
    static const LogoSettings defaults;
    std::string out = "[" + name + "]\n";
    for (const SettingRow& row : kSettingRows) {
      const std::string text = settingText(values, row);
      if (row.written == Written::Always || text != settingText(defaults, row))
        out += std::string(row.key) + "=" + text + "\n";
    }
    return out;
  }
};

ModelSection randomSection(std::mt19937& rng, const std::string& name) {
  static const char* const pads[] = {"", "", " ", "\t", "  "};
  ModelSection s;
  s.header = std::string(pads[rng() % 5]) + "[" + pads[rng() % 5] + name + pads[rng() % 5] + "]";
  for (const SettingRow& row : kSettingRows) {
    if (rng() % 3 == 0) continue;
    std::string text;
    if (row.isText) {
      text = rng() % 2 ? " C:\\logo " + std::to_string(rng() % 100) + ".png" : "/l/a.gif";
      row.parse(s.values, text, row);
    } else if (row.written == Written::WhenNotDefault) {
      // Clamped when read; values beyond 32 and 64 bits saturate first.
      static const char* const huge[] = {"4294967296", "-2147483649", "99999999999999999999",
                                         "-99999999999999999999", "18446744073709551617"};
      int64_t v = static_cast<int64_t>(rng() % 700) - 100;
      text = std::to_string(v);
      if (rng() % 6 == 0) {
        text = huge[rng() % 5];
        v = text[0] == '-' ? INT64_MIN : INT64_MAX;
      }
      row.setValue(s.values, std::clamp<int64_t>(v, row.min, row.max));
    } else {
      // Kept as written, negative ones in unsigned keys as their 32 bits.
      const int64_t v = static_cast<int64_t>(rng() % 3000) - 1000;
      text = std::to_string(v);
      row.setValue(s.values, v);
    }
    s.lines.push_back(std::string(row.key) + "=" + text);
    s.own.push_back(true);
  }
  // Lines that are not the plug-in's keys, anywhere among them.
  static const char* const others[] = {"; a comment", "", "# note", "Future=1", " Unknown = x",
                                       "no equals sign", "DlgWndPosX=7"};
  for (int i = static_cast<int>(rng() % 4); i > 0; --i) {
    const char* line = others[rng() % (name == "COMMON" ? 6 : 7)];
    const long at = static_cast<long>(rng() % (s.lines.size() + 1));
    s.lines.insert(s.lines.begin() + at, line);
    s.own.insert(s.own.begin() + at, false);
  }
  return s;
}

std::string loadAndSave(const std::string& text) {
  ProfileStore store;
  store.lineEnd = "\n";
  store.openInMemory(ProfileStore::Mode::Reading, text);
  StoredSettings settings;
  readSettingsFromStore(store, settings);
  store.close();
  store.openInMemory(ProfileStore::Mode::Writing);
  writeSettingsToStore(store, settings, ChannelKnownFn());
  store.close();
  return store.text();
}

// Hand-edited files: DEFAULT anywhere or nowhere, channel sections above
// COMMON or without one, blanks inside the brackets and zeros before the
// number, the same channel twice, optional keys out of their range and
// beyond 64 bits, sections that name no channel ("[1 old backup]"), and
// lines that are not the plug-in's keys: before the first section, and
// among the keys of each section. Saving writes those first lines at the
// top, DEFAULT first when there was one, then COMMON, then every channel
// section in file order; each section's keys are followed by its other lines
// and then by the sections it does not read that followed it in the file
// (those after a DEFAULT that stood after COMMON come after COMMON's), all
// as they stood. Saving that again changes nothing.
TEST(SettingsFile, EverySectionTheUserWroteIsSavedWithItsKeys) {
  const uint32_t seed = std::random_device{}();
  std::printf("seed %u\n", seed);
  std::mt19937 rng(seed);
  for (int round = 0; round < 500; ++round) {
    std::vector<ModelSection> sections;
    std::vector<std::string> channelIds;
    const bool hasCommon = rng() % 4 != 0, hasDefault = rng() % 2 == 0;
    const int channelCount = static_cast<int>(rng() % 6);
    for (int i = 0; i < channelCount; ++i) {
      const int pick = static_cast<int>(rng() % 7);
      std::string id = pick == 0 ? "1" : pick == 1 ? "2" : pick == 2 ? "-" + std::to_string(rng() % 9 + 1)
                       : pick == 3 && !channelIds.empty() ? channelIds[rng() % channelIds.size()]
                       : pick == 4 ? "00" + std::to_string(rng() % 9 + 1)
                                   : std::to_string(rng() % 50 + 3);
      sections.push_back(randomSection(rng, id));
      channelIds.push_back(std::to_string(std::stoll(id)));
    }
    // Where the saved text puts each section: a channel's index, or these.
    enum : int { kCommon = -1, kDefault = -2, kForeign = -3 };
    std::vector<int> slots(sections.size());
    for (size_t i = 0; i < slots.size(); ++i) slots[i] = static_cast<int>(i);
    const auto insertAnywhere = [&](ModelSection section, int slot) {
      const long at = static_cast<long>(rng() % (sections.size() + 1));
      sections.insert(sections.begin() + at, std::move(section));
      slots.insert(slots.begin() + at, slot);
    };
    if (hasCommon) {
      ModelSection common = randomSection(rng, "COMMON");
      common.header = "[COMMON]";
      insertAnywhere(common, kCommon);
    }
    if (hasDefault) {
      ModelSection defaults = randomSection(rng, "DEFAULT");
      defaults.header = "[DEFAULT]";
      insertAnywhere(defaults, kDefault);
    }
    static const char* const foreignNames[] = {"1 old backup", "Channel 5", "5.", "+", "3-4",
                                               "99999999999999999999"};
    for (int i = static_cast<int>(rng() % 3); i > 0; --i) {
      ModelSection f = randomSection(rng, foreignNames[rng() % 6]);
      f.foreign = true;
      insertAnywhere(f, kForeign);
    }

    // The file, and each section's text as the saved file must keep it.
    const std::string leading = rng() % 2 ? "; settings\n\n" : "";
    std::string file = leading;
    std::string top, commonKept, commonAfter, defaultKept, defaultAfter;
    std::vector<std::string> channelKept(channelIds.size()), channelAfter(channelIds.size());
    std::string* after = &top;
    for (size_t i = 0; i < sections.size(); ++i) {
      ModelSection& s = sections[i];
      std::string text = s.header + "\n";
      for (size_t k = 0; k < s.lines.size(); ++k) {
        const std::string line = s.lines[k] + (rng() % 5 ? "\n" : "\r\n");
        text += line;
        if (!s.own[k]) s.kept += line;
      }
      file += text;
      const int slot = slots[i];
      if (slot == kForeign) {
        *after += text;
        continue;
      }
      std::string& kept = slot == kCommon ? commonKept : slot == kDefault ? defaultKept : channelKept[slot];
      kept = s.kept;
      after = slot == kCommon ? &commonAfter : slot == kDefault ? &defaultAfter : &channelAfter[slot];
    }

    std::string expected = leading + top;
    const auto sectionOf = [&](int slot) -> const ModelSection& {
      return sections[static_cast<size_t>(std::find(slots.begin(), slots.end(), slot) - slots.begin())];
    };
    // What followed a DEFAULT that stood after COMMON goes after COMMON's followers.
    const auto at = [&](int slot) { return std::find(slots.begin(), slots.end(), slot) - slots.begin(); };
    const bool defaultFollowsCommon = hasDefault && hasCommon && at(kDefault) > at(kCommon);
    if (hasDefault)
      expected += sectionOf(kDefault).saved("DEFAULT") + defaultKept + (defaultFollowsCommon ? "" : defaultAfter);
    std::string commonText = hasCommon ? sectionOf(kCommon).saved("COMMON") : ModelSection().saved("COMMON");
    commonText.insert(commonText.find('\n') + 1,
                      "DlgWndPosX=-100\nDlgWndPosY=-100\nPrivateSettings=0\n");
    expected += commonText + commonKept + commonAfter + (defaultFollowsCommon ? defaultAfter : "");
    for (size_t i = 0; i < channelIds.size(); ++i)
      expected += sectionOf(static_cast<int>(i)).saved(channelIds[i]) + channelKept[i] + channelAfter[i];
    const std::string saved = loadAndSave(file);
    ASSERT_EQ(saved, expected) << "seed " << seed << " round " << round << "\n" << file;
    ASSERT_EQ(loadAndSave(saved), saved) << "seed " << seed << " round " << round;
  }
}

TEST(ClampPositionAndSize, WorkedExamples) {
  LogoSettings s;
  s.LogoSizeY = 1200;
  s.LogoSizeX = 100;
  clampPositionAndSize(s, 200, 100);
  EXPECT_EQ(s.LogoSizeX, 1000);  // first 1500 from the 2:1 picture, then cut
  EXPECT_EQ(s.LogoSizeY, 667);

  LogoSettings m;
  m.LogoPosX = 900;
  m.LogoSizeX = 300;
  m.LogoPosY = -5;
  m.LogoSizeY = 100;
  clampPositionAndSize(m, 10, 10);
  EXPECT_EQ(m.LogoPosX, 700);
  EXPECT_EQ(m.LogoPosY, 0);

  LogoSettings extreme;  // hand-edited extremes must not overflow
  extreme.LogoPosX = INT32_MAX;
  extreme.LogoSizeX = 1000;
  extreme.LogoPosY = INT32_MAX;
  extreme.LogoSizeY = INT32_MIN;
  clampPositionAndSize(extreme, 10, 10);
  EXPECT_EQ(extreme.LogoPosX, 0);
  EXPECT_EQ(extreme.LogoPosY, INT32_MAX) << "negative sizes are left alone";
}

TEST(ApplyInitialSize, NaturalHeightAndFourThirdsWidth) {
  LogoSettings s;
  s.LogoPosX = 123;
  applyInitialSize(s, 200, 100, 576);
  EXPECT_EQ(s.LogoSizeY, 174);  // 100 * 1000 / 576 = 173.6
  EXPECT_EQ(s.LogoSizeX, 261);  // 174 * 2 = 348, * 3 / 4
  EXPECT_EQ(s.LogoPosX, 123);
  applyInitialSize(s, 200, 100, 0);
  EXPECT_EQ(s.LogoSizeY, -1) << "no format yet: MulDiv's -1";
}

}  // namespace
}  // namespace om
