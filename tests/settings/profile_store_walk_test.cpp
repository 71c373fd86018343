// The store answers searches from indexes built at open. This checks it
// against a literal line-by-line walk of the same rules (a stream position,
// a cursor, a search that wraps once) on random files, call by call.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "settings/profile_store.h"

namespace om {
namespace {

using namespace std::string_literals;
constexpr size_t npos = std::string::npos;

bool blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
std::string trimL(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && blank(s[i])) ++i;
  return s.substr(i);
}
std::string trimR(const std::string& s) {
  size_t n = s.size();
  while (n > 0 && blank(s[n - 1])) --n;
  return s.substr(0, n);
}
std::string trimLR(const std::string& s) { return trimR(trimL(s)); }

struct LineWalk {
  std::string file;
  bool neverResumeBeforeLastYield = true;
  size_t cursor = 0, pos = 0, lastYielded = npos;

  bool readLine(std::string& out) {
    out.clear();
    if (pos >= file.size()) return false;
    const size_t lf = file.find('\n', pos);
    const size_t end = lf == npos ? file.size() : lf;
    out = file.substr(pos, end - pos);
    out = out.substr(0, out.find('\0'));
    while (!out.empty() && out.back() == '\r') out.pop_back();
    pos = lf == npos ? file.size() : lf + 1;
    return true;
  }

  bool findSection(const std::string& name) {
    if (file.empty()) return false;
    const std::string target = "[" + trimLR(name) + "]";
    if (cursor == file.size()) cursor = 0;
    pos = cursor;
    const size_t start = cursor;
    size_t here = cursor;
    std::string line;
    for (;;) {
      readLine(line);
      if (trimLR(line) == target) {
        cursor = here;
        return true;
      }
      here = pos;
      if (here == file.size()) pos = here = 0;
      if (here == start) return false;
    }
  }

  bool readValue(const std::string& section, const std::string& key, std::string& text) {
    const std::string k = trimLR(key);
    if (!findSection(section)) return false;  // leaves pos after the header
    std::string line;
    while (readLine(line)) {
      line = trimL(line);
      if (line.empty()) continue;
      if (line[0] == '[') return false;
      const size_t eq = line.find('=');
      if (eq == npos || trimR(line.substr(0, eq)) != k) continue;
      text = line.substr(eq + 1);
      return !text.empty();
    }
    return false;
  }

  bool nextSection(std::string& name) {
    if (file.empty()) return false;
    std::string line;
    if (cursor == file.size()) {
      pos = cursor = 0;
    } else {
      pos = cursor;
      if (neverResumeBeforeLastYield && lastYielded != npos && lastYielded > pos) pos = lastYielded;
      readLine(line);
    }
    cursor = pos;
    for (;;) {
      const size_t here = pos;
      if (!readLine(line)) {
        lastYielded = npos;
        return false;
      }
      line = trimLR(line);
      if (line.empty()) continue;
      if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
        cursor = lastYielded = here;
        name = line.substr(1, line.size() - 2);
        return true;
      }
    }
  }
};

const char* const kSectionNames[] = {"COMMON", "DEFAULT", "7", " 7", "7 ", "-3", "x"};
const char* const kKeys[] = {"k", "K", " k", "ShowLogo", "=", ""};
const std::string kLines[] = {
    "[COMMON]", "[DEFAULT]", "[7]", "[ 7]",  "[7 ]",         "\t[7]  ", "[-3]",       "[x]",
    "[]",       "[",         "[x",  "",      "   ",          "k=1",     "k=",         " k = v ",
    "K=2",      "k",         "=bare", "ShowLogo=abc", "junk", "\r",    "k=\r\r",    "k=a\0b"s,
};

std::string randomFile(std::mt19937& rng) {
  std::string file;
  const int lines = static_cast<int>(rng() % 24);
  for (int i = 0; i < lines; ++i) {
    file += kLines[rng() % (sizeof kLines / sizeof kLines[0])];
    file += (rng() % 4 == 0) ? "\r\n" : "\n";
  }
  if (!file.empty() && rng() % 3 == 0) file.pop_back();  // no final line end
  return file;
}

TEST(ProfileStoreWalk, IndexedStoreMatchesLineWalkOnRandomFiles) {
  const uint32_t seed = std::random_device{}();
  std::printf("seed %u\n", seed);
  std::mt19937 rng(seed);
  for (int round = 0; round < 3000; ++round) {
    LineWalk walk;
    walk.file = randomFile(rng);
    ProfileStore store;
    store.openInMemory(ProfileStore::Mode::Reading, walk.file);
    for (int op = 0; op < 40; ++op) {
      const std::string section = kSectionNames[rng() % 7];
      const std::string key = kKeys[rng() % 6];
      bool a = false, b = false;
      std::string ta, tb;
      switch (rng() % 3) {
        case 0:
          a = store.findSection(section);
          b = walk.findSection(section);
          break;
        case 1:
          a = store.readValue(section, key, ta);
          b = walk.readValue(section, key, tb);
          break;
        default:
          a = store.nextSection(ta);
          b = walk.nextSection(tb);
          break;
      }
      ASSERT_EQ(a, b) << "seed " << seed << " round " << round << " op " << op;
      if (a) {
        ASSERT_EQ(ta, tb) << "seed " << seed << " round " << round;
      }
      ASSERT_EQ(store.cursor(), walk.cursor) << "seed " << seed << " round " << round;
    }
  }
}

// Clean headers (the only kind the plug-in writes), duplicates allowed: the
// load pattern enumerates exactly as the unguarded walk does.
TEST(ProfileStoreWalk, LoadPatternOnCleanFilesEqualsUnguardedWalk) {
  const uint32_t seed = std::random_device{}();
  std::printf("seed %u\n", seed);
  std::mt19937 rng(seed);
  const char* const keys[] = {"a", "b"};
  for (int round = 0; round < 2000; ++round) {
    std::string file;
    const int sections = static_cast<int>(rng() % 8);
    for (int s = 0; s < sections; ++s) {
      const int pick = static_cast<int>(rng() % 5);
      file += pick == 0 ? "[COMMON]\n" : pick == 1 ? "[DEFAULT]\n" : "[" + std::to_string(pick) + "]\n";
      for (int k = static_cast<int>(rng() % 3); k > 0; --k)
        file += std::string(keys[rng() % 2]) + "=" + std::to_string(rng() % 3) + "\n";
    }
    LineWalk walk;
    walk.file = file;
    walk.neverResumeBeforeLastYield = false;
    ProfileStore store;
    store.openInMemory(ProfileStore::Mode::Reading, file);
    std::vector<std::string> fromStore, fromWalk;
    std::string t;
    for (const char* section : {"DEFAULT", "COMMON"})
      for (const char* key : keys) {
        fromStore.push_back(store.readValue(section, key, t) ? t : "-");
        fromWalk.push_back(walk.readValue(section, key, t) ? t : "-");
      }
    std::string name;
    for (int guard = 0; guard < 20 && store.nextSection(name); ++guard) {
      fromStore.push_back("[" + name + "]");
      for (const char* key : keys) fromStore.push_back(store.readValue(name, key, t) ? t : "-");
    }
    for (int guard = 0; guard < 20 && walk.nextSection(name); ++guard) {
      fromWalk.push_back("[" + name + "]");
      for (const char* key : keys) fromWalk.push_back(walk.readValue(name, key, t) ? t : "-");
    }
    ASSERT_EQ(fromStore, fromWalk) << "seed " << seed << "\n" << file;
  }
}

}  // namespace
}  // namespace om
