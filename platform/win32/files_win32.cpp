// Files on Windows: reading shared with every other opener, device names
// refused before they are opened, and the atomic save.
#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <string>

#include "platform/files.h"
#include "platform/win32/win32_module.h"

namespace om {
namespace platform {

namespace {

bool startsWith(const std::wstring& s, const wchar_t* prefix) {
  return s.compare(0, std::wcslen(prefix), prefix) == 0;
}

// Names that Windows opens as devices, in any folder and with any
// extension: "CON", "c:\logos\nul.png", "COM1.gif", and the device and raw
// namespaces "\\.\..." and "\\?\" paths that name no drive or share.
bool namesADevice(std::wstring path) {
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  if (startsWith(path, L"\\\\.\\")) return true;
  if (startsWith(path, L"\\\\?\\")) {
    const std::wstring rest = path.substr(4);
    const bool drive = rest.size() >= 3 && std::iswalpha(rest[0]) && rest[1] == L':' && rest[2] == L'\\';
    if (!drive && !startsWith(rest, L"UNC\\")) return true;
  }
  size_t start = path.find_last_of(L"\\:");
  start = start == std::wstring::npos ? 0 : start + 1;
  std::wstring base = path.substr(start, path.find(L'.', start) - start);
  while (!base.empty() && (base.back() == L' ' || base.back() == L'.')) base.pop_back();
  for (wchar_t& c : base) c = static_cast<wchar_t>(std::towupper(c));
  static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$",
                                            L"CLOCK$"};
  for (const wchar_t* device : kDevices)
    if (base == device) return true;
  return base.size() == 4 && (startsWith(base, L"COM") || startsWith(base, L"LPT")) &&
         base[3] >= L'0' && base[3] <= L'9';
}

// Opens `path` as a disk file, shared with everyone, for `access` (0: only
// its attributes). INVALID_HANDLE_VALUE for a device name or anything else.
HANDLE openDiskFile(const std::wstring& wide, DWORD access, bool& missing) {
  missing = false;
  if (wide.empty() || namesADevice(wide)) return INVALID_HANDLE_VALUE;
  const HANDLE file = CreateFileW(wide.c_str(), access,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return file;
  }
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

bool stampOfHandle(HANDLE file, FileStamp& stamp) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  stamp.size = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  stamp.modified = (uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                   info.ftLastWriteTime.dwLowDateTime;
  stamp.volume = info.dwVolumeSerialNumber;
  stamp.index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  stamp.changed = info.dwFileAttributes;
  return true;
}

}  // namespace

bool fileStampOf(const std::string& path, FileStamp& stamp) noexcept {
  try {
    bool missing = false;
    const HANDLE file = openDiskFile(path.empty() ? std::wstring() : widen(path.c_str(), CP_ACP), 0, missing);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = stampOfHandle(file, stamp);
    CloseHandle(file);
    return ok;
  } catch (...) {
    return false;
  }
}

bool RegularFile::open(const std::string& path) noexcept {
  close();
  missing_ = failed_ = false;
  try {
    const std::wstring wide = path.empty() ? std::wstring() : widen(path.c_str(), CP_ACP);
    if (wide.empty()) {
      missing_ = true;
      return false;
    }
    const HANDLE file = openDiskFile(wide, GENERIC_READ, missing_);
    if (file == INVALID_HANDLE_VALUE) return false;
    if (!stampOfHandle(file, stamp_)) {
      CloseHandle(file);
      return false;
    }
    handle_ = reinterpret_cast<intptr_t>(file);
    return true;
  } catch (...) {
    return false;
  }
}

void RegularFile::close() noexcept {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
  stamp_ = FileStamp();
}

size_t RegularFile::read(void* buffer, size_t bytes) noexcept {
  size_t done = 0;
  while (handle_ != -1 && done < bytes) {
    const DWORD chunk = bytes - done > 0x10000000u ? 0x10000000u : static_cast<DWORD>(bytes - done);
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), static_cast<char*>(buffer) + done, chunk, &got,
                  nullptr)) {
      failed_ = true;
      break;
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

bool folderOfFileReachable(const std::string& path) noexcept {
  try {
    std::wstring folder = widen(path.c_str(), CP_ACP);
    const size_t sep = folder.find_last_of(L"\\/");
    if (sep == std::wstring::npos) {
      // "d:logo.png" lives on drive d:, a bare name in the current folder.
      if (folder.size() < 2 || folder[1] != L':') return true;
      folder.resize(2);
      folder += L'\\';
    } else {
      folder.resize(sep + 1);
      // "C:\" keeps its separator; "\\server\share\" and other folders drop it.
      if (!(folder.size() == 3 && folder[1] == L':') && folder.size() > 1) folder.pop_back();
    }
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  } catch (...) {
    return true;  // out of memory: the name is kept, as for a folder not there yet
  }
}

static bool writeAll(HANDLE file, const std::string& contents) {
  const char* p = contents.data();
  size_t left = contents.size();
  while (left > 0) {
    const DWORD chunk = left > 0x10000000u ? 0x10000000u : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, nullptr) || written == 0) return false;
    p += written;
    left -= written;
  }
  return true;
}

SaveTarget saveTargetOf(const std::string& path) noexcept {
  try {
    const std::wstring wide = path.empty() ? std::wstring() : widen(path.c_str(), CP_ACP);
    if (wide.empty() || namesADevice(wide)) return SaveTarget::kRefused;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = GetLastError();
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? SaveTarget::kMissing
                                                                              : SaveTarget::kRefused;
    }
    // A folder in the way, or a file the user made read-only, stays as it is.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return SaveTarget::kRefused;
    return SaveTarget::kReplaceable;
  } catch (...) {
    return SaveTarget::kRefused;
  }
}

bool createEmptyFile(const std::string& path) noexcept {
  try {
    const std::wstring wide = path.empty() ? std::wstring() : widen(path.c_str(), CP_ACP);
    if (wide.empty() || namesADevice(wide)) return false;
    const HANDLE file = CreateFileW(wide.c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool disk = GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
    return disk;
  } catch (...) {
    return false;
  }
}

bool writeFileAtomically(const std::string& path, const std::string& contents) noexcept {
  try {
    // The same name, the same way, as reading takes it.
    if (saveTargetOf(path) == SaveTarget::kRefused) return false;
    const std::wstring wide = widen(path.c_str(), CP_ACP);
    // Beside the target, so the final step is a rename within one volume.
    const std::wstring tmp = wide + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    const HANDLE file = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = writeAll(file, contents) && FlushFileBuffers(file);
    if (!CloseHandle(file)) ok = false;
    if (ok) {
      // ReplaceFile keeps the old file's attributes and security; it refuses
      // when there is no old file yet, and then a plain rename does the job.
      ok = ReplaceFileW(wide.c_str(), tmp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                        nullptr) ||
           MoveFileExW(tmp.c_str(), wide.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    }
    if (!ok) DeleteFileW(tmp.c_str());
    return ok;
  } catch (...) {
    return false;
  }
}

}  // namespace platform
}  // namespace om
