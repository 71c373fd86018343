#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace om {
namespace platform {

static_assert(sizeof(pthread_mutex_t) <= 64, "mutex fits the lock storage");

static pthread_mutex_t* mutex(unsigned char* storage) {
  return reinterpret_cast<pthread_mutex_t*>(storage);
}

uint64_t currentThreadId() noexcept { return static_cast<uint64_t>(pthread_self()); }

Lock::Lock() noexcept { pthread_mutex_init(mutex(storage_), nullptr); }
Lock::~Lock() { pthread_mutex_destroy(mutex(storage_)); }
void Lock::enter() noexcept {
  pthread_mutex_lock(mutex(storage_));
  owner_.store(currentThreadId(), std::memory_order_relaxed);
}
void Lock::leave() noexcept {
  owner_.store(0, std::memory_order_relaxed);
  pthread_mutex_unlock(mutex(storage_));
}

uint32_t osTickMs() noexcept {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                               static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

char pathSeparator() noexcept { return '/'; }

void createDirectory(const std::string& path) noexcept { (void)mkdir(path.c_str(), 0777); }

static std::string readWholeFile(const char* path) {
  std::string out;
  FILE* f = std::fopen(path, "rb");
  if (!f) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return out;
}

static void moduleAnchor() {}

std::string moduleBaseName() {
  Dl_info info;
  if (!dladdr(reinterpret_cast<void*>(&moduleAnchor), &info) || !info.dli_fname) return std::string();
  std::string name = info.dli_fname;
  name = name.substr(name.rfind('/') + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

LocationInputs readLocationInputs() {
  LocationInputs in;
  in.versionKnown = true;
  in.ntFamily = true;  // the user-folder switch always applies on POSIX
  if (const char* v = std::getenv("TULVANE_STORE_IN_USERS_FOLDER"))
    in.storeInUsersFolder = static_cast<uint32_t>(std::strtoll(v, nullptr, 10));
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {
    in.appDataFolder = xdg;
  } else if (const char* home = std::getenv("HOME")) {
    if (home[0]) in.appDataFolder = std::string(home) + "/.config";
  }
  char exe[4096];
  const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n > 0) {
    std::string p(exe, static_cast<size_t>(n));
    in.exeFolder = p.substr(0, p.rfind('/') + 1);
  }
  std::string cmd = readWholeFile("/proc/self/cmdline");
  while (!cmd.empty() && cmd.back() == '\0') cmd.pop_back();
  for (char& c : cmd)
    if (c == '\0') c = ' ';
  in.commandLine = cmd;
  in.moduleBaseName = moduleBaseName();
  return in;
}

// No dialog window exists on POSIX, so there is nobody to notify.
void postDialogNotify(void*, int) noexcept {}

void showNoSseMessage(void*) noexcept {}

}  // namespace platform
}  // namespace om
