// The store answers from indexes built at open. This checks it against a
// literal line-by-line walk of the same rules on random files, call by call.
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
  size_t pos = 0;

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

  // The first header line whose name, trimmed, is the trimmed `name`;
  // leaves pos after it.
  bool findSection(const std::string& name) {
    pos = 0;
    std::string line;
    while (readLine(line)) {
      line = trimLR(line);
      if (line.size() >= 2 && line.front() == '[' && line.back() == ']' &&
          trimLR(line.substr(1, line.size() - 2)) == trimLR(name))
        return true;
    }
    return false;
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
      std::string ta, tb;
      const bool a = store.readValue(store.findSection(section), key, ta);
      const bool b = walk.readValue(section, key, tb);
      ASSERT_EQ(a, b) << "seed " << seed << " round " << round << " op " << op;
      if (a) {
        ASSERT_EQ(ta, tb) << "seed " << seed << " round " << round;
      }
    }
  }
}

}  // namespace
}  // namespace om
