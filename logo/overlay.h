// Overlay preparation: the current logo frame scaled to its target size in
// frame pixels, converted to the frame's layout, keyed when asked.
#pragma once

#include <cstdint>

#include "common/rect.h"
#include "logo/resampler.h"

namespace om {

struct PluginState;
class FrameCanvas;

// Clamps the record in use and rebuilds the overlay from the current logo
// frame; does nothing while no picture is loaded. Caller holds FrameLock.
void rebuildOverlay(PluginState& state);

void prepareOverlay(FrameCanvas& canvas, const uint32_t* pixels, int32_t pictureWidth,
                    int32_t pictureHeight, const Rect& pictureRect, SourceMode mode,
                    uint32_t keyColor, const int32_t size[2], int32_t denominatorX,
                    int32_t denominatorY, int32_t growthPercent, int32_t shrinkPercent);

// Sets the content rectangle; returns false when no block could be had (the
// content rectangle is then empty and nothing will be drawn).
bool ensureOverlaySize(FrameCanvas& canvas, const int32_t size[2], int32_t denominatorX,
                       int32_t denominatorY, int32_t growthPercent, int32_t shrinkPercent);

}  // namespace om
