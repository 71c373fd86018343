// The plug-in's own INI reader and writer. It deals in text only: what a
// value means is the settings model's business.
//
// Reading loads the whole file once at open and works on that buffer with
// byte offsets, so every platform parses identically and a malformed file can
// never make a read run past its end. Writing collects the whole text and
// replaces the file in one step at close, so a failed save leaves the old file
// as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace om {

// Leading white space, one sign, digits up to the first other character;
// wraps modulo 2^64 instead of failing, so unsigned text reads back to the
// same bits once truncated to the field. No digits: 0.
uint64_t parseDecimalWrapping(std::string_view text);
// The same reading, but a value beyond 64 signed bits stays at the nearest
// end, so a clamped key never sees a huge number wrap into its range.
int64_t parseDecimalSaturating(std::string_view text);
// A whole signed decimal that fits 64 bits, blanks around it allowed and
// nothing else: what names a channel's section.
bool parseWholeDecimal(std::string_view text, int64_t& value);

// Without the blanks, tabs, CRs, LFs, vertical tabs and form feeds at either end.
std::string_view trimBlanks(std::string_view text);

class ProfileStore {
 public:
  enum class Mode { Reading, Writing };

  ProfileStore() = default;

  // Opens `path`. Reading: a missing file is created empty; an existing file
  // that cannot be read leaves the store closed and sets loadIncomplete.
  // Writing: starts an empty text; fails on an empty path or on an existing
  // file that may not be written.
  bool open(Mode mode);
  // Same, without a file: reading parses `text`, writing collects into text().
  bool openInMemory(Mode mode, std::string text = std::string());
  // Ends the open. After writing to a file, replaces it atomically; false
  // when that failed (the old file is then untouched) or nothing was open.
  bool close();
  // Ends the open without saving anything.
  void discard();

  bool isOpen() const { return isOpen_; }
  // The bytes read at open, or the text written so far.
  const std::string& text() const { return text_; }

  // Every section header in file order: the text between its brackets as it
  // stands (blanks kept) and where its line starts.
  struct SectionHeader {
    std::string name;
    size_t start;
  };
  std::vector<SectionHeader> sectionHeaders() const;
  static constexpr size_t kNoSection = std::string::npos;
  // The first section whose name, blanks around it ignored, is `name`
  // (compared with its case); kNoSection when there is none.
  size_t findSection(std::string_view name) const;
  // The first line of `key` in the section starting at `section`. An empty
  // value counts as missing.
  bool readValue(size_t section, std::string_view key, std::string& text);
  // The section starting at `section` as it stands in the file: its header
  // line through the line before the next header.
  std::string_view sectionText(size_t section) const;
  // The lines before the first header, as they stand.
  std::string_view leadingText() const;
  // The lines of the section at `section`, its header left out, that are not
  // the reader's: every line but those for a key `ownKey` accepts among the
  // keys the section is read for (comments, blank lines, unknown keys, and
  // all after a line that starts with "[" and ends its keys), as they stand.
  template <typename OwnKey>
  std::string keptLines(size_t section, const OwnKey& ownKey) const {
    std::string kept;
    forEachLine(section, [&](std::string_view line, std::string_view key) {
      if (key.empty() || !ownKey(key)) kept.append(line);
    });
    return kept;
  }

  void writeSection(const std::string& name);
  void writeSection(int64_t id);
  void writeValue(const std::string& key, const std::string& text);
  void writeInt(const std::string& key, int32_t value);
  // Lines kept as they were read; a last line without its end gets one.
  void writeVerbatim(std::string_view lines);

  // Set once by the file location.
  std::string instanceSuffix;
  std::string folder;
  std::string baseName;
  std::string fileName;
  std::string path;

  // The last load could not read an existing file in full (locked, too
  // large, a folder, out of memory): saving over it would throw away
  // settings that were never loaded.
  bool loadIncomplete = false;

  // Written after every line; reading accepts LF and CR LF alike.
#ifdef _WIN32
  std::string lineEnd = "\r\n";
#else
  std::string lineEnd = "\n";
#endif

  // Larger files are treated as unreadable: a settings file is a few
  // kilobytes, and the whole file is held in memory.
  static constexpr size_t kMaxFileBytes = size_t{32} << 20;

 private:
  struct KeyValue {
    std::string_view key, value;
  };
  // First occurrence of each key in one section, sorted by key.
  using SectionKeys = std::vector<KeyValue>;
  void beginOpen();
  void indexHeaders();
  const SectionKeys& sectionKeys(size_t headerStart);
  std::string_view headerName(size_t start) const;
  void appendLine(std::string_view line);
  // Calls visit(line with its end, key) for each line of a section's body;
  // key is empty where the line is no key the section is read for.
  void forEachLine(size_t section,
                   const std::function<void(std::string_view, std::string_view)>& visit) const;

  bool isOpen_ = false;
  bool writing_ = false;
  bool toFile_ = false;
  std::string text_;

  // Built once per read-open; the views point into text_.
  std::vector<size_t> headerStarts_;       // every header line, ascending
  std::vector<SectionKeys> sections_;      // per entry of headerStarts_, on first use
  std::vector<bool> sectionScanned_;
};

}  // namespace om
