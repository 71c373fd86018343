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
#include <new>

#include "platform/clock.h"
#include "platform/dialog_messages.h"
#include "platform/location.h"
#include "platform/lock.h"
#include "platform/thread.h"

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

static_assert(sizeof(pthread_t) <= sizeof(uintptr_t), "a thread id fits the handle");

namespace {
struct ThreadStart {
  void (*body)(void*);
  void* arg;
};
void* threadMain(void* start) {
  const ThreadStart s = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  s.body(s.arg);
  return nullptr;
}
}  // namespace

Thread::~Thread() {
  if (started_) pthread_detach(static_cast<pthread_t>(handle_));
}

bool Thread::start(void (*body)(void*), void* arg) noexcept {
  if (started_) return false;
  ThreadStart* s = new (std::nothrow) ThreadStart{body, arg};
  if (!s) return false;
  pthread_t thread;
  if (pthread_create(&thread, nullptr, threadMain, s) != 0) {
    delete s;
    return false;
  }
  handle_ = static_cast<uintptr_t>(thread);
  started_ = true;
  return true;
}

void Thread::join() noexcept {
  if (!started_) return;
  pthread_join(static_cast<pthread_t>(handle_), nullptr);
  started_ = false;
}

namespace {
struct SignalState {
  pthread_mutex_t mutex;
  pthread_cond_t cond;
  bool set;
};
static_assert(sizeof(SignalState) <= 128, "the signal fits its storage");
SignalState& signalState(unsigned char* storage) { return *reinterpret_cast<SignalState*>(storage); }
}  // namespace

Signal::Signal() noexcept {
  SignalState& s = signalState(storage_);
  pthread_mutex_init(&s.mutex, nullptr);
  pthread_condattr_t attr;
  pthread_condattr_init(&attr);
  // Waits measure monotonic time: a clock set back must not stretch them.
  pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
  pthread_cond_init(&s.cond, &attr);
  pthread_condattr_destroy(&attr);
  s.set = false;
}

Signal::~Signal() {
  SignalState& s = signalState(storage_);
  pthread_cond_destroy(&s.cond);
  pthread_mutex_destroy(&s.mutex);
}

void Signal::set() noexcept {
  SignalState& s = signalState(storage_);
  pthread_mutex_lock(&s.mutex);
  s.set = true;
  pthread_cond_broadcast(&s.cond);
  pthread_mutex_unlock(&s.mutex);
}

void Signal::clear() noexcept {
  SignalState& s = signalState(storage_);
  pthread_mutex_lock(&s.mutex);
  s.set = false;
  pthread_mutex_unlock(&s.mutex);
}

bool Signal::wait(uint32_t ms) noexcept {
  SignalState& s = signalState(storage_);
  timespec until;
  clock_gettime(CLOCK_MONOTONIC, &until);
  until.tv_sec += ms / 1000;
  until.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
  if (until.tv_nsec >= 1000000000L) {
    until.tv_sec += 1;
    until.tv_nsec -= 1000000000L;
  }
  pthread_mutex_lock(&s.mutex);
  while (!s.set && pthread_cond_timedwait(&s.cond, &s.mutex, &until) != ETIMEDOUT) {
  }
  const bool set = s.set;
  pthread_mutex_unlock(&s.mutex);
  return set;
}

static void moduleAnchorForHold() {}

void* holdThisModule() noexcept {
  Dl_info info;
  if (!dladdr(reinterpret_cast<void*>(&moduleAnchorForHold), &info) || !info.dli_fname) return nullptr;
  // Only a module already loaded is held; the program itself needs no hold.
  return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
}

void releaseModule(void* hold) noexcept {
  if (hold) dlclose(hold);
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
