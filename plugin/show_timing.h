// When the logo shows: faded in after a channel switch, and with
// ShowEveryMinutes once a cycle for ShowForSeconds, fading in and out.
#pragma once

#include <cstdint>

#include "settings/settings_model.h"

namespace om {

// The visibility factor of a fully shown logo; the blend's scaled opacity
// is multiplied by factor / 256.
constexpr int32_t kFullyShown = 256;

// Whether the record needs the clock at all: without a fade or a cycle the
// logo always shows and no tick is read for it.
inline bool showIsTimed(const LogoSettings& record) {
  return record.FadeMs > 0 || record.ShowEveryMinutes > 0;
}

// The factor 0..256 `elapsedMs` after the channel switch (or the last edit
// of the timing), for the record's FadeMs, ShowEveryMinutes and
// ShowForSeconds (taken within their ranges whatever they hold).
int32_t showFactor(const LogoSettings& record, uint32_t elapsedMs);

// The switch moment to keep for the next frame: the same factor, but an
// elapsed time that stays small, so a run of months never wraps the 32-bit
// difference back into a fade.
uint32_t settledShowStart(const LogoSettings& record, uint32_t start, uint32_t now);

}  // namespace om
