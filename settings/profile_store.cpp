#include "settings/profile_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace om {

namespace {

constexpr size_t npos = std::string::npos;

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && isBlank(s[i])) ++i;
  return s.substr(i);
}

std::string_view trimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && isBlank(s[n - 1])) --n;
  return s.substr(0, n);
}

std::string_view trim(std::string_view s) { return trimRight(trimLeft(s)); }

// Everything a reader sees of one line: a NUL ends its text (names and
// values go on to C APIs), and CRs before the line end are dropped, so CR LF
// files read exactly like LF files.
std::string_view lineText(std::string_view line) {
  if (const void* nul = std::memchr(line.data(), '\0', line.size()))
    line = line.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - line.data()));
  while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

struct Line {
  std::string_view text;
  size_t next;  // start of the following line, or the buffer's size
};

Line lineAt(const std::string& buffer, size_t start) {
  const size_t lf = buffer.find('\n', start);
  const size_t end = lf == npos ? buffer.size() : lf;
  return {lineText(std::string_view(buffer).substr(start, end - start)),
          lf == npos ? buffer.size() : lf + 1};
}

bool isHeader(std::string_view trimmed) {
  return trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']';
}

}  // namespace

uint64_t parseDecimalWrapping(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  uint64_t value = 0;  // unsigned: wraps modulo 2^64 by definition
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10u + static_cast<uint64_t>(text[i] - '0');
  return negative ? 0u - value : value;
}

void ProfileStore::beginOpen() {
  isOpen_ = false;
  cursor_ = 0;
  lastYielded_ = npos;
  sections_.clear();
  sectionScanned_.clear();
  headersByText_.clear();
  headerStarts_.clear();
  text_.clear();
}

bool ProfileStore::open(Mode mode) {
  beginOpen();
  writing_ = mode == Mode::Writing;
  toFile_ = true;
  if (!writing_) loadIncomplete = false;
  if (path.empty()) return false;

  if (writing_) {
    // A file the user made read-only keeps its contents; a missing one is
    // created when the text is saved at close.
    if (FILE* probe = std::fopen(path.c_str(), "r+b"))
      std::fclose(probe);
    else if (errno != ENOENT)
      return false;
    isOpen_ = true;
    return true;
  }

  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    if (errno != ENOENT) {
      loadIncomplete = true;
      return false;
    }
    // A missing file is created empty.
    FILE* created = std::fopen(path.c_str(), "ab");
    if (!created) return false;
    std::fclose(created);
    isOpen_ = true;
    return true;
  }
  char chunk[16384];
  size_t n;
  bool ok = true;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
    if (text_.size() + n > kMaxFileBytes) {
      ok = false;
      break;
    }
    text_.append(chunk, n);
  }
  if (std::ferror(f)) ok = false;  // a folder, or a read error midway
  std::fclose(f);
  if (!ok) {
    beginOpen();
    loadIncomplete = true;
    return false;
  }
  indexHeaders();
  isOpen_ = true;
  return true;
}

bool ProfileStore::openInMemory(Mode mode, std::string text) {
  beginOpen();
  writing_ = mode == Mode::Writing;
  toFile_ = false;
  if (!writing_) {
    loadIncomplete = false;
    text_ = std::move(text);
    indexHeaders();
  }
  isOpen_ = true;
  return true;
}

bool ProfileStore::close() {
  if (!isOpen_) return false;
  bool ok = true;
  if (writing_ && toFile_) ok = platform::writeFileAtomically(path, text_);
  isOpen_ = false;
  if (!writing_) beginOpen();  // the read buffer and its index are done with
  return ok;
}

void ProfileStore::discard() {
  beginOpen();
  writing_ = false;
}

