// The operations that combine the subsystems over the plug-in's state: the
// steps of a channel switch and of the dialog's edits, loading and saving
// the settings, and drawing the preview. All but loadSettings and
// saveSettings run with FrameLock held by the caller.
#pragma once

#include <string>

#include "common/rect.h"
#include "settings/settings_model.h"

namespace om {

struct PluginState;
class PreviewPane;

// PluginInit: the whole settings file into the table, the template, the
// per-channel switch and the dialog position.
void loadSettings(PluginState& state);
// PluginShutdown: the table back to the file, asking the host's
// channelExists which channel records to keep.
void saveSettings(PluginState& state);

// Sets currentIndex for currentChannelId, appending a record made from
// defaultRecord for a channel seen for the first time (and to the dialog's
// backup while the dialog is open, at the same index).
void selectChannelRecord(PluginState& state);

// Loads the picture of layer `number` of the record in use, within what the
// other layers leave of the picture budget; on failure forgets its file
// name, unless the picture's folder cannot be reached or it did not fit the
// budget. A layer the record lacks lets its picture go.
void reloadLogo(PluginState& state, int32_t number);
// The same for every layer, in number order, each within what the layers
// before it leave, and its overlay rebuilt.
void reloadLayers(PluginState& state);
// What the pictures of the layers but `number` and those from `below` on
// leave of the budget the layers share (number 0: every layer's counts).
uint64_t pictureBudgetLeft(const PluginState& state, int32_t number, int32_t below = kMaxLayers + 1);
// A channel switch's pictures: each layer of the record in use from the
// picture cache when it is there, ready, else as reloadLayers does.
void bringInLayers(PluginState& state);
// Whether a picture that failed to load loses its name: it is gone from a
// folder that is there, or does not decode. Looks at the file system.
bool forgetsNameOfFailedPicture(const std::string& path);

// Clamps layer `number` of the record in use and rebuilds its overlay from
// the current logo frame, then makes its cover ready for the layer's
// rectangle. Without a picture only a cover's bare rectangle is clamped.
void rebuildOverlay(PluginState& state, int32_t number);
// Makes the cover ready for the layer: its mode, and its rectangle (the
// overlay's size when a picture is loaded).
void prepareCover(PluginState& state, int32_t number);
// The rectangle, in frame pixels, that the layer covers.
Rect coverRectangle(const PluginState& state, int32_t number);
// The same after an animation step: a frame prepared before is shown again.
void rebuildSteppedOverlay(PluginState& state, int32_t number);
// What of the budget for prepared overlays the layers but `number` leave
// it: the layers share the one budget.
uint64_t preparedBudgetLeft(const PluginState& state, int32_t number);

// Posts WM_PLUGIN_NOTIFY `code` to the dialog while its window exists.
void notifyDialog(PluginState& state, int code);

// Clears the pane and, while layer `number` has a picture, scales its
// current frame into the letterbox.
void drawPreview(PluginState& state, PreviewPane& pane, int32_t number);

}  // namespace om
