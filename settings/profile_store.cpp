#include "settings/profile_store.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/files.h"

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

std::string_view trimBlanks(std::string_view text) { return trim(text); }

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

int64_t parseDecimalSaturating(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  // Magnitudes up to 2^63 are exact; beyond it the value sticks there.
  constexpr uint64_t kLimit = uint64_t{1} << 63;
  uint64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    magnitude = magnitude > (kLimit - digit) / 10 ? kLimit : magnitude * 10 + digit;
  }
  if (negative) return magnitude == kLimit ? INT64_MIN : -static_cast<int64_t>(magnitude);
  return magnitude >= kLimit ? INT64_MAX : static_cast<int64_t>(magnitude);
}

bool parseWholeDecimal(std::string_view text, int64_t& value) {
  const std::string_view t = trim(text);
  size_t i = t.size() > 0 && (t[0] == '-' || t[0] == '+') ? 1 : 0;
  if (i == t.size()) return false;
  for (size_t k = i; k < t.size(); ++k)
    if (t[k] < '0' || t[k] > '9') return false;
  // Leading zeros aside, more than 19 digits cannot fit; 19 may not.
  while (i + 1 < t.size() && t[i] == '0') ++i;
  if (t.size() - i > 19) return false;
  const int64_t parsed = parseDecimalSaturating(t);
  if ((parsed == INT64_MAX || parsed == INT64_MIN) &&
      static_cast<int64_t>(parseDecimalWrapping(t)) != parsed)
    return false;
  value = parsed;
  return true;
}

void ProfileStore::beginOpen() {
  isOpen_ = false;
  sections_.clear();
  sectionScanned_.clear();
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
    if (platform::saveTargetOf(path) == platform::SaveTarget::kRefused) return false;
    isOpen_ = true;
    return true;
  }

  platform::RegularFile file;
  if (!file.open(path)) {
    if (!file.missing()) {
      loadIncomplete = true;  // a FIFO, a device, a folder, or locked
      return false;
    }
    // A missing file is created empty.
    if (!platform::createEmptyFile(path)) return false;
    isOpen_ = true;
    return true;
  }
  bool ok = file.size() <= kMaxFileBytes;
  if (ok) {
    text_.resize(static_cast<size_t>(file.size()));
    text_.resize(file.read(&text_[0], text_.size()));  // it may have shrunk meanwhile
    ok = !file.failed();
  }
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
    if (isHeader(trim(line.text))) headerStarts_.push_back(start);
    start = line.next;
  }
  sections_.resize(headerStarts_.size());
  sectionScanned_.resize(headerStarts_.size());
}

// The text between the brackets of the header line at `start`, as it stands.
std::string_view ProfileStore::headerName(size_t start) const {
  const std::string_view header = trim(lineAt(text_, start).text);
  return header.substr(1, header.size() - 2);
}

std::vector<ProfileStore::SectionHeader> ProfileStore::sectionHeaders() const {
  std::vector<SectionHeader> out;
  if (!isOpen_ || writing_) return out;
  out.reserve(headerStarts_.size());
  for (const size_t start : headerStarts_) out.push_back({std::string(headerName(start)), start});
  return out;
}

size_t ProfileStore::findSection(std::string_view name) const {
  if (!isOpen_ || writing_) return kNoSection;
  const std::string_view wanted = trim(name);
  for (const size_t start : headerStarts_)
    if (trim(headerName(start)) == wanted) return start;
  return kNoSection;
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

bool ProfileStore::readValue(size_t section, std::string_view key, std::string& text) {
  if (!isOpen_ || writing_ ||
      !std::binary_search(headerStarts_.begin(), headerStarts_.end(), section))
    return false;
  const SectionKeys& keys = sectionKeys(section);
  const std::string_view wanted = trim(key);
  const auto found = std::lower_bound(
      keys.begin(), keys.end(), wanted,
      [](const KeyValue& kv, std::string_view k) { return kv.key < k; });
  // An empty value counts as missing, so the caller's default applies.
  if (found == keys.end() || found->key != wanted || found->value.empty()) return false;
  text.assign(found->value);
  return true;
}

std::string_view ProfileStore::sectionText(size_t section) const {
  const auto at = std::lower_bound(headerStarts_.begin(), headerStarts_.end(), section);
  if (!isOpen_ || writing_ || at == headerStarts_.end() || *at != section) return {};
  const size_t end = at + 1 == headerStarts_.end() ? text_.size() : *(at + 1);
  return std::string_view(text_).substr(section, end - section);
}

std::string_view ProfileStore::leadingText() const {
  if (!isOpen_ || writing_) return {};
  return std::string_view(text_).substr(0, headerStarts_.empty() ? text_.size() : headerStarts_.front());
}

// The same reading of a line as sectionKeys: a key line is "key=value"
// before the first line that starts with "[".
void ProfileStore::forEachLine(
    size_t section, const std::function<void(std::string_view, std::string_view)>& visit) const {
  const std::string_view body = sectionText(section);
  if (body.empty()) return;
  const size_t end = section + body.size();
  bool keysEnded = false;
  for (size_t start = lineAt(text_, section).next; start < end;) {
    const Line line = lineAt(text_, start);
    const std::string_view raw = std::string_view(text_).substr(start, line.next - start);
    start = line.next;
    const std::string_view t = trimLeft(line.text);
    if (!t.empty() && t.front() == '[') keysEnded = true;
    const size_t eq = keysEnded ? npos : t.find('=');
    visit(raw, eq == npos ? std::string_view() : trimRight(t.substr(0, eq)));
  }
}

void ProfileStore::writeVerbatim(std::string_view lines) {
  if (!isOpen_ || !writing_ || lines.empty()) return;
  text_.append(lines);
  if (lines.back() != '\n') text_.append(lineEnd);
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

}  // namespace om
