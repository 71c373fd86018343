// Pictures decoded before they are needed, so zapping back and forth costs
// a plain frame. Keyed by the file's path and stamp (size, last write,
// identity: what the follower compares), shared by every record and layer.
// The plug-in's own thread fills it for every record the host may switch
// to, each picture with its overlay prepared for the frame's format and its
// layer's settings; a channel switch hands the pictures it leaves back to
// it. A switch whose picture is here swaps it in, overlay and all; one
// whose picture is not decodes it as it always did.
//
// Everything but fill() runs under FrameLock; fill() takes the lock only to
// look and to put a picture in.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "compositing/frame_canvas.h"
#include "logo/logo_image.h"
#include "logo/overlay.h"
#include "platform/files.h"
#include "settings/settings_model.h"

namespace om {

struct PluginState;
struct LayerShow;

class PictureCache {
 public:
  // A switch leaves layer `number` of the record in use: its picture, when
  // decoded whole, comes here with its overlay.
  void keep(PluginState& state, int32_t number);
  // A switch comes to layer `number` of the record in use: its picture put
  // in place from here when the file is still what was decoded (one look at
  // its stamp). False when it is not here, or changed or gone since (then
  // forgotten here): the caller decodes it.
  bool putInPlace(PluginState& state, int32_t number);
  // The least recently used pictures let go until the layers' pictures and
  // these fit the picture budget, and the overlays here the 64 MiB.
  void trim(PluginState& state);
  void clear();
  // Whether pictures let go wait for the plug-in's thread to free them.
  bool hasDiscarded() const { return !discarded_.empty(); }
  // The plug-in's thread, without FrameLock: frees them.
  void freeDiscarded(PluginState& state);

  // The plug-in's thread: decodes and prepares every picture a switch may
  // want that is not here yet (or changed since), while the budget has
  // room. Returns how many went in; gives up when `stopping` is set.
  int fill(PluginState& state, const std::atomic<bool>& stopping);

  // Bytes of the picture budget and of prepared overlays held here.
  uint64_t pictureBytes() const;
  uint64_t overlayBytes() const;
  size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    std::string path;
    platform::FileStamp stamp;
    LogoImage picture;
    // The overlay of frame 0 prepared for `settings` on `canvas`'s format.
    FrameCanvas canvas;
    std::unique_ptr<OverlayBuilder> builder = std::make_unique<OverlayBuilder>();
    LogoSettings settings;  // the layer's, as preparing began
    LogoSettings clamped;   // the same, clamped to the picture
    bool prepared = false;
    uint64_t lastUse = 0;
  };
  // What a switch may want: a layer's file and settings.
  struct Wanted {
    std::string path;
    LogoSettings settings;
  };

  Entry* find(const std::string& path);
  void erase(const Entry* entry);
  std::vector<Wanted> wanted(const PluginState& state) const;
  bool fillOne(PluginState& state, const Wanted& want);

  std::vector<std::unique_ptr<Entry>> entries_;
  std::vector<std::unique_ptr<Entry>> discarded_;
  // The filling thread's own: files it could not take, as they were then
  // and with what of the budget was left.
  struct Refused {
    platform::FileStamp stamp;
    uint64_t left = 0;
  };
  std::map<std::string, Refused> refused_;
  uint64_t useClock_ = 0;
};

}  // namespace om
