#include "plugin/file_follower.h"

#include <memory>

#include "common/notify.h"
#include "logo/image_codec.h"
#include "platform/clock.h"
#include "platform/entry_guard.h"
#include "plugin/channel_ops.h"
#include "plugin/plugin_state.h"
#include "plugin/prepared_picture.h"

namespace om {

FileFollower::~FileFollower() {
  stopping_ = true;
  wake_.set();
#ifndef _WIN32
  // Destructors run at exit() or dlclose(), outside any loader lock.
  thread_.join();
#endif
  // A hold still taken means the process is exiting with the module in
  // use: letting go of it here would unmap the code running this.
}

void FileFollower::start() noexcept {
  if (thread_.started()) return;
  stopping_ = false;
  wake_.clear();
  moduleHold_ = platform::holdThisModule();
  if (!thread_.start(&FileFollower::run, this)) {
    releaseModuleHold();
    return;
  }
  running_ = true;
}

void FileFollower::stop() noexcept {
  stopping_ = true;
  wake_.set();
  thread_.join();
  running_ = false;
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
  uint32_t lastPoll = platform::osTickMs();
  for (;;) {
    const uint32_t since = platform::osTickMs() - lastPoll;
    follower.wake_.wait(since >= follower.pollMs_ ? 0 : follower.pollMs_ - since);
    if (follower.stopping_) break;
    // Cleared before the work, so a wake during it is not lost.
    follower.wake_.clear();
    try {
      follower.state_.animationAhead.work(follower.state_);
      if (platform::osTickMs() - lastPoll >= follower.pollMs_) {
        lastPoll = platform::osTickMs();
        follower.poll();
      }
    } catch (...) {
      // Out of memory for a path or a picture: look again next time.
    }
  }
}

namespace {

// The record in use still follows `path`: it may have moved on while the
// picture was decoded or prepared.
bool stillFollows(PluginState& state, const std::string& path) {
  if (!state.initialized || state.channelTable.empty()) return false;
  const ChannelRecord& record = state.recordInUse();
  return record.FollowFile && record.LogoFileName == path;
}

}  // namespace

// Whether the file at `path`, stamped `now`, is to be decoded: changed from
// what shows, held still for two looks, and not the change that failed.
bool FileFollower::changeSettled(const platform::FileStamp& now, bool showing,
                                 const platform::FileStamp& shown) {
  if (showing && now == shown) {
    pending_.reset();
    return false;
  }
  if (failed_ == now) return false;  // tried; waits for the next change
  // A file still being written changes between looks: wait for two alike.
  if (pending_ != now) {
    pending_ = now;
    return false;
  }
  pending_.reset();
  return true;
}

void FileFollower::poll() {
  std::string path;
  platform::FileStamp shown;
  bool showing = false;
  uint64_t held = 0;
  {
    platform::LockGuard hold(state_.frameLock);
    if (!state_.initialized || state_.channelTable.empty()) return;
    const ChannelRecord& record = state_.recordInUse();
    if (record.FollowFile && !record.LogoFileName.empty()) path = record.LogoFileName;
    showing = state_.logoLoaded != 0;
    shown = state_.logo.sourceStamp();
    held = state_.logo.budgetHeld();
  }
  if (path != path_) {
    path_ = path;
    pending_.reset();
    failed_.reset();
  }
  // Nothing to follow: no file is looked at.
  if (path.empty()) return;

  platform::FileStamp now;
  // Gone, or its folder unreachable for now: what shows stays.
  if (!platform::fileStampOf(path, now)) {
    pending_.reset();
    return;
  }
  if (!changeSettled(now, showing, shown)) return;

  // Decoded and prepared with FrameLock free; put in place under it. A file
  // cut short (a writer that paused) is a failed decode: what shows stays.
  // The picture shown is held meanwhile, so an animation that would not fit
  // the budget beside it is streamed.
  std::unique_ptr<PreparedPicture> prepared(new PreparedPicture);
  const uint64_t left = held < kPictureMemoryBudget ? kPictureMemoryBudget - held : 0;
  if (!prepared->picture().LoadFromFile(path.c_str(), Truncated::kFails, left)) {
    failed_ = now;
    return;
  }
  {
    platform::LockGuard hold(state_.frameLock);
    if (!stillFollows(state_, path)) return;
    prepared->beginPreparing(state_);
  }
  prepared->prepareOverlay();
  {
    platform::LockGuard hold(state_.frameLock);
    if (!stillFollows(state_, path)) return;
    prepared->putInPlace(state_);
    wake_.set();  // a streamed animation wants its next frame drawn ahead
    state_.restartAnimationClock = true;
    notifyDialog(state_, kNotifyEverything);
    reloads_.fetch_add(1, std::memory_order_relaxed);
  }
  // The picture, overlay and builder replaced are freed here, with FrameLock free.
}

}  // namespace om
