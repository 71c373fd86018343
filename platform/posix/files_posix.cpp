#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/files.h"

namespace om {
namespace platform {

namespace {

FileStamp stampOf(const struct stat& st) {
  FileStamp stamp;
  stamp.size = static_cast<uint64_t>(st.st_size);
  stamp.modified = static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
                   static_cast<uint64_t>(st.st_mtim.tv_nsec);
  stamp.volume = static_cast<uint64_t>(st.st_dev);
  stamp.index = static_cast<uint64_t>(st.st_ino);
  stamp.changed = static_cast<uint64_t>(st.st_ctim.tv_sec) * 1000000000u +
                  static_cast<uint64_t>(st.st_ctim.tv_nsec);
  return stamp;
}

}  // namespace

bool fileStampOf(const std::string& path, FileStamp& stamp) noexcept {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0)
    return false;
  stamp = stampOf(st);
  return true;
}

bool RegularFile::open(const std::string& path) noexcept {
  close();
  missing_ = failed_ = false;
  if (path.empty()) {
    missing_ = true;
    return false;
  }
  // Non-blocking, so a FIFO without a writer does not hold us in open();
  // it is refused by the type check right after.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    missing_ = errno == ENOENT;
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
    ::close(fd);
    return false;
  }
  handle_ = fd;
  stamp_ = stampOf(st);
  return true;
}

void RegularFile::close() noexcept {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
  stamp_ = FileStamp();
}

size_t RegularFile::read(void* buffer, size_t bytes) noexcept {
  size_t done = 0;
  while (handle_ >= 0 && done < bytes) {
    const size_t chunk = bytes - done > (size_t{1} << 30) ? (size_t{1} << 30) : bytes - done;
    const ssize_t n = ::read(static_cast<int>(handle_), static_cast<char*>(buffer) + done, chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failed_ = true;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

static std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool folderOfFileReachable(const std::string& path) noexcept {
  try {
    struct stat st;
    return stat(folderOf(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  } catch (...) {
    return true;  // out of memory: the name is kept, as for a folder not there yet
  }
}

// The file a chain of symbolic links ends at; the path itself when it is no
// link. A link to a file not yet there gives that file's path.
static bool resolveLinks(std::string& path) {
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    if (n <= 0) return false;
    const std::string next(target, static_cast<size_t>(n));
    path = next[0] == '/' ? next : folderOf(path) + "/" + next;
  }
  return false;  // a loop
}

SaveTarget saveTargetOf(const std::string& path) noexcept {
  if (path.empty()) return SaveTarget::kRefused;
  const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? SaveTarget::kMissing : SaveTarget::kRefused;
  struct stat st;
  const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  return regular ? SaveTarget::kReplaceable : SaveTarget::kRefused;
}

bool createEmptyFile(const std::string& path) noexcept {
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat st;
  const bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  return regular;
}

static bool writeAll(int fd, const std::string& contents) {
  const char* p = contents.data();
  size_t left = contents.size();
  while (left > 0) {
    const ssize_t w = write(fd, p, left);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    left -= static_cast<size_t>(w);
  }
  return true;
}

bool writeFileAtomically(const std::string& path, const std::string& contents) noexcept {
  try {
    std::string target = path;
    if (target.empty() || !resolveLinks(target)) return false;
    struct stat old;
    const bool exists = stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) return false;
    // Users mark the file read-only to freeze their settings; root could
    // write it anyway, but must not either.
    if (exists && (!S_ISREG(old.st_mode) || (old.st_mode & 0222) == 0)) return false;
    const std::string tmp = target + "." + std::to_string(static_cast<long>(getpid())) + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return false;
    bool ok = writeAll(fd, contents);
    if (ok && exists) {
      // The replaced file's permissions, and its owner when we may set it.
      if (geteuid() == 0) (void)!fchown(fd, old.st_uid, old.st_gid);
      ok = fchmod(fd, old.st_mode & 07777) == 0;
    }
    if (ok && fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && rename(tmp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) unlink(tmp.c_str());
    return ok;
  } catch (...) {
    return false;
  }
}

}  // namespace platform
}  // namespace om
