#include "plugin/picture_cache.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "logo/image_codec.h"
#include "platform/lock.h"
#include "plugin/channel_ops.h"
#include "plugin/plugin_state.h"

namespace om {

namespace {

bool sameFormat(const FrameCanvas& a, const FrameCanvas& b) {
  return a.width() == b.width() && a.height() == b.height() && a.layoutCode() == b.layoutCode();
}

uint64_t overlayBlockBytes(const FrameCanvas& canvas) {
  const OverlayImage& o = canvas.overlay();
  return static_cast<uint64_t>(o.blockWidth) * static_cast<uint64_t>(o.blockHeight) * 4;
}

uint64_t showsPictureBytes(const PluginState& state) {
  uint64_t held = 0;
  for (const LayerShow& show : state.shows) held += show.logo.budgetHeld();
  return held;
}

uint64_t showsOverlayBytes(const PluginState& state) {
  uint64_t held = 0;
  for (const LayerShow& show : state.shows) held += show.overlayBuilder->preparedBytes();
  return held;
}

}  // namespace

PictureCache::Entry* PictureCache::find(const std::string& path) {
  for (const std::unique_ptr<Entry>& entry : entries_)
    if (entry->path == path) return entry.get();
  return nullptr;
}

void PictureCache::erase(const Entry* entry) {
  const auto at = std::find_if(entries_.begin(), entries_.end(),
                               [entry](const std::unique_ptr<Entry>& e) { return e.get() == entry; });
  // Freed by the plug-in's thread: letting a big picture go takes time.
  discarded_.push_back(std::move(*at));
  entries_.erase(at);
}

void PictureCache::clear() {
  entries_.clear();
  discarded_.clear();
  refused_.clear();  // the thread has stopped: nothing else touches it
}

void PictureCache::freeDiscarded(PluginState& state) {
  std::vector<std::unique_ptr<Entry>> gone;
  {
    platform::LockGuard hold(state.frameLock);
    gone.swap(discarded_);
  }
}

uint64_t PictureCache::pictureBytes() const {
  uint64_t held = 0;
  for (const std::unique_ptr<Entry>& entry : entries_) held += entry->picture.budgetHeld();
  return held;
}

uint64_t PictureCache::overlayBytes() const {
  uint64_t held = 0;
  for (const std::unique_ptr<Entry>& entry : entries_)
    held += overlayBlockBytes(entry->canvas) + entry->builder->preparedBytes();
  return held;
}

void PictureCache::keep(PluginState& state, int32_t number) {
  if (state.channelTable.empty()) return;
  LayerShow& show = state.show(number);
  const LogoSettings* layer = state.layerInUse(number);
  // A streamed animation holds its file and decoder: it goes as before.
  if (!show.logoLoaded || !layer || layer->LogoFileName.empty() || show.logo.streamed()) return;
  if (Entry* older = find(layer->LogoFileName)) erase(older);
  std::unique_ptr<Entry> entry(new Entry);
  entry->path = layer->LogoFileName;
  entry->stamp = show.logo.sourceStamp();
  entry->picture.swap(show.logo);
  show.logoLoaded = 0;
  const FrameCanvas& format = state.format();
  entry->canvas.SetFormat(format.width(), format.height(), format.layoutCode());
  std::swap(entry->canvas.overlay(), show.canvas.overlay());
  std::swap(entry->builder, show.overlayBuilder);
  entry->settings = entry->clamped = *layer;
  // A switch shows frame 0: the overlay serves only when it is frame 0's.
  entry->prepared = entry->picture.FrameCount() == 1 && !entry->canvas.overlay().content.empty();
  entry->lastUse = ++useClock_;
  entries_.push_back(std::move(entry));
}

bool PictureCache::putInPlace(PluginState& state, int32_t number) {
  LogoSettings* layer = state.layerInUse(number);
  if (!layer || layer->LogoFileName.empty()) return false;
  Entry* entry = find(layer->LogoFileName);
  if (!entry) return false;
  // A file changed or gone since it was decoded is decoded anew, or its
  // name forgotten, as the switch always did.
  platform::FileStamp now;
  if (!platform::fileStampOf(entry->path, now) || now != entry->stamp) {
    erase(entry);
    return false;
  }
  LayerShow& show = state.show(number);
  show.logo.swap(entry->picture);
  show.logoLoaded = 1;
  if (entry->prepared && sameFormat(entry->canvas, state.format()) && sameSettings(*layer, entry->settings)) {
    *layer = entry->clamped;
    std::swap(show.canvas.overlay(), entry->canvas.overlay());
    std::swap(show.overlayBuilder, entry->builder);
    prepareCover(state, number);
  } else {
    show.logo.SelectFrame(0);
    rebuildOverlay(state, number);
  }
  erase(entry);
  return true;
}

void PictureCache::trim(PluginState& state) {
  const uint64_t pictures = showsPictureBytes(state);
  const uint64_t overlays = showsOverlayBytes(state);
  while (!entries_.empty() && (pictures + pictureBytes() > state.pictureBudget ||
                               overlays + overlayBytes() > OverlayBuilder::kPreparedBudgetBytes)) {
    const auto oldest = std::min_element(
        entries_.begin(), entries_.end(),
        [](const std::unique_ptr<Entry>& a, const std::unique_ptr<Entry>& b) { return a->lastUse < b->lastUse; });
    erase(oldest->get());
  }
}

std::vector<PictureCache::Wanted> PictureCache::wanted(const PluginState& state) const {
  std::vector<Wanted> list;
  // Each file once; the record in use shows its pictures already.
  std::unordered_set<std::string_view> listed;
  for (int32_t shown = 1; shown <= kMaxLayers && !state.channelTable.empty(); ++shown)
    if (const LogoSettings* layer = state.layerInUse(shown))
      if (state.show(shown).logoLoaded) listed.insert(layer->LogoFileName);
  const auto add = [&](const ChannelRecord& record) {
    for (int32_t number = 1; number <= kMaxLayers; ++number) {
      const LogoSettings* layer = findLayer(record, number);
      if (layer && !layer->LogoFileName.empty() && listed.insert(layer->LogoFileName).second)
        list.push_back({layer->LogoFileName, *layer});
    }
  };
  // With one record for all channels, the host can switch to no other.
  if (state.privateSettings == 0) {
    if (!state.channelTable.empty()) add(state.channelTable[0]);
    return list;
  }
  for (const ChannelRecord& record : state.channelTable) add(record);
  add(state.defaultRecord);  // a channel seen for the first time
  return list;
}

int PictureCache::fill(PluginState& state, const std::atomic<bool>& stopping) {
  std::vector<Wanted> list;
  {
    platform::LockGuard hold(state.frameLock);
    if (!state.initialized) return 0;
    list = wanted(state);
  }
  int added = 0;
  for (const Wanted& want : list) {
    if (stopping.load(std::memory_order_relaxed)) break;
    if (fillOne(state, want)) ++added;
  }
  return added;
}

// One picture decoded, or one held here prepared anew, outside the lock.
bool PictureCache::fillOne(PluginState& state, const Wanted& want) {
  platform::FileStamp now;
  if (!platform::fileStampOf(want.path, now)) return false;
  std::unique_ptr<Entry> entry;
  uint64_t pictureLeft = 0, overlayLeft = 0;
  int32_t width = 0, height = 0, code = 0;
  {
    platform::LockGuard hold(state.frameLock);
    if (!state.initialized) return false;
    const FrameCanvas& format = state.format();
    width = format.width();
    height = format.height();
    code = format.layoutCode();
    if (Entry* held = find(want.path)) {
      if (held->stamp == now && held->prepared && sameFormat(held->canvas, format) &&
          sameSettings(held->settings, want.settings))
        return false;
      if (held->stamp == now) {
        // Decoded already: taken out to be prepared for these settings.
        const auto at = std::find_if(entries_.begin(), entries_.end(),
                                     [held](const std::unique_ptr<Entry>& e) { return e.get() == held; });
        entry = std::move(*at);
        entries_.erase(at);
      }
    }
    const uint64_t pictures = showsPictureBytes(state) + pictureBytes();
    const uint64_t overlays = showsOverlayBytes(state) + overlayBytes();
    pictureLeft = pictures < state.pictureBudget ? state.pictureBudget - pictures : 0;
    overlayLeft = overlays < OverlayBuilder::kPreparedBudgetBytes ? OverlayBuilder::kPreparedBudgetBytes - overlays : 0;
  }
  if (!entry) {
    // A file that would not decode, or not fit, is tried again once it
    // changes or more of the budget is free.
    const auto refused = refused_.find(want.path);
    if (refused != refused_.end() && refused->second.stamp == now && refused->second.left >= pictureLeft)
      return false;
    entry.reset(new Entry);
    // Decoded whole only: a streamed animation keeps its file and decoder.
    if (pictureLeft == 0 ||
        !entry->picture.LoadFromFile(want.path.c_str(), Truncated::kFails, pictureLeft, pictureLeft) ||
        entry->picture.streamed()) {
      refused_[want.path] = Refused{now, pictureLeft};
      return false;
    }
    refused_.erase(want.path);
    entry->path = want.path;
    entry->stamp = entry->picture.sourceStamp();
  }
  entry->picture.SelectFrame(0);
  entry->canvas.SetFormat(width, height, code);
  entry->settings = entry->clamped = want.settings;
  entry->builder->setPreparedBudget(overlayLeft);
  entry->builder->rebuild(entry->canvas, entry->picture, entry->clamped);
  entry->prepared = true;

  platform::LockGuard hold(state.frameLock);
  if (!state.initialized) return false;
  // Meanwhile a switch may have left the same file here.
  if (Entry* held = find(want.path)) {
    if (held->stamp == entry->stamp) return false;
    erase(held);
  }
  entry->lastUse = ++useClock_;
  entries_.push_back(std::move(entry));
  trim(state);
  return true;
}

}  // namespace om
