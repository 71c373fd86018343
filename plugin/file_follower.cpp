#include "plugin/file_follower.h"

#include <memory>

#include "common/notify.h"
#include "platform/entry_guard.h"
#include "plugin/channel_ops.h"
#include "plugin/plugin_state.h"

namespace om {

FileFollower::~FileFollower() {
  stopping_.set();
#ifndef _WIN32
  // Destructors run at exit() or dlclose(), outside any loader lock.
  thread_.join();
#endif
  // A hold still taken means the process is exiting with the module in
  // use: letting go of it here would unmap the code running this.
}

void FileFollower::start() noexcept {
  if (thread_.started()) return;
  stopping_.clear();
  moduleHold_ = platform::holdThisModule();
  if (!thread_.start(&FileFollower::run, this)) releaseModuleHold();
}

void FileFollower::stop() noexcept {
  stopping_.set();
  thread_.join();
  releaseModuleHold();
}

void FileFollower::releaseModuleHold() noexcept {
  platform::releaseModule(moduleHold_);
  moduleHold_ = nullptr;
}

void FileFollower::run(void* self) {
  // Our own thread, but it decodes and scales with the same floating-point
  // state as every other way into the plug-in.
  EntryGuard guard;
  FileFollower& follower = *static_cast<FileFollower*>(self);
  while (!follower.stopping_.wait(follower.pollMs_)) {
    try {
      follower.poll();
    } catch (...) {
      // Out of memory for a path or a picture: look again next time.
    }
  }
}

void FileFollower::poll() {
  std::string path;
  platform::FileStamp shown;
  bool showing = false;
  {
    platform::LockGuard hold(state_.frameLock);
    if (!state_.initialized || state_.channelTable.empty()) return;
    const ChannelRecord& record = state_.recordInUse();
    if (record.FollowFile && !record.LogoFileName.empty()) path = record.LogoFileName;
    showing = state_.logoLoaded != 0;
    shown = state_.logo.sourceStamp();
  }
  if (path != path_) {
    path_ = path;
    hasPending_ = hasFailed_ = false;
  }
  // Nothing to follow: no file is looked at.
  if (path.empty()) return;

  platform::FileStamp now;
  // Gone, or its folder unreachable for now: what shows stays.
  if (!platform::fileStampOf(path, now)) {
    hasPending_ = false;
    return;
  }
  if (showing && now == shown) {
    hasPending_ = false;
    return;
  }
  if (hasFailed_ && now == failed_) return;  // tried; waits for the next change
  // A file still being written changes between looks: wait for two alike.
  if (!hasPending_ || now != pending_) {
    pending_ = now;
    hasPending_ = true;
    return;
  }
  hasPending_ = false;

  std::unique_ptr<LogoImage> picture(new LogoImage);
  if (!picture->LoadFromFile(path.c_str())) {
    failed_ = now;
    hasFailed_ = true;
    return;
  }
  {
    platform::LockGuard hold(state_.frameLock);
    if (!state_.initialized || state_.channelTable.empty()) return;
    ChannelRecord& record = state_.recordInUse();
    // The record in use may have moved on while the picture was decoded.
    if (record.LogoFileName != path || !record.FollowFile) return;
    state_.logo.swap(*picture);
    state_.logoLoaded = 1;
    rebuildOverlay(state_);
    state_.restartAnimationClock = true;
    notifyDialog(state_, kNotifyEverything);
    reloads_.fetch_add(1, std::memory_order_relaxed);
  }
  // The picture replaced is freed here, with FrameLock free.
}

}  // namespace om
