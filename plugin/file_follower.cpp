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
  firstLook_ = true;
  wake_.set();  // the first look at once: the cache fills from the start
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
      for (int32_t number = 1; number <= kMaxLayers; ++number)
        follower.state_.show(number).animationAhead.work(follower.state_, number);
      follower.state_.pictureCache.freeDiscarded(follower.state_);
      if (platform::osTickMs() - lastPoll >= follower.pollMs_ || follower.firstLook_) {
        lastPoll = platform::osTickMs();
        follower.firstLook_ = false;
        follower.poll();
        // Every look, the pictures a switch may want, decoded ahead: those
        // of records edited, added or met since, and files changed.
        follower.state_.pictureCache.fill(follower.state_, follower.stopping_);
      }
    } catch (...) {
      // Out of memory for a path or a picture: look again next time.
    }
  }
}

namespace {

// Layer `number` of the record in use still follows `path`: the record or
// the layer may have moved on while the picture was decoded or prepared.
bool stillFollows(PluginState& state, int32_t number, const std::string& path) {
  if (!state.initialized || state.channelTable.empty()) return false;
  const LogoSettings* layer = state.layerInUse(number);
  return layer && layer->FollowFile && layer->LogoFileName == path;
}

}  // namespace

// Whether the file at `path`, stamped `now`, is to be decoded: changed from
// what shows, held still for two looks, and not the change that failed.
bool FileFollower::Watch::changeSettled(const platform::FileStamp& now, bool showing,
                                        const platform::FileStamp& shown) {
  if (showing && now == shown) {
    pending.reset();
    return false;
  }
  if (failed == now) return false;  // tried; waits for the next change
  // A file still being written changes between looks: wait for two alike.
  if (pending != now) {
    pending = now;
    return false;
  }
  pending.reset();
  return true;
}

void FileFollower::poll() {
  for (int32_t number = 1; number <= kMaxLayers; ++number) pollLayer(number);
}

void FileFollower::pollLayer(int32_t number) {
  Watch& watch = watches_[number - 1];
  std::string path;
  platform::FileStamp shown;
  bool showing = false;
  uint64_t budget = 0, othersBudget = 0;
  {
    platform::LockGuard hold(state_.frameLock);
    if (!state_.initialized || state_.channelTable.empty()) return;
    const LogoSettings* layer = state_.layerInUse(number);
    if (layer && layer->FollowFile && !layer->LogoFileName.empty()) path = layer->LogoFileName;
    const LayerShow& show = state_.show(number);
    showing = show.logoLoaded != 0;
    shown = show.logo.sourceStamp();
    budget = pictureBudgetLeft(state_, 0);
    othersBudget = pictureBudgetLeft(state_, number);
  }
  if (path != watch.path) {
    watch.path = path;
    watch.pending.reset();
    watch.failed.reset();
  }
  // Nothing to follow: no file is looked at.
  if (path.empty()) return;

  platform::FileStamp now;
  // Gone, or its folder unreachable for now: what shows stays.
  if (!platform::fileStampOf(path, now)) {
    watch.pending.reset();
    return;
  }
  if (!watch.changeSettled(now, showing, shown)) return;

  // Decoded and prepared with FrameLock free; put in place under it. A file
  // cut short (a writer that paused) is a failed decode: what shows stays.
  // Every layer's picture is held meanwhile, the one replaced too, so an
  // animation that would not fit the budget beside them is streamed; a
  // picture that would not fit beside the other layers is not shown.
  std::unique_ptr<PreparedPicture> prepared(new PreparedPicture);
  if (!prepared->picture().LoadFromFile(path.c_str(), Truncated::kFails, budget, othersBudget)) {
    watch.failed = now;
    return;
  }
  {
    platform::LockGuard hold(state_.frameLock);
    if (!stillFollows(state_, number, path)) return;
    prepared->beginPreparing(state_, number);
  }
  prepared->prepareOverlay();
  {
    platform::LockGuard hold(state_.frameLock);
    if (!stillFollows(state_, number, path)) return;
    prepared->putInPlace(state_, number);
    wake_.set();  // a streamed animation wants its next frame drawn ahead
    state_.show(number).restartAnimationClock = true;
    if (number == state_.dialogLayer) notifyDialog(state_, kNotifyEverything);
    reloads_.fetch_add(1, std::memory_order_relaxed);
  }
  // The picture, overlay and builder replaced are freed here, with FrameLock free.
}

}  // namespace om