void ProfileStore::indexHeaders() {
  for (size_t start = 0; start < text_.size();) {
    const Line line = lineAt(text_, start);
    const std::string_view t = trim(line.text);
    if (isHeader(t)) {
      headersByText_.push_back({t, start});
      headerStarts_.push_back(start);
    }
    start = line.next;
  }
  std::sort(headersByText_.begin(), headersByText_.end(),
            [](const HeaderLine& a, const HeaderLine& b) {
              return a.text != b.text ? a.text < b.text : a.start < b.start;
            });
  sections_.resize(headerStarts_.size());
  sectionScanned_.resize(headerStarts_.size());
}

// The first line that trims to "[name]", looking from the cursor's line
// forward and wrapping past the end once. Header offsets are indexed at
// open, so this is a lookup rather than a pass over the file.
bool ProfileStore::findSection(const std::string& name) {
  if (!isOpen_ || writing_ || text_.empty()) return false;
  if (cursor_ == text_.size()) cursor_ = 0;
  std::string target;
  target.reserve(name.size() + 2);
  target += '[';
  target += trim(name);
  target += ']';
  const auto before = [](const HeaderLine& h, const HeaderLine& key) {
    return h.text != key.text ? h.text < key.text : h.start < key.start;
  };
  const auto end = headersByText_.end();
  auto at = std::lower_bound(headersByText_.begin(), end, HeaderLine{target, cursor_}, before);
  if (at == end || at->text != target)
    at = std::lower_bound(headersByText_.begin(), end, HeaderLine{target, 0}, before);
  if (at == end || at->text != target) return false;
  cursor_ = at->start;
  return true;
}

// A section's body runs from the line after its header to the next line that
// starts with "[" (after leading blanks). The first line for a key decides,
// even when its value is empty. Each body is scanned once per open, so a
// file that sends many searches to one long section stays linear.
const ProfileStore::SectionKeys& ProfileStore::sectionKeys(size_t headerStart) {
  const size_t index = static_cast<size_t>(
      std::lower_bound(headerStarts_.begin(), headerStarts_.end(), headerStart) -
      headerStarts_.begin());
  SectionKeys& keys = sections_[index];
  if (sectionScanned_[index]) return keys;
  sectionScanned_[index] = true;
  for (size_t start = lineAt(text_, headerStart).next; start < text_.size();) {
    const Line line = lineAt(text_, start);
    start = line.next;
    const std::string_view t = trimLeft(line.text);
    if (t.empty()) continue;
    if (t.front() == '[') break;
    const size_t eq = t.find('=');
    if (eq == npos) continue;
    keys.push_back({trimRight(t.substr(0, eq)), t.substr(eq + 1)});
  }
  // Stable: among equal keys the earliest line stays first.
  std::stable_sort(keys.begin(), keys.end(),
                   [](const KeyValue& a, const KeyValue& b) { return a.key < b.key; });
  keys.erase(std::unique(keys.begin(), keys.end(),
                         [](const KeyValue& a, const KeyValue& b) { return a.key == b.key; }),
             keys.end());
  return keys;
}

bool ProfileStore::readValue(const std::string& section, const std::string& key,
                             std::string& text) {
  if (!findSection(section)) return false;
  const SectionKeys& keys = sectionKeys(cursor_);
  const std::string_view wanted = trim(key);
  const auto found = std::lower_bound(
      keys.begin(), keys.end(), wanted,
      [](const KeyValue& kv, std::string_view k) { return kv.key < k; });
  // An empty value counts as missing, so the caller's default applies.
  if (found == keys.end() || found->key != wanted || found->value.empty()) return false;
  text.assign(found->value);
  return true;
}

