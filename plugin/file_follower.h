// The plug-in's own thread. It follows each layer's file, draws a streamed
// animation's frames ahead when woken (plugin/animation_ahead.h), and at
// start and at every look decodes ahead the pictures a channel switch may
// want (plugin/picture_cache.h), freeing those the cache let go.
//
// A picture that follows its file: the thread looks at the file of each
// layer of the record in use once a second and, once a change has held
// still for two looks, decodes the new picture and prepares its overlay
// away from FrameLock, then puts both in place under it. The video thread
// never touches the file system for this, and a picture that fails to
// decode never blanks the one shown.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/thread.h"
#include "settings/settings_model.h"

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

  // Wakes the thread for a frame to draw ahead; any thread.
  void wake() noexcept { wake_.set(); }
  // Between start and stop: streamed frames are drawn ahead, never on a step.
  bool running() const { return running_.load(std::memory_order_relaxed); }

  // Pictures put in place so far.
  uint32_t reloads() const { return reloads_.load(std::memory_order_relaxed); }

  // How often the file is looked at; set before start.
  static constexpr uint32_t kPollMs = 1000;
  void setPollPeriod(uint32_t ms) { pollMs_ = ms; }

 private:
  static void run(void* self);
  // What the thread keeps of one layer's file: the file it looks at, a
  // change seen once and waiting for a second look, and a change that would
  // not decode.
  struct Watch {
    std::string path;
    std::optional<platform::FileStamp> pending;
    std::optional<platform::FileStamp> failed;

    bool changeSettled(const platform::FileStamp& now, bool showing, const platform::FileStamp& shown);
  };

  // One look at each layer's file, as the thread takes it every period.
  void poll();
  void pollLayer(int32_t number);
  void releaseModuleHold() noexcept;

  PluginState& state_;
  platform::Thread thread_;
  platform::Signal wake_;  // set by stop() too
  std::atomic<bool> stopping_{false};
  std::atomic<bool> running_{false};
  bool firstLook_ = true;  // the thread's own after start
  void* moduleHold_ = nullptr;
  uint32_t pollMs_ = kPollMs;
  std::atomic<uint32_t> reloads_{0};

  Watch watches_[kMaxLayers];  // the thread's own, by layer number - 1
};

}  // namespace om
