// What the settings dialog sees of the plug-in's state, and the few
// operations it runs on it. The plug-in implements it over its module-wide
// state; tests may stand in their own.
//
// Everything but frameLock() and openFileFilter() is called with frameLock()
// held by the caller: the dialog takes the lock once per edit and does the
// whole edit inside that one hold.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/lock.h"
#include "settings/settings_model.h"

namespace om {

class PreviewPane;

// A picture decoded aside, before it goes in place; what it holds is the
// plug-in's business.
class DecodedPicture {
 public:
  virtual ~DecodedPicture() = default;
};

class DialogModel {
 public:
  virtual platform::Lock& frameLock() = 0;

  // The layer the dialog edits, of the record in use: the one selected, or
  // layer 1 when the record has no such layer; null if there is no record
  // in use (the index is out of the table). Every call below that names no
  // layer is about this one.
  virtual LogoSettings* layerInUse() = 0;
  // The record in use's layer numbers, 1 first, ascending; and the one edited.
  virtual std::vector<int32_t> layerNumbers() = 0;
  virtual int32_t selectedLayer() = 0;
  // Edits layer `number` of the record in use from now on (ignored when it
  // has no such layer).
  virtual void selectLayer(int32_t number) = 0;
  // Adds the lowest free layer number to the record in use, every key at its
  // default, and selects it; 0 when all are taken.
  virtual int32_t addLayer() = 0;
  // Removes the layer edited (never layer 1), lets its picture go, and
  // selects the layer before it.
  virtual void removeLayer() = 0;
  // Every layer's picture loaded anew and its overlay rebuilt: the record in
  // use changed, or Cancel put the table back.
  virtual void reloadLayers() = 0;
  virtual int32_t privateSettings() const = 0;
  // Sets the per-channel switch and selects the record in use anew.
  virtual void setPrivateSettings(int32_t on) = 0;
  virtual std::string channelName() const = 0;
  virtual bool logoLoaded() const = 0;
  // The current logo frame's size; false while no picture is loaded.
  virtual bool pictureSize(int32_t& width, int32_t& height) const = 0;
  virtual int32_t frameHeight() const = 0;

  // Loads the record's picture (forgetting its name when that fails), and
  // rebuilds the overlay from the current frame.
  virtual void reloadLogo() = 0;
  // A newly chosen picture, in two steps: decoding, without the lock, so the
  // video thread never waits for it; then, under the lock, the record in
  // use takes `path` and the picture goes in place, exactly as reloading
  // it there would leave them (a failed decode forgets the name, unless the
  // folder cannot be reached). The picture replaced is left in `picture`,
  // to be freed outside the lock.
  virtual std::unique_ptr<DecodedPicture> decodePicture(const std::string& path) = 0;
  virtual void installPicture(const std::string& path, DecodedPicture& picture) = 0;
  virtual void rebuildOverlay() = 0;
  // The logo's show timing (fade, cycle) starts again at the next frame.
  virtual void restartShowTiming() = 0;

  // The table copy "Отмена" puts back: taken when the dialog opens. Records
  // the copy lacks stay, so the index in use stays valid.
  virtual void backUpTable() = 0;
  virtual void restoreTable() = 0;

  // Clears the pane and scales the current logo frame into its letterbox.
  virtual void drawPreview(PreviewPane& pane) = 0;

  // The open-file filter of the picture chooser; no lock needed.
  virtual std::string openFileFilter() = 0;

 protected:
  ~DialogModel() = default;
};

}  // namespace om
