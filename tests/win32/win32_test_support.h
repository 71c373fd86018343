// Helpers of the Windows tests: temporary folders, files, child processes
// and the plug-in DLL loaded the way a host loads it.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin/host_api.h"

namespace om {
namespace wintest {

// The build passes Unix paths; under Wine the Z: drive maps the Unix root.
inline std::string windowsPath(const std::string& path) {
  std::string out = path;
  if (!out.empty() && out[0] == '/') out = "Z:" + out;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

inline std::string pluginDllPath() { return windowsPath(OM_PLUGIN_PATH); }

inline std::string readFileBytes(const std::string& path) {
  std::string out;
  const HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return out;
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(f, buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
  CloseHandle(f);
  return out;
}

inline bool writeFileBytes(const std::string& path, const void* data, size_t size) {
  const HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD n = 0;
  const bool ok = WriteFile(f, data, static_cast<DWORD>(size), &n, nullptr) && n == size;
  CloseHandle(f);
  return ok;
}

inline bool fileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool folderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Names in `folder` (no "." or ".."), matching `pattern`.
inline std::vector<std::string> listFolder(const std::string& folder, const char* pattern = "*") {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  const HANDLE find = FindFirstFileA((folder + "\\" + pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return names;
}

inline void removeTree(const std::string& path) {
  WIN32_FIND_DATAA data;
  const HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeTree(child);
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  RemoveDirectoryA(path.c_str());
}

// A fresh folder under the temporary folder, removed with the object.
class TempFolder {
 public:
  TempFolder() {
    char base[MAX_PATH + 1] = {};
    GetTempPathA(sizeof base, base);
    static LONG counter = 0;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const std::string candidate = std::string(base) + "omtest_" + std::to_string(GetCurrentProcessId()) + "_" +
                                    std::to_string(InterlockedIncrement(&counter));
      if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
    }
  }
  ~TempFolder() {
    if (!path_.empty()) removeTree(path_);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// Runs `commandLine` with extra "NAME=value" environment entries, its
// output going to `outputFile` ("NUL" by default); returns the exit code, or
// -1 when it could not start or did not end within `timeoutMs`.
inline int runProcess(const std::string& commandLine, const std::vector<std::string>& extraEnv = {},
                      const std::string& outputFile = "NUL", DWORD timeoutMs = 120000) {
  std::vector<char> env;
  if (!extraEnv.empty()) {
    LPCH current = GetEnvironmentStringsA();
    for (const char* p = current; *p; p += strlen(p) + 1) env.insert(env.end(), p, p + strlen(p) + 1);
    FreeEnvironmentStringsA(current);
    for (const std::string& e : extraEnv) env.insert(env.end(), e.c_str(), e.c_str() + e.size() + 1);
    env.push_back('\0');
  }
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  const HANDLE output = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                    CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  if (output != INVALID_HANDLE_VALUE) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0,
                                      env.empty() ? nullptr : env.data(), nullptr, &startup, &process);
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  if (!started) return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

inline std::string thisExecutable() {
  char path[MAX_PATH * 4] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  return path;
}

// The plug-in loaded by file name and driven only through its exports.
class LoadedPlugin {
 public:
  explicit LoadedPlugin(const std::string& path = pluginDllPath()) {
    module_ = LoadLibraryA(path.c_str());
    if (!module_) return;
    version = reinterpret_cast<TulvanePluginVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "Tulvane_Plugin_Version")));
    pr = reinterpret_cast<TulvanePluginPRFn>(reinterpret_cast<void*>(GetProcAddress(module_, "Tulvane_Plugin_PR")));
    setTick = reinterpret_cast<TulvanePluginSetTickSourceFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "Tulvane_Plugin_SetTickSource")));
  }
  ~LoadedPlugin() {
    if (module_) FreeLibrary(module_);
  }
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;
  bool ok() const { return module_ && version && pr && setTick; }
  HMODULE module() const { return module_; }

  TulvanePluginVersionFn version = nullptr;
  TulvanePluginPRFn pr = nullptr;
  TulvanePluginSetTickSourceFn setTick = nullptr;

 private:
  HMODULE module_ = nullptr;
};

}  // namespace wintest
}  // namespace om
