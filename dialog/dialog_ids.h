// The settings dialog's ids (generated with its texts into
// dialog_resources.h), its press-and-hold buttons and its two timers.
#pragma once

#include <cstdint>

#include "dialog/dialog_resources.h"

namespace om {

// The press-and-hold buttons act through the mouse hook, not by click.
constexpr bool isRepeatButton(int32_t id) { return id >= kIdMoveLeft && id <= kIdLarger; }

enum DialogTimerId : int32_t {
  kHoldRepeatTimer = 1,
  kFlashTimer = 2,
};
constexpr uint32_t kHoldRepeatPeriodMs = 50;
constexpr uint32_t kFlashPeriodMs = 80;

}  // namespace om
