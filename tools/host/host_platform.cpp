#include "tools/host/host_platform.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#endif

namespace omhost {

PluginLibrary::~PluginLibrary() { close(); }

#ifdef _WIN32

bool PluginLibrary::open(const std::string& path, std::string& error) {
  close();
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) {
    error = "cannot load " + path + " (Windows error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  handle_ = reinterpret_cast<void*>(module);
  return true;
}

void* PluginLibrary::symbol(const char* name) const {
  if (!handle_) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void PluginLibrary::close() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

const char* moduleSuffix() { return ".dll"; }

std::string executableFolder() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  std::string p(path, n);
  const size_t cut = p.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : p.substr(0, cut + 1);
}

bool setEnvironment(const char* name, const std::string& value) {
  return _putenv_s(name, value.c_str()) == 0;
}

bool isTerminal(FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void setBinaryMode(FILE* stream) { (void)_setmode(_fileno(stream), _O_BINARY); }

void sleepMs(unsigned ms) { Sleep(ms); }

double nowUs() {
  static const double perUs = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart) / 1e6;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / perUs;
}

#else

bool PluginLibrary::open(const std::string& path, std::string& error) {
  close();
  // A bare name would make dlopen search the library path instead of the file.
  const std::string target = path.find('/') == std::string::npos ? "./" + path : path;
  handle_ = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = dlerror();
    error = why ? why : ("cannot load " + path);
    return false;
  }
  return true;
}

void* PluginLibrary::symbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

void PluginLibrary::close() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
}

const char* moduleSuffix() { return ".so"; }

std::string executableFolder() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return std::string();
  std::string p(path, static_cast<size_t>(n));
  return p.substr(0, p.rfind('/') + 1);
}

bool setEnvironment(const char* name, const std::string& value) {
  return setenv(name, value.c_str(), 1) == 0;
}

bool isTerminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

void setBinaryMode(FILE*) {}

void sleepMs(unsigned ms) { usleep(static_cast<useconds_t>(ms) * 1000); }

double nowUs() {
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

#endif

}  // namespace omhost
