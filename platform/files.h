// Files as the plug-in reads, creates and replaces them, on one path per
// platform (wide-character names on Windows). Regular files only: a FIFO, a
// device or a folder named as a picture or as the settings file would
// otherwise block the thread that opens it (the video thread, holding the
// plug-in's lock) or feed it endless bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace om {
namespace platform {

// What a file is now: its length, its last write and its identity (the
// inode, or the volume and file index), so a rewrite of the same length and
// a delete-and-replace both show as a change; and its last change of any
// kind (POSIX: the status change time; Windows: the attributes), so a file
// made readable again after a failed read is read again.
struct FileStamp {
  uint64_t size = 0;
  uint64_t modified = 0;
  uint64_t volume = 0;
  uint64_t index = 0;
  uint64_t changed = 0;
  bool operator==(const FileStamp& o) const {
    return size == o.size && modified == o.modified && volume == o.volume && index == o.index &&
           changed == o.changed;
  }
  bool operator!=(const FileStamp& o) const { return !(*this == o); }
};

// The stamp of the regular file at `path`; false when there is none (missing,
// unreachable, or no regular file). Opens nothing for reading, so the
// program writing the file is never in its way.
bool fileStampOf(const std::string& path, FileStamp& stamp) noexcept;

class RegularFile {
 public:
  RegularFile() noexcept = default;
  ~RegularFile() { close(); }
  RegularFile(const RegularFile&) = delete;
  RegularFile& operator=(const RegularFile&) = delete;

  // Opens `path` for reading, without ever waiting on another program.
  // False when it is missing (missing() then says so), when it is not a
  // regular file (a FIFO, a device name, a folder) or cannot be opened. On
  // Windows the file stays shared for reading, writing and deleting, so the
  // program that writes it is never blocked by us.
  bool open(const std::string& path) noexcept;
  void close() noexcept;
  bool missing() const noexcept { return missing_; }
  // The length when opened, and the whole stamp then.
  uint64_t size() const noexcept { return stamp_.size; }
  const FileStamp& stamp() const noexcept { return stamp_; }
  // Up to `bytes` from the current position; fewer only at the end of the
  // file or on a read error (failed() then says so).
  size_t read(void* buffer, size_t bytes) noexcept;
  bool failed() const noexcept { return failed_; }

 private:
  intptr_t handle_ = -1;
  FileStamp stamp_;
  bool missing_ = false;
  bool failed_ = false;
};

// Whether the folder that holds `path` can be reached now. False when it
// does not exist or its drive or share is not ready: a picture there may
// come back, unlike one missing from a folder that is there.
bool folderOfFileReachable(const std::string& path) noexcept;

// What a save would meet at `path`: no file yet (the save creates it), a
// regular file it may replace, or something it must leave alone (a folder,
// a device, a file it may not open for writing).
enum class SaveTarget { kMissing, kReplaceable, kRefused };
SaveTarget saveTargetOf(const std::string& path) noexcept;

// Creates an empty file at `path` when nothing is there; true when a
// regular file is there afterwards.
bool createEmptyFile(const std::string& path) noexcept;

// Whole-file save that never leaves a half-written file: writes a temporary
// file beside the target (its name, the process id and ".tmp"), flushes,
// then replaces the target in one step. A
// symbolic link is followed and its target replaced; the target keeps its
// permissions. A file without any write permission is never replaced, even
// by an account that could. Returns false and leaves the target untouched
// on any failure.
bool writeFileAtomically(const std::string& path, const std::string& contents) noexcept;

}  // namespace platform
}  // namespace om
