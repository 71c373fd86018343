// A logo that moves against burn-in: every DriftMinutes it takes the next of
// eight places on a square orbit DriftPixels wide around its own, counted
// from the channel switch on the same clock as the fades.
#pragma once

#include <cstdint>

#include "compositing/frame_canvas.h"
#include "settings/settings_model.h"

namespace om {

// Whether the record moves at all: a cover stays on what it hides.
inline bool drifts(const LogoSettings& record) {
  return record.DriftPixels > 0 && record.CoverMode == kCoverPicture;
}

// The offset `elapsedMs` after the switch (keys taken within their ranges).
PixelShift driftOffset(const LogoSettings& record, uint32_t elapsedMs);

// The start to keep for the next frame: the same offset, but an elapsed
// time below one orbit, so a run of months never wraps the 32-bit difference.
uint32_t settledDriftStart(const LogoSettings& record, uint32_t start, uint32_t now);

}  // namespace om
