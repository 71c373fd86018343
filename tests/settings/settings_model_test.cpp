// Loading and saving the whole file, the position and size clamp, and the
// initial size of a new picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
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
// among the keys of each section; layers of COMMON, DEFAULT and channels
// anywhere, and names that are no layer ("[5.9]", "[77.2]" of no channel). Saving writes those first lines at the
// top, DEFAULT first when there was one, then COMMON, then every channel
// section in file order, each record's layers after it in number order;
// each section's keys are followed by its other lines
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
    // Where the saved text puts each section: a record (a channel's index,
    // or these) and its layer.
    enum : int { kCommon = -1, kDefault = -2, kForeign = -3 };
    struct Slot {
      int record;
      int layer;
      bool operator==(const Slot& o) const { return record == o.record && layer == o.layer; }
    };
    std::vector<Slot> slots(sections.size());
    for (size_t i = 0; i < slots.size(); ++i) slots[i] = {static_cast<int>(i), 1};
    const auto insertAnywhere = [&](ModelSection section, Slot slot) {
      const long at = static_cast<long>(rng() % (sections.size() + 1));
      sections.insert(sections.begin() + at, std::move(section));
      slots.insert(slots.begin() + at, slot);
    };
    if (hasCommon) {
      ModelSection common = randomSection(rng, "COMMON");
      common.header = "[COMMON]";
      insertAnywhere(common, {kCommon, 1});
    }
    if (hasDefault) {
      ModelSection defaults = randomSection(rng, "DEFAULT");
      defaults.header = "[DEFAULT]";
      insertAnywhere(defaults, {kDefault, 1});
    }
    static const char* const foreignNames[] = {"1 old backup", "Channel 5", "5.", "+", "3-4",
                                               "99999999999999999999", "5.9", "COMMON.1", "77.2", ".2"};
    for (int i = static_cast<int>(rng() % 3); i > 0; --i) {
      ModelSection f = randomSection(rng, foreignNames[rng() % 10]);
      f.foreign = true;
      insertAnywhere(f, {kForeign, 0});
    }
    // Layers anywhere, before or after their record; a layer a record already
    // has, or of DEFAULT without one, is foreign.
    const auto layerName = [&](int record) {
      return record == kCommon ? std::string("COMMON") : record == kDefault ? std::string("DEFAULT")
                                                                            : channelIds[static_cast<size_t>(record)];
    };
    for (int i = static_cast<int>(rng() % 5); i > 0; --i) {
      const int pick = static_cast<int>(rng() % (channelIds.size() + 2));
      int record = pick == 0 ? kCommon : pick == 1 ? kDefault : pick - 2;
      const int layer = static_cast<int>(rng() % (kMaxLayers - 1)) + 2;
      ModelSection l = randomSection(rng, layerName(record) + "." + std::to_string(layer));
      // A layer joins the first record of its channel.
      if (record >= 0) record = static_cast<int>(std::find(channelIds.begin(), channelIds.end(),
                                                           channelIds[static_cast<size_t>(record)]) -
                                                 channelIds.begin());
      l.foreign = record == kDefault && !hasDefault;
      insertAnywhere(l, l.foreign ? Slot{kForeign, 0} : Slot{record, layer});
    }
    for (size_t i = 0; i < slots.size(); ++i)
      if (slots[i].layer > 1 && std::find(slots.begin(), slots.begin() + static_cast<long>(i), slots[i]) !=
                                    slots.begin() + static_cast<long>(i))
        slots[i].layer = -slots[i].layer;  // the first in the file is the layer

    // The file, and each section's text as the saved file must keep it.
    const std::string leading = rng() % 2 ? "; settings\n\n" : "";
    std::string file = leading;
    struct Kept {
      std::string lines, after;
    };
    std::string top, defaultsAfterCommon;
    std::map<std::pair<int, int>, Kept> kept;
    std::string* after = &top;
    bool commonSeen = false;
    for (size_t i = 0; i < sections.size(); ++i) {
      ModelSection& s = sections[i];
      std::string text = s.header + "\n";
      for (size_t k = 0; k < s.lines.size(); ++k) {
        const std::string line = s.lines[k] + (rng() % 5 ? "\n" : "\r\n");
        text += line;
        if (!s.own[k]) s.kept += line;
      }
      file += text;
      const Slot slot = slots[i];
      // A layer repeated goes, as it stands, right after the kept lines of
      // the one read.
      if (slot.layer < 0) {
        kept[{slot.record, -slot.layer}].lines += text;
        continue;
      }
      if (slot.record == kForeign) {
        *after += text;
        continue;
      }
      Kept& k = kept[{slot.record, slot.layer}];
      k.lines = s.kept;
      // What followed DEFAULT's sections that stood after COMMON goes after COMMON's.
      after = slot.record == kDefault && commonSeen ? &defaultsAfterCommon : &k.after;
      commonSeen = commonSeen || slot == Slot{kCommon, 1};
    }

    std::string expected = leading + top;
    const auto sectionOf = [&](Slot slot) -> const ModelSection* {
      const auto at = std::find(slots.begin(), slots.end(), slot);
      return at == slots.end() ? nullptr : &sections[static_cast<size_t>(at - slots.begin())];
    };
    // A record's section (written by `first` when the file lacks it), then
    // its layers, each with its kept lines and followers.
    const auto recordText = [&](int record, const std::string& first) {
      std::string text = first + kept[{record, 1}].lines + kept[{record, 1}].after;
      for (int layer = 2; layer <= kMaxLayers; ++layer)
        if (const ModelSection* l = sectionOf({record, layer}))
          text += l->saved(layerName(record) + "." + std::to_string(layer)) + kept[{record, layer}].lines +
                  kept[{record, layer}].after;
      return text;
    };
    if (hasDefault) expected += recordText(kDefault, sectionOf({kDefault, 1})->saved("DEFAULT"));
    std::string commonText = hasCommon ? sectionOf({kCommon, 1})->saved("COMMON") : ModelSection().saved("COMMON");
    commonText.insert(commonText.find('\n') + 1,
                      "DlgWndPosX=-100\nDlgWndPosY=-100\nPrivateSettings=0\n");
    expected += recordText(kCommon, commonText) + defaultsAfterCommon;
    for (size_t i = 0; i < channelIds.size(); ++i) {
      const int record = static_cast<int>(i);
      expected += recordText(record, sectionOf({record, 1})->saved(channelIds[i]));
    }
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
