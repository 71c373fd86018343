// A picture that follows its file: a thread of the plug-in's own looks at
// the file of the record in use once a second and, once a change has held
// still for two looks, decodes the new picture away from FrameLock and puts
// it in place under it. The video thread never touches the file system for
// this, and a picture that fails to decode never blanks the one shown.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/files.h"
#include "platform/platform.h"

namespace om {

struct PluginState;

class FileFollower {
 public:
  explicit FileFollower(PluginState& state) : state_(state) {}
  // At unload the thread is stopped, and on POSIX waited for; on Windows it
  // has ended already (PluginShutdown, or the process exiting), and the
  // module stays loaded while it runs.
  ~FileFollower();
  FileFollower(const FileFollower&) = delete;
  FileFollower& operator=(const FileFollower&) = delete;

  // PluginInit: starts the thread. PluginShutdown: stops it and waits.
  void start() noexcept;
  void stop() noexcept;

  // One look at the file, as the thread takes it every period.
  void poll();

  // Pictures put in place so far.
  uint32_t reloads() const { return reloads_.load(std::memory_order_relaxed); }

  static constexpr uint32_t kPollMs = 1000;
  void setPollPeriodForTesting(uint32_t ms) { pollMs_ = ms; }

 private:
  static void run(void* self);
  void releaseModuleHold() noexcept;

  PluginState& state_;
  platform::Thread thread_;
  platform::Signal stopping_;
  void* moduleHold_ = nullptr;
  uint32_t pollMs_ = kPollMs;
  std::atomic<uint32_t> reloads_{0};

  // The thread's own: the file it looks at, a change seen once and waiting
  // for a second look, and a change that would not decode.
  std::string path_;
  platform::FileStamp pending_;
  platform::FileStamp failed_;
  bool hasPending_ = false;
  bool hasFailed_ = false;
};

}  // namespace om
