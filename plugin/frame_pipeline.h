// What happens on every frame: channel switch, stamping, animation step.
#pragma once

#include <cstdint>

#include "plugin/host_api.h"

namespace om {

struct PluginState;

// PluginProcessFrame once its skip tests have passed; returns 1.
int32_t runFramePipeline(PluginState& state, const FrameInfo& frame);

// Channel switch: select the record, reload its picture, rebuild the overlay,
// restart the animation schedule. Caller holds FrameLock.
void switchChannel(PluginState& state, int64_t id, const char* name);

}  // namespace om