// Resumes after the header at the cursor. Within one enumeration it never
// resumes before the header it yielded last: a search for a name with blanks
// inside its brackets can move the cursor back to an earlier header, and
// resuming there would yield the same headers forever. In a file the plug-in
// wrote, the cursor always sits on that header, so nothing changes there.
bool ProfileStore::nextSection(std::string& name) {
  if (!isOpen_ || writing_ || text_.empty()) return false;
  size_t position = 0;
  if (cursor_ == text_.size()) {
    cursor_ = 0;  // starts over, skipping nothing
  } else {
    size_t resume = cursor_;
    if (lastYielded_ != npos && lastYielded_ > resume) resume = lastYielded_;
    position = lineAt(text_, resume).next;
  }
  cursor_ = position;
  const auto at = std::lower_bound(headerStarts_.begin(), headerStarts_.end(), position);
  if (at == headerStarts_.end()) {
    lastYielded_ = npos;
    return false;
  }
  cursor_ = *at;
  lastYielded_ = *at;
  const std::string_view header = trim(lineAt(text_, *at).text);
  name.assign(header.substr(1, header.size() - 2));
  return true;
}

void ProfileStore::readInt(const std::string& section, const std::string& key, int32_t& target,
                           int32_t def) {
  std::string text;
  target = readValue(section, key, text)
               ? static_cast<int32_t>(static_cast<uint32_t>(parseDecimalWrapping(text)))
               : def;
}

void ProfileStore::readUnsigned(const std::string& section, const std::string& key,
                                uint32_t& target, uint32_t def) {
  std::string text;
  target = readValue(section, key, text) ? static_cast<uint32_t>(parseDecimalWrapping(text)) : def;
}

void ProfileStore::readString(const std::string& section, const std::string& key,
                              std::string& target, const std::string& def) {
  std::string text;
  if (readValue(section, key, text))
    target = std::move(text);
  else
    target = def;
}

void ProfileStore::readKeyTable(const std::string& section, const SettingsKey* rows,
                                size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const SettingsKey& row = rows[i];
    // The default's low bits, as wide as the field.
    const uint32_t def = static_cast<uint32_t>(static_cast<uint64_t>(row.defaultValue));
    switch (row.type) {
      case kValueUInt32:
      case kValueColor:
        readUnsigned(section, row.name, *static_cast<uint32_t*>(row.target), def);
        break;
      case kValueInt32:
        readInt(section, row.name, *static_cast<int32_t*>(row.target), static_cast<int32_t>(def));
        break;
      case kValueString:
        readString(section, row.name, *static_cast<std::string*>(row.target),
                   row.defaultText ? row.defaultText : "");
        break;
      default:
        break;
    }
  }
}

void ProfileStore::appendLine(std::string_view line) {
  if (!isOpen_ || !writing_) return;
  text_.append(line);
  text_.append(lineEnd);
}

void ProfileStore::writeSection(const std::string& name) {
  std::string line = "[";
  line += trim(name);
  line += ']';
  appendLine(line);
}

void ProfileStore::writeSection(int64_t id) { writeSection(std::to_string(id)); }

void ProfileStore::writeValue(const std::string& key, const std::string& text) {
  std::string line(trim(key));
  line += '=';
  // Only what a reader would take back: a line feed inside the value would
  // otherwise start a line of its own (a forged key or header).
  const size_t lf = text.find('\n');
  line += lineText(std::string_view(text).substr(0, lf == npos ? text.size() : lf));
  appendLine(line);
}

void ProfileStore::writeInt(const std::string& key, int32_t value) {
  writeValue(key, std::to_string(value));
}

void ProfileStore::writeUnsigned(const std::string& key, uint32_t value) {
  writeValue(key, std::to_string(value));
}

void ProfileStore::writeKeyTable(const SettingsKey* rows, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const SettingsKey& row = rows[i];
    switch (row.type) {
      case kValueUInt32:
      case kValueColor:
        writeUnsigned(row.name, *static_cast<const uint32_t*>(row.target));
        break;
      case kValueInt32:
        writeInt(row.name, *static_cast<const int32_t*>(row.target));
        break;
      case kValueString:
        writeValue(row.name, *static_cast<const std::string*>(row.target));
        break;
      default:
        break;
    }
  }
}

}  // namespace om
